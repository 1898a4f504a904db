#pragma once
// Unpacks one packed map stream from a byte stream into a caller's buffer.

#include <cstdint>
#include <istream>

#include "map_header.h"

enum DecodeFailureKind : int32_t {
    WriteOverflow = 0,   // the command's bytes would not fit into the buffer
    BadLocation = 1,     // a copy or repeat reaches before the start, or overlaps itself
    TruncatedInput = 2,  // the input ended before the end marker
};

constexpr int32_t kNoCommand = -1;  // input ended before an opcode could be read

struct DecodeFailure {
    int32_t kind = 0;
    uint32_t position = 0;  // output offset at which the failing command began
    int32_t command = 0;    // opcode, +16 when it was the low half of its byte; or kNoCommand
    uint32_t size = 0;      // bytes the command would write, or the distance it asked for
};

// Returns the number of bytes produced (0..capacity) once the end marker is read, leaving
// `input` just past the byte holding it; or -1 with `failure` filled. Nothing is written
// beyond `capacity` and `failure` is untouched on success.
int32_t DecodePackedStream(uint8_t* output, uint32_t capacity, const MapHeader& header,
                           std::istream& input, DecodeFailure& failure);

// A short plain-words description of a failure, for the drivers' error line.
const char* DecodeFailureKindName(int32_t kind);
const char* OpcodeName(int32_t opcode);
