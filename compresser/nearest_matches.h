#pragma once
// For every input position and every copy length 2..18, which copy command can reach an
// earlier occurrence of the bytes there, and the distance to one: an occurrence that ends at
// or before the position (copies never overlap) and lies at most 65,535 bytes back. Since a
// copy's cost depends only on the command, the cheapest one found stands for all.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "stream_format.h"

constexpr int32_t kMinMatchLength = 2;
constexpr int32_t kMaxMatchLength = 18;
constexpr int32_t kCopyNearReach = 0xFF;  // CopyNear: from the count to this much beyond it
constexpr int32_t kMaxCopyWordDistance = kCopyWordDistanceBias + 0xF;

class NearestMatches {
  public:
    // Does the whole search at once. Refers to `input` without owning it: distance() reads
    // it again.
    NearestMatches(const uint8_t* input, int32_t count);
    NearestMatches(const NearestMatches&) = delete;
    NearestMatches& operator=(const NearestMatches&) = delete;

    // A length with a bit in `near` has a copy within CopyWord's reach (length 2) or
    // CopyNear's; any other length from 3 to `mid` has one within CopyMid's, and from there
    // to `far` within CopyFar's. Length 2 has no other.
    struct Reach {
        uint32_t near;  // bit `length`
        int32_t mid;
        int32_t far;
    };
    Reach reach(int32_t position) const {
        const uint32_t packed = packed_[static_cast<size_t>(position)];
        return {packed & kNearBits, static_cast<int32_t>(packed >> kMidShift & kLengthBits),
                static_cast<int32_t>(packed >> kFarShift & kLengthBits)};
    }

    // Nibbles of the cheapest copy of `length` bytes from `position`; 0 when there is none.
    int32_t copyCost(int32_t position, int32_t length) const;

    // The distance of such a copy: the nearest one for CopyWord and CopyNear. Call only
    // when copyCost() is not 0.
    int32_t distance(int32_t position, int32_t length) const;

  private:
    static constexpr uint32_t kNearBits = (uint32_t{1} << (kMaxMatchLength + 1)) - 4;
    static constexpr uint32_t kLengthBits = 0x1F;
    static constexpr uint32_t kMidShift = kMaxMatchLength + 1;
    static constexpr uint32_t kFarShift = kMidShift + 5;
    static constexpr int32_t kLag = kMaxMatchLength;  // the tree holds no nearer position

    // Positions at least kLag back, in binary search trees of their next 18 bytes (fewer
    // near the end), one tree per hash of the first three, newest at the root. Links are
    // distances back from the node; 0 for none.
    void insert(int32_t position);
    void search(int32_t position);
    void addNearOnes();
    // Eight bytes at a time where the input goes on far enough; `b` is the later start.
    int32_t commonLength(int32_t a, int32_t b, int32_t from, int32_t limit) const {
        if (b + kMaxMatchLength + 8 <= count_) {
            for (; from < limit; from += 8) {
                uint64_t x;
                uint64_t y;
                std::memcpy(&x, input_ + a + from, 8);
                std::memcpy(&y, input_ + b + from, 8);
                if (x != y) {
                    return std::min(limit, from + (__builtin_ctzll(x ^ y) >> 3));
                }
            }
            return limit;
        }
        while (from < limit && input_[a + from] == input_[b + from]) {
            ++from;
        }
        return from;
    }
    uint32_t hashAt(int32_t position) const {
        const uint32_t key = static_cast<uint32_t>(input_[position] | input_[position + 1] << 8 |
                                                   input_[position + 2] << 16);
        return (key * 0x9E3779B1u) >> (32 - hashBits_);
    }
    // Older positions than 65,535 bytes back from `position` count as none.
    int32_t link(int32_t node, int32_t side, int32_t position) const {
        const int32_t back = links_[2 * static_cast<size_t>(node) + static_cast<size_t>(side)];
        return back != 0 && position - (node - back) <= kMaxDistance ? node - back : -1;
    }
    void setLink(int32_t node, int32_t side, int32_t child) {
        links_[2 * static_cast<size_t>(node) + static_cast<size_t>(side)] =
            static_cast<uint16_t>(child < 0 ? 0 : node - child);
    }

    const uint8_t* input_;
    int32_t count_;
    uint32_t hashBits_ = 0;
    std::vector<int32_t> roots_;
    std::vector<uint16_t> links_;      // per position: smaller, then larger
    std::vector<uint32_t> packed_;     // per position: near bits, mid and far lengths
    std::vector<uint16_t> distances_;  // per position: to the mid and to the far copy
};
