#include "encoder/stream_encoder.h"

#include "format/stream_format.h"

namespace tessary {

namespace {

// The greedy packing never uses CopyWord's farthest distance, 17: keeping that rule keeps
// its streams byte for byte what they have always been.
constexpr int32_t kGreedyCopyWordReach = kMaxCopyWordDistance - 1;

// Up to three equal header bytes are written one by one; four are two, then the word they
// make repeated.
constexpr int32_t SinglesBeforeRepeat(int32_t length) {
    return length == 4 ? 2 : length;
}

// Compares length/cost values exactly, without division.
template <typename A, typename B>
bool WorthMore(const A& a, const B& b) {
    return a.length * b.cost > b.length * a.cost;
}

struct Value {
    int32_t length;
    int32_t cost;
};

// Whether `candidate` is worth at least as much as any back-reference from a position with
// `available` bytes left: the best is 18 bytes for 4 nibbles (CopyNear), or 2 bytes for 1
// (RepeatWord). Ties go against the back-reference, so then no lookup can change the choice.
template <typename C>
bool OutdoesAnyCopy(const C& candidate, int32_t available) {
    const Value longestCopy{available < kMaxCount ? available : kMaxCount,
                            CommandNibbles(Opcode::CopyNear)};
    const Value repeatWord{kCopyWordLength, CommandNibbles(Opcode::RepeatWord)};
    return !WorthMore(longestCopy, candidate) && !WorthMore(repeatWord, candidate);
}

}  // namespace

StreamEncoder::StreamEncoder(std::vector<uint8_t>& out, const uint8_t* input, int32_t count,
                             const MapHeader& header)
    : out_(out),
      header_(header),
      input_(input),
      count_(count),
      writer_(out),
      literals_(writer_),
      history_(input) {
    wordStarts_.set(header.wordW & 0xFF);
    for (uint16_t word : header.dictionary) {
        wordStarts_.set(word & 0xFF);
    }
}

size_t StreamEncoder::encode() {
    const size_t start = out_.size();
    int32_t position = 0;
    while (position < count_) {
        const Candidate run = runAt(position);
        const Candidate word = wordAt(position);
        const Candidate reference =
            OutdoesAnyCopy(run, count_ - position) || OutdoesAnyCopy(word, count_ - position)
                ? Candidate{}
                : backReferenceAt(position);

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
            write(*chosen);
            consumed = chosen->length;
        } else {
            literals_.add(input_[position]);
        }
        if (position + consumed < count_) {
            history_.prefetch(position + consumed);
        }
        // A position enters the history only after its own command is chosen, so a lookup
        // never finds the position itself.
        for (int32_t end = position + consumed; position < end; ++position) {
            history_.add(position, count_ - position);
        }
    }
    literals_.flush();
    writer_.end();
    return out_.size() - start;
}

void StreamEncoder::write(const Candidate& candidate) {
    switch (candidate.form) {
        case Form::Copy:
            if (candidate.length == 2 && candidate.distance == 2) {
                writer_.single(Opcode::RepeatWord);
            } else {
                writer_.copy(candidate.length, candidate.distance);
            }
            return;
        case Form::Run:
            writer_.run(candidate.opcode, candidate.length, candidate.value);
            return;
        case Form::Singles:
            for (int32_t i = 0; i < SinglesBeforeRepeat(candidate.length); ++i) {
                writer_.single(candidate.opcode);
            }
            if (candidate.length == 4) {
                writer_.single(Opcode::RepeatWord);
            }
            return;
        case Form::ByteTwice:
            writer_.literals(&candidate.value, 1);
            writer_.single(Opcode::RepeatByte);
            return;
        case Form::HeaderWord:
            if (candidate.opcode == Opcode::PutWordW) {
                writer_.single(Opcode::PutWordW);
            } else {
                writer_.dictionaryWord(candidate.value);
            }
            return;
    }
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
    int32_t cost;
    if (length == 2 && distance == 2) {
        cost = CommandNibbles(Opcode::RepeatWord);
    } else if (length == 2 && distance > kGreedyCopyWordReach) {
        cost = 0;
    } else {
        cost = CopyNibbles(length, distance);
    }
    if (cost != 0) {
        candidate.length = length;
        candidate.cost = cost;
        candidate.form = Form::Copy;
        candidate.distance = distance;
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
    candidate.value = v;
    // The fill bytes only pay from three bytes on; the single bytes only up to four.
    if (r >= kMinCount && (isA || isB)) {
        candidate.form = Form::Run;
        candidate.opcode = isA ? Opcode::RunOfFillA : Opcode::RunOfFillB;
    } else if (r <= 4 && (isC || isD)) {
        candidate.form = Form::Singles;
        candidate.opcode = isC ? Opcode::PutByteC : Opcode::PutByteD;
    } else if (r >= kMinCount) {
        candidate.form = Form::Run;
        candidate.opcode = Opcode::RunOfByte;
    } else if (r == 2) {
        candidate.form = Form::ByteTwice;
    } else {
        return candidate;
    }
    candidate.length = r;
    switch (candidate.form) {
        case Form::Run:
            candidate.cost = CommandNibbles(candidate.opcode);
            break;
        case Form::Singles:
            candidate.cost = SinglesBeforeRepeat(r) * CommandNibbles(candidate.opcode) +
                             (r == 4 ? CommandNibbles(Opcode::RepeatWord) : 0);
            break;
        default:
            candidate.cost = LiteralNibbles(1) + CommandNibbles(Opcode::RepeatByte);
            break;
    }
    return candidate;
}

StreamEncoder::Candidate StreamEncoder::wordAt(int32_t position) const {
    Candidate candidate;
    if (position + 1 >= count_ || !wordStarts_[input_[position]]) {
        return candidate;
    }
    const uint32_t w = input_[position] | (static_cast<uint32_t>(input_[position + 1]) << 8);
    candidate.form = Form::HeaderWord;
    if (w == header_.wordW) {
        candidate.opcode = Opcode::PutWordW;
    } else {
        int i = 0;
        while (i < kDictionarySize && w != header_.dictionary[i]) {
            ++i;
        }
        if (i == kDictionarySize) {
            return candidate;
        }
        candidate.opcode = Opcode::PutDictWord;
        candidate.value = static_cast<uint8_t>(i);
    }
    candidate.length = 2;
    candidate.cost = CommandNibbles(candidate.opcode);
    return candidate;
}

}  // namespace tessary
