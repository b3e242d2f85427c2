#!/bin/bash
# Start-up and shutdown of the real player under Xvfb: the quit option, a failing display, the
# settings failure paths, the hand-over to a running instance and the CPU used while idle.
# Usage: shell_startup.sh BUILD_DIR SOURCE_DIR
set -u
BUILD=$(cd "$1" && pwd)

WORK=$(mktemp -d /tmp/korvane-e2e-XXXXXX)
XVFB_PID=""
PLAYER_PID=""
cleanup() {
    [ -n "$PLAYER_PID" ] && kill "$PLAYER_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

FAILED=0
fail() { echo "FAIL: $*"; FAILED=1; }

# A private runtime folder, so no other Korvane on this machine takes our hand-over.
mkdir -m 700 "$WORK/run"
export XDG_RUNTIME_DIR="$WORK/run"
export SDL_AUDIODRIVER=dummy
export KORVANE_NO_MESSAGEBOX=1

# Xvfb picks a free display number itself and tells us which.
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$WORK/display" 2>"$WORK/xvfb.log" &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || { echo "FAIL: Xvfb did not start"; cat "$WORK/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n1 "$WORK/display")"

# A fresh program folder: the player, its images, nothing else.
fresh() {
    rm -rf "$WORK/app"
    mkdir "$WORK/app"
    cp "$BUILD/korvane" "$WORK/app/"
    [ -d "$BUILD/image" ] && cp -r "$BUILD/image" "$WORK/app/"
    APP="$WORK/app"
}

# Waits until the player's window is on the display (start-up is done); false after 20 s.
wait_window() {
    for _ in $(seq 200); do
        xdotool search --name '^Korvane' >/dev/null 2>&1 && return 0
        kill -0 "$PLAYER_PID" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

NEW_INI='[Main]
Key="Korvane"
X=0
Y=0
AlwaysOnTop=False
VSYNC=False
SinglePlay=False
RecentFile=""
[Option]
HS=1
BGA=3
Effect=7
SkinType=0
DispInfo=False
Volume=100'

echo "== -Q on a first start"
fresh
timeout 30 "$APP/korvane" -Q >"$WORK/out" 2>&1
rc=$?
[ $rc -eq 0 ] || fail "-Q exited with $rc"
[ "$(cat "$APP/krv.ini" 2>/dev/null)" = "$NEW_INI" ] || { fail "krv.ini after -Q"; cat "$APP/krv.ini"; }
[ -e "$APP/error.txt" ] && fail "-Q left an error.txt"

echo "== a display that cannot be opened, twice"
for run in 1 2; do
    SDL_VIDEODRIVER=nonexistent timeout 30 "$APP/korvane" >"$WORK/out" 2>"$WORK/err"
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

echo "== a program folder where krv.ini cannot be written ends quietly"
fresh
mkdir "$APP/krv.ini"
timeout 30 "$APP/korvane" >"$WORK/out" 2>"$WORK/err"
rc=$?
[ $rc -eq 0 ] || fail "unwritable settings exited with $rc"
[ -s "$WORK/err" ] && { fail "unwritable settings printed something"; cat "$WORK/err"; }
[ -e "$APP/error.txt" ] && fail "unwritable settings left an error.txt"

echo "== BGA=abc in a writable folder rewrites the defaults"
fresh
printf '[Main]\nKey=Korvane\nRecentFile="/x y.bms"\n[Option]\nBGA=abc\nEffect=1\n' >"$APP/krv.ini"
timeout 30 "$APP/korvane" -Q >"$WORK/out" 2>&1
rc=$?
[ $rc -eq 0 ] || fail "BGA=abc exited with $rc"
grep -q '^BGA=3$' "$APP/krv.ini" && grep -q '^Effect=7$' "$APP/krv.ini" &&
    grep -q '^RecentFile="/x y.bms"$' "$APP/krv.ini" || { fail "defaults not rewritten"; cat "$APP/krv.ini"; }

echo "== idle CPU with no chart, a second start hands over and ends"
fresh
"$APP/korvane" >"$WORK/player.out" 2>&1 &
PLAYER_PID=$!
wait_window || fail "no window appeared"
sleep 1
ticks() { awk '{ print $14 + $15 }' "/proc/$PLAYER_PID/stat"; }
if [ -r "/proc/$PLAYER_PID/stat" ]; then
    t0=$(ticks)
    sleep 5
    t1=$(ticks)
    hz=$(getconf CLK_TCK)
    cpu=$(awk -v d=$((t1 - t0)) -v hz="$hz" 'BEGIN { printf "%.1f", d * 100 / hz / 5 }')
    echo "idle CPU of the player: ${cpu}% of one core over 5 s"
    awk -v c="$cpu" 'BEGIN { exit !(c > 25) }' && fail "idle CPU ${cpu}% is far above 5%"
else
    fail "the player did not keep running"; cat "$WORK/player.out"
fi
rm -f "$APP/krv.ini"
timeout 10 "$APP/korvane" -N5 >"$WORK/out" 2>&1
rc=$?
[ $rc -eq 0 ] || fail "second instance exited with $rc"
[ -e "$APP/krv.ini" ] && fail "the second instance touched krv.ini"
kill -0 "$PLAYER_PID" 2>/dev/null || fail "the first instance ended on a handed-over -N5"
timeout 10 "$APP/korvane" -Q >"$WORK/out" 2>&1
for _ in $(seq 100); do kill -0 "$PLAYER_PID" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$PLAYER_PID" 2>/dev/null; then
    fail "a handed-over -Q did not end the first instance"
else
    wait "$PLAYER_PID"
    rc=$?
    [ $rc -eq 0 ] || fail "the first instance exited with $rc"
    grep -q '^Key="Korvane"' "$APP/krv.ini" || fail "the first instance did not save its settings"
fi
PLAYER_PID=""

echo "== a close request (SIGTERM) is a normal exit"
"$APP/korvane" >"$WORK/player.out" 2>&1 &
PLAYER_PID=$!
wait_window || fail "no window appeared"
rm -f "$APP/krv.ini"
kill -TERM "$PLAYER_PID"
for _ in $(seq 100); do kill -0 "$PLAYER_PID" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$PLAYER_PID" 2>/dev/null; then
    fail "SIGTERM did not end the player"
else
    wait "$PLAYER_PID"
    rc=$?
    [ $rc -eq 0 ] || fail "SIGTERM exit code $rc"
    [ -e "$APP/krv.ini" ] || fail "SIGTERM exit did not save settings"
fi
PLAYER_PID=""
[ -e "$APP/error.txt" ] && fail "a normal run left an error.txt"

[ $FAILED -eq 0 ] && echo "all start-up checks passed"
exit $FAILED
