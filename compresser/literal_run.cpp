#include "literal_run.h"

void LiteralRun::add(uint8_t byte) {
    if (count_ == kMaxLiterals) {
        flush();
    }
    bytes_[count_] = byte;
    ++count_;
}

void LiteralRun::flush() {
    if (count_ == 0) {
        return;
    }
    if (count_ == 1) {
        writer_.put(Literal1);
    } else if (count_ == 2) {
        writer_.put(Literal2);
    } else {
        // Never a count below 3 here: Literals with count 0 would read as the end marker.
        writer_.put(Literals);
        writer_.put(static_cast<uint32_t>(count_));
    }
    for (int32_t i = 0; i < count_; ++i) {
        writer_.put(bytes_[i] >> 4);
        writer_.put(bytes_[i] & 0xF);
    }
    count_ = 0;
}
