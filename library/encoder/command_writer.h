#pragma once
// Writes whole commands of the packed stream, each in its one form: the only code that
// knows how a command's arguments become nibbles. Which command to write is the caller's
// choice.

#include <cstdint>
#include <vector>

#include "encoder/nibble_writer.h"
#include "format/stream_format.h"

namespace tessary {

class CommandWriter {
  public:
    explicit CommandWriter(std::vector<uint8_t>& out) : nibbles_(out) {}

    // Literal1, Literal2 or Literals for 1..15 bytes.
    void literals(const uint8_t* bytes, int32_t count);
    // RunOfByte of `value`, or RunOfFillA or RunOfFillB, for 3..18 bytes.
    void run(Opcode opcode, int32_t count, uint8_t value = 0);
    // A copy of `length` bytes from `distance` back, by the command CopyOpcode() names; the
    // caller has checked that there is one.
    void copy(int32_t length, int32_t distance);
    // A command without arguments: PutWordW, PutByteC, PutByteD, RepeatByte or RepeatWord.
    void single(Opcode opcode) { nibbles_.put(Nibble(opcode)); }
    void dictionaryWord(int32_t index);
    // The end marker, and the last partial byte.
    void end();

  private:
    void putByte(uint32_t byte);
    void putValue(uint32_t value, int nibbles);

    NibbleWriter nibbles_;
};

}  // namespace tessary
