// The packer's options through the real program, and their parsing on its own.

#include "pack_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/fmf.h"
#include "format/map_header.h"
#include "level/pack_level.h"
#include "program_runner.h"

using namespace tessary;

namespace {

struct OptionCase {
    std::vector<const char*> args;
    bool optimal;
    int64_t limit;
    std::vector<std::string> positional;
    std::string error;
};

TEST(ParsePackOptions, ReadsOptionsAnywhereBeforeTheDoubleDash) {
    const std::vector<std::string> abc1 = {"a", "b", "c", "1"};
    for (const OptionCase& c : std::vector<OptionCase>{
             {{"a", "b", "c", "1"}, false, -1, abc1, ""},
             {{"--optimal", "a", "b", "c", "1"}, true, -1, abc1, ""},
             {{"a", "b", "--optimal", "c", "1"}, true, -1, abc1, ""},
             {{"a", "b", "c", "1", "--limit", "4022"}, false, 4022, abc1, ""},
             {{"--limit=0xFB6", "--optimal", "a"}, true, 4022, {"a"}, ""},
             {{"--limit", "0x10"}, false, 16, {}, ""},
             {{"--", "--optimal", "b"}, false, -1, {"--optimal", "b"}, ""},
             {{"-", "b", "c", "-1"}, false, -1, {"-", "b", "c", "-1"}, ""},
             {{"--rom", "r", "--patch", "p.ips", "a"}, false, -1, {"a"}, ""},
             {{"--fast", "a"}, false, -1, {}, "Unknown option: --fast"},
             {{"a", "-o"}, false, -1, {}, "Unknown option: -o"},
             {{"--optimal=1"}, false, -1, {}, "Unknown option: --optimal=1"},
             {{"--limit"}, false, -1, {}, "Invalid limit: (none)"},
             {{"--limit", "12k"}, false, -1, {}, "Invalid limit: 12k"},
             {{"--limit", "-5"}, false, -1, {}, "Invalid limit: -5"},
             {{"--limit=0x"}, false, -1, {}, "Invalid limit: 0x"},
             {{"--limit", "99999999999999999999"},
              false,
              -1,
              {},
              "Invalid limit: 99999999999999999999"},
             {{"--into", "n.rom", "a"}, false, -1, {}, "--into needs --rom"},
             {{"--patch", "p"}, false, -1, {}, "--patch needs --rom"},
             {{"--all", "d", "--rom", "r"},
              false,
              -1,
              {},
              "--all needs --rom and --into or --patch"},
             {{"--all", "d", "--rom", "r", "--into", "n", "--limit", "0"},
              false,
              -1,
              {},
              "--limit applies to one level; with --all each level's limit is its slot"},
             {{"--rom"}, false, -1, {}, "Missing value: --rom"},
         }) {
        std::vector<const char*> argv{"tessary_pack"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        PackOptions options = ParsePackOptions(static_cast<int>(argv.size()), argv.data());
        std::string row = c.args.empty() ? "" : c.args[0];
        EXPECT_EQ(options.error, c.error) << row;
        if (c.error.empty()) {
            EXPECT_EQ(options.optimal, c.optimal) << row;
            EXPECT_EQ(options.limit, c.limit) << row;
            EXPECT_EQ(options.positional, c.positional) << row;
        }
    }
}

const std::string kBanner = "Korvel Map Compresser\n\n";

Bytes Header() {
    Bytes header(kMapHeaderSize, 0x77);
    header[0] = 0x00;
    return header;
}

// Cells whose greedy packing is clearly longer than the shortest one.
Bytes Cells() {
    Bytes cells;
    for (int i = 0; i < 3000; ++i) {
        int tile = (i * 7 / 5) % 11;
        cells.push_back(static_cast<uint8_t>(tile == 3 ? 0 : tile * 17));
        cells.push_back(static_cast<uint8_t>(i % 13 == 0 ? 0x40 : 0));
    }
    return cells;
}

class PackOptionsProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        box_.writeSettings("[MapGroups]\nCount=1\n[MapGroupVertical]\n0=1\n");
        box_.writeFile("a.fmf", Fmf());
        box_.writeFile("a.hdr", Header());
        // What the program packs: the cells in the game's code.
        const Bytes fmf = Fmf();
        const FmfConversion game = MapFromFmfFile(fmf.data(), fmf.size(), true, 16);
        ASSERT_EQ(game.status, FmfStatus::Converted);
        ASSERT_EQ(game.bytes.size(), 6000u);
        greedy_ = Pack(game.bytes, Packing::Greedy);
        optimal_ = Pack(game.bytes, Packing::Optimal);
        ASSERT_LT(optimal_.size(), greedy_.size());
    }

