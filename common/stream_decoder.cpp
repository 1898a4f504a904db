#include "stream_decoder.h"

#include <cstring>
#include <streambuf>

#include "stream_format.h"

namespace {

// Reads nibbles high half first; fails (rather than inventing nibbles) at the end of input.
struct NibbleReader {
    std::streambuf* source;
    bool midByte = false;
    uint8_t pending = 0;

    bool next(uint32_t& nibble) {
        if (midByte) {
            midByte = false;
            nibble = pending;
            return true;
        }
        int byte = source->sbumpc();
        if (byte == std::char_traits<char>::eof()) {
            return false;
        }
        pending = static_cast<uint8_t>(byte & 0x0F);
        midByte = true;
        nibble = static_cast<uint32_t>(byte) >> 4;
        return true;
    }

    bool nextByte(uint32_t& value) {
        uint32_t high;
        uint32_t low;
        if (!next(high) || !next(low)) {
            return false;
        }
        value = (high << 4) | low;
        return true;
    }

    bool nextValue(int nibbles, uint32_t& value) {
        value = 0;
        for (int i = 0; i < nibbles; ++i) {
            uint32_t nibble;
            if (!next(nibble)) {
                return false;
            }
            value = (value << 4) | nibble;
        }
        return true;
    }
};

struct Decoder {
    uint8_t* output;
    uint32_t capacity;
    const MapHeader& header;
    NibbleReader reader;
    DecodeFailure& failure;
    uint32_t position = 0;
    int32_t command = kNoCommand;

    int32_t fail(int32_t kind, uint32_t size) {
        failure.kind = kind;
        failure.position = position;
        failure.command = command;
        failure.size = size;
        return -1;
    }

    int32_t truncated(uint32_t size) { return fail(TruncatedInput, size); }

    bool fits(uint32_t size) const { return size <= capacity - position; }

    // Copies never overlap: the source must lie wholly before the destination.
    bool locationValid(uint32_t distance, uint32_t length) const {
        return distance <= position && distance >= length;
    }

    void fill(uint8_t value, uint32_t count) {
        std::memset(output + position, value, count);
        position += count;
    }

    void putWord(uint16_t word) {
        output[position] = static_cast<uint8_t>(word & 0xFF);
        output[position + 1] = static_cast<uint8_t>(word >> 8);
        position += 2;
    }

    void copy(uint32_t distance, uint32_t length) {
        std::memcpy(output + position, output + position - distance, length);
        position += length;
    }

    int32_t literals(uint32_t count) {
        if (!fits(count)) {
            return fail(WriteOverflow, count);
        }
        if (!reader.midByte) {
            // Byte-aligned literals are whole stream bytes: fetch them as one block.
            std::streamsize got =
                reader.source->sgetn(reinterpret_cast<char*>(output + position), count);
            if (got != static_cast<std::streamsize>(count)) {
                return truncated(count);
            }
            position += count;
            return 0;
        }
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t value;
            if (!reader.nextByte(value)) {
                return truncated(count);
            }
            output[position + i] = static_cast<uint8_t>(value);
        }
        position += count;
        return 0;
    }

    // A copy's distance is its argument plus a bias; CopyNear's bias is its own count.
    static constexpr uint32_t kBiasIsCount = 0xFFFFFFFF;

    int32_t copyCommand(int distanceNibbles, uint32_t distanceBias, bool countFirst) {
        uint32_t count = 2;
        if (countFirst) {
            uint32_t n;
            if (!reader.next(n)) {
                return truncated(0);
            }
            count = n + kCountBias;
        }
        if (!fits(count)) {
            return fail(WriteOverflow, count);
        }
        uint32_t value;
        if (!reader.nextValue(distanceNibbles, value)) {
            return truncated(count);
        }
        uint32_t distance = value + (distanceBias == kBiasIsCount ? count : distanceBias);
        if (!locationValid(distance, count)) {
            return fail(BadLocation, distance);
        }
        copy(distance, count);
        return 0;
    }

