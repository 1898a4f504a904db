#include "program_support.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "faults.h"
#include "staged_file.h"
#include "version.h"

namespace tessary {

namespace {

namespace fs = std::filesystem;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    const bool same = fs::equivalent(a, b, error);
    return !error && same;
}

bool IsDirectory(const std::string& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

const char* DecodeStatusWords(DecodeStatus status) {
    switch (status) {
        case DecodeStatus::WriteOverflow:
            return "the map would not fit into its buffer";
        case DecodeStatus::BadLocation:
            return "a copy reaches outside the bytes already unpacked";
        case DecodeStatus::TruncatedInput:
            return "the data ends before the end marker";
        case DecodeStatus::Complete:
            break;
    }
    return "unknown failure";
}

}  // namespace

std::string FormatText(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int size = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

void Console::print(const char* format, ...) const {
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::fflush(stdout);
}

void Console::error(const char* format, ...) const {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: ", program_);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
}

void Console::printVersion() const {
    print("%s %s\n", program_, TESSARY_VERSION);
}

MapGroupTable LoadSettings(const Console& console) {
    MapGroupTable table = LoadMapGroups();
    if (table.file == SettingsFile::NoPath) {
        console.error("the program's own folder could not be found, so %s was not read.",
                      kSettingsFileName);
    } else if (table.file == SettingsFile::Missing) {
        console.error(
            "warning: %s was not found, so every level has its default values "
            "(named \"?\", at offset 0, 16 cells high).",
            table.path.c_str());
    }
    return table;
}

std::vector<SettingsProblem> SettingsFileProblems(const MapGroupTable& table) {
    const InputFile file = ReadInputFile(table.path);
    return CheckSettingsText(std::string(file.bytes.begin(), file.bytes.end()));
}

std::string SettingsHint(const MapGroupTable& table, const std::string& romPath) {
    if (table.file != SettingsFile::Found) {
        return "";
    }
    const std::vector<SettingsProblem> problems = SettingsFileProblems(table);
    if (problems.empty()) {
        return "";
    }
    return FormatText(
        "warning: %s has %zu %s, the first on line %d: %s Run tessary --check %s "
        "to see them all.",
        table.path.c_str(), problems.size(), problems.size() == 1 ? "problem" : "problems",
        problems.front().line, problems.front().message.c_str(), romPath.c_str());
}

int32_t ParseLevelNumber(const char* text) {
    const int savedErrno = errno;
    const long long value = std::strtoll(text, nullptr, 10);
    errno = savedErrno;
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(value);
}

LevelChoice ChooseLevel(const Console& console, const MapGroupTable& table,
                        const std::vector<std::string>& positional, const std::string& usage) {
    LevelChoice choice;
    if (positional.size() < 4) {
        console.print("%s\n\nInvalid selection, select from the following:\n\n", usage.c_str());
        for (int32_t i = 0; i < table.count; ++i) {
            console.print("%d: %s\n", static_cast<int>(i), table.groups[i].name.c_str());
        }
        return choice;
    }
    const std::string& text = positional[3];
    choice.level = ParseLevelNumber(text.c_str());
    if (text != std::to_string(choice.level)) {
        console.error("warning: the level argument \"%s\" is not a plain number; it is read as %d.",
                      text.c_str(), static_cast<int>(choice.level));
    }
    if (choice.level < 0 || choice.level >= table.count) {
        console.print("Invalid Selection. Valid numbers are between 0 and %d.\n",
                      static_cast<int>(table.count - 1));
        choice.exitStatus = -1;
        return choice;
    }
    choice.chosen = true;
    return choice;
}

std::string WhyLevelWillNotUnpack(const UnpackedLevel& level, int32_t offset) {
    if (level.status == UnpackStatus::NoHeader) {
        return FormatText("the ROM image holds no %d-byte header at offset %d (0x%08X)",
                          kMapHeaderSize, static_cast<int>(offset), static_cast<unsigned>(offset));
    }
    const DecodeFailure& failure = level.decode.failure;
    std::string text = FormatText("%s (output offset %u", DecodeStatusWords(level.decode.status),
                                  static_cast<unsigned>(failure.position));
    if (!failure.commandRead) {
        text += ", where the next command should begin";
    } else {
        text += FormatText(", command %d %s beginning in the %s half of its byte",
                           static_cast<int>(failure.opcode), OpcodeName(failure.opcode),
                           failure.half == ByteHalf::Low ? "low" : "high");
        if (level.decode.status == DecodeStatus::BadLocation) {
            text += FormatText(", distance %u", static_cast<unsigned>(failure.size));
        } else if (failure.size != 0) {
            text += FormatText(", %u bytes", static_cast<unsigned>(failure.size));
        }
    }
    return text + FormatText("); reading stopped at ROM offset 0x%08llX",
                             static_cast<unsigned long long>(level.streamEnd));
}

InputFile ReadInputFile(const std::string& path) {
    InputFile input;
    if (IsDirectory(path)) {
        input.status = InputStatus::Folder;  // which some systems would open
        return input;
    }
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        input.status = InputStatus::CannotOpen;
        input.systemError = errno;
        return input;
    }
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    if (!error && size > kMaxInputSize) {
        input.status = InputStatus::TooLarge;
        return input;
    }
    // Devices and pipes tell no size: read until they end, or until they are too large.
    constexpr size_t kBlock = 1 << 16;
    if (!error) {
        input.bytes.reserve(static_cast<size_t>(size) + kBlock);  // no growing on the way
    }
    size_t used = 0;
    for (;;) {
        input.bytes.resize(used + kBlock);
        const size_t got = std::fread(input.bytes.data() + used, 1, kBlock, file.get());
        used += got;
        if (used > kMaxInputSize) {
            input.status = InputStatus::TooLarge;
            input.bytes.clear();
            return input;
        }
        if (got < kBlock) {
            break;
        }
    }
    input.bytes.resize(used);
    if (std::ferror(file.get())) {
        input.status = InputStatus::CannotOpen;
        input.systemError = errno;
        input.bytes.clear();
    }
    return input;
}

std::string SystemReason(int error) {
    return std::generic_category().message(error);
}

std::string WhyNotRead(const InputFile& file) {
    switch (file.status) {
        case InputStatus::Folder:
            return "it is a folder";
        case InputStatus::TooLarge:
            return FormatText("it is larger than %llu bytes",
                              static_cast<unsigned long long>(kMaxInputSize));
        case InputStatus::CannotOpen:
            return SystemReason(file.systemError);
        case InputStatus::Read:
            break;
    }
    return "it was read";
}

void ReportOutputFailure(const Console& console, const std::string& path, OutputStatus status,
                         int systemError) {
    if (status == OutputStatus::LandsOnInput) {
        console.error("%s is one of the inputs; it was left as it is.", path.c_str());
    } else if (status == OutputStatus::Failed) {
        console.error("cannot write %s: %s.", path.c_str(), SystemReason(systemError).c_str());
    }
}

bool ReadRomImage(const Console& console, const std::string& path, InputFile& rom) {
    rom = ReadInputFile(path);
    if (rom.status == InputStatus::Read) {
        return true;
    }
    console.print("Failed to open the ROM file. \n");
    console.error("cannot read the ROM image %s: %s.", path.c_str(), WhyNotRead(rom).c_str());
    return false;
}

bool LandsOnInput(const std::string& path, const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
        if (!input.empty() && SameFile(path, input)) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> FormatTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const std::vector<std::string>& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    std::vector<std::string> lines;
    for (const std::vector<std::string>& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) {
                line += std::string(widths[i] - row[i].size() + 2, ' ');
            }
        }
        lines.push_back(line);
    }
    return lines;
}

std::string LayoutWords(const MapGroup& group) {
    return FormatText("%s, %d %s", group.vertical ? "vertical" : "horizontal",
                      static_cast<int>(group.height), group.vertical ? "wide" : "high");
}

OutputStatus WriteOutputFile(const std::string& path, std::initializer_list<ByteSpan> parts,
                             const std::vector<std::string>& inputs, int* systemError) {
    if (LandsOnInput(path, inputs)) {
        return OutputStatus::LandsOnInput;
    }
    std::vector<uint8_t> bytes;
    for (const ByteSpan& part : parts) {
        bytes.insert(bytes.end(), part.data, part.data + part.size);
    }
    StagedFile file(path, std::move(bytes));
    const bool written = file.commit();
    if (systemError != nullptr) {
        *systemError = file.systemError();
    }
    return written ? OutputStatus::Written : OutputStatus::Failed;
}

bool FileHolds(const std::string& path, const std::vector<uint8_t>& bytes) {
    InputFile file = ReadInputFile(path);
    PlantFault("output-read-back", file.bytes);
    return file.status == InputStatus::Read && file.bytes == bytes;
}

}  // namespace tessary
