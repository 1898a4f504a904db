#pragma once
// Per-level settings read from tessary.ini beside the program.

#include <cstdint>

#include "settings_platform.h"

constexpr int32_t kMaxMapGroups = 64;
constexpr int kMapGroupNameSize = 256;  // 255 characters and the terminator

struct MapGroup {
    char name[kMapGroupNameSize];
    int32_t offset;
    int32_t vertical;  // 0: horizontal map stored as columns; else rows
    int32_t height;    // the map's fixed dimension in cells
};

struct MapGroupTable {
    MapGroup groups[kMaxMapGroups];
    int32_t count = 0;  // as LoadMapGroups returned it: -1 or 0 act as an empty table
};

constexpr const char* kSettingsFileName = "tessary.ini";

// Loads from tessary.ini beside the running program. Returns the number of groups loaded
// (at most `capacity`), or -1 when the settings path cannot be formed.
int32_t LoadMapGroups(MapGroup* groups, int32_t capacity);

// Same, from an already opened settings file.
int32_t LoadMapGroupsFrom(const ProfileReader& profile, MapGroup* groups, int32_t capacity);