    int32_t run() {
        for (;;) {
            bool lowHalf = reader.midByte;
            uint32_t opcode;
            command = kNoCommand;
            if (!reader.next(opcode)) {
                return truncated(0);
            }
            command = static_cast<int32_t>(opcode + (lowHalf ? 16 : 0));
            int32_t status = step(opcode);
            if (status != 0) {
                return status;  // -1 on failure, 1 at the end marker
            }
        }
    }

    int32_t runOf(bool explicitByte, uint8_t value) {
        uint32_t n;
        if (!reader.next(n)) {
            return truncated(0);
        }
        uint32_t count = n + kCountBias;
        if (!fits(count)) {
            return fail(WriteOverflow, count);
        }
        if (explicitByte) {
            uint32_t v;
            if (!reader.nextByte(v)) {
                return truncated(count);
            }
            value = static_cast<uint8_t>(v);
        }
        fill(value, count);
        return 0;
    }

    int32_t fixed(uint32_t size) { return fits(size) ? 0 : fail(WriteOverflow, size); }

    int32_t step(uint32_t opcode) {
        switch (opcode) {
            case Literals: {
                uint32_t n;
                if (!reader.next(n)) {
                    return truncated(0);
                }
                return n == 0 ? 1 : literals(n);
            }
            case Literal1:
                return literals(1);
            case Literal2:
                return literals(2);
            case RunOfByte:
                return runOf(true, 0);
            case RunOfFillA:
                return runOf(false, header.fillByteA);
            case RunOfFillB:
                return runOf(false, header.fillByteB);
            case PutWordW:
                if (fixed(2) != 0) {
                    return -1;
                }
                putWord(header.wordW);
                return 0;
            case PutByteC:
            case PutByteD:
                if (fixed(1) != 0) {
                    return -1;
                }
                fill(opcode == PutByteC ? header.singleByteC : header.singleByteD, 1);
                return 0;
            case CopyWord:
                return copyCommand(1, kCopyWordDistanceBias, false);
            case CopyNear:
                return copyCommand(2, kBiasIsCount, true);
            case CopyMid:
                return copyCommand(3, kCopyMidDistanceBias, true);
            case CopyFar:
                return copyCommand(4, 0, true);
            case RepeatByte:
            case RepeatWord: {
                uint32_t length = opcode == RepeatByte ? 1 : 2;
                if (fixed(length) != 0) {
                    return -1;
                }
                if (!locationValid(length, length)) {
                    return fail(BadLocation, length);
                }
                copy(length, length);
                return 0;
            }
            default: {  // PutDictWord
                if (fixed(2) != 0) {
                    return -1;
                }
                uint32_t index;
                if (!reader.next(index)) {
                    return truncated(2);
                }
                putWord(header.dictionary[index]);
                return 0;
            }
        }
    }
};

}  // namespace

int32_t DecodePackedStream(uint8_t* output, uint32_t capacity, const MapHeader& header,
                           std::istream& input, DecodeFailure& failure) {
    std::streambuf* source = input.rdbuf();
    if (source == nullptr) {
        failure = DecodeFailure{TruncatedInput, 0, kNoCommand, 0};
        return -1;
    }
    Decoder decoder{output, capacity, header, NibbleReader{source}, failure};
    if (decoder.run() < 0) {
        return -1;
    }
    return static_cast<int32_t>(decoder.position);
}

const char* DecodeFailureKindName(int32_t kind) {
    switch (kind) {
        case WriteOverflow:
            return "the map would not fit into its buffer";
        case BadLocation:
            return "a copy reaches outside the bytes already unpacked";
        case TruncatedInput:
            return "the data ends before the end marker";
        default:
            return "unknown failure";
    }
}

const char* OpcodeName(int32_t opcode) {
    static const char* const kNames[16] = {"Literals",   "Literal1",   "Literal2",   "RunOfByte",
                                           "RunOfFillA", "RunOfFillB", "PutWordW",   "PutByteC",
                                           "PutByteD",   "CopyWord",   "CopyNear",   "CopyMid",
                                           "CopyFar",    "RepeatByte", "RepeatWord", "PutDictWord"};
    return (opcode >= 0 && opcode < 16) ? kNames[opcode] : "?";
}
