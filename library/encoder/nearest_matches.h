#pragma once
// For every input position and every copy length 2..18, which copy command can reach an
// earlier occurrence of the bytes there, and the distance to one: an occurrence that ends at
// or before the position (copies never overlap) and lies at most 65,535 bytes back. Since a
// copy's cost depends only on the command, the cheapest one found stands for all.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "format/stream_format.h"

namespace tessary {

constexpr int32_t kMinMatchLength = kCopyWordLength;
constexpr int32_t kMaxMatchLength = kMaxCount;

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

    // A class of equal strings of one length; its id is its index in the level.
    struct Group {
        int32_t newest = -1;       // latest start seen so far
        int32_t firstChild = -1;   // classes one byte longer, in the next level
        int32_t nextSibling = -1;  // within the parent's children
        uint8_t lastByte = 0;
        uint16_t children = 0;
    };

    // A position's state for the current length, updated in place from the one before.
    struct Place {
        int32_t id = -1;          // class, or -1 for a string that occurs only once
        int32_t previous = -1;    // previous start of the same string
        uint16_t sourceBack = 0;  // how far back the nearest start a copy may use is, or 0
        bool later = false;       // whether the same string starts again later
        uint8_t since = 0;        // the shortest length with that nearest start
    };

    void findPairs(const uint8_t* input, int32_t count);
    // Returns how many positions' strings are not yet unique.
    int32_t extend(int32_t count, int32_t length);
    // Inline: each runs once per position and length.
    inline bool advance(Place* places, int32_t position, int32_t length);
    inline void join(int32_t id, int32_t previous, int32_t position);
    inline int32_t childOf(int32_t parent, uint8_t byte);
    uint32_t childSlot(int32_t parent, uint8_t byte) const;
    // Enters class `id` of the level, a child of `parent`, in the table.
    void listChild(int32_t parent, int32_t id);
    inline void findSource(int32_t position, int32_t length);
    // Enters the lengths up to `longest` that share the position's last nearest start, if any.
    inline void recordPending(int32_t position, int32_t longest);
    // Enters lengths `from` to `to`, whose nearest start is `distance` back, in the summary.
    void record(int32_t position, int32_t from, int32_t to, int32_t distance);

    const uint8_t* input_;
    std::vector<uint32_t> packed_;     // per position: near bits, mid and far lengths
    std::vector<uint16_t> distances_;  // per position: to the mid and to the far copy
    std::vector<Group> parents_;
    std::vector<Group> groups_;
    std::vector<Place> places_;
    // Once few are left, in order, the positions whose string was not yet unique.
    std::vector<int32_t> live_;
    // The children of a parent with more than a couple, by parent and last byte,
    // open-addressed: a parent may have up to 256, too many to search one by one.
    struct ChildSlot {
        int32_t parent = -1;  // -1: free
        int32_t id = 0;       // its last byte is the class's own
    };
    std::vector<ChildSlot> children_;
    std::vector<uint32_t> childSlots_;  // the slots taken in this level, to free them again
    uint32_t childBits_ = 0;
};

}  // namespace tessary
