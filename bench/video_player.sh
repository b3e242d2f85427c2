#!/bin/bash
# The player's cost of a 640 x 480 MPEG-4 video background, under Xvfb: the same 20-second chart
# played to its end (-SP) with and without a #BMP slot naming the video, as processor time over
# the wall time of the play. The difference is what the video costs (target: under 15 % of one
# core); the play's own time shows that the frame loop kept going.
# usage: bench/video_player.sh BUILD_DIR
set -eu
build=$(cd "${1:-build}" && pwd)
dir=/tmp/korvane-video-player-bench
mkdir -p "$dir"
if [ ! -f "$dir/ready" ]; then
    ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=s=640x480:r=30:d=20 \
        -c:v mpeg4 -q:v 4 -g 30 "$dir/clip640.avi"
    chart() {
        printf '#PLAYER 1\r\n#TITLE video bench\r\n#BPM 120\r\n'
        [ "$1" = video ] && printf '#BMP01 clip640.avi\r\n#00004:01\r\n'
        for ((m = 1; m <= 10; ++m)); do printf '#%03d11:01010101\r\n' "$m"; done
    }
    chart video >"$dir/video.bms"
    chart none >"$dir/none.bms"
    touch "$dir/ready"
fi
work=$(mktemp -d)
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$work/display" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null
export KORVANE_NO_MESSAGEBOX=1 HOME="$work"
mkdir "$work/app"
cp "$build/korvane" "$work/app/"
[ -d "$build/image" ] && cp -r "$build/image" "$work/app/"
for chart in none video; do
    /usr/bin/time -f "%U %S %e" -o "$work/time" "$work/app/korvane" "$dir/$chart.bms" -SP \
        >/dev/null 2>&1 || true
    read -r user sys wall <"$work/time"
    awk -v c="$chart" -v u="$user" -v s="$sys" -v w="$wall" \
        'BEGIN { printf "%s: %.1f %% of one core over %.1f s\n", c, 100 * (u + s) / w, w }'
done
