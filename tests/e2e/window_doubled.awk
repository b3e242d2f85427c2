# Compares two plain PPM (P3) screenshots, the second meant to be the first with every pixel
# doubled both ways, and prints how many pixels of the second differ ("size" when its size is
# not twice the first's).
# Usage: awk -f window_doubled.awk small.ppm big.ppm
FNR == 1 { header = 0; channel = 0; pixel = 0; ++file }
{
    sub(/#.*/, "")
    for (i = 1; i <= NF; ++i) {
        if (header < 4) {
            if (header == 1) width[file] = $i + 0
            if (header == 2) height[file] = $i + 0
            ++header
            continue
        }
        if (channel == 0) rgb = 0
        rgb = rgb * 256 + $i
        if (++channel < 3) continue
        channel = 0
        if (file == 1) {
            small[pixel++] = rgb
            continue
        }
        x = pixel % width[2]
        y = int(pixel / width[2])
        ++pixel
        if (rgb != small[int(y / 2) * width[1] + int(x / 2)]) ++differ
    }
}
END {
    if (width[2] != 2 * width[1] || height[2] != 2 * height[1]) print "size"
    else print differ + 0
}
