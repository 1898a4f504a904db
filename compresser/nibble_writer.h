#pragma once
// Packs command nibbles two to a byte, high half first, onto the output stream.

#include <cstdint>
#include <ostream>

constexpr int32_t kPendingNibbles = 64;

class NibbleWriter {
  public:
    explicit NibbleWriter(std::ostream& stream) : stream_(stream) {}
    NibbleWriter(const NibbleWriter&) = delete;
    NibbleWriter& operator=(const NibbleWriter&) = delete;

    // Only the low 4 bits of `value` reach the stream. Holding a full buffer until the
    // next put lets the stream see one write per 32 bytes.
    void put(uint32_t value);
    // Writes what is pending; an odd last nibble gets a 0 low half. Destruction does not
    // flush, so the owner must.
    void flush();

  private:
    uint32_t nibbles_[kPendingNibbles] = {};
    int32_t count_ = 0;
    std::ostream& stream_;
};
