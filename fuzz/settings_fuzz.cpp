// Arbitrary text as tessary.ini: loading 64 groups never reads or writes out of bounds,
// and every name is terminated within 255 characters.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "map_groups.h"
#include "settings_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    static MapGroup groups[kMaxMapGroups];
    int32_t count = LoadMapGroupsFrom(ProfileReader::FromText(text), groups, kMaxMapGroups);
    if (count > kMaxMapGroups) {
        std::abort();
    }
    for (int32_t i = 0; i < count; ++i) {
        const void* end = std::memchr(groups[i].name, '\0', kMapGroupNameSize);
        if (end == nullptr || static_cast<const char*>(end) - groups[i].name > 255) {
            std::abort();
        }
    }
    return 0;
}
