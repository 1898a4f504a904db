#pragma once
// Seeded generators of encoder inputs and headers, shared by the tests that compare
// encoders: random bytes, small alphabets, map-like cells, long runs, the header's own
// bytes and words, and blocks repeated at every distance.

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "format/map_header.h"
#include "test_support.h"

using Random = std::mt19937;

int Uniform(Random& random, int low, int high);
uint8_t AnyByte(Random& random);
bool Chance(Random& random, int percent);

// Mostly small inputs, some medium ones.
size_t SmallSize(Random& random);

enum Kind {
    kRandomBytes,
    kSmallAlphabet,
    kMapCells,
    kLongRuns,
    kHeaderTokens,
    kFarRepeats,
    kHistoryWorstCase,
};

// An input of `kind` and `size` bytes, and a header to pack it with.
Bytes Generate(Kind kind, Random& random, size_t size, tessary::MapHeader& header);
Bytes RandomBytes(Random& random, size_t size);
// Made to keep the match history's rings full of entries that agree with the current
// position on many bytes, with no entry reaching the full 17 so that no lookup stops early.
// One lead byte, then `prefix` (0..16) bytes shared by every token, then a byte that no
// token within a ring's reach repeats.
Bytes SharedPrefixes(size_t size, int prefix);
// Stretches of `length` bytes that repeat `period` distinct bytes, each ended by a byte that
// no stretch within a ring's reach repeats: every entry of the same phase agrees up to the
// end of the stretch, and the nearest is chosen and cut to its distance.
Bytes PeriodicStretches(size_t size, int period, int length);
// Header fields taken from the input where possible, so that they matter, with deliberate
// coincidences between fields now and then.
tessary::MapHeader HeaderFor(Random& random, const Bytes& input);
