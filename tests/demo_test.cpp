// The demo ROM image: its settings file describes it, and every level goes through the
// real programs and back unchanged.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "demo_levels.h"
#include "demo_map.h"
#include "format/map_header.h"
#include "format/stream_format.h"
#include "program_runner.h"
#include "settings/map_groups.h"

using namespace tessary;

namespace {

TEST(DemoRom, SettingsFileDescribesTheGeneratedLevels) {
    const MapGroupTable table = LoadMapGroupsFrom(ProfileReader(TESSARY_DEMO_SETTINGS));
    ASSERT_EQ(table.file, SettingsFile::Found);
    ASSERT_EQ(table.count, static_cast<int32_t>(std::size(kDemoLevels)));
    ASSERT_EQ(table.groups.size(), std::size(kDemoLevels));
    for (size_t i = 0; i < table.groups.size(); ++i) {
        EXPECT_EQ(table.groups[i].name, kDemoLevels[i].name);
        EXPECT_EQ(table.groups[i].offset, kDemoLevels[i].offset);
        EXPECT_EQ(table.groups[i].vertical, kDemoLevels[i].vertical);
        EXPECT_EQ(table.groups[i].height, kDemoLevels[i].height);
    }
}

TEST(DemoRom, LevelsRoundTripThroughBothPrograms) {
    Sandbox box;
    Bytes rom = MakeDemoRom();
    ASSERT_EQ(rom.size(), static_cast<size_t>(kDemoRomSize));
    box.writeFile("demo.rom", rom);
    std::ifstream settings(TESSARY_DEMO_SETTINGS, std::ios::binary);
    box.writeSettings(std::string(std::istreambuf_iterator<char>(settings), {}));

    uint32_t seed = 1;
    for (size_t i = 0; i < std::size(kDemoLevels); ++i) {
        const DemoLevel& level = kDemoLevels[i];
        Bytes map = MakeDemoMap(level, seed++);
        EXPECT_EQ(map.size(), static_cast<size_t>(2 * level.height * level.length));
        std::string number = std::to_string(i);
        ProgramResult exported = RunExporter(box, {"demo.rom", "l.fmf", "l.hdr", number});
        ASSERT_EQ(exported.exitStatus, 0) << level.name << exported.out << exported.err;
        EXPECT_EQ(box.readFile("exp_map.dat"), map) << level.name;

        ProgramResult packed = RunPacker(box, {"l.fmf", "l.hdr", "l.bin", number});
        ASSERT_EQ(packed.exitStatus, 0) << level.name << packed.out;
        Bytes output = box.readFile("l.bin");
        // The demo maps keep bits 12-13 clear, so packing reproduces the image's bytes.
        Bytes inRom(rom.begin() + level.offset,
                    rom.begin() + level.offset + static_cast<long>(output.size()));
        EXPECT_EQ(output, inRom) << level.name;
        MapHeader header = MapHeaderFromBytes(output.data());
        EXPECT_EQ(
            RoundTripProblem(Bytes(output.begin() + kMapHeaderSize, output.end()), map, header), "")
            << level.name;
    }
}

// The demo is there to show every command of the stream format at work.
TEST(DemoRom, StreamsUseEveryCommand) {
    Bytes rom = MakeDemoRom();
    bool seen[kOpcodeCount] = {};
    for (const DemoLevel& level : kDemoLevels) {
        const uint8_t* stream = rom.data() + level.offset + kMapHeaderSize;
        size_t nibble = 0;
        auto next = [&]() {
            uint8_t byte = stream[nibble / 2];
            return nibble++ % 2 == 0 ? byte >> 4 : byte & 0xF;
        };
        // Argument nibbles after each opcode (Literals: counted separately).
        const int kArguments[kOpcodeCount] = {0, 2, 4, 3, 1, 1, 0, 0, 0, 1, 3, 4, 5, 0, 0, 1};
        for (;;) {
            int opcode = next();
            if (opcode == 0) {
                int count = next();
                if (count == 0) {
                    break;
                }
                nibble += 2 * static_cast<size_t>(count);
            }
            seen[opcode] = true;
            nibble += static_cast<size_t>(kArguments[opcode]);
            ASSERT_LT(nibble / 2, static_cast<size_t>(kDemoLevelSlot)) << level.name;
        }
    }
    for (int opcode = 0; opcode < kOpcodeCount; ++opcode) {
        EXPECT_TRUE(seen[opcode]) << "opcode " << opcode << " "
                                  << OpcodeName(static_cast<Opcode>(opcode)) << " never used";
    }
}

}  // namespace
