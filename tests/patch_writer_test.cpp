// Patch files checked byte for byte on hand-worked cases; the CRCs come straight from zlib.
#include "patch/patch_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_support.h"

using namespace tessary;

namespace {

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes BigEndian(size_t value, int bytes) {
    Bytes out;
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
    return out;
}

Bytes ZlibCrcLittleEndian(const Bytes& bytes) {
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size()));
    return {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8),
            static_cast<uint8_t>(crc >> 16), static_cast<uint8_t>(crc >> 24)};
}

TEST(PatchFormatFor, IpsOnlyForANameEndingInDotIps) {
    const struct {
        const char* name;
        PatchFormat format;
    } cases[] = {
        {"hack.ips", PatchFormat::Ips},  {"HACK.IPS", PatchFormat::Ips},
        {"dir/a.IpS", PatchFormat::Ips}, {".ips", PatchFormat::Ips},
        {"hack.bps", PatchFormat::Bps},  {"hack", PatchFormat::Bps},
        {"", PatchFormat::Bps},          {"ips", PatchFormat::Bps},
        {"hack_ips", PatchFormat::Bps},  {"hack.ips.bps", PatchFormat::Bps},
        {"hack.ipsx", PatchFormat::Bps}, {"dir.ips/hack", PatchFormat::Bps},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PatchFormatFor(c.name), c.format) << c.name;
    }
}

TEST(BpsNumber, SevenBitsAByteEachLongerFormStartingWhereTheShorterEnds) {
    const struct {
        uint64_t value;
        const char* hex;
    } cases[] = {
        {0, "80"},
        {1, "81"},
        {127, "FF"},
        {128, "00 80"},
        {129, "01 80"},
        {255, "7F 80"},
        {256, "00 81"},
        {16511, "7F FF"},
        {16512, "00 00 80"},
        {UINT32_MAX, "7F 7E 7E 7E 8E"},
        {UINT64_MAX, "7F 7E 7E 7E 7E 7E 7E 7E 7E 80"},
    };
    for (const auto& c : cases) {
        Bytes out = {0x42};
        AppendBpsNumber(out, c.value);
        EXPECT_EQ(HexBytes(out), std::string("42 ") + c.hex) << c.value;
    }
}

struct BpsCase {
    const char* name;
    Bytes source;
    Bytes target;
    // Between "BPS1" and the footer: the sizes, empty metadata and the actions.
    const char* body;
};

TEST(MakeBpsPatch, SourceReadsTargetReadsAndTheThreeChecksums) {
    const BpsCase cases[] = {
        {"Identical", {1, 2, 3, 4}, {1, 2, 3, 4}, "84 84 80 8C"},
        {"BothEmpty", {}, {}, "80 80 80"},
        {"OneByteInside", {1, 2, 3, 4}, {1, 0xFF, 3, 4}, "84 84 80 80 81 FF 84"},
        {"FirstByte", {1, 2, 3, 4}, {0xFF, 2, 3, 4}, "84 84 80 81 FF 88"},
        {"LastByte", {1, 2, 3, 4}, {1, 2, 3, 0xFF}, "84 84 80 88 81 FF"},
        {"OneByteGapWrittenOut",
         {1, 2, 3, 4, 5},
         {1, 0xAA, 3, 0xBB, 5},
         "85 85 80 80 89 AA 03 BB 80"},
        {"LongGapRead", Bytes(8, 0), Concat({{0xAA}, Bytes(6, 0), {0xBB}}),
         "88 88 80 81 AA 94 81 BB"},
        {"TwoByteAction", Bytes(40, 7), Bytes(40, 7), "A8 A8 80 1C 80"},
        {"TargetLonger", {1, 2}, {1, 2, 3, 4}, "82 84 80 84 85 03 04"},
        {"ChangeRunsIntoTheExtraBytes", {1, 2}, {1, 9, 3}, "82 83 80 80 85 09 03"},
        {"FromEmpty", {}, {1}, "80 81 80 81 01"},
        {"TargetShorter", {1, 2, 3, 4}, {1, 2}, "84 82 80 84"},
        {"TargetShorterAndChanged", {1, 2, 3, 4}, {1, 9}, "84 82 80 80 81 09"},
        {"ToEmpty", {1, 2}, {}, "82 80 80"},
    };
    for (const BpsCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Patch patch = MakePatch(PatchFormat::Bps, c.source, c.target);
        ASSERT_EQ(patch.status, PatchStatus::Made);
        const Bytes& bytes = patch.bytes;
        ASSERT_GE(bytes.size(), 16u);
        const Bytes beforeChecksum(bytes.begin(), bytes.end() - 4);
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), Text("BPS1"));
        EXPECT_EQ(HexBytes(Bytes(bytes.begin() + 4, bytes.end() - 12)), c.body);
        EXPECT_EQ(Bytes(bytes.end() - 12, bytes.end()),
                  Concat({ZlibCrcLittleEndian(c.source), ZlibCrcLittleEndian(c.target),
                          ZlibCrcLittleEndian(beforeChecksum)}));
    }
}

