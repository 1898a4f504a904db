#pragma once
// Takes one level out of a ROM image held in memory: its header, its map, and where its
// packed stream ends.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "decoder/stream_decoder.h"
#include "format/map_header.h"

namespace tessary {

enum class UnpackStatus : uint8_t {
    Unpacked,
    NoHeader,      // the image holds no 38 bytes at the offset
    DecodeFailed,  // see `decode`
};

struct UnpackedLevel {
    UnpackStatus status = UnpackStatus::Unpacked;
    MapHeaderBytes header{};   // as the ROM image holds it
    std::vector<uint8_t> map;  // the unpacked bytes, at most the game's 64 KiB
    // Offset in the image of the first byte after the stream, or of the byte where reading
    // stopped when the stream is bad.
    uint64_t streamEnd = 0;
    DecodeResult decode;  // what the decoder reported, when it ran
};

// A negative offset, or one that leaves fewer than 38 bytes, gives NoHeader.
UnpackedLevel UnpackLevel(const uint8_t* rom, size_t romSize, int64_t offset);

}  // namespace tessary
