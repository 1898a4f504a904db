// What the programs tell a user who made a mistake, and what they show on request: the
// settings check, the FMF checks (warnings, or refusals with --strict), the notes on
// standard error, --help and options after the file arguments.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "demo_levels.h"
#include "demo_map.h"
#include "format/fmf.h"
#include "level/pack_level.h"
#include "program_runner.h"

using namespace tessary;

namespace {

std::string DemoSettings() {
    std::ifstream settings(TESSARY_DEMO_SETTINGS, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(settings), {});
}

class Diagnostics : public ::testing::Test {
  protected:
    void SetUp() override {
        box_.writeFile("demo.rom", MakeDemoRom());
        box_.writeSettings(DemoSettings());
        for (const char* level : {"2", "3"}) {
            const std::string name = std::string("l") + level;
            ASSERT_EQ(
                RunExporter(box_, {"demo.rom", name + ".fmf", name + ".hdr", level}).exitStatus, 0);
        }
    }

    // What the packer writes for `fmf` behind level 2's header, checks or no checks.
    Bytes packed(const Bytes& fmf) const {
        const FmfConversion cells = MapFromFmfFile(fmf.data(), fmf.size(), true, 20);
        return PackLevel(box_.readFile("l2.hdr").data(), cells.bytes.data(), cells.bytes.size(),
                         PackRequest{})
            .bytes;
    }

    Sandbox box_;
};

TEST_F(Diagnostics, CheckReportsTheSettingsAndEveryLevel) {
    struct Case {
        std::string name;
        std::string settings;
        int status;
        std::vector<std::string> lines;
    };
    const std::string broken =
        "[MapGroups]\nCount=3\n[MapGroupOfset]\n0=0x08000\n[MapGroupOffset]\n1=0X10000\n"
        "2: 0x18000\n01=0x20000\n[MapGroupHeight]\n1=0\n";
    for (const Case& c : std::vector<Case>{
             {"demo",
              DemoSettings(),
              0,
              {"No problems found in the settings.",
               "1      Crystal Caves  0x00010000  "
               "horizontal, 16 high  32768 bytes  1024 x "
               "16  4022 bytes  OK"}},
             {"broken",
              broken,
              255,
              {"tessary.ini:3: section [MapGroupOfset] is not read by the programs; did you "
               "mean [MapGroupOffset]?",
               "tessary.ini:6: the offset of level 1, \"0X10000\", is read as 0",
               "tessary.ini:7: the line \"2: 0x18000\" has no =", "tessary.ini:8: key 01",
               "tessary.ini:10: the height of level 1 is 0", "5 problems found",
               "will not unpack: a copy reaches outside"}},
             {"missing", kNoSettings, 255, {"tessary.ini was not found"}},
         }) {
        if (c.settings == kNoSettings) {
            std::remove((box_.programFolder() + "/tessary.ini").c_str());
        } else {
            box_.writeSettings(c.settings);
        }
        const ProgramResult r = RunExporter(box_, {"--check", "demo.rom"});
        EXPECT_EQ(r.exitStatus, c.status) << c.name << r.out;
        for (const std::string& line : c.lines) {
            EXPECT_NE(r.out.find(line), std::string::npos) << c.name << ": " << line << "\n"
                                                           << r.out;
        }
    }
}

// Each mistake is a warning in the plain form, packed as before, and a refusal with --strict.
TEST_F(Diagnostics, FmfChecksWarnOrRefuse) {
    const Bytes fmf = box_.readFile("l2.fmf");
    Bytes bit6 = fmf;
    bit6[20 + 2 * 45] |= 0x40;
    struct Case {
        std::string name;
        Bytes fmf;
        std::string header;  // the file given as the header
        std::string err;
    };
    for (const Case& c : std::vector<Case>{
             {"PNG renamed", Concat({{0x89, 'P', 'N', 'G', 13, 10, 26, 10}, Bytes(40, 0)}),
              "l2.hdr", "it starts with 89 50 4E 47"},
             {"arguments swapped", box_.readFile("l2.hdr"), "l2.fmf", "not an FMF file"},
             {"another level", box_.readFile("l3.fmf"), "l2.hdr", "300 cells wide but"},
             {"bit 6", bit6, "l2.hdr", "at x 5, y 2 with the value"},
         }) {
        box_.writeFile("in.fmf", c.fmf);
        const ProgramResult warned = RunPacker(box_, {"in.fmf", c.header, "out.bin", "2"});
        EXPECT_EQ(warned.exitStatus, 0) << c.name;
        EXPECT_NE(warned.out.find("Compression was successful."), std::string::npos) << c.name;
        EXPECT_NE(warned.err.find("warning: "), std::string::npos) << c.name << warned.err;
        EXPECT_NE(warned.err.find(c.err), std::string::npos) << c.name << warned.err;
        if (c.header == "l2.hdr") {
            EXPECT_EQ(box_.readFile("out.bin"), packed(c.fmf)) << c.name;
        }
        std::remove(box_.path("out.bin").c_str());
        const ProgramResult refused = RunAndCheckFiles(
            box_, RunPacker, {"--strict", "in.fmf", c.header, "out.bin", "2"}, {}, c.err, c.name);
        EXPECT_EQ(refused.exitStatus, 255) << c.name;
        EXPECT_NE(refused.out.find("The FMF file is not a map of this level.\n"), std::string::npos)
            << c.name << refused.out;
    }
}

TEST_F(Diagnostics, NotesHelpAndOptionsAfterTheArguments) {
    // The note after packing, and an option after the file arguments.
    const ProgramResult r = RunPacker(box_, {"l2.fmf", "l2.hdr", "out.bin", "2", "--optimal"});
    ASSERT_EQ(r.exitStatus, 0) << r.out << r.err;
    const Bytes out = box_.readFile("out.bin");
    EXPECT_EQ(r.err, "tessary_pack: map 20 x 200 cells (8000 bytes) packed into " +
                         std::to_string(out.size()) + " bytes with the optimal packing.\n");
    EXPECT_LT(out.size(), packed(box_.readFile("l2.fmf")).size());

    // A level number that is not plain digits says what it was read as.
    const ProgramResult third = RunExporter(box_, {"demo.rom", "a.fmf", "a.hdr", "3rd"});
    EXPECT_NE(third.err.find("the level argument \"3rd\" is not a plain number; it is read as 3."),
              std::string::npos)
        << third.err;

    for (const ProgramRunner run : {RunExporter, RunPacker}) {
        const ProgramResult help = run(box_, {"--help"});
        EXPECT_EQ(help.exitStatus, 0);
        for (const char* option : {"--all", "--help", "--version", "--"}) {
            EXPECT_NE(help.out.find("  " + std::string(option) + " "), std::string::npos)
                << option << help.out;
        }
    }
}

}  // namespace
