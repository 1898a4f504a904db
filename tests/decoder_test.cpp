#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "map_header.h"
#include "stream_decoder.h"
#include "stream_format.h"

namespace {

using Bytes = std::vector<uint8_t>;

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

struct Outcome {
    int32_t result;
    Bytes output;
    std::streamoff consumed;
    DecodeFailure failure;
};

// `more` puts bytes after the stream, which must stay unread; without them the input ends
// with the stream.
Outcome Decode(const Bytes& stream, uint32_t capacity = kDecodeCapacity, const Bytes& prefix = {},
               bool more = true) {
    std::string data(prefix.begin(), prefix.end());
    data.append(stream.begin(), stream.end());
    if (more) {
        data += std::string(4, '\x77');
    }
    std::istringstream input(data);
    input.seekg(static_cast<std::streamoff>(prefix.size()));
    Bytes buffer(capacity + 16, 0xEE);
    Outcome outcome;
    outcome.failure = DecodeFailure{-7, 0xDEAD, -7, 0xBEEF};
    outcome.result =
        DecodePackedStream(buffer.data(), capacity, ExampleHeader(), input, outcome.failure);
    input.clear();
    outcome.consumed =
        static_cast<std::streamoff>(input.tellg()) - static_cast<std::streamoff>(prefix.size());
    // Nothing may land past the capacity.
    for (size_t i = capacity; i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], 0xEE) << "write past the capacity at " << i;
    }
    if (outcome.result > 0) {
        outcome.output.assign(buffer.begin(), buffer.begin() + outcome.result);
    }
    return outcome;
}

// Packs nibbles two to a byte, high half first, padding an odd count with 0.
Bytes Pack(const std::vector<int>& nibbles) {
    Bytes bytes;
    for (size_t i = 0; i < nibbles.size(); i += 2) {
        int low = i + 1 < nibbles.size() ? nibbles[i + 1] : 0;
        bytes.push_back(static_cast<uint8_t>(nibbles[i] << 4 | low));
    }
    return bytes;
}

