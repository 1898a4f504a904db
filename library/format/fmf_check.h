#pragma once
// Whether an FMF file is a map of a given level, as our exporter would have written it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessary {

struct FmfProblem {
    std::string message;
};

// Everything about an FMF file that says it is not a map of a level with these settings.
// The partial strip our exporter can leave (fewer than `height` cells at the end) is allowed.
std::vector<FmfProblem> CheckFmfFile(const uint8_t* file, size_t size, int32_t vertical,
                                     int32_t height);

// Game cells (little-endian 16-bit) with bits 12 or 13 set, which the FMF file cannot carry.
// The exporter carries the bytes of a partial strip over unchanged, so a caller that counts
// only what is lost passes the whole strips alone: 2 x width x height bytes.
size_t CountCellsLosingBits(const uint8_t* map, size_t size);

}  // namespace tessary
