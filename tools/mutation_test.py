#!/usr/bin/env python3
"""Mutation testing: does the suite notice a realistic fault?

Plants each fault of FAULTS (one exact substitution in one file) on its own in a scratch copy
of the tree, rebuilds it, runs the test suite and prints which faults were caught (a test
failed, or the run timed out) and which survived, with the rate. The working tree is never
touched. Run on demand, not in CI; it takes a while (one rebuild and one suite run a fault).

    tools/mutation_test.py [--scratch DIR] [--jobs N] [--only NAME ...] [--check]

--check only verifies that every fault still applies exactly once: when the code changes,
keep the list current. The Tiled tests and the build without GoogleTest are left out of each
suite run (they are slow, and test neither the library nor the programs' checks).
"""

import argparse
import datetime
import os
import re
import shutil
import subprocess
import sys
import time

# (name, file, text, replacement): each text must occur exactly once in its file.
FAULTS = [
    # The checks between packing and success, each removed or weakened.
    ("pack: no in-memory verification", "library/level/pack_level.cpp",
     "if (!StreamDecodesTo(", "if (false && !StreamDecodesTo("),
    ("decode-to: bytes not compared", "library/decoder/stream_decoder.cpp",
     "(count == 0 || std::memcmp(decoded.data(), expected, count) == 0)",
     "(count == 0 || expected != nullptr)"),
    ("decode-to: stream length not compared", "library/decoder/stream_decoder.cpp",
     "result.consumed == streamSize &&", ""),
    ("decode-to: output length not compared", "library/decoder/stream_decoder.cpp",
     "result.produced == count &&", ""),
    ("packer: NotVerified ignored", "programs/compresser/main.cpp",
     "if (packed.status == PackStatus::NotVerified) {", "if (false) {"),
    ("packer: no read-back of the output", "programs/compresser/main.cpp",
     "if (!FileHolds(outputPath, packed.bytes)) {", "if (false) {"),
    ("read-back: content not compared", "programs/support/program_support.cpp",
     "return file.status == InputStatus::Read && file.bytes == bytes;",
     "return file.status == InputStatus::Read && file.bytes.size() == bytes.size();"),
    ("--all: NotVerified ignored", "programs/compresser/rom_packing.cpp",
     "    if (packed.status == PackStatus::NotVerified) {\n        return Refuse(",
     "    if (false) {\n        return Refuse("),
    ("rom: new image not checked", "programs/compresser/rom_packing.cpp",
     "if (check.status != RomImageStatus::Good) {", "if (false) {"),
    ("rom: patch not applied and compared", "programs/compresser/rom_packing.cpp",
     "if (applied.status != ApplyStatus::Applied || applied.target != image) {", "if (false) {"),
    ("image check: outside bytes not compared", "library/level/rom_levels.cpp",
     "if (!placed[i] && image[i] != rom[i]) {", "if (false) {"),
    ("image check: placed range one byte long", "library/level/rom_levels.cpp",
     "placement.packed.size(), true);", "placement.packed.size() + 1, true);"),
    ("staged: no read-back", "programs/support/staged_file.cpp",
     "if (systemError_ == 0 && !Holds(temporary_, bytes_)) {",
     "if (systemError_ != 0 && !Holds(temporary_, bytes_)) {"),
    ("staged: read-back compares the length only", "programs/support/staged_file.cpp",
     "    return read == bytes;", "    return read.size() == bytes.size();"),
    ("staged: read-back reads no more than expected", "programs/support/staged_file.cpp",
     "std::vector<uint8_t> read(bytes.size() + 1);", "std::vector<uint8_t> read(bytes.size());"),
    ("staged: write error ignored", "programs/support/staged_file.cpp",
     "systemError_ = WriteAll(fd, BytesToWrite(bytes_));", "WriteAll(fd, BytesToWrite(bytes_));"),
    ("staged: temporary file kept after a failure", "programs/support/staged_file.cpp",
     "        fs::remove(temporary_, ignored);", "        (void)ignored;"),
    ("staged: stale temporary file not removed", "programs/support/staged_file.cpp",
     "    fs::remove(name, error);\n", ""),
    ("staged: permissions not kept", "programs/support/staged_file.cpp",
     "fs::permissions(temporary_, target.permissions(), error);", ""),
    ("staged: link replaced, not its file", "programs/support/staged_file.cpp",
     "if (fs::is_symlink(fs::symlink_status(path_, error))) {", "if (false) {"),
    ("commit: devices after the renames", "programs/support/staged_file.cpp",
     "for (const bool devices : {true, false}) {", "for (const bool devices : {false, true}) {"),
    ("outputs: inputs compared by name", "programs/support/program_support.cpp",
     "if (!input.empty() && SameFile(path, input)) {", "if (!input.empty() && path == input) {"),
    ("packer: --force rule off by one", "programs/compresser/main.cpp",
     "size <= largest) {", "size <= largest + 1) {"),
    ("console: stdout not flushed after a print", "programs/support/program_support.cpp",
     "    va_end(arguments);\n    std::fflush(stdout);\n", "    va_end(arguments);\n"),
    # Equivalent while every stdout line goes through Console::print, which flushes: kept
    # because a log holding both streams depends on one of the two flushes.
    ("console: stdout not flushed before an error line", "programs/support/program_support.cpp",
     "const {\n    std::fflush(stdout);\n", "const {\n"),
    # Formats and settings.
    ("header: words read high byte first", "library/format/map_header.cpp",
     "return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));",
     "return static_cast<uint16_t>(bytes[1] | (bytes[0] << 8));"),
    ("header: words written high byte first", "library/format/map_header.cpp",
     "bytes[0] = static_cast<uint8_t>(word & 0xFF);", "bytes[0] = static_cast<uint8_t>(word >> 8);"),
    ("settings: a pair of quotes kept", "library/settings/settings_platform.cpp",
     "if (valueEnd - valueBegin >= 2 &&", "if (valueEnd - valueBegin > 2 &&"),
    ("settings: hex digits of upper case refused", "library/settings/settings_platform.cpp",
     "} else if (Lower(*p) >= 'a' && Lower(*p) <= 'f') {", "} else if (*p >= 'a' && *p <= 'f') {"),
    ("settings: group count not capped", "library/settings/map_groups.cpp",
     "if (table.count > capacity) {", "if (table.count > capacity + 1) {"),
    ("settings check: quotes of a value", "library/settings/settings_check.cpp",
     "if (line.value.size() >= 2 && (quote == '\"' || quote == '\\'') &&",
     "if (line.value.size() > 2 && (quote == '\"' || quote == '\\'') &&"),
    ("fmf: cell order transposed", "library/format/fmf.cpp",
     "return vertical ? y * strip + x : x * strip + y;",
     "return vertical ? x * strip + y : y * strip + x;"),
    ("fmf check: layer count not checked", "library/format/fmf_check.cpp",
     "if (file[18] != 1) {", "if (false) {"),
    ("fmf check: width of a vertical map not checked", "library/format/fmf_check.cpp",
     "if (vertical && width != static_cast<uint32_t>(height)) {", "if (false) {"),
    # The decoder and the encoders.
    ("decoder: copies may overlap", "library/decoder/stream_decoder.cpp",
     "return distance <= position() && distance >= length;", "return distance <= position();"),
    ("decoder: one byte past the buffer fits", "library/decoder/stream_decoder.cpp",
     "bool fits(uint32_t size) { return size <= capacity - position(); }",
     "bool fits(uint32_t size) { return size <= capacity - position() + 1; }"),
    ("decoder: word stored high byte first", "library/decoder/stream_decoder.cpp",
     "output[position()] = static_cast<uint8_t>(word & 0xFF);",
     "output[position()] = static_cast<uint8_t>(word >> 8);"),
    ("unpack: header may run past the image", "library/level/unpack_level.cpp",
     "romSize - static_cast<uint64_t>(offset) < static_cast<uint64_t>(kMapHeaderSize)) {",
     "romSize - static_cast<uint64_t>(offset) < static_cast<uint64_t>(kMapHeaderSize) - 1) {"),
    ("greedy: runs one byte too long", "library/encoder/stream_encoder.cpp",
     "while (r < kMaxCount && position + r < count_ && input_[position + r] == v) {",
     "while (r <= kMaxCount && position + r < count_ && input_[position + r] == v) {"),
    ("greedy: fill runs from two bytes", "library/encoder/stream_encoder.cpp",
     "if (r >= kMinCount && (isA || isB)) {", "if (r >= 2 && (isA || isB)) {"),
    ("greedy: last dictionary word ignored", "library/encoder/stream_encoder.cpp",
     "while (i < kDictionarySize && w != header_.dictionary[i]) {",
     "while (i < kDictionarySize - 1 && w != header_.dictionary[i]) {"),
    ("pack: all-literal size rounded down", "library/level/pack_level.cpp",
     "return kMapHeaderSize + (nibbles + 1) / 2;", "return kMapHeaderSize + nibbles / 2;"),
    ("pack: the limit itself is over", "library/level/pack_level.cpp",
     "static_cast<uint64_t>(bytes.size()) > static_cast<uint64_t>(request.limit);",
     "static_cast<uint64_t>(bytes.size()) >= static_cast<uint64_t>(request.limit);"),
    # Patches.
    ("bps: no source checksum check", "library/patch/patch_applier.cpp",
     "if (Crc32(source) != footer.sourceCrc) {", "if (false) {"),
    ("bps: checksum of the target written for the source", "library/patch/patch_writer.cpp",
     "AppendLittleEndian32(out, Crc32(source.data(), source.size()));",
     "AppendLittleEndian32(out, Crc32(target.data(), target.size()));"),
    ("ips: a change at 16 MiB accepted", "library/patch/patch_writer.cpp",
     "if (start >= kIpsOffsetLimit) {", "if (start > kIpsOffsetLimit) {"),
    # The programs' command lines and modes.
    ("options: -- does not end the options", "programs/support/command_line.cpp",
     "            optionsEnded = true;\n", ""),
    ("options: --limit 0 accepted with --all", "programs/compresser/pack_options.cpp",
     "if (options.limit >= 0) {", "if (options.limit > 0) {"),
    ("level choice: one past the last level", "programs/support/program_support.cpp",
     "if (choice.level < 0 || choice.level >= table.count) {",
     "if (choice.level < 0 || choice.level > table.count) {"),
    ("exporter --all: a failed level forgotten", "programs/exporter/rom_report.cpp",
     "everyLevel = everyLevel && why.empty();", "everyLevel = why.empty();"),
]

