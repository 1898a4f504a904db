#!/usr/bin/env bash
# windows_same_files_test.sh LINUX_BIN WINDOWS_BIN WORK LAUNCHER...
# The Linux and the Windows build write the same bytes and say the same things: the demo
# image each build made, and every file both programs write from the demo levels and from
# generated edits of them (header files, exp_map.dat, FMF files, levels packed greedy and
# optimal, new ROM images with BPS and IPS patches), with their output and exit statuses.
set -euo pipefail
linux_bin=$1 windows_bin=$2 work=$3
shift 3
launcher=("$@")
rm -rf "$work" && mkdir -p "$work/inputs"

cmp "$linux_bin/demo.rom" "$windows_bin/demo.rom"
last_level=$(awk -F= '/^Count=/ { print $2 - 1 }' "$linux_bin/tessary.ini")

# The generated maps: the demo levels with a few cells (sparse) or many (dense) replaced by
# random cells (bits 6 and 7 clear, as an editor writes them); made once, for both builds.
cd "$work/inputs"
"$linux_bin/tessary" --all "$linux_bin/demo.rom" levels > /dev/null
for kind in sparse:1000 dense:3; do
    mkdir "${kind%:*}"
    cp levels/*.hdr "${kind%:*}"
    for fmf in levels/*.fmf; do
        perl -e 'srand($ARGV[0]); local $/; $_ = <STDIN>;
                 for (my $at = 20; $at + 1 < length; $at += 2) {
                     next if rand($ARGV[1]) >= 1;
                     substr($_, $at, 2) = pack("v", int(rand(65536)) & 0xFF3F);
                 }
                 print' "$(cksum <<< "$kind$fmf" | cut -d' ' -f1)" "${kind#*:}" < "$fmf" \
            > "${kind%:*}/${fmf#levels/}"
    done
done

# step tessary|tessary_pack ARGS...: runs that program of the build in the current folder,
# logging its output and exit status.
step() {
    local program=$1 status=0
    shift
    "${run[@]}" "$bin/$program$suffix" "$@" > out.txt 2> err.txt || status=$?
    { echo "== $program $* -> $status"; tr -d '\r' < out.txt; tr -d '\r' < err.txt; } >> log.txt
    rm out.txt err.txt
}

for build in linux windows; do
    mkdir "$work/$build" && cd "$work/$build"
    if [[ $build == linux ]]; then
        bin=$linux_bin run=() suffix=
    else
        bin=$windows_bin run=("${launcher[@]}") suffix=.exe
    fi
    cp -r ../inputs/sparse ../inputs/dense ../inputs/levels .
    for level in $(seq 0 "$last_level"); do
        step tessary "$bin/demo.rom" "$level.fmf" "$level.hdr" "$level"
        mv exp_map.dat "$level.dat"
        for kind in levels sparse dense; do
            fmf=$(ls "$kind/$(printf %02d "$level")"_*.fmf)
            step tessary_pack "$fmf" "$level.hdr" "$kind-$level.greedy" "$level"
            step tessary_pack --optimal "$fmf" "$level.hdr" "$kind-$level.optimal" "$level"
        done
    done
    step tessary --all "$bin/demo.rom" exported
    for kind in levels sparse dense; do
        for patch in bps ips; do
            step tessary_pack --all "$kind" --rom "$bin/demo.rom" --into "$kind-$patch.rom" \
                --patch "$kind.$patch"
        done
    done
    sed -i "s|$bin/||g" log.txt
done

cd "$work"
# Not a vacuous match: the Linux build wrote every kind of file.
for file in 0.fmf 0.hdr 0.dat dense-1.optimal levels-5.greedy exported/00_Green_Hills.fmf \
        sparse-bps.rom sparse.bps sparse-ips.rom sparse.ips; do
    [[ -s linux/$file ]] || { echo "the Linux build wrote no $file"; exit 1; }
done
diff -r linux windows
echo "the builds wrote the same $(find linux -type f | wc -l) files"