std::vector<int> operator+(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<int> Repeat(const std::vector<int>& part, int times) {
    std::vector<int> all;
    for (int i = 0; i < times; ++i) {
        all = all + part;
    }
    return all;
}

// Literals command for `count` bytes 1, 2, 3, ...
std::vector<int> CountingLiterals(int count) {
    std::vector<int> nibbles{0, count};
    for (int i = 1; i <= count; ++i) {
        nibbles = nibbles + std::vector<int>{i >> 4, i & 15};
    }
    return nibbles;
}

Bytes Counting(int count) {
    Bytes bytes;
    for (int i = 1; i <= count; ++i) {
        bytes.push_back(static_cast<uint8_t>(i));
    }
    return bytes;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct GoodCase {
    const char* name;
    Bytes stream;
    Bytes unpacked;
};

class DecodeWorkedExample : public ::testing::TestWithParam<GoodCase> {};

TEST_P(DecodeWorkedExample, UnpacksAndStopsRightAfterTheEndMarker) {
    const GoodCase& c = GetParam();
    Outcome outcome = Decode(c.stream);
    ASSERT_EQ(outcome.result, static_cast<int32_t>(c.unpacked.size()));
    EXPECT_EQ(outcome.output, c.unpacked);
    EXPECT_EQ(outcome.consumed, static_cast<std::streamoff>(c.stream.size()));
    EXPECT_EQ(outcome.failure.kind, -7) << "the failure record must stay untouched";
    EXPECT_EQ(outcome.failure.position, 0xDEADu);
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
                 Pack(std::vector<int>{7} + CountingLiterals(3) + std::vector<int>{0, 0}),
                 Concat({0xCC}, Counting(3))},
        GoodCase{"LiteralsAlignedBlock", Pack(CountingLiterals(15) + std::vector<int>{0, 0}),
                 Counting(15)},
        GoodCase{"Literal2", {0x2A, 0xBC, 0xD0, 0x00}, {0xAB, 0xCD}},
        GoodCase{"FillBAndSingleBytes", {0x5F, 0x78, 0x00}, Concat(Bytes(18, 0xBB), {0xCC, 0xDD})},
        GoodCase{
            "CopyNearFarthest",
            Pack(Repeat({3, 15, 0, 1}, 15) + std::vector<int>{1, 0xA, 0xA, 0xA, 0, 0xF, 0xF, 0, 0}),
            Concat(Concat(Bytes(270, 0x01), {0xAA}), Bytes(3, 0x01))},
        GoodCase{"CopyMidFromTheFirstByte",
                 Pack(std::vector<int>{1, 0xA, 0xA} + Repeat({3, 15, 0, 1}, 15) +
                      std::vector<int>{0xB, 0, 0, 0, 0xC, 0, 0}),
                 Concat(Concat({0xAA}, Bytes(270, 0x01)), {0xAA, 0x01, 0x01})},
        GoodCase{"CopyFarDistanceEqualsPosition",
                 Pack(CountingLiterals(3) + std::vector<int>{0xC, 0, 0, 0, 0, 3, 0, 0}),
                 Concat(Counting(3), Counting(3))},
        GoodCase{"WordsAtOddPositions", {0x1A, 0xA6, 0xF2, 0x00}, {0xAA, 0x34, 0x12, 0x78, 0x56}},
        GoodCase{"LastDictionaryEntry", {0xFF, 0x00}, {0x0F, 0xF0}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadCase {
    const char* name;
    Bytes stream;
    uint32_t capacity;
    int32_t kind;
    uint32_t position;
    int32_t command;
    uint32_t size;
};

class DecodeFailureCase : public ::testing::TestWithParam<BadCase> {};

TEST_P(DecodeFailureCase, StopsAtTheFirstBadCommandAndDescribesIt) {
    const BadCase& c = GetParam();
    Outcome outcome = Decode(c.stream, c.capacity, {}, c.kind != TruncatedInput);
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.failure.kind, c.kind);
    EXPECT_EQ(outcome.failure.position, c.position);
    EXPECT_EQ(outcome.failure.command, c.command);
    EXPECT_EQ(outcome.failure.size, c.size);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, DecodeFailureCase,
    ::testing::Values(
        BadCase{"RepeatByteFirst", {0xD0}, kDecodeCapacity, BadLocation, 0, 13, 1},
        BadCase{"RepeatWordInLowHalf", {0x14, 0x1E}, kDecodeCapacity, BadLocation, 1, 30, 2},
        BadCase{
            "CopyNearBeforeStart", {0xA1, 0xFF, 0x00}, kDecodeCapacity, BadLocation, 0, 10, 259},
        BadCase{"CopyWordFirst", {0x90, 0x00}, kDecodeCapacity, BadLocation, 0, 9, 2},
        BadCase{"CopyFarShorterThanItsCount",
                Pack(CountingLiterals(10) + std::vector<int>{0xC, 3, 0, 0, 0, 3}), kDecodeCapacity,
                BadLocation, 10, 12, 3},
        BadCase{
            "CopyFarShorterInLowHalf",
            Pack(std::vector<int>{7} + CountingLiterals(9) + std::vector<int>{0xC, 3, 0, 0, 0, 3}),
            kDecodeCapacity, BadLocation, 10, 28, 3},
        BadCase{"CopyFarDistanceZero",
                Pack(CountingLiterals(4) + std::vector<int>{0xC, 0, 0, 0, 0, 0}), kDecodeCapacity,
                BadLocation, 4, 12, 0},
        BadCase{"CopyWordAtLastByteOverflowsFirst",
                Pack(CountingLiterals(4) + std::vector<int>{9, 15}), 5, WriteOverflow, 4, 9, 2},
        BadCase{"RunOneByteTooLong", Pack(CountingLiterals(3) + std::vector<int>{4, 15}), 20,
                WriteOverflow, 3, 4, 18},
        BadCase{"DictionaryWordPastCapacity", Pack(CountingLiterals(3) + std::vector<int>{15, 0}),
                4, WriteOverflow, 3, 15, 2},
        BadCase{"LiteralsPastCapacity", Pack(CountingLiterals(3)), 2, WriteOverflow, 0, 0, 3},
        BadCase{"EmptyInput", {}, kDecodeCapacity, TruncatedInput, 0, kNoCommand, 0},
        BadCase{"NoEndMarker", {0x12, 0x30}, kDecodeCapacity, TruncatedInput, 1, 16, 0},
        BadCase{"LiteralsCutShort", {0x03, 0x41, 0x42}, kDecodeCapacity, TruncatedInput, 0, 0, 3},
        BadCase{"CopyFarCutInItsDistance",
                {0x14, 0x1C, 0x00},
                kDecodeCapacity,
                TruncatedInput,
                1,
                28,
                3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodePackedStream, RunOfEighteenFitsExactlyAtTheEnd) {
    Bytes stream = Pack(std::vector<int>{2, 0, 1, 0, 2} + std::vector<int>{3, 15, 4, 1, 0, 0});
    Outcome fits = Decode(stream, 20);
    EXPECT_EQ(fits.result, 20);
    Outcome overflows = Decode(stream, 19);
    EXPECT_EQ(overflows.result, -1);
    EXPECT_EQ(overflows.failure.kind, WriteOverflow);
    EXPECT_EQ(overflows.failure.size, 18u);
}

TEST(DecodePackedStream, FillsTheWholeBufferThenOneByteMoreFails) {
    std::vector<int> full = Repeat({4, 13}, 4096);  // 4096 fill runs of 16 bytes
    Outcome exact = Decode(Pack(full + std::vector<int>{0, 0}));
    EXPECT_EQ(exact.result, 65536);
    Outcome over = Decode(Pack(full + std::vector<int>{7, 0, 0}));
    EXPECT_EQ(over.result, -1);
    EXPECT_EQ(over.failure.kind, WriteOverflow);
    EXPECT_EQ(over.failure.position, 65536u);
    EXPECT_EQ(over.failure.command, PutByteC);
}

// Every proper prefix of a good stream fails as cut short; none reads past its end.
TEST(DecodePackedStream, EveryCutOfAStreamFailsCleanly) {
    Bytes stream = Pack(
        CountingLiterals(5) + std::vector<int>{7, 3, 2, 0xA, 0xA, 1, 0x2B, 0x3C} +
        std::vector<int>{0xA, 1, 0, 0, 0xC, 0, 0, 0, 0, 6, 0xF, 3, 9, 0, 0xE, 0xD, 6, 8, 0, 0});
    ASSERT_GT(Decode(stream).result, 0);
    for (size_t cut = 0; cut < stream.size(); ++cut) {
        Outcome outcome =
            Decode(Bytes(stream.begin(), stream.begin() + cut), kDecodeCapacity, {}, false);
        EXPECT_EQ(outcome.result, -1) << "cut at " << cut;
        EXPECT_EQ(outcome.failure.kind, TruncatedInput) << "cut at " << cut;
    }
}

TEST(DecodePackedStream, StartsAtTheStreamsCurrentPosition) {
    Outcome outcome = Decode({0x12, 0x30, 0x00}, kDecodeCapacity, Bytes(38, 0x55));
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.output, Bytes{0x23});
    EXPECT_EQ(outcome.consumed, 3);
}

}  // namespace
