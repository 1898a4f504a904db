#pragma once
// Builds the maps and headers of the demo ROM image: level-like maps of 16-bit cells and
// headers whose fill bytes, single bytes and words are the ones each map uses most.

#include <cstdint>
#include <vector>

#include "demo_levels.h"
#include "format/map_header.h"

// The level's cells in the game's order, 2 bytes each, little-endian.
std::vector<uint8_t> MakeDemoMap(const DemoLevel& level, uint32_t seed);

tessary::MapHeader ChooseHeader(const std::vector<uint8_t>& map);

// The whole image: filler, and each level's header and packed stream at its offset.
// Empty when a packed level would not fit its slot.
std::vector<uint8_t> MakeDemoRom();
