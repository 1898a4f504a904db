#include "encoder/optimal_encoder.h"

#include <algorithm>
#include <limits>

#include "encoder/bits.h"
#include "encoder/command_writer.h"
#include "encoder/nearest_matches.h"
#include "format/stream_format.h"

namespace tessary {

namespace {

// Stands for a path that does not exist; twice it still fits, so inputs up to 2^28 bytes.
constexpr int32_t kUnreachable = int32_t{1} << 29;

// The cheapest literal command by length, up to the longest run or copy so that one loop
// can go over all lengths.
struct LiteralCosts {
    int32_t nibbles[kMaxCount + 1] = {};
    constexpr LiteralCosts() {
        for (int32_t length = 1; length <= kMaxCount; ++length) {
            nibbles[length] = length <= kMaxLiterals ? LiteralNibbles(length) : kUnreachable;
        }
    }
};
constexpr LiteralCosts kLiteralCosts;
constexpr const int32_t* kLiteralCost = kLiteralCosts.nibbles;

constexpr int32_t Cost(Opcode opcode) {
    return CommandNibbles(opcode);
}
// The backward pass takes these as one cost each.
static_assert(Cost(Opcode::PutByteC) == Cost(Opcode::PutByteD) &&
                  Cost(Opcode::PutByteC) == Cost(Opcode::RepeatByte),
              "one byte from the header or from just behind");
static_assert(Cost(Opcode::PutWordW) == Cost(Opcode::RepeatWord) &&
                  Cost(Opcode::CopyWord) == Cost(Opcode::PutDictWord),
              "two bytes from the header or from behind");
static_assert(Cost(Opcode::RunOfFillA) == Cost(Opcode::RunOfFillB), "either fill byte");

// The lowest index, so equal entries always give the same stream; -1 when absent.
int32_t DictionaryIndex(const MapHeader& header, uint32_t word) {
    for (int32_t i = 0; i < kDictionarySize; ++i) {
        if (header.dictionary[i] == word) {
            return i;
        }
    }
    return -1;
}

}  // namespace

// The cheapest of the costs over any 1 to 16 positions in a row among those settled last,
// from the minimums over 1, 2, 4 and 8 positions from each, the way a sparse table finds
// them; and the same for the costs plus twice the position, which price literal commands
// of every length at once. Costs are settled backwards, and each position looks at most 18
// ahead, so the last 32 are enough.
class OptimalEncoder::SettledCosts {
  public:
    SettledCosts() {
        for (Mins& mins : window_) {
            for (int32_t level = 0; level < kLevels; ++level) {
                mins.cost[level] = kUnreachable;
                mins.literal[level] = 2 * kUnreachable;
            }
        }
    }

    // Call for each position from the last on, once `cost[position]` is known.
    void settle(int32_t position, const int32_t* cost) {
        Mins& mins = at(position);
        mins.cost[0] = cost[position];
        mins.literal[0] = cost[position] + 2 * position;
        for (int32_t level = 1; level < kLevels; ++level) {
            const Mins& after = at(position + (1 << (level - 1)));
            mins.cost[level] = std::min(mins.cost[level - 1], after.cost[level - 1]);
            mins.literal[level] = std::min(mins.literal[level - 1], after.literal[level - 1]);
        }
    }

    // The least cost of the positions `from` to `to`, at most 16 of them.
    int32_t cheapest(int32_t from, int32_t to) const {
        const int32_t level = kLevelOf[to - from + 1];
        return std::min(at(from).cost[level], at(to - (1 << level) + 1).cost[level]);
    }

