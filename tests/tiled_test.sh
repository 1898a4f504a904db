#!/usr/bin/env bash
# The map format extension for Tiled (editor/tiled), run by the real Tiled on the demo levels:
#   tests/tiled_test.sh BUILD_FOLDER roundtrip|edit|refusals|picture
# Exits with 77, which CTest counts as skipped, when Tiled or the chip sheet is missing.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "$1" && pwd)/bin
check=$2
if ! command -v tiled > /dev/null || ! command -v tmxrasterizer > /dev/null; then
    echo "SKIPPED: Tiled is not installed (Debian: apt-get install tiled)"
    exit 77
fi
if [[ ! -f $bin/chips.png ]]; then
    echo "SKIPPED: no chip sheet in $bin (libpng was not found when building)"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
export QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME/tiled/extensions/tessary" && mkdir -m 700 "$XDG_RUNTIME_DIR"
cp "$source_dir/editor/tiled/fmf-map-format.js" "$XDG_CONFIG_HOME/tiled/extensions/tessary/"
cd "$work"
cp "$bin/chips.png" .

fail() { echo "FAILED: $*"; exit 1; }
setting() {  # setting SECTION KEY: a value from the demo's tessary.ini
    awk -v section="[$1]" -v key="$2" -F= '
        /^\[/ { inside = ($0 == section); next }
        inside && $1 == key { sub(/\r$/, "", $2); sub(/^ +/, "", $2); print $2; exit }' \
        "$bin/tessary.ini"
}
u32() { od -An -tu4 -j"$2" -N4 --endian=little "$1" | tr -d ' '; }  # u32 FILE OFFSET
export_level() {  # export_level LEVEL: level.fmf, level.hdr and exp_map.dat of a demo level
    "$bin/tessary" "$bin/demo.rom" level.fmf level.hdr "$1" > /dev/null
}

roundtrip() {
    for (( level = 0; level < $(setting MapGroups Count); ++level )); do
        export_level "$level"
        tiled --export-map level.fmf level.tmx
        tiled --export-map level.tmx again.fmf
        cmp level.fmf again.fmf || fail "level $level changed on its way through Tiled"
        echo "level $level: $(stat -c %s level.fmf) bytes, identical after Tiled"
    done
}

# Sets cells of the TMX file's one CSV layer: edits are "x y tile" lines on standard input.
edit_tmx() {
    awk 'NR == FNR { gid[$1 "," $2] = $3 + 1; next }
         /<\/data>/ { inside = 0 }
         inside {
             n = split($0, field, ",")
             for (x = 0; x < n; ++x) if ((x "," y) in gid) field[x + 1] = gid[x "," y]
             line = field[1]; for (i = 2; i <= n; ++i) line = line "," field[i]
             $0 = line; ++y
         }
         /<data encoding="csv">/ { inside = 1; y = 0 }
         { print }' - "$1"
}

# A game cell as the exporter's cell code has it, from the tile number in Tiled.
game_cell() {
    local high=$(( $1 / 64 )) low=$(( $1 % 64 ))
    echo $(( (low & 0xF) | high << 4 | (low >> 4 & 1) << 14 | (low >> 5 & 1) << 15 ))
}

put_cell() {  # put_cell FILE INDEX VALUE: one little-endian 16-bit cell
    printf "\\x$(printf %02x $(( $3 & 0xFF )))\\x$(printf %02x $(( $3 >> 8 )))" |
        dd of="$1" bs=1 seek=$(( 2 * $2 )) conv=notrunc status=none
}

# Edits a horizontal and a vertical level in Tiled, packs each, puts it into the ROM image
# and unpacks it again: exactly the edited cells change, to the game's code of their tiles.
edit() {
    for level in 3 2; do
        export_level "$level"
        cp exp_map.dat original.dat
        local width height fixed vertical offset
        width=$(u32 level.fmf 8) height=$(u32 level.fmf 12)
        fixed=$(setting MapGroupHeight "$level") vertical=$(setting MapGroupVertical "$level")
        offset=$(( $(setting MapGroupOffset "$level") ))
        tiled --export-map level.fmf level.tmx
        printf '%s\n' "0 0 63" "$(( width - 1 )) $(( height - 1 )) 16320" \
            "$(( width / 2 )) $(( height / 2 )) 337" "1 $(( height - 2 )) 4096" > edits
        edit_tmx level.tmx < edits > edited.tmx
        tiled --export-map edited.tmx edited.fmf
        "$bin/tessary_pack" edited.fmf level.hdr edited.bin "$level" > /dev/null
        cp "$bin/demo.rom" edited.rom
        dd if=edited.bin of=edited.rom bs=1 seek="$offset" conv=notrunc status=none
        "$bin/tessary" edited.rom again.fmf again.hdr "$level" > /dev/null

        cp original.dat expected.dat
        while read -r x y tile; do
            local index=$(( ${vertical:-0} != 0 ? y * fixed + x : x * fixed + y ))
            local cell=$(( $(od -An -tu2 -j$(( 2 * index )) -N2 --endian=little original.dat) ))
            (( cell != $(game_cell "$tile") )) || fail "level $level: $x,$y already holds $tile"
            put_cell expected.dat "$index" "$(game_cell "$tile")"
        done < edits
        cmp expected.dat exp_map.dat || fail "level $level: the unpacked cells differ"
        echo "level $level: the $(wc -l < edits) edited cells, and only they, changed"
    done
}

# Files that FMF cannot be read from or written as; each row of the table: a broken file and
# the words its refusal must hold.
refusals() {
    export_level 0
    tiled --export-map level.fmf level.tmx
    patched() {  # patched FILE OFFSET BYTES: the level with BYTES written at OFFSET
        cp level.fmf "$1"
        printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
    }
    patched magic.fmf 0 'FMX_'
    head -c 1000 level.fmf > truncated.fmf
    patched bits8.fmf 19 '\010'
    patched layers2.fmf 18 '\002'
    sed '0,/^1,/s//0,/' level.tmx > empty.tmx
    sed '0,/^1,/s//2147483649,/' level.tmx > flipped.tmx
    # The same sheet again, as a second tileset from whose first tile one cell is drawn.
    SECOND=$(sed -n '/<tileset/,/<\/tileset>/p' level.tmx |
        sed 's/firstgid="1" name="chips"/firstgid="16385" name="second"/') \
        awk '/^ <layer/ { print ENVIRON["SECOND"] } { print }' level.tmx |
        sed '0,/^1,/s//16385,/' > second.tmx
    local cells=$(( $(stat -c %s level.fmf) - 20 ))
    local table=(
        "magic.fmf|magic.fmf is not an FMF file: it does not begin with FMF_"
        "truncated.fmf|the header announces $cells bytes of cells, the file holds 980"
        "bits8.fmf|bits8.fmf holds 1 layer(s) of 8-bit cells; only one layer of 16-bit cells"
        "layers2.fmf|layers2.fmf holds 2 layer(s) of 16-bit cells; only one layer of 16-bit cells"
        "empty.tmx|empty.fmf not written: the cell at 0, 0 is empty"
        "flipped.tmx|flipped.fmf not written: the chip at 0, 0 is flipped or rotated"
        "second.tmx|second.fmf not written: the map uses 2 tilesets (chips, second)"
    )
    for row in "${table[@]}"; do
        local input=${row%%|*} message=${row#*|} output
        output=$( [[ $input == *.fmf ]] && echo "${input%.fmf}.tmx" || echo "${input%.tmx}.fmf" )
        if tiled --export-map "$input" "$output" > log 2>&1 || [[ -e $output ]]; then
            fail "$input was taken"
        fi
        grep -qF "$message" log || fail "$input: expected '$message', got: $(cat log)"
        echo "$input refused: $(grep -F "$message" log)"
    done
}

picture() {
    export_level 1
    "$source_dir/editor/tiled/level-picture.sh" level.fmf picture.png 4
    local want="$(( 4 * $(u32 level.fmf 8) )) x $(( 4 * $(u32 level.fmf 12) ))"
    local got="$(od -An -tu4 -j16 -N4 --endian=big picture.png | tr -d ' ') x $(
        od -An -tu4 -j20 -N4 --endian=big picture.png | tr -d ' ')"
    [[ $got == "$want" ]] || fail "the picture is $got pixels, not $want"
    echo "picture of level 1: $got pixels"
}

"$check"
