#include "encoder/literal_run.h"

namespace tessary {

void LiteralRun::add(uint8_t byte) {
    if (count_ == kMaxLiterals) {
        flush();
    }
    bytes_[count_] = byte;
    ++count_;
}

void LiteralRun::flush() {
    if (count_ != 0) {
        writer_.literals(bytes_, count_);
        count_ = 0;
    }
}

}  // namespace tessary
