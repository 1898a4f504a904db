#pragma once
// What both programs do the same way around the library: printing, the settings and the
// level listing, reading whole input files and writing outputs that never land on an input.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "level/unpack_level.h"
#include "settings/map_groups.h"
#include "settings/settings_check.h"

#if defined(__MINGW32__)
// MinGW's C++ library prints through its own ISO printf, not the system's.
#define TESSARY_PRINTF(text, first) __attribute__((format(gnu_printf, text, first)))
#elif defined(__GNUC__) || defined(__clang__)
#define TESSARY_PRINTF(text, first) __attribute__((format(printf, text, first)))
#else
#define TESSARY_PRINTF(text, first)
#endif

namespace tessary {

// All printing of one program. Standard output is flushed after every message, so that a
// log holding both streams shows them in the order they happened.
class Console {
  public:
    explicit Console(const char* program) : program_(program) {}

    const char* program() const { return program_; }
    void print(const char* format, ...) const TESSARY_PRINTF(2, 3);
    // One line on standard error, after the program's name.
    void error(const char* format, ...) const TESSARY_PRINTF(2, 3);
    // The program's name and version on standard output.
    void printVersion() const;

  private:
    const char* program_;
};

// printf into a string.
std::string FormatText(const char* format, ...) TESSARY_PRINTF(1, 2);

// Loads the level table, and says on standard error when there was no folder to look in.
MapGroupTable LoadSettings(const Console& console);

// What is wrong in the settings file the table was loaded from.
std::vector<SettingsProblem> SettingsFileProblems(const MapGroupTable& table);

// A warning line when the settings file has problems, which are the usual reason a level
// will not unpack; empty when it has none.
std::string SettingsHint(const MapGroupTable& table, const std::string& romPath);

// atoi's reading of a level argument (blanks, a sign, then digits up to the first other
// character; no digits gives 0), saturated to the 32-bit range rather than overflowing.
int32_t ParseLevelNumber(const char* text);

struct LevelChoice {
    bool chosen = false;
    int32_t level = 0;
    int exitStatus = 0;  // to end the run with when none was chosen
};

// The level of a command line whose fourth positional argument is the level number. With
// fewer than four, prints `usage` and the level listing; with a number that names no level,
// the range message. A number that is not plain decimal digits is read as atoi reads it,
// with a warning that says which level that gives.
LevelChoice ChooseLevel(const Console& console, const MapGroupTable& table,
                        const std::vector<std::string>& positional, const std::string& usage);

// Why a level did not unpack, in words, for an error line.
std::string WhyLevelWillNotUnpack(const UnpackedLevel& level, int32_t offset);

enum class InputStatus : uint8_t { Read, CannotOpen, Folder, TooLarge };

struct InputFile {
    InputStatus status = InputStatus::Read;
    int systemError = 0;  // errno when it could not be opened or read
    std::vector<uint8_t> bytes;
};

// Inputs above this size are refused: every size in the file formats is 32-bit.
constexpr uint64_t kMaxInputSize = INT32_MAX;

InputFile ReadInputFile(const std::string& path);

// Reads a ROM image whole; when it cannot, prints the failure line and the reason.
bool ReadRomImage(const Console& console, const std::string& path, InputFile& rom);

// Why an input was not read, in words, for an error line.
std::string WhyNotRead(const InputFile& file);
// The system's words for an errno value.
std::string SystemReason(int error);

struct ByteSpan {
    const uint8_t* data;
    size_t size;
};

enum class OutputStatus : uint8_t {
    Written,
    LandsOnInput,  // the name reaches one of the inputs, by whatever path
    Failed,        // not created, or not every byte written
};

// Writes the parts one after another as the whole new content of `path`, or leaves it as it
// was (see StagedFile), unless it is one of `inputs` (empty names skipped).
// `systemError`, when given, receives errno of a failure.
OutputStatus WriteOutputFile(const std::string& path, std::initializer_list<ByteSpan> parts,
                             const std::vector<std::string>& inputs, int* systemError = nullptr);

// The stderr line for an output that was not written: the path, and the system's reason.
void ReportOutputFailure(const Console& console, const std::string& path, OutputStatus status,
                         int systemError);

// True when the file at `path` holds exactly `bytes`.
bool FileHolds(const std::string& path, const std::vector<uint8_t>& bytes);

// True when `path` names one of `inputs` (empty names skipped), by whatever path.
bool LandsOnInput(const std::string& path, const std::vector<std::string>& inputs);

// Lines of a table whose first row is the heading, each column as wide as its widest cell
// and the last one left ragged.
std::vector<std::string> FormatTable(const std::vector<std::vector<std::string>>& rows);

// "horizontal, 16 high" or "vertical, 20 wide".
std::string LayoutWords(const MapGroup& group);

}  // namespace tessary
