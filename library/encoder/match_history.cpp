#include "encoder/match_history.h"

#include <algorithm>
#include <iterator>

#include "encoder/bits.h"

namespace tessary {

namespace {

// Bit i set where column[i] equals `byte`, for 16 slots.
inline uint32_t EqualMask16(const uint8_t* column, uint8_t byte) {
#if defined(TESSARY_SSE2) && !defined(TESSARY_PLAIN_HISTORY)
    const __m128i bytes = _mm_load_si128(reinterpret_cast<const __m128i*>(column));
    const __m128i key = _mm_set1_epi8(static_cast<char>(byte));
    return static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, key)));
#else
    uint32_t mask = 0;
    for (int i = 0; i < 16; ++i) {
        mask |= static_cast<uint32_t>(column[i] == byte) << i;
    }
    return mask;
#endif
}

// The low `count` bits, for any count.
constexpr uint64_t LowBits(int32_t count) {
    return count <= 0 ? 0 : count >= 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
}

}  // namespace

inline uint64_t HistoryRing::equalMask(int32_t k, int32_t w, uint8_t byte) const {
    uint64_t mask = 0;
    for (int32_t i = 0; i < 64 / kBlockSlots; ++i) {
        const int32_t b = (64 / kBlockSlots) * w + i;
        mask |= static_cast<uint64_t>(EqualMask16(column(k, b), byte)) << (kBlockSlots * i);
    }
    return mask;
}

// Byte k of every compared entry at once, keeping the entries that agreed on bytes 0..k-1,
// until none is left or the key ends. The agreement is the number of bytes so gone through,
// and the newest of the last entries left is the newest that agrees that far.
RingMatch HistoryRing::find(const uint8_t* key, int32_t keyLength) const {
    RingMatch match;
    if (fill_ == 0) {
        return match;
    }
    const int32_t limit = std::max(0, std::min(keyLength, kFollowingBytes));
    // Repeated bytes and words make the newest entry agree all the way; no other can then
    // agree longer.
    if (newestAgreement(key, limit) == limit) {
        match.count = limit;
        match.source = sources_[(head_ + kRingSize - 1) % kRingSize];
        return match;
    }
    uint64_t agreeing[kMaskWords];
    comparedSlots(agreeing);
    int32_t count = 0;
    while (count < limit) {
        uint64_t next[kMaskWords];
        for (int32_t w = 0; w < kMaskWords; ++w) {
            next[w] = agreeing[w] == 0 ? 0 : agreeing[w] & equalMask(count, w, key[count]);
        }
        if ((next[0] | next[1] | next[2] | next[3]) == 0) {
            break;
        }
        for (int32_t w = 0; w < kMaskWords; ++w) {
            agreeing[w] = next[w];
        }
        ++count;
    }
    match.count = count;
    if (count >= 1) {
        match.source = sources_[newestOf(agreeing)];
    }
    return match;
}

void HistoryRing::comparedSlots(uint64_t (&slots)[kMaskWords]) const {
    for (int32_t w = 0; w < kMaskWords; ++w) {
        slots[w] = LowBits(static_cast<int32_t>(fill_) - 64 * w);
    }
    if (fill_ == kRingSize) {
        slots[head_ / 64] &= ~(uint64_t{1} << (head_ % 64));
    }
}

int32_t HistoryRing::newestAgreement(const uint8_t* key, int32_t limit) const {
    const uint32_t newest = (head_ + kRingSize - 1) % kRingSize;
    int32_t k = 0;
    while (k < limit && column(k, newest / kBlockSlots)[newest % kBlockSlots] == key[k]) {
        ++k;
    }
    return k;
}

// Newest first means the highest slot below head, or failing one, the highest above it.
uint32_t HistoryRing::newestOf(const uint64_t (&slots)[kMaskWords]) const {
    uint64_t below[kMaskWords];
    uint64_t any = 0;
    for (int32_t w = 0; w < kMaskWords; ++w) {
        below[w] = slots[w] & LowBits(static_cast<int32_t>(head_) - 64 * w);
        any |= below[w];
    }
    const uint64_t* pick = any != 0 ? below : slots;
    int32_t w = kMaskWords - 1;
    while (pick[w] == 0) {
        --w;
    }
    return static_cast<uint32_t>(64 * w + HighestBit(pick[w]));
}

void HistoryRing::storeShort(const uint8_t* following, int32_t length) {
    for (int32_t k = 0; k < kFollowingBytes; ++k) {
        at(k, head_) = k < length ? following[k] : 0;
    }
}

MatchHistory::MatchHistory(const uint8_t* input) : input_(input) {
    std::fill(std::begin(rings_), std::end(rings_), &none_);
    made_.reserve(kRingCount);
}

HistoryMatch MatchHistory::find(int32_t position, int32_t available) const {
    HistoryMatch match;
    const RingMatch ring = rings_[input_[position]]->find(input_ + position + 1, available - 1);
    if (ring.count == kEmptyRing) {
        return match;
    }
    match.length = 1 + ring.count;
    if (ring.count >= 1) {
        match.source = ring.source;
    }
    return match;
}

}  // namespace tessary
