#!/bin/bash
# Holds the code to its layer order: a file may include only its own layer and the layers below.
#   base <- platform <- media (sound/, display's surfaces) <- chart <- play <- display <- shell <- apps
# base/ includes nothing else, platform/ only base/; nothing below the shell includes shell/.
# The calls upward that the design keeps are listed in EXCEPTIONS (and in the comment at the top
# of the including module's public header); any other upward include fails.
# usage: layers_test.sh SOURCE_DIR
cd "${1:-.}" || exit 2

EXCEPTIONS="
src/chart/load.cpp play/modCount.h
src/chart/load.cpp play/modKey.h
src/chart/seek.cpp play/modCount.h
src/chart/seek.cpp play/modKey.h
src/sound/clsSoundBuffer.cpp play/modCount.h
"

layer() {
    case "${1#src/}" in
        base/*) echo 0 ;;
        platform/*) echo 1 ;;
        sound/* | display/clsDrawSurface.* | display/pixels.* | display/surfaces.* | \
            display/shared_videos.*) echo 2 ;;
        chart/*) echo 3 ;;
        play/*) echo 4 ;;
        display/*) echo 5 ;;
        shell/*) echo 6 ;;
        *) echo 7 ;;
    esac
}

failed=0
while IFS=: read -r file header; do
    from=$(layer "$file")
    to=$(layer "$header")
    if ((to > from)) && ! grep -qxF "$file $header" <<<"$EXCEPTIONS"; then
        echo "upward include: $file includes $header"
        failed=1
    fi
done < <(grep -rHo '^#include "[a-z]*/[^"]*"' src apps | sed 's/#include "\(.*\)"/\1/')

# The same rules spelled out, so a change to the map above cannot loosen them unnoticed.
report() {
    if [ -n "$2" ]; then
        echo "$1:"
        echo "$2"
        failed=1
    fi
}
report "base/ includes another module" "$(grep -rn '^#include "' src/base | grep -v '"base/')"
report "platform/ includes more than platform/ and base/" \
    "$(grep -rn '^#include "' src/platform | grep -v '"\(base\|platform\)/')"
report "shell/ (modMain.h or any other) is included below the shell" \
    "$(grep -rn '^#include "shell/' src --exclude-dir=shell)"
[ "$failed" = 0 ] && echo "layers: ok"
exit $failed
