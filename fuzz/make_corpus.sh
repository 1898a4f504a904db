#!/usr/bin/env bash
# Makes the fuzz targets' seed corpora with our own programs, from the demo ROM image.
#   fuzz/make_corpus.sh BUILD_FOLDER   (a normal build, with build/bin filled)
set -euo pipefail
bin=$(cd "$1/bin" && pwd)
corpus=$(cd "$(dirname "$0")" && pwd)/corpus
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
rm -rf "$corpus" && mkdir -p "$corpus"/{decoder,roundtrip,settings,fmf}
cd "$scratch"

for level in 0 1 2 3 4 5; do
    "$bin/tessary" "$bin/demo.rom" level.fmf level.hdr "$level" > /dev/null
    for size in 16 200 1000 3000; do
        name=level$level-$size
        # A map and its header, as the round trip takes them.
        cat level.hdr <(head -c "$size" exp_map.dat) > "$corpus/roundtrip/$name"
        # A header and packed stream, as the decoder takes them.
        cat <(head -c 20 level.fmf) <(tail -c +21 level.fmf | head -c "$size") > part.fmf
        "$bin/tessary_pack" part.fmf level.hdr "$corpus/decoder/$name" "$level" > /dev/null
        # Conversion flags and height, then cells.
        printf "\\x$(( level % 2 ))\\x$(printf %x $(( 12 + level * 2 )))\\x00\\x00\\x00" \
            | cat - <(head -c "$size" exp_map.dat) > "$corpus/fmf/$name"
    done
done

ini=$bin/tessary.ini
cp "$ini" "$corpus/settings/demo"
sed 's/$/\r/' "$ini" > "$corpus/settings/crlf"
tr '\n' '\r' < "$ini" > "$corpus/settings/cr"
printf '\xEF\xBB\xBF' | cat - "$ini" > "$corpus/settings/bom"
sed 's/=/ = "/; s/$/"/' "$ini" > "$corpus/settings/quoted"
sed 's/^\[\(.*\)\]$/[ \L\1 ]/' "$ini" > "$corpus/settings/lower"
sed 's/0x//' "$ini" > "$corpus/settings/decimal"
printf '[MapGroups]\nCount=-4\n' > "$corpus/settings/negative"
printf '[MapGroups]\nCount=0x40\n[MapGroupName]\n63=%0300d\n' 0 > "$corpus/settings/long-name"
printf '[MapGroupHeight]\n1=0\n1=5\n[MapGroupHeight]\n2=7\n' > "$corpus/settings/repeats"
