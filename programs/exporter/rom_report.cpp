#include "rom_report.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "format/fmf.h"
#include "level/rom_levels.h"
#include "staged_file.h"

namespace tessary {

namespace {

namespace fs = std::filesystem;

constexpr int kFailure = -1;

using Row = std::vector<std::string>;

Row Heading() {
    return {"Level", "Name", "Offset", "Layout", "Unpacked", "Map", "Slot", "Result"};
}

// The columns every level table shares; the caller says how the level went.
Row LevelRow(const RomLevel& level, const std::string& result) {
    const bool unpacks = level.unpacks();
    return {std::to_string(level.number),
            level.group.name,
            FormatText("0x%08X", static_cast<unsigned>(level.group.offset)),
            LayoutWords(level.group),
            unpacks ? std::to_string(level.unpacked.map.size()) + " bytes" : "-",
            unpacks ? FormatText("%u x %u", level.mapSize.width, level.mapSize.height) : "-",
            unpacks ? std::to_string(level.slotSize()) + " bytes" : "-",
            result};
}

void PrintTable(const Console& console, const std::vector<Row>& rows) {
    for (const std::string& line : FormatTable(rows)) {
        console.print("%s\n", line.c_str());
    }
}

// Where the settings came from, and what is wrong in them; true when nothing is.
bool ReportSettings(const Console& console, const MapGroupTable& table) {
    if (table.file == SettingsFile::NoPath) {
        console.print(
            "Settings: the program's own folder could not be found, so %s was not "
            "read; no levels.\n",
            kSettingsFileName);
        return false;
    }
    if (table.file == SettingsFile::Missing) {
        console.print("Settings: %s was not found; every level has its default values.\n\n",
                      table.path.c_str());
        return false;
    }
    console.print("Settings: %s\n", table.path.c_str());
    const std::vector<SettingsProblem> problems = SettingsFileProblems(table);
    for (const SettingsProblem& problem : problems) {
        console.print("%s:%d: %s\n", kSettingsFileName, problem.line, problem.message.c_str());
    }
    if (problems.empty()) {
        console.print("No problems found in the settings.\n\n");
    } else {
        console.print("%zu problems found in the settings.\n\n", problems.size());
    }
    return problems.empty();
}

// Writes one level's FMF file and header file into the folder; the reason when it could not.
std::string WriteLevelFiles(const RomLevel& level, const std::string& folder,
                            const std::vector<std::string>& inputs) {
    const FmfConversion fmf = MapToFmfFile(level.unpacked.map.data(), level.unpacked.map.size(),
                                           level.group.vertical, level.group.height);
    if (fmf.status != FmfStatus::Converted) {
        return "its map cannot be converted to FMF (height setting below 1)";
    }
    const std::string stem =
        (fs::path(folder) / LevelFileStem(level.number, level.group.name)).string();
    std::vector<StagedFile> files;
    files.emplace_back(stem + ".fmf", fmf.bytes);
    files.emplace_back(stem + ".hdr", std::vector<uint8_t>(level.unpacked.header.begin(),
                                                           level.unpacked.header.end()));
    for (StagedFile& file : files) {
        if (LandsOnInput(file.path(), inputs)) {
            return file.path() + " is one of the inputs";
        }
        if (!file.staged()) {
            return "cannot write " + file.path() + ": " + SystemReason(file.systemError());
        }
    }
    if (StagedFile* failed = CommitAll(files)) {
        return "cannot write " + failed->path() + ": " + SystemReason(failed->systemError());
    }
    return "";
}

}  // namespace

int CheckRom(const Console& console, const MapGroupTable& table, const std::string& romPath) {
    const bool settingsGood = ReportSettings(console, table);
    InputFile rom;
    if (!ReadRomImage(console, romPath, rom)) {
        return kFailure;
    }
    std::vector<Row> rows{Heading()};
    bool allUnpack = true;
    for (const RomLevel& level : SurveyRom(rom.bytes, table)) {
        allUnpack = allUnpack && level.unpacks();
        rows.push_back(LevelRow(
            level,
            level.unpacks()
                ? "OK"
                : "will not unpack: " + WhyLevelWillNotUnpack(level.unpacked, level.group.offset)));
    }
    PrintTable(console, rows);
    return settingsGood && allUnpack ? 0 : kFailure;
}

int ExportAll(const Console& console, const MapGroupTable& table, const std::string& romPath,
              const std::string& folder) {
    InputFile rom;
    if (!ReadRomImage(console, romPath, rom)) {
        return kFailure;
    }
    std::error_code error;
    fs::create_directories(folder, error);
    if (!fs::is_directory(folder)) {
        console.print("Failed to create the folder %s.\n", folder.c_str());
        console.error("cannot create %s: %s.", folder.c_str(),
                      error ? error.message().c_str() : "a file of that name is in the way");
        return kFailure;
    }
    const std::vector<std::string> inputs = {romPath, table.path};
    std::vector<Row> rows{Heading()};
    bool everyLevel = true;
    for (const RomLevel& level : SurveyRom(rom.bytes, table)) {
        std::string why;
        if (!level.unpacks()) {
            why = WhyLevelWillNotUnpack(level.unpacked, level.group.offset);
            console.error("level %d will not unpack: %s.", static_cast<int>(level.number),
                          why.c_str());
            rows.push_back(LevelRow(level, "will not unpack"));
        } else if (!(why = WriteLevelFiles(level, folder, inputs)).empty()) {
            console.error("level %d was not written: %s.", static_cast<int>(level.number),
                          why.c_str());
            rows.push_back(LevelRow(level, "not written"));
        } else {
            rows.push_back(
                LevelRow(level, "written as " + LevelFileStem(level.number, level.group.name)));
        }
        everyLevel = everyLevel && why.empty();
    }
    PrintTable(console, rows);
    return everyLevel ? 0 : kFailure;
}

}  // namespace tessary
