// What both programs share around the library: the level argument, and the input and output
// files where the programs' runs cannot tell the cases apart.

#include "program_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "program_runner.h"
#include "test_support.h"

using namespace tessary;

namespace {

struct LevelCase {
    const char* text;
    int32_t level;
};

TEST(ParseLevelNumber, ReadsLikeAtoiAndSaturates) {
    for (LevelCase c :
         {LevelCase{"abc", 0}, LevelCase{"", 0}, LevelCase{"3rd", 3}, LevelCase{" +2", 2},
          LevelCase{"\t\n\v\f\r 5", 5}, LevelCase{"-1", -1}, LevelCase{"7x", 7},
          LevelCase{"+-3", 0}, LevelCase{"0x10", 0}, LevelCase{"2147483647", INT32_MAX},
          LevelCase{"2147483648", INT32_MAX}, LevelCase{"99999999999999999999999", INT32_MAX},
          LevelCase{"-99999999999999999999999", INT32_MIN}, LevelCase{"4294967296", INT32_MAX}}) {
        EXPECT_EQ(ParseLevelNumber(c.text), c.level) << "'" << c.text << "'";
    }
}

// A pipe tells no size and must be read to its end; a folder and a missing file are told
// apart, though both programs report them alike.
TEST(ReadInputFile, ReadsPipesToTheirEndAndNamesWhatItCannotRead) {
    Sandbox box;
    std::filesystem::create_directory(box.path("folder"));
    const Bytes bytes = Sequence(0, 3000);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    ASSERT_EQ(write(pipeEnds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(pipeEnds[1]);
    struct Case {
        std::string name;
        std::string path;
        InputStatus status;
        Bytes bytes;
    };
    for (const Case& c :
         {Case{"pipe", "/dev/fd/" + std::to_string(pipeEnds[0]), InputStatus::Read, bytes},
          Case{"folder", box.path("folder"), InputStatus::Folder, {}},
          Case{"missing", box.path("none"), InputStatus::CannotOpen, {}}}) {
        const InputFile input = ReadInputFile(c.path);
        EXPECT_EQ(input.status, c.status) << c.name;
        EXPECT_EQ(input.bytes, c.bytes) << c.name;
    }
    close(pipeEnds[0]);
}

// The programs write one part at a time and never through a hard link.
TEST(WriteOutputFile, WritesThePartsInOrderUnlessTheNameReachesAnInput) {
    Sandbox box;
    box.writeText("input", "input bytes");
    box.writeText("older", "a longer earlier output");
    std::filesystem::create_hard_link(box.path("input"), box.path("hard link"));
    const Bytes first = {1, 2, 3};
    const Bytes second = {4, 5};
    struct Case {
        std::string name;
        std::string output;
        OutputStatus status;
        std::string holds;
    };
    for (const Case& c :
         {Case{"new file", "new", OutputStatus::Written, "\x01\x02\x03\x04\x05"},
          Case{"longer earlier file", "older", OutputStatus::Written, "\x01\x02\x03\x04\x05"},
          Case{"hard link to an input", "hard link", OutputStatus::LandsOnInput, "input bytes"}}) {
        const OutputStatus status = WriteOutputFile(
            box.path(c.output), {{first.data(), 3}, {nullptr, 0}, {second.data(), 2}},
            {"", box.path("input")});
        EXPECT_EQ(status, c.status) << c.name;
        EXPECT_EQ(box.readFile(c.output), Bytes(c.holds.begin(), c.holds.end())) << c.name;
    }
}

TEST(FileHolds, OnlyTheExactBytes) {
    Sandbox box;
    box.writeFile("file", {1, 2, 3});
    struct Case {
        std::string name;
        std::string path;
        Bytes bytes;
        bool holds;
    };
    for (const Case& c :
         {Case{"same", "file", {1, 2, 3}, true}, Case{"prefix", "file", {1, 2}, false},
          Case{"longer", "file", {1, 2, 3, 4}, false},
          Case{"last byte differs", "file", {1, 2, 4}, false},
          Case{"missing", "none", {}, false}}) {
        EXPECT_EQ(FileHolds(box.path(c.path), c.bytes), c.holds) << c.name;
    }
}

}  // namespace
