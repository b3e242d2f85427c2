#!/bin/bash
# Prints the peak memory of korvane-render playing the demo, and a chart of 1,296 #BMP slots each
# naming its own copy (a hard link) of a 16384 x 4096 picture, the largest allowed: the second
# must stay under the media budget (2 GiB, or half the machine's memory) plus 200 MB.
# usage: bench/peak_memory.sh BUILD_DIR [SOURCE_DIR]
set -e
build=$(cd "${1:-build}" && pwd); src=${2:-$(dirname "$0")/..}
dir=/tmp/korvane-peak-bench; mkdir -p "$dir"
if [ ! -f "$dir/ready" ]; then
    python3 - "$dir/big.png" <<'PY'
import struct, sys, zlib
w, h = 16384, 4096
row = b'\0' + bytes(range(256)) * (w * 3 // 256)
data = zlib.compress(row * h, 9)
chunk = lambda t, d: struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d))
open(sys.argv[1], 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0))
                              + chunk(b'IDAT', data) + chunk(b'IEND', b''))
PY
    digits=0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ
    { echo "#TITLE peak"
      for i in $(seq 0 1295); do
          id=${digits:$((i / 36)):1}${digits:$((i % 36)):1}
          ln -f "$dir/big.png" "$dir/p$i.png"; echo "#BMP$id p$i.png"
      done
      echo "#00104:01"; } | sed 's/$/\r/' > "$dir/chart.bms"
    touch "$dir/ready"
fi
peak() {  # the largest resident size of the render, in MB
    /usr/bin/time -f %M "$build/korvane-render" "$1" --stats 2>&1 >/dev/null | tail -1 |
        awk '{printf "%.0f", $1 / 1024}'
}
budget=$(awk '/MemTotal/ {m = $2 / 2 / 1024; print (m < 2048 ? int(m) : 2048)}' /proc/meminfo)
echo "demo_peak_mb=$(peak "$src/demo/korvane-demo.bme")"
echo "pictures_peak_mb=$(peak "$dir/chart.bms") budget_mb=$budget limit_mb=$((budget + 200))"
