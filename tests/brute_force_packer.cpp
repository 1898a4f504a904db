#include "brute_force_packer.h"

#include <algorithm>
#include <initializer_list>
#include <limits>

#include "test_support.h"

namespace {

using tessary::kDictionarySize;
using tessary::MapHeader;

// Everything a command may read lies before `position`, and what the decoder has produced
// there is the input itself, so each check reads only the input.
class Position {
  public:
    Position(const Bytes& input, int64_t position) : input_(input), at_(position) {}

    int64_t left() const { return static_cast<int64_t>(input_.size()) - at_; }
    uint8_t ahead(int64_t i) const { return input_[static_cast<size_t>(at_ + i)]; }
    uint8_t behind(int64_t distance) const { return input_[static_cast<size_t>(at_ - distance)]; }
    int64_t produced() const { return at_; }

    bool writes(std::initializer_list<uint8_t> bytes) const {
        int64_t i = 0;
        for (uint8_t byte : bytes) {
            if (i >= left() || ahead(i) != byte) {
                return false;
            }
            ++i;
        }
        return true;
    }

    bool writesRun(int64_t count, uint8_t value) const {
        for (int64_t i = 0; i < count; ++i) {
            if (i >= left() || ahead(i) != value) {
                return false;
            }
        }
        return true;
    }

    // The decoder's location test first, then the bytes.
    bool copies(int64_t count, int64_t distance) const {
        if (distance > at_ || distance < count || count > left()) {
            return false;
        }
        for (int64_t i = 0; i < count; ++i) {
            if (behind(distance - i) != ahead(i)) {
                return false;
            }
        }
        return true;
    }

  private:
    const Bytes& input_;
    int64_t at_;
};

bool WritesWord(const Position& here, uint16_t word) {
    return here.writes({static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>(word >> 8)});
}

}  // namespace

int64_t BruteForceMinNibbles(const Bytes& input, const MapHeader& header) {
    const int64_t size = static_cast<int64_t>(input.size());
    constexpr int64_t kNone = std::numeric_limits<int64_t>::max() / 2;
    // fewest[p]: nibbles that pack input[p..] after input[0..p) has been produced.
    std::vector<int64_t> fewest(input.size() + 1, kNone);
    fewest[input.size()] = 0;
    for (int64_t p = size - 1; p >= 0; --p) {
        const Position here(input, p);
        int64_t best = kNone;
        auto offer = [&](bool writesInput, int64_t bytes, int64_t nibbles) {
            if (writesInput) {
                best = std::min(best, nibbles + fewest[static_cast<size_t>(p + bytes)]);
            }
        };
        // A byte argument that goes to the output must be the input's byte there; any other
        // value fails the check. Counts, distances and indices take every value.
        for (int64_t n = 1; n <= 15; ++n) {
            offer(n <= here.left(), n, 2 + 2 * n);  // Literals
        }
        for (int v = 0; v <= 0xFF; ++v) {
            offer(here.writes({static_cast<uint8_t>(v)}), 1, 3);  // Literal1
        }
        offer(here.left() >= 2, 2, 5);  // Literal2
        for (int64_t n = 0; n <= 15; ++n) {
            const int64_t count = n + 3;
            offer(here.writesRun(count, here.ahead(0)), count, 4);     // RunOfByte
            offer(here.writesRun(count, header.fillByteA), count, 2);  // RunOfFillA
            offer(here.writesRun(count, header.fillByteB), count, 2);  // RunOfFillB
            for (int64_t v = 0; v <= 0xFF; ++v) {                      // CopyNear
                offer(here.copies(count, v + count), count, 4);
            }
            for (int64_t x = 0; x <= 0xFFF && x + 259 <= here.produced(); ++x) {  // CopyMid
                offer(here.copies(count, x + 259), count, 5);
            }
            for (int64_t x = 0; x <= 0xFFFF && x <= here.produced(); ++x) {  // CopyFar
                offer(here.copies(count, x), count, 6);
            }
        }
        offer(WritesWord(here, header.wordW), 2, 1);     // PutWordW
        offer(here.writes({header.singleByteC}), 1, 1);  // PutByteC
        offer(here.writes({header.singleByteD}), 1, 1);  // PutByteD
        for (int64_t x = 0; x <= 15; ++x) {              // CopyWord
            offer(here.copies(2, x + 2), 2, 2);
        }
        offer(here.copies(1, 1), 1, 1);  // RepeatByte
        offer(here.copies(2, 2), 2, 1);  // RepeatWord
        for (int i = 0; i < kDictionarySize; ++i) {
            offer(WritesWord(here, header.dictionary[i]), 2, 2);  // PutDictWord
        }
        fewest[static_cast<size_t>(p)] = best;
    }
    return fewest[0] + 2;  // End
}
