// The exporter run as a user runs it: output text, exit status and every file afterwards.
// Bad input goes through one table, whose every row also checks that the ROM image, the
// settings file and every other file are left as they were.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "format/fmf.h"
#include "format/map_header.h"
#include "program_runner.h"

using namespace tessary;

namespace {

const std::string kBanner = "Korvel Map Exporter\n\n";
const std::string kExpanding = "Expanding compressed map data ... \n";
constexpr int kOffset = 64;

// Fill byte A 0; the other bytes count up from 0xA0.
Bytes Header() {
    Bytes header(kMapHeaderSize);
    for (int i = 0; i < kMapHeaderSize; ++i) {
        header[i] = static_cast<uint8_t>(0xA0 + i);
    }
    header[0] = 0x00;
    return header;
}

// Fill byte A 0 and word W 1234; the other bytes count up from 0x80.
Bytes WordHeader() {
    Bytes header(kMapHeaderSize);
    for (int i = 0; i < kMapHeaderSize; ++i) {
        header[i] = static_cast<uint8_t>(0x80 + i);
    }
    header[0] = 0x00;
    header[4] = 0x34;
    header[5] = 0x12;
    return header;
}

// 128 bytes of map: sky, a platform, ground.
Bytes Map() {
    Bytes map;
    for (int cell = 0; cell < 64; ++cell) {
        int row = cell % 16;
        uint16_t value = row >= 13 ? 0x0012 : (row == 9 && cell / 16 == 2) ? 0x4021 : 0;
        map.push_back(static_cast<uint8_t>(value & 0xFF));
        map.push_back(static_cast<uint8_t>(value >> 8));
    }
    return map;
}

Bytes GoodStream() {
    return EncodeBytes(Map(), MapHeaderFromBytes(Header().data()));
}

// 100 stream bytes behind WordHeader(): six Literals of 15 bytes, Literal1 63, a fill run
// of 3, the word W.
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
    return Concat({Sequence(1, 90), {0x63, 0x00, 0x00, 0x00, 0x34, 0x12}});
}

