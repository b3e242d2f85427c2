#!/bin/sh
# Writes the video fixtures into folder $1: 60 frames at 25 fps whose solid colour tells the frame
# number n (red, green and blue each one of four levels: 32 + 64 * digit of n in base 4), in the
# codecs charts use, plus damaged and unusable files. Keyframes every 10 frames so that seeking
# lands between them.
set -e
out=$1
mkdir -p "$out"
cd "$out"
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
colours() {
    echo "color=black:s=$1:r=25:d=2.4,format=rgb24,geq=r='32+64*mod(N,4)':g='32+64*mod(floor(N/4),4)':b='32+64*mod(floor(N/16),4)'"
}
tone="sine=frequency=440:duration=2.4"

ff -f lavfi -i "$(colours 160x120)" -f lavfi -i "$tone" -c:v mpeg1video -q:v 2 -g 10 -c:a mp2 mpeg1.mpg
ff -f lavfi -i "$(colours 160x120)" -c:v mpeg4 -q:v 2 -g 10 mpeg4.avi
ff -f lavfi -i "$(colours 160x120)" -f lavfi -i "$tone" -c:v wmv2 -q:v 2 -g 10 -c:a wmav2 wmv2.wmv
ff -f lavfi -i "$(colours 160x120)" -c:v libx264 -preset ultrafast -crf 10 -g 10 -bf 2 \
    -pix_fmt yuv420p h264.mp4
ff -f lavfi -i "$(colours 160x120)" -c:v libvpx -b:v 1M -g 10 vp8.webm
ff -f lavfi -i "$(colours 160x120)" -c:v libtheora -q:v 8 -g 10 theora.ogv
ff -f lavfi -i "$(colours 160x120)" -c:v flv -q:v 2 -g 10 flv1.flv
ff -f lavfi -i "$(colours 90x160)" -c:v mpeg4 -q:v 2 -g 10 tall.avi
ff -f lavfi -i "color=0x0a0a0a:s=64x64:r=25:d=0.2" -c:v mpeg4 -q:v 2 dark.avi

# Unusable or damaged.
ff -f lavfi -i "$tone" -c:a mp2 audio_only.mpg
ff -f lavfi -i "color=red:s=5000x16:r=25:d=0.2" -c:v mpeg4 -q:v 2 huge.avi
size=$(wc -c <mpeg4.avi)
head -c $((size / 2)) mpeg4.avi >truncated.avi
head -c 300 mpeg4.avi >header_only.avi
cp mpeg4.avi garbage_middle.avi
seq 100000 | head -c 3000 | dd of=garbage_middle.avi bs=1 seek=$((size / 3)) conv=notrunc 2>/dev/null
seq 0 7 100000 | head -c 4096 >noise.mpg
: >empty.wmv
echo "not a video" >text.mp4
printf '#EXTM3U\n#EXT-X-TARGETDURATION:3\n#EXTINF:3,\nmpeg4.avi\n#EXT-X-ENDLIST\n' >playlist.mpg
printf 'ffconcat version 1.0\nfile mpeg4.avi\n' >concat.avi
cp mpeg4.avi 'colon:name.avi'
