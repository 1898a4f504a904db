#include "optimal_encoder.h"

#include <algorithm>
#include <limits>

#include "nearest_matches.h"
#include "nibble_writer.h"
#include "stream_format.h"

namespace {

// Stands for a path that does not exist; twice it still fits, so inputs up to 2^28 bytes.
constexpr int32_t kUnreachable = int32_t{1} << 29;

// By length; Literals with a count of 1 or 2 costs a nibble more than Literal1 or Literal2.
// Up to the longest run or copy, so that one loop can go over all lengths.
constexpr int32_t kLiteralCost[kMaxCount + 1] = {
    0,  3,  5,  8,  10, 12, 14,           16,           18,          20,
    22, 24, 26, 28, 30, 32, kUnreachable, kUnreachable, kUnreachable};
static_assert(kMaxLiterals == 15, "literal costs are listed up to 15 bytes");

// The lowest index, so equal entries always give the same stream; -1 when absent.
int32_t DictionaryIndex(const MapHeader& header, uint32_t word) {
    for (int32_t i = 0; i < kDictionarySize; ++i) {
        if (header.dictionary[i] == word) {
            return i;
        }
    }
    return -1;
}

void PutByte(NibbleWriter& writer, uint32_t byte) {
    writer.put(byte >> 4);
    writer.put(byte);
}

}  // namespace

OptimalEncoder::OptimalEncoder(std::ostream& out, const uint8_t* input, int32_t count,
                               const MapHeader& header)
    : out_(out), input_(input), count_(std::max(count, 0)), header_(header) {}

// Shortest path over the positions, backwards so that every command leads to a position
// already settled; then forwards along it, settling each step again the same way.
bool OptimalEncoder::encode() {
    const NearestMatches matches(input_, count_);
    dictionaryWords_.assign(0x10000 / 64, 0);
    for (uint16_t word : header_.dictionary) {
        dictionaryWords_[word >> 6] |= uint64_t{1} << (word & 63);
    }
    // Past the end nothing is reachable, so no command needs to check that it fits.
    cost_.assign(static_cast<size_t>(count_) + kMaxCount + 1, kUnreachable);
    cost_[static_cast<size_t>(count_)] = 0;
    int32_t run = 0;
    for (int32_t p = count_ - 1; p >= 0; --p) {
        run = p + 1 < count_ && input_[p + 1] == input_[p] ? std::min(run + 1, kMaxCount) : 1;
        cost_[static_cast<size_t>(p)] = cheapestCost(p, run, matches.reach(p));
    }
    nibbles_ = static_cast<int64_t>(cost_[0]) + 2;

    NibbleWriter writer(out_);
    for (int32_t p = 0; p < count_;) {
        run = 1;
        while (run < kMaxCount && p + run < count_ && input_[p + run] == input_[p]) {
            ++run;
        }
        const Choice choice = cheapestAt(p, run, matches);
        putCommand(writer, p, choice, matches);
        p += choice.length;
    }
    writer.put(End);
    writer.put(0);
    writer.flush();
    return true;
}

// Every candidate is a key: its total nibbles, then a rank that settles ties, so that the
// smallest key wins. Ranks: runs, copies, words, single bytes, literals; among runs, copies
// and literals the longest first.
namespace {

constexpr uint32_t kRankBits = 6;
constexpr uint32_t kRunRank = 0;  // + kMaxCount - length
constexpr uint32_t kCopyRank = kRunRank + kMaxCount - kCountBias + 1;
constexpr uint32_t kPutWordWRank = kCopyRank + kMaxMatchLength - kMinMatchLength + 1;
constexpr uint32_t kRepeatWordRank = kPutWordWRank + 1;
constexpr uint32_t kPutDictWordRank = kRepeatWordRank + 1;
constexpr uint32_t kPutByteCRank = kPutDictWordRank + 1;
constexpr uint32_t kPutByteDRank = kPutByteCRank + 1;
constexpr uint32_t kRepeatByteRank = kPutByteDRank + 1;
constexpr uint32_t kLiteralRank = kRepeatByteRank + 1;  // + kMaxLiterals - length
static_assert(kLiteralRank + kMaxLiterals - 1 < (1u << kRankBits), "ranks must fit");

}  // namespace

