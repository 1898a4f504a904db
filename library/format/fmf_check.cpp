#include "format/fmf_check.h"

#include <cstdio>
#include <cstring>

#include "format/fmf.h"

namespace tessary {

namespace {

constexpr uint16_t kFmfBitsWithoutGameBits = 0x00C0;  // FMF cell bits 6-7
constexpr uint16_t kGameBitsWithoutFmfBits = 0x3000;  // game cell bits 12-13

uint32_t GetU32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint16_t GetCell(const uint8_t* cells, size_t index) {
    return static_cast<uint16_t>(cells[2 * index] | (cells[2 * index + 1] << 8));
}

std::string HexBytes(const uint8_t* bytes, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02X", bytes[i]);
        text += (i == 0 ? "" : " ") + std::string(byte);
    }
    return text;
}

std::string HexCell(uint16_t cell) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", cell);
    return text;
}

std::string Cells(uint64_t count) {
    return std::to_string(count) + (count == 1 ? " cell" : " cells");
}

// The header fields that say what the file holds, against the level's settings. False when
// nothing further can be said about the file.
bool CheckHeader(const uint8_t* file, size_t size, int32_t height,
                 std::vector<FmfProblem>& problems) {
    auto add = [&problems](std::string message) { problems.push_back({std::move(message)}); };
    if (size < static_cast<size_t>(kFmfHeaderSize)) {
        add("the file is " + std::to_string(size) + " bytes long, shorter than the " +
            std::to_string(kFmfHeaderSize) + "-byte header of an FMF file.");
        return false;
    }
    if (std::memcmp(file, "FMF_", 4) != 0) {
        add("the file is not an FMF file: it starts with " + HexBytes(file, 4) + ", not FMF_.");
        return false;
    }
    if (file[18] != 1) {
        add("the map has " + std::to_string(file[18]) + " layers, but a level's map is one layer.");
    }
    if (file[19] != 16) {
        add("the map's cells are " + std::to_string(file[19]) +
            " bits wide, but a level's cells are 16 bits wide.");
    }
    const uint64_t cellBytes = size - kFmfHeaderSize;
    const uint32_t dataSize = GetU32(file + 4);
    if (dataSize != cellBytes) {
        add("the header says " + std::to_string(dataSize) + " bytes of cells follow it, but " +
            std::to_string(cellBytes) + " do.");
    }
    if (height < 1) {
        add("the level's height setting is " + std::to_string(height) +
            ", which is no map size: it must be at least 1.");
        return false;
    }
    if (cellBytes > UINT32_MAX) {
        add("the file is larger than an FMF file can be.");
        return false;
    }
    return true;
}

// The map's sides: the fixed one must be the level's, and the other the number of whole
// strips in the cell data, as the exporter writes them.
void CheckSides(const uint8_t* file, size_t size, bool vertical, int32_t height,
                std::vector<FmfProblem>& problems) {
    const uint32_t width = GetU32(file + 8);
    const uint32_t high = GetU32(file + 12);
    const std::string setting = std::to_string(height);
    if (vertical && width != static_cast<uint32_t>(height)) {
        problems.push_back({"the map is " + Cells(width) + " wide but the level's height " +
                            "setting (a vertical map's width) is " + setting + "."});
        return;
    }
    if (!vertical && high != static_cast<uint32_t>(height)) {
        problems.push_back({"the map is " + Cells(high) + " high but the level's height " +
                            "setting is " + setting + "."});
        return;
    }
    const uint32_t cellBytes = static_cast<uint32_t>(size - kFmfHeaderSize);
    const MapSize map = MapDimensions(cellBytes, vertical, height);
    const uint32_t strips = vertical ? map.height : map.width;
    const uint32_t stated = vertical ? high : width;
    if (stated != strips) {
        problems.push_back({"the map is " + Cells(stated) + (vertical ? " high" : " wide") +
                            ", but its " + std::to_string(cellBytes) + " bytes of cells make " +
                            std::to_string(strips) + (vertical ? " rows of " : " columns of ") +
                            Cells(static_cast<uint32_t>(height)) + "."});
    }
}

// Cells whose bits 6-7 packing drops, counted over the cells that packing converts, and
// named where the user's editor shows them: by the header's width when the file holds that
// many cells.
void CheckCells(const uint8_t* file, size_t size, bool vertical, int32_t height,
                std::vector<FmfProblem>& problems) {
    const uint64_t cellBytes = size - kFmfHeaderSize;
    const MapSize map = MapDimensions(static_cast<uint32_t>(cellBytes), vertical, height);
    const uint64_t headerWidth = GetU32(file + 8);
    const uint64_t headerCells = headerWidth * GetU32(file + 12);
    const uint64_t width =
        headerWidth != 0 && headerCells <= cellBytes / 2 ? headerWidth : map.width;
    const uint8_t* cells = file + kFmfHeaderSize;
    const uint64_t total = uint64_t{map.width} * map.height;
    uint64_t count = 0;
    uint64_t first = 0;
    for (uint64_t i = 0; i < total; ++i) {
        if ((GetCell(cells, i) & kFmfBitsWithoutGameBits) != 0) {
            first = count == 0 ? i : first;
            ++count;
        }
    }
    if (count != 0) {
        problems.push_back({Cells(count) + (count == 1 ? " has" : " have") +
                            " bit 6 or 7 set, which the game's cells cannot hold and packing " +
                            "drops; " + (count == 1 ? "it" : "the first") + " is at x " +
                            std::to_string(first % width) + ", y " + std::to_string(first / width) +
                            " with the value " + HexCell(GetCell(cells, first)) + "."});
    }
}

}  // namespace

std::vector<FmfProblem> CheckFmfFile(const uint8_t* file, size_t size, int32_t vertical,
                                     int32_t height) {
    std::vector<FmfProblem> problems;
    if (CheckHeader(file, size, height, problems)) {
        CheckSides(file, size, vertical != 0, height, problems);
        CheckCells(file, size, vertical != 0, height, problems);
    }
    return problems;
}

size_t CountCellsLosingBits(const uint8_t* map, size_t size) {
    size_t count = 0;
    for (size_t i = 0; i < size / 2; ++i) {
        count += (GetCell(map, i) & kGameBitsWithoutFmfBits) != 0 ? 1 : 0;
    }
    return count;
}

}  // namespace tessary
