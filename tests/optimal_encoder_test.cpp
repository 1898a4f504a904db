#include "encoder/optimal_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "brute_force_packer.h"
#include "demo_levels.h"
#include "demo_map.h"
#include "format/map_header.h"
#include "input_generators.h"
#include "test_support.h"

namespace {

using tessary::MapHeader;

struct Packed {
    Bytes stream;
    int64_t nibbles = 0;
};

Packed EncodeOptimal(const Bytes& input, const MapHeader& header) {
    Packed packed;
    tessary::OptimalEncoder encoder(packed.stream, input.data(), static_cast<int32_t>(input.size()),
                                    header);
    encoder.encode();
    packed.nibbles = encoder.nibbles();
    return packed;
}

// Same size as the stream written, shortest possible, and decodes back to the input.
::testing::AssertionResult IsOptimal(const Bytes& input, const MapHeader& header) {
    const Packed packed = EncodeOptimal(input, header);
    const int64_t fewest = BruteForceMinNibbles(input, header);
    if (packed.nibbles != fewest) {
        return ::testing::AssertionFailure()
               << "input " << HexBytes(input) << ": " << packed.nibbles << " nibbles, " << fewest
               << " possible";
    }
    if (static_cast<int64_t>(packed.stream.size()) != (packed.nibbles + 1) / 2) {
        return ::testing::AssertionFailure()
               << "input " << HexBytes(input) << ": " << packed.stream.size()
               << " bytes written for " << packed.nibbles << " nibbles";
    }
    const std::string problem = RoundTripProblem(packed.stream, input, header);
    if (!problem.empty()) {
        return ::testing::AssertionFailure() << "input " << HexBytes(input) << ": " << problem;
    }
    return ::testing::AssertionSuccess();
}

MapHeader WorkedExampleHeader() {
    MapHeader header = PlainHeader();
    header.fillByteA = 0x00;
    header.wordW = 0x1234;
    header.dictionary[2] = 0x5678;
    return header;
}

TEST(OptimalEncoderTest, WritesKnownStreams) {
    struct Case {
        Bytes input;
        Bytes stream;
    };
    const Case cases[] = {
        {{}, {0x00}},
        {{0x23}, {0x12, 0x30, 0x00}},
        {{0x41, 0x41, 0x41}, {0x30, 0x41, 0x00}},
        // Literals 3 and CopyNear cost as much; on a tie the longer literal command wins.
        {{0x41, 0x42, 0x43, 0x41, 0x42, 0x43}, {0x04, 0x41, 0x42, 0x43, 0x41, 0x91, 0x00}},
        {{0, 0, 0, 0, 0, 0x34, 0x12, 0x78, 0x56}, {0x42, 0x6F, 0x20, 0x00}},
        {{0x41, 0x41}, {0x14, 0x1D, 0x00}},
    };
    const MapHeader header = WorkedExampleHeader();
    for (const Case& c : cases) {
        EXPECT_EQ(HexBytes(EncodeOptimal(c.input, header).stream), HexBytes(c.stream))
            << "input " << HexBytes(c.input);
    }
}

// Every input up to a length over an alphabet made of the header's own bytes and words, so
// that every command competes with every other.
struct Alphabet {
    const char* name;
    MapHeader header;
    Bytes symbols;
    int maxLength;
};

std::vector<Alphabet> ExhaustiveAlphabets() {
    std::vector<Alphabet> alphabets;
    {
        MapHeader header = PlainHeader();
        header.fillByteA = 0x00;
        header.fillByteB = 0x34;
        header.singleByteC = 0x12;
        header.wordW = 0x1234;          // 34 12
        header.dictionary[0] = 0x0012;  // 12 00
        header.dictionary[5] = 0x3400;  // 00 34
        alphabets.push_back({"fill bytes, wordW and words", header, {0x00, 0x34, 0x12}, 10});
    }
    {
        MapHeader header = PlainHeader();
        header.fillByteB = 0x00;
        header.singleByteC = 0x34;
        header.singleByteD = 0x12;
        header.wordW = 0x0055;          // 55 00
        header.dictionary[3] = 0x3412;  // 12 34
        header.dictionary[9] = 0x3412;
        header.dictionary[4] = 0x5555;
        alphabets.push_back({"single bytes and a plain byte", header, {0x00, 0x12, 0x34, 0x55}, 8});
    }
    alphabets.push_back({"bytes no header field names", PlainHeader(), {0x01, 0x02, 0x03}, 9});
    {
        MapHeader header = PlainHeader();
        header.fillByteA = 0x07;
        header.fillByteB = 0x07;
        header.singleByteC = 0x07;
        header.singleByteD = 0x08;
        header.wordW = 0x0807;  // 07 08
        header.dictionary[1] = 0x0807;
        header.dictionary[2] = 0x0708;
        alphabets.push_back({"fields that coincide", header, {0x07, 0x08}, 14});
    }
    return alphabets;
}

TEST(OptimalEncoderTest, MatchesBruteForceOnEveryShortInput) {
    int64_t checked = 0;
    for (const Alphabet& alphabet : ExhaustiveAlphabets()) {
        const size_t base = alphabet.symbols.size();
        for (int length = 0; length <= alphabet.maxLength; ++length) {
            std::vector<size_t> digits(static_cast<size_t>(length), 0);
            Bytes input(static_cast<size_t>(length));
            bool more = true;
            while (more) {
                for (size_t i = 0; i < digits.size(); ++i) {
                    input[i] = alphabet.symbols[digits[i]];
                }
                ASSERT_TRUE(IsOptimal(input, alphabet.header)) << alphabet.name;
                ++checked;
                // Next input: count up in base `base`.
                more = false;
                for (size_t i = 0; i < digits.size() && !more; ++i) {
                    digits[i] = (digits[i] + 1) % base;
                    more = digits[i] != 0;
                }
            }
        }
    }
    EXPECT_EQ(checked, 88573 + 87381 + 29524 + 32767);
}

TEST(OptimalEncoderTest, MatchesBruteForceOnRandomShortInputs) {
    for (unsigned seed = 1; seed <= 3000; ++seed) {
        Random random(seed);
        Bytes symbols(static_cast<size_t>(Uniform(random, 1, 6)));
        for (uint8_t& symbol : symbols) {
            symbol = AnyByte(random);
        }
        Bytes input(static_cast<size_t>(Uniform(random, 0, 14)));
        for (uint8_t& byte : input) {
            byte = symbols[Uniform(random, 0, int(symbols.size()) - 1)];
        }
        ASSERT_TRUE(IsOptimal(input, HeaderFor(random, input))) << "seed " << seed;
    }
}

// A block, then a run of the fill byte, then the block again at a chosen distance: the run
// costs next to nothing, so at the edges of each copy command's reach the cheapest choice
// for the repeat changes.
TEST(OptimalEncoderTest, MatchesBruteForceAtTheEdgesOfEachCopyReach) {
    struct Case {
        int length;
        int distance;
    };
    const Case cases[] = {
        {2, 17},  {2, 18},   {3, 258},  {3, 259},   {18, 273},  {18, 274},
        {5, 300}, {3, 4354}, {3, 4355}, {18, 4354}, {18, 4355},
    };
    MapHeader header = PlainHeader();
    header.fillByteA = 0x00;
    unsigned seed = 100;
    for (const Case& c : cases) {
        Random random(seed++);
        Bytes block(static_cast<size_t>(c.length));
        for (uint8_t& byte : block) {
            byte = static_cast<uint8_t>(Uniform(random, 0x01, 0x9F));
        }
        Bytes input = block;
        input.resize(static_cast<size_t>(c.distance), 0x00);
        input.insert(input.end(), block.begin(), block.end());
        EXPECT_TRUE(IsOptimal(input, header))
            << "length " << c.length << ", distance " << c.distance;
    }
}

// Far too long for the brute force: instead, the same repeat one byte further back must lose
// its copy, and no more than that.
TEST(OptimalEncoderTest, CopiesFromAtMost65535BytesBack) {
    const MapHeader header = WorkedExampleHeader();  // fill byte A is 00
    Bytes block;
    for (uint8_t byte = 1; byte <= 18; ++byte) {
        block.push_back(byte);
    }
    auto repeatedAt = [&](int distance, const Bytes& again) {
        Bytes input = block;
        input.resize(static_cast<size_t>(distance), 0x00);
        input.insert(input.end(), again.begin(), again.end());
        return input;
    };
    Bytes fresh;
    for (uint8_t byte = 0x81; byte <= 0x92; ++byte) {
        fresh.push_back(byte);
    }
    const Bytes reachable = repeatedAt(65535, block);
    const Bytes unreachable = repeatedAt(65536, block);
    const Packed near = EncodeOptimal(reachable, header);
    const Packed far = EncodeOptimal(unreachable, header);
    const Packed unmatched = EncodeOptimal(repeatedAt(65536, fresh), header);
    EXPECT_EQ(RoundTripProblem(near.stream, reachable, header), "");
    EXPECT_EQ(RoundTripProblem(far.stream, unreachable, header), "");
    EXPECT_EQ(far.nibbles, unmatched.nibbles);
    // The repeat costs a CopyFar (6 nibbles) instead of the 40 of its 18 literal bytes.
    EXPECT_EQ(far.nibbles - near.nibbles, 40 - 6);
}

::testing::AssertionResult NoLargerThanGreedy(const Bytes& input, const MapHeader& header) {
    const Packed optimal = EncodeOptimal(input, header);
    const Bytes greedy = EncodeBytes(input, header);
    if (optimal.stream.size() > greedy.size()) {
        return ::testing::AssertionFailure()
               << "input of " << input.size() << " bytes: " << optimal.stream.size()
               << " bytes, greedy " << greedy.size();
    }
    const std::string problem = RoundTripProblem(optimal.stream, input, header);
    if (!problem.empty()) {
        return ::testing::AssertionFailure()
               << "input of " << input.size() << " bytes: " << problem;
    }
    return ::testing::AssertionSuccess();
}

TEST(OptimalEncoderTest, NeverLargerThanGreedyAndDecodesBack) {
    const Kind kinds[] = {kRandomBytes, kSmallAlphabet, kMapCells,
                          kLongRuns,    kHeaderTokens,  kFarRepeats};
    unsigned seed = 20000;
    for (Kind kind : kinds) {
        for (int i = 0; i < 300; ++i, ++seed) {
            Random random(seed);
            MapHeader header;
            const Bytes input = Generate(kind, random, SmallSize(random), header);
            ASSERT_TRUE(NoLargerThanGreedy(input, header)) << "kind " << kind << ", seed " << seed;
        }
    }
}

TEST(OptimalEncoderTest, NeverLargerThanGreedyOnLargeInputs) {
    struct Case {
        Kind kind;
        size_t size;
    };
    const Case cases[] = {
        {kMapCells, 65535},      {kHeaderTokens, 65536}, {kLongRuns, 65537},
        {kSmallAlphabet, 70000}, {kRandomBytes, 70000},  {kFarRepeats, 100000},
        {kFarRepeats, 140000},   {kMapCells, 100000},    {kHeaderTokens, 100000},
    };
    unsigned seed = 30000;
    for (const Case& c : cases) {
        Random random(seed++);
        MapHeader header;
        const Bytes input = Generate(c.kind, random, c.size, header);
        EXPECT_TRUE(NoLargerThanGreedy(input, header))
            << "kind " << c.kind << ", seed " << seed - 1;
    }
}

TEST(OptimalEncoderTest, NeverLargerThanGreedyOnDemoLevels) {
    for (const DemoLevel& level : kDemoLevels) {
        for (uint32_t seed = 1; seed <= 3; ++seed) {
            const Bytes map = MakeDemoMap(level, seed);
            EXPECT_TRUE(NoLargerThanGreedy(map, ChooseHeader(map)))
                << level.name << ", seed " << seed;
        }
    }
}

}  // namespace
