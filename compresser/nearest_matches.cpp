#include "nearest_matches.h"

#include <algorithm>

// Occurrences at least 18 bytes back cannot overlap any copy, so they go into binary search
// trees ordered by their next 18 bytes, newest at each root: the search path of the bytes at
// a position then passes, for every length, the nearest occurrence that long. A position
// joins its tree 18 positions late, so no nearer one stands in the way. The 16 distances
// below that are checked directly, where overlap matters.

namespace {

constexpr int32_t kMinCopyLength = kCountBias;

// Bits `lowest` to `highest`.
uint32_t Lengths(int32_t lowest, int32_t highest) {
    return ((uint32_t{2} << highest) - 1) & ~((uint32_t{1} << lowest) - 1);
}

}  // namespace

NearestMatches::NearestMatches(const uint8_t* input, int32_t count)
    : input_(input),
      count_(std::max(count, 0)),
      packed_(static_cast<size_t>(count_), 0),
      distances_(2 * static_cast<size_t>(count_), 0) {
    if (count_ >= kMinCopyLength) {
        hashBits_ = 4;
        while (hashBits_ < 15 && (int32_t{1} << hashBits_) < count_) {
            ++hashBits_;
        }
        roots_.assign(size_t{1} << hashBits_, -1);
        links_.resize(2 * static_cast<size_t>(count_));
        for (int32_t p = 0; p + kMinCopyLength <= count_; ++p) {
            if (p >= kLag) {
                insert(p - kLag);
            }
            search(p);
        }
        // The trees go back before the caller needs more memory.
        roots_ = std::vector<int32_t>();
        links_ = std::vector<uint16_t>();
    }
    addNearOnes();
}

// Makes `position` the root of its tree, splitting the old tree along its search path into
// the new root's two sides. An older node with the same bytes, as far as the position has
// them, goes: every later search sees the two alike, and the new one is nearer.
void NearestMatches::insert(int32_t position) {
    const int32_t limit = std::min(kMaxMatchLength, count_ - position);
    int32_t& root = roots_[hashAt(position)];
    int32_t node = root >= 0 && position - root <= kMaxDistance ? root : -1;
    root = position;
    int32_t smallerOwner = position;
    int32_t smallerSide = 0;
    int32_t smallerLength = 0;
    int32_t largerOwner = position;
    int32_t largerSide = 1;
    int32_t largerLength = 0;
    while (node >= 0) {
        const int32_t length =
            commonLength(node, position, std::min(smallerLength, largerLength), limit);
        if (length == limit) {
            setLink(smallerOwner, smallerSide, link(node, 0, position));
            setLink(largerOwner, largerSide, link(node, 1, position));
            return;
        }
        if (input_[node + length] < input_[position + length]) {
            setLink(smallerOwner, smallerSide, node);
            smallerOwner = node;
            smallerSide = 1;
            smallerLength = length;
            node = link(node, 1, position);
        } else {
            setLink(largerOwner, largerSide, node);
            largerOwner = node;
            largerSide = 0;
            largerLength = length;
            node = link(node, 0, position);
        }
    }
    setLink(smallerOwner, smallerSide, -1);
    setLink(largerOwner, largerSide, -1);
}

// Walks the search path of the bytes at `position`; the nearest node of each length comes
// before any farther one as long.
void NearestMatches::search(int32_t position) {
    const int32_t limit = std::min(kMaxMatchLength, count_ - position);
    const int32_t root = roots_[hashAt(position)];
    int32_t node = root >= 0 && position - root <= kMaxDistance ? root : -1;
    int32_t smallerLength = 0;
    int32_t largerLength = 0;
    uint32_t near = 0;
    int32_t mid = 0;
    int32_t far = kMinCopyLength - 1;
    uint16_t* const distances = &distances_[2 * static_cast<size_t>(position)];
    while (node >= 0) {
        const int32_t length =
            commonLength(node, position, std::min(smallerLength, largerLength), limit);
        // The path goes ever farther back, so a node that is no longer than one before it
        // can add nothing.
        if (length > far) {
            const int32_t distance = position - node;
            far = length;
            distances[1] = static_cast<uint16_t>(distance);
            if (distance <= kMaxCopyMidDistance) {
                mid = length;
                distances[0] = static_cast<uint16_t>(distance);
                const int32_t lowest = std::max(kMinCopyLength, distance - kCopyNearReach);
                if (length >= lowest) {
                    near |= Lengths(lowest, length);
                }
            }
        }
        if (length == limit) {
            break;
        }
        if (input_[node + length] < input_[position + length]) {
            smallerLength = length;
            node = link(node, 1, position);
        } else {
            largerLength = length;
            node = link(node, 0, position);
        }
    }
    packed_[static_cast<size_t>(position)] =
        near | static_cast<uint32_t>(mid) << kMidShift |
        static_cast<uint32_t>(mid > 0 || far >= kMinCopyLength ? far : 0) << kFarShift;
}

// Distances 2..17, backwards: how many bytes from each position on agree with those that
// far back, capped at 18 and at the distance, so that no copy overlaps.
void NearestMatches::addNearOnes() {
    constexpr int32_t kNear = kLag - 2;  // distances kLag - 1 down to 2
    uint8_t agree[kNear] = {};
    uint8_t cap[kNear];
    for (int32_t i = 0; i < kNear; ++i) {
        cap[i] = static_cast<uint8_t>(kLag - 1 - i);
    }
    for (int32_t p = count_ - 1; p >= 0; --p) {
        const uint8_t byte = input_[p];
        uint8_t longest = 0;
        if (p >= kLag - 1) {
            // Plain byte arithmetic, so that the compiler can do all 16 at once.
            const uint8_t* const back = input_ + (p - (kLag - 1));
            for (int32_t i = 0; i < kNear; ++i) {
                const uint8_t more = static_cast<uint8_t>(agree[i] + (agree[i] < kMaxMatchLength));
                agree[i] = back[i] == byte ? more : 0;
                const uint8_t usable = agree[i] < cap[i] ? agree[i] : cap[i];
                longest = usable > longest ? usable : longest;
            }
        } else {
            for (int32_t i = 0; i < kNear; ++i) {
                const bool same = cap[i] <= p && input_[p - cap[i]] == byte;
                agree[i] = same ? static_cast<uint8_t>(agree[i] + (agree[i] < kMaxMatchLength)) : 0;
                longest = std::max(longest, std::min(agree[i], cap[i]));
            }
        }
        if (longest >= kMinMatchLength) {
            packed_[static_cast<size_t>(p)] |= Lengths(kMinMatchLength, longest);
        }
    }
}

int32_t NearestMatches::copyCost(int32_t position, int32_t length) const {
    const Reach found = reach(position);
    if (found.near >> length & 1) {
        return length == kMinMatchLength ? 2 : 4;
    }
    if (length < kMinCopyLength) {
        return 0;
    }
    return length <= found.mid ? 5 : length <= found.far ? 6 : 0;
}

int32_t NearestMatches::distance(int32_t position, int32_t length) const {
    const int32_t cost = copyCost(position, length);
    if (cost == 5 || cost == 6) {
        return distances_[2 * static_cast<size_t>(position) + (cost == 6 ? 1 : 0)];
    }
    const int32_t farthest = std::min(
        position, length == kMinMatchLength ? kMaxCopyWordDistance : length + kCopyNearReach);
    for (int32_t distance = length; distance <= farthest; ++distance) {
        if (commonLength(position - distance, position, 0, length) == length) {
            return distance;
        }
    }
    return 0;
}
