#include "encoder/nibble_writer.h"

namespace tessary {

void NibbleWriter::flush() {
    for (int32_t i = 0; i < count_; i += 2) {
        const uint32_t high = nibbles_[i] & 0xF;
        const uint32_t low = i + 1 < count_ ? nibbles_[i + 1] & 0xF : 0;
        out_.push_back(static_cast<uint8_t>((high << 4) | low));
    }
    count_ = 0;
}

}  // namespace tessary
