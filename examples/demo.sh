#!/usr/bin/env bash
# The tools' whole job on the demo ROM image: every level out to a folder, one level edited,
# every level back into a new ROM image with a patch, and the edit found in the new image.
#   examples/demo.sh [BUILD_FOLDER] [LEVEL]
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
level=${2:-1}
bin=$build/bin
work=$build/demo-run
count=$(awk -F= '/^Count=/ { print $2 + 0 }' "$bin/tessary.ini")
if ! [[ $level =~ ^[0-9]+$ ]] || (( level >= count )); then
    echo "demo.sh: there is no demo level $level; the demo ROM image has levels 0 to $((count - 1))." >&2
    exit 2
fi
rm -rf "$work" && mkdir -p "$work" && cd "$work"
indent() { sed 's/^/   | /'; }

echo "== Every level of demo.rom out to the folder levels/"
"$bin/tessary" --all "$bin/demo.rom" levels | indent

fmf=$(ls levels/"$(printf %02d "$level")"*.fmf)
cell=40  # the 41st cell of the map, counted row by row
at=$(( 20 + 2 * cell ))
old=$(od -An -tu1 -j "$at" -N1 "$fmf" | tr -d ' ')
new=$(( (old + 1) % 64 ))
echo "== Editing $fmf: cell $cell becomes chip $new (it was $old)"
printf "\\$(printf %03o "$new")" | dd of="$fmf" bs=1 seek="$at" conv=notrunc status=none

echo "== Every level back into edited.rom, with the patch edited.bps"
"$bin/tessary_pack" --all levels --rom "$bin/demo.rom" --into edited.rom --patch edited.bps |
    indent

echo "== Checking edited.rom: every level unpacks"
"$bin/tessary" --check edited.rom | indent

echo "== Exporting level $level from edited.rom"
"$bin/tessary" edited.rom again.fmf again.hdr "$level" 2> /dev/null | tail -n 1 | indent
if cmp -s again.fmf "$fmf"; then
    echo "   the level unpacks to the edited map, byte for byte"
else
    echo "   the level unpacks to a different map"
    exit 1
fi
echo "== edited.rom differs from demo.rom in $(cmp -l "$bin/demo.rom" edited.rom | wc -l) bytes;" \
    "edited.bps is $(stat -c %s edited.bps) bytes"
