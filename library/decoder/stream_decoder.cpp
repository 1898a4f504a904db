#include "decoder/stream_decoder.h"

#include <cstring>
#include <vector>

namespace tessary {

namespace {

// Reads nibbles high half first; fails (rather than inventing nibbles) at the end of input.
struct NibbleReader {
    const uint8_t* input;
    size_t size;
    size_t next = 0;  // index of the next byte to read
    bool midByte = false;
    uint8_t pending = 0;

    bool take(uint32_t& nibble) {
        if (midByte) {
            midByte = false;
            nibble = pending;
            return true;
        }
        if (next == size) {
            return false;
        }
        const uint8_t byte = input[next++];
        pending = static_cast<uint8_t>(byte & 0x0F);
        midByte = true;
        nibble = static_cast<uint32_t>(byte) >> 4;
        return true;
    }

    // `nibbles` nibbles as one number, most significant first.
    bool takeValue(int nibbles, uint32_t& value) {
        value = 0;
        for (int i = 0; i < nibbles; ++i) {
            uint32_t nibble;
            if (!take(nibble)) {
                return false;
            }
            value = (value << 4) | nibble;
        }
        return true;
    }

    bool takeByte(uint32_t& value) { return takeValue(2, value); }
};

// The outcome of one command: Next goes on to the following one.
enum class Step : uint8_t { Next, End, Failed };

struct Decoder {
    uint8_t* output;
    uint32_t capacity;
    const MapHeader& header;
    NibbleReader reader;
    DecodeResult result;
    DecodeFailure command;  // the one being decoded, as a failure would describe it

    Step fail(DecodeStatus status, uint32_t size) {
        result.status = status;
        result.failure = command;
        result.failure.size = size;
        return Step::Failed;
    }

    Step truncated(uint32_t size) { return fail(DecodeStatus::TruncatedInput, size); }

    uint32_t& position() { return result.produced; }

    bool fits(uint32_t size) { return size <= capacity - position(); }

    // Copies never overlap: the source must lie wholly before the destination.
    bool locationValid(uint32_t distance, uint32_t length) {
        return distance <= position() && distance >= length;
    }

    void fill(uint8_t value, uint32_t count) {
        std::memset(output + position(), value, count);
        position() += count;
    }

    void putWord(uint16_t word) {
        output[position()] = static_cast<uint8_t>(word & 0xFF);
        output[position() + 1] = static_cast<uint8_t>(word >> 8);
        position() += 2;
    }

    void copy(uint32_t distance, uint32_t length) {
        std::memcpy(output + position(), output + position() - distance, length);
        position() += length;
    }

    Step literals(uint32_t count) {
        if (!fits(count)) {
            return fail(DecodeStatus::WriteOverflow, count);
        }
        if (!reader.midByte) {
            // Byte-aligned literals are whole stream bytes: take them as one block.
            if (reader.size - reader.next < count) {
                reader.next = reader.size;
                return truncated(count);
            }
            std::memcpy(output + position(), reader.input + reader.next, count);
            reader.next += count;
            position() += count;
            return Step::Next;
        }
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t value;
            if (!reader.takeByte(value)) {
                return truncated(count);
            }
            output[position() + i] = static_cast<uint8_t>(value);
        }
        position() += count;
        return Step::Next;
    }

    bool takeCount(uint32_t& count) {
        uint32_t n;
        if (!reader.take(n)) {
            return false;
        }
        count = n + kCountBias;
        return true;
    }

    Step copyCommand(Opcode opcode) {
        uint32_t count = kCopyWordLength;
        if (opcode != Opcode::CopyWord && !takeCount(count)) {
            return truncated(0);
        }
        if (!fits(count)) {
            return fail(DecodeStatus::WriteOverflow, count);
        }
        uint32_t value;
        if (!reader.takeValue(DistanceNibbles(opcode), value)) {
            return truncated(count);
        }
        const uint32_t distance =
            value + static_cast<uint32_t>(DistanceBias(opcode, static_cast<int>(count)));
        if (!locationValid(distance, count)) {
            return fail(DecodeStatus::BadLocation, distance);
        }
        copy(distance, count);
        return Step::Next;
    }

