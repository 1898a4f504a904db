#pragma once
// Earlier input positions grouped by their first byte, for finding back-references.

#include <cstdint>
#include <vector>

#include "format/stream_format.h"

namespace tessary {

constexpr int32_t kRingCount = 256;
constexpr int32_t kRingSize = 256;
// Compared after the first byte, which picks the ring: a copy is at most 18 bytes long.
constexpr int32_t kFollowingBytes = kMaxCount - 1;

// Left uninitialised: a ring reads only the slots it has written, and the encoder is
// built for every level, so clearing 1.4 MB each time would be wasted work.
struct HistoryEntry {
    int32_t source;  // input index
    // Copy of the bytes after source, so a lookup never goes back to the input. Bytes past
    // the input's end hold 0 and are never compared.
    uint8_t following[kFollowingBytes];
};

constexpr int32_t kEmptyRing = -1;

struct RingMatch {
    int32_t count = kEmptyRing;  // kEmptyRing, or 0..17 agreeing following bytes
    int32_t source = 0;          // meaningful only when count >= 1
};

class HistoryRing {
  public:
    HistoryRing() {}  // user-provided, so value-initialisation does not zero the entries
    // Newest first; only a strictly longer agreement replaces the best, so ties go to the
    // nearest position. A full ring never compares its oldest entry (at head).
    RingMatch find(const uint8_t* key, int32_t keyLength) const;
    // `followingLength` is how many of the bytes after `source` exist, at most 17.
    void add(int32_t source, const uint8_t* following, int32_t followingLength);

  private:
    HistoryEntry entries_[kRingSize];
    uint32_t head_ = 0;
    uint32_t fill_ = 0;
};

struct HistoryMatch {
    int32_t length = 0;  // 0..18, not clipped to the distance
    int32_t source = 0;  // meaningful only when length >= 2
};

class MatchHistory {
  public:
    // Allocates all rings at once; nothing grows later.
    explicit MatchHistory(const uint8_t* input);
    MatchHistory(const MatchHistory&) = delete;
    MatchHistory& operator=(const MatchHistory&) = delete;

    // `available` is the number of input bytes from `position` to the end, at least 1.
    HistoryMatch find(int32_t position, int32_t available) const;
    void add(int32_t position, int32_t available);

  private:
    const uint8_t* input_;
    std::vector<HistoryRing> rings_;
};

}  // namespace tessary
