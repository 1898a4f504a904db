#pragma once
// Greedy one-pass encoder from unpacked map bytes to a packed map stream.

#include <cstdint>
#include <ostream>

#include "literal_run.h"
#include "map_header.h"
#include "match_history.h"
#include "nibble_writer.h"

class StreamEncoder {
  public:
    // Refers to `out`, `input` and `header` without owning them; they must outlive the
    // encoder. Nothing is written until encode().
    StreamEncoder(std::ostream& out, const uint8_t* input, int32_t count, const MapHeader& header);
    StreamEncoder(const StreamEncoder&) = delete;
    StreamEncoder& operator=(const StreamEncoder&) = delete;

    // Writes the whole stream including the end marker. Call once. Always true: write
    // failures are left to the caller to detect on the stream.
    bool encode();

  private:
    struct Candidate {
        int32_t length = 0;  // 0: absent
        int32_t cost = 1;    // nibbles; 1 for an absent one keeps the value comparisons right
        uint8_t nibbles[6] = {};
    };

    Candidate backReferenceAt(int32_t position) const;
    Candidate runAt(int32_t position) const;
    Candidate wordAt(int32_t position) const;

    const MapHeader& header_;
    const uint8_t* input_;
    int32_t count_;
    NibbleWriter writer_;
    LiteralRun literals_;
    MatchHistory history_;
};
