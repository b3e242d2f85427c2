#!/bin/bash
# What a new user meets first: the demo song renders with every note played and a sane level,
# plays to its end in the real window and ends the program by itself (-SP), and `make install`
# into a fresh prefix gives a player that starts and quits.
# usage: demo_install.sh BUILD_DIR SOURCE_DIR
BUILD=$(cd "$1" && pwd)
SRC=$(cd "$2" && pwd)
source "$SRC/tests/e2e/window_lib.bash"
DEMO="$SRC/demo/korvane-demo.bme"

section "render: every note judged"
stats=$("$BUILD/korvane-render" "$DEMO" --seed 1 --stats --wav "$WORK/demo.wav") || fail "render failed"
echo "$stats"
/usr/bin/python3 - "$stats" <<'PY' || fail "judgement counts do not add up to the note count"
import json, sys
s = json.loads(sys.argv[1])
judged = sum(s[k][0] + s[k][1] for k in ("perfect", "great", "good", "bad", "poor"))
sys.exit(0 if judged == s["notes"][0] > 0 else 1)
PY

section "render: level neither silent nor clipping"
/usr/bin/python3 - "$WORK/demo.wav" <<'PY' || fail "demo level out of range"
import array, sys, wave
w = wave.open(sys.argv[1])
assert w.getframerate() == 44100 and w.getnchannels() == 2 and w.getsampwidth() == 2
a = array.array("h", w.readframes(w.getnframes()))
peak = max(abs(min(a)), max(a)) / 32768
print("peak %.3f of full scale, %.1f s" % (peak, w.getnframes() / 44100))
sys.exit(0 if 0.05 < peak < 0.999 else 1)
PY

start_xvfb

section "player: the demo plays to its end and the program ends by itself"
fresh_app
start=$SECONDS
timeout 150 "$APP/korvane" "$DEMO" -SP >"$WORK/demo.out" 2>&1
code=$?
echo "exit $code after $((SECONDS - start)) s"
[ "$code" -eq 0 ] || { fail "demo run ended with $code"; cat "$WORK/demo.out"; }
[ $((SECONDS - start)) -ge 45 ] || fail "the demo ended too early"
[ -e "$APP/error.txt" ] && { fail "error.txt written"; cat "$APP/error.txt"; }

section "make install into a temporary prefix"
PREFIX="$WORK/prefix"
make --no-print-directory -C "$SRC" install BUILD="$BUILD" PREFIX="$PREFIX" >"$WORK/install.out" 2>&1 ||
    { fail "make install failed"; cat "$WORK/install.out"; }
timeout 60 "$PREFIX/bin/korvane" -Q || fail "installed korvane -Q failed"
grep -q '^Key="Korvane"' "$PREFIX/lib/korvane/krv.ini" || fail "installed krv.ini missing"
grep -q 'MimeType=application/x-bms' "$PREFIX/share/applications/korvane.desktop" ||
    fail "desktop entry missing"
[ -e "$PREFIX/lib/korvane/error.txt" ] && fail "installed run wrote error.txt"

[ "$FAILED" -eq 0 ] && echo "demo and install: all passed"
exit "$FAILED"
