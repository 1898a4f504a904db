#pragma once
// Per-level settings read from tessary.ini beside the program.

#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings_platform.h"

namespace tessary {

constexpr int32_t kMaxMapGroups = 64;
constexpr const char* kSettingsFileName = "tessary.ini";

struct MapGroup {
    std::string name = "?";  // at most 255 characters
    int32_t offset = 0;      // of the level's header in the ROM image
    bool vertical = false;   // false: stored as columns of fixed height; true: as rows
    int32_t height = 16;     // the map's fixed dimension in cells
};

enum class SettingsFile : uint8_t {
    Found,
    Missing,  // every value is its default
    NoPath,   // the program's own folder is unknown, so there is nowhere to look
};

struct MapGroupTable {
    SettingsFile file = SettingsFile::Missing;
    // Where the settings file was looked for; empty with NoPath, and when the table was
    // loaded from a reader that was already open.
    std::string path;
    // The number of groups as the file gives it, at most the capacity; 0 or less means no
    // levels, and it is -1 with NoPath. The usage listing and the range check show it as is.
    int32_t count = 0;
    std::vector<MapGroup> groups;  // `count` of them, none when it is 0 or less
};

// Loads from tessary.ini beside the running program.
MapGroupTable LoadMapGroups(int32_t capacity = kMaxMapGroups);

// Same, from an already opened settings file.
MapGroupTable LoadMapGroupsFrom(const ProfileReader& profile, int32_t capacity = kMaxMapGroups);

}  // namespace tessary
