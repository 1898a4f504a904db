// The FMF file and the move between the game's cells and FMF's.
#include "format/fmf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "format/fmf_check.h"
#include "test_support.h"

using namespace tessary;

namespace {

Bytes Cells(const std::vector<uint16_t>& cells) {
    Bytes bytes;
    for (uint16_t c : cells) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return bytes;
}

struct CellCase {
    uint16_t from;
    uint16_t to;
};

TEST(CellCode, GameToFmf) {
    for (CellCase c : {CellCase{0x0FFF, 0xFF0F}, CellCase{0xC000, 0x0030}, CellCase{0x3000, 0x0000},
                       CellCase{0xFFFF, 0xFF3F}, CellCase{0x1234, 0x2304}, CellCase{0x4001, 0x0011},
                       CellCase{0x8010, 0x0120}}) {
        EXPECT_EQ(ToFmfCell(c.from), c.to) << std::hex << c.from;
    }
}

TEST(CellCode, FmfToGame) {
    for (CellCase c :
         {CellCase{0x00C0, 0x0000}, CellCase{0x0030, 0xC000}, CellCase{0xFFFF, 0xCFFF},
          CellCase{0x1234, 0xC124}, CellCase{0x0010, 0x4000}, CellCase{0x0120, 0x8010}}) {
        EXPECT_EQ(ToGameCell(c.from), c.to) << std::hex << c.from;
    }
}

TEST(CellCode, RoundTripsLoseOnlyTheUnmappedBits) {
    for (uint32_t v = 0; v <= 0xFFFF; ++v) {
        uint16_t cell = static_cast<uint16_t>(v);
        ASSERT_EQ(ToGameCell(ToFmfCell(cell)), cell & 0xCFFF);
        ASSERT_EQ(ToFmfCell(ToGameCell(cell)), cell & 0xFF3F);
    }
}

struct DimensionCase {
    uint32_t bytes;
    bool vertical;
    int32_t height;
    uint32_t width;
    uint32_t mapHeight;
};

TEST(MapDimensions, FixedSideFromSettingsOtherFromByteCount) {
    for (DimensionCase c :
         {DimensionCase{8192, false, 16, 256, 16}, DimensionCase{8192, true, 16, 16, 256},
          DimensionCase{12, false, 2, 3, 2}, DimensionCase{0, false, 16, 0, 16},
          DimensionCase{31, false, 16, 0, 16}, DimensionCase{31, true, 16, 16, 0},
          DimensionCase{33, false, 16, 1, 16},
          DimensionCase{65536, false, 0x7FFFFFFF, 0, 0x7FFFFFFF}}) {
        const MapSize size = MapDimensions(c.bytes, c.vertical, c.height);
        EXPECT_EQ(size.width, c.width) << c.bytes << " bytes, height " << c.height;
        EXPECT_EQ(size.height, c.mapHeight) << c.bytes << " bytes, height " << c.height;
    }
}

Bytes HeaderBytes(const FmfHeader& header) {
    Bytes bytes(kFmfHeaderSize);
    FmfHeaderToBytes(header, bytes.data());
    return bytes;
}

// The header on its own and at the start of a whole file.
TEST(ConvertToFmf, WritesTheHeaderOfBothMapKinds) {
    const Bytes cells(8192);
    const Bytes horizontal{0x46, 0x4D, 0x46, 0x5F, 0x00, 0x20, 0x00, 0x00, 0x00, 0x01,
                           0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x20, 0x20, 0x01, 0x10};
    const Bytes vertical{0x46, 0x4D, 0x46, 0x5F, 0x00, 0x20, 0x00, 0x00, 0x10, 0x00,
                         0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x20, 0x20, 0x01, 0x10};
    for (bool isVertical : {false, true}) {
        const Bytes& expected = isVertical ? vertical : horizontal;
        Bytes out(8192);
        FmfHeader header;
        ASSERT_TRUE(ConvertToFmf(header, out.data(), cells.data(), 8192, isVertical, 16));
        EXPECT_EQ(HeaderBytes(header), expected);
        const FmfConversion file = MapToFmfFile(cells.data(), cells.size(), isVertical, 16);
        ASSERT_EQ(file.status, FmfStatus::Converted);
        ASSERT_EQ(file.bytes.size(), kFmfHeaderSize + cells.size());
        EXPECT_EQ(Bytes(file.bytes.begin(), file.bytes.begin() + kFmfHeaderSize), expected);
    }
}

TEST(ConvertToFmf, HorizontalMapIsTransposedVerticalKeepsOrder) {
    // Columns (g0,g1) (g2,g3) (g4,g5) of a map two cells high.
    Bytes game = Cells({0x0010, 0x0020, 0x0030, 0x0040, 0x0050, 0xC060});
    Bytes out(game.size());
    FmfHeader header;
    ASSERT_TRUE(ConvertToFmf(header, out.data(), game.data(), 12, false, 2));
    EXPECT_EQ(out, Cells({0x0100, 0x0300, 0x0500, 0x0200, 0x0400, 0x0630}));
    EXPECT_EQ(header.width, 3u);
    EXPECT_EQ(header.height, 2u);
    ASSERT_TRUE(ConvertToFmf(header, out.data(), game.data(), 12, true, 2));
    EXPECT_EQ(out, Cells({0x0100, 0x0200, 0x0300, 0x0400, 0x0500, 0x0630}));
}

TEST(ConvertToFmf, BytesPastTheLastWholeStripAreCarriedOver) {
    Bytes game = Cells({0x0010, 0x0020, 0x0030, 0x3040});
    game.push_back(0xAB);  // 9 bytes: one whole column of three cells, then 3 bytes
    Bytes out(game.size(), 0xEE);
    FmfHeader header;
    ASSERT_TRUE(ConvertToFmf(header, out.data(), game.data(), 9, false, 3));
    // One column of three cells converted, the rest copied unchanged.
    EXPECT_EQ(out, (Bytes{0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x40, 0x30, 0xAB}));
    EXPECT_EQ(header.dataSize, 9u);
    EXPECT_EQ(header.width, 1u);
    EXPECT_EQ(header.height, 3u);
}

TEST(ConvertToFmf, RefusesHeightBelowOne) {
    Bytes game(32, 0x11);
    for (int32_t height : {0, -1, INT32_MIN}) {
        Bytes out(32, 0xEE);
        FmfHeader header;
        EXPECT_FALSE(ConvertToFmf(header, out.data(), game.data(), 32, false, height));
        EXPECT_EQ(out, Bytes(32, 0xEE));
    }
}

TEST(ConvertToFmf, EmptyOrShortMapConvertsNoCell) {
    FmfHeader header;
    uint8_t in[3] = {1, 2, 3};
    uint8_t out[3] = {0, 0, 0};
    ASSERT_TRUE(ConvertToFmf(header, out, in, 3, true, 16));
    EXPECT_EQ(header.width, 16u);
    EXPECT_EQ(header.height, 0u);
    EXPECT_EQ(header.dataSize, 3u);
    EXPECT_EQ(Bytes(out, out + 3), Bytes(in, in + 3));
}

TEST(ConvertFromFmf, ReadsCellsAfterTheHeaderWhateverItHolds) {
    Bytes file(kFmfHeaderSize, 0xFF);  // a header full of nonsense is not read
    Bytes cells = Cells({0x0100, 0x0300, 0x0500, 0x0200, 0x0400, 0x0630});
    file.insert(file.end(), cells.begin(), cells.end());
    Bytes game(12, 0xEE);
    ASSERT_TRUE(
        ConvertFromFmf(game.data(), file.data(), static_cast<uint32_t>(file.size()), false, 2));
    EXPECT_EQ(game, Cells({0x0010, 0x0020, 0x0030, 0x0040, 0x0050, 0xC060}));
}

TEST(ConvertFromFmf, RefusesHeightBelowOneAndShortImages) {
    Bytes file(40, 0x11);
    Bytes game(20, 0xEE);
    EXPECT_FALSE(ConvertFromFmf(game.data(), file.data(), 40, false, 0));
    EXPECT_FALSE(ConvertFromFmf(game.data(), file.data(), 40, true, -3));
    EXPECT_FALSE(ConvertFromFmf(game.data(), file.data(), 19, false, 16));
    EXPECT_EQ(game, Bytes(20, 0xEE));
}

// Whole-file conversions that cannot be made give their reason and no bytes.
struct FileStatusCase {
    const char* name;
    bool toFmf;  // MapToFmfFile, else MapFromFmfFile
    size_t size;
    int32_t height;
    FmfStatus status;
};

class FmfFileStatus : public ::testing::TestWithParam<FileStatusCase> {};

TEST_P(FmfFileStatus, GivesTheReason) {
    const FileStatusCase& c = GetParam();
    const Bytes input(c.size, 0x11);
    const FmfConversion result = c.toFmf ? MapToFmfFile(input.data(), c.size, false, c.height)
                                         : MapFromFmfFile(input.data(), c.size, false, c.height);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.bytes.size(),
              c.status == FmfStatus::Converted
                  ? (c.toFmf ? kFmfHeaderSize + c.size : c.size - kFmfHeaderSize)
                  : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, FmfFileStatus,
    ::testing::Values(
        FileStatusCase{"ToFmfHeightZero", true, 32, 0, FmfStatus::HeightBelowOne},
        FileStatusCase{"ToFmfHeightNegative", true, 32, INT32_MIN, FmfStatus::HeightBelowOne},
        FileStatusCase{"ToFmfEmptyMap", true, 0, 16, FmfStatus::Converted},
        FileStatusCase{"FromFmfHeightZero", false, 40, 0, FmfStatus::HeightBelowOne},
        FileStatusCase{"FromFmfShorterThanHeader", false, 19, 16, FmfStatus::TooShort},
        FileStatusCase{"FromFmfEmpty", false, 0, 16, FmfStatus::TooShort},
        FileStatusCase{"FromFmfHeaderOnly", false, 20, 16, FmfStatus::Converted}),
    [](const auto& info) { return std::string(info.param.name); });

// Export then import gives the map back with bits 12-13 cleared, for every size and both
// kinds, including sizes that leave a partial strip; the whole-file conversions agree with
// the header and cell conversions.
TEST(ConvertBothWays, LosesOnlyBits12And13) {
    for (bool vertical : {false, true}) {
        for (int32_t height : {1, 2, 3, 16, 17}) {
            for (uint32_t n : {0u, 1u, 2u, 31u, 32u, 34u, 96u, 101u, 640u}) {
                Bytes game(n);
                for (uint32_t i = 0; i < n; ++i) {
                    game[i] = static_cast<uint8_t>(i * 37 + 11 + height);
                }
                FmfHeader header;
                Bytes fmf(kFmfHeaderSize + n);
                ASSERT_TRUE(ConvertToFmf(header, fmf.data() + kFmfHeaderSize, game.data(), n,
                                         vertical, height));
                FmfHeaderToBytes(header, fmf.data());
                const FmfConversion file = MapToFmfFile(game.data(), n, vertical, height);
                ASSERT_EQ(file.status, FmfStatus::Converted);
                ASSERT_EQ(file.bytes, fmf);
                Bytes back(n);
                ASSERT_TRUE(
                    ConvertFromFmf(back.data(), fmf.data(), kFmfHeaderSize + n, vertical, height));
                const FmfConversion map = MapFromFmfFile(fmf.data(), fmf.size(), vertical, height);
                ASSERT_EQ(map.status, FmfStatus::Converted);
                ASSERT_EQ(map.bytes, back);
                uint32_t whole =
                    n / (2 * static_cast<uint32_t>(height)) * 2 * static_cast<uint32_t>(height);
                for (uint32_t i = 0; i < n; ++i) {
                    uint8_t expected = (i < whole && i % 2 == 1) ? (game[i] & 0xCF) : game[i];
                    ASSERT_EQ(back[i], expected) << "byte " << i << " of " << n << ", height "
                                                 << height << ", vertical " << vertical;
                }
            }
        }
    }
}

// The exporter's file of a level-like map of `bytes` bytes, partial strip included.
Bytes ExportedMap(bool vertical, int32_t height, size_t bytes, uint32_t seed) {
    Bytes map = MapCells(bytes / 2 + 1, seed);
    map.resize(bytes);
    // Bytes past the whole strips are carried over raw, so bits 6-7 there are no cell's.
    const size_t whole = bytes / (2 * static_cast<size_t>(height)) * 2 * height;
    std::fill(map.begin() + static_cast<std::ptrdiff_t>(whole), map.end(), 0xFF);
    return MapToFmfFile(map.data(), map.size(), vertical, height).bytes;
}

TEST(CheckFmfFile, ExporterOutputOfEverySizePasses) {
    for (bool vertical : {false, true}) {
        for (int32_t height : {1, 2, 3, 16, 20}) {
            for (size_t bytes = 0; bytes <= 6 * static_cast<size_t>(height) + 3; ++bytes) {
                const Bytes file = ExportedMap(vertical, height, bytes, 7);
                const std::vector<FmfProblem> problems =
                    CheckFmfFile(file.data(), file.size(), vertical, height);
                EXPECT_TRUE(problems.empty())
                    << bytes << " bytes, height " << height << ", vertical " << vertical << ": "
                    << problems[0].message;
            }
        }
    }
}

void PutU32(Bytes& file, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        file[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void PutFmfCell(Bytes& file, uint32_t width, uint32_t x, uint32_t y, uint16_t value) {
    const size_t at = kFmfHeaderSize + 2 * (size_t{y} * width + x);
    file[at] = static_cast<uint8_t>(value & 0xFF);
    file[at + 1] = static_cast<uint8_t>(value >> 8);
}

// A 40 x 16 level exported as a horizontal map, or a 16 x 40 one as a vertical map, changed
// the way a user's mistake changes it, and checked against a level's settings.
struct MistakeCase {
    const char* name;
    bool vertical;
    int32_t height;  // the level's setting the file is checked against
    std::function<void(Bytes&)> change;
    std::vector<const char*> phrases;  // one for each problem, in order
};

class FmfMistake : public ::testing::TestWithParam<MistakeCase> {};

TEST_P(FmfMistake, IsNamed) {
    const MistakeCase& c = GetParam();
    Bytes file = ExportedMap(c.vertical, 16, 1280, 3);
    c.change(file);
    const std::vector<FmfProblem> problems =
        CheckFmfFile(file.data(), file.size(), c.vertical, c.height);
    ASSERT_EQ(problems.size(), c.phrases.size()) << (problems.empty() ? "" : problems[0].message);
    for (size_t i = 0; i < problems.size(); ++i) {
        EXPECT_NE(problems[i].message.find(c.phrases[i]), std::string::npos) << problems[i].message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, FmfMistake,
    ::testing::Values(
        MistakeCase{"Unchanged", false, 16, [](Bytes&) {}, {}},
        MistakeCase{"ShorterThanHeader",
                    false,
                    16,
                    [](Bytes& f) { f.resize(19); },
                    {"the file is 19 bytes long, shorter than the 20-byte header"}},
        MistakeCase{"PngRenamed",
                    false,
                    16,
                    [](Bytes& f) {
                        f = Concat({{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}, f});
                    },
                    {"the file is not an FMF file: it starts with 89 50 4E 47, not FMF_."}},
        MistakeCase{"TwoLayersOf8BitCells",
                    false,
                    16,
                    [](Bytes& f) {
                        f[18] = 2;
                        f[19] = 8;
                    },
                    {"the map has 2 layers", "cells are 8 bits wide"}},
        MistakeCase{"OtherLevelsHeight",
                    false,
                    17,
                    [](Bytes& f) { PutFmfCell(f, 40, 3, 2, 0x0040); },
                    {"the map is 16 cells high but the level's height setting is 17.",
                     "it is at x 3, y 2 with the value 0x0040."}},
        MistakeCase{"OtherLevelsWidth",
                    true,
                    20,
                    [](Bytes&) {},
                    {"the map is 16 cells wide but the level's height setting (a vertical "
                     "map's width) is 20."}},
        MistakeCase{"WidthEdited",
                    false,
                    16,
                    [](Bytes& f) { PutU32(f, 8, 41); },
                    {"the map is 41 cells wide, but its 1280 bytes of cells make 40 columns "
                     "of 16 cells."}},
        MistakeCase{"StripAppended",
                    true,
                    16,
                    [](Bytes& f) {
                        f = Concat({f, Bytes(32, 0)});
                    },
                    {"the header says 1280 bytes of cells follow it, but 1312 do.",
                     "the map is 40 cells high, but its 1312 bytes of cells make 41 rows"}},
        MistakeCase{"HeightSettingZero",
                    false,
                    0,
                    [](Bytes&) {},
                    {"the level's height setting is 0, which is no map size"}},
        MistakeCase{"Bits6And7",
                    false,
                    16,
                    [](Bytes& f) {
                        PutFmfCell(f, 40, 5, 7, 0x0080);
                        PutFmfCell(f, 40, 3, 2, 0x12C0);
                    },
                    {"2 cells have bit 6 or 7 set, which the game's cells cannot hold and "
                     "packing drops; the first is at x 3, y 2 with the value 0x12C0."}},
        MistakeCase{"Bit6InAVerticalMap",
                    true,
                    16,
                    [](Bytes& f) { PutFmfCell(f, 16, 15, 39, 0xFF7F); },
                    {"1 cell has bit 6 or 7 set, which the game's cells cannot hold and packing "
                     "drops; it is at x 15, y 39 with the value 0xFF7F."}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CountCellsLosingBits, CountsCellsWithBit12Or13) {
    const Bytes map = Cells({0x1000, 0x2000, 0x3000, 0xCFFF, 0x0FFF, 0xF000});
    EXPECT_EQ(CountCellsLosingBits(map.data(), map.size()), 4u);
    // A last odd byte is no cell.
    const Bytes odd = Concat({Cells({0x0001}), {0x30}});
    EXPECT_EQ(CountCellsLosingBits(odd.data(), odd.size()), 0u);
}

}  // namespace
