#include "nibble_writer.h"

void NibbleWriter::put(uint32_t value) {
    if (count_ == kPendingNibbles) {
        flush();
    }
    nibbles_[count_] = value;
    ++count_;
}

void NibbleWriter::flush() {
    char bytes[kPendingNibbles / 2];
    const int32_t size = (count_ + 1) / 2;
    for (int32_t j = 0; j < size; ++j) {
        const uint32_t high = nibbles_[2 * j] & 0xF;
        const uint32_t low = 2 * j + 1 < count_ ? nibbles_[2 * j + 1] & 0xF : 0;
        bytes[j] = static_cast<char>((high << 4) | low);
    }
    if (size > 0) {
        stream_.write(bytes, size);
    }
    count_ = 0;
}
