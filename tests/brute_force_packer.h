#pragma once
// The fewest nibbles with which any sequence of commands can pack an input: every command is
// tried with every argument value at every position, and what it would write is checked
// against the input. Slow and plain on purpose; it shares nothing with the encoders but the
// header and the opcode numbers.

#include <cstdint>
#include <vector>

#include "format/map_header.h"

// End marker included, pad nibble excluded.
int64_t BruteForceMinNibbles(const std::vector<uint8_t>& input, const tessary::MapHeader& header);
