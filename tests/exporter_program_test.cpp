// The exporter run as a user runs it: output text, exit status and every file afterwards.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fmf.h"
#include "map_header.h"
#include "program_runner.h"

namespace {

const std::string kBanner = "Korvel Map Exporter\n\n";
const std::string kExpanding = "Expanding compressed map data ... \n";
const std::string kUsage =
    "Usage: [ROM file name] [FMF file] [Header file] [Level number]\n\n"
    "Invalid selection, select from the following:\n\n";

Bytes HeaderBytes() {
    Bytes header(kMapHeaderSize);
    for (int i = 0; i < kMapHeaderSize; ++i) {
        header[i] = static_cast<uint8_t>(0x80 + i);
    }
    header[0] = 0x00;  // fill byte A
    header[4] = 0x34;  // word W 1234
    header[5] = 0x12;
    return header;
}

// 100 stream bytes: six Literals of 15 bytes, Literal1 63, a fill run of 3, the word W.
Bytes HundredByteStream() {
    Bytes stream;
    for (int block = 0; block < 6; ++block) {
        stream.push_back(0x0F);
        for (int i = 0; i < 15; ++i) {
            stream.push_back(static_cast<uint8_t>(block * 15 + i + 1));
        }
    }
    stream.insert(stream.end(), {0x16, 0x34, 0x06, 0x00});
    return stream;
}

Bytes HundredByteStreamUnpacked() {
    Bytes bytes;
    for (int i = 1; i <= 90; ++i) {
        bytes.push_back(static_cast<uint8_t>(i));
    }
    bytes.insert(bytes.end(), {0x63, 0x00, 0x00, 0x00, 0x34, 0x12});
    return bytes;
}

// A ROM image with filler, and the header then `stream` at `offset`.
Bytes Rom(size_t offset, const Bytes& stream, size_t size = 1024) {
    Bytes rom(size);
    for (size_t i = 0; i < size; ++i) {
        rom[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    Bytes header = HeaderBytes();
    std::copy(header.begin(), header.end(), rom.begin() + static_cast<long>(offset));
    std::copy(stream.begin(), stream.end(), rom.begin() + static_cast<long>(offset + 38));
    return rom;
}

std::string Settings(int offset, int height = 16, int vertical = 0) {
    return "[MapGroups]\nCount=2\n[MapGroupName]\n0=Intro\n1=Level One\n"
           "[MapGroupOffset]\n1=" +
           std::to_string(offset) + "\n[MapGroupVertical]\n1=" + std::to_string(vertical) +
           "\n[MapGroupHeight]\n1=" + std::to_string(height) + "\n";
}

const std::string kSavedAll =
    "Data expanded successfully.\nSaving header file...\n"
    "Successfully saved header file. \n"
    "Successfully saved uncompressed data.\n";

TEST(ExporterProgram, NoArgumentsAndNoSettingsListsFifteenDefaultGroups) {
    Sandbox box;
    ProgramResult r = RunExporter(box, {});
    std::string expected = kBanner + kUsage;
    for (int i = 0; i < 15; ++i) {
        expected += std::to_string(i) + ": ?\n";
    }
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.exitStatus, 0);
}

TEST(ExporterProgram, ThreeArgumentsListGroupsAndOpenNothing) {
    Sandbox box;
    box.writeSettings(Settings(0));
    ProgramResult r = RunExporter(box, {"rom.bin", "out.fmf", "out.hdr"});
    EXPECT_EQ(r.out, kBanner + kUsage + "0: Intro\n1: Level One\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_FALSE(box.exists("out.fmf"));
    EXPECT_FALSE(box.exists("out.hdr"));
}

TEST(ExporterProgram, LevelOutOfRangeIsRefused) {
    Sandbox box;
    for (const char* level : {"15", "-1", "99999999999999999999"}) {
        ProgramResult r = RunExporter(box, {"rom.bin", "out.fmf", "out.hdr", level});
        EXPECT_EQ(r.out, kBanner + "Invalid Selection. Valid numbers are between 0 and 14.\n")
            << level;
        EXPECT_EQ(r.exitStatus, 255) << level;
    }
}

TEST(ExporterProgram, MissingRomWritesNothing) {
    Sandbox box;
    ProgramResult r = RunExporter(box, {"missing.rom", "out.fmf", "out.hdr", "0"});
    EXPECT_EQ(r.out, kBanner + "Failed to open the ROM file. \n");
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_FALSE(box.exists("out.fmf"));
    EXPECT_FALSE(box.exists("out.hdr"));
    EXPECT_FALSE(box.exists("exp_map.dat"));
}

TEST(ExporterProgram, CompleteRunWritesAllThreeFiles) {
    Sandbox box;
    box.writeSettings(Settings(256));
    Bytes rom = Rom(256, HundredByteStream());
    box.writeFile("game.rom", rom);
    ProgramResult r = RunExporter(box, {"game.rom", "level.fmf", "level.hdr", "1", "extra"});
    EXPECT_EQ(r.out, kBanner + kExpanding + "Current file position: 0000018A\n" + kSavedAll +
                         "Successfully converted to FMF.\nSaving FMF file...\n"
                         "Successfully output FMF file.\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(box.readFile("level.hdr"), HeaderBytes());
    Bytes unpacked = HundredByteStreamUnpacked();
    EXPECT_EQ(box.readFile("exp_map.dat"), unpacked);
    EXPECT_EQ(box.readFile("game.rom"), rom);

    // 96 bytes, 16 high: three columns. FMF row 0 holds the top cell of each column.
    Bytes fmf = box.readFile("level.fmf");
    ASSERT_EQ(fmf.size(), 20u + 96u);
    EXPECT_EQ(Bytes(fmf.begin(), fmf.begin() + 20),
              (Bytes{'F', 'M', 'F', '_', 96, 0, 0, 0, 3, 0, 0, 0, 16, 0, 0, 0, 32, 32, 1, 16}));
    EXPECT_EQ(ToGameCell(static_cast<uint16_t>(fmf[20] | fmf[21] << 8)), 0x0201);
    EXPECT_EQ(ToGameCell(static_cast<uint16_t>(fmf[22] | fmf[23] << 8)), 0x2221 & 0xCFFF);
    EXPECT_EQ(ToGameCell(static_cast<uint16_t>(fmf[24] | fmf[25] << 8)), 0x4241 & 0xCFFF);
    EXPECT_EQ(ToGameCell(static_cast<uint16_t>(fmf[26] | fmf[27] << 8)), 0x0403);
}

TEST(ExporterProgram, DecodingFailureExplainsOnStandardErrorAndWritesNothing) {
    Sandbox box;
    box.writeSettings(Settings(16));
    // Literal1 41, then a CopyFar of 6 bytes from distance 3 in a low half.
    box.writeFile("game.rom", Rom(16, {0x14, 0x1C, 0x30, 0x00, 0x30, 0x00}));
    box.writeText("level.hdr", "old header");
    box.writeText("exp_map.dat", "old dump");
    ProgramResult r = RunExporter(box, {"game.rom", "level.fmf", "level.hdr", "1"});
    EXPECT_EQ(r.out, kBanner + kExpanding);
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.err,
              "tessary: level 1 will not unpack: a copy reaches outside the bytes already "
              "unpacked (output offset 1, command 12 CopyFar beginning in the low half of its "
              "byte, distance 3); reading stopped at ROM offset 0x0000003B.\n");
    EXPECT_EQ(box.readFile("level.hdr"), Bytes({'o', 'l', 'd', ' ', 'h', 'e', 'a', 'd', 'e', 'r'}));
    EXPECT_EQ(box.readFile("exp_map.dat").size(), 8u);
    EXPECT_FALSE(box.exists("level.fmf"));
}

TEST(ExporterProgram, UnreadableHeaderPlacesEndLikeACutStream) {
    struct Case {
        std::string name;
        int offset;
        size_t romSize;
    };
    for (const Case& c :
         {Case{"negative offset", -5, 1024}, Case{"offset at the end", 1024, 1024},
          Case{"offset past the end", 5000, 1024}, Case{"37 header bytes", 1024 - 37, 1024}}) {
        Sandbox box;
        box.writeSettings(Settings(c.offset));
        box.writeFile("game.rom", Rom(0, {0x00}, c.romSize));
        ProgramResult r = RunExporter(box, {"game.rom", "level.fmf", "level.hdr", "1"});
        EXPECT_EQ(r.out, kBanner + kExpanding) << c.name;
        EXPECT_EQ(r.exitStatus, 255) << c.name;
        EXPECT_NE(r.err.find("no 38-byte header at offset " + std::to_string(c.offset)),
                  std::string::npos)
            << c.name << ": " << r.err;
        EXPECT_FALSE(box.exists("level.hdr")) << c.name;
        EXPECT_FALSE(box.exists("exp_map.dat")) << c.name;
    }
}

TEST(ExporterProgram, StreamCutByTheEndOfTheImageFails) {
    Sandbox box;
    box.writeSettings(Settings(0));
    Bytes rom = Rom(0, {0x03, 0x41, 0x42, 0x43, 0xA0, 0x00}, 44);  // no end marker
    box.writeFile("game.rom", rom);
    ProgramResult r = RunExporter(box, {"game.rom", "level.fmf", "level.hdr", "1"});
    EXPECT_EQ(r.out, kBanner + kExpanding);
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.err,
              "tessary: level 1 will not unpack: the data ends before the end marker (output "
              "offset 6, where the next command should begin); reading stopped at ROM offset "
              "0x0000002C.\n");
}

TEST(ExporterProgram, EmptyMapWritesHeaderAndEmptyDumpButNoFmf) {
    Sandbox box;
    box.writeSettings(Settings(0));
    box.writeFile("game.rom", Rom(0, {0x00}));
    ProgramResult r = RunExporter(box, {"game.rom", "level.fmf", "level.hdr", "1"});
    EXPECT_EQ(r.out, kBanner + kExpanding + "Current file position: 00000027\n" + kSavedAll +
                         "Form has failed to secure a buffer for FMF.\n");
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(box.readFile("level.hdr"), HeaderBytes());
    EXPECT_TRUE(box.exists("exp_map.dat"));
    EXPECT_EQ(box.readFile("exp_map.dat").size(), 0u);
    EXPECT_FALSE(box.exists("level.fmf"));
}

TEST(ExporterProgram, HeightBelowOneFailsTheConversion) {
    for (int height : {0, -1}) {
        Sandbox box;
        box.writeSettings(Settings(0, height));
        box.writeFile("game.rom", Rom(0, HundredByteStream()));
        ProgramResult r = RunExporter(box, {"game.rom", "level.fmf", "level.hdr", "1"});
        EXPECT_EQ(r.out, kBanner + kExpanding + "Current file position: 0000008A\n" + kSavedAll +
                             "Failed to convert to FMF.\n");
        EXPECT_EQ(r.exitStatus, 255);
        EXPECT_EQ(box.readFile("exp_map.dat"), HundredByteStreamUnpacked());
        EXPECT_FALSE(box.exists("level.fmf"));
    }
}

TEST(ExporterProgram, FailedSidecarFilesAreReportedAndTheRunGoesOn) {
    struct Case {
        std::string headerName;
        std::string headerLine;
    };
    for (const Case& c : {Case{"no/such/folder/level.hdr", "Failed to save the header file.\n"},
                          Case{"/dev/full", "Failed to save the header file.\n"}}) {
        Sandbox box;
        box.writeSettings(Settings(0));
        box.writeFile("game.rom", Rom(0, HundredByteStream()));
        ProgramResult r = RunExporter(box, {"game.rom", "level.fmf", c.headerName, "1"});
        EXPECT_EQ(r.out, kBanner + kExpanding + "Current file position: 0000008A\n" +
                             "Data expanded successfully.\nSaving header file...\n" + c.headerLine +
                             "Successfully saved uncompressed data.\n"
                             "Successfully converted to FMF.\nSaving FMF file...\n"
                             "Successfully output FMF file.\n");
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(box.readFile("level.fmf").size(), 20u + 96u);
    }
}

TEST(ExporterProgram, FmfWriteErrorIsAFailure) {
    for (const char* name : {"/dev/full", "no/such/folder/level.fmf"}) {
        Sandbox box;
        box.writeSettings(Settings(0));
        box.writeFile("game.rom", Rom(0, HundredByteStream()));
        ProgramResult r = RunExporter(box, {"game.rom", name, "level.hdr", "1"});
        EXPECT_EQ(r.out, kBanner + kExpanding + "Current file position: 0000008A\n" + kSavedAll +
                             "Successfully converted to FMF.\nSaving FMF file...\n"
                             "Failed to save output FMF file.\n");
        EXPECT_EQ(r.exitStatus, 255);
    }
}

TEST(ExporterProgram, PartialStripIsCarriedIntoTheFmfFileUnchanged) {
    Sandbox box;
    box.writeSettings(Settings(0, 5, 1));  // vertical, 5 wide: 96 bytes = 9 rows + 6 bytes
    box.writeFile("game.rom", Rom(0, HundredByteStream()));
    ProgramResult r = RunExporter(box, {"game.rom", "level.fmf", "level.hdr", "1"});
    ASSERT_EQ(r.exitStatus, 0) << r.out;
    Bytes fmf = box.readFile("level.fmf");
    ASSERT_EQ(fmf.size(), 116u);
    EXPECT_EQ(Bytes(fmf.begin() + 4, fmf.begin() + 16),
              (Bytes{96, 0, 0, 0, 5, 0, 0, 0, 9, 0, 0, 0}));
    Bytes unpacked = HundredByteStreamUnpacked();
    EXPECT_EQ(Bytes(fmf.end() - 6, fmf.end()), Bytes(unpacked.end() - 6, unpacked.end()));
}

}  // namespace
