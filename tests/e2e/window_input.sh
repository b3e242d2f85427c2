#!/bin/bash
# The other ways into the player's window under Xvfb: the wheel seek, the double-click file
# dialog (cancelled and chosen), hand-over senders that send junk, too much or nothing, and a
# chart at a path of 4,000 characters. The window must keep answering throughout.
# Usage: window_input.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/window_lib.bash"

fresh_app
make_chart "$WORK/first.bms" 150 "First Chart"
make_chart "$WORK/chosen.bms" 150 "Chosen Chart"
make_chart "$WORK/meanwhile.bms" 150 "Meanwhile"
long_dir="$WORK"
while [ $((4000 - ${#long_dir})) -gt 250 ]; do long_dir="$long_dir/$(printf 'd%.0s' $(seq 200))"; done
mkdir -p "$long_dir"
long_chart="$long_dir/$(printf 'c%.0s' $(seq $((4000 - ${#long_dir} - 5)))).bms"
make_chart "$long_chart" 150 "Long Path"
[ ${#long_chart} -eq 4000 ] || fail "the long path has ${#long_chart} characters"

# Always on top from an earlier run: the window asks the window manager to keep it above.
printf '[Main]\r\nKey="Korvane"\r\nAlwaysOnTop=True\r\n' >"$APP/krv.ini"
start_player "$WORK/first.bms"
wait_for "$LIMIT" caption_has "first.bms" || fail "caption after loading: '$(caption)'"
xprop -id "$WID" _NET_WM_STATE | grep -q '_NET_WM_STATE_ABOVE' ||
    fail "not kept above: $(xprop -id "$WID" _NET_WM_STATE)"
focus

# The measure counter in the top left corner (the title scrolls to its right).
counter() { checksum "$(shot)" 0 0 50 11; }
wheel() {
    xdotool click "$1"
    frames 2
}

section "the wheel seeks one measure per notch, back when turned away from the user"
press 0
press Home
xdotool mousemove --window "$WID" 150 120
at_zero=$(counter)
wheel 4
[ "$(counter)" = "$at_zero" ] || fail "turned away at measure 0: not held at 0"
wheel 5
at_one=$(counter)
[ "$at_one" != "$at_zero" ] || fail "turned toward the user: no step forward"
wheel 5
[ "$(counter)" != "$at_one" ] || fail "a second notch toward the user: no step"
wheel 4
[ "$(counter)" = "$at_one" ] || fail "turned away: not one measure back"
wheel 4
[ "$(counter)" = "$at_zero" ] || fail "turned away again: not back at 0"
press 0
moving || fail "play did not go on after the seeks"

if command -v zenity >/dev/null; then
    section "double-click: the dialog cancelled, then a chart chosen in it"
    dialog() { DIALOG=$(xdotool search --onlyvisible --name '^Open$' 2>/dev/null | head -n1); [ -n "$DIALOG" ]; }
    # The first dialog of a new user's session may take long to come up; keys wait for it.
    open_dialog() {
        xdotool mousemove --window "$WID" 150 120 click --repeat 2 --delay 80 1
        wait_for "$LIMIT" dialog && focus "$DIALOG"
    }
    open_dialog || fail "no file dialog after a double-click"
    alive || fail "the player ended when the dialog opened"
    xdotool key Escape
    wait_for "$LIMIT" eval '! dialog' || fail "the dialog did not close"
    focus
    moving || fail "play did not resume after the cancelled dialog"
    caption_has "first.bms" || fail "caption changed by a cancelled dialog: '$(caption)'"

    open_dialog || fail "no file dialog after a second double-click"
    xdotool key ctrl+l
    xdotool type --delay 5 "$WORK/chosen.bms"
    xdotool key Return
    wait_for "$LIMIT" caption_has "chosen.bms" || fail "the chosen chart did not load: '$(caption)'"
    focus
else
    echo "SKIP: no zenity, the dialog is not tried"
fi

section "hand-over senders that send junk, 1 MiB, half a message or nothing"
SOCK="$XDG_RUNTIME_DIR/korvane.sock"
# Each sender leaves a mark once it is connected and has begun, then misbehaves until ended.
sender() {
    python3 - "$SOCK" "$1" "$WORK/began-$2" <<'PY' &
import socket, struct, sys, time
path, mode, mark = sys.argv[1:]
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.connect(path)
if mode == "half":
    s.sendall(struct.pack("<I", 100) + b"/tmp/half")
open(mark, "w").close()
try:
    if mode == "binary":
        data = bytes(range(256)) * 4
        s.sendall(struct.pack("<I", len(data)) + data)
        s.recv(1)
    elif mode == "mib":
        s.sendall(struct.pack("<I", 1 << 20) + b"y" * (1 << 20))
    time.sleep(600)
except OSError:
    pass
PY
    PIDS+=("$!")
}
n=0
for mode in silent half mib binary silent; do sender "$mode" $((++n)); done
wait_for "$LIMIT" eval '[ "$(ls "$WORK" | grep -c began-)" -eq 5 ]' || fail "the senders did not connect"
timeout "$LIMIT" "$APP/korvane" "$WORK/meanwhile.bms" >"$WORK/second.out" 2>&1
rc=$?
[ $rc -eq 0 ] || fail "the second start exited with $rc"
wait_for "$LIMIT" caption_has "meanwhile.bms" || fail "not handed over past the junk: '$(caption)'"
moving || fail "the window stopped while senders misbehaved"
[ "$(window_count)" -eq 1 ] || fail "$(window_count) Korvane windows"

section "a chart at a path of 4,000 characters"
timeout "$LIMIT" "$APP/korvane" "$long_chart" >"$WORK/second.out" 2>&1 || fail "long path: exit $?"
wait_for "$LIMIT" caption_has "ccc.bms" || fail "the long path did not load: '$(caption | cut -c1-80)'"
[ "$(caption)" = "Korvane 1.0.0 - $long_chart" ] || fail "caption of the long path"
moving || fail "not playing the chart at the long path"

section "Escape: the long path is the recent chart"
focus
escape_ends
grep -qF "RecentFile=\"$long_chart\"" "$APP/krv.ini" || fail "RecentFile is not the long path"
[ -e "$APP/error.txt" ] && { fail "error.txt written"; cat "$APP/error.txt"; }
[ $FAILED -eq 0 ] || { echo "player output:"; cat "$WORK/player.out"; }
exit $FAILED
