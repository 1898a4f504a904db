// tessary: unpacks one level's map from a ROM image into an FMF file, its header file and
// a raw dump; or, with --all, every level into a folder; or, with --check, reports the
// settings and every level. Progress goes to standard output; reasons and notes go to
// standard error.

#include <string>
#include <vector>

#include "command_line.h"
#include "format/fmf.h"
#include "format/fmf_check.h"
#include "level/rom_levels.h"
#include "program_support.h"
#include "rom_report.h"

using namespace tessary;

namespace {

constexpr int kFailure = -1;
constexpr const char* kUsage = "Usage: [ROM file name] [FMF file] [Header file] [Level number]";

void PrintHelp(const Console& console) {
    console.print(
        "%s\n"
        "       tessary --all [ROM file name] [Folder]\n"
        "       tessary --check [ROM file name]\n\n"
        "Unpacks a level of the ROM image into an FMF file, its 38-byte header file and\n"
        "exp_map.dat (the unpacked bytes), using the level table in tessary.ini beside\n"
        "the program.\n\n"
        "  --all      unpack every level into the folder (created if missing): for level N\n"
        "             the FMF file and the header file, named after its number and name\n"
        "  --check    report tessary.ini's problems and every level of the ROM image\n"
        "  --help     print this help\n"
        "  --version  print the version\n"
        "  --         end of options: what follows is a file name even if it starts with -\n",
        kUsage);
}

// The header file and the dump only report a failure; the run goes on without them.
void SaveSideFile(const Console& console, const std::string& path, ByteSpan bytes,
                  const std::vector<std::string>& inputs, const char* saved, const char* failed) {
    int error = 0;
    const OutputStatus status = WriteOutputFile(path, {bytes}, inputs, &error);
    console.print("%s", status == OutputStatus::Written ? saved : failed);
    ReportOutputFailure(console, path, status, error);
}

// Where the level lies and what it holds, for the user who puts it back.
void NoteLevel(const Console& console, const RomLevel& level) {
    const uint64_t start = static_cast<uint64_t>(level.group.offset);
    console.error(
        "level %d (%s): %s; map %u x %u cells; slot 0x%08llX-0x%08llX in the ROM "
        "image, %llu bytes.",
        static_cast<int>(level.number), level.group.name.c_str(), LayoutWords(level.group).c_str(),
        level.mapSize.width, level.mapSize.height, static_cast<unsigned long long>(start),
        static_cast<unsigned long long>(start + level.slotSize() - 1),
        static_cast<unsigned long long>(level.slotSize()));
    const size_t losing =
        CountCellsLosingBits(level.unpacked.map.data(), level.unpacked.map.size());
    if (losing != 0) {
        console.error(
            "warning: %zu cells use bits 12-13, which an FMF file cannot hold; packing "
            "this FMF file gives them 0 there.",
            losing);
    }
}

int ExportLevel(const Console& console, const MapGroupTable& table,
                const std::vector<std::string>& args) {
    const LevelChoice choice = ChooseLevel(console, table, args, kUsage);
    if (!choice.chosen) {
        return choice.exitStatus;
    }
    const std::string& romPath = args[0];
    const std::string& fmfPath = args[1];
    const std::string& headerPath = args[2];
    InputFile rom;
    if (!ReadRomImage(console, romPath, rom)) {
        return kFailure;
    }
    console.print("Expanding compressed map data ... \n");
    const MapGroup& group = table.groups[static_cast<size_t>(choice.level)];
    const RomLevel level = SurveyLevel(rom.bytes, group, choice.level);
    const UnpackedLevel& unpacked = level.unpacked;
    if (!level.unpacks()) {
        console.error("level %d will not unpack: %s.", static_cast<int>(choice.level),
                      WhyLevelWillNotUnpack(unpacked, group.offset).c_str());
        const std::string hint = SettingsHint(table, romPath);
        if (!hint.empty()) {
            console.error("%s", hint.c_str());
        }
        return kFailure;
    }
    console.print("Current file position: %08llX\n",
                  static_cast<unsigned long long>(unpacked.streamEnd));
    console.print("Data expanded successfully.\nSaving header file...\n");

    // The ROM image and the settings file are only ever read, whatever name reaches them.
    const std::vector<std::string> inputs = {romPath, table.path};
    const std::vector<uint8_t>& map = unpacked.map;
    SaveSideFile(console, headerPath, {unpacked.header.data(), unpacked.header.size()}, inputs,
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
    int error = 0;
    const OutputStatus written =
        WriteOutputFile(fmfPath, {{fmf.bytes.data(), fmf.bytes.size()}}, inputs, &error);
    if (written != OutputStatus::Written) {
        console.print("Failed to save output FMF file.\n");
        ReportOutputFailure(console, fmfPath, written, error);
        return kFailure;
    }
    console.print("Successfully output FMF file.\n");
    NoteLevel(console, level);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const Console console("tessary");
    const CommandLine line = ParseCommandLine(
        argc, argv,
        {{"--version", false}, {"--help", false}, {"--check", false}, {"--all", false}});
    if (line.error.empty() && line.has("--version")) {
        console.printVersion();
        return 0;
    }
    if (line.error.empty() && line.has("--help")) {
        PrintHelp(console);
        return 0;
    }
    console.print("Korvel Map Exporter\n\n");
    const MapGroupTable table = LoadSettings(console);
    const std::vector<std::string>& args = line.positional;
    std::string error = line.error;
    if (error.empty() && line.has("--check") && line.has("--all")) {
        error = "--check and --all cannot be used together";
    } else if (error.empty() && line.has("--check") && args.size() != 1) {
        error = "--check takes one argument: the ROM file name";
    } else if (error.empty() && line.has("--all") && args.size() != 2) {
        error = "--all takes two arguments: the ROM file name and the folder";
    }
    if (!error.empty()) {
        console.print("%s\n%s\n", error.c_str(), kUsage);
        console.error("tessary --help lists every option.");
        return kFailure;
    }
    if (line.has("--check")) {
        return CheckRom(console, table, args[0]);
    }
    if (line.has("--all")) {
        return ExportAll(console, table, args[0], args[1]);
    }
    return ExportLevel(console, table, args);
}
