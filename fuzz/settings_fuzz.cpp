// Arbitrary text as tessary.ini: loading the map groups gives at most 64 of them, exactly
// as many as the count says, and no name longer than 255 characters.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/map_groups.h"
#include "settings/settings_check.h"
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
    // The check names only lines the text has (ended by LF, CR or CRLF).
    int lines = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        lines +=
            text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
    }
    for (const SettingsProblem& problem : CheckSettingsText(text)) {
        good = good && problem.line >= 0 && problem.line <= lines && !problem.message.empty();
    }
    if (!good) {
        std::abort();
    }
    return 0;
}
