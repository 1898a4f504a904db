#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "encoder/bits.h"
#include "encoder/command_writer.h"
#include "encoder/literal_run.h"
#include "encoder/match_history.h"
#include "encoder/nibble_writer.h"
#include "format/stream_format.h"
#include "test_support.h"

namespace {

using namespace tessary;

std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> all;
    for (const std::vector<int>& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// Each byte as its two nibbles, high half first, as commands carry their arguments.
std::vector<int> ByteNibbles(const Bytes& bytes) {
    std::vector<int> nibbles;
    for (uint8_t byte : bytes) {
        nibbles.push_back(byte >> 4);
        nibbles.push_back(byte & 0xF);
    }
    return nibbles;
}

// What a CommandWriter has appended once end() has written the end marker after
// `nibbles`.
std::string EndedStream(const std::vector<int>& nibbles) {
    return HexBytes(PackNibbles(Join({nibbles, {0, 0}})));
}

TEST(NibbleWriterTest, FlushPacksHighNibbleFirstAfterWhatTheOutputHolds) {
    struct Case {
        const char* name;
        std::vector<uint32_t> nibbles;
        const char* expected;
    };
    const Case cases[] = {
        {"nothing pending", {}, ""},
        {"odd count pads the low half", {1, 2, 3, 4, 5}, "12 34 50"},
        {"single nibble", {0xF}, "F0"},
        {"even count", {0xA, 0xB, 0xC, 0xD}, "AB CD"},
        {"values above 15 keep their low 4 bits", {0x1A, 0xF3, 0x120}, "A3 00"},
        {"all bits set", {0xFFFFFFFF, 0xFFFFFFF0}, "F0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out = {0x5A};
        NibbleWriter writer(out);
        for (uint32_t nibble : c.nibbles) {
            writer.put(nibble);
        }
        writer.flush();
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(out[0], 0x5A);
        EXPECT_EQ(HexBytes(Bytes(out.begin() + 1, out.end())), c.expected);
    }
}

TEST(NibbleWriterTest, SixtyFourPendingWriteNothingAndTheNextWritesThirtyTwoBytes) {
    Bytes out;
    NibbleWriter writer(out);
    for (uint32_t i = 0; i < 64; ++i) {
        writer.put(i);
    }
    EXPECT_TRUE(out.empty());

    writer.put(0x7);
    Bytes expected;
    for (int j = 0; j < 32; ++j) {
        expected.push_back(static_cast<uint8_t>(((2 * j) & 0xF) << 4 | ((2 * j + 1) & 0xF)));
    }
    EXPECT_EQ(HexBytes(out), HexBytes(expected));

    writer.flush();  // the 65th nibble was kept pending
    ASSERT_EQ(out.size(), 33u);
    EXPECT_EQ(out[32], 0x70);
}

TEST(NibbleWriterTest, GrowsThirtyTwoBytesAtATimeAndNotAtAllOnAnEmptyFlush) {
    Bytes out;
    NibbleWriter writer(out);
    for (int put = 1; put <= 64 * 3 + 3; ++put) {
        writer.put(0xC);
        ASSERT_EQ(out.size(), static_cast<size_t>(32 * ((put - 1) / 64))) << "after put " << put;
    }
    writer.flush();
    writer.flush();
    EXPECT_EQ(out, Concat({Bytes(97, 0xCC), {0xC0}}));
}

TEST(NibbleWriterTest, DestructionDropsPendingNibbles) {
    Bytes out;
    {
        NibbleWriter writer(out);
        writer.put(1);
        writer.put(2);
    }
    EXPECT_TRUE(out.empty());
}

// One form of a command: what the writer is asked for, the nibbles it must write, and
// what stream_format.h says about that command. The encoders choose by those costs and
// the writer writes, so the two must not drift apart.
struct Form {
    std::string name;
    std::function<void(CommandWriter&)> write;
    std::vector<int> nibbles;
    Opcode formatOpcode;  // the command the format's functions name
    int formatNibbles;    // and what they say it costs
};

Form CopyForm(int length, int distance, std::vector<int> nibbles) {
    Opcode opcode = Opcode::Literals;
    const bool exists = CopyOpcode(length, distance, opcode);
    return {"copy of " + std::to_string(length) + " from " + std::to_string(distance),
            [=](CommandWriter& writer) { writer.copy(length, distance); }, std::move(nibbles),
            exists ? opcode : Opcode::Literals, CopyNibbles(length, distance)};
}

Form RunForm(Opcode opcode, int count, uint8_t value, std::vector<int> nibbles) {
    return {std::string(OpcodeName(opcode)) + " of " + std::to_string(count),
            [=](CommandWriter& writer) { writer.run(opcode, count, value); }, std::move(nibbles),
            opcode, CommandNibbles(opcode)};
}

Form LiteralsForm(const Bytes& bytes, std::vector<int> head) {
    const int count = static_cast<int>(bytes.size());
    return {std::to_string(count) + " literals",
            [=](CommandWriter& writer) { writer.literals(bytes.data(), count); },
            Join({head, ByteNibbles(bytes)}), LiteralOpcode(count), LiteralNibbles(count)};
}

Form SingleForm(Opcode opcode, int nibble) {
    return {OpcodeName(opcode),
            [=](CommandWriter& writer) { writer.single(opcode); },
            {nibble},
            opcode,
            CommandNibbles(opcode)};
}

Form DictionaryWordForm(int index) {
    return {"dictionary word " + std::to_string(index),
            [=](CommandWriter& writer) { writer.dictionaryWord(index); },
            {0xF, index},
            Opcode::PutDictWord,
            CommandNibbles(Opcode::PutDictWord)};
}

TEST(CommandWriterTest, WritesEachFormAsTheFormatCostsIt) {
    const Form forms[] = {
        // CopyWord: 2 bytes from 2..17 back, the distance less 2 in one nibble.
        CopyForm(2, 2, {0x9, 0x0}),
        CopyForm(2, 17, {0x9, 0xF}),
        // CopyNear: count - 3, then distance - count in a byte.
        CopyForm(3, 3, {0xA, 0x0, 0x0, 0x0}),
        CopyForm(3, 258, {0xA, 0x0, 0xF, 0xF}),
        CopyForm(18, 18, {0xA, 0xF, 0x0, 0x0}),
        CopyForm(18, 273, {0xA, 0xF, 0xF, 0xF}),
        // CopyMid: count - 3, then distance - 259 in three nibbles, up to 4354.
        CopyForm(3, 259, {0xB, 0x0, 0x0, 0x0, 0x0}),
        CopyForm(18, 274, {0xB, 0xF, 0x0, 0x0, 0xF}),
        CopyForm(4, 4354, {0xB, 0x1, 0xF, 0xF, 0xF}),
        // CopyFar: count - 3, then the distance in four nibbles.
        CopyForm(4, 4355, {0xC, 0x1, 0x1, 0x1, 0x0, 0x3}),
        CopyForm(18, 65535, {0xC, 0xF, 0xF, 0xF, 0xF, 0xF}),
        RunForm(Opcode::RunOfByte, 3, 0x41, {0x3, 0x0, 0x4, 0x1}),
        RunForm(Opcode::RunOfByte, 18, 0xFE, {0x3, 0xF, 0xF, 0xE}),
        RunForm(Opcode::RunOfFillA, 3, 0, {0x4, 0x0}),
        RunForm(Opcode::RunOfFillA, 18, 0, {0x4, 0xF}),
        RunForm(Opcode::RunOfFillB, 5, 0, {0x5, 0x2}),
        LiteralsForm({0xAB}, {0x1}),
        LiteralsForm({0xAB, 0xCD}, {0x2}),
        LiteralsForm({0x01, 0x02, 0x03}, {0x0, 0x3}),
        LiteralsForm(Sequence(0x10, 15), {0x0, 0xF}),
        SingleForm(Opcode::PutWordW, 0x6),
        SingleForm(Opcode::PutByteC, 0x7),
        SingleForm(Opcode::PutByteD, 0x8),
        SingleForm(Opcode::RepeatByte, 0xD),
        SingleForm(Opcode::RepeatWord, 0xE),
        DictionaryWordForm(0),
        DictionaryWordForm(15),
    };
    for (const Form& form : forms) {
        SCOPED_TRACE(form.name);
        Bytes out;
        CommandWriter writer(out);
        form.write(writer);
        writer.end();
        EXPECT_EQ(HexBytes(out), EndedStream(form.nibbles));
        EXPECT_EQ(form.nibbles.front(), static_cast<int>(Nibble(form.formatOpcode)));
        EXPECT_EQ(static_cast<int>(form.nibbles.size()), form.formatNibbles);
    }
}

TEST(CommandWriterTest, FormatKnowsNoCopyBeyondTheForms) {
    struct Case {
        int length;
        int distance;
    };
    const Case cases[] = {
        {2, 1}, {2, 18}, {3, 2}, {18, 17}, {1, 1}, {19, 19}, {3, 65536}, {18, 70000},
    };
    for (const Case& c : cases) {
        Opcode opcode = Opcode::Literals;
        EXPECT_FALSE(CopyOpcode(c.length, c.distance, opcode))
            << "copy of " << c.length << " from " << c.distance;
        EXPECT_EQ(CopyNibbles(c.length, c.distance), 0)
            << "copy of " << c.length << " from " << c.distance;
    }
}

TEST(LiteralRunTest, FlushWritesTheShortestLiteralForm) {
    struct Case {
        const char* name;
        Bytes bytes;
        std::vector<int> head;  // the nibbles before the bytes
    };
    const Case cases[] = {
        {"none pending", {}, {}},
        {"one byte is Literal1", {0xAB}, {0x1}},
        {"two bytes are Literal2", {0xAB, 0xCD}, {0x2}},
        {"three bytes are Literals", {0x01, 0x02, 0x03}, {0x0, 0x3}},
        {"zero bytes keep their nibbles", {0x00, 0x00, 0x00, 0x00}, {0x0, 0x4}},
        {"fifteen bytes", Sequence(0x10, 15), {0x0, 0xF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out;
        CommandWriter writer(out);
        LiteralRun run(writer);
        for (uint8_t byte : c.bytes) {
            run.add(byte);
        }
        run.flush();
        writer.end();
        EXPECT_EQ(HexBytes(out), EndedStream(Join({c.head, ByteNibbles(c.bytes)})));
    }
}

// A command written straight through the writer after the sixteenth byte lands after the
// first fifteen and before the sixteenth.
TEST(LiteralRunTest, SixteenthByteFlushesFifteenAndIsHeldAlone) {
    Bytes out;
    CommandWriter writer(out);
    LiteralRun run(writer);
    for (int i = 0; i < 16; ++i) {
        run.add(static_cast<uint8_t>(0x10 + i));
    }
    writer.single(Opcode::PutByteC);
    run.flush();
    run.flush();  // nothing left for a second flush
    writer.end();
    EXPECT_EQ(
        HexBytes(out),
        EndedStream(Join({{0x0, 0xF}, ByteNibbles(Sequence(0x10, 15)), {0x7, 0x1, 0x1, 0xF}})));
}

TEST(LiteralRunTest, FollowsEarlierNibblesWithoutRealigning) {
    Bytes out;
    CommandWriter writer(out);
    LiteralRun run(writer);
    writer.single(Opcode::PutByteC);
    run.add(0x41);
    run.add(0x42);
    run.add(0x43);
    run.flush();
    writer.end();
    EXPECT_EQ(HexBytes(out), "70 34 14 24 30 00");
}

TEST(BitsTest, CountTrailingZeros) {
    for (int bit = 0; bit < 32; ++bit) {
        EXPECT_EQ(CountTrailingZeros(uint32_t{1} << bit), bit) << "bit " << bit;
        EXPECT_EQ(CountTrailingZeros(~uint32_t{0} << bit), bit) << "bits from " << bit;
    }
    struct Case {
        uint32_t value;
        int zeros;
    };
    const Case cases[] = {
        {0x00000006, 1}, {0x80000100, 8}, {0x0000F000, 12}, {0x00050000, 16}, {0xC0000000, 30},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CountTrailingZeros(c.value), c.zeros) << std::hex << c.value;
    }
}

// Ring tests give every entry its own following bytes; the key is what the current position
// is followed by.
void Add(HistoryRing& ring, int32_t source, const Bytes& following) {
    ring.add(source, following.data(), static_cast<int32_t>(following.size()));
}

RingMatch Find(const HistoryRing& ring, const Bytes& key) {
    return ring.find(key.data(), static_cast<int32_t>(key.size()));
}

TEST(HistoryRingTest, EmptyRingAnswersEmpty) {
    HistoryRing ring;
    EXPECT_EQ(Find(ring, Bytes{1, 2, 3}).count, kEmptyRing);
    EXPECT_EQ(Find(ring, {}).count, kEmptyRing);
}

TEST(HistoryRingTest, AgreementCountsLeadingBytesOnly) {
    struct Case {
        const char* name;
        Bytes following;
        Bytes key;
        int32_t count;
    };
    const Case cases[] = {
        {"differs at once", Bytes{1, 2, 3}, Bytes{9, 2, 3}, 0},
        {"differs in the middle", Bytes{1, 2, 3, 4}, Bytes{1, 2, 9, 4}, 2},
        {"key shorter than the entry", Bytes{1, 2, 3, 4}, Bytes{1, 2}, 2},
        {"empty key", Bytes{1, 2}, {}, 0},
        {"at most 17 bytes", Bytes{5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5},
         Bytes{5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5}, 17},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HistoryRing ring;
        Add(ring, 42, c.following);
        const RingMatch match = Find(ring, c.key);
        EXPECT_EQ(match.count, c.count);
        if (c.count >= 1) {
            EXPECT_EQ(match.source, 42);
        }
    }
}

TEST(HistoryRingTest, NewestWinsTiesAndOnlyLongerReplacesIt) {
    HistoryRing ring;
    Add(ring, 10, Bytes{1, 2, 3, 4});
    Add(ring, 20, Bytes{1, 2, 3, 9});
    Add(ring, 30, Bytes{1, 2, 3, 8});
    Add(ring, 40, Bytes{1, 7});
    EXPECT_EQ(Find(ring, Bytes{1, 2, 3, 5}).source, 30);
    EXPECT_EQ(Find(ring, Bytes{1, 2, 3, 5}).count, 3);
    EXPECT_EQ(Find(ring, Bytes{1, 2, 3, 4}).source, 10);
    EXPECT_EQ(Find(ring, Bytes{1, 2, 3, 4}).count, 4);
    EXPECT_EQ(Find(ring, Bytes{1, 6}).source, 40);
}

// One entry agrees on two bytes; every other entry disagrees at once.
TEST(HistoryRingTest, FullRingNeverComparesItsOldestEntry) {
    struct Case {
        const char* name;
        int before;  // disagreeing entries added before the agreeing one
        int after;   // disagreeing entries added after it
        bool found;
    };
    const Case cases[] = {
        {"alone", 0, 0, true},
        {"oldest of 255: every entry is compared", 0, 254, true},
        {"oldest of a full ring", 0, 255, false},
        {"second oldest of a full ring", 1, 254, true},
        {"overwritten", 0, 256, false},
        {"oldest again after wrapping", 256, 255, false},
        {"newest after wrapping", 300, 0, true},
        {"compared after the scan wraps from slot 0 to slot 255", 255, 10, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HistoryRing ring;
        int32_t source = 0;
        for (int i = 0; i < c.before; ++i) {
            Add(ring, source++, Bytes{9, 9});
        }
        const int32_t agreeing = source++;
        Add(ring, agreeing, Bytes{1, 2});
        for (int i = 0; i < c.after; ++i) {
            Add(ring, source++, Bytes{9, 9});
        }
        const RingMatch match = Find(ring, Bytes{1, 2});
        if (c.found) {
            EXPECT_EQ(match.count, 2);
            EXPECT_EQ(match.source, agreeing);
        } else {
            EXPECT_EQ(match.count, 0);
        }
    }
}

struct HistoryCase {
    const char* name;
    Bytes input;
    int32_t recorded;  // positions 0 .. recorded-1 are in the history
    int32_t position;
    int32_t length;
    int32_t source;  // checked when length >= 2
};

TEST(MatchHistoryTest, FindsTheLongestEarlierAgreement) {
    const Bytes twenty(20, 0x41);
    const HistoryCase cases[] = {
        {"nothing recorded with that byte", Bytes{0x41, 0x42}, 1, 1, 0, 0},
        {"same first byte only", Bytes{0x41, 0x42, 0x41, 0x43}, 2, 2, 1, 0},
        {"last position compares no following byte", Bytes{0x41, 0x42, 0x41}, 2, 2, 1, 0},
        {"k bytes after the position allow k + 1", twenty, 10, 10, 10, 9},
        {"not clipped to the distance", twenty, 1, 1, 18, 0},
        {"at most 18", Bytes{7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7}, 2,
         2, 18, 1},
        {"longer older entry beats a newer one",
         Bytes{0x41, 0x42, 0x43, 0x41, 0x42, 0x44, 0x41, 0x42, 0x43}, 6, 6, 3, 0},
        {"equal agreement goes to the newer",
         Bytes{0x41, 0x42, 0x43, 0x41, 0x42, 0x44, 0x41, 0x42, 0x45}, 6, 6, 2, 3},
    };
    for (const HistoryCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int32_t count = static_cast<int32_t>(c.input.size());
        MatchHistory history(c.input.data());
        for (int32_t q = 0; q < c.recorded; ++q) {
            history.add(q, count - q);
        }
        const HistoryMatch match = history.find(c.position, count - c.position);
        EXPECT_EQ(match.length, c.length);
        if (c.length >= 2) {
            EXPECT_EQ(match.source, c.source);
        }
    }
}

TEST(MatchHistoryTest, KeepsOneRingPerFirstByte) {
    // 300 positions of byte 0x50 fill its ring; byte 0x60's single entry stays findable.
    Bytes input;
    input.push_back(0x60);
    input.push_back(0x61);
    for (int i = 0; i < 300; ++i) {
        input.push_back(0x50);
        input.push_back(static_cast<uint8_t>(0x80 + i % 64));
    }
    input.push_back(0x60);
    input.push_back(0x61);
    const int32_t count = static_cast<int32_t>(input.size());
    MatchHistory history(input.data());
    for (int32_t q = 0; q + 2 < count; ++q) {
        history.add(q, count - q);
    }
    const HistoryMatch match = history.find(count - 2, 2);
    EXPECT_EQ(match.length, 2);
    EXPECT_EQ(match.source, 0);
}

}  // namespace
