#!/bin/bash
# The player opened on a song with 1,295 OGG keysounds, every one two characters can name
# (sixteen to a measure of 1.6 s, each used once): it shows the chart's caption and plays while
# the sounds still decode, and right after opening, a wheel seek to the middle plays the sounds of
# the middle, none missing: what it records then is a run of what the renderer makes of the song.
# Usage: window_many_sounds.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/window_lib.bash"

fresh_app
SONG="$WORK/many"
mkdir "$SONG"
SOUNDS=1295
MEASURES=$(((SOUNDS + 15) / 16))
digits=0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ
# The two-character name of sound n, in ID.
name_of() { ID="${digits:$(($1 / 36)):1}${digits:$(($1 % 36)):1}"; }
# Each sound is a burst of 20 ms and then silence to one second (so it costs a one-second decode);
# the level of the burst names the measure that plays it: k1 to k16 measure 0, and so on. Soft
# edges keep the codec from moving the peaks out of order.
# Copies, not links: each is a file of its own, decoded on its own.
for ((m = 0; m < MEASURES; ++m)); do
    printf '%s 0.%03d\n' "$WORK/level$m.ogg" $((50 + 9 * m))
done |
    xargs -P 2 -n 2 sh -c 'sox -n -r 44100 -c 1 "$0" synth 0.02 sine 441 \
        fade h 0.005 0.02 0.005 vol "$1" pad 0 0.98' ||
    fail "no sounds made"
for ((m = 0; m < MEASURES; ++m)); do
    copies=()
    for ((i = m * 16 + 1; i <= m * 16 + 16 && i <= SOUNDS; ++i)); do copies+=("$SONG/k$i.ogg"); done
    tee "${copies[@]}" <"$WORK/level$m.ogg" >/dev/null
done
# Lanes 11 to 16 in turn, the ones that sound in this layout.
empty=00000000000000000000000000000000
{
    printf '#TITLE Many Sounds\r\n#BPM 150\r\n'
    for ((i = 1; i <= SOUNDS; ++i)); do
        name_of $i
        printf '#WAV%s k%d.ogg\r\n' "$ID" "$i"
    done
    for ((i = 0; i < SOUNDS; ++i)); do
        name_of $((i + 1))
        printf '#%03d%02d:%s\r\n' $((i / 16)) $((11 + i % 6)) \
            "${empty:0:$((i % 16 * 2))}$ID${empty:$((i % 16 * 2 + 2))}"
    done
} >"$SONG/many.bms"

# What the song must sound like: the renderer plays it on its own clock, every sound in time.
"$BUILD/korvane-render" "$SONG/many.bms" --wav "$WORK/render.wav" >"$WORK/render.out" 2>&1 ||
    fail "the render failed: $(cat "$WORK/render.out")"

# The sound card's output, written as it plays: stereo float at 44.1 kHz, a period of 512 frames
# (11.6 ms) about every 11 ms, near enough the pace of the wall clock.
export SDL_DISKAUDIOFILE="$WORK/audio.raw" SDL_DISKAUDIODELAY=11
audio_bytes() { stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0; }
grown_by() { (($(audio_bytes) >= $1 + $2)); }
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }

section "the caption, then play"
started=$(date +%s%N)
start_player "$SONG/many.bms"
wait_for "$LIMIT" caption_has "many.bms" || fail "caption after loading: '$(caption)'"
# Polled every 0.1 s, and the machine may be busy: for the log, not asserted.
echo "caption $(ms_since "$started") ms after the start"
focus
moving || fail "the chart does not play"

section "a wheel seek to the middle right after opening plays the middle's sounds, none missing"
xdotool mousemove --window "$WID" 100 100 click --repeat 47 --delay 5 5
frames 2
from=$(audio_bytes)
# Four seconds of output hold the settle after the seek and the two dozen bursts compared.
wait_for "$LIMIT" grown_by "$from" $((4 * 44100 * 8)) || fail "no sound output after the seek"
python3 "$SRC/tests/e2e/window_bursts.py" "$SDL_DISKAUDIOFILE" "$from" "$WORK/render.wav" ||
    fail "the sounds after the seek differ from the render's"
# The comparison itself must see a hole: the same recording with one burst left out.
python3 "$SRC/tests/e2e/window_bursts.py" "$SDL_DISKAUDIOFILE" "$from" "$WORK/render.wav" \
    --drop 10 >"$WORK/hole.out" && fail "a missing sound goes unnoticed: $(cat "$WORK/hole.out")"
alive || fail "the player ended"
[ -e "$APP/error.txt" ] && fail "errors reported: $(cat "$APP/error.txt")"

exit "$FAILED"
