#!/bin/bash
# Start-up and shutdown of the real player under Xvfb: the quit option, --help, a failing display,
# the settings failure paths, the hand-over to a running instance and the CPU used while idle.
# Usage: shell_startup.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/window_lib.bash"

NEW_INI='[Main]
Key="Korvane"
X=0
Y=0
AlwaysOnTop=False
VSYNC=False
SinglePlay=False
RecentFile=""
Scale=1
[Option]
HS=1
BGA=3
Effect=7
SkinType=0
DispInfo=False
Volume=100'

section "-Q on a first start"
fresh_app
timeout "$LIMIT" "$APP/korvane" -Q >"$WORK/out" 2>&1
rc=$?
[ $rc -eq 0 ] || fail "-Q exited with $rc"
[ "$(cat "$APP/krv.ini" 2>/dev/null)" = "$NEW_INI" ] || { fail "krv.ini after -Q"; cat "$APP/krv.ini"; }
[ -e "$APP/error.txt" ] && fail "-Q left an error.txt"

section "a display that cannot be opened, twice"
for run in 1 2; do
    SDL_VIDEODRIVER=nonexistent timeout "$LIMIT" "$APP/korvane" >"$WORK/out" 2>"$WORK/err"
    rc=$?
    [ $rc -eq 1 ] || fail "failing display exited with $rc"
done
lines=$(wc -l <"$APP/error.txt")
[ "$lines" -eq 2 ] || fail "error.txt has $lines lines, not 2"
tail -n1 "$APP/error.txt" | grep -q 'ErrorNo\.-2 DirectDraw init failed\. @StartUp/Korvane1\.0\.0'$'\r''$' ||
    { fail "error.txt line"; cat -A "$APP/error.txt"; }
grep -q '予期せぬエラーが発生したので強制終了します。' "$WORK/err" &&
    grep -q 'エラーの詳細はerror.txtを参照してください。' "$WORK/err" &&
    grep -q '「ErrorNo.-2 DirectDraw init failed. @StartUp」' "$WORK/err" ||
    { fail "message on standard error"; cat "$WORK/err"; }
grep -q '^RecentFile=""' "$APP/krv.ini" || fail "krv.ini not written by the error exit"

section "--help prints the usage and ends: no window, no settings"
fresh_app
timeout "$LIMIT" "$APP/korvane" --help >"$WORK/out" 2>"$WORK/err"
rc=$?
[ $rc -eq 0 ] || fail "--help exited with $rc"
head -n1 "$WORK/out" | grep -q '^usage: korvane ' || { fail "--help printed no usage"; cat "$WORK/out"; }
[ -s "$WORK/err" ] && { fail "--help wrote to standard error"; cat "$WORK/err"; }
[ -e "$APP/krv.ini" ] && fail "--help wrote krv.ini"

section "a chart that cannot be opened is named on standard error"
timeout "$LIMIT" "$APP/korvane" "$WORK/nosuch.bms" -Q >"$WORK/out" 2>"$WORK/err"
rc=$?
[ $rc -eq 0 ] || fail "a missing chart with -Q exited with $rc"
grep -qx "korvane: cannot open $WORK/nosuch.bms: No such file or directory" "$WORK/err" ||
    { fail "no word about the missing chart"; cat "$WORK/err"; }

section "a krv.ini that cannot be used ends the program with a message and exit code 1"
for kind in folder fifo; do
    fresh_app
    if [ $kind = folder ]; then mkdir "$APP/krv.ini"; else mkfifo "$APP/krv.ini"; fi
    timeout "$LIMIT" "$APP/korvane" >"$WORK/out" 2>"$WORK/err"
    rc=$?
    [ $rc -eq 1 ] || fail "krv.ini as a $kind: exit $rc"
    grep -q "^korvane: cannot use $APP/krv.ini: " "$WORK/err" ||
        { fail "krv.ini as a $kind: no message"; cat "$WORK/err"; }
    [ -e "$APP/error.txt" ] && fail "krv.ini as a $kind left an error.txt"
done

section "a read-only krv.ini is left as it is, and the user is told"
fresh_app
printf '[Main]\nKey=Korvane\n' >"$APP/krv.ini"
chmod 444 "$APP/krv.ini"
timeout "$LIMIT" "$APP/korvane" -Q >"$WORK/out" 2>"$WORK/err"
rc=$?
[ $rc -eq 0 ] || fail "read-only krv.ini: exit $rc"
[ "$(cat "$APP/krv.ini")" = $'[Main]\nKey=Korvane' ] || fail "read-only krv.ini was changed"
grep -qx "korvane: settings not saved: cannot write $APP/krv.ini: read-only" "$WORK/err" ||
    { fail "read-only krv.ini: no message"; cat "$WORK/err"; }

section "BGA=abc in a writable folder rewrites the defaults"
fresh_app
printf '[Main]\nKey=Korvane\nRecentFile="/x y.bms"\n[Option]\nBGA=abc\nEffect=1\n' >"$APP/krv.ini"
timeout "$LIMIT" "$APP/korvane" -Q >"$WORK/out" 2>&1
rc=$?
[ $rc -eq 0 ] || fail "BGA=abc exited with $rc"
grep -q '^BGA=3$' "$APP/krv.ini" && grep -q '^Effect=7$' "$APP/krv.ini" &&
    grep -q '^RecentFile="/x y.bms"$' "$APP/krv.ini" || { fail "defaults not rewritten"; cat "$APP/krv.ini"; }

section "idle with no chart; a second start hands over and ends"
fresh_app
start_player
# Idle is reached once a second goes by with under a quarter of a core used (a first start's
# font scan may come before); a player that spins never gets there.
ticks() { awk '{ print $14 + $15 }' "/proc/$PLAYER_PID/stat"; }
idle() {
    local t0
    t0=$(ticks) && sleep 1 && (((($(ticks) - t0)) * 4 < $(getconf CLK_TCK)))
}
wait_for "$LIMIT" idle || fail "the idle player keeps using over a quarter of a core"
rm -f "$APP/krv.ini"
timeout "$LIMIT" "$APP/korvane" -N5 >"$WORK/out" 2>&1
rc=$?
[ $rc -eq 0 ] || fail "second instance exited with $rc"
[ -e "$APP/krv.ini" ] && fail "the second instance touched krv.ini"
alive || fail "the first instance ended on a handed-over -N5"
timeout "$LIMIT" "$APP/korvane" -Q >"$WORK/out" 2>&1
wait_exit
[ "$EXIT_CODE" = 0 ] || fail "a handed-over -Q: the first instance's exit is $EXIT_CODE"
grep -q '^Key="Korvane"' "$APP/krv.ini" || fail "the first instance did not save its settings"

section "a close request (SIGTERM) is a normal exit"
start_player
rm -f "$APP/krv.ini"
kill -TERM "$PLAYER_PID"
wait_exit
[ "$EXIT_CODE" = 0 ] || fail "SIGTERM: exit $EXIT_CODE"
[ -e "$APP/krv.ini" ] || fail "SIGTERM exit did not save settings"
[ -e "$APP/error.txt" ] && fail "a normal run left an error.txt"

[ $FAILED -eq 0 ] && echo "all start-up checks passed"
exit $FAILED
