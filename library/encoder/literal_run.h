#pragma once
// Collects input bytes that no other command covers and writes them as one literal command.

#include <cstdint>

#include "encoder/command_writer.h"
#include "format/stream_format.h"

namespace tessary {

class LiteralRun {
  public:
    explicit LiteralRun(CommandWriter& writer) : writer_(writer) {}
    LiteralRun(const LiteralRun&) = delete;
    LiteralRun& operator=(const LiteralRun&) = delete;

    void add(uint8_t byte);
    // Writes the pending bytes as Literal1, Literal2 or Literals; nothing when none are
    // pending.
    void flush();

  private:
    uint8_t bytes_[kMaxLiterals] = {};
    int32_t count_ = 0;
    CommandWriter& writer_;
};

}  // namespace tessary
