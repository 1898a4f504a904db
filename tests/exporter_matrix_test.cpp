// Bad input for the exporter, one row each: what it prints, how it exits, and that the
// ROM image, the settings file and every other file are left as they were.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>

#include "encoder_test_support.h"
#include "matrix_support.h"

namespace {

const std::string kBanner = "Korvel Map Exporter\n\n";
const std::string kExpanding = "Expanding compressed map data ... \n";
constexpr int kOffset = 64;

Bytes Header() {
    Bytes header(kMapHeaderSize);
    for (int i = 0; i < kMapHeaderSize; ++i) {
        header[i] = static_cast<uint8_t>(0xA0 + i);
    }
    header[0] = 0x00;
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

Bytes Rom(const Bytes& stream, size_t offset = kOffset, size_t minimumSize = 0) {
    Bytes rom(offset, 0xEA);
    Bytes header = Header();
    rom.insert(rom.end(), header.begin(), header.end());
    rom.insert(rom.end(), stream.begin(), stream.end());
    rom.resize(std::max(rom.size(), minimumSize), 0xEA);
    return rom;
}

// Eight groups, all at kOffset, 16 cells high unless `extra` says otherwise.
std::string Settings(const std::string& extra = "") {
    std::string text = extra + "[MapGroups]\nCount=8\n[MapGroupOffset]\n";
    for (int i = 0; i < 8; ++i) {
        text += std::to_string(i) + "=" + std::to_string(kOffset) + "\n";
    }
    return text;
}

std::string Position(size_t end) {
    char line[64];
    std::snprintf(line, sizeof line, "Current file position: %08zX\n", end);
    return line;
}

const std::string kGoodEnd = Position(kOffset + 38 + GoodStream().size());
const std::string kSaved =
    "Data expanded successfully.\nSaving header file...\nSuccessfully saved header file. \n"
    "Successfully saved uncompressed data.\n";
const std::string kFmfSaved =
    "Successfully converted to FMF.\nSaving FMF file...\nSuccessfully output FMF file.\n";
const std::string kComplete = kExpanding + kGoodEnd + kSaved + kFmfSaved;
const std::vector<std::string> kAllMade = {"l.fmf", "l.hdr", "exp_map.dat"};
const std::vector<std::string> kArgs = {"game.rom", "l.fmf", "l.hdr", "1"};
const std::string kNoSettings = "\x01none";

struct Row {
    std::string name;
    std::string settings;
    Bytes rom;  // written as game.rom
    std::vector<std::string> args;
    std::string out;  // after the banner
    int status;
    std::vector<std::string> made;
    std::function<void(const Sandbox&)> setup = nullptr;
};

std::string Usage(const std::string& groups) {
    return "Usage: [ROM file name] [FMF file] [Header file] [Level number]\n\n"
           "Invalid selection, select from the following:\n\n" +
           groups;
}

std::string Garbage() {
    std::mt19937 random(5);
    std::string text;
    for (int i = 0; i < 4000; ++i) {
        text += static_cast<char>(random() % 256);
    }
    return text;
}

Bytes Repeated(const Bytes& part, int times, Bytes tail) {
    Bytes all;
    for (int i = 0; i < times; ++i) {
        all.insert(all.end(), part.begin(), part.end());
    }
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
}

std::vector<Row> Rows() {
    const Bytes rom = Rom(GoodStream());
    const std::string failedConversion =
        kExpanding + kGoodEnd + kSaved + "Failed to convert to FMF.\n";
    const std::string invalid07 = "Invalid Selection. Valid numbers are between 0 and 7.\n";
    auto args = [](const std::string& level) {
        return std::vector<std::string>{"game.rom", "l.fmf", "l.hdr", level};
    };
    return {
        // The ROM image.
        {"ROM missing",
         Settings(),
         rom,
         {"none.rom", "l.fmf", "l.hdr", "1"},
         "Failed to open the ROM file. \n",
         255,
         {}},
        {"ROM is a directory",
         Settings(),
         rom,
         {"folder", "l.fmf", "l.hdr", "1"},
         "Failed to open the ROM file. \n",
         255,
         {},
         [](const Sandbox& box) { std::filesystem::create_directory(box.path("folder")); }},
        {"ROM empty", Settings(), {}, kArgs, kExpanding, 255, {}},
        {"ROM shorter than the offset", Settings(), Bytes(50, 1), kArgs, kExpanding, 255, {}},
        {"offset exactly at the end", Settings(), Bytes(kOffset, 1), kArgs, kExpanding, 255, {}},
        {"37 header bytes", Settings(), Bytes(kOffset + 37, 1), kArgs, kExpanding, 255, {}},
        {"stream overflows 65536 bytes",
         Settings(),
         Rom(Repeated({0x4D}, 4097, {0x00})),
         kArgs,
         kExpanding,
         255,
         {}},
        {"copy before the start", Settings(), Rom({0x90, 0x00}), kArgs, kExpanding, 255, {}},
        {"CopyFar shorter than its length",
         Settings(),
         Rom({0x03, 0x01, 0x02, 0x03, 0xC3, 0x00, 0x03, 0x00}),
         kArgs,
         kExpanding,
         255,
         {}},
        {"last command is not the end",
         Settings(),
         Rom({0x03, 0x01, 0x02, 0x03}),
         kArgs,
         kExpanding,
         255,
         {}},
        // The settings file.
        {"settings missing", kNoSettings, Rom(GoodStream(), 0), args("0"),
         kExpanding + Position(38 + GoodStream().size()) + kSaved + kFmfSaved, 0, kAllMade},
        {"settings empty",
         "",
         Rom(GoodStream(), 0),
         {"game.rom", "l.fmf", "l.hdr"},
         Usage("0: ?\n1: ?\n2: ?\n3: ?\n4: ?\n5: ?\n6: ?\n7: ?\n8: ?\n9: ?\n10: ?\n11: ?\n"
               "12: ?\n13: ?\n14: ?\n"),
         0,
         {}},
        {"settings binary garbage", Garbage(), Rom(GoodStream(), 0), args("14"),
         kExpanding + Position(38 + GoodStream().size()) + kSaved + kFmfSaved, 0, kAllMade},
        {"settings with a huge line", Settings(std::string(1 << 20, 'x') + "\n"), rom, kArgs,
         kComplete, 0, kAllMade},
        {"Count negative",
         "[MapGroups]\nCount=-3\n",
         rom,
         args("0"),
         "Invalid Selection. Valid numbers are between 0 and -4.\n",
         255,
         {}},
        {"Count zero",
         "[MapGroups]\nCount=0\n",
         rom,
         args("0"),
         "Invalid Selection. Valid numbers are between 0 and -1.\n",
         255,
         {}},
        {"Count 64", "[MapGroups]\nCount=64\n[MapGroupOffset]\n63=64\n", rom, args("63"), kComplete,
         0, kAllMade},
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
         kComplete, 0, kAllMade},
        {"height 0",
         Settings("[MapGroupHeight]\n1=0\n"),
         rom,
         kArgs,
         failedConversion,
         255,
         {"l.hdr", "exp_map.dat"}},
        {"height -1",
         Settings("[MapGroupHeight]\n1=-1\n"),
         rom,
         kArgs,
         failedConversion,
         255,
         {"l.hdr", "exp_map.dat"}},
        {"height huge", Settings("[MapGroupHeight]\n1=2147483647\n"), rom, kArgs, kComplete, 0,
         kAllMade},
        {"offset negative", "[MapGroupOffset]\n1=-64\n", rom, kArgs, kExpanding, 255, {}},
        {"offset past the end",
         "[MapGroupOffset]\n1=0x7FFFFFFF\n",
         rom,
         kArgs,
         kExpanding,
         255,
         {}},
        {"names of 0 and 1000 characters",
         "[MapGroups]\nCount=2\n[MapGroupName]\n0=\n1=" + std::string(1000, 'n') + "\n",
         rom,
         {"a", "b", "c"},
         Usage("0: \n1: " + std::string(255, 'n') + "\n"),
         0,
         {}},
        {"sections repeated", Settings() + "[MapGroupOffset]\n1=0\n[MapGroups]\nCount=1\n", rom,
         kArgs, kComplete, 0, kAllMade},
        // The command line.
        {"no arguments",
         Settings(),
         rom,
         {},
         Usage("0: ?\n1: ?\n2: ?\n3: ?\n4: ?\n5: ?\n6: ?\n7: ?\n"),
         0,
         {}},
        {"three arguments",
         Settings(),
         rom,
         {"game.rom", "l.fmf", "l.hdr"},
         Usage("0: ?\n1: ?\n2: ?\n3: ?\n4: ?\n5: ?\n6: ?\n7: ?\n"),
         0,
         {}},
        {"level with no digits", Settings(), rom, args("abc"), kComplete, 0, kAllMade},
        {"level empty", Settings(), rom, args(""), kComplete, 0, kAllMade},
        {"level 3rd", Settings(), rom, args("3rd"), kComplete, 0, kAllMade},
        {"level blank plus 2", Settings(), rom, args(" +2"), kComplete, 0, kAllMade},
        {"level 7x", Settings(), rom, args("7x"), kComplete, 0, kAllMade},
        {"level -1", Settings(), rom, args("-1"), invalid07, 255, {}},
        {"level 8", Settings(), rom, args("8"), invalid07, 255, {}},
        {"level huge", Settings(), rom, args("99999999999999999999999999"), invalid07, 255, {}},
        {"level huge negative",
         Settings(),
         rom,
         args("-99999999999999999999999999"),
         invalid07,
         255,
         {}},
        {"extra arguments ignored",
         Settings(),
         rom,
         {"game.rom", "l.fmf", "l.hdr", "1", "more", "--version"},
         kComplete,
         0,
         kAllMade},
        {"names with spaces and non-ASCII",
         Settings(),
         rom,
         {"game.rom", "lev\xC3\xA9l one.fmf", "h\xC3\xBC hdr", "1"},
         kComplete,
         0,
         {"lev\xC3\xA9l one.fmf", "h\xC3\xBC hdr", "exp_map.dat"}},
        // An output that would land on an input is refused.
        {"header file is the ROM",
         Settings(),
         rom,
         {"game.rom", "l.fmf", "./game.rom", "1"},
         kExpanding + kGoodEnd +
             "Data expanded successfully.\nSaving header file...\n"
             "Failed to save the header file.\nSuccessfully saved uncompressed data.\n" +
             kFmfSaved,
         0,
         {"l.fmf", "exp_map.dat"}},
        {"header file is the settings file",
         Settings(),
         rom,
         {"game.rom", "l.fmf", "../bin/tessary.ini", "1"},
         kExpanding + kGoodEnd +
             "Data expanded successfully.\nSaving header file...\n"
             "Failed to save the header file.\nSuccessfully saved uncompressed data.\n" +
             kFmfSaved,
         0,
         {"l.fmf", "exp_map.dat"}},
        {"the dump is the ROM",
         Settings(),
         rom,
         {"exp_map.dat", "l.fmf", "l.hdr", "1"},
         kExpanding + kGoodEnd +
             "Data expanded successfully.\nSaving header file...\n"
             "Successfully saved header file. \nFailed to save uncompressed file.\n" +
             kFmfSaved,
         0,
         {"l.fmf", "l.hdr"},
         [](const Sandbox& box) {
             std::filesystem::rename(box.path("game.rom"), box.path("exp_map.dat"));
         }},
        {"FMF file is the ROM by a link",
         Settings(),
         rom,
         {"game.rom", "link", "l.hdr", "1"},
         kExpanding + kGoodEnd + kSaved +
             "Successfully converted to FMF.\nSaving FMF file...\n"
             "Failed to save output FMF file.\n",
         255,
         {"l.hdr", "exp_map.dat"},
         [](const Sandbox& box) {
             std::filesystem::create_symlink(box.path("game.rom"), box.path("link"));
         }},
    };
}

TEST(ExporterMatrix, EveryRow) {
    for (const Row& row : Rows()) {
        Sandbox box;
        if (row.settings != kNoSettings) {
            box.writeSettings(row.settings);
        }
        box.writeFile("game.rom", row.rom);
        if (row.setup) {
            row.setup(box);
        }
        RunExporter(box, {});  // puts the program copy in place before the snapshot
        FileStates before = box.snapshot();
        ProgramResult r = RunExporter(box, row.args);
        EXPECT_EQ(r.out, kBanner + row.out) << row.name;
        EXPECT_EQ(r.exitStatus, row.status) << row.name;
        ExpectOnlyDocumentedFiles(before, box.snapshot(), row.made, row.name);
    }
}

// Each cut of a good stream, at every byte, fails cleanly and writes nothing.
TEST(ExporterMatrix, StreamCutAtEveryByte) {
    Bytes stream = GoodStream();
    for (size_t cut = 0; cut < stream.size(); ++cut) {
        Sandbox box;
        box.writeSettings(Settings());
        box.writeFile("game.rom", Rom(Bytes(stream.begin(), stream.begin() + cut)));
        RunExporter(box, {});
        FileStates before = box.snapshot();
        ProgramResult r = RunExporter(box, kArgs);
        std::string row = "cut at " + std::to_string(cut);
        EXPECT_EQ(r.out, kBanner + kExpanding) << row;
        EXPECT_EQ(r.exitStatus, 255) << row;
        EXPECT_NE(r.err.find("ends before the end marker"), std::string::npos) << row << r.err;
        ExpectOnlyDocumentedFiles(before, box.snapshot(), {}, row);
    }
}

}  // namespace

namespace {

// Root reads any file whatever its permissions, so this runs only for other users.
TEST(ExporterMatrix, UnreadableRomIsNotOpened) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root";
    }
    Sandbox box;
    box.writeSettings(Settings());
    box.writeFile("game.rom", Rom(GoodStream()));
    std::filesystem::permissions(box.path("game.rom"), std::filesystem::perms::none);
    ProgramResult r = RunExporter(box, kArgs);
    EXPECT_EQ(r.out, kBanner + "Failed to open the ROM file. \n");
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_FALSE(box.exists("l.hdr"));
    std::filesystem::permissions(box.path("game.rom"), std::filesystem::perms::owner_all);
}

}  // namespace
