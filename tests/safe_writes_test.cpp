// Outputs are replaced whole or not at all, through the real programs: a write that fails
// halfway, a program killed just before its rename, a ROM image named as the output, the
// permissions of a file that is replaced; and, through the programs' test builds with faults
// planted, each check before success firing.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "demo_levels.h"
#include "demo_map.h"
#include "level/pack_level.h"
#include "level/rom_levels.h"
#include "program_runner.h"

namespace fs = std::filesystem;

namespace {

const std::string kOld = "the previous content";

// An environment variable set while it lives, for the programs run meanwhile.
class Variable {
  public:
    Variable(const char* name, const std::string& value) : name_(name) {
        setenv(name, value.c_str(), 1);
    }
    ~Variable() { unsetenv(name_); }
    Variable(const Variable&) = delete;
    Variable& operator=(const Variable&) = delete;

  private:
    const char* name_;
};

// Runs the programs through `command` while it lives.
class Launcher : public Variable {
  public:
    explicit Launcher(const std::string& command) : Variable("TESSARY_LAUNCHER", command) {}
};

// The programs' test builds, with the fault TESSARY_FAULT names planted.
ProgramResult RunFaultyExporter(const Sandbox& box, const std::vector<std::string>& args) {
    return box.run("TESSARY_FAULTY_EXE", TESSARY_FAULTY_EXE, args);
}
ProgramResult RunFaultyPacker(const Sandbox& box, const std::vector<std::string>& args) {
    return box.run("TESSARY_FAULTY_PACK_EXE", TESSARY_FAULTY_PACK_EXE, args);
}

const std::string kLevels = "levels/";
const std::string kEdited = kLevels + tessary::LevelFileStem(5, kDemoLevels[5].name) + ".fmf";
const std::vector<std::string> kRomOutputs = {"--into", "new.rom", "--patch", "p.ips"};

std::vector<std::string> PackAll(const std::vector<std::string>& outputs = kRomOutputs) {
    std::vector<std::string> args = {"--all", "levels", "--rom", "demo.rom"};
    args.insert(args.end(), outputs.begin(), outputs.end());
    return args;
}

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
        // Every level in a folder, one of them edited near its start, so that its packed
        // stream changes almost wholly.
        ASSERT_EQ(RunExporter(box_, {"--all", "demo.rom", "levels"}).exitStatus, 0);
        Bytes fmf = box_.readFile(kEdited);
        fmf[20 + 2 * 3] ^= 0x01;
        box_.writeFile(kEdited, fmf);
        box_.writeText("limited.sh", "trap '' XFSZ\nulimit -f 4\nexec \"$@\"\n");
    }

    void writeOld(const std::vector<std::string>& outputs) const {
        for (const std::string& output : outputs) {
            box_.writeText(output, kOld);
        }
    }

    // The working folder's files: content and time stamp.
    FileStates workFiles() const {
        FileStates files = box_.snapshot();
        for (auto file = files.begin(); file != files.end();) {
            file = file->first.rfind("work/", 0) == 0 ? std::next(file) : files.erase(file);
        }
        return files;
    }

    // Files of the working folder left by a run stopped halfway, sorted.
    std::vector<std::string> partials() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(box_.workFolder())) {
            if (entry.path().string().find(".tessary-partial") != std::string::npos) {
                found.push_back(entry.path().filename().string());
            }
        }
        std::sort(found.begin(), found.end());
        return found;
    }

    Sandbox box_;
};

// 4 KiB of file size is too little for the level's 65 KiB FMF file, its 9 KiB packed level,
// the 256 KiB ROM image and the IPS patch of the edited level.
TEST_F(SafeWrites, AWriteThatFailsHalfwayLeavesTheOldFiles) {
    const std::string limited = "bash " + box_.path("limited.sh");
    struct Case {
        ProgramRunner run;
        std::vector<std::string> args;
        std::vector<std::string> outputs;  // the first is the one that fails
    };
    for (const Case& c : std::vector<Case>{
             {RunExporter, {"demo.rom", "out.fmf", "out.hdr", "5"}, {"out.fmf"}},
             {RunPacker, {"l5.fmf", "l5.hdr", "out.bin", "5"}, {"out.bin"}},
             {RunPacker, PackAll(), {"new.rom", "p.ips"}},
             {RunPacker, PackAll({"--patch", "p.ips"}), {"p.ips"}},
         }) {
        writeOld(c.outputs);
        const Launcher launcher(limited);
        const ProgramResult r = c.run(box_, c.args);
        const std::string& first = c.outputs[0];
        EXPECT_EQ(r.exitStatus, 255) << first << r.out << r.err;
        EXPECT_NE(r.err.find("cannot write " + first + ": File too large"), std::string::npos)
            << r.err;
        for (const std::string& output : c.outputs) {
            EXPECT_EQ(box_.readFile(output), Bytes(kOld.begin(), kOld.end())) << output;
        }
        EXPECT_EQ(partials(), std::vector<std::string>{}) << first;
    }
}

