#pragma once

#include <cstdint>
#include <istream>

#include "map_header.h"

// True when `stream`, read from its current position, is a packed stream that unpacks to
// exactly the `count` bytes of `expected` and ends exactly where `stream` does.
bool StreamDecodesTo(std::istream& stream, const MapHeader& header, const uint8_t* expected,
                     uint32_t count);