// A ROM image of at least `size` bytes: `header` then `stream` at `offset`, on filler.
Bytes Rom(const Bytes& header, const Bytes& stream, size_t offset, size_t size = 0) {
    const Bytes level = Concat({header, stream});
    Bytes rom(std::max(size, offset + level.size()));
    for (size_t i = 0; i < rom.size(); ++i) {
        rom[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    std::copy(level.begin(), level.end(), rom.begin() + static_cast<long>(offset));
    return rom;
}

// Eight groups, all at kOffset, 16 cells high unless `extra` says otherwise.
std::string EightLevels(const std::string& extra = "") {
    std::string text = extra + "[MapGroups]\nCount=8\n[MapGroupOffset]\n";
    for (int i = 0; i < 8; ++i) {
        text += std::to_string(i) + "=" + std::to_string(kOffset) + "\n";
    }
    return text;
}

// Level 1 at `offset`; level 0 is only named.
std::string TwoLevels(int offset, int height = 16, int vertical = 0) {
    return "[MapGroups]\nCount=2\n[MapGroupName]\n0=Intro\n1=Level One\n"
           "[MapGroupOffset]\n1=" +
           std::to_string(offset) + "\n[MapGroupVertical]\n1=" + std::to_string(vertical) +
           "\n[MapGroupHeight]\n1=" + std::to_string(height) + "\n";
}

std::string Position(size_t end) {
    char line[64];
    std::snprintf(line, sizeof line, "Current file position: %08zX\n", end);
    return line;
}

std::string Usage(const std::string& groups) {
    return "Usage: [ROM file name] [FMF file] [Header file] [Level number]\n\n"
           "Invalid selection, select from the following:\n\n" +
           groups;
}

std::string UnnamedLevels(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += std::to_string(i) + ": ?\n";
    }
    return text;
}

std::string Garbage() {
    std::mt19937 random(5);
    std::string text;
    for (int i = 0; i < 4000; ++i) {
        text += static_cast<char>(random() % 256);
    }
    return text;
}

const std::string kGoodEnd = Position(kOffset + 38 + GoodStream().size());
const std::string kHundredEnd = Position(0x8A);
const std::string kSaved =
    "Data expanded successfully.\nSaving header file...\nSuccessfully saved header file. \n"
    "Successfully saved uncompressed data.\n";
const std::string kHeaderFailed =
    "Data expanded successfully.\nSaving header file...\nFailed to save the header file.\n"
    "Successfully saved uncompressed data.\n";
const std::string kFmfSaved =
    "Successfully converted to FMF.\nSaving FMF file...\nSuccessfully output FMF file.\n";
const std::string kFmfFailed =
    "Successfully converted to FMF.\nSaving FMF file...\nFailed to save output FMF file.\n";
const std::string kComplete = kExpanding + kGoodEnd + kSaved + kFmfSaved;
const std::vector<std::string> kOutputs = {"l.fmf", "l.hdr", "exp_map.dat"};
const std::vector<std::string> kArgs = {"game.rom", "l.fmf", "l.hdr", "1"};
const std::string kNoHeader = "level 1 will not unpack: the ROM image holds no 38-byte header";
const std::string kCut = "level 1 will not unpack: the data ends before the end marker";

struct Row {
    std::string name;
    std::string settings;  // kNoSettings: no settings file
    Bytes rom;             // written as game.rom
    std::vector<std::string> args;
    std::string out;  // after the banner
    int status;
    std::vector<std::string> made;  // files the run creates in the working folder
    std::string err = "";           // a part of the one line on standard error; "": none
    std::vector<std::pair<std::string, Bytes>> holds = {};  // files and their bytes afterwards
    std::function<void(const Sandbox&)> setup = nullptr;
};

std::vector<Row> Rows() {
    const Bytes rom = Rom(Header(), GoodStream(), kOffset);
    const Bytes hundredRom = Rom(WordHeader(), HundredByteStream(), 0, 1024);
    const Bytes hundredFmf = MapToFmfFile(HundredByteStreamUnpacked().data(), 96, false, 16).bytes;
    const std::string failedConversion =
        kExpanding + kGoodEnd + kSaved + "Failed to convert to FMF.\n";
    const std::string hundredUnconverted =
        kExpanding + kHundredEnd + kSaved + "Failed to convert to FMF.\n";
    const std::string invalid07 = "Invalid Selection. Valid numbers are between 0 and 7.\n";
    const std::string invalid014 = "Invalid Selection. Valid numbers are between 0 and 14.\n";
    const std::string atZero = kExpanding + Position(38 + GoodStream().size()) + kSaved + kFmfSaved;
    auto args = [](const std::string& level) {
        return std::vector<std::string>{"game.rom", "l.fmf", "l.hdr", level};
    };
    auto noHeaderAt = [](int offset) { return kNoHeader + " at offset " + std::to_string(offset); };
    std::vector<Row> rows = {
        // The ROM image.
        {"ROM missing",
         EightLevels(),
         rom,
         {"none.rom", "l.fmf", "l.hdr", "1"},
         "Failed to open the ROM file. \n",
         255,
         {},
         "none.rom: No such file or directory"},
        {"ROM missing, no settings",
         kNoSettings,
         rom,
         {"missing.rom", "l.fmf", "l.hdr", "0"},
         "Failed to open the ROM file. \n",
         255,
         {},
         "missing.rom: No such file or directory"},
        {"ROM is a directory",
         EightLevels(),
         rom,
         {"folder", "l.fmf", "l.hdr", "1"},
         "Failed to open the ROM file. \n",
         255,
         {},
         "folder: it is a folder",
         {},
         [](const Sandbox& box) { std::filesystem::create_directory(box.path("folder")); }},
        {"ROM empty", EightLevels(), {}, kArgs, kExpanding, 255, {}, noHeaderAt(kOffset)},
        {"ROM shorter than the offset",
         EightLevels(),
         Bytes(50, 1),
         kArgs,
         kExpanding,
         255,
         {},
         noHeaderAt(kOffset)},
        {"offset exactly at the end",
         EightLevels(),
         Bytes(kOffset, 1),
         kArgs,
         kExpanding,
         255,
         {},
         noHeaderAt(kOffset)},
        {"37 header bytes",
         EightLevels(),
         Bytes(kOffset + 37, 1),
         kArgs,
         kExpanding,
         255,
         {},
         noHeaderAt(kOffset)},
        {"negative offset",
         TwoLevels(-5),
         Rom(WordHeader(), {0x00}, 0, 1024),
         kArgs,
         kExpanding,
         255,
         {},
         noHeaderAt(-5)},
        {"offset at the end of 1024 bytes",
         TwoLevels(1024),
         Rom(WordHeader(), {0x00}, 0, 1024),
         kArgs,
         kExpanding,
         255,
         {},
         noHeaderAt(1024)},
        {"offset past the end of 1024 bytes",
         TwoLevels(5000),
         Rom(WordHeader(), {0x00}, 0, 1024),
         kArgs,
         kExpanding,
         255,
         {},
         noHeaderAt(5000)},
        {"37 header bytes at the end of 1024",
         TwoLevels(1024 - 37),
         Rom(WordHeader(), {0x00}, 0, 1024),
         kArgs,
         kExpanding,
         255,
         {},
         noHeaderAt(1024 - 37)},
        {"stream overflows 65536 bytes",
         EightLevels(),
         Rom(Header(), Concat({Repeat({0x4D}, 4097), {0x00}}), kOffset),
         kArgs,
         kExpanding,
         255,
         {},
         "level 1 will not unpack: the map would not fit into its buffer"},
        {"copy before the start",
         EightLevels(),
         Rom(Header(), {0x90, 0x00}, kOffset),
         kArgs,
         kExpanding,
         255,
         {},
         "level 1 will not unpack: a copy reaches outside the bytes already unpacked"},
        // Literal1 41, then a CopyFar of 6 bytes from distance 3 in a low half.
        {"CopyFar from before the start",
         TwoLevels(16),
         Rom(WordHeader(), {0x14, 0x1C, 0x30, 0x00, 0x30, 0x00}, 16, 1024),
         kArgs,
         kExpanding,
         255,
         {},
         "tessary: level 1 will not unpack: a copy reaches outside the bytes already unpacked "
         "(output offset 1, command 12 CopyFar beginning in the low half of its byte, distance "
         "3); reading stopped at ROM offset 0x0000003B.\n"},
        {"CopyFar shorter than its length",
         EightLevels(),
         Rom(Header(), {0x03, 0x01, 0x02, 0x03, 0xC3, 0x00, 0x03, 0x00}, kOffset),
         kArgs,
         kExpanding,
         255,
         {},
         "level 1 will not unpack: a copy reaches outside the bytes already unpacked"},
        {"last command is not the end",
         EightLevels(),
         Rom(Header(), {0x03, 0x01, 0x02, 0x03}, kOffset),
         kArgs,
         kExpanding,
         255,
         {},
         kCut},
        {"stream cut by the end of the image",
         TwoLevels(0),
         Rom(WordHeader(), {0x03, 0x41, 0x42, 0x43, 0xA0, 0x00}, 0),
         kArgs,
         kExpanding,
         255,
         {},
         "tessary: level 1 will not unpack: the data ends before the end marker (output offset "
         "6, where the next command should begin); reading stopped at ROM offset "
         "0x0000002C.\n"},
        {"empty map",
         TwoLevels(0),
         Rom(WordHeader(), {0x00}, 0, 1024),
         kArgs,
         kExpanding + Position(0x27) + kSaved + "Form has failed to secure a buffer for FMF.\n",
         255,
         {"l.hdr", "exp_map.dat"},
         "",
         {{"l.hdr", WordHeader()}, {"exp_map.dat", {}}}},
        // The settings file.
        {"settings missing", kNoSettings, Rom(Header(), GoodStream(), 0), args("0"), atZero, 0,
         kOutputs},
        {"settings missing, no arguments", kNoSettings, rom, {}, Usage(UnnamedLevels(15)), 0, {}},
        {"settings missing, level 15", kNoSettings, rom, args("15"), invalid014, 255, {}},
        {"settings missing, level -1", kNoSettings, rom, args("-1"), invalid014, 255, {}},
        {"settings missing, level huge",
         kNoSettings,
         rom,
         args("99999999999999999999"),
         invalid014,
         255,
         {}},
        {"settings empty",
         "",
         Rom(Header(), GoodStream(), 0),
         {"game.rom", "l.fmf", "l.hdr"},
         Usage(UnnamedLevels(15)),
         0,
         {}},
        {"settings binary garbage", Garbage(), Rom(Header(), GoodStream(), 0), args("14"), atZero,
         0, kOutputs},
        {"settings with a huge line", EightLevels(std::string(1 << 20, 'x') + "\n"), rom, kArgs,
         kComplete, 0, kOutputs},
        {"Count negative",
         "[MapGroups]\nCount=-3\n",
         rom,
         args("0"),
         "Invalid Selection. Valid numbers are between 0 and -4.\n",
         255,
         {}},
        {"Count negative lists no levels",
         "[MapGroups]\nCount=-3\n",
         rom,
         {"game.rom", "l.fmf", "l.hdr"},
         Usage(""),
         0,
         {}},
        {"Count zero",
         "[MapGroups]\nCount=0\n",
         rom,
         args("0"),
         "Invalid Selection. Valid numbers are between 0 and -1.\n",
         255,
         {}},
        {"Count 64", "[MapGroups]\nCount=64\n[MapGroupOffset]\n63=64\n", rom, args("63"), kComplete,
         0, kOutputs},
        {"Count 65",
         "[MapGroups]\nCount=65\n",
         rom,
         args("64"),
         "Invalid Selection. Valid numbers are between 0 and 63.\n",
         255,
         {}},
        {"Count not a number",
         "[MapGroups]\nCount=many\n",
         rom,
         args("0"),
         "Invalid Selection. Valid numbers are between 0 and -1.\n",
         255,
         {}},
        {"Count in hex", "[MapGroups]\nCount=0x2\n[MapGroupOffset]\n1=0x40\n", rom, args("1"),
         kComplete, 0, kOutputs},
        {"height 0",
         EightLevels("[MapGroupHeight]\n1=0\n"),
         rom,
         kArgs,
         failedConversion,
         255,
         {"l.hdr", "exp_map.dat"}},
        {"height -1",
         EightLevels("[MapGroupHeight]\n1=-1\n"),
         rom,
         kArgs,
         failedConversion,
         255,
         {"l.hdr", "exp_map.dat"}},
        {"height 0 after a longer map",
         TwoLevels(0, 0),
         hundredRom,
         kArgs,
         hundredUnconverted,
         255,
         {"l.hdr", "exp_map.dat"},
         "",
         {{"exp_map.dat", HundredByteStreamUnpacked()}}},
        {"height -1 after a longer map",
         TwoLevels(0, -1),
         hundredRom,
         kArgs,
         hundredUnconverted,
         255,
         {"l.hdr", "exp_map.dat"},
         "",
         {{"exp_map.dat", HundredByteStreamUnpacked()}}},
        {"height huge", EightLevels("[MapGroupHeight]\n1=2147483647\n"), rom, kArgs, kComplete, 0,
         kOutputs},
        {"offset negative",
         "[MapGroupOffset]\n1=-64\n",
         rom,
         kArgs,
         kExpanding,
         255,
         {},
         noHeaderAt(-64)},
        {"offset past the end",
         "[MapGroupOffset]\n1=0x7FFFFFFF\n",
         rom,
         kArgs,
         kExpanding,
         255,
         {},
         noHeaderAt(0x7FFFFFFF)},
        {"names of 0 and 1000 characters",
         "[MapGroups]\nCount=2\n[MapGroupName]\n0=\n1=" + std::string(1000, 'n') + "\n",
         rom,
         {"a", "b", "c"},
         Usage("0: \n1: " + std::string(255, 'n') + "\n"),
         0,
         {}},
        {"sections repeated", EightLevels() + "[MapGroupOffset]\n1=0\n[MapGroups]\nCount=1\n", rom,
         kArgs, kComplete, 0, kOutputs},
        // The command line.
        {"no arguments", EightLevels(), rom, {}, Usage(UnnamedLevels(8)), 0, {}},
        {"three arguments",
         EightLevels(),
         rom,
         {"game.rom", "l.fmf", "l.hdr"},
         Usage(UnnamedLevels(8)),
         0,
         {}},
        {"three arguments, named levels",
         TwoLevels(0),
         rom,
         {"game.rom", "out.fmf", "out.hdr"},
         Usage("0: Intro\n1: Level One\n"),
         0,
         {}},
        {"level with no digits", EightLevels(), rom, args("abc"), kComplete, 0, kOutputs},
        {"level empty", EightLevels(), rom, args(""), kComplete, 0, kOutputs},
        {"level 3rd", EightLevels(), rom, args("3rd"), kComplete, 0, kOutputs},
        {"level blank plus 2", EightLevels(), rom, args(" +2"), kComplete, 0, kOutputs},
        {"level 7x", EightLevels(), rom, args("7x"), kComplete, 0, kOutputs},
        {"level -1", EightLevels(), rom, args("-1"), invalid07, 255, {}},
        {"level 8", EightLevels(), rom, args("8"), invalid07, 255, {}},
        {"level huge", EightLevels(), rom, args("99999999999999999999999999"), invalid07, 255, {}},
        {"level huge negative",
         EightLevels(),
         rom,
         args("-99999999999999999999999999"),
         invalid07,
         255,
         {}},
        {"extra arguments ignored",
         EightLevels(),
         rom,
         {"game.rom", "l.fmf", "l.hdr", "1", "more", "arguments"},
         kComplete,
         0,
         kOutputs},
        {"names with spaces and non-ASCII",
         EightLevels(),
         rom,
         {"game.rom", "lev\xC3\xA9l one.fmf", "h\xC3\xBC hdr", "1"},
         kComplete,
         0,
         {"lev\xC3\xA9l one.fmf", "h\xC3\xBC hdr", "exp_map.dat"}},
        // Outputs that cannot be written: the header file and the dump only say so.
        {"header file in a missing folder",
         TwoLevels(0),
         hundredRom,
         {"game.rom", "l.fmf", "no/such/folder/level.hdr", "1"},
         kExpanding + kHundredEnd + kHeaderFailed + kFmfSaved,
         0,
         {"l.fmf", "exp_map.dat"},
         "no/such/folder/level.hdr: No such file",
         {{"l.fmf", hundredFmf}}},
        {"header file onto a full device",
         TwoLevels(0),
         hundredRom,
         {"game.rom", "l.fmf", "/dev/full", "1"},
         kExpanding + kHundredEnd + kHeaderFailed + kFmfSaved,
         0,
         {"l.fmf", "exp_map.dat"},
         "/dev/full: No space left",
         {{"l.fmf", hundredFmf}}},
        {"FMF file onto a full device",
         TwoLevels(0),
         hundredRom,
         {"game.rom", "/dev/full", "l.hdr", "1"},
         kExpanding + kHundredEnd + kSaved + kFmfFailed,
         255,
         {"l.hdr", "exp_map.dat"},
         "/dev/full: No space left"},
        {"FMF file in a missing folder",
         TwoLevels(0),
         hundredRom,
         {"game.rom", "no/such/folder/level.fmf", "l.hdr", "1"},
         kExpanding + kHundredEnd + kSaved + kFmfFailed,
         255,
         {"l.hdr", "exp_map.dat"},
         "level.fmf: No such file"},
        // An output that would land on an input is refused.
        {"header file is the ROM",
         EightLevels(),
         rom,
         {"game.rom", "l.fmf", "./game.rom", "1"},
         kExpanding + kGoodEnd + kHeaderFailed + kFmfSaved,
         0,
         {"l.fmf", "exp_map.dat"},
         "is one of the inputs"},
        {"header file is the settings file",
         EightLevels(),
         rom,
         {"game.rom", "l.fmf", "../bin/tessary.ini", "1"},
         kExpanding + kGoodEnd + kHeaderFailed + kFmfSaved,
         0,
         {"l.fmf", "exp_map.dat"},
         "tessary.ini is one of the inputs"},
        {"the dump is the ROM",
         EightLevels(),
         rom,
         {"exp_map.dat", "l.fmf", "l.hdr", "1"},
         kExpanding + kGoodEnd +
             "Data expanded successfully.\nSaving header file...\n"
             "Successfully saved header file. \nFailed to save uncompressed file.\n" +
             kFmfSaved,
         0,
         {"l.fmf", "l.hdr"},
         "exp_map.dat is one of the inputs",
         {},
         [](const Sandbox& box) {
             std::filesystem::rename(box.path("game.rom"), box.path("exp_map.dat"));
         }},
        {"FMF file is the ROM by a link",
         EightLevels(),
         rom,
         {"game.rom", "link", "l.hdr", "1"},
         kExpanding + kGoodEnd + kSaved + kFmfFailed,
         255,
         {"l.hdr", "exp_map.dat"},
         "link is one of the inputs",
         {},
         [](const Sandbox& box) {
             std::filesystem::create_symlink(box.path("game.rom"), box.path("link"));
         }},
    };
    // Each cut of a good stream, at every byte, fails cleanly.
    const Bytes stream = GoodStream();
    for (size_t cut = 0; cut < stream.size(); ++cut) {
        rows.push_back({"cut at " + std::to_string(cut),
                        EightLevels(),
                        Rom(Header(), Bytes(stream.begin(), stream.begin() + cut), kOffset),
                        kArgs,
                        kExpanding,
                        255,
                        {},
                        kCut});
    }
    return rows;
}

TEST(ExporterProgram, EachRunPrintsItsLinesAndWritesOnlyItsFiles) {
    for (const Row& row : Rows()) {
        if (LinuxOnlyRow(row.args)) {
            continue;
        }
        Sandbox box;
        if (row.settings != kNoSettings) {
            box.writeSettings(row.settings);
        }
        box.writeFile("game.rom", row.rom);
        // Earlier outputs that the run does not document writing must survive it.
        for (const std::string& name : kOutputs) {
            if (std::find(row.made.begin(), row.made.end(), name) == row.made.end()) {
                box.writeText(name, "earlier " + name);
            }
        }
        if (row.setup) {
            row.setup(box);
        }
        ProgramResult r = RunAndCheckFiles(box, RunExporter, row.args, row.made, row.err, row.name);
        EXPECT_EQ(r.out, kBanner + row.out) << row.name;
        EXPECT_EQ(r.exitStatus, row.status) << row.name;
        for (const auto& [name, bytes] : row.holds) {
            EXPECT_EQ(box.readFile(name), bytes) << row.name << ": " << name;
        }
    }
}

TEST(ExporterProgram, CompleteRunWritesAllThreeFiles) {
    Sandbox box;
    box.writeSettings(TwoLevels(256));
    Bytes rom = Rom(WordHeader(), HundredByteStream(), 256, 1024);
    box.writeFile("game.rom", rom);
    ProgramResult r = RunExporter(box, {"game.rom", "level.fmf", "level.hdr", "1", "extra"});
    EXPECT_EQ(r.out, kBanner + kExpanding + Position(0x18A) + kSaved + kFmfSaved);
    // Where the level lies (0x100 + 38 header bytes + 100 stream bytes), and the cells whose
    // bits 12-13 the FMF file cannot hold.
    const Bytes map = HundredByteStreamUnpacked();
    int losing = 0;
    for (size_t i = 0; i + 1 < map.size(); i += 2) {
        losing += (map[i + 1] & 0x30) != 0 ? 1 : 0;
    }
    EXPECT_EQ(r.err,
              "tessary: level 1 (Level One): horizontal, 16 high; map 3 x 16 cells; slot "
              "0x00000100-0x00000189 in the ROM image, 138 bytes.\ntessary: warning: " +
                  std::to_string(losing) +
                  " cells use bits 12-13, which an FMF file cannot hold; packing this "
                  "FMF file gives them 0 there.\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(box.readFile("level.hdr"), WordHeader());
    EXPECT_EQ(box.readFile("exp_map.dat"), HundredByteStreamUnpacked());
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

TEST(ExporterProgram, PartialStripIsCarriedIntoTheFmfFileUnchanged) {
    Sandbox box;
    box.writeSettings(TwoLevels(0, 5, 1));  // vertical, 5 wide: 96 bytes = 9 rows + 6 bytes
    box.writeFile("game.rom", Rom(WordHeader(), HundredByteStream(), 0, 1024));
    ProgramResult r = RunExporter(box, {"game.rom", "level.fmf", "level.hdr", "1"});
    ASSERT_EQ(r.exitStatus, 0) << r.out;
    Bytes fmf = box.readFile("level.fmf");
    ASSERT_EQ(fmf.size(), 116u);
    EXPECT_EQ(Bytes(fmf.begin() + 4, fmf.begin() + 16),
              (Bytes{96, 0, 0, 0, 5, 0, 0, 0, 9, 0, 0, 0}));
    Bytes unpacked = HundredByteStreamUnpacked();
    EXPECT_EQ(Bytes(fmf.end() - 6, fmf.end()), Bytes(unpacked.end() - 6, unpacked.end()));
}

// A program path longer than 260 bytes still leads to the settings beside the program.
TEST(ExporterProgram, ReadsTheSettingsBesideItInADeepFolder) {
    const std::string part(100, 'd');
    Sandbox box(part + "/" + part + "/" + part);
    ASSERT_GT(box.programFolder().size() + std::string("/tessary").size(), 260u);
    box.writeSettings(TwoLevels(0));
    ProgramResult r = RunAndCheckFiles(box, RunExporter, {}, {}, "", "deep folder");
    EXPECT_EQ(r.out, kBanner + Usage("0: Intro\n1: Level One\n"));
    EXPECT_EQ(r.exitStatus, 0);
}

// Root reads any file whatever its permissions, so this runs only for other users.
TEST(ExporterProgram, UnreadableRomIsNotOpened) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root";
    }
    Sandbox box;
    box.writeSettings(EightLevels());
    box.writeFile("game.rom", Rom(Header(), GoodStream(), kOffset));
    std::filesystem::permissions(box.path("game.rom"), std::filesystem::perms::none);
    ProgramResult r = RunExporter(box, kArgs);
    EXPECT_EQ(r.out, kBanner + "Failed to open the ROM file. \n");
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_FALSE(box.exists("l.hdr"));
    std::filesystem::permissions(box.path("game.rom"), std::filesystem::perms::owner_all);
}

}  // namespace
