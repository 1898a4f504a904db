#include "settings/map_groups.h"

#include <cstdio>

namespace tessary {

MapGroupTable LoadMapGroupsFrom(const ProfileReader& profile, int32_t capacity) {
    MapGroupTable table;
    table.file = profile.found() ? SettingsFile::Found : SettingsFile::Missing;
    table.count = profile.readInt("MapGroups", "Count", 15);
    if (table.count > capacity) {
        table.count = capacity;
    }
    for (int32_t i = 0; i < table.count; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "%d", static_cast<int>(i));
        MapGroup group;
        group.name = profile.readString("MapGroupName", key, "?");
        group.offset = profile.readInt("MapGroupOffset", key, 0);
        group.vertical = profile.readInt("MapGroupVertical", key, 0) != 0;
        group.height = profile.readInt("MapGroupHeight", key, 16);
        table.groups.push_back(group);
    }
    return table;
}

MapGroupTable LoadMapGroups(int32_t capacity) {
    const std::string path = PathBesideProgram(kSettingsFileName);
    if (path.empty()) {
        MapGroupTable table;
        table.file = SettingsFile::NoPath;
        table.count = -1;
        return table;
    }
    MapGroupTable table = LoadMapGroupsFrom(ProfileReader(path), capacity);
    table.path = path;
    return table;
}

}  // namespace tessary
