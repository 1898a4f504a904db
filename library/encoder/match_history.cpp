#include "encoder/match_history.h"

#include <algorithm>
#include <cstring>

namespace tessary {

RingMatch HistoryRing::find(const uint8_t* key, int32_t keyLength) const {
    RingMatch match;
    if (fill_ == 0) {
        return match;
    }
    const int32_t limit = std::min(keyLength, kFollowingBytes);
    match.count = 0;
    uint32_t i = head_ == 0 ? kRingSize - 1 : head_ - 1;
    while (i != head_) {
        const uint8_t* following = entries_[i].following;
        int32_t k = 0;
        while (k < limit && following[k] == key[k]) {
            ++k;
        }
        if (k > match.count) {
            match.count = k;
            match.source = entries_[i].source;
        }
        if (i == 0) {
            if (fill_ < kRingSize) {
                break;
            }
            i = kRingSize - 1;
        } else {
            --i;
        }
    }
    return match;
}

void HistoryRing::add(int32_t source, const uint8_t* following, int32_t followingLength) {
    HistoryEntry& entry = entries_[head_];
    const int32_t length = std::max(0, std::min(followingLength, kFollowingBytes));
    std::memcpy(entry.following, following, static_cast<size_t>(length));
    std::memset(entry.following + length, 0, static_cast<size_t>(kFollowingBytes - length));
    entry.source = source;
    head_ = (head_ + 1) % kRingSize;
    if (fill_ < kRingSize) {
        ++fill_;
    }
}

MatchHistory::MatchHistory(const uint8_t* input) : input_(input), rings_(kRingCount) {}

HistoryMatch MatchHistory::find(int32_t position, int32_t available) const {
    HistoryMatch match;
    const RingMatch ring = rings_[input_[position]].find(input_ + position + 1, available - 1);
    if (ring.count == kEmptyRing) {
        return match;
    }
    match.length = 1 + ring.count;
    if (ring.count >= 1) {
        match.source = ring.source;
    }
    return match;
}

void MatchHistory::add(int32_t position, int32_t available) {
    rings_[input_[position]].add(position, input_ + position + 1, available - 1);
}

}  // namespace tessary
