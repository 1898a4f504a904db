#pragma once
// Packs a level into memory: the 38 header bytes followed by the packed stream, checked to
// unpack to exactly the cells it was made from before anyone writes it anywhere.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "format/map_header.h"

namespace tessary {

enum class Packing : uint8_t {
    Greedy,   // the game's own packing, byte for byte
    Optimal,  // the shortest stream the command set allows
};

const char* PackingName(Packing packing);

// The packed stream alone, appended to `out`; returns its size.
size_t EncodeStream(std::vector<uint8_t>& out, const uint8_t* cells, size_t count,
                    const MapHeader& header, Packing packing);

// EncodeStream's shape: PackLevel takes one, so that a test can hand it a faulty encoding
// and see the check refuse it.
using StreamEncoding = size_t (*)(std::vector<uint8_t>& out, const uint8_t* cells, size_t count,
                                  const MapHeader& header, Packing packing);

struct PackRequest {
    Packing packing = Packing::Greedy;
    // Bytes the packed level may take, header included; -1 for no limit. A greedy packing
    // over the limit is packed again optimally.
    int64_t limit = -1;
};

enum class PackStatus : uint8_t {
    Packed,
    OverLimit,    // even the packing tried last is larger than the limit
    NotVerified,  // the stream did not unpack to the cells: a fault of ours, nothing to write
};

struct PackedLevel {
    PackStatus status = PackStatus::Packed;
    Packing packing = Packing::Greedy;  // the one that made `bytes`
    std::vector<uint8_t> bytes;         // header and stream; empty when NotVerified
    size_t greedySize = 0;  // the greedy packing's size when it went over the limit, else 0
};

// The size of a packed level, header included, whose stream writes every one of `count`
// bytes as a literal: no packing of such a map can be larger, so a larger file cannot be one.
size_t AllLiteralLevelSize(size_t count);

// Packs `count` bytes of cells in the game's order behind the header.
PackedLevel PackLevel(const uint8_t* headerBytes, const uint8_t* cells, size_t count,
                      const PackRequest& request, StreamEncoding encode = EncodeStream);

}  // namespace tessary
