#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "literal_run.h"
#include "match_history.h"
#include "nibble_writer.h"

namespace {

std::string Hex(const std::string& bytes) {
    std::string text;
    char digits[4];
    for (unsigned char byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += text.empty() ? "" : " ";
        text += digits;
    }
    return text;
}

// Records the size of every block handed to the stream buffer.
class RecordingBuffer : public std::streambuf {
  public:
    std::vector<std::streamsize> writes;
    std::string bytes;

  protected:
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        writes.push_back(size);
        bytes.append(data, static_cast<size_t>(size));
        return size;
    }
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) {
            writes.push_back(1);
            bytes.push_back(static_cast<char>(c));
        }
        return c;
    }
};

struct NibbleCase {
    const char* name;
    std::vector<uint32_t> nibbles;
    const char* expected;
};

TEST(NibbleWriterTest, FlushPacksHighNibbleFirst) {
    const NibbleCase cases[] = {
        {"nothing pending", {}, ""},
        {"odd count pads the low half", {1, 2, 3, 4, 5}, "12 34 50"},
        {"single nibble", {0xF}, "F0"},
        {"even count", {0xA, 0xB, 0xC, 0xD}, "AB CD"},
        {"values above 15 keep their low 4 bits", {0x1A, 0xF3, 0x120}, "A3 00"},
        {"all bits set", {0xFFFFFFFF, 0xFFFFFFF0}, "F0"},
    };
    for (const NibbleCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::ostringstream out;
        NibbleWriter writer(out);
        for (uint32_t nibble : c.nibbles) {
            writer.put(nibble);
        }
        writer.flush();
        EXPECT_EQ(Hex(out.str()), c.expected);
    }
}

TEST(NibbleWriterTest, SixtyFourPendingWriteNothingAndTheNextWritesThirtyTwoBytes) {
    RecordingBuffer buffer;
    std::ostream out(&buffer);
    NibbleWriter writer(out);
    for (uint32_t i = 0; i < 64; ++i) {
        writer.put(i);
    }
    EXPECT_TRUE(buffer.writes.empty());

    writer.put(0x7);
    ASSERT_EQ(buffer.writes, std::vector<std::streamsize>{32});
    std::string expected;
    for (int j = 0; j < 32; ++j) {
        expected += static_cast<char>(((2 * j) & 0xF) << 4 | ((2 * j + 1) & 0xF));
    }
    EXPECT_EQ(Hex(buffer.bytes), Hex(expected));

    writer.flush();  // the 65th nibble was kept pending
    EXPECT_EQ(buffer.writes, (std::vector<std::streamsize>{32, 1}));
    EXPECT_EQ(Hex(buffer.bytes.substr(32)), "70");
}

TEST(NibbleWriterTest, WritesOneBlockPerBatchAndNothingForAnEmptyFlush) {
    RecordingBuffer buffer;
    std::ostream out(&buffer);
    NibbleWriter writer(out);
    for (int i = 0; i < 64 * 3 + 3; ++i) {
        writer.put(0xC);
    }
    writer.flush();
    writer.flush();
    EXPECT_EQ(buffer.writes, (std::vector<std::streamsize>{32, 32, 32, 2}));
    EXPECT_EQ(buffer.bytes.size(), 98u);
}

TEST(NibbleWriterTest, DestructionDropsPendingNibbles) {
    std::ostringstream out;
    {
        NibbleWriter writer(out);
        writer.put(1);
        writer.put(2);
    }
    EXPECT_EQ(out.str(), "");
}

struct LiteralCase {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* expected;  // after flushing the run and then the writer
};

std::string Sequence(int first, int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) {
        bytes += static_cast<char>(first + i);
    }
    return Hex(bytes);
}

TEST(LiteralRunTest, FlushWritesTheShortestLiteralForm) {
    const std::string fifteen = "0F " + Sequence(0x10, 15);
    const LiteralCase cases[] = {
        {"none pending", {}, ""},
        {"one byte is Literal1", {0xAB}, "1A B0"},
        {"two bytes are Literal2", {0xAB, 0xCD}, "2A BC D0"},
        {"three bytes are Literals", {0x01, 0x02, 0x03}, "03 01 02 03"},
        {"zero bytes keep their nibbles", {0x00, 0x00, 0x00, 0x00}, "04 00 00 00 00"},
        {"fifteen bytes",
         {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E},
         fifteen.c_str()},
    };
    for (const LiteralCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::ostringstream out;
        NibbleWriter writer(out);
        LiteralRun run(writer);
        for (uint8_t byte : c.bytes) {
            run.add(byte);
        }
        run.flush();
        writer.flush();
        EXPECT_EQ(Hex(out.str()), c.expected);
    }
}

