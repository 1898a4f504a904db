#pragma once
// What in a settings file the programs read differently from how it looks, or not at all.

#include <cstdint>
#include <string>
#include <vector>

#include "settings/map_groups.h"

namespace tessary {

struct SettingsProblem {
    int line;  // 1-based; 0 for the whole file
    std::string message;
};

// Problems in the text of a settings file, in line order. The rules are those of the
// profile reader of settings_platform.cpp: the first copy of a repeated section or key
// counts, `;` starts a comment line, numbers are read as far as they go.
std::vector<SettingsProblem> CheckSettingsText(const std::string& text,
                                               int32_t capacity = kMaxMapGroups);

}  // namespace tessary
