#pragma once
// For every input position and every copy length 2..18, the nearest earlier occurrence of
// the bytes there that a copy may use: one that ends at or before the position (copies never
// overlap) and lies at most 65,535 bytes back.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stream_format.h"

constexpr int32_t kMinMatchLength = 2;
constexpr int32_t kMaxMatchLength = 18;
constexpr int32_t kMatchLengths = kMaxMatchLength - kMinMatchLength + 1;
constexpr int32_t kCopyNearReach = 0xFF;  // CopyNear: from the count to this much beyond it

class NearestMatches {
  public:
    // Does the whole search at once; `input` need not outlive the object.
    NearestMatches(const uint8_t* input, int32_t count);
    NearestMatches(const NearestMatches&) = delete;
    NearestMatches& operator=(const NearestMatches&) = delete;

    // 0 when there is none. Never decreases as `length` grows, and once it is 0 it stays 0.
    int32_t distance(int32_t position, int32_t length) const;

    // Equal to distance() wherever the copy commands' costs could tell them apart (both 0,
    // or both in the reach of the same command), and much faster: it never searches.
    int32_t distanceClass(int32_t position, int32_t length) const {
        const uint32_t code = codes_[slot(position, length)];
        if (code <= kExact) {
            return code == 0 ? 0 : length + static_cast<int32_t>(code) - 1;
        }
        switch ((code - kSameNear) % 3) {
            case 0:
                return length + kCopyNearReach;
            case 1:
                return length + kCopyNearReach + 1;
            default:
                return kMaxCopyMidDistance + 1;
        }
    }

  private:
    // One byte per position and length: 0 for none; 1 + distance - length up to kExact;
    // beyond that, which copy command reaches the distance, and where to find it: at the
    // length one shorter, or in a list per length kept in position order.
    static constexpr uint32_t kExact = 0xF9;
    static constexpr uint32_t kSameNear = 0xFA;    // then Mid, Far
    static constexpr uint32_t kListedNear = 0xFD;  // then Mid, Far
    struct Listed {
        int32_t position;
        int32_t distance;
    };

    // A class of equal strings of one length; its id is its index in the level.
    struct Group {
        int32_t newest = -1;       // latest start seen so far
        int32_t firstChild = -1;   // classes one byte longer, in the next level
        int32_t nextSibling = -1;  // within the parent's children
        uint8_t lastByte = 0;
    };

    // A position's state for the current length, updated in place from the one before.
    struct Place {
        int32_t id = -1;        // class, or -1 for a string that occurs only once
        int32_t previous = -1;  // previous start of the same string
        int32_t next = -1;      // next start of the same string, once there is one
        int32_t source = -1;    // nearest start a copy may use, or -1
    };

    // In blocks of 64 positions, length-major within a block: a sweep over one length writes
    // whole cache lines, and all lengths of a position lie close together.
    static size_t slot(int32_t position, int32_t length) {
        const size_t at = static_cast<size_t>(position);
        return (at / kBlock * kMatchLengths + static_cast<size_t>(length - kMinMatchLength)) *
                   kBlock +
               at % kBlock;
    }
    static constexpr size_t kBlock = 64;

    void setFar(int32_t position, int32_t length, int32_t source, int32_t shorterSource);

    void findPairs(const uint8_t* input, int32_t count);
    void extend(const uint8_t* input, int32_t count, int32_t length);
    // Inline: each runs once per position and length.
    inline void join(int32_t id, int32_t previous, int32_t position);
    inline int32_t childOf(Group& parent, uint8_t byte);
    inline void findSource(int32_t position, int32_t length);

    std::vector<uint8_t> codes_;
    std::vector<Listed> listed_[kMatchLengths];
    std::vector<Group> parents_;
    std::vector<Group> groups_;
    std::vector<Place> places_;
};