// Killed at its first rename, a run leaves every output as it was, its temporary files
// named after them, and the progress lines it printed; the next run clears them.
TEST_F(SafeWrites, AProgramKilledBeforeItsRenameLeavesTheOldFiles) {
    if (std::system("command -v strace > /dev/null") != 0) {
        GTEST_SKIP() << "strace is not installed";
    }
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> outputs;  // sorted
        std::string progress;              // printed before the outputs are written
    };
    for (const Case& c : std::vector<Case>{
             {{"l5.fmf", "l5.hdr", "out.bin", "5"}, {"out.bin"}, "FMF file size: "},
             {PackAll({"--into", "new.rom", "--patch", "p.bps"}), {"new.rom", "p.bps"}, "packed"},
         }) {
        writeOld(c.outputs);
        std::vector<std::string> left;
        for (const std::string& output : c.outputs) {
            left.push_back(output + ".tessary-partial");
        }
        {
            const Launcher launcher(
                "strace -f -o /dev/null -e trace=rename,renameat,renameat2 "
                "-e inject=rename,renameat,renameat2:signal=SIGKILL");
            const ProgramResult killed = RunPacker(box_, c.args);
            EXPECT_EQ(killed.exitStatus, 128 + 9) << killed.out << killed.err;
            EXPECT_NE(killed.out.find(c.progress), std::string::npos) << killed.out;
        }
        for (const std::string& output : c.outputs) {
            EXPECT_EQ(box_.readFile(output), Bytes(kOld.begin(), kOld.end())) << output;
        }
        EXPECT_EQ(partials(), left);

        const ProgramResult next = RunPacker(box_, c.args);
        EXPECT_EQ(next.exitStatus, 0) << next.out << next.err;
        EXPECT_EQ(partials(), std::vector<std::string>{});
        for (const std::string& output : c.outputs) {
            EXPECT_NE(box_.readFile(output), Bytes(kOld.begin(), kOld.end())) << output;
        }
    }
}

// Every check between packing and "Compression was successful." fires when its fault is
// planted: the run fails with its line and exit status 255, and leaves the files as they were
// (but for `replaced`, which the check reads after it was put in place) and no temporary file.
TEST_F(SafeWrites, EveryCheckFiresOnItsFault) {
    struct Mode {
        ProgramRunner run;
        std::vector<std::string> args;
        std::vector<std::string> outputs;  // standing before the run
    };
    const Mode exporter{
        RunFaultyExporter, {"demo.rom", "out.fmf", "out.hdr", "5"}, {"out.fmf", "out.hdr"}};
    const Mode exportAll{RunFaultyExporter, {"--all", "demo.rom", "levels"}, {}};
    const Mode packer{RunFaultyPacker, {"l5.fmf", "l5.hdr", "out.bin", "5"}, {"out.bin"}};
    const Mode packInto{RunFaultyPacker,
                        {"--rom", "demo.rom", "--into", "new.rom", "--patch", "p.bps", kEdited,
                         "l5.hdr", "out.bin", "5"},
                        {"out.bin", "new.rom", "p.bps"}};
    const Mode packAll{RunFaultyPacker, PackAll(), {"new.rom", "p.ips"}};
    const Mode patchOnly{RunFaultyPacker, PackAll({"--patch", "p.bps"}), {"p.bps"}};
    struct Case {
        std::string fault;
        Mode mode;
        std::string out;
        std::string err;
        std::string replaced;
    };
    const std::string failed = "Compression failed.\n";
    const std::string notSaved = "Failed to save the output file.\n";
    const std::string io = ": Input/output error";
    std::vector<Case> cases = {
        {"wrong-stream", packer, failed, "", ""},
        {"wrong-stream", packInto, failed, "", ""},
        {"wrong-stream", packAll, "packing failed", "", ""},
        {"output-read-back", packer, failed, "", "out.bin"},
        {"wrong-image", packInto, failed, "did not check out", ""},
        {"wrong-image", packAll, failed, "did not check out", ""},
        {"wrong-patch", packInto, failed, "the patch did not give the new ROM image", ""},
        {"wrong-patch", packAll, failed, "the patch did not give the new ROM image", ""},
    };
    for (const std::string fault :
         {"short-write", "long-write", "different-write", "staged-read-back"}) {
        cases.push_back({fault, exporter, "Failed to save output FMF file.\n", "out.fmf" + io, ""});
        cases.push_back({fault, exportAll, "not written", "levels/00_Green_Hills.fmf" + io, ""});
        cases.push_back({fault, packer, notSaved, "out.bin" + io, ""});
        cases.push_back({fault, packInto, notSaved, "new.rom" + io, ""});
        cases.push_back({fault, packAll, notSaved, "new.rom" + io, ""});
        cases.push_back({fault, patchOnly, notSaved, "p.bps" + io, ""});
    }
    for (const Case& c : cases) {
        const std::string row = c.fault + " " + c.mode.args[0] + " " + c.mode.args[1];
        writeOld(c.mode.outputs);
        FileStates before = workFiles();
        const Variable fault("TESSARY_FAULT", c.fault);
        const ProgramResult r = c.mode.run(box_, c.mode.args);
        EXPECT_EQ(r.exitStatus, 255) << row << r.out << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << row << r.out;
        if (c.err.empty()) {
            EXPECT_EQ(ErrorLines(r.err), "") << row;
        } else {
            EXPECT_NE(r.err.find(c.err), std::string::npos) << row << r.err;
        }
        FileStates after = workFiles();
        if (!c.replaced.empty()) {
            EXPECT_FALSE(after.at("work/" + c.replaced) == before.at("work/" + c.replaced)) << row;
            before.erase("work/" + c.replaced);
            after.erase("work/" + c.replaced);
        }
        EXPECT_TRUE(after == before) << row;
    }
}

