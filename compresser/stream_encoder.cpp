#include "stream_encoder.h"

#include <initializer_list>

#include "stream_format.h"

namespace {

constexpr int32_t kMaxCopyWordDistance = 16;  // 17 would fit the nibble but is never used

uint8_t High(uint32_t value) {
    return static_cast<uint8_t>((value >> 4) & 0xF);
}
uint8_t Low(uint32_t value) {
    return static_cast<uint8_t>(value & 0xF);
}

template <typename C>
void SetNibbles(C& candidate, int32_t length, std::initializer_list<uint32_t> nibbles) {
    candidate.length = length;
    candidate.cost = static_cast<int32_t>(nibbles.size());
    int32_t i = 0;
    for (uint32_t nibble : nibbles) {
        candidate.nibbles[i++] = static_cast<uint8_t>(nibble & 0xF);
    }
}

// Compares length/cost values exactly, without division.
template <typename C>
bool WorthMore(const C& a, const C& b) {
    return a.length * b.cost > b.length * a.cost;
}

}  // namespace

StreamEncoder::StreamEncoder(std::ostream& out, const uint8_t* input, int32_t count,
                             const MapHeader& header)
    : header_(header),
      input_(input),
      count_(count),
      writer_(out),
      literals_(writer_),
      history_(input) {}

bool StreamEncoder::encode() {
    int32_t position = 0;
    while (position < count_) {
        const Candidate reference = backReferenceAt(position);
        const Candidate run = runAt(position);
        const Candidate word = wordAt(position);

        // On equal value the word beats the run and the run beats the back-reference.
        const Candidate* chosen;
        if (WorthMore(reference, run)) {
            chosen = WorthMore(reference, word) ? &reference : &word;
        } else {
            chosen = WorthMore(run, word) ? &run : &word;
        }

        int32_t consumed = 1;
        if (chosen->length > 0) {
            literals_.flush();
            for (int32_t i = 0; i < chosen->cost; ++i) {
                writer_.put(chosen->nibbles[i]);
            }
            consumed = chosen->length;
        } else {
            literals_.add(input_[position]);
        }
        // A position enters the history only after its own command is chosen, so a lookup
        // never finds the position itself.
        for (int32_t end = position + consumed; position < end; ++position) {
            history_.add(position, count_ - position);
        }
    }
    literals_.flush();
    writer_.put(End);
    writer_.put(0);
    writer_.flush();
    return true;
}

StreamEncoder::Candidate StreamEncoder::backReferenceAt(int32_t position) const {
    Candidate candidate;
    const HistoryMatch match = history_.find(position, count_ - position);
    if (match.length < 2) {
        return candidate;
    }
    // The entry was chosen on the unclipped length; cutting it afterwards keeps the copy
    // from overlapping the bytes it produces.
    const int32_t distance = position - match.source;
    const int32_t length = match.length > distance ? distance : match.length;
    if (length < 2) {
        return candidate;
    }
    if (length == 2) {
        if (distance == 2) {
            SetNibbles(candidate, 2, {RepeatWord});
        } else if (distance <= kMaxCopyWordDistance) {
            SetNibbles(candidate, 2,
                       {CopyWord, static_cast<uint32_t>(distance - kCopyWordDistanceBias)});
        }
        return candidate;
    }
    const uint32_t countNibble = static_cast<uint32_t>(length - kCountBias);
    if (distance <= length + 255) {
        const uint32_t offset = static_cast<uint32_t>(distance - length);
        SetNibbles(candidate, length, {CopyNear, countNibble, High(offset), Low(offset)});
    } else if (distance <= kMaxCopyMidDistance) {
        const uint32_t offset = static_cast<uint32_t>(distance - kCopyMidDistanceBias);
        SetNibbles(candidate, length, {CopyMid, countNibble, offset >> 8, offset >> 4, offset});
    } else if (distance <= kMaxDistance) {
        const uint32_t d = static_cast<uint32_t>(distance);
        SetNibbles(candidate, length, {CopyFar, countNibble, d >> 12, d >> 8, d >> 4, d});
    }
    return candidate;
}

StreamEncoder::Candidate StreamEncoder::runAt(int32_t position) const {
    Candidate candidate;
    const uint8_t v = input_[position];
    int32_t r = 1;
    while (r < kMaxCount && position + r < count_ && input_[position + r] == v) {
        ++r;
    }
    const bool isC = v == header_.singleByteC;
    const bool isD = v == header_.singleByteD;
    const bool isA = v == header_.fillByteA;
    const bool isB = v == header_.fillByteB;
    // The fill bytes only pay from three bytes on; the single bytes only up to four.
    if (r == 1) {
        if (isC) {
            SetNibbles(candidate, 1, {PutByteC});
        } else if (isD) {
            SetNibbles(candidate, 1, {PutByteD});
        }
    } else if (r == 2) {
        if (isC) {
            SetNibbles(candidate, 2, {PutByteC, PutByteC});
        } else if (isD) {
            SetNibbles(candidate, 2, {PutByteD, PutByteD});
        } else {
            SetNibbles(candidate, 2, {Literal1, High(v), Low(v), RepeatByte});
        }
    } else {
        const uint32_t countNibble = static_cast<uint32_t>(r - kCountBias);
        if (isA) {
            SetNibbles(candidate, r, {RunOfFillA, countNibble});
        } else if (isB) {
            SetNibbles(candidate, r, {RunOfFillB, countNibble});
        } else if (r == 3 && isC) {
            SetNibbles(candidate, 3, {PutByteC, PutByteC, PutByteC});
        } else if (r == 3 && isD) {
            SetNibbles(candidate, 3, {PutByteD, PutByteD, PutByteD});
        } else if (r == 4 && isC) {
            SetNibbles(candidate, 4, {PutByteC, PutByteC, RepeatWord});
        } else if (r == 4 && isD) {
            SetNibbles(candidate, 4, {PutByteD, PutByteD, RepeatWord});
        } else {
            SetNibbles(candidate, r, {RunOfByte, countNibble, High(v), Low(v)});
        }
    }
    return candidate;
}

StreamEncoder::Candidate StreamEncoder::wordAt(int32_t position) const {
    Candidate candidate;
    if (position + 1 >= count_) {
        return candidate;
    }
    const uint32_t w = input_[position] | (static_cast<uint32_t>(input_[position + 1]) << 8);
    if (w == header_.wordW) {
        SetNibbles(candidate, 2, {PutWordW});
        return candidate;
    }
    for (int i = 0; i < kDictionarySize; ++i) {
        if (w == header_.dictionary[i]) {
            SetNibbles(candidate, 2, {PutDictWord, static_cast<uint32_t>(i)});
            break;
        }
    }
    return candidate;
}
