#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "encoder/optimal_encoder.h"
#include "encoder/stream_encoder.h"
#include "format/map_header.h"
#include "test_support.h"

namespace {

using tessary::MapHeader;

MapHeader WithWordW(uint16_t word) {
    MapHeader header = PlainHeader();
    header.wordW = word;
    return header;
}

MapHeader WithDictionary(std::initializer_list<int> indices, uint16_t word) {
    MapHeader header = PlainHeader();
    for (int i : indices) {
        header.dictionary[i] = word;
    }
    return header;
}

MapHeader WithSameBytes(bool a, bool b, bool c, bool d, uint8_t value) {
    MapHeader header = PlainHeader();
    header.fillByteA = a ? value : header.fillByteA;
    header.fillByteB = b ? value : header.fillByteB;
    header.singleByteC = c ? value : header.singleByteC;
    header.singleByteD = d ? value : header.singleByteD;
    return header;
}

Bytes Fill(int value, int count) {
    return Bytes(static_cast<size_t>(count), static_cast<uint8_t>(value));
}

std::string RepeatText(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

// The stream as one string of hex digits, so that a command's nibbles can be looked for
// whatever their alignment.
std::string NibbleText(const Bytes& stream) {
    std::string nibbles = HexBytes(stream);
    nibbles.erase(std::remove(nibbles.begin(), nibbles.end(), ' '), nibbles.end());
    return nibbles;
}

// The stream ends with `tail` and then, when the nibble count is odd, a pad nibble.
::testing::AssertionResult EndsWithNibbles(const Bytes& stream, const std::string& tail) {
    const std::string nibbles = NibbleText(stream);
    for (const std::string& end : {tail, tail + "0"}) {
        if (nibbles.size() >= end.size() &&
            nibbles.compare(nibbles.size() - end.size(), end.size(), end) == 0) {
            return ::testing::AssertionSuccess();
        }
    }
    return ::testing::AssertionFailure()
           << "stream ends "
           << nibbles.substr(nibbles.size() - std::min<size_t>(16, nibbles.size()));
}

struct EncodeCase {
    const char* name;
    MapHeader header;
    Bytes input;
    std::string expected;  // the packed stream, hexadecimal bytes
};

void CheckCases(const std::vector<EncodeCase>& cases) {
    for (const EncodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes stream = EncodeBytes(c.input, c.header);
        EXPECT_EQ(HexBytes(stream), c.expected);
        EXPECT_EQ(RoundTripProblem(stream, c.input, c.header), "");
    }
}

TEST(StreamEncoderTest, EdgeCases) {
    const MapHeader plain = PlainHeader();
    CheckCases({
        {"empty input", plain, {}, "00"},
        {"three literals", plain, {0x12, 0x34, 0x56}, "03 12 34 56 00"},
        {"sixteen equal bytes", plain, Fill(0x41, 16), "3D 41 00"},
        {"newest entry taken, then cut to its distance", plain, Repeat({0x58, 0x59, 0x5A}, 10),
         "03 58 59 5A " + RepeatText("A0 00 ", 9) + "00"},
        {"last position as literal", plain, Fill(0x41, 19), "3F 41 14 10 00"},
        {"last position as singleByteC", plain, Concat({Fill(0x41, 18), {0xC3}}), "3F 41 70 00"},
        {"last position as singleByteD", plain, Concat({Fill(0x41, 18), {0xD4}}), "3F 41 80 00"},
        {"sixteenth literal", plain, Sequence(0x10, 16),
         "0F " + HexBytes(Sequence(0x10, 15)) + " 11 F0 00"},
    });
}

TEST(StreamEncoderTest, RunCandidateRows) {
    const MapHeader plain = PlainHeader();
    CheckCases({
        {"R1 singleByteC", plain, {0xC3}, "70 00"},
        {"R1 singleByteD", plain, {0xD4}, "80 00"},
        {"R1 other byte", plain, {0x41}, "14 10 00"},
        {"R1 fillByteA is not looked at", plain, {0xA1}, "1A 10 00"},
        {"R2 singleByteC", plain, Fill(0xC3, 2), "77 00"},
        {"R2 singleByteD", plain, Fill(0xD4, 2), "88 00"},
        {"R2 other byte", plain, Fill(0x41, 2), "14 1D 00"},
        {"R2 fillByteB is not looked at", plain, Fill(0xB2, 2), "1B 2D 00"},
        {"R3 fillByteA", plain, Fill(0xA1, 3), "40 00"},
        {"R3 fillByteB", plain, Fill(0xB2, 3), "50 00"},
        {"R3 singleByteC", plain, Fill(0xC3, 3), "77 70 00"},
        {"R3 singleByteD", plain, Fill(0xD4, 3), "88 80 00"},
        {"R3 other byte", plain, Fill(0x41, 3), "30 41 00"},
        {"R4 fillByteA", plain, Fill(0xA1, 4), "41 00"},
        {"R4 fillByteB", plain, Fill(0xB2, 4), "51 00"},
        {"R4 singleByteC", plain, Fill(0xC3, 4), "77 E0 00"},
        {"R4 singleByteD", plain, Fill(0xD4, 4), "88 E0 00"},
        {"R4 other byte", plain, Fill(0x41, 4), "31 41 00"},
        {"R5 fillByteA", plain, Fill(0xA1, 5), "42 00"},
        {"R18 fillByteA", plain, Fill(0xA1, 18), "4F 00"},
        {"R5 fillByteB", plain, Fill(0xB2, 5), "52 00"},
        {"R18 fillByteB", plain, Fill(0xB2, 18), "5F 00"},
        {"R5 singleByteC is a plain run", plain, Fill(0xC3, 5), "32 C3 00"},
        {"R18 singleByteD is a plain run", plain, Fill(0xD4, 18), "3F D4 00"},
        {"R5 other byte", plain, Fill(0x41, 5), "32 41 00"},
        {"R18 other byte", plain, Fill(0x41, 18), "3F 41 00"},
    });
}

TEST(StreamEncoderTest, RunCandidateOrderWhenHeaderBytesCoincide) {
    const MapHeader all = WithSameBytes(true, true, true, true, 0x77);
    const MapHeader bcd = WithSameBytes(false, true, true, true, 0x77);
    const MapHeader cd = WithSameBytes(false, false, true, true, 0x77);
    CheckCases({
        {"all: R1 as singleByteC", all, Fill(0x77, 1), "70 00"},
        {"all: R2 as singleByteC", all, Fill(0x77, 2), "77 00"},
        {"all: R3 as fillByteA", all, Fill(0x77, 3), "40 00"},
        {"all: R4 as fillByteA", all, Fill(0x77, 4), "41 00"},
        {"all: R5 as fillByteA", all, Fill(0x77, 5), "42 00"},
        {"B, C, D: R3 as fillByteB", bcd, Fill(0x77, 3), "50 00"},
        {"B, C, D: R4 as fillByteB", bcd, Fill(0x77, 4), "51 00"},
        {"C, D: R1 as singleByteC", cd, Fill(0x77, 1), "70 00"},
        {"C, D: R2 as singleByteC", cd, Fill(0x77, 2), "77 00"},
        {"C, D: R3 as singleByteC", cd, Fill(0x77, 3), "77 70 00"},
        {"C, D: R4 as singleByteC", cd, Fill(0x77, 4), "77 E0 00"},
        {"C, D: R5 plain", cd, Fill(0x77, 5), "32 77 00"},
    });
}

TEST(StreamEncoderTest, BackReferenceRows) {
    const MapHeader plain = PlainHeader();
    CheckCases({
        {"length cut to 1 gives none", plain, Fill(0x41, 20), "3F 41 14 1D 00"},
        {"L2 d2 RepeatWord", plain, {0x41, 0x42, 0x41, 0x42}, "24 14 2E 00"},
        {"L2 d3 CopyWord", plain, {0x41, 0x42, 0x43, 0x41, 0x42}, "03 41 42 43 91 00"},
        {"L2 d16 CopyWord", plain, Concat({Sequence(0x10, 16), {0x10, 0x11}}),
         "0F " + HexBytes(Sequence(0x10, 15)) + " 11 F9 E0 00"},
        {"L2 d17 none", plain, Concat({Sequence(0x10, 17), {0x10, 0x11}}),
         "0F " + HexBytes(Sequence(0x10, 15)) + " 04 1F 20 10 11 00"},
        {"L4 d4 CopyNear", plain, Repeat(Sequence(0x41, 4), 2), "04 41 42 43 44 A1 00 00"},
        {"L18 d18 CopyNear", plain, Repeat(Sequence(0x20, 18), 2),
         "0F " + HexBytes(Sequence(0x20, 15)) + " 03 2F 30 31 AF 00 00"},
    });
}

TEST(StreamEncoderTest, WordCandidate) {
    CheckCases({
        {"wordW", WithWordW(0x4443), {0x43, 0x44}, "60 00"},
        {"wordW is little-endian", WithWordW(0x4443), {0x44, 0x43}, "24 44 30 00"},
        {"dictionary entry", WithDictionary({7}, 0x4443), {0x43, 0x44}, "F7 00"},
        {"lowest dictionary index", WithDictionary({9, 3}, 0x4443), {0x43, 0x44}, "F3 00"},
        {"index 15", WithDictionary({15}, 0x4443), {0x43, 0x44}, "FF 00"},
        {"wordW before the dictionary", WithDictionary({0}, 0xE5E6), {0xE6, 0xE5}, "60 00"},
        {"word at an odd position", WithWordW(0x4443), {0x10, 0x43, 0x44}, "11 06 00"},
    });
}

TEST(StreamEncoderTest, ChoiceAndTieBreaks) {
    const MapHeader plain = PlainHeader();
    CheckCases({
        {"wordW ties RepeatWord: word", WithWordW(0x4241), {0x41, 0x42, 0x41, 0x42}, "66 00"},
        {"dictionary word ties two PutByteC: word", WithDictionary({5}, 0xC3C3), Fill(0xC3, 2),
         "F5 00"},
        {"dictionary word ties one PutByteC: word",
         WithDictionary({5}, 0x42C3),
         {0xC3, 0x42},
         "F5 00"},
        {"dictionary word ties CopyWord: word",
         WithDictionary({3}, 0x4443),
         {0x43, 0x44, 0x10, 0x43, 0x44},
         "F3 11 0F 30 00"},
        {"two PutByteC tie CopyWord: run",
         plain,
         {0xC3, 0xC3, 0x42, 0xC3, 0xC3, 0x43},
         "77 14 27 71 43 00"},
        {"RunOfByte ties CopyNear of 3: run",
         plain,
         {0x41, 0x41, 0x41, 0x42, 0x41, 0x41, 0x41},
         "30 41 14 23 04 10 00"},
        {"CopyNear of 4 beats RunOfByte of 3",
         plain,
         {0x41, 0x41, 0x41, 0x42, 0x41, 0x41, 0x41, 0x42},
         "30 41 14 2A 10 00 00"},
        {"CopyNear of 18 beats a dictionary word", WithDictionary({0}, 0x2120),
         Repeat(Sequence(0x20, 18), 2),
         "F0 0F " + HexBytes(Sequence(0x22, 15)) + " 13 1A F0 00 00"},
    });
}

// Pattern, unrelated filler, singleByteC (which flushes the filler's literals), pattern again:
// the stream must end with PutByteC, then the back-reference (or its literals), then End.
Bytes WithDistance(int length, int distance) {
    std::mt19937 random(static_cast<unsigned>(distance));
    std::uniform_int_distribution<int> filler(0x40, 0x9F);
    Bytes input = Sequence(0x01, length);
    for (int i = 0; i < distance - length - 1; ++i) {
        input.push_back(static_cast<uint8_t>(filler(random)));
    }
    input.push_back(0xC3);
    return Concat({input, Sequence(0x01, length)});
}

TEST(StreamEncoderTest, BackReferenceDistanceClasses) {
    struct Case {
        int length;
        int distance;
        const char* nibbles;  // of the last command before End
    };
    const Case cases[] = {
        {3, 258, "A0FF"},     // CopyNear up to length + 255
        {3, 259, "B0000"},    // CopyMid from length + 256
        {18, 273, "AFFF"},    //
        {18, 274, "BF00F"},   //
        {4, 4354, "B1FFF"},   // the farthest CopyMid
        {4, 4355, "C11103"},  // CopyFar beyond it
        {5, 65535, "C2FFFF"},
        {5, 65536, "050102030405"},  // out of reach: the pattern stays literal
        {3, 70000, "03010203"},
    };
    const MapHeader plain = PlainHeader();
    for (const Case& c : cases) {
        SCOPED_TRACE("length " + std::to_string(c.length) + ", distance " +
                     std::to_string(c.distance));
        const Bytes input = WithDistance(c.length, c.distance);
        const Bytes stream = EncodeBytes(input, plain);
        EXPECT_TRUE(EndsWithNibbles(stream, std::string("7") + c.nibbles + "00"));
        EXPECT_EQ(RoundTripProblem(stream, input, plain), "");
    }
}

TEST(StreamEncoderTest, FullRingHidesItsOldestEntry) {
    struct Case {
        int repetitions;
        const char* nibbles;  // at the end of the stream, End included
    };
    const Case cases[] = {
        {254, "B10FD00"},     // 516 bytes: position 0 is still compared
        {255, "100B00FF00"},  // 518 bytes: Literal1 00, then a match through the ring of 11
    };
    const MapHeader plain = PlainHeader();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.repetitions);
        const Bytes ends = {0x00, 0x11, 0x22, 0x33};
        const Bytes input = Concat({ends, Repeat({0x00, 0x44}, c.repetitions), ends});
        const Bytes stream = EncodeBytes(input, plain);
        EXPECT_TRUE(EndsWithNibbles(stream, c.nibbles));
        EXPECT_EQ(RoundTripProblem(stream, input, plain), "");
    }
}

