// Level operations on a ROM image and a packed level in memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "decoder/stream_decoder.h"
#include "format/map_header.h"
#include "level/pack_level.h"
#include "level/rom_levels.h"
#include "level/unpack_level.h"
#include "test_support.h"

using namespace tessary;

namespace {

Bytes HeaderBytes() {
    const MapHeaderBytes header = MapHeaderToBytes(PlainHeader());
    return Bytes(header.begin(), header.end());
}

// `before` filler, the header, the stream, then `after` filler.
Bytes RomImage(size_t before, const Bytes& stream, size_t after) {
    return Concat({Bytes(before, 0x55), HeaderBytes(), stream, Bytes(after, 0x77)});
}

struct GoodLevelCase {
    const char* name;
    size_t offset;
    size_t after;  // bytes in the image after the stream
};

class UnpackGoodLevel : public ::testing::TestWithParam<GoodLevelCase> {};

TEST_P(UnpackGoodLevel, GivesHeaderMapAndStreamEnd) {
    const GoodLevelCase& c = GetParam();
    const Bytes cells = MapCells(700, 3);
    const Bytes stream = EncodeBytes(cells, PlainHeader());
    const Bytes rom = RomImage(c.offset, stream, c.after);
    const UnpackedLevel level = UnpackLevel(rom.data(), rom.size(), static_cast<int64_t>(c.offset));
    ASSERT_EQ(level.status, UnpackStatus::Unpacked);
    EXPECT_EQ(Bytes(level.header.begin(), level.header.end()), HeaderBytes());
    EXPECT_EQ(level.map, cells);
    EXPECT_EQ(level.streamEnd, c.offset + kMapHeaderSize + stream.size());
    EXPECT_EQ(level.decode.status, DecodeStatus::Complete);
}

INSTANTIATE_TEST_SUITE_P(Offsets, UnpackGoodLevel,
                         ::testing::Values(GoodLevelCase{"AtTheStart", 0, 100},
                                           GoodLevelCase{"Inside", 1000, 100},
                                           GoodLevelCase{"StreamEndsTheImage", 1000, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UnpackLevel, NoHeaderWhereFewerThan38BytesAre) {
    const Bytes rom = RomImage(100, {0x00}, 0);  // 139 bytes
    const int64_t size = static_cast<int64_t>(rom.size());
    for (int64_t offset : {int64_t{-1}, INT64_MIN, size, size + 1, size - 37, INT64_MAX}) {
        const UnpackedLevel level = UnpackLevel(rom.data(), rom.size(), offset);
        EXPECT_EQ(level.status, UnpackStatus::NoHeader) << "offset " << offset;
        EXPECT_TRUE(level.map.empty()) << "offset " << offset;
    }
    EXPECT_EQ(UnpackLevel(rom.data(), rom.size(), size - 38).status, UnpackStatus::DecodeFailed);
}

struct BadStreamCase {
    const char* name;
    Bytes stream;
    size_t after;
    DecodeStatus status;
    size_t streamEnd;  // from the start of the stream
    uint32_t position;
    Opcode opcode;
};

class UnpackBadStream : public ::testing::TestWithParam<BadStreamCase> {};

TEST_P(UnpackBadStream, FailsWhereReadingStopped) {
    const BadStreamCase& c = GetParam();
    const size_t offset = 50;
    const Bytes rom = RomImage(offset, c.stream, c.after);
    const UnpackedLevel level = UnpackLevel(rom.data(), rom.size(), offset);
    ASSERT_EQ(level.status, UnpackStatus::DecodeFailed);
    EXPECT_EQ(Bytes(level.header.begin(), level.header.end()), HeaderBytes());
    EXPECT_TRUE(level.map.empty());
    EXPECT_EQ(level.streamEnd, offset + kMapHeaderSize + c.streamEnd);
    EXPECT_EQ(level.decode.status, c.status);
    EXPECT_EQ(level.decode.failure.position, c.position);
    EXPECT_EQ(level.decode.failure.opcode, c.opcode);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, UnpackBadStream,
    ::testing::Values(
        BadStreamCase{"CopyBeforeTheStart",
                      {0x12, 0x39, 0x00},
                      100,
                      DecodeStatus::BadLocation,
                      3,
                      1,
                      Opcode::CopyWord},
        BadStreamCase{"ImageEndsInTheStream",
                      {0x03, 0x41, 0x42},
                      0,
                      DecodeStatus::TruncatedInput,
                      3,
                      0,
                      Opcode::Literals},
        BadStreamCase{
            "HeaderEndsTheImage", {}, 0, DecodeStatus::TruncatedInput, 0, 0, Opcode::Literals},
        // 4096 fill runs of 16 bytes fill the game's buffer; one byte more does not fit.
        BadStreamCase{"MoreThanTheGameHolds", Concat({Bytes(4096, 0x4D), {0x70, 0x00}}), 100,
                      DecodeStatus::WriteOverflow, 4097, 0x10000, Opcode::PutByteC}),
    [](const auto& info) { return std::string(info.param.name); });

// The packed level is the header as given, then a stream that unpacks to the cells.
TEST(PackLevel, HeaderThenAStreamOfTheCells) {
    const Bytes header = HeaderBytes();
    for (const Bytes& cells : {Bytes{}, Bytes{0x42}, MapCells(1000, 7), MapCells(4096, 8)}) {
        for (Packing packing : {Packing::Greedy, Packing::Optimal}) {
            const PackedLevel level =
                PackLevel(header.data(), cells.data(), cells.size(), PackRequest{packing, -1});
            ASSERT_EQ(level.status, PackStatus::Packed);
            EXPECT_EQ(level.packing, packing);
            EXPECT_EQ(level.greedySize, 0u);
            ASSERT_GE(level.bytes.size(), header.size());
            EXPECT_EQ(Bytes(level.bytes.begin(), level.bytes.begin() + kMapHeaderSize), header);
            const Bytes stream(level.bytes.begin() + kMapHeaderSize, level.bytes.end());
            EXPECT_EQ(RoundTripProblem(stream, cells, PlainHeader()), "")
                << PackingName(packing) << ", " << cells.size() << " bytes";
            EXPECT_EQ(stream, EncodeBytes(cells, PlainHeader(), packing));
        }
    }
}

// Bytes that neither repeat nor match the header pack as literals only: exactly the size no
// packing of the map can exceed.
TEST(AllLiteralLevelSize, IsTheSizeOfAllLiterals) {
    const Bytes header = HeaderBytes();
    for (int count = 0; count <= 40; ++count) {
        const Bytes cells = Sequence(1, count);
        const PackedLevel level =
            PackLevel(header.data(), cells.data(), cells.size(), PackRequest{});
        EXPECT_EQ(level.bytes.size(), AllLiteralLevelSize(cells.size())) << count << " bytes";
    }
}

struct LimitCase {
    const char* name;
    Packing requested;
    Packing limitBase;  // the limit is this packing's size plus `limitDelta`
    int limitDelta;
    PackStatus status;
    Packing packing;
    bool greedySizeKept;
};

class PackLevelLimit : public ::testing::TestWithParam<LimitCase> {};

// A greedy packing over the limit is packed again optimally.
TEST_P(PackLevelLimit, TriesTheOptimalPackingOverTheLimit) {
    const LimitCase& c = GetParam();
    const Bytes header = HeaderBytes();
    const Bytes cells = MapCells(4096, 11);
    const size_t greedy = kMapHeaderSize + EncodeBytes(cells, PlainHeader()).size();
    const size_t optimal =
        kMapHeaderSize + EncodeBytes(cells, PlainHeader(), Packing::Optimal).size();
    ASSERT_LT(optimal + 1, greedy) << "the cases need an optimal packing shorter by two";
    const int64_t limit =
        static_cast<int64_t>(c.limitBase == Packing::Greedy ? greedy : optimal) + c.limitDelta;
    const PackedLevel level =
        PackLevel(header.data(), cells.data(), cells.size(), PackRequest{c.requested, limit});
    EXPECT_EQ(level.status, c.status);
    EXPECT_EQ(level.packing, c.packing);
    EXPECT_EQ(level.bytes.size(), c.packing == Packing::Greedy ? greedy : optimal);
    EXPECT_EQ(level.greedySize, c.greedySizeKept ? greedy : 0u);
}

constexpr auto kGreedy = Packing::Greedy;
constexpr auto kOptimal = Packing::Optimal;

INSTANTIATE_TEST_SUITE_P(Limits, PackLevelLimit,
                         ::testing::Values(LimitCase{"GreedyWithinKept", kGreedy, kGreedy, 0,
                                                     PackStatus::Packed, kGreedy, false},
                                           LimitCase{"GreedyOverOptimalWithin", kGreedy, kGreedy,
                                                     -1, PackStatus::Packed, kOptimal, true},
                                           LimitCase{"OptimalExactlyAtTheLimit", kGreedy, kOptimal,
                                                     0, PackStatus::Packed, kOptimal, true},
                                           LimitCase{"BothOver", kGreedy, kOptimal, -1,
                                                     PackStatus::OverLimit, kOptimal, true},
                                           LimitCase{"OptimalRequestedWithin", kOptimal, kOptimal,
                                                     0, PackStatus::Packed, kOptimal, false},
                                           LimitCase{"OptimalRequestedOver", kOptimal, kOptimal, -1,
                                                     PackStatus::OverLimit, kOptimal, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Encodings that are wrong in each way the check can see; the last one only on the optimal
// packing, which a greedy packing over the limit falls back to.
struct WrongEncodingCase {
    const char* name;
    StreamEncoding encode;
    PackRequest request;
};

size_t EncodeOtherCells(Bytes& out, const uint8_t* cells, size_t count, const MapHeader& header,
                        Packing packing) {
    Bytes other(cells, cells + count);
    other[count / 2] ^= 0x01;
    return EncodeStream(out, other.data(), count, header, packing);
}

class PackLevelCheck : public ::testing::TestWithParam<WrongEncodingCase> {};

TEST_P(PackLevelCheck, RefusesAStreamThatDoesNotUnpackToTheCells) {
    const WrongEncodingCase& c = GetParam();
    const Bytes header = HeaderBytes();
    const Bytes cells = MapCells(4096, 11);
    const PackedLevel level =
        PackLevel(header.data(), cells.data(), cells.size(), c.request, c.encode);
    EXPECT_EQ(level.status, PackStatus::NotVerified);
    EXPECT_EQ(level.bytes, Bytes{});
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, PackLevelCheck,
    ::testing::Values(WrongEncodingCase{"OtherCells", EncodeOtherCells, {}},
                      WrongEncodingCase{"OneCellShort",
                                        [](Bytes& out, const uint8_t* cells, size_t count,
                                           const MapHeader& header, Packing packing) {
                                            return EncodeStream(out, cells, count - 1, header,
                                                                packing);
                                        },
                                        {}},
                      WrongEncodingCase{"CutShort",
                                        [](Bytes& out, const uint8_t* cells, size_t count,
                                           const MapHeader& header, Packing packing) {
                                            EncodeStream(out, cells, count, header, packing);
                                            out.pop_back();
                                            return size_t{0};
                                        },
                                        {}},
                      WrongEncodingCase{"ByteAfterTheEnd",
                                        [](Bytes& out, const uint8_t* cells, size_t count,
                                           const MapHeader& header, Packing packing) {
                                            EncodeStream(out, cells, count, header, packing);
                                            out.push_back(0x00);
                                            return size_t{0};
                                        },
                                        {}},
                      WrongEncodingCase{
                          "OptimalFallbackOnly",
                          [](Bytes& out, const uint8_t* cells, size_t count,
                             const MapHeader& header, Packing packing) {
                              return packing == Packing::Optimal
                                         ? EncodeOtherCells(out, cells, count, header, packing)
                                         : EncodeStream(out, cells, count, header, packing);
                          },
                          {Packing::Greedy, kMapHeaderSize}}),
    [](const auto& info) { return std::string(info.param.name); });

// The new image is checked against the old one and what was placed in it: the level's
// stream must unpack to its map, and every byte outside it must be the old one.
TEST(CheckRomImage, FindsEachChangeThatWasNotPlaced) {
    const Bytes cells = MapCells(700, 3);
    const Bytes rom = RomImage(100, EncodeBytes(MapCells(700, 4), PlainHeader()), 100);
    const std::vector<Placement> placed = {
        {7, 100, Concat({HeaderBytes(), EncodeBytes(cells, PlainHeader())}), cells}};
    const Bytes image = BuildRomImage(rom, placed);
    const int64_t end = 100 + static_cast<int64_t>(placed[0].packed.size());
    struct Case {
        int64_t changed;  // the offset of the byte changed; -1 for none
        RomImageStatus status;
    };
    for (const Case& c : {Case{-1, RomImageStatus::Good},
                          {0, RomImageStatus::OutsideChanged},
                          {99, RomImageStatus::OutsideChanged},
                          {100 + kMapHeaderSize, RomImageStatus::LevelDiffers},
                          {end, RomImageStatus::OutsideChanged},
                          {static_cast<int64_t>(rom.size()) - 1, RomImageStatus::OutsideChanged}}) {
        Bytes changed = image;
        if (c.changed >= 0) {
            changed[static_cast<size_t>(c.changed)] ^= 0x01;
        }
        const RomImageCheck check = CheckRomImage(rom, changed, placed);
        EXPECT_EQ(check.status, c.status) << c.changed;
        const bool outside = c.status == RomImageStatus::OutsideChanged;
        EXPECT_EQ(check.offset, outside ? static_cast<uint64_t>(c.changed) : 0u) << c.changed;
        EXPECT_EQ(check.number, c.status == RomImageStatus::LevelDiffers ? 7 : 0) << c.changed;
    }
    const Bytes shorter(image.begin(), image.end() - 1);
    EXPECT_EQ(CheckRomImage(rom, shorter, placed).status, RomImageStatus::SizeDiffers);
}

}  // namespace