    Step runOf(bool explicitByte, uint8_t value) {
        uint32_t count;
        if (!takeCount(count)) {
            return truncated(0);
        }
        if (!fits(count)) {
            return fail(DecodeStatus::WriteOverflow, count);
        }
        if (explicitByte) {
            uint32_t v;
            if (!reader.takeByte(v)) {
                return truncated(count);
            }
            value = static_cast<uint8_t>(v);
        }
        fill(value, count);
        return Step::Next;
    }

    // Commands 13 and 14 repeat the last byte or word: a copy from just behind.
    Step repeat(uint32_t length) {
        if (!fits(length)) {
            return fail(DecodeStatus::WriteOverflow, length);
        }
        if (!locationValid(length, length)) {
            return fail(DecodeStatus::BadLocation, length);
        }
        copy(length, length);
        return Step::Next;
    }

    // PutWordW, PutByteC and PutByteD write a header value at once.
    Step putHeaderValue(uint16_t value, uint32_t size) {
        if (!fits(size)) {
            return fail(DecodeStatus::WriteOverflow, size);
        }
        if (size == 2) {
            putWord(value);
        } else {
            fill(static_cast<uint8_t>(value), 1);
        }
        return Step::Next;
    }

    Step step(Opcode opcode) {
        switch (opcode) {
            case Opcode::Literals: {
                uint32_t n;
                if (!reader.take(n)) {
                    return truncated(0);
                }
                return n == 0 ? Step::End : literals(n);
            }
            case Opcode::Literal1:
                return literals(1);
            case Opcode::Literal2:
                return literals(2);
            case Opcode::RunOfByte:
                return runOf(true, 0);
            case Opcode::RunOfFillA:
                return runOf(false, header.fillByteA);
            case Opcode::RunOfFillB:
                return runOf(false, header.fillByteB);
            case Opcode::PutWordW:
                return putHeaderValue(header.wordW, 2);
            case Opcode::PutByteC:
                return putHeaderValue(header.singleByteC, 1);
            case Opcode::PutByteD:
                return putHeaderValue(header.singleByteD, 1);
            case Opcode::CopyWord:
            case Opcode::CopyNear:
            case Opcode::CopyMid:
            case Opcode::CopyFar:
                return copyCommand(opcode);
            case Opcode::RepeatByte:
                return repeat(1);
            case Opcode::RepeatWord:
                return repeat(2);
            case Opcode::PutDictWord: {
                if (!fits(2)) {
                    return fail(DecodeStatus::WriteOverflow, 2);
                }
                uint32_t index;
                if (!reader.take(index)) {
                    return truncated(2);
                }
                putWord(header.dictionary[index]);
                return Step::Next;
            }
        }
        return Step::Failed;
    }

    void run() {
        Step outcome = Step::Next;
        while (outcome == Step::Next) {
            command.position = position();
            command.half = reader.midByte ? ByteHalf::Low : ByteHalf::High;
            uint32_t opcode;
            command.commandRead = reader.take(opcode);
            if (!command.commandRead) {
                outcome = truncated(0);
                break;
            }
            command.opcode = static_cast<Opcode>(opcode);
            outcome = step(command.opcode);
        }
        result.consumed = reader.next;
    }
};

}  // namespace

DecodeResult DecodePackedStream(const uint8_t* input, size_t inputSize, const MapHeader& header,
                                uint8_t* output, uint32_t capacity) {
    Decoder decoder{output,         capacity,       header, NibbleReader{input, inputSize},
                    DecodeResult{}, DecodeFailure{}};
    decoder.run();
    return decoder.result;
}

bool StreamDecodesTo(const uint8_t* stream, size_t streamSize, const MapHeader& header,
                     const uint8_t* expected, size_t count) {
    if (count > UINT32_MAX) {
        return false;
    }
    std::vector<uint8_t> decoded(count);
    const DecodeResult result = DecodePackedStream(stream, streamSize, header, decoded.data(),
                                                   static_cast<uint32_t>(count));
    return result.status == DecodeStatus::Complete && result.consumed == streamSize &&
           result.produced == count &&
           (count == 0 || std::memcmp(decoded.data(), expected, count) == 0);
}

}  // namespace tessary