// The same minimum as cheapestAt() gives, without settling ties.
int32_t OptimalEncoder::cheapestCost(int32_t p, int32_t run,
                                     const NearestMatches::Reach& reach) const {
    const int32_t* const cost = cost_.data() + p;
    const uint8_t byte = input_[p];
    const bool single = byte == header_.singleByteC || byte == header_.singleByteD ||
                        (p >= 1 && input_[p - 1] == byte);
    int32_t best = (single ? 1 : kLiteralCost[1]) + cost[1];
    if (p + 1 < count_) {
        const uint8_t next = input_[p + 1];
        const uint32_t word = byte | next << 8;
        int32_t pair = kLiteralCost[2];
        if (word == header_.wordW || (p >= 2 && input_[p - 2] == byte && input_[p - 1] == next)) {
            pair = 1;
        } else if ((reach.near >> kMinMatchLength & 1) ||
                   (dictionaryWords_[word >> 6] >> (word & 63) & 1)) {
            pair = 2;
        }
        best = std::min(best, pair + cost[2]);
    }
    // Runs, and copies within a reach, cost the same for every length from 3 up to some
    // longest, so the cheapest way on from any of those lengths is all they need.
    int32_t cheapestFrom[kMaxCount + 1];
    int32_t cheapest = kUnreachable;
    int32_t literal = kUnreachable;
    for (int32_t length = kCountBias; length <= kMaxCount; ++length) {
        cheapest = std::min(cheapest, cost[length]);
        cheapestFrom[length] = cheapest;
        literal = std::min(literal, kLiteralCost[length] + cost[length]);
    }
    best = std::min(best, literal);
    const bool fill = byte == header_.fillByteA || byte == header_.fillByteB;
    if (run >= kCountBias) {
        best = std::min(best, (fill ? 2 : 4) + cheapestFrom[run]);
    }
    if (reach.far >= kCountBias) {
        best = std::min(best, 6 + cheapestFrom[reach.far]);
    }
    if (reach.mid >= kCountBias) {
        best = std::min(best, 5 + cheapestFrom[reach.mid]);
    }
    // CopyNear's lengths usually run from 3 on without a gap; any others one by one.
    uint32_t near = reach.near >> kCountBias;
    if (near & 1) {
        const int32_t lengths = __builtin_ctz(~near);
        best = std::min(best, 4 + cheapestFrom[kCountBias + lengths - 1]);
        near &= ~((uint32_t{1} << lengths) - 1);
    }
    while (near != 0) {
        best = std::min(best, 4 + cost[kCountBias + __builtin_ctz(near)]);
        near &= near - 1;
    }
    return best;
}

