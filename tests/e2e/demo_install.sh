#!/bin/bash
# What a new user meets first: the demo song renders with every note played and a sane level,
# plays to its last measure in the real window and ends the program by itself (-SP), and
# `make install` into a fresh prefix gives a player that starts and quits.
# usage: demo_install.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/window_lib.bash"
DEMO="$SRC/demo/korvane-demo.bme"

section "render: every note judged"
stats=$("$BUILD/korvane-render" "$DEMO" --seed 1 --stats --wav "$WORK/demo.wav") || fail "render failed"
echo "$stats"
python3 - "$stats" <<'PY' || fail "judgement counts do not add up to the note count"
import json, sys
s = json.loads(sys.argv[1])
judged = sum(s[k][0] + s[k][1] for k in ("perfect", "great", "good", "bad", "poor"))
sys.exit(0 if judged == s["notes"][0] > 0 else 1)
PY

section "render: level neither silent nor clipping"
python3 - "$WORK/demo.wav" <<'PY' || fail "demo level out of range"
import array, sys, wave
w = wave.open(sys.argv[1])
assert w.getframerate() == 44100 and w.getnchannels() == 2 and w.getsampwidth() == 2
a = array.array("h", w.readframes(w.getnframes()))
peak = max(abs(min(a)), max(a)) / 32768
print("peak %.3f of full scale, %.1f s" % (peak, w.getnframes() / 44100))
sys.exit(0 if 0.05 < peak < 0.999 else 1)
PY

section "player: the demo plays to its last measure and the program ends by itself"
fresh_app
start_player "$DEMO" -SP
# The counter reads NNN/MMM in 8-pixel cells from (2, 2); at the last measure the halves match.
last_measure() {
    local f left
    f=$(shot)
    left=$(region "$f" 2 2 25 12 all white)
    [[ $left == nonblack=[1-9]* ]] && [ "$left" = "$(region "$f" 34 2 57 12 all white)" ] &&
        SEEN_LAST=1
}
SEEN_LAST=0
wait_for 150 eval 'last_measure || ! alive'
[ "$SEEN_LAST" = 1 ] || fail "the last measure was not seen"
wait_exit
[ "$EXIT_CODE" = 0 ] || { fail "demo run ended with $EXIT_CODE"; cat "$WORK/player.out"; }
[ -e "$APP/error.txt" ] && { fail "error.txt written"; cat "$APP/error.txt"; }

section "make install into a temporary prefix"
PREFIX="$WORK/prefix"
make --no-print-directory -C "$SRC" install BUILD="$BUILD" PREFIX="$PREFIX" >"$WORK/install.out" 2>&1 ||
    { fail "make install failed"; cat "$WORK/install.out"; }
timeout "$LIMIT" "$PREFIX/bin/korvane" -Q || fail "installed korvane -Q failed"
grep -q '^Key="Korvane"' "$PREFIX/lib/korvane/krv.ini" || fail "installed krv.ini missing"
grep -q 'MimeType=application/x-bms' "$PREFIX/share/applications/korvane.desktop" ||
    fail "desktop entry missing"
[ -e "$PREFIX/lib/korvane/error.txt" ] && fail "installed run wrote error.txt"

[ "$FAILED" -eq 0 ] && echo "demo and install: all passed"
exit "$FAILED"
