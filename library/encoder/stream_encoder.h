#pragma once
// Greedy one-pass encoder from unpacked map bytes to a packed map stream.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "encoder/command_writer.h"
#include "encoder/literal_run.h"
#include "encoder/match_history.h"
#include "format/map_header.h"

namespace tessary {

class StreamEncoder {
  public:
    // Refers to `out`, `input` and `header` without owning them; they must outlive the
    // encoder. Nothing is written until encode().
    StreamEncoder(std::vector<uint8_t>& out, const uint8_t* input, int32_t count,
                  const MapHeader& header);
    StreamEncoder(const StreamEncoder&) = delete;
    StreamEncoder& operator=(const StreamEncoder&) = delete;

    // Appends the whole stream, end marker included, to the output. Call once. Returns the
    // number of bytes appended.
    size_t encode();

  private:
    // What a candidate writes when chosen.
    enum class Form : uint8_t {
        Copy,        // `distance`; RepeatWord for a word from just behind
        Run,         // `opcode` RunOfByte of `value`, RunOfFillA or RunOfFillB
        Singles,     // `opcode` PutByteC or PutByteD once per byte, RepeatWord for the last two of
                     // four
        ByteTwice,   // Literal1 `value`, then RepeatByte
        HeaderWord,  // `opcode` PutWordW, or PutDictWord with index `value`
    };

    struct Candidate {
        int32_t length = 0;  // 0: absent
        int32_t cost = 1;    // nibbles; 1 for an absent one keeps the value comparisons right
        Form form = Form::Copy;
        Opcode opcode = Opcode::Literals;
        uint8_t value = 0;
        int32_t distance = 0;
    };

    Candidate backReferenceAt(int32_t position) const;
    Candidate runAt(int32_t position) const;
    Candidate wordAt(int32_t position) const;
    void write(const Candidate& candidate);

    std::vector<uint8_t>& out_;
    const MapHeader& header_;
    const uint8_t* input_;
    int32_t count_;
    CommandWriter writer_;
    LiteralRun literals_;
    MatchHistory history_;
    // The low bytes of the header's words: a position starting with no other byte starts
    // none of them, which rules out most positions without searching the dictionary.
    std::bitset<256> wordStarts_;
};

}  // namespace tessary
