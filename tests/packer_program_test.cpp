// The packer run as a user runs it, alone and after the exporter: output text, exit
// status and every file afterwards.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "encoder_test_support.h"
#include "fmf.h"
#include "map_header.h"
#include "program_runner.h"

namespace {

const std::string kBanner = "Korvel Map Compresser\n\n";
const std::string kSuccess = "Compression was successful.\n";

Bytes PackHeader() {
    Bytes header(kMapHeaderSize);
    for (int i = 0; i < kMapHeaderSize; ++i) {
        header[i] = static_cast<uint8_t>(0x40 + 3 * i);
    }
    header[0] = 0x00;  // fill byte A: empty sky
    header[4] = 0x01;  // word W 0x0001: the most common tile
    header[5] = 0x00;
    return header;
}

// A map of 16-bit cells: ground, platforms, repeated blocks and scattered objects, with
// bits 14-15 used and bits 12-13 clear.
Bytes MapCells(size_t cells, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes map;
    for (size_t i = 0; i < cells; ++i) {
        uint16_t cell = 0;
        size_t row = i % 16;
        if (row >= 13) {
            cell = 0x0001;
        } else if (row == 8 && (i / 16) % 7 < 3) {
            cell = 0x4023;
        } else if (random() % 23 == 0) {
            cell = static_cast<uint16_t>((random() % 0x0FFF) | (random() % 4) << 14);
        }
        map.push_back(static_cast<uint8_t>(cell & 0xFF));
        map.push_back(static_cast<uint8_t>(cell >> 8));
    }
    return map;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string Settings(int offset, int height = 16, int vertical = 0) {
    return "[MapGroups]\nCount=2\n[MapGroupName]\n0=Intro\n1=Sewers\n[MapGroupOffset]\n1=" +
           std::to_string(offset) + "\n[MapGroupVertical]\n1=" + std::to_string(vertical) +
           "\n[MapGroupHeight]\n1=" + std::to_string(height) + "\n";
}

Bytes FmfFile(const Bytes& cells) {
    return Concat(Bytes(kFmfHeaderSize, 0x46), cells);
}

std::string SizeLines(size_t fmfSize) {
    return "FMF file size: " + std::to_string(fmfSize) + " bytes.\n";
}

TEST(PackerProgram, FewerThanFourArgumentsListGroups) {
    Sandbox box;
    box.writeSettings(Settings(0));
    ProgramResult r = RunPacker(box, {"a.fmf", "a.hdr", "out.bin"});
    EXPECT_EQ(r.out, kBanner + "Usage: " + box.programFolder() +
                         "/tessary_pack [FMF file] [Header sile] [Output file] [Level number]\n\n"
                         "Invalid selection, select from the following:\n\n0: Intro\n1: Sewers\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_FALSE(box.exists("out.bin"));
}

struct FailureCase {
    std::string name;
    std::string settings;
    Bytes fmf;  // written as a.fmf unless empty and `fmfMissing`
    bool fmfMissing;
    Bytes header;  // written as a.hdr unless `headerMissing`
    bool headerMissing;
    std::string output;
    std::string level;
    std::string expectedOut;
};

TEST(PackerProgram, EveryFailureExitsWithItsLineAndLeavesTheOutputAlone) {
    const Bytes goodFmf = FmfFile(MapCells(64, 1));
    const std::string size = SizeLines(goodFmf.size());
    std::vector<FailureCase> cases = {
        {"level too high", Settings(0), goodFmf, false, PackHeader(), false, "out.bin", "2",
         "Invalid Selection. Valid numbers are between 0 and 1.\n"},
        {"level negative", Settings(0), goodFmf, false, PackHeader(), false, "out.bin", "-1",
         "Invalid Selection. Valid numbers are between 0 and 1.\n"},
        {"height zero", Settings(0, 0), goodFmf, false, PackHeader(), false, "out.bin", "1",
         "Invalid map height for this level.\n"},
        {"height negative", Settings(0, -16), goodFmf, false, PackHeader(), false, "out.bin", "1",
         "Invalid map height for this level.\n"},
        {"FMF missing",
         Settings(0),
         {},
         true,
         PackHeader(),
         false,
         "out.bin",
         "1",
         "Failed to open the FMF file.\n"},
        {"FMF empty",
         Settings(0),
         {},
         false,
         PackHeader(),
         false,
         "out.bin",
         "1",
         SizeLines(0) + "The FMF file is too short.\n"},
        {"FMF of 19 bytes", Settings(0), Bytes(19, 1), false, PackHeader(), false, "out.bin", "1",
         SizeLines(19) + "The FMF file is too short.\n"},
        {"header missing",
         Settings(0),
         goodFmf,
         false,
         {},
         true,
         "out.bin",
         "1",
         size + "Failed to open the header file.\n"},
        {"header empty",
         Settings(0),
         goodFmf,
         false,
         {},
         false,
         "out.bin",
         "1",
         size + "The header file is too short.\n"},
        {"header of 37 bytes", Settings(0), goodFmf, false, Bytes(37, 1), false, "out.bin", "1",
         size + "The header file is too short.\n"},
        {"output folder missing", Settings(0), goodFmf, false, PackHeader(), false,
         "no/such/out.bin", "1", size + "Failed to save the output file.\n"},
        {"output device full", Settings(0), goodFmf, false, PackHeader(), false, "/dev/full", "1",
         size + "Failed to save the output file.\n"},
    };
    for (const FailureCase& c : cases) {
        Sandbox box;
        box.writeSettings(c.settings);
        if (!c.fmfMissing) {
            box.writeFile("a.fmf", c.fmf);
        }
        if (!c.headerMissing) {
            box.writeFile("a.hdr", c.header);
        }
        box.writeText("out.bin", "earlier output");
        ProgramResult r = RunPacker(box, {"a.fmf", "a.hdr", c.output, c.level});
        EXPECT_EQ(r.out, kBanner + c.expectedOut) << c.name;
        EXPECT_EQ(r.exitStatus, 255) << c.name;
        EXPECT_EQ(box.readFile("out.bin").size(), 14u) << c.name << ": output touched";
    }
}

// What a user does: export a level, pack the FMF file again, and compare with the ROM.
TEST(PackerProgram, ExportThenPackReproducesTheOriginalStream) {
    struct Case {
        std::string name;
        Bytes map;
        int height;
        int vertical;
    };
    for (const Case& c :
         {Case{"horizontal", MapCells(4096, 7), 16, 0}, Case{"vertical", MapCells(2400, 8), 20, 1},
          Case{"partial strip", MapCells(1001, 9), 16, 0},
          Case{"odd length", Concat(MapCells(320, 10), {0x5C}), 16, 0}}) {
        Sandbox box;
        Bytes header = PackHeader();
        Bytes stream = EncodeBytes(c.map, MapHeaderFromBytes(header.data()));
        Bytes rom = Concat(Concat(Concat(Bytes(300, 0xFF), header), stream), Bytes(50, 0xFF));
        box.writeFile("game.rom", rom);
        box.writeSettings(Settings(300, c.height, c.vertical));
        ProgramResult exported = RunExporter(box, {"game.rom", "lvl.fmf", "lvl.hdr", "1"});
        ASSERT_EQ(exported.exitStatus, 0) << c.name << exported.out << exported.err;

        ProgramResult packed = RunPacker(box, {"lvl.fmf", "lvl.hdr", "lvl.bin", "1"});
        Bytes output = box.readFile("lvl.bin");
        EXPECT_EQ(packed.out, kBanner + SizeLines(20 + c.map.size()) + kSuccess +
                                  "Compressed size: " + std::to_string(output.size()) + "bytes.\n")
            << c.name;
        EXPECT_EQ(packed.exitStatus, 0) << c.name;
        EXPECT_EQ(output, Concat(header, stream)) << c.name;
    }
}

TEST(PackerProgram, ClearsBits12And13AndStillDecodesExactly) {
    Sandbox box;
    Bytes map = MapCells(512, 3);
    for (size_t i = 1; i < map.size(); i += 2) {
        map[i] = static_cast<uint8_t>(map[i] | 0x30);
    }
    Bytes header = PackHeader();
    box.writeFile("game.rom",
                  Concat(Concat(header, EncodeBytes(map, MapHeaderFromBytes(header.data()))), {}));
    box.writeSettings(Settings(0));
    ASSERT_EQ(RunExporter(box, {"game.rom", "lvl.fmf", "lvl.hdr", "1"}).exitStatus, 0);
    ASSERT_EQ(RunPacker(box, {"lvl.fmf", "lvl.hdr", "lvl.bin", "1"}).exitStatus, 0);
    Bytes output = box.readFile("lvl.bin");
    ASSERT_GE(output.size(), 38u);
    EXPECT_EQ(Bytes(output.begin(), output.begin() + 38), header);
    for (size_t i = 1; i < map.size(); i += 2) {
        map[i] = static_cast<uint8_t>(map[i] & 0xCF);
    }
    EXPECT_EQ(RoundTripProblem(Bytes(output.begin() + 38, output.end()), map,
                               MapHeaderFromBytes(header.data())),
              "");
}

TEST(PackerProgram, EdgeSizedInputsPack) {
    struct Case {
        std::string name;
        Bytes fmf;
        Bytes header;
    };
    Bytes longHeader = Concat(PackHeader(), {0xEE});
    for (const Case& c :
         {Case{"no cells", FmfFile({}), PackHeader()},
          Case{"header file of 39 bytes", FmfFile(MapCells(40, 4)), longHeader},
          Case{"beyond the exporter's buffer", FmfFile(MapCells(40000, 5)), PackHeader()}}) {
        Sandbox box;
        box.writeSettings(Settings(0));
        box.writeFile("a.fmf", c.fmf);
        box.writeFile("a.hdr", c.header);
        ProgramResult r = RunPacker(box, {"a.fmf", "a.hdr", "out.bin", "1"});
        Bytes output = box.readFile("out.bin");
        EXPECT_EQ(r.out, kBanner + SizeLines(c.fmf.size()) + kSuccess +
                             "Compressed size: " + std::to_string(output.size()) + "bytes.\n")
            << c.name;
        EXPECT_EQ(r.exitStatus, 0) << c.name;
        ASSERT_GE(output.size(), 39u) << c.name;
        EXPECT_EQ(Bytes(output.begin(), output.begin() + 38), PackHeader()) << c.name;
    }
}

}  // namespace
