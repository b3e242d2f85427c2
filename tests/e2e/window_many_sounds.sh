#!/bin/bash
# The player opened on a song with 1,500 OGG keysounds (sixteen to a measure of 1.6 s, each used
# once): it shows the chart's caption and plays while the sounds still decode, and right after
# opening, a wheel seek to the middle plays on with sound.
# Usage: window_many_sounds.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/window_lib.bash"

fresh_app
SONG="$WORK/many"
mkdir "$SONG"
digits=0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ
id() { printf '%s%s' "${digits:$(($1 / 36)):1}" "${digits:$(($1 % 36)):1}"; }
# Copies, not links: each is a file of its own, decoded on its own.
for ((i = 1; i <= 1500; ++i)); do cp "$SRC/tests/data/sound/tone.ogg" "$SONG/k$i.ogg"; done
{
    printf '#TITLE Many Sounds\r\n#BPM 150\r\n'
    for ((i = 1; i <= 1500; ++i)); do printf '#WAV%s k%d.ogg\r\n' "$(id $i)" "$i"; done
    for ((i = 0; i < 1500; ++i)); do
        slots=$(printf '%032d' 0)
        slots="${slots:0:$((i % 16 * 2))}$(id $((i + 1)))${slots:$((i % 16 * 2 + 2))}"
        printf '#%03d%02d:%s\r\n' $((i / 16)) $((11 + i % 7)) "$slots"
    done
} >"$SONG/many.bms"

# The sound card's output, written as it plays.
export SDL_DISKAUDIOFILE="$WORK/audio.raw"
audio_bytes() { stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0; }
# Non-zero samples among the last `bytes` written.
audio_tail_sounds() { (($(tail -c "$1" "$SDL_DISKAUDIOFILE" | tr -d '\0' | wc -c) > 0)); }
grown_by() { (($(audio_bytes) >= $1 + $2)); }

section "the caption, then play"
started=$SECONDS
start_player "$SONG/many.bms"
wait_for "$LIMIT" caption_has "many.bms" || fail "caption after loading: '$(caption)'"
echo "caption after about $((SECONDS - started)) s (whole seconds of a shell clock; not asserted)"
focus
moving || fail "the chart does not play"

section "a wheel seek to the middle right after opening plays on with sound"
xdotool mousemove --window "$WID" 100 100 click --repeat 47 --delay 5 5
frames 2
from=$(audio_bytes)
# Two seconds of stereo float output: twenty keysounds are due in them.
wait_for "$LIMIT" grown_by "$from" $((2 * 44100 * 8)) || fail "no sound output after the seek"
audio_tail_sounds $((2 * 44100 * 8)) || fail "silence after the seek"
alive || fail "the player ended"
[ -e "$APP/error.txt" ] && fail "errors reported: $(cat "$APP/error.txt")"

exit "$FAILED"
