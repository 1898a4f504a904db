// Arbitrary text as tessary.ini: loading the map groups gives at most 64 of them, exactly
// as many as the count says, and no name longer than 255 characters.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/map_groups.h"
#include "settings/settings_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessary;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const MapGroupTable table = LoadMapGroupsFrom(ProfileReader::FromText(text));
    bool good = table.file == SettingsFile::Found && table.count <= kMaxMapGroups &&
                table.groups.size() == static_cast<size_t>(std::max(table.count, 0));
    for (const MapGroup& group : table.groups) {
        good = good && group.name.size() <= static_cast<size_t>(kMaxProfileString);
    }
    if (!good) {
        std::abort();
    }
    return 0;
}
