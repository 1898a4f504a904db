#pragma once
// Earlier input positions grouped by their first byte, for finding back-references.

#include <cstdint>
#include <cstring>
#include <vector>

#include "format/stream_format.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define TESSARY_SSE2 1
#include <emmintrin.h>
#endif

namespace tessary {

constexpr int32_t kRingCount = 256;
constexpr int32_t kRingSize = 256;
// Compared after the first byte, which picks the ring: a copy is at most 18 bytes long.
constexpr int32_t kFollowingBytes = kMaxCount - 1;

constexpr int32_t kEmptyRing = -1;

// A hint only: asks for the cache line at `address` to be loaded.
inline void Prefetch(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address);
#elif defined(TESSARY_SSE2)
    _mm_prefetch(static_cast<const char*>(address), _MM_HINT_T0);
#else
    (void)address;
#endif
}

struct RingMatch {
    int32_t count = kEmptyRing;  // kEmptyRing, or 0..17 agreeing following bytes
    int32_t source = 0;          // meaningful only when count >= 1
};

// The entries' following bytes are kept by column, byte k of 16 slots side by side, so that
// one vector compare tests byte k of 16 entries at once and a lookup goes byte by byte over
// the entries still agreeing rather than entry by entry. The first byte, which settles most
// lookups, has a column of its own; the other 16 of a block of 16 slots share 256 bytes, so
// that adding an entry writes to few cache lines.
class HistoryRing {
  public:
    // Left uninitialised, user-provided so that value-initialisation does not zero it: a
    // ring reads only the slots it has written, and the encoder is built for every level, so
    // clearing 1.4 MB each time would be wasted work.
    HistoryRing() {}
    // Newest first; only a strictly longer agreement replaces the best, so ties go to the
    // nearest position. A full ring never compares its oldest entry (at head).
    RingMatch find(const uint8_t* key, int32_t keyLength) const;
    // `followingLength` is how many of the bytes after `source` exist; at most 17 are kept,
    // and bytes past the input's end hold 0 and are never compared.
    void add(int32_t source, const uint8_t* following, int32_t followingLength) {
        if (followingLength >= kFollowingBytes) {
            store(following);
        } else {
            storeShort(following, followingLength);
        }
        sources_[head_] = source;
        head_ = (head_ + 1) % kRingSize;
        if (fill_ < kRingSize) {
            ++fill_;
        }
    }

    void prefetch() const {
        Prefetch(&head_);
        for (int32_t i = 0; i < kRingSize; i += 64) {
            Prefetch(&first_[i]);
        }
    }

  private:
    static constexpr int32_t kMaskWords = kRingSize / 64;
    static constexpr int32_t kBlockSlots = 16;
    static constexpr int32_t kBlocks = kRingSize / kBlockSlots;

    // Byte k after the entries of block b, slot by slot.
    const uint8_t* column(int32_t k, int32_t b) const {
        return k == 0 ? &first_[kBlockSlots * b] : rest_[b][k - 1];
    }
    uint8_t& at(int32_t k, uint32_t slot) {
        return k == 0 ? first_[slot] : rest_[slot / kBlockSlots][k - 1][slot % kBlockSlots];
    }
    // Read before any write: byte stores may alias every member, head_ included.
    // The 16 bytes after the first are read as two words, which the compiler does in two
    // loads, and stored byte by byte from them.
    void store(const uint8_t* following) {
        const uint8_t first = following[0];
        const uint64_t low = LittleEndian64(following + 1);
        const uint64_t high = LittleEndian64(following + 9);
        const uint32_t slot = head_;
        first_[slot] = first;
        uint8_t(*const block)[kBlockSlots] = rest_[slot / kBlockSlots];
        for (int32_t k = 0; k < 8; ++k) {
            block[k][slot % kBlockSlots] = static_cast<uint8_t>(low >> (8 * k));
            block[k + 8][slot % kBlockSlots] = static_cast<uint8_t>(high >> (8 * k));
        }
    }
    static uint64_t LittleEndian64(const uint8_t* bytes) {
        uint64_t value = 0;
        for (int32_t k = 7; k >= 0; --k) {
            value = value << 8 | bytes[k];
        }
        return value;
    }
    void storeShort(const uint8_t* following, int32_t length);
    // Bit s % 64 of mask word w set where slots 64w.. of column k hold `byte`.
    uint64_t equalMask(int32_t k, int32_t w, uint8_t byte) const;

    // Bit s of word s / 64 for every slot s that a lookup compares.
    void comparedSlots(uint64_t (&slots)[kMaskWords]) const;
    // Agreement of the newest entry, up to `limit` bytes.
    int32_t newestAgreement(const uint8_t* key, int32_t limit) const;
    // The slot of the newest entry among `slots`, which must not be empty.
    uint32_t newestOf(const uint64_t (&slots)[kMaskWords]) const;

    uint32_t head_ = 0;
    uint32_t fill_ = 0;
    alignas(64) uint8_t first_[kRingSize];
    uint8_t rest_[kBlocks][kFollowingBytes - 1][kBlockSlots];
    int32_t sources_[kRingSize];
};

struct HistoryMatch {
    int32_t length = 0;  // 0..18, not clipped to the distance
    int32_t source = 0;  // meaningful only when length >= 2
};

class MatchHistory {
  public:
    // Reserves room for every ring at once, so nothing moves later; a ring is made when its
    // byte first enters, and maps use few of the 256 bytes, so most of the room is never
    // touched.
    explicit MatchHistory(const uint8_t* input);
    MatchHistory(const MatchHistory&) = delete;
    MatchHistory& operator=(const MatchHistory&) = delete;

    // `available` is the number of input bytes from `position` to the end, at least 1.
    HistoryMatch find(int32_t position, int32_t available) const;
    // Asks for the ring that a lookup at `position` reads to be brought into the cache, so
    // that its fetch overlaps the work done before the lookup.
    void prefetch(int32_t position) const { rings_[input_[position]]->prefetch(); }
    void add(int32_t position, int32_t available) {
        HistoryRing*& ring = rings_[input_[position]];
        if (ring == &none_) {
            made_.emplace_back();
            ring = &made_.back();
        }
        ring->add(position, input_ + position + 1, available - 1);
    }

  private:
    const uint8_t* input_;
    // Bytes not seen yet share `none_`, which stays empty.
    HistoryRing none_;
    HistoryRing* rings_[kRingCount];
    std::vector<HistoryRing> made_;
};

}  // namespace tessary
