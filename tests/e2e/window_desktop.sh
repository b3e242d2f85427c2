#!/bin/bash
# The desktop keys in a real window under Xvfb (a 1280 x 1024 screen, so 2x is the largest
# factor): F2 doubles the window, pixel for pixel, from its top-left corner; Tab and Shift+Tab
# walk the charts of a folder; the wheel still seeks; minus lowers the volume, which Escape saves
# with the factor.
# Usage: window_desktop.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/window_lib.bash"

fresh_app
mkdir "$WORK/songs"
for name in a_7n.bme a_14n.bme A_5n.bml; do make_chart "$WORK/songs/$name" 150 "Song ${name%.*}"; done
printf '[Main]\r\nKey="Korvane"\r\nX=1500\r\nY=3000\r\n' >"$APP/krv.ini"

size_is() { xdotool getwindowgeometry "$WID" | grep -q "Geometry: $1"; }
# Two looks in a row that agree: the window shows a settled frame.
settled() {
    local a b
    a=$(shot a)
    b=$(shot b)
    cmp -s "$a" "$b" && mv "$a" "$WORK/$1.ppm"
}
# The 2x window against the 1x frame with every pixel doubled both ways: how many pixels differ
# (ImageMagick's count; its complaint when the sizes differ).
differing() {
    convert "$WORK/small.ppm" -sample 200% "$WORK/doubled.ppm" &&
        compare -metric AE "$WORK/doubled.ppm" "$(shot big)" null: 2>&1
}
doubled() { [ "$(differing)" = 0 ]; }

section "F2: twice the size, every pixel doubled, the top-left corner in place"
start_player
size_is 587x256 || fail "not 587 x 256 at the start: $(xdotool getwindowgeometry "$WID")"
focus
wait_for "$LIMIT" settled small || fail "the idle frame never settled"
[ "$(nonblack "$WORK/small.ppm" 0 0 586 255)" -gt 10000 ] || fail "the idle frame is nearly black"
xdotool keydown F2
wait_for "$LIMIT" size_is 1174x512 || fail "F2: $(xdotool getwindowgeometry "$WID")"
xdotool keyup F2
xdotool getwindowgeometry "$WID" | grep -q 'Position: 100,200' ||
    fail "F2 moved the window: $(xdotool getwindowgeometry "$WID")"
wait_for "$LIMIT" doubled ||
    fail "the 2x window is not the 1x frame doubled: $(differing) pixels differ"

section "Tab / Shift+Tab: the next and previous chart of the folder"
timeout "$LIMIT" "$APP/korvane" "$WORK/songs/a_7n.bme" >"$WORK/second.out" 2>&1 || fail "hand-over: exit $?"
wait_for "$LIMIT" caption_has "a_7n.bme" || fail "the first chart did not load: '$(caption)'"
focus
press Tab
wait_for "$LIMIT" caption_has "a_14n.bme" || fail "Tab: '$(caption)'"
press Tab
wait_for "$LIMIT" caption_has "A_5n.bml" || fail "Tab past the last: '$(caption)'"
press shift+Tab
wait_for "$LIMIT" caption_has "a_14n.bme" || fail "Shift+Tab: '$(caption)'"

section "the wheel still seeks in the 2x window"
press 0
press Home
counter() { checksum "$(shot)" 0 0 100 22; }  # the measure counter, doubled
xdotool mousemove --window "$WID" 300 240
at_zero=$(counter)
xdotool click 5
frames 2
[ "$(counter)" != "$at_zero" ] || fail "the wheel at 2x: no measure forward"

section "minus: the volume down by 10, noted in the caption, saved by Escape"
# The note shows for a second only: looked for while the key is still down.
xdotool keydown minus
wait_for "$LIMIT" caption_has "a_14n.bme - Volume 90 %" || fail "minus: '$(caption)'"
xdotool keyup minus
wait_for "$LIMIT" eval '[ "$(caption)" = "Korvane 1.0.0 - $WORK/songs/a_14n.bme" ]' ||
    fail "the volume note stayed: '$(caption)'"
escape_ends
grep -q '^Volume=90' "$APP/krv.ini" || fail "volume not saved: $(grep Volume "$APP/krv.ini")"
grep -q '^Scale=2' "$APP/krv.ini" || fail "factor not saved: $(grep Scale "$APP/krv.ini")"
[ -e "$APP/error.txt" ] && { fail "error.txt written"; cat "$APP/error.txt"; }
[ $FAILED -eq 0 ] || { echo "player output:"; cat "$WORK/player.out"; }
exit $FAILED
