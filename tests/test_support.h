#pragma once
// Helpers that many tests share: byte vectors, hex dumps, a plain header, packing and
// unpacking in memory, level-like maps and temporary files.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "format/map_header.h"
#include "level/pack_level.h"

using Bytes = std::vector<uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts);
Bytes Repeat(const Bytes& part, int times);
// `count` bytes counting up from `first`, wrapping at 256.
Bytes Sequence(int first, int count);
// Nibbles two to a byte, high half first; an odd count gets a 0 low half.
Bytes PackNibbles(const std::vector<int>& nibbles);
// "12 AB ..."
std::string HexBytes(const Bytes& bytes);

// None of these bytes or words occurs in an input unless a test puts it there on purpose.
tessary::MapHeader PlainHeader();

// The packed stream alone.
Bytes EncodeBytes(const Bytes& input, const tessary::MapHeader& header,
                  tessary::Packing packing = tessary::Packing::Greedy);

// Empty when `stream` decodes to `input` and ends exactly at its last byte; otherwise what
// went wrong.
std::string RoundTripProblem(const Bytes& stream, const Bytes& input,
                             const tessary::MapHeader& header);

// A level-like map of 16-bit cells in the game's order, 16 cells to a column: ground,
// platforms and scattered objects, bits 14-15 used and bits 12-13 clear.
Bytes MapCells(size_t cells, uint32_t seed);

// A file with given contents in the temporary folder, removed when the test ends.
class TempFile {
  public:
    explicit TempFile(const std::string& contents);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};