// In one log holding both streams, each error line comes right after the progress lines
// printed before it.
TEST_F(SafeWrites, OneLogKeepsTheOrderOfBothStreams) {
    const std::vector<std::string> args = {"demo.rom", "out.fmf", "nowhere/out.hdr", "5"};
    const ProgramResult apart = RunExporter(box_, args);
    const std::string failure = "Failed to save the header file.\n";
    const size_t split = apart.out.find(failure) + failure.size();
    ASSERT_NE(apart.out.find(failure), std::string::npos) << apart.out;
    const size_t firstError = apart.err.find('\n') + 1;
    ASSERT_LT(firstError, apart.err.size()) << "the cases need a note after the failure";

    box_.writeText("together.sh", "exec \"$@\" 2>&1\n");
    const Launcher launcher("bash " + box_.path("together.sh"));
    const ProgramResult together = RunExporter(box_, args);
    EXPECT_EQ(together.out, apart.out.substr(0, split) + apart.err.substr(0, firstError) +
                                apart.out.substr(split) + apart.err.substr(firstError));
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

    // The bound is exact: a file as large as the map packed all as literals is replaced.
    const size_t largest = tessary::AllLiteralLevelSize(box_.readFile("l5.fmf").size() - 20);
    for (const size_t size : {largest + 1, largest}) {
        box_.writeFile("edge.bin", Bytes(size, 0));
        const ProgramResult r = RunPacker(box_, {"l5.fmf", "l5.hdr", "edge.bin", "5"});
        EXPECT_EQ(r.exitStatus, size == largest ? 0 : 255) << size << r.err;
    }
}

// An output named through a link replaces the file it points to; the link stays.
TEST_F(SafeWrites, AnOutputThatIsALinkReplacesTheFileItPointsTo) {
    box_.writeText("real.bin", kOld);
    fs::create_symlink("real.bin", box_.path("link.bin"));
    ASSERT_EQ(RunPacker(box_, {"l5.fmf", "l5.hdr", "link.bin", "5"}).exitStatus, 0);
    EXPECT_TRUE(fs::is_symlink(box_.path("link.bin")));
    const Bytes packed = box_.readFile("real.bin");
    EXPECT_NE(packed, Bytes(kOld.begin(), kOld.end()));
    ASSERT_EQ(RunPacker(box_, {"l5.fmf", "l5.hdr", "plain.bin", "5"}).exitStatus, 0);
    EXPECT_EQ(packed, box_.readFile("plain.bin"));
}

// Every level is tried, and one that could not be written fails the run, whichever it is.
TEST_F(SafeWrites, ExportingEveryLevelFailsWhenOneIsNotWritten) {
    fs::create_directories(box_.path("out/00_Green_Hills.fmf"));
    const ProgramResult r = RunExporter(box_, {"--all", "demo.rom", "out"});
    EXPECT_EQ(r.exitStatus, 255) << r.out << r.err;
    EXPECT_NE(r.err.find("level 0 was not written"), std::string::npos) << r.err;
    EXPECT_EQ(box_.readFile("out/05_Iron_Fortress.fmf"), box_.readFile("l5.fmf"));
}

}  // namespace
