#!/usr/bin/env bash
# The camera's photo and what it must become: IMG_0001.JPG, and decoded.bmp, the same picture as
# libjpeg decodes it by default (the accurate integer transform), 24-bit and bottom-up.
#   make-photo.sh <folder>
set -euo pipefail
convert -seed 7 -size 160x120 plasma:fractal -quality 90 "$1/IMG_0001.JPG"
convert -define jpeg:dct-method=islow "$1/IMG_0001.JPG" -type truecolor BMP3:"$1/decoded.bmp"
