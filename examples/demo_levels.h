#pragma once
// The levels of the demo ROM image. examples/tessary.ini describes the same levels; a test
// checks that the two agree.

#include <cstdint>

struct DemoLevel {
    const char* name;
    int32_t offset;  // of the level's 38-byte header in the image
    bool vertical;   // false: horizontal map, stored as columns
    int32_t height;  // the fixed side, in cells
    int32_t length;  // the other side, in cells
};

constexpr DemoLevel kDemoLevels[] = {
    {"Green Hills", 0x08000, false, 16, 256},     // 8 KiB
    {"Crystal Caves", 0x10000, false, 16, 1024},  // 32 KiB
    {"Sky Tower", 0x18000, true, 20, 200},        // vertical, 7.8 KiB
    {"Sunken Ruins", 0x20000, false, 24, 300},    // 14 KiB
    {"Frozen Shaft", 0x28000, true, 16, 128},     // vertical, 4 KiB
    {"Iron Fortress", 0x30000, false, 16, 2048},  // 64 KiB, the exporter's limit
};

constexpr int32_t kDemoRomSize = 0x40000;
constexpr int32_t kDemoLevelSlot = 0x8000;  // room for a packed level before the next one
