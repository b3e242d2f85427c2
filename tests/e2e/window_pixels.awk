# Reads a plain PPM (P3) screenshot and describes one rectangle of it:
#   nonblack=<pixels that are not pure black> checksum=<a sum that changes with any pixel>
# Variables: x0 y0 x1 y1 (inclusive), rows = "all" | "odd" | "even" (which rows count), white = 1
# to see only pure white pixels (the bitmap font's) and take the rest as black. The checksum
# goes by the place within the rectangle, so equal pictures in two places give equal sums.
# Usage: awk -v x0=0 -v y0=0 -v x1=330 -v y1=255 -v rows=odd -f window_pixels.awk shot.ppm
# The pixels are taken as they stream past; nothing but the header is kept.
BEGIN {
    if (rows == "") rows = "all"
    header = 0      # header numbers read so far: magic, width, height, maximum
    channel = 0     # which of r, g, b comes next
    pixel = 0       # index of the pixel being read
    nonblack = 0
    checksum = 0
}
{
    sub(/#.*/, "")
    for (i = 1; i <= NF; ++i) {
        if (header < 4) {
            if (header == 0 && $i != "P3") { print "error: not a plain PPM"; bad = 1; exit 1 }
            if (header == 1) width = $i + 0
            ++header
            continue
        }
        if (channel == 0) rgb = 0
        rgb = rgb * 256 + $i
        if (++channel < 3) continue
        channel = 0
        x = pixel % width
        y = int(pixel / width)
        ++pixel
        if (y > y1) exit  # the rest lies below the rectangle
        if (x < x0 || x > x1 || y < y0) continue
        if (rows == "odd" && y % 2 == 0) continue
        if (rows == "even" && y % 2 == 1) continue
        if (white && rgb != 16777215) rgb = 0
        if (rgb != 0) ++nonblack
        checksum = (checksum * 31 + rgb + (x - x0) * 7 + (y - y0) * 13) % 1000000007
    }
}
END {
    if (!bad) printf "nonblack=%d checksum=%d\n", nonblack, checksum
}
