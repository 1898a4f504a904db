#include "encoder/nearest_matches.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "input_generators.h"
#include "test_support.h"

namespace {

using tessary::kMaxMatchLength;
using tessary::kMinMatchLength;
using tessary::NearestMatches;

// Distances by length 2..18 at one position, by trying every distance from the nearest on.
std::vector<int32_t> NaiveDistances(const Bytes& input, int32_t position) {
    std::vector<int32_t> distances(kMaxMatchLength + 1, 0);
    const int32_t size = static_cast<int32_t>(input.size());
    for (int32_t d = 1; d <= position && d <= 0xFFFF; ++d) {
        int32_t common = 0;
        while (common < kMaxMatchLength && position + common < size &&
               input[position - d + common] == input[position + common]) {
            ++common;
        }
        // No overlap: a copy of length L needs d >= L.
        for (int32_t length = kMinMatchLength; length <= std::min(common, d); ++length) {
            if (distances[length] == 0) {
                distances[length] = d;
            }
        }
    }
    return distances;
}

// Nibbles of the cheapest copy command that reaches `distance`; 0 when none does.
int32_t Cost(int32_t length, int32_t distance) {
    if (distance == 0) {
        return 0;
    }
    if (length == 2) {
        return distance <= 17 ? 2 : 0;
    }
    if (distance <= length + 255) {
        return 4;
    }
    return distance <= 4354 ? 5 : 6;
}

int32_t Common(const Bytes& input, int32_t a, int32_t b) {
    int32_t common = 0;
    while (b + common < static_cast<int32_t>(input.size()) &&
           input[a + common] == input[b + common]) {
        ++common;
    }
    return common;
}

// The nearest occurrence is always the cheapest to copy from, so its cost is the one to
// find; and the distance given must be one a copy of that cost can use.
::testing::AssertionResult AllNearest(const Bytes& input, const std::vector<int32_t>& positions) {
    const NearestMatches matches(input.data(), static_cast<int32_t>(input.size()));
    for (int32_t p : positions) {
        const std::vector<int32_t> expected = NaiveDistances(input, p);
        for (int32_t length = kMinMatchLength; length <= kMaxMatchLength; ++length) {
            if (p + length > static_cast<int32_t>(input.size())) {
                break;
            }
            const int32_t cost = matches.copyCost(p, length);
            const int32_t nearest = expected[length];
            if (cost != Cost(length, nearest)) {
                return ::testing::AssertionFailure()
                       << "position " << p << ", length " << length << ": cost " << cost
                       << ", nearest " << nearest;
            }
            if (cost == 0) {
                continue;
            }
            const int32_t found = matches.distance(p, length);
            const bool nearestWanted = cost <= 4;
            if (found < length || found > p || Common(input, p - found, p) < length ||
                Cost(length, found) != cost || (nearestWanted && found != nearest)) {
                return ::testing::AssertionFailure()
                       << "position " << p << ", length " << length << ": distance " << found
                       << ", nearest " << nearest;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

std::vector<int32_t> Every(const Bytes& input) {
    std::vector<int32_t> positions(input.size());
    for (size_t i = 0; i < positions.size(); ++i) {
        positions[i] = static_cast<int32_t>(i);
    }
    return positions;
}

// Blocks that come back after stretches of other bytes, near and far, with variations so
// that the nearest occurrence differs from length to length.
Bytes Repeats(Random& random, size_t size, int alphabet, int maxGap) {
    Bytes bytes;
    while (bytes.size() < size) {
        if (bytes.size() > 40 && Uniform(random, 0, 1) == 0) {
            const size_t length = static_cast<size_t>(Uniform(random, 2, 30));
            const size_t start =
                static_cast<size_t>(Uniform(random, 0, int(bytes.size() - length)));
            for (size_t i = 0; i < length; ++i) {
                bytes.push_back(bytes[start + i]);
            }
            if (Uniform(random, 0, 2) == 0) {
                bytes.back() ^= 1;
            }
        } else {
            for (int gap = Uniform(random, 1, maxGap); gap > 0; --gap) {
                bytes.push_back(static_cast<uint8_t>(Uniform(random, 0, alphabet - 1)));
            }
        }
    }
    bytes.resize(size);
    return bytes;
}

TEST(NearestMatchesTest, FindsTheNearestNonOverlappingOccurrence) {
    struct Case {
        const char* name;
        size_t size;
        int alphabet;
        int maxGap;
    };
    // Small alphabets give overlapping runs and periods; wide ones and long gaps push the
    // nearest occurrence past every copy command's reach.
    const Case cases[] = {
        {"one byte", 300, 1, 5},         {"two bytes", 2000, 2, 8},
        {"four bytes", 3000, 4, 20},     {"wide, near", 3000, 256, 40},
        {"wide, far", 12000, 256, 3000}, {"narrow, far", 12000, 16, 900},
    };
    unsigned seed = 1;
    for (const Case& c : cases) {
        Random random(seed++);
        const Bytes input = Repeats(random, c.size, c.alphabet, c.maxGap);
        EXPECT_TRUE(AllNearest(input, Every(input))) << c.name;
    }
}

TEST(NearestMatchesTest, ShortInputs) {
    for (const Bytes& input : std::vector<Bytes>{{}, {7}, {7, 7}, {7, 7, 7}, {1, 2, 1, 2}}) {
        EXPECT_TRUE(AllNearest(input, Every(input))) << input.size() << " bytes";
    }
}

// An 18-byte block again 65,535 bytes on is found; 65,536 bytes on it is out of reach, even
// though the same block sits there too.
TEST(NearestMatchesTest, ReachesBack65535BytesAtMost) {
    Bytes input(140000);
    Random random(5);
    for (uint8_t& byte : input) {
        byte = static_cast<uint8_t>(Uniform(random, 0x40, 0xFF));
    }
    const int32_t first = 100;
    const int32_t reachable = first + 65535;
    const int32_t unreachable = reachable + 30 + 65536;
    for (int32_t at : {first, reachable, unreachable}) {
        for (int32_t i = 0; i < kMaxMatchLength; ++i) {
            input[static_cast<size_t>(at + i)] = static_cast<uint8_t>(i + 1);
        }
    }
    const NearestMatches matches(input.data(), static_cast<int32_t>(input.size()));
    // CopyWord reaches 17 bytes back only.
    EXPECT_EQ(matches.copyCost(reachable, 2), 0);
    for (int32_t length = kMinMatchLength + 1; length <= kMaxMatchLength; ++length) {
        EXPECT_EQ(matches.copyCost(reachable, length), 6) << "length " << length;
        EXPECT_EQ(matches.distance(reachable, length), 65535) << "length " << length;
        EXPECT_EQ(matches.copyCost(unreachable, length), 0) << "length " << length;
    }
    EXPECT_TRUE(AllNearest(input, {reachable, reachable + 5, unreachable, unreachable + 7}));
}

}  // namespace
