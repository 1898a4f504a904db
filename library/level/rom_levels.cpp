#include "level/rom_levels.h"

#include <algorithm>
#include <cstdio>

namespace tessary {

uint64_t RomLevel::slotSize() const {
    return unpacks() ? unpacked.streamEnd - static_cast<uint64_t>(group.offset) : 0;
}

RomLevel SurveyLevel(const std::vector<uint8_t>& rom, const MapGroup& group, int32_t number) {
    RomLevel level;
    level.number = number;
    level.group = group;
    level.unpacked = UnpackLevel(rom.data(), rom.size(), group.offset);
    if (level.unpacks() && group.height >= 1) {
        level.mapSize = MapDimensions(static_cast<uint32_t>(level.unpacked.map.size()),
                                      group.vertical, group.height);
    }
    return level;
}

std::vector<RomLevel> SurveyRom(const std::vector<uint8_t>& rom, const MapGroupTable& table) {
    std::vector<RomLevel> levels;
    for (int32_t i = 0; i < table.count; ++i) {
        levels.push_back(SurveyLevel(rom, table.groups[static_cast<size_t>(i)], i));
    }
    return levels;
}

std::string LevelFileStem(int32_t number, const std::string& name) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%02d", static_cast<int>(number));
    std::string safe;
    for (const char c : name) {
        const bool refused = static_cast<unsigned char>(c) < 0x20 || c == 0x7F ||
                             std::string("<>:\"/\\|?*").find(c) != std::string::npos;
        safe += refused || c == ' ' ? '_' : c;
    }
    // Windows drops trailing dots and blanks; runs of refused characters say nothing.
    while (!safe.empty() && (safe.back() == '.' || safe.back() == '_')) {
        safe.pop_back();
    }
    safe.erase(0, safe.find_first_not_of('_'));
    return safe.empty() ? prefix : prefix + ("_" + safe);
}

std::vector<uint8_t> BuildRomImage(const std::vector<uint8_t>& rom,
                                   const std::vector<Placement>& placements) {
    std::vector<uint8_t> image = rom;
    for (const Placement& placement : placements) {
        std::copy(placement.packed.begin(), placement.packed.end(),
                  image.begin() + placement.offset);
    }
    return image;
}

RomImageCheck CheckRomImage(const std::vector<uint8_t>& rom, const std::vector<uint8_t>& image,
                            const std::vector<Placement>& placements) {
    RomImageCheck check;
    if (image.size() != rom.size()) {
        check.status = RomImageStatus::SizeDiffers;
        return check;
    }
    std::vector<bool> placed(rom.size(), false);
    for (const Placement& placement : placements) {
        const UnpackedLevel level = UnpackLevel(image.data(), image.size(), placement.offset);
        if (level.status != UnpackStatus::Unpacked || level.map != placement.map) {
            check.status = RomImageStatus::LevelDiffers;
            check.number = placement.number;
            return check;
        }
        std::fill_n(placed.begin() + placement.offset, placement.packed.size(), true);
    }
    for (size_t i = 0; i < rom.size(); ++i) {
        if (!placed[i] && image[i] != rom[i]) {
            check.status = RomImageStatus::OutsideChanged;
            check.offset = i;
            return check;
        }
    }
    return check;
}

}  // namespace tessary
