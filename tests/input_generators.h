#pragma once
// Seeded generators of encoder inputs and headers, shared by the tests that compare
// encoders: random bytes, small alphabets, map-like cells, long runs, the header's own
// bytes and words, and blocks repeated at every distance.

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "map_header.h"

using Random = std::mt19937;

int Uniform(Random& random, int low, int high);
uint8_t AnyByte(Random& random);
bool Chance(Random& random, int percent);

// Mostly small inputs, some medium ones.
size_t SmallSize(Random& random);

enum Kind { kRandomBytes, kSmallAlphabet, kMapCells, kLongRuns, kHeaderTokens, kFarRepeats };

// An input of `kind` and `size` bytes, and a header to pack it with.
std::vector<uint8_t> Generate(Kind kind, Random& random, size_t size, MapHeader& header);
std::vector<uint8_t> RandomBytes(Random& random, size_t size);
// Header fields taken from the input where possible, so that they matter, with deliberate
// coincidences between fields now and then.
MapHeader HeaderFor(Random& random, const std::vector<uint8_t>& input);
