#pragma once
// Encoder that writes the shortest packed stream the command set can express for an input.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "encoder/nearest_matches.h"
#include "format/map_header.h"

namespace tessary {

class CommandWriter;

class OptimalEncoder {
  public:
    // Refers to `out`, `input` and `header` without owning them; they must outlive the
    // encoder. Nothing is written until encode().
    OptimalEncoder(std::vector<uint8_t>& out, const uint8_t* input, int32_t count,
                   const MapHeader& header);
    OptimalEncoder(const OptimalEncoder&) = delete;
    OptimalEncoder& operator=(const OptimalEncoder&) = delete;

    // Appends the whole stream, end marker included, to the output. Call once. Returns the
    // number of bytes appended.
    size_t encode();

    // Nibbles of the stream written, end marker included, pad nibble excluded; 0 before
    // encode().
    int64_t nibbles() const { return nibbles_; }

  private:
    enum Step : uint8_t {
        kLiteral,
        kRunOfFillA,
        kRunOfFillB,
        kRunOfByte,
        kCopy,
        kPutWordW,
        kRepeatWord,
        kPutDictWord,
        kPutByteC,
        kPutByteD,
        kRepeatByte,
    };

    // The cheapest way from a position to the end that starts with `step` over `length`
    // bytes, given the costs of all later positions.
    struct Choice {
        int32_t nibbles;
        Step step;
        int32_t length;
    };

    class SettledCosts;

    // `run`: how many bytes from `position` on equal the one there, at most 18.
    int32_t cheapestCost(int32_t position, int32_t run, const NearestMatches::Reach& reach,
                         const SettledCosts& settled) const;
    Choice cheapestAt(int32_t position, int32_t run, const NearestMatches& matches) const;
    void putCommand(CommandWriter& writer, int32_t position, const Choice& choice,
                    const NearestMatches& matches) const;

    std::vector<uint8_t>& out_;
    const uint8_t* input_;
    int32_t count_;
    const MapHeader& header_;
    int64_t nibbles_ = 0;
    std::vector<int32_t> cost_;  // nibbles from a position to the end, end marker excluded
    std::vector<uint64_t> dictionaryWords_;  // one bit per 16-bit word
};

}  // namespace tessary