TEST(LiteralRunTest, SixteenthByteFlushesFifteenAndIsHeldAlone) {
    std::ostringstream out;
    NibbleWriter writer(out);
    LiteralRun run(writer);
    for (int i = 0; i < 16; ++i) {
        run.add(static_cast<uint8_t>(0x10 + i));
    }
    writer.flush();
    EXPECT_EQ(Hex(out.str()), "0F " + Sequence(0x10, 15));

    run.flush();
    run.flush();  // nothing left for a second flush
    writer.flush();
    EXPECT_EQ(Hex(out.str().substr(16)), "11 F0");
}

TEST(LiteralRunTest, FollowsEarlierNibblesWithoutRealigning) {
    std::ostringstream out;
    NibbleWriter writer(out);
    LiteralRun run(writer);
    writer.put(0x7);
    run.add(0x41);
    run.add(0x42);
    run.add(0x43);
    run.flush();
    writer.flush();
    EXPECT_EQ(Hex(out.str()), "70 34 14 24 30");
}

// Ring tests give every entry its own following bytes; the key is what the current position
// is followed by.
std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values) {
        bytes.push_back(static_cast<uint8_t>(v));
    }
    return bytes;
}

void Add(HistoryRing& ring, int32_t source, const std::vector<uint8_t>& following) {
    ring.add(source, following.data(), static_cast<int32_t>(following.size()));
}

RingMatch Find(const HistoryRing& ring, const std::vector<uint8_t>& key) {
    return ring.find(key.data(), static_cast<int32_t>(key.size()));
}

TEST(HistoryRingTest, EmptyRingAnswersEmpty) {
    HistoryRing ring;
    EXPECT_EQ(Find(ring, Bytes({1, 2, 3})).count, kEmptyRing);
    EXPECT_EQ(Find(ring, {}).count, kEmptyRing);
}

TEST(HistoryRingTest, AgreementCountsLeadingBytesOnly) {
    struct Case {
        const char* name;
        std::vector<uint8_t> following;
        std::vector<uint8_t> key;
        int32_t count;
    };
    const Case cases[] = {
        {"differs at once", Bytes({1, 2, 3}), Bytes({9, 2, 3}), 0},
        {"differs in the middle", Bytes({1, 2, 3, 4}), Bytes({1, 2, 9, 4}), 2},
        {"key shorter than the entry", Bytes({1, 2, 3, 4}), Bytes({1, 2}), 2},
        {"empty key", Bytes({1, 2}), {}, 0},
        {"at most 17 bytes", Bytes({5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5}),
         Bytes({5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5}), 17},
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
    Add(ring, 10, Bytes({1, 2, 3, 4}));
    Add(ring, 20, Bytes({1, 2, 3, 9}));
    Add(ring, 30, Bytes({1, 2, 3, 8}));
    Add(ring, 40, Bytes({1, 7}));
    EXPECT_EQ(Find(ring, Bytes({1, 2, 3, 5})).source, 30);
    EXPECT_EQ(Find(ring, Bytes({1, 2, 3, 5})).count, 3);
    EXPECT_EQ(Find(ring, Bytes({1, 2, 3, 4})).source, 10);
    EXPECT_EQ(Find(ring, Bytes({1, 2, 3, 4})).count, 4);
    EXPECT_EQ(Find(ring, Bytes({1, 6})).source, 40);
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
            Add(ring, source++, Bytes({9, 9}));
        }
        const int32_t agreeing = source++;
        Add(ring, agreeing, Bytes({1, 2}));
        for (int i = 0; i < c.after; ++i) {
            Add(ring, source++, Bytes({9, 9}));
        }
        const RingMatch match = Find(ring, Bytes({1, 2}));
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
    std::vector<uint8_t> input;
    int32_t recorded;  // positions 0 .. recorded-1 are in the history
    int32_t position;
    int32_t length;
    int32_t source;  // checked when length >= 2
};

TEST(MatchHistoryTest, FindsTheLongestEarlierAgreement) {
    const std::vector<uint8_t> twenty(20, 0x41);
    const HistoryCase cases[] = {
        {"nothing recorded with that byte", Bytes({0x41, 0x42}), 1, 1, 0, 0},
        {"same first byte only", Bytes({0x41, 0x42, 0x41, 0x43}), 2, 2, 1, 0},
        {"last position compares no following byte", Bytes({0x41, 0x42, 0x41}), 2, 2, 1, 0},
        {"k bytes after the position allow k + 1", twenty, 10, 10, 10, 9},
        {"not clipped to the distance", twenty, 1, 1, 18, 0},
        {"at most 18", Bytes({7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7}), 2,
         2, 18, 1},
        {"longer older entry beats a newer one",
         Bytes({0x41, 0x42, 0x43, 0x41, 0x42, 0x44, 0x41, 0x42, 0x43}), 6, 6, 3, 0},
        {"equal agreement goes to the newer",
         Bytes({0x41, 0x42, 0x43, 0x41, 0x42, 0x44, 0x41, 0x42, 0x45}), 6, 6, 2, 3},
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
    std::vector<uint8_t> input;
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
