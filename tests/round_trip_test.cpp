// The whole round trip on the demo ROM image, through the real programs: every level out
// to a folder, back into a new image with a patch, and every way that must refuse to write.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "demo_levels.h"
#include "demo_map.h"
#include "level/rom_levels.h"
#include "patch/patch_applier.h"
#include "program_runner.h"
#include "settings/map_groups.h"

using namespace tessary;

namespace {

std::string Stem(int level) {
    return "levels/" + LevelFileStem(level, kDemoLevels[level].name);
}

class RoundTrip : public ::testing::Test {
  protected:
    void SetUp() override {
        rom_ = MakeDemoRom();
        box_.writeFile("demo.rom", rom_);
        std::ifstream settings(TESSARY_DEMO_SETTINGS, std::ios::binary);
        box_.writeSettings(std::string(std::istreambuf_iterator<char>(settings), {}));
        const ProgramResult exported = RunExporter(box_, {"--all", "demo.rom", "levels"});
        ASSERT_EQ(exported.exitStatus, 0) << exported.out << exported.err;
    }

    ProgramResult packAll(const std::vector<std::string>& extra) const {
        std::vector<std::string> args = {"--all", "levels", "--rom", "demo.rom"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunPacker(box_, args);
    }

    // Changes one cell of a level's FMF file to another chip.
    void editCell(int level, size_t cell) const {
        Bytes fmf = box_.readFile(Stem(level) + ".fmf");
        uint8_t& low = fmf[20 + 2 * cell];
        low = static_cast<uint8_t>((low + 1) & 0x3F);
        box_.writeFile(Stem(level) + ".fmf", fmf);
    }

    // The range of bytes where `image` differs from the demo ROM image.
    std::pair<size_t, size_t> changedRange(const Bytes& image) const {
        size_t first = image.size(), last = 0;
        for (size_t i = 0; i < image.size(); ++i) {
            if (image[i] != rom_[i]) {
                first = std::min(first, i);
                last = i;
            }
        }
        return {first, last};
    }

    Sandbox box_;
    Bytes rom_;
};

TEST_F(RoundTrip, AnUneditedFolderGivesTheSameImageAndAnEmptyPatch) {
    for (int level = 0; level < static_cast<int>(std::size(kDemoLevels)); ++level) {
        EXPECT_TRUE(box_.exists(Stem(level) + ".fmf")) << level;
        EXPECT_EQ(box_.readFile(Stem(level) + ".hdr"),
                  Bytes(rom_.begin() + kDemoLevels[level].offset,
                        rom_.begin() + kDemoLevels[level].offset + 38));
    }
    EXPECT_FALSE(box_.exists("exp_map.dat"));
    for (const std::string patch : {"p.bps", "p.ips"}) {
        const ProgramResult r = packAll({"--into", "new.rom", "--patch", patch});
        ASSERT_EQ(r.exitStatus, 0) << r.out << r.err;
        EXPECT_EQ(box_.readFile("new.rom"), rom_);
        const AppliedPatch applied = ApplyPatch(rom_, box_.readFile(patch));
        EXPECT_EQ(applied.status, ApplyStatus::Applied) << applied.why;
        EXPECT_EQ(applied.target, rom_);
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n') >= 7, true) << r.out;
        EXPECT_NE(r.out.find("unchanged"), std::string::npos) << r.out;
    }
}

TEST_F(RoundTrip, AnEditChangesOnlyThatLevelsSlotAndThePatchesGiveTheNewImage) {
    editCell(3, 100);
    const ProgramResult r = packAll({"--into", "new.rom", "--patch", "p.bps"});
    ASSERT_EQ(r.exitStatus, 0) << r.out << r.err;
    const Bytes image = box_.readFile("new.rom");
    ASSERT_EQ(image.size(), rom_.size());
    const RomLevel before = SurveyLevel(rom_, MapGroup{"", kDemoLevels[3].offset, false, 24}, 3);
    const auto [first, last] = changedRange(image);
    EXPECT_GE(first, static_cast<size_t>(kDemoLevels[3].offset));
    EXPECT_LT(last, kDemoLevels[3].offset + before.slotSize());
    EXPECT_EQ(ApplyPatch(rom_, box_.readFile("p.bps")).target, image);

    // The same edit as an IPS patch; and the BPS patch refuses another ROM image.
    ASSERT_EQ(packAll({"--patch", "p.ips"}).exitStatus, 0);
    EXPECT_EQ(ApplyPatch(rom_, box_.readFile("p.ips")).target, image);
    Bytes other = rom_;
    other[5] ^= 1;
    EXPECT_EQ(ApplyPatch(other, box_.readFile("p.bps")).status, ApplyStatus::WrongSource);

    // The new image exports to the edited map.
    box_.writeFile("new.rom", image);
    ASSERT_EQ(RunExporter(box_, {"new.rom", "again.fmf", "again.hdr", "3"}).exitStatus, 0);
    EXPECT_EQ(box_.readFile("again.fmf"), box_.readFile(Stem(3) + ".fmf"));
}

TEST_F(RoundTrip, OneLevelGoesIntoItsSlotWithTheSingleLevelForm) {
    editCell(2, 7);
    const std::string stem = Stem(2);
    const ProgramResult r = RunPacker(box_, {"--rom", "demo.rom", "--into", "new.rom",
                                             stem + ".fmf", stem + ".hdr", "level.bin", "2"});
    ASSERT_EQ(r.exitStatus, 0) << r.out << r.err;
    const Bytes packed = box_.readFile("level.bin");
    const Bytes image = box_.readFile("new.rom");
    EXPECT_TRUE(std::equal(packed.begin(), packed.end(), image.begin() + kDemoLevels[2].offset));
    EXPECT_GE(changedRange(image).first, static_cast<size_t>(kDemoLevels[2].offset));
}

// Every refusal: its line, exit status -1, and no new ROM image, patch or output left.
TEST_F(RoundTrip, RefusalsWriteNothing) {
    const std::string fmf = Stem(1) + ".fmf";
    std::filesystem::create_symlink(box_.path("demo.rom"), box_.path("link.rom"));
    Bytes huge = box_.readFile(fmf);
    std::mt19937 random(7);
    for (size_t i = 20; i < huge.size(); ++i) {
        huge[i] = static_cast<uint8_t>(random() & (i % 2 ? 0x0F : 0x3F));
    }
    struct Case {
        std::string name;
        std::function<void()> damage;
        std::vector<std::string> args;
        std::string out;  // in the table or the failure line
        std::string err;
    };
    const std::vector<std::string> outputs = {"--into", "new.rom", "--patch", "p.bps"};
    const std::string nothing = "Nothing was written";
    const std::string failed = "Failed to save the output file.";
    const std::vector<Case> cases = {
        {"missing", [&] { std::filesystem::remove(box_.path(Stem(4) + ".hdr")); }, outputs, nothing,
         "04_Frozen_Shaft.hdr: No such file"},
        {"truncated",
         [&] {
             const Bytes whole = box_.readFile(fmf);
             box_.writeFile(fmf, Bytes(whole.begin(), whole.begin() + 300));
         },
         outputs, "not a map of this level", "but 280 do"},
        {"other header", [&] { box_.writeFile(Stem(1) + ".hdr", box_.readFile(Stem(0) + ".hdr")); },
         outputs, "another level's header", "is not the header of this level"},
        {"grown", [&] { box_.writeFile(fmf, huge); }, outputs, "over by", ""},
        {"into the ROM", [] {}, {"--into", "demo.rom"}, failed, "demo.rom is one of the inputs"},
        {"into a link", [] {}, {"--into", "link.rom"}, failed, "link.rom is one of the inputs"},
        {"full disk",
         [] {},
         {"--into", "new.rom", "--patch", "/dev/full"},
         failed,
         "/dev/full: No space left"},
        {"no folder", [] {}, {"--into", "nowhere/new.rom"}, failed, "new.rom: No such file"},
    };
    for (const Case& c : cases) {
        if (LinuxOnlyRow(c.args)) {
            continue;
        }
        SetUp();
        c.damage();
        std::vector<std::string> args = {"--all", "levels", "--rom", "demo.rom"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramResult r = RunAndCheckFiles(box_, RunPacker, args, {}, c.err, c.name);
        EXPECT_EQ(r.exitStatus, 255) << c.name;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << c.name << r.out;
    }
}

}  // namespace
