#pragma once
// Unpacks one packed map stream from a byte buffer into a caller's buffer.

#include <cstddef>
#include <cstdint>

#include "format/map_header.h"
#include "format/stream_format.h"

namespace tessary {

enum class DecodeStatus : uint8_t {
    Complete,        // the end marker was read
    WriteOverflow,   // a command's bytes would not fit into the buffer
    BadLocation,     // a copy or repeat reaches before the start, or overlaps itself
    TruncatedInput,  // the input ended before the end marker
};

enum class ByteHalf : uint8_t { High, Low };

// The command a decoding stopped at.
struct DecodeFailure {
    uint32_t position = 0;     // output offset at which the command began
    bool commandRead = false;  // false: the input ended where an opcode should begin
    Opcode opcode = Opcode::Literals;
    ByteHalf half = ByteHalf::High;  // of the byte that holds the opcode
    // WriteOverflow: the bytes the command would write; BadLocation: the distance it asked
    // for; TruncatedInput: the bytes it would write, or 0 when the input ended before that
    // was known.
    uint32_t size = 0;
};

struct DecodeResult {
    DecodeStatus status = DecodeStatus::Complete;
    // Input bytes read: after Complete the stream's length, up to the byte holding the end
    // marker and nothing beyond it; otherwise where reading stopped.
    size_t consumed = 0;
    uint32_t produced = 0;  // output bytes of the commands that succeeded
    DecodeFailure failure;  // meaningful only when the status is not Complete
};

// Decodes the stream at the start of `input` into `output`, writing nothing beyond
// `capacity` bytes and reading nothing beyond `inputSize` bytes or the end marker.
DecodeResult DecodePackedStream(const uint8_t* input, size_t inputSize, const MapHeader& header,
                                uint8_t* output, uint32_t capacity);

// True when `stream` is exactly one packed stream, all its bytes used, that unpacks to the
// `count` bytes of `expected`.
bool StreamDecodesTo(const uint8_t* stream, size_t streamSize, const MapHeader& header,
                     const uint8_t* expected, size_t count);

}  // namespace tessary
