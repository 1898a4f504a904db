#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "format/map_header.h"
#include "input_generators.h"
#include "reference_encoder.h"
#include "test_support.h"

namespace {

using tessary::MapHeader;

::testing::AssertionResult AgreesWithReference(const Bytes& input, const MapHeader& header) {
    const Bytes actual = EncodeBytes(input, header);
    const Bytes expected = ReferenceEncode(input, header);
    if (actual != expected) {
        size_t at = 0;
        while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
            ++at;
        }
        return ::testing::AssertionFailure()
               << "input of " << input.size() << " bytes: streams of " << actual.size() << " and "
               << expected.size() << " bytes differ from byte " << at;
    }
    const std::string problem = RoundTripProblem(actual, input, header);
    if (!problem.empty()) {
        return ::testing::AssertionFailure()
               << "input of " << input.size() << " bytes: " << problem;
    }
    return ::testing::AssertionSuccess();
}

void CheckMany(Kind kind, unsigned firstSeed, int count) {
    for (int i = 0; i < count; ++i) {
        const unsigned seed = firstSeed + static_cast<unsigned>(i);
        Random random(seed);
        MapHeader header;
        const Bytes input = Generate(kind, random, SmallSize(random), header);
        ASSERT_TRUE(AgreesWithReference(input, header)) << "seed " << seed;
    }
}

TEST(EncoderDifferentialTest, RandomBytes) {
    CheckMany(kRandomBytes, 1000, 1000);
}
TEST(EncoderDifferentialTest, SmallAlphabets) {
    CheckMany(kSmallAlphabet, 3000, 1500);
}
TEST(EncoderDifferentialTest, MapCells) {
    CheckMany(kMapCells, 5000, 1500);
}
TEST(EncoderDifferentialTest, LongRuns) {
    CheckMany(kLongRuns, 7000, 1000);
}
TEST(EncoderDifferentialTest, HeaderBytesAndWords) {
    CheckMany(kHeaderTokens, 9000, 2000);
}
TEST(EncoderDifferentialTest, HistoryWorstCases) {
    CheckMany(kHistoryWorstCase, 11000, 1000);
}

TEST(EncoderDifferentialTest, EverySizeUpToSixtyFour) {
    for (int size = 0; size <= 64; ++size) {
        for (Kind kind : {kRandomBytes, kSmallAlphabet, kLongRuns, kHeaderTokens}) {
            Random random(static_cast<unsigned>(20000 + size * 8 + kind));
            MapHeader header;
            const Bytes input = Generate(kind, random, static_cast<size_t>(size), header);
            ASSERT_TRUE(AgreesWithReference(input, header)) << "size " << size << ", kind " << kind;
        }
    }
}

TEST(EncoderDifferentialTest, LargeInputs) {
    struct Case {
        Kind kind;
        size_t size;
    };
    const Case cases[] = {
        {kMapCells, 65535},         {kHeaderTokens, 65536},     {kLongRuns, 65537},
        {kMapCells, 70000},         {kSmallAlphabet, 70000},    {kRandomBytes, 70000},
        {kFarRepeats, 100000},      {kFarRepeats, 140000},      {kMapCells, 100000},
        {kHeaderTokens, 100000},    {kHistoryWorstCase, 65536}, {kHistoryWorstCase, 65536},
        {kHistoryWorstCase, 65536}, {kHistoryWorstCase, 70000},
    };
    unsigned seed = 30000;
    for (const Case& c : cases) {
        Random random(seed++);
        MapHeader header;
        const Bytes input = Generate(c.kind, random, c.size, header);
        EXPECT_TRUE(AgreesWithReference(input, header))
            << "kind " << c.kind << ", seed " << seed - 1;
    }
}

}  // namespace
