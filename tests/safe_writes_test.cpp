// Outputs are replaced whole or not at all, through the real programs: a write that fails
// halfway, a program killed just before its rename, a ROM image named as the output, and the
// permissions of a file that is replaced.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "demo_levels.h"
#include "demo_map.h"
#include "program_runner.h"

namespace fs = std::filesystem;

namespace {

const std::string kOld = "the previous content";

// Runs the programs through `launcher` while it lives.
class Launcher {
  public:
    explicit Launcher(const std::string& command) {
        setenv("TESSARY_LAUNCHER", command.c_str(), 1);
    }
    ~Launcher() { unsetenv("TESSARY_LAUNCHER"); }
};

class SafeWrites : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("TESSARY_LAUNCHER") != nullptr) {
            GTEST_SKIP() << "these runs need their own launcher";
        }
        box_.writeFile("demo.rom", MakeDemoRom());
        std::ifstream settings(TESSARY_DEMO_SETTINGS, std::ios::binary);
        box_.writeSettings(std::string(std::istreambuf_iterator<char>(settings), {}));
        ASSERT_EQ(RunExporter(box_, {"demo.rom", "l5.fmf", "l5.hdr", "5"}).exitStatus, 0);
        box_.writeText("limited.sh", "trap '' XFSZ\nulimit -f 4\nexec \"$@\"\n");
    }

    // Files of the working folder left by a run stopped halfway.
    std::vector<std::string> partials() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(box_.workFolder())) {
            if (entry.path().string().find(".tessary-partial") != std::string::npos) {
                found.push_back(entry.path().filename().string());
            }
        }
        return found;
    }

    Sandbox box_;
};

// 4 KiB of file size is too little for the level's 65 KiB FMF file and 9 KiB packed level.
TEST_F(SafeWrites, AWriteThatFailsHalfwayLeavesTheOldFile) {
    const std::string limited = "bash " + box_.path("limited.sh");
    struct Case {
        ProgramRunner run;
        std::vector<std::string> args;
        std::string output;
    };
    for (const Case& c : std::vector<Case>{
             {RunExporter, {"demo.rom", "out.fmf", "out.hdr", "5"}, "out.fmf"},
             {RunPacker, {"l5.fmf", "l5.hdr", "out.bin", "5"}, "out.bin"},
         }) {
        box_.writeText(c.output, kOld);
        const Launcher launcher(limited);
        const ProgramResult r = c.run(box_, c.args);
        EXPECT_EQ(r.exitStatus, 255) << c.output << r.out << r.err;
        EXPECT_NE(r.err.find("cannot write " + c.output + ": File too large"), std::string::npos)
            << r.err;
        EXPECT_EQ(box_.readFile(c.output), Bytes(kOld.begin(), kOld.end())) << c.output;
        EXPECT_EQ(partials(), std::vector<std::string>{}) << c.output;
    }
}

TEST_F(SafeWrites, AProgramKilledBeforeItsRenameLeavesTheOldFile) {
    if (std::system("command -v strace > /dev/null") != 0) {
        GTEST_SKIP() << "strace is not installed";
    }
    const std::vector<std::string> args = {"l5.fmf", "l5.hdr", "out.bin", "5"};
    box_.writeText("out.bin", kOld);
    {
        const Launcher launcher(
            "strace -f -o /dev/null -e trace=rename,renameat,renameat2 "
            "-e inject=rename,renameat,renameat2:signal=SIGKILL");
        const ProgramResult killed = RunPacker(box_, args);
        EXPECT_EQ(killed.exitStatus, 128 + 9) << killed.out << killed.err;
    }
    EXPECT_EQ(box_.readFile("out.bin"), Bytes(kOld.begin(), kOld.end()));
    EXPECT_EQ(partials(), std::vector<std::string>{"out.bin.tessary-partial"});

    // The next run replaces the output and clears what the stopped one left.
    const ProgramResult next = RunPacker(box_, args);
    EXPECT_EQ(next.exitStatus, 0) << next.out << next.err;
    EXPECT_EQ(partials(), std::vector<std::string>{});
    EXPECT_EQ(box_.readFile("out.bin").size(),
              static_cast<size_t>(std::stoul(next.out.substr(next.out.rfind(": ") + 2))));
}

TEST_F(SafeWrites, APackedLevelNeverReplacesAFileThatCannotBeOne) {
    const Bytes rom = box_.readFile("demo.rom");
    box_.writeFile("game.rom", rom);
    const std::vector<std::string> args = {"l5.fmf", "l5.hdr", "game.rom", "5"};
    const ProgramResult refused = RunAndCheckFiles(
        box_, RunPacker, args, {}, "game.rom is 262144 bytes, more than", "onto ROM");
    EXPECT_EQ(refused.exitStatus, 255);
    EXPECT_NE(refused.out.find("Failed to save the output file.\n"), std::string::npos);
    EXPECT_NE(refused.err.find("--force replaces it anyway"), std::string::npos);

    // With --force it is replaced, keeping its permissions; an earlier packed level of the
    // same map is replaced without it.
    chmod(box_.path("game.rom").c_str(), 0640);
    std::vector<std::string> forced = args;
    forced.insert(forced.begin(), "--force");
    ASSERT_EQ(RunPacker(box_, forced).exitStatus, 0);
    const Bytes packed = box_.readFile("game.rom");
    EXPECT_LT(packed.size(), rom.size());
    struct stat info;
    ASSERT_EQ(stat(box_.path("game.rom").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    ASSERT_EQ(RunPacker(box_, args).exitStatus, 0);
    EXPECT_EQ(box_.readFile("game.rom"), packed);
}

}  // namespace
