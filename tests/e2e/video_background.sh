#!/bin/bash
# The player's video background in a real window under Xvfb: a #BMP slot naming a video (the
# fixture whose frame n is one colour that tells n) plays from its event, decoded ahead on its
# own thread, and keeps its last frame after its end.
# Usage: video_background.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/window_lib.bash"

[ -f "$BUILD/video-fixtures/stamp" ] || {
    echo "video background: skipped, no video fixtures (ffmpeg was missing at build time)"
    exit 0
}

# The frame number at the centre of the picture area; -1 for black, -2 for another colour.
centre_frame() {
    local p='p{459,128}'
    convert "$(shot)" -format "%[fx:int(255*$p.r)] %[fx:int(255*$p.g)] %[fx:int(255*$p.b)]" info: |
        awk '{ n = 0; black = 0
               for (c = 1; c <= 3; ++c) {
                   level = int($c / 64); if (level > 3) level = 3
                   black += $c <= 12
                   d = $c - (32 + 64 * level); if (d < 0) d = -d
                   if (d > 24) n = -2; else if (n >= 0) n += level * 4 ^ (c - 1)
               }
               print black == 3 ? -1 : n }'
}
FIRST=""
playing() {
    local n
    n=$(centre_frame)
    [ "$n" -ge 0 ] || return 1
    [ -z "$FIRST" ] && FIRST=$n
    [ "$n" != "$FIRST" ]
}
at_frame() { [ "$(centre_frame)" = "$1" ]; }

section "a video base plays from its event and keeps its last frame"
fresh_app
cp "$BUILD/video-fixtures/mpeg4.avi" "$WORK/clip.avi"
printf '#PLAYER 1\r\n#TITLE Video Background\r\n#BPM 120\r\n#BMP01 clip.avi\r\n#00104:01\r\n' \
    >"$WORK/video.bms"
printf '#WAV01 none.wav\r\n#00801:01\r\n' >>"$WORK/video.bms"
start_player "$WORK/video.bms"
wait_for "$LIMIT" playing || fail "the video did not play (centre frame $(centre_frame))"
wait_for "$LIMIT" at_frame 59 || fail "the last frame was not reached (centre $(centre_frame))"
frames 5
at_frame 59 || fail "the last frame did not stay (centre frame $(centre_frame))"
alive || fail "the player ended"
[ -e "$APP/error.txt" ] && { fail "error.txt written"; cat "$APP/error.txt"; }

[ "$FAILED" -eq 0 ] && echo "video background: all passed"
