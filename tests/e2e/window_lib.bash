# Shared by the end-to-end scripts, sourced first with the script's own arguments
# (BUILD_DIR SOURCE_DIR). Every run is a new user's first run, so a developer's machine and CI
# behave alike: the script restarts itself with a bare environment and a fresh home (no
# settings, no caches, no desktop session), a private runtime folder, no font cache (the fonts
# are scanned on first use, as right after installing), and a display only from its own Xvfb.
# Nothing waits a fixed time: wait_for polls a condition up to a deadline, keys go to a window
# only once it holds the focus, and a key is held until the player has drawn frames after it.
# The exit trap ends everything started here.
[ -n "${KORVANE_E2E_COLD:-}" ] ||
    exec env -i KORVANE_E2E_COLD=1 PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 bash "$0" "$@"
set -u
BUILD=$(cd "$1" && pwd)
SRC=$(cd "$2" && pwd)
WORK=$(mktemp -d /tmp/korvane-e2e-XXXXXX)
LIMIT=60  # what is awaited and not there by then counts as missing, however busy the machine
XVFB_PID=""
PIDS=()
FAILED=0

cleanup() {
    local p
    exec 2>/dev/null  # no notices of the ended jobs
    # The players' own children first: a file dialog left open by a failed step.
    for p in "${PIDS[@]}"; do pkill -KILL -P "$p"; kill -KILL "$p"; done
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID"
    wait
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

export HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/run"
mkdir "$HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
sed '/<cachedir>\//d; s|>conf.d<|>/etc/fonts/conf.d<|' /etc/fonts/fonts.conf >"$WORK/fonts.conf"
export FONTCONFIG_FILE="$WORK/fonts.conf"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIODELAY=10
export KORVANE_NO_MESSAGEBOX=1
export GSETTINGS_BACKEND=memory  # the dialog's settings: there is no session bus to keep them

section() { echo "== [${SECONDS}s] $*"; }
fail() {
    echo "FAIL: $*"
    FAILED=1
}

# Polls a command every 0.1 s until it succeeds; false once `seconds` have passed.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# Xvfb picks a free display number itself and tells us which.
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$WORK/display" 2>"$WORK/xvfb.log" &
XVFB_PID=$!
wait_for "$LIMIT" test -s "$WORK/display" || {
    echo "FAIL: Xvfb did not start"
    cat "$WORK/xvfb.log"
    exit 1
}
export DISPLAY=":$(head -n1 "$WORK/display")"

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

# Starts the player with the given arguments; sets PLAYER_PID and WID (its mapped window).
start_player() {
    "$APP/korvane" "$@" >"$WORK/player.out" 2>&1 &
    PLAYER_PID=$!
    PIDS+=("$PLAYER_PID")
    wait_for "$LIMIT" find_window || {
        fail "no Korvane window appeared"
        cat "$WORK/player.out"
        exit 1
    }
}
find_window() {
    WID=$(xdotool search --onlyvisible --name '^Korvane' 2>/dev/null | head -n1)
    [ -n "$WID" ]
}
window_count() { xdotool search --onlyvisible --name '^Korvane' 2>/dev/null | wc -l; }
caption() { xdotool getwindowname "$WID" 2>/dev/null; }
caption_has() { caption | grep -qF -- "$1"; }
alive() { kill -0 "$PLAYER_PID" 2>/dev/null && [[ "$(ps -o stat= -p "$PLAYER_PID")" != Z* ]]; }

# Waits for the player to end; sets EXIT_CODE to its exit code, or to "running".
wait_exit() {
    EXIT_CODE=running
    wait_for "$LIMIT" eval '! alive' || return
    wait "$PLAYER_PID" 2>/dev/null
    EXIT_CODE=$?
}

# Escape ends the player, with exit code 0; the key is held until it has.
escape_ends() {
    xdotool keydown Escape
    wait_exit
    xdotool keyup Escape
    [ "$EXIT_CODE" = 0 ] || fail "Escape: exit $EXIT_CODE"
}

# Keyboard focus to a window (the player by default). No window manager runs, so nothing else
# gives it, and a window that is not viewable yet refuses it: asked again until it holds.
focus() { wait_for "$LIMIT" has_focus "${1:-$WID}" || fail "window ${1:-$WID} took no focus"; }
has_focus() {
    xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable' &&
        xdotool windowfocus "$1" 2>/dev/null && [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]
}

# Screenshot of the player's client area as a plain PPM; prints the path ($WORK/NAME.ppm).
# Bounded: a window that has just gone would make the grabber wait for a click.
shot() {
    local f="$WORK/${1:-now}.ppm"
    rm -f "$f"
    timeout 10 import -window "$WID" -depth 8 -compress none "ppm:$f" 2>/dev/null
    echo "$f"
}
# region FILE X0 Y0 X1 Y1 [all|odd|even [white]] -> "nonblack=N checksum=C"
region() {
    awk -v x0="$2" -v y0="$3" -v x1="$4" -v y1="$5" -v rows="${6:-all}" -v white="${7:-}" \
        -f "$SRC/tests/e2e/window_pixels.awk" "$1"
}
nonblack() { region "$@" | sed -E 's/nonblack=([0-9]+).*/\1/'; }
checksum() { region "$@" | sed -E 's/.*checksum=([0-9]+)/\1/'; }

# Frames: while a chart is loaded the title scrolls a pixel every 20 ms, so each change seen
# in its band is a frame drawn since the last look. Two of them after a key was sent mean the
# player has begun a frame after the key, and sampled it.
band_moved() {
    local now
    now=$(checksum "$(shot band)" 60 2 326 12)
    [ "$now" != "$BAND" ] && BAND=$now
}
frames() {
    local n
    BAND=$(checksum "$(shot band)" 60 2 326 12)
    for ((n = 0; n < $1; ++n)); do wait_for "$LIMIT" band_moved || fail "the player drew no frame"; done
}
# A key held until the player has sampled it, then released the same way: the player reads the
# keyboard once a frame, so a press and release between two frames would go unseen.
press() {
    xdotool keydown "$1"
    frames 2
    xdotool keyup "$1"
    frames 2
}
# Play goes on: the lanes change.
moving() {
    local before
    before=$(checksum "$(shot)" 0 24 330 255)
    wait_for "$LIMIT" eval '[ "$(checksum "$(shot)" 0 24 330 255)" != "$before" ]'
}