// Both encoders append after whatever the output already holds (the packer puts the header
// there first) and report how much they appended.
TEST(StreamEncoderTest, AppendsToTheOutputAndReturnsTheBytesAppended) {
    const Bytes before = {0xDE, 0xAD, 0xBE};
    const MapHeader plain = PlainHeader();
    for (const Bytes& input : {Bytes{}, Sequence(0x10, 40), Repeat({0x41, 0x42}, 300)}) {
        for (tessary::Packing packing : {tessary::Packing::Greedy, tessary::Packing::Optimal}) {
            SCOPED_TRACE(std::to_string(input.size()) + " bytes, " + tessary::PackingName(packing));
            Bytes out = before;
            const int32_t count = static_cast<int32_t>(input.size());
            const size_t appended =
                packing == tessary::Packing::Greedy
                    ? tessary::StreamEncoder(out, input.data(), count, plain).encode()
                    : tessary::OptimalEncoder(out, input.data(), count, plain).encode();
            ASSERT_EQ(appended, out.size() - before.size());
            EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), before);
            const Bytes stream(out.begin() + 3, out.end());
            EXPECT_EQ(RoundTripProblem(stream, input, plain), "");
            if (packing == tessary::Packing::Greedy) {
                EXPECT_EQ(stream, EncodeBytes(input, plain));
            }
        }
    }
}

}  // namespace
