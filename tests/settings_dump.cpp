// settings_dump: prints the level table as this build loads it from tessary.ini beside the
// program, one line a value, so that two builds' readings can be compared line by line.

#include <cstdio>

#include "settings/map_groups.h"

int main() {
    const tessary::MapGroupTable table = tessary::LoadMapGroups();
    static const char* const kFile[] = {"found", "missing", "no path"};
    std::printf("file: %s\ncount: %d\n", kFile[static_cast<int>(table.file)],
                static_cast<int>(table.count));
    for (size_t i = 0; i < table.groups.size(); ++i) {
        const tessary::MapGroup& group = table.groups[i];
        std::printf("%d: name [%s] offset %d vertical %d height %d\n", static_cast<int>(i),
                    group.name.c_str(), static_cast<int>(group.offset), group.vertical ? 1 : 0,
                    static_cast<int>(group.height));
    }
    return 0;
}
