#include "map_groups.h"

#include <cstdio>
#include <cstring>
#include <string>

int32_t LoadMapGroupsFrom(const ProfileReader& profile, MapGroup* groups, int32_t capacity) {
    int32_t count = profile.readInt("MapGroups", "Count", 15);
    if (count > capacity) {
        count = capacity;
    }
    for (int32_t i = 0; i < count; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "%d", static_cast<int>(i));
        MapGroup& group = groups[i];
        std::string name = profile.readString("MapGroupName", key, "?");
        std::memcpy(group.name, name.c_str(), name.size() + 1);
        group.offset = profile.readInt("MapGroupOffset", key, 0);
        group.vertical = profile.readInt("MapGroupVertical", key, 0);
        group.height = profile.readInt("MapGroupHeight", key, 16);
    }
    return count;
}

int32_t LoadMapGroups(MapGroup* groups, int32_t capacity) {
    std::string path = PathBesideProgram(kSettingsFileName);
    if (path.empty()) {
        return -1;
    }
    return LoadMapGroupsFrom(ProfileReader(path), groups, capacity);
}
