#include "format/fmf.h"

#include <cstring>

namespace tessary {

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
uint64_t GameIndex(uint32_t x, uint32_t y, bool vertical, int32_t height) {
    uint64_t strip = static_cast<uint32_t>(height);
    return vertical ? y * strip + x : x * strip + y;
}

// Moves every cell of the map between the two orders, recoding it; bytes past the last
// whole strip are carried over unchanged.
template <typename Recode>
void Reorder(uint8_t* to, const uint8_t* from, uint32_t byteCount, bool vertical, int32_t height,
             bool toFmf, Recode recode) {
    const MapSize size = MapDimensions(byteCount, vertical, height);
    // A zero width must not spin through a huge height setting.
    for (uint32_t y = 0; size.width != 0 && y < size.height; ++y) {
        for (uint32_t x = 0; x < size.width; ++x) {
            const uint64_t fmf = uint64_t{y} * size.width + x;
            const uint64_t game = GameIndex(x, y, vertical, height);
            PutCell(to, toFmf ? fmf : game, recode(GetCell(from, toFmf ? game : fmf)));
        }
    }
    const uint64_t converted = 2 * uint64_t{size.width} * size.height;
    if (byteCount > converted) {
        std::memcpy(to + converted, from + converted, byteCount - converted);
    }
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

MapSize MapDimensions(uint32_t byteCount, bool vertical, int32_t height) {
    const uint32_t fixed = static_cast<uint32_t>(height);
    const uint32_t strips = byteCount / fixed / 2;
    return vertical ? MapSize{fixed, strips} : MapSize{strips, fixed};
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

bool ConvertToFmf(FmfHeader& header, uint8_t* fmfCells, const uint8_t* gameCells,
                  uint32_t byteCount, bool vertical, int32_t height) {
    if (height < 1) {
        return false;
    }
    const MapSize size = MapDimensions(byteCount, vertical, height);
    header = FmfHeader{};
    header.dataSize = byteCount;
    header.width = size.width;
    header.height = size.height;
    Reorder(fmfCells, gameCells, byteCount, vertical, height, true, ToFmfCell);
    return true;
}

bool ConvertFromFmf(uint8_t* gameCells, const uint8_t* fmfImage, uint32_t fileSize, bool vertical,
                    int32_t height) {
    if (height < 1 || fileSize < static_cast<uint32_t>(kFmfHeaderSize)) {
        return false;
    }
    Reorder(gameCells, fmfImage + kFmfHeaderSize, fileSize - kFmfHeaderSize, vertical, height,
            false, ToGameCell);
    return true;
}

FmfConversion MapToFmfFile(const uint8_t* map, size_t size, bool vertical, int32_t height) {
    FmfConversion result;
    if (height < 1) {
        result.status = FmfStatus::HeightBelowOne;
        return result;
    }
    if (size > UINT32_MAX - kFmfHeaderSize) {
        result.status = FmfStatus::TooLarge;
        return result;
    }
    result.bytes.resize(kFmfHeaderSize + size);
    FmfHeader header;
    ConvertToFmf(header, result.bytes.data() + kFmfHeaderSize, map, static_cast<uint32_t>(size),
                 vertical, height);
    FmfHeaderToBytes(header, result.bytes.data());
    return result;
}

FmfConversion MapFromFmfFile(const uint8_t* file, size_t size, bool vertical, int32_t height) {
    FmfConversion result;
    if (height < 1) {
        result.status = FmfStatus::HeightBelowOne;
    } else if (size < static_cast<size_t>(kFmfHeaderSize)) {
        result.status = FmfStatus::TooShort;
    } else if (size > UINT32_MAX) {
        result.status = FmfStatus::TooLarge;
    } else {
        result.bytes.resize(size - kFmfHeaderSize);
        ConvertFromFmf(result.bytes.data(), file, static_cast<uint32_t>(size), vertical, height);
    }
    return result;
}

}  // namespace tessary
