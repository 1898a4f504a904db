// The packed-stream decoder on byte buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "decoder/stream_decoder.h"
#include "test_support.h"

using namespace tessary;

namespace {

// The header of the worked examples: fill A 00, word W 1234, dictionary entry 2 5678.
MapHeader ExampleHeader() {
    MapHeader header;
    header.fillByteA = 0x00;
    header.fillByteB = 0xBB;
    header.singleByteC = 0xCC;
    header.singleByteD = 0xDD;
    header.wordW = 0x1234;
    for (int i = 0; i < kDictionarySize; ++i) {
        header.dictionary[i] = static_cast<uint16_t>(0xF000 + i);
    }
    header.dictionary[2] = 0x5678;
    return header;
}

constexpr uint8_t kUnwritten = 0xEE;
// Put after a stream; two PutByteC commands each, so reading them would change the outcome.
const Bytes kAfter(4, 0x77);

struct Outcome {
    DecodeResult result;
    Bytes output;  // the bytes produced
};

// Decodes `stream` followed by `after` into a buffer of `capacity` bytes. `prefix` lies in
// memory before the stream and must not count as read.
Outcome Decode(const Bytes& stream, uint32_t capacity, const Bytes& after = kAfter,
               const Bytes& prefix = {}) {
    const Bytes data = Concat({prefix, stream, after});
    Bytes buffer(capacity + 16, kUnwritten);
    Outcome outcome;
    outcome.result = DecodePackedStream(data.data() + prefix.size(), stream.size() + after.size(),
                                        ExampleHeader(), buffer.data(), capacity);
    for (size_t i = capacity; i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], kUnwritten) << "write past the capacity at " << i;
    }
    EXPECT_LE(outcome.result.produced, capacity);
    outcome.output.assign(buffer.begin(),
                          buffer.begin() + std::min(outcome.result.produced, capacity));
    return outcome;
}

using Nibbles = std::vector<int>;

