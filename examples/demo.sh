#!/usr/bin/env bash
# The tools' whole job on the demo ROM image: export a level, pack it again, put it back
# into a copy of the image, and check that the level unpacks to the same map.
#   examples/demo.sh [BUILD_FOLDER] [LEVEL]
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
level=${2:-1}
bin=$build/bin
work=$build/demo-run
rm -rf "$work" && mkdir -p "$work" && cd "$work"

setting() {  # setting SECTION KEY: a value from the demo's tessary.ini
    awk -v section="[$1]" -v key="$2" -F= '
        /^\[/ { inside = ($0 == section); next }
        inside && $1 == key { sub(/\r$/, "", $2); sub(/^ +/, "", $2); print $2; exit }' \
        "$bin/tessary.ini"
}
name=$(setting MapGroupName "$level")
offset=$(( $(setting MapGroupOffset "$level") ))
indent() { sed 's/^/   | /'; }

echo "== Exporting level $level ($name) from demo.rom"
"$bin/tessary" "$bin/demo.rom" level.fmf level.hdr "$level" > export.log
indent < export.log
end=$(( 16#$(sed -n 's/^Current file position: //p' export.log) ))
original=$(( end - offset ))
cp exp_map.dat original.dat

echo "== Packing level.fmf again"
"$bin/tessary_pack" level.fmf level.hdr level.bin "$level" | indent
packed=$(stat -c %s level.bin)
if cmp -s level.bin <(tail -c +$(( offset + 1 )) "$bin/demo.rom" | head -c "$original"); then
    echo "   level.bin is byte for byte the level as demo.rom holds it"
fi

echo "== Putting the packed level back into a copy of demo.rom at $(printf 0x%X "$offset")"
if (( packed > original )); then
    echo "   the packed level ($packed bytes) is larger than its space ($original bytes)"
    exit 1
fi
cp "$bin/demo.rom" edited.rom
dd if=level.bin of=edited.rom bs=1 seek="$offset" conv=notrunc status=none

echo "== Exporting the level from the edited copy"
"$bin/tessary" edited.rom again.fmf again.hdr "$level" > again.log
if cmp -s exp_map.dat original.dat && cmp -s again.fmf level.fmf; then
    echo "   the level unpacks to the same map: $(stat -c %s exp_map.dat) bytes, identical"
else
    echo "   the level unpacks to a different map"
    exit 1
fi
"$bin/tessary_pack" --optimal level.fmf level.hdr optimal.bin "$level" > /dev/null
echo "== Size with the header: $original bytes in demo.rom, $packed bytes packed again," \
    "$(stat -c %s optimal.bin) bytes with --optimal"
