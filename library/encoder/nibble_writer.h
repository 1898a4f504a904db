#pragma once
// Packs command nibbles two to a byte, high half first, onto the end of a byte vector.

#include <cstdint>
#include <vector>

namespace tessary {

constexpr int32_t kPendingNibbles = 64;

class NibbleWriter {
  public:
    explicit NibbleWriter(std::vector<uint8_t>& out) : out_(out) {}
    NibbleWriter(const NibbleWriter&) = delete;
    NibbleWriter& operator=(const NibbleWriter&) = delete;

    // Only the low 4 bits of `value` are written. A full buffer is held until the next put,
    // so the output grows 32 bytes at a time.
    void put(uint32_t value) {
        if (count_ == kPendingNibbles) {
            flush();
        }
        nibbles_[count_] = value;
        ++count_;
    }
    // Writes what is pending; an odd last nibble gets a 0 low half. Destruction does not
    // flush, so the owner must.
    void flush();

  private:
    uint32_t nibbles_[kPendingNibbles] = {};
    int32_t count_ = 0;
    std::vector<uint8_t>& out_;
};

}  // namespace tessary