    static Bytes Fmf() { return Concat({Bytes(20, 0x46), Cells()}); }

    static Bytes Pack(const Bytes& cells, Packing packing) {
        const PackedLevel packed =
            PackLevel(Header().data(), cells.data(), cells.size(), PackRequest{packing, -1});
        EXPECT_EQ(packed.status, PackStatus::Packed);
        return packed.bytes;
    }

    ProgramResult pack(std::vector<std::string> options) {
        options.insert(options.end(), {"a.fmf", "a.hdr", "out.bin", "0"});
        return RunPacker(box_, options);
    }

    std::string success(const Bytes& packed) const {
        return kBanner + "FMF file size: 6020 bytes.\nCompression was successful.\n" +
               "Compressed size: " + std::to_string(packed.size()) + "bytes.\n";
    }

    Bytes output() const { return box_.readFile("out.bin"); }

    Sandbox box_;
    Bytes greedy_;
    Bytes optimal_;
};

TEST_F(PackOptionsProgram, OptimalWritesTheShorterStream) {
    ProgramResult r = pack({"--optimal"});
    EXPECT_EQ(r.out, success(optimal_));
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(output(), optimal_);
}

TEST_F(PackOptionsProgram, GreedyIsTriedFirstAndKeptWhenItFits) {
    ProgramResult r = pack({"--limit", std::to_string(greedy_.size())});
    EXPECT_EQ(r.out, success(greedy_));
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(output(), greedy_);
    EXPECT_NE(r.err.find("writing the greedy packing"), std::string::npos) << r.err;
}

TEST_F(PackOptionsProgram, OptimalIsUsedWhenOnlyItFits) {
    ProgramResult r = pack({"--limit=" + std::to_string(optimal_.size())});
    EXPECT_EQ(r.out, success(optimal_));
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(output(), optimal_);
    EXPECT_NE(r.err.find("writing the optimal packing"), std::string::npos) << r.err;
}

TEST_F(PackOptionsProgram, TooLargeForTheLimitLeavesTheOldOutput) {
    box_.writeText("out.bin", "the level as it was");
    for (std::vector<std::string> options :
         {std::vector<std::string>{"--limit", "100"},
          std::vector<std::string>{"--optimal", "--limit", "0x64"}}) {
        ProgramResult r = pack(options);
        EXPECT_EQ(r.out, kBanner + "FMF file size: 6020 bytes.\nThe packed level is " +
                             std::to_string(optimal_.size()) + " bytes, " +
                             std::to_string(optimal_.size() - 100) + " more than the limit.\n");
        EXPECT_EQ(r.exitStatus, 255);
        const std::string earlier = "the level as it was";
        EXPECT_EQ(output(), Bytes(earlier.begin(), earlier.end()));
    }
}

TEST_F(PackOptionsProgram, RefusedCommandLines) {
    const std::string usage =
        "Usage: " + box_.programFolder() +
        "/tessary_pack [--optimal] [--limit N] [FMF file] [Header sile] [Output file] "
        "[Level number]\n";
    for (const auto& [option, line] : std::vector<std::pair<std::string, std::string>>{
             {"--fast", "Unknown option: --fast"}, {"--limit=lots", "Invalid limit: lots"}}) {
        ProgramResult r = pack({option});
        EXPECT_EQ(r.out, kBanner + line + "\n" + usage);
        EXPECT_EQ(r.exitStatus, 255);
        EXPECT_FALSE(box_.exists("out.bin"));
    }
}

TEST_F(PackOptionsProgram, DoubleDashEndsTheOptions) {
    box_.writeFile("--optimal", Fmf());
    ProgramResult r = RunPacker(box_, {"--", "--optimal", "a.hdr", "out.bin", "0"});
    EXPECT_EQ(r.out, success(greedy_));
    EXPECT_EQ(output(), greedy_);
}

}  // namespace
