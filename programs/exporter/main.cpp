// tessary: unpacks one level's map from a ROM image into an FMF file, its header file and
// a raw dump. Progress goes to standard output; the reason for a failed unpack goes to
// standard error.

#include <cstring>

#include "format/fmf.h"
#include "level/unpack_level.h"
#include "program_support.h"

using namespace tessary;

namespace {

constexpr int kFailure = -1;

// The header file and the dump only report a failure; the run goes on without them.
void SaveSideFile(const Console& console, const std::string& path, ByteSpan bytes,
                  const std::vector<std::string>& inputs, const char* saved, const char* failed) {
    const bool written = WriteOutputFile(path, {bytes}, inputs) == OutputStatus::Written;
    console.print("%s", written ? saved : failed);
}

}  // namespace

int main(int argc, char** argv) {
    const Console console("tessary");
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        console.printVersion();
        return 0;
    }
    console.print("Korvel Map Exporter\n\n");
    const MapGroupTable table = LoadSettings(console);
    const LevelChoice choice =
        ChooseLevel(console, table, argv, argc - 1,
                    "Usage: [ROM file name] [FMF file] [Header file] [Level number]");
    if (!choice.chosen) {
        return choice.exitStatus;
    }
    const int32_t level = choice.level;
    const MapGroup& group = table.groups[level];

    const InputFile rom = ReadInputFile(argv[1]);
    if (rom.status != InputStatus::Read) {
        console.print("Failed to open the ROM file. \n");
        return kFailure;
    }
    console.print("Expanding compressed map data ... \n");
    const UnpackedLevel unpacked = UnpackLevel(rom.bytes.data(), rom.bytes.size(), group.offset);
    if (unpacked.status != UnpackStatus::Unpacked) {
        console.error("level %d will not unpack: %s.", static_cast<int>(level),
                      WhyLevelWillNotUnpack(unpacked, group.offset).c_str());
        return kFailure;
    }
    console.print("Current file position: %08llX\n",
                  static_cast<unsigned long long>(unpacked.streamEnd));
    console.print("Data expanded successfully.\nSaving header file...\n");

    // The ROM image and the settings file are only ever read, whatever name reaches them.
    const std::vector<std::string> inputs = {argv[1], table.path};
    const std::vector<uint8_t>& map = unpacked.map;
    SaveSideFile(console, argv[3], {unpacked.header.data(), unpacked.header.size()}, inputs,
                 "Successfully saved header file. \n", "Failed to save the header file.\n");
    SaveSideFile(console, "exp_map.dat", {map.data(), map.size()}, inputs,
                 "Successfully saved uncompressed data.\n", "Failed to save uncompressed file.\n");

    if (map.empty()) {
        console.print("Form has failed to secure a buffer for FMF.\n");
        return kFailure;
    }
    const FmfConversion fmf = MapToFmfFile(map.data(), map.size(), group.vertical, group.height);
    if (fmf.status != FmfStatus::Converted) {
        console.print("Failed to convert to FMF.\n");
        return kFailure;
    }
    console.print("Successfully converted to FMF.\nSaving FMF file...\n");
    if (WriteOutputFile(argv[2], {{fmf.bytes.data(), fmf.bytes.size()}}, inputs) !=
        OutputStatus::Written) {
        console.print("Failed to save output FMF file.\n");
        return kFailure;
    }
    console.print("Successfully output FMF file.\n");
    return 0;
}
