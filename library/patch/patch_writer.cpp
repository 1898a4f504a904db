#include "patch/patch_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>

namespace tessary {

namespace {

using Bytes = std::vector<uint8_t>;

// Half-open stretch of target offsets.
struct Range {
    size_t begin;
    size_t end;
};

// Stretches where the target differs from the source, bytes past the source's end included.
// The gap between two stretches is written as changed when `closeGap(run, gap, next)` says
// that is cheaper, `run` being the merged stretch so far.
template <typename CloseGap>
std::vector<Range> ChangedRanges(const Bytes& source, const Bytes& target, CloseGap closeGap) {
    const size_t common = std::min(source.size(), target.size());
    const auto same = [&](size_t at) { return at < common && source[at] == target[at]; };
    std::vector<Range> ranges;
    size_t at = 0;
    while (at < target.size()) {
        if (same(at)) {
            ++at;
            continue;
        }
        size_t end = at + 1;
        while (end < target.size() && !same(end)) {
            ++end;
        }
        if (!ranges.empty() &&
            closeGap(ranges.back().end - ranges.back().begin, at - ranges.back().end, end - at)) {
            ranges.back().end = end;
        } else {
            ranges.push_back({at, end});
        }
        at = end;
    }
    return ranges;
}

void AppendText(Bytes& out, const char* text) {
    for (; *text != '\0'; ++text) {
        out.push_back(static_cast<uint8_t>(*text));
    }
}

void AppendTarget(Bytes& out, const Bytes& target, size_t begin, size_t end) {
    out.insert(out.end(), target.begin() + static_cast<std::ptrdiff_t>(begin),
               target.begin() + static_cast<std::ptrdiff_t>(end));
}

// ---- BPS

enum BpsAction : uint8_t { kSourceRead = 0, kTargetRead = 1 };

uint64_t BpsActionWord(BpsAction action, size_t length) {
    return (static_cast<uint64_t>(length) - 1) << 2 | action;
}

size_t BpsNumberSize(uint64_t value) {
    size_t size = 1;
    while ((value >>= 7) != 0) {
        --value;
        ++size;
    }
    return size;
}

size_t BpsActionSize(BpsAction action, size_t length) {
    return BpsNumberSize(BpsActionWord(action, length));
}

// Literal bytes instead of a SourceRead between two TargetReads, when no larger.
bool BpsCloseGap(size_t run, size_t gap, size_t next) {
    const size_t split = BpsActionSize(kTargetRead, run) + BpsActionSize(kSourceRead, gap) +
                         BpsActionSize(kTargetRead, next);
    return BpsActionSize(kTargetRead, run + gap + next) + gap <= split;
}

void AppendLittleEndian32(Bytes& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

// ---- IPS

constexpr size_t kIpsRecordHeaderSize = 5;     // 3-byte offset, 2-byte size
constexpr size_t kIpsRecordMaxSize = 0xFFFF;   // what the size field holds
constexpr size_t kIpsOffsetLimit = 0x1000000;  // what the offset field holds
constexpr size_t kIpsEofOffset = 0x454F46;     // "EOF": a record there would end the patch

void AppendBigEndian(Bytes& out, size_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

// Records for one changed stretch; false when one cannot be addressed.
bool AppendIpsRecords(Bytes& out, const Bytes& target, Range range) {
    size_t at = range.begin;
    while (at < range.end) {
        // The byte before is unchanged or already written: writing it again is harmless.
        const size_t start = at == kIpsEofOffset ? at - 1 : at;
        if (start >= kIpsOffsetLimit) {
            return false;
        }
        const size_t end = std::min(range.end, start + kIpsRecordMaxSize);
        AppendBigEndian(out, start, 3);
        AppendBigEndian(out, end - start, 2);
        AppendTarget(out, target, start, end);
        at = end;
    }
    return true;
}

}  // namespace

PatchFormat PatchFormatFor(const std::string& fileName) {
    static const std::string kIpsSuffix = ".ips";
    if (fileName.size() < kIpsSuffix.size()) {
        return PatchFormat::Bps;
    }
    const size_t from = fileName.size() - kIpsSuffix.size();
    for (size_t i = 0; i < kIpsSuffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(fileName[from + i])) != kIpsSuffix[i]) {
            return PatchFormat::Bps;
        }
    }
    return PatchFormat::Ips;
}

Patch MakePatch(PatchFormat format, const Bytes& source, const Bytes& target) {
    return format == PatchFormat::Ips ? MakeIpsPatch(source, target) : MakeBpsPatch(source, target);
}

Patch MakeBpsPatch(const Bytes& source, const Bytes& target) {
    Patch patch;
    Bytes& out = patch.bytes;
    AppendText(out, "BPS1");
    AppendBpsNumber(out, source.size());
    AppendBpsNumber(out, target.size());
    AppendBpsNumber(out, 0);  // no metadata
    size_t at = 0;
    for (const Range& range : ChangedRanges(source, target, BpsCloseGap)) {
        if (range.begin > at) {
            AppendBpsNumber(out, BpsActionWord(kSourceRead, range.begin - at));
        }
        AppendBpsNumber(out, BpsActionWord(kTargetRead, range.end - range.begin));
        AppendTarget(out, target, range.begin, range.end);
        at = range.end;
    }
    if (at < target.size()) {
        AppendBpsNumber(out, BpsActionWord(kSourceRead, target.size() - at));
    }
    AppendLittleEndian32(out, Crc32(source.data(), source.size()));
    AppendLittleEndian32(out, Crc32(target.data(), target.size()));
    AppendLittleEndian32(out, Crc32(out.data(), out.size()));
    return patch;
}

Patch MakeIpsPatch(const Bytes& source, const Bytes& target) {
    // A gap no longer than a record header costs no more written out than a new record.
    const auto closeGap = [](size_t, size_t gap, size_t) { return gap <= kIpsRecordHeaderSize; };
    Patch patch;
    Bytes& out = patch.bytes;
    AppendText(out, "PATCH");
    for (const Range& range : ChangedRanges(source, target, closeGap)) {
        if (!AppendIpsRecords(out, target, range)) {
            return {PatchStatus::TooLarge, {}};
        }
    }
    AppendText(out, "EOF");
    if (target.size() < source.size()) {
        // The truncation extension has the same 3 bytes as an offset.
        if (target.size() >= kIpsOffsetLimit) {
            return {PatchStatus::TooLarge, {}};
        }
        AppendBigEndian(out, target.size(), 3);
    }
    return patch;
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes 32-bit lengths.
    constexpr size_t kChunk = size_t{1} << 30;
    while (size > 0) {
        const size_t chunk = std::min(size, kChunk);
        crc = crc32(crc, data, static_cast<uInt>(chunk));
        data += chunk;
        size -= chunk;
    }
    return static_cast<uint32_t>(crc);
}

void AppendBpsNumber(Bytes& out, uint64_t value) {
    for (;;) {
        const uint8_t low = value & 0x7F;
        value >>= 7;
        if (value == 0) {
            out.push_back(0x80 | low);
            return;
        }
        out.push_back(low);
        --value;
    }
}

}  // namespace tessary
