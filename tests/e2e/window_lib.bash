# Shared by the window end-to-end scripts (sourced, not run by itself): a private X server, a
# private program folder and runtime folder, the player started and found, keys, screenshots,
# and polling with time limits. Every process started here is ended by the exit trap.
# Needs: BUILD (the build folder) and SRC (the source folder) set by the caller.

WORK=$(mktemp -d /tmp/korvane-window-XXXXXX)
XVFB_PID=""
PIDS=()
FAILED=0

cleanup() {
    local p
    # The player's own children first (a file dialog left open by a failed step).
    for p in "${PIDS[@]}"; do pkill -P "$p" 2>/dev/null; kill "$p" 2>/dev/null; done
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

section() { echo "== [${SECONDS}s] $*"; }

fail() {
    echo "FAIL: $*"
    FAILED=1
}

# Polls a command every 0.1 s until it succeeds; false after `seconds`.
wait_for() {
    local seconds=$1 i
    shift
    for ((i = 0; i < seconds * 10; ++i)); do
        "$@" && return 0
        sleep 0.1
    done
    "$@"
}

# A private runtime folder, so no other Korvane on this machine takes our hand-over.
mkdir -m 700 "$WORK/run"
export XDG_RUNTIME_DIR="$WORK/run"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIODELAY=10
export KORVANE_NO_MESSAGEBOX=1
unset WAYLAND_DISPLAY

# Xvfb picks a free display number itself and tells us which.
start_xvfb() {
    Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$WORK/display" 2>"$WORK/xvfb.log" &
    XVFB_PID=$!
    wait_for 10 test -s "$WORK/display" || {
        echo "FAIL: Xvfb did not start"
        cat "$WORK/xvfb.log"
        exit 1
    }
    export DISPLAY=":$(head -n1 "$WORK/display")"
}

# The program folder: the player and its images; krv.ini and error.txt land here.
APP="$WORK/app"
fresh_app() {
    rm -rf "$APP"
    mkdir "$APP"
    cp "$BUILD/korvane" "$APP/"
    [ -d "$BUILD/image" ] && cp -r "$BUILD/image" "$APP/"
}

# A chart of `measures` measures at 120 BPM (two seconds each) with notes and no sounds.
make_chart() {
    local path=$1 measures=$2 title=${3:-Window Test} m
    {
        printf '#PLAYER 1\r\n#TITLE %s\r\n#BPM 120\r\n' "$title"
        for ((m = 1; m <= measures; ++m)); do
            printf '#%03d11:01010101\r\n#%03d13:00010001\r\n#%03d16:01000100\r\n' "$m" "$m" "$m"
        done
    } >"$path"
}

# Starts the player with the given arguments; sets PLAYER_PID and WID (its window).
start_player() {
    "$APP/korvane" "$@" >"$WORK/player.out" 2>&1 &
    PLAYER_PID=$!
    PIDS+=("$PLAYER_PID")
    WID=""
    wait_for 15 find_window || {
        fail "no Korvane window appeared"
        cat "$WORK/player.out"
        exit 1
    }
}
find_window() {
    WID=$(xdotool search --name '^Korvane' 2>/dev/null | head -n1)
    [ -n "$WID" ]
}
window_count() { xdotool search --name '^Korvane' 2>/dev/null | wc -l; }
caption() { xdotool getwindowname "$WID" 2>/dev/null; }
caption_has() { caption | grep -qF -- "$1"; }
alive() { kill -0 "$PLAYER_PID" 2>/dev/null && [[ "$(ps -o stat= -p "$PLAYER_PID")" != Z* ]]; }

# Keyboard focus to the player (no window manager runs, so nothing else gives it).
focus() { xdotool windowfocus --sync "$WID"; }

# A key held long enough for several frames to see it: the player samples the keyboard once a
# frame, so a press and release inside one frame would be missed, as on any sampling player.
press() {
    xdotool keydown "$1"
    sleep 0.12
    xdotool keyup "$1"
    sleep 0.12
}

# Screenshot of the player's client area as a plain PPM in a new file; prints the path.
shot() {
    local f
    f=$(mktemp "$WORK/shot-XXXXXX")
    import -window "$WID" -depth 8 -compress none "ppm:$f" 2>/dev/null
    echo "$f"
}
# region FILE X0 Y0 X1 Y1 [all|odd|even] -> "nonblack=N checksum=C"
region() {
    awk -v x0="$2" -v y0="$3" -v x1="$4" -v y1="$5" -v rows="${6:-all}" \
        -f "$SRC/tests/e2e/window_pixels.awk" "$1"
}
nonblack() { region "$@" | sed -E 's/nonblack=([0-9]+).*/\1/'; }
checksum() { region "$@" | sed -E 's/.*checksum=([0-9]+)/\1/'; }

# Waits for the player to end; sets EXIT_CODE to its exit code, or to "running".
wait_exit() {
    EXIT_CODE=running
    wait_for "$1" eval '! alive' || return
    wait "$PLAYER_PID" 2>/dev/null
    EXIT_CODE=$?
}
