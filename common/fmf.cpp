#include "fmf.h"

#include <cstring>

namespace {

void PutU32(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint16_t GetCell(const uint8_t* cells, uint64_t index) {
    return static_cast<uint16_t>(cells[2 * index] | (cells[2 * index + 1] << 8));
}

void PutCell(uint8_t* cells, uint64_t index, uint16_t value) {
    cells[2 * index] = static_cast<uint8_t>(value & 0xFF);
    cells[2 * index + 1] = static_cast<uint8_t>(value >> 8);
}

// Index in game order of the cell at column x, row y.
uint64_t GameIndex(uint32_t x, uint32_t y, int32_t vertical, int32_t height) {
    uint64_t strip = static_cast<uint32_t>(height);
    return vertical != 0 ? y * strip + x : x * strip + y;
}

}  // namespace

void FmfHeaderToBytes(const FmfHeader& header, uint8_t* bytes) {
    std::memcpy(bytes, header.magic, 4);
    PutU32(bytes + 4, header.dataSize);
    PutU32(bytes + 8, header.width);
    PutU32(bytes + 12, header.height);
    bytes[16] = header.cellWidth;
    bytes[17] = header.cellHeight;
    bytes[18] = header.layerCount;
    bytes[19] = header.bitsPerCell;
}

void MapDimensions(uint32_t byteCount, int32_t vertical, int32_t height, uint32_t& width,
                   uint32_t& mapHeight) {
    uint32_t fixed = static_cast<uint32_t>(height);
    uint32_t strips = byteCount / fixed / 2;
    width = vertical != 0 ? fixed : strips;
    mapHeight = vertical != 0 ? strips : fixed;
}

uint16_t ToFmfCell(uint16_t gameCell) {
    uint32_t cell = gameCell;
    return static_cast<uint16_t>((cell & 0x000F) | ((cell >> 14) & 0x1) << 4 |
                                 ((cell >> 15) & 0x1) << 5 | ((cell >> 4) & 0xFF) << 8);
}

uint16_t ToGameCell(uint16_t fmfCell) {
    uint32_t cell = fmfCell;
    return static_cast<uint16_t>((cell & 0x000F) | ((cell >> 8) & 0xFF) << 4 |
                                 ((cell >> 4) & 0x1) << 14 | ((cell >> 5) & 0x1) << 15);
}

int ConvertToFmf(FmfHeader& header, uint8_t* fmfCells, const uint8_t* gameCells, uint32_t byteCount,
                 int32_t vertical, int32_t height) {
    if (height < 1) {
        return -1;
    }
    uint32_t width;
    uint32_t mapHeight;
    MapDimensions(byteCount, vertical, height, width, mapHeight);
    header = FmfHeader{};
    header.dataSize = byteCount;
    header.width = width;
    header.height = mapHeight;
    // A zero width must not spin through a huge height setting.
    for (uint32_t y = 0; width != 0 && y < mapHeight; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint16_t cell = GetCell(gameCells, GameIndex(x, y, vertical, height));
            PutCell(fmfCells, uint64_t{y} * width + x, ToFmfCell(cell));
        }
    }
    uint64_t converted = 2 * uint64_t{width} * mapHeight;
    if (byteCount > converted) {
        std::memcpy(fmfCells + converted, gameCells + converted, byteCount - converted);
    }
    return 0;
}

int ConvertFromFmf(uint8_t* gameCells, const uint8_t* fmfImage, uint32_t fileSize, int32_t vertical,
                   int32_t height) {
    if (height < 1 || fileSize < static_cast<uint32_t>(kFmfHeaderSize)) {
        return -1;
    }
    const uint8_t* fmfCells = fmfImage + kFmfHeaderSize;
    uint32_t byteCount = fileSize - kFmfHeaderSize;
    uint32_t width;
    uint32_t mapHeight;
    MapDimensions(byteCount, vertical, height, width, mapHeight);
    for (uint32_t y = 0; width != 0 && y < mapHeight; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint16_t cell = GetCell(fmfCells, uint64_t{y} * width + x);
            PutCell(gameCells, GameIndex(x, y, vertical, height), ToGameCell(cell));
        }
    }
    uint64_t converted = 2 * uint64_t{width} * mapHeight;
    if (byteCount > converted) {
        std::memcpy(gameCells + converted, fmfCells + converted, byteCount - converted);
    }
    return 0;
}
