// The packer run as a user runs it, alone and after the exporter: output text, exit
// status and every file afterwards. Bad input goes through one table, whose every row also
// checks that the packer's inputs, the settings file and every other file are left as they
// were.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "format/fmf.h"
#include "format/map_header.h"
#include "program_runner.h"

using namespace tessary;

namespace {

const std::string kBanner = "Korvel Map Compresser\n\n";
const std::string kSuccess = "Compression was successful.\n";
const std::string kPackedSize = "{size}";  // replaced by the output file's size

// Bytes counting up from 0x30.
Bytes Header(size_t size = kMapHeaderSize) {
    Bytes header(size);
    for (size_t i = 0; i < size; ++i) {
        header[i] = static_cast<uint8_t>(0x30 + i);
    }
    return header;
}

// Fill byte A 0 for empty sky and word W 0x0001 for the most common tile of MapCells().
Bytes PackHeader() {
    Bytes header(kMapHeaderSize);
    for (int i = 0; i < kMapHeaderSize; ++i) {
        header[i] = static_cast<uint8_t>(0x40 + 3 * i);
    }
    header[0] = 0x00;
    header[4] = 0x01;
    header[5] = 0x00;
    return header;
}

// An FMF file of a horizontal map 16 cells high, as the exporter writes one.
Bytes Fmf(const Bytes& cells) {
    FmfHeader header;
    header.dataSize = static_cast<uint32_t>(cells.size());
    header.width = static_cast<uint32_t>(cells.size() / 32);
    header.height = 16;
    Bytes bytes(kFmfHeaderSize);
    FmfHeaderToBytes(header, bytes.data());
    return Concat({bytes, cells});
}

Bytes PatternCells(size_t size) {
    Bytes cells;
    for (size_t i = 0; i < size; ++i) {
        cells.push_back(static_cast<uint8_t>(i % 7 == 0 ? 0x21 : i % 5 == 1 ? 0x40 : 0));
    }
    return cells;
}

// Level 1 at `offset`; level 0 is only named.
std::string TwoLevels(int offset, int height = 16, int vertical = 0) {
    return "[MapGroups]\nCount=2\n[MapGroupName]\n0=Intro\n1=Sewers\n[MapGroupOffset]\n1=" +
           std::to_string(offset) + "\n[MapGroupVertical]\n1=" + std::to_string(vertical) +
           "\n[MapGroupHeight]\n1=" + std::to_string(height) + "\n";
}

const std::string kFourLevels =
    "[MapGroups]\nCount=4\n[MapGroupHeight]\n1=16\n2=0\n3=-1\n[MapGroupVertical]\n1=1\n";

std::string SizeLine(size_t fmfSize) {
    return "FMF file size: " + std::to_string(fmfSize) + " bytes.\n";
}

std::string Packed(size_t fmfSize) {
    return SizeLine(fmfSize) + kSuccess + "Compressed size: " + kPackedSize + "bytes.\n";
}

// What follows "Usage: " and the program's path.
std::string UsageTail(const std::string& levels) {
    return " [FMF file] [Header sile] [Output file] [Level number]\n\n"
           "Invalid selection, select from the following:\n\n" +
           levels;
}

std::string TooManyCells(size_t cellBytes) {
    return "tessary_pack: warning: the map holds " + std::to_string(cellBytes) +
           " bytes of cells, more than the 65536 bytes the game unpacks a level into; the "
           "exporter cannot unpack this packed level.\n";
}

struct Row {
    std::string name;
    std::string settings;  // kNoSettings: no settings file
    Bytes fmf;             // written as a.fmf
    Bytes header;          // written as a.hdr
    std::vector<std::string> args;
    std::string out;  // after the banner, and with fewer than four arguments after the path
    int status;
    std::vector<std::string> made;  // files the run creates in the working folder
    std::string err = "";           // a part of the one line on standard error; "": none
    std::function<void(const Sandbox&)> setup = nullptr;
};

std::vector<Row> Rows() {
    const Bytes fmf = Fmf(PatternCells(64));
    const std::string size = SizeLine(fmf.size());
    const Bytes levelFmf = Fmf(MapCells(64, 1));
    const std::string levelSize = SizeLine(levelFmf.size());
    const std::vector<std::string> args = {"a.fmf", "a.hdr", "out.bin", "1"};
    auto level = [](const std::string& text) {
        return std::vector<std::string>{"a.fmf", "a.hdr", "out.bin", text};
    };
    auto output = [](const std::string& name) {
        return std::vector<std::string>{"a.fmf", "a.hdr", name, "1"};
    };
    auto folder = [](const char* name) {
        return [name](const Sandbox& box) { std::filesystem::create_directory(box.path(name)); };
    };
    const std::string saveFailed = size + "Failed to save the output file.\n";
    const std::string invalid = "Invalid Selection. Valid numbers are between 0 and 3.\n";
    const std::string invalid01 = "Invalid Selection. Valid numbers are between 0 and 1.\n";
    const std::string badHeight = "Invalid map height for this level.\n";
    const std::string tooShort = "The FMF file is too short.\n";
    const std::string headerTooShort = "The header file is too short.\n";
    std::vector<Row> rows = {
        // The FMF and header files.
        {"FMF missing",
         kFourLevels,
         fmf,
         Header(),
         {"none.fmf", "a.hdr", "out.bin", "1"},
         "Failed to open the FMF file.\n",
         255,
         {},
         "none.fmf: No such file"},
        {"FMF missing, two levels",
         TwoLevels(0),
         levelFmf,
         PackHeader(),
         {"none.fmf", "a.hdr", "out.bin", "1"},
         "Failed to open the FMF file.\n",
         255,
         {},
         "none.fmf: No such file"},
        {"FMF is a directory",
         kFourLevels,
         fmf,
         Header(),
         {"dir", "a.hdr", "out.bin", "1"},
         "Failed to open the FMF file.\n",
         255,
         {},
         "it is a folder",
         folder("dir")},
        {"FMF empty, two levels",
         TwoLevels(0),
         {},
         PackHeader(),
         args,
         SizeLine(0) + tooShort,
         255,
         {}},
        {"FMF of 19 bytes, two levels",
         TwoLevels(0),
         Bytes(19, 1),
         PackHeader(),
         args,
         SizeLine(19) + tooShort,
         255,
         {}},
        {"FMF of exactly 20 bytes",
         kFourLevels,
         Fmf({}),
         Header(),
         args,
         Packed(20),
         0,
         {"out.bin"}},
        {"FMF of no cells, two levels",
         TwoLevels(0),
         Fmf({}),
         PackHeader(),
         args,
         Packed(20),
         0,
         {"out.bin"}},
        {"FMF of odd size",
         kFourLevels,
         Fmf(PatternCells(37)),
         Header(),
         args,
         Packed(57),
         0,
         {"out.bin"}},
        {"FMF not a whole number of strips",
         kFourLevels,
         Fmf(PatternCells(100)),
         Header(),
         args,
         Packed(120),
         0,
         {"out.bin"}},
        {"FMF of exactly 65536 bytes of cells",
         kFourLevels,
         Fmf(PatternCells(65536)),
         Header(),
         args,
         Packed(65556),
         0,
         {"out.bin"}},
        {"FMF of 65537 bytes of cells",
         kFourLevels,
         Fmf(PatternCells(65537)),
         Header(),
         args,
         Packed(65557),
         0,
         {"out.bin"},
         TooManyCells(65537)},
        {"FMF beyond 65536 bytes of cells",
         kFourLevels,
         Fmf(PatternCells(70000)),
         Header(),
         args,
         Packed(70020),
         0,
         {"out.bin"},
         TooManyCells(70000)},
        {"FMF of a level beyond 65536 bytes",
         TwoLevels(0),
         Fmf(MapCells(40000, 5)),
         PackHeader(),
         args,
         Packed(80020),
         0,
         {"out.bin"},
         TooManyCells(80000)},
        {"header missing",
         kFourLevels,
         fmf,
         Header(),
         {"a.fmf", "none.hdr", "out.bin", "1"},
         size + "Failed to open the header file.\n",
         255,
         {},
         "none.hdr: No such file"},
        {"header missing, two levels",
         TwoLevels(0),
         levelFmf,
         PackHeader(),
         {"a.fmf", "none.hdr", "out.bin", "1"},
         levelSize + "Failed to open the header file.\n",
         255,
         {},
         "none.hdr: No such file"},
        {"header is a directory",
         kFourLevels,
         fmf,
         Header(),
         {"a.fmf", "dir", "out.bin", "1"},
         size + "Failed to open the header file.\n",
         255,
         {},
         "it is a folder",
         folder("dir")},
        {"header of 0 bytes", kFourLevels, fmf, Header(0), args, size + headerTooShort, 255, {}},
        {"header empty, two levels",
         TwoLevels(0),
         levelFmf,
         {},
         args,
         levelSize + headerTooShort,
         255,
         {}},
        {"header of 37 bytes", kFourLevels, fmf, Header(37), args, size + headerTooShort, 255, {}},
        {"header of 37 bytes, two levels",
         TwoLevels(0),
         levelFmf,
         Bytes(37, 1),
         args,
         levelSize + headerTooShort,
         255,
         {}},
        {"header of 38 bytes",
         kFourLevels,
         fmf,
         Header(38),
         args,
         Packed(fmf.size()),
         0,
         {"out.bin"}},
        {"header of 39 bytes",
         kFourLevels,
         fmf,
         Header(39),
         args,
         Packed(fmf.size()),
         0,
         {"out.bin"}},
        {"header of 39 bytes, two levels",
         TwoLevels(0),
         Fmf(MapCells(40, 4)),
         Concat({PackHeader(), {0xEE}}),
         args,
         Packed(100),
         0,
         {"out.bin"}},
        // The output file.
        {"output in a missing folder",
         kFourLevels,
         fmf,
         Header(),
         output("none/out.bin"),
         saveFailed,
         255,
         {},
         "out.bin: No such file"},
        {"output in a missing folder, two levels",
         TwoLevels(0),
         levelFmf,
         PackHeader(),
         output("no/such/out.bin"),
         levelSize + "Failed to save the output file.\n",
         255,
         {},
         "out.bin: No such file"},
        {"output onto a full device",
         kFourLevels,
         fmf,
         Header(),
         output("/dev/full"),
         saveFailed,
         255,
         {},
         "/dev/full: No space left"},
        {"output onto a full device, two levels",
         TwoLevels(0),
         levelFmf,
         PackHeader(),
         output("/dev/full"),
         levelSize + "Failed to save the output file.\n",
         255,
         {},
         "/dev/full: No space left"},
        // The written file is read back, and a device that keeps nothing fails that check.
        {"output onto a device that keeps nothing",
         kFourLevels,
         fmf,
         Header(),
         output("/dev/null"),
         size + "Compression failed.\n",
         255,
         {}},
        {"output onto the FMF file",
         kFourLevels,
         fmf,
         Header(),
         output("./a.fmf"),
         saveFailed,
         255,
         {},
         "a.fmf is one of the inputs"},
        {"output onto the header file",
         kFourLevels,
         fmf,
         Header(),
         output("a.hdr"),
         saveFailed,
         255,
         {},
         "a.hdr is one of the inputs"},
        {"output onto the settings file",
         kFourLevels,
         fmf,
         Header(),
         output("../bin/tessary.ini"),
         saveFailed,
         255,
         {},
         "tessary.ini is one of the inputs"},
        {"output onto the FMF file by a link",
         kFourLevels,
         fmf,
         Header(),
         output("link"),
         saveFailed,
         255,
         {},
         "link is one of the inputs",
         [](const Sandbox& box) {
             std::filesystem::create_symlink(box.path("a.fmf"), box.path("link"));
         }},
        // Settings.
        {"settings missing",
         kNoSettings,
         fmf,
         Header(),
         level("14"),
         Packed(fmf.size()),
         0,
         {"out.bin"}},
        {"height 0", kFourLevels, fmf, Header(), level("2"), badHeight, 255, {}},
        {"height -1", kFourLevels, fmf, Header(), level("3"), badHeight, 255, {}},
        {"height 0, two levels", TwoLevels(0, 0), levelFmf, PackHeader(), args, badHeight, 255, {}},
        {"height -16, two levels",
         TwoLevels(0, -16),
         levelFmf,
         PackHeader(),
         args,
         badHeight,
         255,
         {}},
        {"height huge",
         "[MapGroupHeight]\n1=2147483647\n",
         fmf,
         Header(),
         args,
         Packed(fmf.size()),
         0,
         {"out.bin"}},
        {"Count negative",
         "[MapGroups]\nCount=-3\n",
         fmf,
         Header(),
         level("0"),
         "Invalid Selection. Valid numbers are between 0 and -4.\n",
         255,
         {}},
        {"Count negative lists no levels",
         "[MapGroups]\nCount=-3\n",
         fmf,
         Header(),
         {"a.fmf", "a.hdr", "out.bin"},
         UsageTail(""),
         0,
         {}},
        {"Count zero",
         "[MapGroups]\nCount=0\n",
         fmf,
         Header(),
         level("0"),
         "Invalid Selection. Valid numbers are between 0 and -1.\n",
         255,
         {}},
        // The command line.
        {"level with no digits",
         kFourLevels,
         fmf,
         Header(),
         level("abc"),
         Packed(fmf.size()),
         0,
         {"out.bin"}},
        {"level 1st", kFourLevels, fmf, Header(), level("1st"), Packed(fmf.size()), 0, {"out.bin"}},
        {"level blank plus 1",
         kFourLevels,
         fmf,
         Header(),
         level("\t+1"),
         Packed(fmf.size()),
         0,
         {"out.bin"}},
        {"level 4", kFourLevels, fmf, Header(), level("4"), invalid, 255, {}},
        {"level -1", kFourLevels, fmf, Header(), level("-1"), invalid, 255, {}},
        {"level huge",
         kFourLevels,
         fmf,
         Header(),
         level("184467440737095516160"),
         invalid,
         255,
         {}},
        {"level 2 of two", TwoLevels(0), levelFmf, PackHeader(), level("2"), invalid01, 255, {}},
        {"level -1 of two", TwoLevels(0), levelFmf, PackHeader(), level("-1"), invalid01, 255, {}},
        {"extra arguments ignored",
         kFourLevels,
         fmf,
         Header(),
         {"a.fmf", "a.hdr", "out.bin", "1", "x", "y"},
         Packed(fmf.size()),
         0,
         {"out.bin"}},
        {"names with spaces and non-ASCII",
         kFourLevels,
         fmf,
         Header(),
         output("n\xC3\xA9w level.bin"),
         Packed(fmf.size()),
         0,
         {"n\xC3\xA9w level.bin"}},
        {"three arguments",
         kFourLevels,
         fmf,
         Header(),
         {"a.fmf", "a.hdr", "out.bin"},
         UsageTail("0: ?\n1: ?\n2: ?\n3: ?\n"),
         0,
         {}},
        {"three arguments, named levels",
         TwoLevels(0),
         levelFmf,
         PackHeader(),
         {"a.fmf", "a.hdr", "out.bin"},
         UsageTail("0: Intro\n1: Sewers\n"),
         0,
         {}},
    };
    for (size_t shortSize = 0; shortSize < 20; ++shortSize) {
        rows.push_back({"FMF of " + std::to_string(shortSize) + " bytes",
                        kFourLevels,
                        Bytes(shortSize, 0x46),
                        Header(),
                        args,
                        SizeLine(shortSize) + tooShort,
                        255,
                        {}});
    }
    return rows;
}

TEST(PackerProgram, EachRunPrintsItsLinesAndWritesOnlyItsFiles) {
    for (const Row& row : Rows()) {
        if (LinuxOnlyRow(row.args)) {
            continue;
        }
        Sandbox box;
        if (row.settings != kNoSettings) {
            box.writeSettings(row.settings);
        }
        box.writeFile("a.fmf", row.fmf);
        box.writeFile("a.hdr", row.header);
        // An earlier output must survive a run that documents writing none.
        if (row.made.empty()) {
            box.writeText("out.bin", "earlier output");
        }
        if (row.setup) {
            row.setup(box);
        }
        ProgramResult r = RunAndCheckFiles(box, RunPacker, row.args, row.made, row.err, row.name);
        std::string expected = kBanner + row.out;
        if (row.args.size() < 4) {
            expected = kBanner + "Usage: " + box.programFolder() + "/tessary_pack" + row.out;
        }
        size_t placeholder = expected.find(kPackedSize);
        if (placeholder != std::string::npos) {
            expected.replace(placeholder, kPackedSize.size(),
                             std::to_string(box.readFile(row.made.at(0)).size()));
        }
        EXPECT_EQ(r.out, expected) << row.name;
        EXPECT_EQ(r.exitStatus, row.status) << row.name;
        if (row.status == 0 && !row.made.empty()) {
            Bytes output = box.readFile(row.made[0]);
            ASSERT_GE(output.size(), 39u) << row.name;
            EXPECT_EQ(Bytes(output.begin(), output.begin() + 38),
                      Bytes(row.header.begin(), row.header.begin() + 38))
                << row.name;
        }
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
          Case{"odd length", Concat({MapCells(320, 10), {0x5C}}), 16, 0}}) {
        Sandbox box;
        Bytes header = PackHeader();
        Bytes stream = EncodeBytes(c.map, MapHeaderFromBytes(header.data()));
        Bytes rom = Concat({Bytes(300, 0xFF), header, stream, Bytes(50, 0xFF)});
        box.writeFile("game.rom", rom);
        box.writeSettings(TwoLevels(300, c.height, c.vertical));
        ProgramResult exported = RunExporter(box, {"game.rom", "lvl.fmf", "lvl.hdr", "1"});
        ASSERT_EQ(exported.exitStatus, 0) << c.name << exported.out << exported.err;

        ProgramResult packed = RunPacker(box, {"lvl.fmf", "lvl.hdr", "lvl.bin", "1"});
        Bytes output = box.readFile("lvl.bin");
        EXPECT_EQ(packed.out, kBanner + SizeLine(20 + c.map.size()) + kSuccess +
                                  "Compressed size: " + std::to_string(output.size()) + "bytes.\n")
            << c.name;
        EXPECT_EQ(packed.exitStatus, 0) << c.name;
        EXPECT_EQ(output, Concat({header, stream})) << c.name;
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
                  Concat({header, EncodeBytes(map, MapHeaderFromBytes(header.data()))}));
    box.writeSettings(TwoLevels(0));
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

// A program path longer than 260 bytes still leads to the settings beside the program.
TEST(PackerProgram, ReadsTheSettingsBesideItInADeepFolder) {
    const std::string part(100, 'd');
    Sandbox box(part + "/" + part + "/" + part);
    ASSERT_GT(box.programFolder().size() + std::string("/tessary_pack").size(), 260u);
    box.writeSettings(TwoLevels(0));
    ProgramResult r = RunAndCheckFiles(box, RunPacker, {}, {}, "", "deep folder");
    EXPECT_EQ(r.out, kBanner + "Usage: " + box.programFolder() + "/tessary_pack" +
                         UsageTail("0: Intro\n1: Sewers\n"));
    EXPECT_EQ(r.exitStatus, 0);
}

// Root reads any file whatever its permissions, so this runs only for other users.
TEST(PackerProgram, UnreadableInputsAreNotOpened) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root";
    }
    for (const char* unreadable : {"a.fmf", "a.hdr"}) {
        Sandbox box;
        box.writeSettings(kFourLevels);
        box.writeFile("a.fmf", Fmf(PatternCells(64)));
        box.writeFile("a.hdr", Header());
        std::filesystem::permissions(box.path(unreadable), std::filesystem::perms::none);
        ProgramResult r = RunPacker(box, {"a.fmf", "a.hdr", "out.bin", "1"});
        EXPECT_EQ(r.out, kBanner + (unreadable == std::string("a.fmf")
                                        ? "Failed to open the FMF file.\n"
                                        : SizeLine(84) + "Failed to open the header file.\n"));
        EXPECT_EQ(r.exitStatus, 255);
        EXPECT_FALSE(box.exists("out.bin"));
        std::filesystem::permissions(box.path(unreadable), std::filesystem::perms::owner_all);
    }
}

}  // namespace