struct ChangedRange {
    size_t begin;
    size_t end;
};

struct IpsRecord {
    size_t offset;
    size_t size;
};

constexpr size_t kEof = 0x454F46;  // the bytes "EOF" as an offset
constexpr size_t kSixteenMiB = 0x1000000;

struct IpsCase {
    const char* name;
    size_t sourceSize;
    size_t targetSize;
    std::vector<ChangedRange> changed;
    PatchStatus status;
    std::vector<IpsRecord> records;  // each one's bytes are the target's at its offset
    int64_t truncateTo;              // -1: no truncation after "EOF"
};

TEST(MakeIpsPatch, RecordsForChangedAndExtraBytesTruncationAndLimits) {
    const PatchStatus made = PatchStatus::Made;
    const PatchStatus tooLarge = PatchStatus::TooLarge;
    const IpsCase cases[] = {
        {"Identical", 4, 4, {}, made, {}, -1},
        {"OneByte", 4, 4, {{1, 2}}, made, {{1, 1}}, -1},
        {"ShortGapWrittenOut", 20, 20, {{2, 3}, {8, 9}}, made, {{2, 7}}, -1},
        {"LongGapNewRecord", 20, 20, {{2, 3}, {9, 10}}, made, {{2, 1}, {9, 1}}, -1},
        {"TargetLonger", 4, 6, {}, made, {{4, 2}}, -1},
        {"ChangeRunsIntoTheExtraBytes", 4, 6, {{3, 4}}, made, {{3, 3}}, -1},
        {"TargetShorter", 6, 4, {}, made, {}, 4},
        {"TargetShorterAndChanged", 6, 4, {{0, 1}}, made, {{0, 1}}, 4},
        {"ToEmpty", 6, 0, {}, made, {}, 0},
        {"SplitAt65535", 70000, 70000, {{0, 70000}}, made, {{0, 65535}, {65535, 4465}}, -1},
        {"TwoFullRecords",
         0x1FFFE,
         0x1FFFE,
         {{0, 0x1FFFE}},
         made,
         {{0, 0xFFFF}, {0xFFFF, 0xFFFF}},
         -1},
        {"EofOffsetStartsOneEarlier",
         kEof + 10,
         kEof + 10,
         {{kEof, kEof + 2}},
         made,
         {{kEof - 1, 3}},
         -1},
        {"EofOffsetInsideARecord",
         kEof + 10,
         kEof + 10,
         {{kEof - 2, kEof + 2}},
         made,
         {{kEof - 2, 4}},
         -1},
        {"SplitLandsOnEofOffset",
         kEof + 10,
         kEof + 10,
         {{kEof - 0xFFFF, kEof + 2}},
         made,
         {{kEof - 0xFFFF, 0xFFFF}, {kEof - 1, 3}},
         -1},
        {"LastOffsetThatFits",
         kSixteenMiB + 4,
         kSixteenMiB + 4,
         {{kSixteenMiB - 1, kSixteenMiB + 2}},
         made,
         {{kSixteenMiB - 1, 3}},
         -1},
        {"TruncationThatFits", kSixteenMiB, kSixteenMiB - 1, {}, made, {}, kSixteenMiB - 1},
        {"ChangeAt16MiB",
         kSixteenMiB + 4,
         kSixteenMiB + 4,
         {{kSixteenMiB, kSixteenMiB + 1}},
         tooLarge,
         {},
         -1},
        {"SplitPast16MiB",
         kSixteenMiB + 4,
         kSixteenMiB + 4,
         {{kSixteenMiB - 0xFFFF, kSixteenMiB + 1}},
         tooLarge,
         {},
         -1},
        {"ExtraBytesAt16MiB", kSixteenMiB, kSixteenMiB + 1, {}, tooLarge, {}, -1},
        {"TruncationTo16MiB", kSixteenMiB + 1, kSixteenMiB, {}, tooLarge, {}, -1},
    };
    for (const IpsCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Extra target bytes equal to the source's last ones must still be written.
        const Bytes source(c.sourceSize, 0x11);
        Bytes target(c.targetSize, 0x11);
        for (const ChangedRange& range : c.changed) {
            std::fill(target.begin() + range.begin, target.begin() + range.end, 0xEE);
        }
        const Patch patch = MakePatch(PatchFormat::Ips, source, target);
        ASSERT_EQ(patch.status, c.status);
        if (c.status == tooLarge) {
            EXPECT_TRUE(patch.bytes.empty());
            continue;
        }
        Bytes expected = Text("PATCH");
        for (const IpsRecord& record : c.records) {
            expected = Concat({expected, BigEndian(record.offset, 3), BigEndian(record.size, 2),
                               Bytes(target.begin() + record.offset,
                                     target.begin() + record.offset + record.size)});
        }
        expected = Concat({expected, Text("EOF")});
        if (c.truncateTo >= 0) {
            expected = Concat({expected, BigEndian(static_cast<size_t>(c.truncateTo), 3)});
        }
        EXPECT_TRUE(patch.bytes == expected)
            << "size " << patch.bytes.size() << ", expected " << expected.size();
    }
}

}  // namespace
