#pragma once
// The FMF tile-map file, and the move between the game's cell order and code and FMF's.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessary {

constexpr int kFmfHeaderSize = 20;

struct FmfHeader {
    char magic[4] = {'F', 'M', 'F', '_'};
    uint32_t dataSize = 0;  // bytes of cell data after the header
    uint32_t width = 0;     // in cells
    uint32_t height = 0;
    uint8_t cellWidth = 32;  // pixels
    uint8_t cellHeight = 32;
    uint8_t layerCount = 1;
    uint8_t bitsPerCell = 16;
};

void FmfHeaderToBytes(const FmfHeader& header, uint8_t* bytes);

struct MapSize {
    uint32_t width = 0;  // in cells
    uint32_t height = 0;
};

// Width and height in cells of a map of `byteCount` bytes whose fixed dimension is
// `height` cells (the height of a horizontal map, the width of a vertical one).
// `height` must be at least 1.
MapSize MapDimensions(uint32_t byteCount, bool vertical, int32_t height);

uint16_t ToFmfCell(uint16_t gameCell);
uint16_t ToGameCell(uint16_t fmfCell);

// Fills `header` and writes `byteCount` bytes to `fmfCells`: the map in FMF order and code,
// and any bytes past the last whole strip copied unchanged. Returns false, writing nothing,
// for a height below 1.
bool ConvertToFmf(FmfHeader& header, uint8_t* fmfCells, const uint8_t* gameCells,
                  uint32_t byteCount, bool vertical, int32_t height);

// Reads the cells after the 20-byte header of an FMF image of `fileSize` bytes (the
// header's own fields are ignored) and writes fileSize - 20 bytes to `gameCells` in game
// order and code, bytes past the last whole strip copied unchanged. Returns false, writing
// nothing, for a height below 1 or an image shorter than the header.
bool ConvertFromFmf(uint8_t* gameCells, const uint8_t* fmfImage, uint32_t fileSize, bool vertical,
                    int32_t height);

enum class FmfStatus : uint8_t {
    Converted,
    HeightBelowOne,  // the level's fixed dimension is not a size
    TooShort,        // an FMF file shorter than its header
    TooLarge,        // beyond the 32-bit sizes of the FMF header
};

struct FmfConversion {
    FmfStatus status = FmfStatus::Converted;
    std::vector<uint8_t> bytes;  // the whole FMF file, or the map's cells in game order
};

// A level's unpacked map as a whole FMF file: the header, then the cells.
FmfConversion MapToFmfFile(const uint8_t* map, size_t size, bool vertical, int32_t height);

// The map held by a whole FMF file, in the game's order and code.
FmfConversion MapFromFmfFile(const uint8_t* file, size_t size, bool vertical, int32_t height);

}  // namespace tessary