Nibbles operator+(Nibbles a, const Nibbles& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Nibbles RepeatNibbles(const Nibbles& part, int times) {
    Nibbles all;
    for (int i = 0; i < times; ++i) {
        all = all + part;
    }
    return all;
}

// Literals command for `count` bytes 1, 2, 3, ...
Nibbles CountingLiterals(int count) {
    Nibbles nibbles{0, count};
    for (int i = 1; i <= count; ++i) {
        nibbles = nibbles + Nibbles{i >> 4, i & 15};
    }
    return nibbles;
}

Bytes Counting(int count) {
    return Sequence(1, count);
}

struct GoodCase {
    const char* name;
    Bytes stream;
    Bytes unpacked;
};

class DecodeWorkedExample : public ::testing::TestWithParam<GoodCase> {};

// Into a buffer of exactly the unpacked size, with bytes after the stream that must stay
// unread.
TEST_P(DecodeWorkedExample, UnpacksAndStopsRightAfterTheEndMarker) {
    const GoodCase& c = GetParam();
    const Outcome outcome = Decode(c.stream, static_cast<uint32_t>(c.unpacked.size()));
    ASSERT_EQ(outcome.result.status, DecodeStatus::Complete);
    EXPECT_EQ(outcome.result.produced, c.unpacked.size());
    EXPECT_EQ(outcome.output, c.unpacked);
    EXPECT_EQ(outcome.result.consumed, c.stream.size());
    EXPECT_TRUE(StreamDecodesTo(c.stream.data(), c.stream.size(), ExampleHeader(),
                                c.unpacked.data(), c.unpacked.size()));
    // Not exactly one stream once other bytes follow it.
    const Bytes followed = Concat({c.stream, kAfter});
    EXPECT_FALSE(StreamDecodesTo(followed.data(), followed.size(), ExampleHeader(),
                                 c.unpacked.data(), c.unpacked.size()));
    // Nor are other bytes of the same length what it unpacks to, whichever byte differs.
    for (size_t i = 0; i < c.unpacked.size(); ++i) {
        Bytes other = c.unpacked;
        other[i] ^= 0x80;
        EXPECT_FALSE(StreamDecodesTo(c.stream.data(), c.stream.size(), ExampleHeader(),
                                     other.data(), other.size()))
            << "byte " << i;
    }
}

// Every proper prefix of a good stream fails as cut short, having read all of it and no
// more, whether the cut falls in an opcode, an argument, a literal block or the end marker.
TEST_P(DecodeWorkedExample, EveryCutIsTruncatedInput) {
    const GoodCase& c = GetParam();
    const uint32_t capacity = static_cast<uint32_t>(c.unpacked.size());
    for (size_t cut = 0; cut < c.stream.size(); ++cut) {
        const Bytes prefix(c.stream.begin(), c.stream.begin() + cut);
        const Outcome outcome = Decode(prefix, capacity, {});
        EXPECT_EQ(outcome.result.status, DecodeStatus::TruncatedInput) << "cut at " << cut;
        EXPECT_EQ(outcome.result.consumed, cut) << "cut at " << cut;
        EXPECT_FALSE(StreamDecodesTo(prefix.data(), prefix.size(), ExampleHeader(),
                                     c.unpacked.data(), c.unpacked.size()))
            << "cut at " << cut;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, DecodeWorkedExample,
    ::testing::Values(
        GoodCase{"EndOnly", {0x00}, {}},
        GoodCase{"Literal1ThenEndInLowHalf", {0x12, 0x30, 0x00}, {0x23}},
        GoodCase{"EndInLowHalfIgnoresPad", {0x12, 0x30, 0x0F}, {0x23}},
        GoodCase{"RunOfByte", {0x30, 0x41, 0x00}, {0x41, 0x41, 0x41}},
        GoodCase{"LiteralsThenCopyNear",
                 {0x03, 0x41, 0x42, 0x43, 0xA0, 0x00, 0x00},
                 {0x41, 0x42, 0x43, 0x41, 0x42, 0x43}},
        GoodCase{"FillWordDictionary",
                 {0x42, 0x6F, 0x20, 0x00},
                 {0x00, 0x00, 0x00, 0x00, 0x00, 0x34, 0x12, 0x78, 0x56}},
        GoodCase{"CopyWordAndRepeatWord",
                 {0x14, 0x11, 0x42, 0x90, 0xE0, 0x00},
                 {0x41, 0x42, 0x41, 0x42, 0x41, 0x42}},
        GoodCase{"RepeatByte", {0x14, 0x1D, 0x00}, {0x41, 0x41}},
        GoodCase{"LiteralsInLowHalves",
                 PackNibbles(Nibbles{7} + CountingLiterals(3) + Nibbles{0, 0}),
                 Concat({{0xCC}, Counting(3)})},
        GoodCase{"LiteralsAlignedBlock", PackNibbles(CountingLiterals(15) + Nibbles{0, 0}),
                 Counting(15)},
        GoodCase{"Literal2", {0x2A, 0xBC, 0xD0, 0x00}, {0xAB, 0xCD}},
        GoodCase{
            "FillBAndSingleBytes", {0x5F, 0x78, 0x00}, Concat({Bytes(18, 0xBB), {0xCC, 0xDD}})},
        GoodCase{"CopyNearFarthest",
                 PackNibbles(RepeatNibbles({3, 15, 0, 1}, 15) +
                             Nibbles{1, 0xA, 0xA, 0xA, 0, 0xF, 0xF, 0, 0}),
                 Concat({Bytes(270, 0x01), {0xAA}, Bytes(3, 0x01)})},
        GoodCase{"CopyMidFromTheFirstByte",
                 PackNibbles(Nibbles{1, 0xA, 0xA} + RepeatNibbles({3, 15, 0, 1}, 15) +
                             Nibbles{0xB, 0, 0, 0, 0xC, 0, 0}),
                 Concat({{0xAA}, Bytes(270, 0x01), {0xAA, 0x01, 0x01}})},
        GoodCase{"CopyFarDistanceEqualsPosition",
                 PackNibbles(CountingLiterals(3) + Nibbles{0xC, 0, 0, 0, 0, 3, 0, 0}),
                 Concat({Counting(3), Counting(3)})},
        GoodCase{"WordsAtOddPositions", {0x1A, 0xA6, 0xF2, 0x00}, {0xAA, 0x34, 0x12, 0x78, 0x56}},
        GoodCase{"LastDictionaryEntry", {0xFF, 0x00}, {0x0F, 0xF0}},
        // Every command kind, several of them starting in a low half.
        GoodCase{"MixedCommands",
                 PackNibbles(CountingLiterals(5) + Nibbles{7, 3, 2, 0xA, 0xA, 1, 0xB, 0xC} +
                             Nibbles{0xA, 1, 0, 0, 0xC, 0,   0, 0, 0, 6,
                                     0xF, 3, 9, 0, 0xE, 0xD, 6, 8, 0, 0}),
                 Concat({Counting(5),
                         {0xCC},
                         Bytes(5, 0xAA),
                         {0xBC, 0xAA, 0xAA, 0xAA, 0xBC},
                         {0xAA, 0xBC, 0xAA, 0x03, 0xF0, 0x03, 0xF0, 0x03, 0xF0, 0xF0, 0x34, 0x12},
                         {0xDD}})}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadCase {
    const char* name;
    Bytes stream;
    uint32_t capacity;
    DecodeStatus status;
    uint32_t position;
    bool commandRead;
    Opcode opcode;  // when a command was read
    ByteHalf half;
    uint32_t size;
    size_t consumed;
};

class DecodeFailureCase : public ::testing::TestWithParam<BadCase> {};

TEST_P(DecodeFailureCase, StopsAtTheFirstBadCommandAndDescribesIt) {
    const BadCase& c = GetParam();
    // A stream cut short has nothing after it; otherwise bytes follow that must stay unread.
    const Outcome outcome =
        Decode(c.stream, c.capacity, c.status == DecodeStatus::TruncatedInput ? Bytes{} : kAfter);
    const DecodeFailure& failure = outcome.result.failure;
    EXPECT_EQ(outcome.result.status, c.status);
    EXPECT_EQ(failure.position, c.position);
    EXPECT_EQ(outcome.result.produced, c.position);
    EXPECT_EQ(failure.commandRead, c.commandRead);
    if (c.commandRead) {
        EXPECT_EQ(failure.opcode, c.opcode);
    }
    EXPECT_EQ(failure.half, c.half);
    EXPECT_EQ(failure.size, c.size);
    EXPECT_EQ(outcome.result.consumed, c.consumed);
}

constexpr auto kBad = DecodeStatus::BadLocation;
constexpr auto kOver = DecodeStatus::WriteOverflow;
constexpr auto kCut = DecodeStatus::TruncatedInput;
constexpr auto kHigh = ByteHalf::High;
constexpr auto kLow = ByteHalf::Low;

INSTANTIATE_TEST_SUITE_P(
    Failures, DecodeFailureCase,
    ::testing::Values(
        BadCase{"RepeatByteFirst",
                {0xD0},
                kDecodeCapacity,
                kBad,
                0,
                true,
                Opcode::RepeatByte,
                kHigh,
                1,
                1},
        BadCase{"RepeatWordInLowHalf",
                {0x14, 0x1E},
                kDecodeCapacity,
                kBad,
                1,
                true,
                Opcode::RepeatWord,
                kLow,
                2,
                2},
        BadCase{"CopyNearBeforeStart",
                {0xA1, 0xFF, 0x00},
                kDecodeCapacity,
                kBad,
                0,
                true,
                Opcode::CopyNear,
                kHigh,
                259,
                2},
        BadCase{"CopyWordFirst",
                {0x90, 0x00},
                kDecodeCapacity,
                kBad,
                0,
                true,
                Opcode::CopyWord,
                kHigh,
                2,
                1},
        BadCase{"CopyFarShorterThanItsCount",
                PackNibbles(CountingLiterals(10) + Nibbles{0xC, 3, 0, 0, 0, 3}), kDecodeCapacity,
                kBad, 10, true, Opcode::CopyFar, kHigh, 3, 14},
        BadCase{"CopyFarShorterInLowHalf",
                PackNibbles(Nibbles{7} + CountingLiterals(9) + Nibbles{0xC, 3, 0, 0, 0, 3}),
                kDecodeCapacity, kBad, 10, true, Opcode::CopyFar, kLow, 3, 14},
        BadCase{"CopyFarDistanceZero",
                PackNibbles(CountingLiterals(4) + Nibbles{0xC, 0, 0, 0, 0, 0}), kDecodeCapacity,
                kBad, 4, true, Opcode::CopyFar, kHigh, 0, 8},
        BadCase{"CopyWordAtLastByteOverflowsFirst",
                PackNibbles(CountingLiterals(4) + Nibbles{9, 15}), 5, kOver, 4, true,
                Opcode::CopyWord, kHigh, 2, 6},
        BadCase{"RunOneByteTooLong", PackNibbles(CountingLiterals(3) + Nibbles{4, 15}), 20, kOver,
                3, true, Opcode::RunOfFillA, kHigh, 18, 5},
        BadCase{"DictionaryWordPastCapacity", PackNibbles(CountingLiterals(3) + Nibbles{15, 0}), 4,
                kOver, 3, true, Opcode::PutDictWord, kHigh, 2, 5},
        BadCase{"LiteralsPastCapacity", PackNibbles(CountingLiterals(3)), 2, kOver, 0, true,
                Opcode::Literals, kHigh, 3, 1},
        BadCase{"EmptyInput", {}, kDecodeCapacity, kCut, 0, false, Opcode::Literals, kHigh, 0, 0},
        BadCase{"NoEndMarker",
                {0x12, 0x30},
                kDecodeCapacity,
                kCut,
                1,
                true,
                Opcode::Literals,
                kLow,
                0,
                2},
        BadCase{"LiteralsCutShort",
                {0x03, 0x41, 0x42},
                kDecodeCapacity,
                kCut,
                0,
                true,
                Opcode::Literals,
                kHigh,
                3,
                3},
        BadCase{"CopyFarCutInItsDistance",
                {0x14, 0x1C, 0x00},
                kDecodeCapacity,
                kCut,
                1,
                true,
                Opcode::CopyFar,
                kLow,
                3,
                3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodePackedStream, RunOfEighteenFitsExactlyAtTheEnd) {
    const Bytes stream = PackNibbles(Nibbles{2, 0, 1, 0, 2} + Nibbles{3, 15, 4, 1, 0, 0});
    const Outcome fits = Decode(stream, 20);
    EXPECT_EQ(fits.result.status, DecodeStatus::Complete);
    EXPECT_EQ(fits.result.produced, 20u);
    const Outcome overflows = Decode(stream, 19);
    EXPECT_EQ(overflows.result.status, DecodeStatus::WriteOverflow);
    EXPECT_EQ(overflows.result.failure.opcode, Opcode::RunOfByte);
    EXPECT_EQ(overflows.result.failure.size, 18u);
}

TEST(DecodePackedStream, FillsTheWholeBufferThenOneByteMoreFails) {
    const Nibbles full = RepeatNibbles({4, 13}, 4096);  // 4096 fill runs of 16 bytes
    const Outcome exact = Decode(PackNibbles(full + Nibbles{0, 0}), kDecodeCapacity);
    EXPECT_EQ(exact.result.status, DecodeStatus::Complete);
    EXPECT_EQ(exact.result.produced, kDecodeCapacity);
    EXPECT_EQ(exact.result.consumed, 4097u);
    const Outcome over = Decode(PackNibbles(full + Nibbles{7, 0, 0}), kDecodeCapacity);
    EXPECT_EQ(over.result.status, DecodeStatus::WriteOverflow);
    EXPECT_EQ(over.result.produced, kDecodeCapacity);
    EXPECT_EQ(over.result.failure.position, kDecodeCapacity);
    EXPECT_TRUE(over.result.failure.commandRead);
    EXPECT_EQ(over.result.failure.opcode, Opcode::PutByteC);
    EXPECT_EQ(over.result.failure.size, 1u);
}

// Bytes in memory before the stream are neither read nor counted.
TEST(DecodePackedStream, StartsAtTheGivenByte) {
    const Outcome outcome = Decode({0x12, 0x30, 0x00}, kDecodeCapacity, kAfter, Bytes(38, 0x55));
    EXPECT_EQ(outcome.result.status, DecodeStatus::Complete);
    EXPECT_EQ(outcome.output, Bytes{0x23});
    EXPECT_EQ(outcome.result.consumed, 3u);
}

// The 38 bytes in file order: four single bytes, then 17 words, each low byte first.
TEST(MapHeader, WordsAreLowByteFirstBothWays) {
    const Bytes bytes = Sequence(0x01, kMapHeaderSize);
    const MapHeader header = MapHeaderFromBytes(bytes.data());
    EXPECT_EQ(Bytes({header.fillByteA, header.fillByteB, header.singleByteC, header.singleByteD}),
              Bytes({0x01, 0x02, 0x03, 0x04}));
    EXPECT_EQ(header.wordW, 0x0605);
    for (int i = 0; i < kDictionarySize; ++i) {
        EXPECT_EQ(header.dictionary[i], bytes[7 + 2 * i] << 8 | bytes[6 + 2 * i]) << "entry " << i;
    }
    EXPECT_EQ(header.dictionary[kDictionarySize - 1], 0x2625);
    const MapHeaderBytes back = MapHeaderToBytes(header);
    EXPECT_EQ(Bytes(back.begin(), back.end()), bytes);
}

}  // namespace
