#!/usr/bin/env bash
# A picture of a level: renders an FMF file with its chip sheet into a PNG file.
#   editor/tiled/level-picture.sh LEVEL.fmf PICTURE.png [CHIP_PIXELS]
# The chip sheet is found as Tiled finds it: LEVEL.png beside the level, else chips.png
# there. CHIP_PIXELS (default 8) is the size of one cell in the picture. Needs Tiled's
# `tiled` and `tmxrasterizer`; the extension beside this script is used without installing
# it, and without a display.
set -euo pipefail

if (( $# < 2 || $# > 3 )); then
    echo "usage: $0 LEVEL.fmf PICTURE.png [CHIP_PIXELS]" >&2
    exit 2
fi
level=$1
picture=$2
chip=${3:-8}
here=$(cd "$(dirname "$0")" && pwd)
for tool in tiled tmxrasterizer; do
    if ! command -v "$tool" > /dev/null; then
        echo "$0: $tool is not installed (it comes with Tiled)" >&2
        exit 1
    fi
done

# Tiled reads its extensions from its settings folder: give it one of its own.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config/tiled/extensions/tessary" && mkdir -m 700 "$work/runtime"
cp "$here/fmf-map-format.js" "$work/config/tiled/extensions/tessary/"
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
export QT_QPA_PLATFORM=offscreen

# tmxrasterizer does not run extensions, so the level goes through a TMX file first.
tiled --export-map "$level" "$work/level.tmx"
tmxrasterizer --tilesize "$chip" "$work/level.tmx" "$picture"
