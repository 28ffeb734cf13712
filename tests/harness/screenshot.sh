#!/bin/sh
# Takes a picture of part of an X display, for the progress window's
# screenshots in docs/progress-window.md: the test that shows each state calls it.
#   screenshot.sh DISPLAY GEOMETRY OUT.png
# GEOMETRY is WIDTHxHEIGHT+X+Y on the display. The file appears whole or not
# at all (written beside it, then renamed). Needs ImageMagick's import.
set -eu
display=$1 geometry=$2 out=$3
command -v import >/dev/null 2>&1 || { echo "screenshot.sh: no ImageMagick import" >&2; exit 1; }
import -display "$display" -window root -crop "$geometry" +repage "$out.part.png"
mv "$out.part.png" "$out"