EXCLUDED_TESTS = "^(tiled_|no_gtest_build$)"
TEST_TIMEOUT = 120  # seconds for one test: a fault may make a loop endless


def run(command, cwd=None, timeout=None):
    return subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=timeout)


def stale_faults(root, faults):
    problems = []
    for name, path, text, _ in faults:
        full = os.path.join(root, path)
        count = open(full).read().count(text) if os.path.exists(full) else -1
        if count != 1:
            where = "missing file" if count < 0 else f"found {count} times"
            problems.append(f"{name}: {path}: {where}")
    return problems


def copy_tree(root, scratch):
    files = run(["git", "ls-files", "--cached", "--others", "--exclude-standard", "-z"],
                cwd=root).stdout.split("\0")
    source = os.path.join(scratch, "src")
    shutil.rmtree(source, ignore_errors=True)
    for relative in filter(None, files):
        if os.path.isfile(os.path.join(root, relative)):
            target = os.path.join(source, relative)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            # Fresh time stamps: whatever an earlier run left built is rebuilt.
            shutil.copy(os.path.join(root, relative), target)
    return source


def write_later(path, text):
    """Writes `path` a second after anything built so far, so that a build tool comparing
    whole seconds still sees it as newer."""
    time.sleep(1.1)
    with open(path, "w") as file:
        file.write(text)


