#pragma once
// The FMF tile-map file, and the move between the game's cell order and code and FMF's.

#include <cstdint>

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

// Width and height in cells of a map of `byteCount` bytes whose fixed dimension is
// `height` cells (the height of a horizontal map, the width of a vertical one).
// `height` must be at least 1.
void MapDimensions(uint32_t byteCount, int32_t vertical, int32_t height, uint32_t& width,
                   uint32_t& mapHeight);

uint16_t ToFmfCell(uint16_t gameCell);
uint16_t ToGameCell(uint16_t fmfCell);

// Fills `header` and writes `byteCount` bytes to `fmfCells`: the map in FMF order and code,
// and any bytes past the last whole strip copied unchanged. Returns 0, or -1 for a
// height below 1 (nothing written then).
int ConvertToFmf(FmfHeader& header, uint8_t* fmfCells, const uint8_t* gameCells, uint32_t byteCount,
                 int32_t vertical, int32_t height);

// Reads the cells after the 20-byte header of an FMF image of `fileSize` bytes (the
// header's own fields are ignored) and writes fileSize - 20 bytes to `gameCells` in game
// order and code, bytes past the last whole strip copied unchanged. Returns 0, or -1 for
// a height below 1 or an image shorter than the header (nothing written then).
int ConvertFromFmf(uint8_t* gameCells, const uint8_t* fmfImage, uint32_t fileSize, int32_t vertical,
                   int32_t height);