OptimalEncoder::Choice OptimalEncoder::cheapestAt(int32_t p, int32_t run,
                                                  const NearestMatches& matches) const {
    const int32_t* const cost = cost_.data() + p;
    uint64_t best = std::numeric_limits<uint64_t>::max();
    auto offer = [&](int32_t nibbles, int32_t length, uint32_t rank) {
        const uint64_t total = static_cast<uint64_t>(nibbles + cost[length]);
        best = std::min(best, total << kRankBits | rank);
    };

    const uint8_t byte = input_[p];
    const bool fill = byte == header_.fillByteA || byte == header_.fillByteB;
    for (int32_t length = kCountBias; length <= run; ++length) {
        offer(fill ? 2 : 4, length, kRunRank + kMaxCount - length);
    }
    for (int32_t length = kMinMatchLength; length <= kMaxMatchLength; ++length) {
        const int32_t nibbles = matches.copyCost(p, length);
        if (nibbles > 0) {
            offer(nibbles, length, kCopyRank + kMaxMatchLength - length);
        }
    }
    if (p + 1 < count_) {
        const uint8_t next = input_[p + 1];
        if ((byte | next << 8) == header_.wordW) {
            offer(1, 2, kPutWordWRank);
        }
        if (p >= 2 && input_[p - 2] == byte && input_[p - 1] == next) {
            offer(1, 2, kRepeatWordRank);
        }
        const uint32_t word = byte | next << 8;
        if (dictionaryWords_[word >> 6] >> (word & 63) & 1) {
            offer(2, 2, kPutDictWordRank);
        }
    }
    if (byte == header_.singleByteC) {
        offer(1, 1, kPutByteCRank);
    }
    if (byte == header_.singleByteD) {
        offer(1, 1, kPutByteDRank);
    }
    if (p >= 1 && input_[p - 1] == byte) {
        offer(1, 1, kRepeatByteRank);
    }
    // The longest of the cheapest literal commands, found without branches.
    const int32_t literals = std::min(kMaxLiterals, count_ - p);
    int32_t literalTotal = std::numeric_limits<int32_t>::max();
    int32_t literalLength = 1;
    for (int32_t length = 1; length <= literals; ++length) {
        const int32_t total = kLiteralCost[length] + cost[length];
        const bool cheaper = total <= literalTotal;
        literalTotal = cheaper ? total : literalTotal;
        literalLength = cheaper ? length : literalLength;
    }
    offer(kLiteralCost[literalLength], literalLength, kLiteralRank + kMaxLiterals - literalLength);

    const uint32_t rank = static_cast<uint32_t>(best & ((1u << kRankBits) - 1));
    Choice choice{static_cast<int32_t>(best >> kRankBits), kLiteral, 1};
    if (rank < kCopyRank) {
        choice.step = byte == header_.fillByteA   ? kRunOfFillA
                      : byte == header_.fillByteB ? kRunOfFillB
                                                  : kRunOfByte;
        choice.length = kMaxCount - static_cast<int32_t>(rank - kRunRank);
    } else if (rank < kPutWordWRank) {
        choice.step = kCopy;
        choice.length = kMaxMatchLength - static_cast<int32_t>(rank - kCopyRank);
    } else if (rank < kLiteralRank) {
        const Step steps[] = {kPutWordW, kRepeatWord, kPutDictWord,
                              kPutByteC, kPutByteD,   kRepeatByte};
        choice.step = steps[rank - kPutWordWRank];
        choice.length = rank < kPutByteCRank ? 2 : 1;
    } else {
        choice.length = kMaxLiterals - static_cast<int32_t>(rank - kLiteralRank);
    }
    return choice;
}

void OptimalEncoder::putCommand(NibbleWriter& writer, int32_t p, const Choice& choice,
                                const NearestMatches& matches) const {
    const int32_t length = choice.length;
    const uint32_t countNibble = static_cast<uint32_t>(length - kCountBias);
    switch (choice.step) {
        case kLiteral:
            if (length > 2) {
                writer.put(Literals);
                writer.put(static_cast<uint32_t>(length));
            } else {
                writer.put(length == 1 ? Literal1 : Literal2);
            }
            for (int32_t i = 0; i < length; ++i) {
                PutByte(writer, input_[p + i]);
            }
            break;
        case kRunOfFillA:
            writer.put(RunOfFillA);
            writer.put(countNibble);
            break;
        case kRunOfFillB:
            writer.put(RunOfFillB);
            writer.put(countNibble);
            break;
        case kRunOfByte:
            writer.put(RunOfByte);
            writer.put(countNibble);
            PutByte(writer, input_[p]);
            break;
        case kCopy: {
            const uint32_t distance = static_cast<uint32_t>(matches.distance(p, length));
            if (length == 2) {
                writer.put(CopyWord);
                writer.put(distance - kCopyWordDistanceBias);
            } else if (distance <= static_cast<uint32_t>(length + kCopyNearReach)) {
                writer.put(CopyNear);
                writer.put(countNibble);
                PutByte(writer, distance - static_cast<uint32_t>(length));
            } else if (distance <= kMaxCopyMidDistance) {
                const uint32_t offset = distance - kCopyMidDistanceBias;
                writer.put(CopyMid);
                writer.put(countNibble);
                writer.put(offset >> 8);
                PutByte(writer, offset);
            } else {
                writer.put(CopyFar);
                writer.put(countNibble);
                PutByte(writer, distance >> 8);
                PutByte(writer, distance);
            }
            break;
        }
        case kPutWordW:
            writer.put(PutWordW);
            break;
        case kRepeatWord:
            writer.put(RepeatWord);
            break;
        case kPutDictWord:
            writer.put(PutDictWord);
            writer.put(
                static_cast<uint32_t>(DictionaryIndex(header_, input_[p] | input_[p + 1] << 8)));
            break;
        case kPutByteC:
            writer.put(PutByteC);
            break;
        case kPutByteD:
            writer.put(PutByteD);
            break;
        case kRepeatByte:
            writer.put(RepeatByte);
            break;
    }
}
