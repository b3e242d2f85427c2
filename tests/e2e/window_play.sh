#!/bin/bash
# The player in a real window under Xvfb, driven with xdotool: the window's size, place and
# caption, the pause veil, the information panel, a chart handed over by a second start, bursts
# of keys and keys held through focus changes, and the settings saved by Escape.
# Usage: window_play.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/window_lib.bash"

fresh_app
make_chart "$WORK/first.bms" 150 "First Chart"
make_chart "$WORK/other chart.bms" 150 "Other Chart"
# Settings of an earlier run: the window goes to (100, 200), given in twips.
printf '[Main]\r\nKey="Korvane"\r\nX=1500\r\nY=3000\r\nAlwaysOnTop=False\r\nVSYNC=False\r\n' >"$APP/krv.ini"
printf 'SinglePlay=False\r\nRecentFile=""\r\n[Option]\r\nHS=1\r\nBGA=3\r\nEffect=7\r\n' >>"$APP/krv.ini"
printf 'SkinType=0\r\nDispInfo=False\r\nVolume=100\r\n' >>"$APP/krv.ini"

section "the window: client area, place, caption"
cd "$APP"  # the first player's working folder is not the second's
start_player "$WORK/first.bms"
wait_for "$LIMIT" caption_has "first.bms" || fail "caption after loading: '$(caption)'"
[ "$(caption)" = "Korvane 1.0.0 - $WORK/first.bms" ] || fail "caption '$(caption)'"
geometry=$(xdotool getwindowgeometry "$WID")
echo "$geometry" | grep -q 'Geometry: 587x256' || fail "client area: $geometry"
echo "$geometry" | grep -q 'Position: 100,200' || fail "position from krv.ini: $geometry"
# Not resizable: the size hints pin the size.
xprop -id "$WID" WM_NORMAL_HINTS | grep -q 'minimum size: 587 by 256' &&
    xprop -id "$WID" WM_NORMAL_HINTS | grep -q 'maximum size: 587 by 256' ||
    fail "the window can be resized: $(xprop -id "$WID" WM_NORMAL_HINTS)"
focus
moving || fail "the chart does not play"

section "0 pauses: every other row of the lanes goes black, PAUSE in the middle"
lanes_odd_playing=$(nonblack "$(shot)" 0 30 330 120 odd)
press 0
paused=$(shot paused)
odd_top=$(nonblack "$paused" 0 30 330 120 odd)  # the measure, title and time lines lie above
odd_bottom=$(nonblack "$paused" 0 137 330 255 odd)
even=$(nonblack "$paused" 0 30 330 120 even)
pause_text=$(nonblack "$paused" 140 123 190 131)
echo "odd rows lit while playing: $lanes_odd_playing; paused: $odd_top + $odd_bottom; even: $even; PAUSE text: $pause_text"
[ "$lanes_odd_playing" -gt 1000 ] || fail "the lanes were dark before the pause"
[ "$odd_top" -eq 0 ] && [ "$odd_bottom" -eq 0 ] || fail "the pause veil is missing"
[ "$even" -gt 1000 ] || fail "the veil covered every row"
[ "$pause_text" -gt 20 ] || fail "no PAUSE text"
# Paused means still: frames go by and the field does not move.
frames 3
[ "$(checksum "$(shot)" 0 24 586 255)" = "$(checksum "$paused" 0 24 586 255)" ] ||
    fail "the picture moved while paused (below the title line, which scrolls on)"

section "9 shows the information panel"
panel_before=$(nonblack "$paused" 332 0 586 200)
press 9
panel_after=$(nonblack "$(shot)" 332 0 586 200)
echo "panel area lit before: $panel_before, after: $panel_after"
[ "$panel_after" -gt $((panel_before + 500)) ] || fail "no panel after 9"
press 0  # play on

section "a burst of hundreds of key events, then keys held through focus changes"
xdotool key --delay 0 $(for _ in $(seq 150); do printf '1 2 '; done)
frames 2
alive || fail "the player ended in a key burst"
# Ctrl (the debug lines, with the panel on) pressed, then held while the focus goes to another
# window and comes back: keys typed there do nothing here, and the return is no new press.
# Ctrl is the command key the window system reports as held on return; a letter or digit key
# held through a focus change reads as released there (the toolkit does not re-read those).
xmessage -name other -geometry 200x100+700+600 "another window" &
PIDS+=("$!")
wait_for "$LIMIT" eval 'OTHER=$(xdotool search --onlyvisible --name "^other$" 2>/dev/null | head -n1); [ -n "$OTHER" ]' ||
    fail "no second window"
header() { checksum "$(shot)" 332 0 440 12; }
info_header=$(header)
xdotool keydown ctrl
frames 2
debug_header=$(header)
[ "$debug_header" != "$info_header" ] || fail "Ctrl did not switch to the debug lines"
focus "$OTHER"
frames 2
xdotool keyup ctrl
xdotool key --delay 50 ctrl 9 0 Escape
xdotool keydown ctrl
focus
frames 2
[ "$(header)" = "$debug_header" ] || fail "the focus change counted as a press of Ctrl"
xdotool keyup ctrl
frames 2
alive || fail "the player ended on keys sent to another window"
press ctrl
[ "$(header)" = "$info_header" ] || fail "Ctrl does nothing after the focus came back"

section "a second start hands its chart over and ends"
# Started in another folder than the first, with the chart named relative to it.
(cd "$WORK" && timeout "$LIMIT" "$APP/korvane" "other chart.bms" >"$WORK/second.out" 2>&1)
rc=$?
[ $rc -eq 0 ] || fail "the second start exited with $rc"
wait_for "$LIMIT" caption_has "other chart.bms" || fail "caption after the hand-over: '$(caption)'"
[ "$(window_count)" -eq 1 ] || fail "$(window_count) Korvane windows"
n=$(pgrep -f -c "^$APP/korvane")
[ "$n" -eq 1 ] || fail "$n player processes"
alive || fail "the first player ended"

section "Escape ends the player and saves the options and the recent chart"
focus
escape_ends
grep -q '^DispInfo=True' "$APP/krv.ini" || fail "DispInfo not saved"
grep -qF "RecentFile=\"$WORK/other chart.bms\"" "$APP/krv.ini" || fail "RecentFile not saved"
grep -q '^X=1500' "$APP/krv.ini" && grep -q '^Y=3000' "$APP/krv.ini" || fail "position not kept"
[ -e "$APP/error.txt" ] && { fail "error.txt written"; cat "$APP/error.txt"; }
[ $FAILED -eq 0 ] || {
    echo "krv.ini:"
    cat "$APP/krv.ini"
    echo "player output:"
    cat "$WORK/player.out"
}
exit $FAILED
