#include "encoder/command_writer.h"

namespace tessary {

void CommandWriter::putValue(uint32_t value, int nibbles) {
    for (int shift = 4 * (nibbles - 1); shift >= 0; shift -= 4) {
        nibbles_.put(value >> shift);
    }
}

void CommandWriter::putByte(uint32_t byte) {
    putValue(byte, 2);
}

void CommandWriter::literals(const uint8_t* bytes, int32_t count) {
    const Opcode opcode = LiteralOpcode(count);
    nibbles_.put(Nibble(opcode));
    if (opcode == Opcode::Literals) {
        nibbles_.put(static_cast<uint32_t>(count));
    }
    for (int32_t i = 0; i < count; ++i) {
        putByte(bytes[i]);
    }
}

void CommandWriter::run(Opcode opcode, int32_t count, uint8_t value) {
    nibbles_.put(Nibble(opcode));
    nibbles_.put(static_cast<uint32_t>(count - kCountBias));
    if (opcode == Opcode::RunOfByte) {
        putByte(value);
    }
}

void CommandWriter::copy(int32_t length, int32_t distance) {
    Opcode opcode = Opcode::CopyFar;
    CopyOpcode(length, distance, opcode);
    nibbles_.put(Nibble(opcode));
    if (opcode != Opcode::CopyWord) {
        nibbles_.put(static_cast<uint32_t>(length - kCountBias));
    }
    putValue(static_cast<uint32_t>(distance - DistanceBias(opcode, length)),
             DistanceNibbles(opcode));
}

void CommandWriter::dictionaryWord(int32_t index) {
    nibbles_.put(Nibble(Opcode::PutDictWord));
    nibbles_.put(static_cast<uint32_t>(index));
}

void CommandWriter::end() {
    nibbles_.put(Nibble(Opcode::Literals));
    nibbles_.put(0);
    nibbles_.flush();
}

}  // namespace tessary