def build_and_test(build, jobs):
    """'pass', 'fail' or 'build' (it did not build), and the first tests that failed."""
    built = run(["cmake", "--build", build, "-j", str(jobs)])
    if built.returncode != 0:
        # The build checks things too (the demo ROM image's levels must pack into their
        # slots): a build that compiled but failed such a step caught the fault.
        if re.search(r"error:|Error: ", built.stdout):
            return "build", [line for line in built.stdout.splitlines() if "error" in line][:1]
        lines = built.stdout.splitlines()
        stop = next(i for i, line in enumerate(lines + ["***"]) if "***" in line)
        said = [line.strip() for line in lines[:stop] if not line.startswith("[")]
        return "fail", ["(the build: " + (said[-1] if said else "?") + ")"]
    try:
        tested = run(["ctest", "--test-dir", build, "-j", str(jobs), "-E", EXCLUDED_TESTS,
                      "--timeout", str(TEST_TIMEOUT), "--stop-on-failure"],
                     timeout=30 * TEST_TIMEOUT)
    except subprocess.TimeoutExpired:
        return "fail", ["(the suite timed out)"]
    failed = re.findall(r"^\s*\d+ - (\S+) \((?:Failed|Timeout|SEGFAULT|Subprocess aborted|"
                        r"Child aborted|Exception)", tested.stdout, re.MULTILINE)
    if tested.returncode == 0:
        return "pass", []
    return "fail", failed or ["(see ctest)"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scratch", default=os.path.join("/tmp", "tessary-mutation"))
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--only", nargs="+", help="faults whose names contain one of these")
    parser.add_argument("--check", action="store_true", help="only check the list applies")
    args = parser.parse_args()

    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    problems = stale_faults(root, FAULTS)
    if problems:
        print("The list of faults is stale; update it:\n  " + "\n  ".join(problems))
        return 2
    faults = [f for f in FAULTS if not args.only or any(o in f[0] for o in args.only)]
    print(f"{len(faults)} faults, each applying exactly once.")
    if args.check:
        return 0

    os.makedirs(args.scratch, exist_ok=True)
    source = copy_tree(root, args.scratch)
    build = os.path.join(args.scratch, "build")
    configured = run(["cmake", "-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                      "-DTESSARY_WERROR=OFF", "-DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON"])
    if configured.returncode != 0:
        print(configured.stdout)
        return 1
    status, failed = build_and_test(build, args.jobs)
    if status != "pass":
        print(f"The unchanged tree does not pass ({status}): {failed}")
        return 1
    print(f"The unchanged tree passes (tests matching {EXCLUDED_TESTS} left out).\n")

    rows = []
    for number, (name, path, text, replacement) in enumerate(faults, 1):
        full = os.path.join(source, path)
        original = open(full).read()
        started = time.time()
        write_later(full, original.replace(text, replacement, 1))
        try:
            status, failed = build_and_test(build, args.jobs)
        finally:
            write_later(full, original)
        result = {"fail": "caught", "pass": "SURVIVED", "build": "did not build"}[status]
        rows.append((name, path, result, failed))
        print(f"{number:3}/{len(faults)} {result:13} {name}  [{time.time() - started:.0f} s]"
              + (f"  by {', '.join(map(str, failed[:2]))}" if failed else ""), flush=True)

    caught = sum(1 for row in rows if row[2] == "caught")
    survived = [row for row in rows if row[2] == "SURVIVED"]
    unbuilt = [row for row in rows if row[2] == "did not build"]
    counted = caught + len(survived)
    print(f"\n{'Fault':52} {'File':40} Result")
    for name, path, result, _ in rows:
        print(f"{name:52} {path:40} {result}")
    rate = 100.0 * caught / counted if counted else 0.0
    print(f"\n{datetime.date.today()}: {caught} of {counted} faults caught ({rate:.0f} %)"
          + (f"; {len(unbuilt)} did not build (fix the list)" if unbuilt else ""))
    for name, path, _, _ in survived:
        print(f"  survived: {name} ({path})")
    return 0 if not survived and not unbuilt else 1


if __name__ == "__main__":
    sys.exit(main())
