#pragma once
// A deliberately plain second encoder: one byte loop, brute-force search, no buffering
// classes. The differential test holds the real encoder to it byte for byte.

#include <cstdint>
#include <vector>

#include "format/map_header.h"

std::vector<uint8_t> ReferenceEncode(const std::vector<uint8_t>& input,
                                     const tessary::MapHeader& header);
