#!/bin/sh
# Writes the uncut sounds the truncation cases cut: four seconds of a tone on the left and pink
# noise on the right (noise keeps the compressed data far larger than the headers), as OGG Vorbis,
# FLAC and MP3. Usage: make.sh OUTPUT_FOLDER
set -e
out=$1
sox -R -n -r 44100 -c 2 -b 16 "$out/source.wav" synth 4 sine 440 pinknoise vol 0.5
sox -R "$out/source.wav" -C 3 "$out/sound.ogg"
sox -R "$out/source.wav" "$out/sound.flac"
sox -R "$out/source.wav" -C 128 "$out/sound.mp3"
