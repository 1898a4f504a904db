#pragma once
// Packs a level into memory: the 38 header bytes followed by the packed stream, checked to
// unpack to exactly the cells it was made from before anyone writes it anywhere.

#include <cstdint>
#include <string>

enum class Packing { Greedy, Optimal };

// Empty when the packed stream does not unpack to `cells` (which would be a fault of ours).
std::string PackLevel(const uint8_t* headerBytes, const uint8_t* cells, uint32_t count,
                      Packing packing);
