#pragma once
// Every level of a ROM image as the level table describes it: where it lies, how much room
// its packed form takes there (its slot), and what it unpacks to.

#include <cstdint>
#include <string>
#include <vector>

#include "format/fmf.h"
#include "level/unpack_level.h"
#include "settings/map_groups.h"

namespace tessary {

struct RomLevel {
    int32_t number = 0;
    MapGroup group;
    UnpackedLevel unpacked;
    MapSize mapSize;  // in cells; zero when the level does not unpack or its height is below 1

    bool unpacks() const { return unpacked.status == UnpackStatus::Unpacked; }
    // The header and the stream up to and including the byte that holds the end marker;
    // 0 when the level does not unpack, so that its room is unknown.
    uint64_t slotSize() const;
};

RomLevel SurveyLevel(const std::vector<uint8_t>& rom, const MapGroup& group, int32_t number);
std::vector<RomLevel> SurveyRom(const std::vector<uint8_t>& rom, const MapGroupTable& table);

// The name of a level's files without extension: the level number first, so that they sort in
// level order, then the name with what Windows or Linux would refuse in a file name replaced.
std::string LevelFileStem(int32_t number, const std::string& name);

// A packed level to be put at its level's offset in a copy of a ROM image.
struct Placement {
    int32_t number = 0;
    int64_t offset = 0;
    std::vector<uint8_t> packed;  // header and stream
    std::vector<uint8_t> map;     // the cells it must unpack to, in the game's order
};

// A copy of `rom` with each placement written at its offset. The bytes after a placement
// keep their old values. Placements must lie inside the image.
std::vector<uint8_t> BuildRomImage(const std::vector<uint8_t>& rom,
                                   const std::vector<Placement>& placements);

enum class RomImageStatus : uint8_t {
    Good,
    SizeDiffers,     // the new image is not as long as the old one
    LevelDiffers,    // a placed level does not unpack to its map there (`number`)
    OutsideChanged,  // a byte outside every placement differs (`offset`)
};

struct RomImageCheck {
    RomImageStatus status = RomImageStatus::Good;
    int32_t number = 0;
    uint64_t offset = 0;
};

// Checks a new image against the old one: every placed level unpacks to its map at its
// offset, and every other byte is the old image's.
RomImageCheck CheckRomImage(const std::vector<uint8_t>& rom, const std::vector<uint8_t>& image,
                            const std::vector<Placement>& placements);

}  // namespace tessary
