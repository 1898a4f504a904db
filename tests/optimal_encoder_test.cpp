#include "optimal_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "brute_force_packer.h"
#include "demo_levels.h"
#include "demo_map.h"
#include "encoder_test_support.h"
#include "map_header.h"
#include "stream_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Random = std::mt19937;

struct Packed {
    Bytes stream;
    int64_t nibbles = 0;
};

Packed EncodeOptimal(const Bytes& input, const MapHeader& header) {
    std::ostringstream out;
    OptimalEncoder encoder(out, input.data(), static_cast<int32_t>(input.size()), header);
    Packed packed;
    if (encoder.encode()) {
        const std::string text = out.str();
        packed.stream.assign(text.begin(), text.end());
        packed.nibbles = encoder.nibbles();
    }
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

int Uniform(Random& random, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
}

uint8_t AnyByte(Random& random) {
    return static_cast<uint8_t>(Uniform(random, 0, 255));
}

bool Chance(Random& random, int percent) {
    return Uniform(random, 0, 99) < percent;
}

Bytes RandomBytes(Random& random, size_t size) {
    Bytes bytes(size);
    for (uint8_t& byte : bytes) {
        byte = AnyByte(random);
    }
    return bytes;
}

MapHeader HeaderOfUnusedValues() {
    MapHeader header;
    header.fillByteA = 0xA1;
    header.fillByteB = 0xB2;
    header.singleByteC = 0xC3;
    header.singleByteD = 0xD4;
    header.wordW = 0xE5E6;
    for (int i = 0; i < kDictionarySize; ++i) {
        header.dictionary[i] = static_cast<uint16_t>(0xF1E0 + i);
    }
    return header;
}

MapHeader WorkedExampleHeader() {
    MapHeader header = HeaderOfUnusedValues();
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
        MapHeader header = HeaderOfUnusedValues();
        header.fillByteA = 0x00;
        header.fillByteB = 0x34;
        header.singleByteC = 0x12;
        header.wordW = 0x1234;          // 34 12
        header.dictionary[0] = 0x0012;  // 12 00
        header.dictionary[5] = 0x3400;  // 00 34
        alphabets.push_back({"fill bytes, wordW and words", header, {0x00, 0x34, 0x12}, 10});
    }
    {
        MapHeader header = HeaderOfUnusedValues();
        header.fillByteB = 0x00;
        header.singleByteC = 0x34;
        header.singleByteD = 0x12;
        header.wordW = 0x0055;          // 55 00
        header.dictionary[3] = 0x3412;  // 12 34
        header.dictionary[9] = 0x3412;
        header.dictionary[4] = 0x5555;
        alphabets.push_back({"single bytes and a plain byte", header, {0x00, 0x12, 0x34, 0x55}, 8});
    }
    alphabets.push_back(
        {"bytes no header field names", HeaderOfUnusedValues(), {0x01, 0x02, 0x03}, 9});
    {
        MapHeader header = HeaderOfUnusedValues();
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

// Header fields taken from the input most of the time, so that they matter.
MapHeader HeaderFrom(Random& random, const Bytes& input) {
    auto byte = [&]() -> uint8_t {
        return input.empty() || Chance(random, 20)
                   ? AnyByte(random)
                   : input[Uniform(random, 0, int(input.size()) - 1)];
    };
    auto word = [&]() -> uint16_t {
        if (input.size() < 2 || Chance(random, 20)) {
            return static_cast<uint16_t>(Uniform(random, 0, 0xFFFF));
        }
        const int p = Uniform(random, 0, int(input.size()) - 2);
        return static_cast<uint16_t>(input[p] | input[p + 1] << 8);
    };
    MapHeader header;
    header.fillByteA = byte();
    header.fillByteB = byte();
    header.singleByteC = byte();
    header.singleByteD = byte();
    header.wordW = word();
    for (int i = 0; i < kDictionarySize; ++i) {
        header.dictionary[i] = Chance(random, 70) ? static_cast<uint16_t>(0xF1E0 + i) : word();
    }
    return header;
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
        ASSERT_TRUE(IsOptimal(input, HeaderFrom(random, input))) << "seed " << seed;
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
    MapHeader header = HeaderOfUnusedValues();
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

// Rows of 16-bit cells from a small tile set: spans of one tile, rows that repeat the one
// before with a few changes.
Bytes MapCells(Random& random, size_t size) {
    std::vector<uint16_t> tiles(static_cast<size_t>(Uniform(random, 2, 24)));
    for (uint16_t& tile : tiles) {
        tile = static_cast<uint16_t>(Chance(random, 50) ? Uniform(random, 0, 0x3F)
                                                        : Uniform(random, 0, 0xFFFF));
    }
    std::vector<uint16_t> row(static_cast<size_t>(Uniform(random, 4, 64)));
    Bytes bytes;
    while (bytes.size() < size) {
        if (bytes.empty() || Chance(random, 25)) {
            for (size_t x = 0; x < row.size();) {
                const uint16_t tile = tiles[Uniform(random, 0, int(tiles.size()) - 1)];
                for (int span = Uniform(random, 1, 12); span > 0 && x < row.size(); --span) {
                    row[x++] = tile;
                }
            }
        } else {
            for (int changes = Uniform(random, 0, 3); changes > 0; --changes) {
                row[Uniform(random, 0, int(row.size()) - 1)] =
                    tiles[Uniform(random, 0, int(tiles.size()) - 1)];
            }
        }
        for (uint16_t cell : row) {
            bytes.push_back(static_cast<uint8_t>(cell & 0xFF));
            bytes.push_back(static_cast<uint8_t>(cell >> 8));
        }
    }
    bytes.resize(size);
    return bytes;
}

Bytes Runs(Random& random, size_t size, const Bytes& values) {
    Bytes bytes;
    while (bytes.size() < size) {
        bytes.insert(bytes.end(), static_cast<size_t>(Uniform(random, 1, 45)),
                     values[Uniform(random, 0, int(values.size()) - 1)]);
    }
    bytes.resize(size);
    return bytes;
}

// The header's bytes and words, runs of them, and earlier stretches again.
Bytes HeaderTokens(Random& random, size_t size, const MapHeader& header) {
    Bytes bytes;
    auto word = [&](uint16_t w) {
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    };
    while (bytes.size() < size) {
        const int kind = Uniform(random, 0, 6);
        if (kind < 4) {
            const uint8_t values[] = {header.fillByteA, header.fillByteB, header.singleByteC,
                                      header.singleByteD};
            bytes.insert(bytes.end(), static_cast<size_t>(Uniform(random, 1, 25)), values[kind]);
        } else if (kind == 4) {
            word(Chance(random, 30) ? header.wordW
                                    : header.dictionary[Uniform(random, 0, kDictionarySize - 1)]);
        } else if (kind == 5 || bytes.size() < 4) {
            bytes.push_back(AnyByte(random));
        } else {
            const size_t length = static_cast<size_t>(Uniform(random, 2, 24));
            const size_t start = static_cast<size_t>(
                Uniform(random, 0, int(bytes.size() - std::min(length, bytes.size()))));
            for (size_t i = 0; i < length && start + i < bytes.size(); ++i) {
                bytes.push_back(bytes[start + i]);
            }
        }
    }
    bytes.resize(size);
    return bytes;
}

// Short blocks repeated after long stretches of other bytes, at every distance class and
// beyond 65,535.
Bytes FarRepeats(Random& random, size_t size) {
    Bytes bytes;
    std::vector<Bytes> blocks;
    while (bytes.size() < size) {
        if (!blocks.empty() && Chance(random, 60)) {
            const Bytes& block = blocks[Uniform(random, 0, int(blocks.size()) - 1)];
            bytes.insert(bytes.end(), block.begin(), block.end());
        } else {
            Bytes block(static_cast<size_t>(Uniform(random, 3, 40)));
            for (uint8_t& byte : block) {
                byte = static_cast<uint8_t>(Uniform(random, 0x00, 0x3F));
            }
            blocks.push_back(block);
            bytes.insert(bytes.end(), block.begin(), block.end());
        }
        const int stretch =
            Chance(random, 50) ? Uniform(random, 200, 5000) : Uniform(random, 4000, 70000);
        for (int i = 0; i < stretch; ++i) {
            bytes.push_back(static_cast<uint8_t>(Uniform(random, 0x40, 0xFF)));
        }
    }
    bytes.resize(size);
    return bytes;
}

enum Kind { kRandomBytes, kSmallAlphabet, kMapCells, kLongRuns, kHeaderTokens, kFarRepeats };

Bytes Generate(Kind kind, Random& random, size_t size, MapHeader& header) {
    Bytes input;
    switch (kind) {
        case kRandomBytes:
            input = RandomBytes(random, size);
            break;
        case kSmallAlphabet:
            input = Runs(random, size, RandomBytes(random, 1 + size % 5));
            std::shuffle(input.begin(), input.end(), random);
            break;
        case kMapCells:
            input = MapCells(random, size);
            break;
        case kLongRuns:
            input = Runs(random, size, RandomBytes(random, 1 + size % 7));
            break;
        case kHeaderTokens:
            header = HeaderFrom(random, RandomBytes(random, 64));
            return HeaderTokens(random, size, header);
        case kFarRepeats:
            input = FarRepeats(random, size);
            break;
    }
    header = HeaderFrom(random, input);
    return input;
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
            const int sizeClass = Uniform(random, 0, 9);
            const size_t size = static_cast<size_t>(sizeClass < 6   ? Uniform(random, 0, 64)
                                                    : sizeClass < 9 ? Uniform(random, 65, 600)
                                                                    : Uniform(random, 601, 6000));
            MapHeader header;
            const Bytes input = Generate(kind, random, size, header);
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