    // The least cost of a literal command of 3 to 15 bytes from `position` and the rest.
    int32_t cheapestLiterals(int32_t position) const {
        constexpr int32_t kFirst = kCountBias;
        constexpr int32_t kLevel = 3;
        static_assert(kMaxLiterals - kFirst + 1 <= 2 << kLevel, "one pair of eights covers them");
        static_assert(LiteralNibbles(kFirst) == 2 + 2 * kFirst &&
                          LiteralNibbles(kMaxLiterals) == 2 + 2 * kMaxLiterals,
                      "two nibbles per literal byte, and two more");
        const int32_t least =
            std::min(at(position + kFirst).literal[kLevel],
                     at(position + kMaxLiterals - (1 << kLevel) + 1).literal[kLevel]);
        return 2 + least - 2 * position;
    }

  private:
    static constexpr int32_t kLevels = 4;
    static constexpr int32_t kSize = 32;
    static constexpr int32_t kLevelOf[17] = {0, 0, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3};

    struct Mins {
        int32_t cost[kLevels];
        int32_t literal[kLevels];
    };
    Mins& at(int32_t position) { return window_[position & (kSize - 1)]; }
    const Mins& at(int32_t position) const { return window_[position & (kSize - 1)]; }

    Mins window_[kSize];
};

OptimalEncoder::OptimalEncoder(std::vector<uint8_t>& out, const uint8_t* input, int32_t count,
                               const MapHeader& header)
    : out_(out), input_(input), count_(std::max(count, 0)), header_(header) {}

// Shortest path over the positions, backwards so that every command leads to a position
// already settled; then forwards along it, settling each step again the same way.
size_t OptimalEncoder::encode() {
    const size_t start = out_.size();
    const NearestMatches matches(input_, count_);
    dictionaryWords_.assign(0x10000 / 64, 0);
    for (uint16_t word : header_.dictionary) {
        dictionaryWords_[word >> 6] |= uint64_t{1} << (word & 63);
    }
    // Past the end nothing is reachable, so no command needs to check that it fits.
    cost_.assign(static_cast<size_t>(count_) + kMaxCount + 1, kUnreachable);
    cost_[static_cast<size_t>(count_)] = 0;
    SettledCosts settled;
    for (int32_t p = count_ + kMaxCount; p >= count_; --p) {
        settled.settle(p, cost_.data());
    }
    int32_t run = 0;
    for (int32_t p = count_ - 1; p >= 0; --p) {
        run = p + 1 < count_ && input_[p + 1] == input_[p] ? std::min(run + 1, kMaxCount) : 1;
        cost_[static_cast<size_t>(p)] = cheapestCost(p, run, matches.reach(p), settled);
        settled.settle(p, cost_.data());
    }
    nibbles_ = static_cast<int64_t>(cost_[0]) + kEndNibbles;

    CommandWriter writer(out_);
    for (int32_t p = 0; p < count_;) {
        run = 1;
        while (run < kMaxCount && p + run < count_ && input_[p + run] == input_[p]) {
            ++run;
        }
        const Choice choice = cheapestAt(p, run, matches);
        putCommand(writer, p, choice, matches);
        p += choice.length;
    }
    writer.end();
    return out_.size() - start;
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
int32_t OptimalEncoder::cheapestCost(int32_t p, int32_t run, const NearestMatches::Reach& reach,
                                     const SettledCosts& settled) const {
    const int32_t* const cost = cost_.data() + p;
    const uint8_t byte = input_[p];
    const bool single = byte == header_.singleByteC || byte == header_.singleByteD ||
                        (p >= 1 && input_[p - 1] == byte);
    int32_t best = (single ? Cost(Opcode::PutByteC) : kLiteralCost[1]) + cost[1];
    if (p + 1 < count_) {
        const uint8_t next = input_[p + 1];
        const uint32_t word = byte | next << 8;
        int32_t pair = kLiteralCost[2];
        if (word == header_.wordW || (p >= 2 && input_[p - 2] == byte && input_[p - 1] == next)) {
            pair = Cost(Opcode::PutWordW);
        } else if ((reach.near >> kMinMatchLength & 1) ||
                   (dictionaryWords_[word >> 6] >> (word & 63) & 1)) {
            pair = Cost(Opcode::PutDictWord);
        }
        best = std::min(best, pair + cost[2]);
    }
    best = std::min(best, settled.cheapestLiterals(p));
    // Runs, and copies within a reach, cost the same for every length from 3 up to some
    // longest, so the cheapest way on from any of those lengths is all they need.
    auto cheapestFrom = [&settled, p](int32_t longest) {
        return settled.cheapest(p + kCountBias, p + longest);
    };
    const bool fill = byte == header_.fillByteA || byte == header_.fillByteB;
    if (run >= kCountBias) {
        best =
            std::min(best, Cost(fill ? Opcode::RunOfFillA : Opcode::RunOfByte) + cheapestFrom(run));
    }
    if (reach.far >= kCountBias) {
        best = std::min(best, Cost(Opcode::CopyFar) + cheapestFrom(reach.far));
    }
    if (reach.mid >= kCountBias) {
        best = std::min(best, Cost(Opcode::CopyMid) + cheapestFrom(reach.mid));
    }
    // CopyNear's lengths usually run from 3 on without a gap; any others one by one.
    uint32_t near = reach.near >> kCountBias;
    if (near & 1) {
        const int32_t lengths = CountTrailingZeros(~near);
        best = std::min(best, Cost(Opcode::CopyNear) + cheapestFrom(kCountBias + lengths - 1));
        near &= ~((uint32_t{1} << lengths) - 1);
    }
    while (near != 0) {
        best = std::min(best, Cost(Opcode::CopyNear) + cost[kCountBias + CountTrailingZeros(near)]);
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
        offer(Cost(fill ? Opcode::RunOfFillA : Opcode::RunOfByte), length,
              kRunRank + kMaxCount - length);
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
            offer(Cost(Opcode::PutWordW), 2, kPutWordWRank);
        }
        if (p >= 2 && input_[p - 2] == byte && input_[p - 1] == next) {
            offer(Cost(Opcode::RepeatWord), 2, kRepeatWordRank);
        }
        const uint32_t word = byte | next << 8;
        if (dictionaryWords_[word >> 6] >> (word & 63) & 1) {
            offer(Cost(Opcode::PutDictWord), 2, kPutDictWordRank);
        }
    }
    if (byte == header_.singleByteC) {
        offer(Cost(Opcode::PutByteC), 1, kPutByteCRank);
    }
    if (byte == header_.singleByteD) {
        offer(Cost(Opcode::PutByteD), 1, kPutByteDRank);
    }
    if (p >= 1 && input_[p - 1] == byte) {
        offer(Cost(Opcode::RepeatByte), 1, kRepeatByteRank);
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

void OptimalEncoder::putCommand(CommandWriter& writer, int32_t p, const Choice& choice,
                                const NearestMatches& matches) const {
    const int32_t length = choice.length;
    switch (choice.step) {
        case kLiteral:
            writer.literals(input_ + p, length);
            break;
        case kRunOfFillA:
            writer.run(Opcode::RunOfFillA, length);
            break;
        case kRunOfFillB:
            writer.run(Opcode::RunOfFillB, length);
            break;
        case kRunOfByte:
            writer.run(Opcode::RunOfByte, length, input_[p]);
            break;
        case kCopy:
            writer.copy(length, matches.distance(p, length));
            break;
        case kPutWordW:
            writer.single(Opcode::PutWordW);
            break;
        case kRepeatWord:
            writer.single(Opcode::RepeatWord);
            break;
        case kPutDictWord:
            writer.dictionaryWord(DictionaryIndex(header_, input_[p] | input_[p + 1] << 8));
            break;
        case kPutByteC:
            writer.single(Opcode::PutByteC);
            break;
        case kPutByteD:
            writer.single(Opcode::PutByteD);
            break;
        case kRepeatByte:
            writer.single(Opcode::RepeatByte);
            break;
    }
}

}  // namespace tessary
