#pragma once
// Runs a built program the way a user does: a copy of it in a folder of its own beside the
// tessary.ini the test wants, started from a separate working folder. Which program runs,
// and through which launcher, is set by the build and may be overridden from the
// environment (TESSARY_EXE, TESSARY_PACK_EXE, TESSARY_LAUNCHER), so the suite can test
// other builds of the tools.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "test_support.h"

struct ProgramResult {
    int exitStatus = -1;  // as a shell sees it, 0..255
    std::string out;
    std::string err;
};

struct FileState {
    Bytes content;
    int64_t modified = 0;  // nanoseconds
    bool operator==(const FileState& other) const {
        return content == other.content && modified == other.modified;
    }
};

// Every file under a folder, by its path relative to that folder.
using FileStates = std::map<std::string, FileState>;

class Sandbox {
  public:
    // `programSubfolder`, when given, puts the programs and tessary.ini that much deeper
    // below "bin".
    explicit Sandbox(const std::string& programSubfolder = "");
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    // Folder holding the program copies and tessary.ini.
    const std::string& programFolder() const { return programFolder_; }
    // The working folder of every run; relative names below are relative to it.
    std::string workFolder() const { return root_ + "/work"; }
    std::string path(const std::string& name) const;

    void writeFile(const std::string& name, const Bytes& bytes) const;
    void writeText(const std::string& name, const std::string& text) const;
    void writeSettings(const std::string& text) const;  // tessary.ini beside the programs
    Bytes readFile(const std::string& name) const;
    bool exists(const std::string& name) const;
    // The program folder's and the working folder's files, as "bin/..." and "work/...".
    FileStates snapshot() const;

    // `programVariable` names the environment variable that may override the program's path;
    // `launcherVariable` the one that holds the launcher, none when it is null. A Windows
    // program's (.exe) line ends come back as "\n".
    ProgramResult run(const char* programVariable, const char* defaultProgram,
                      const std::vector<std::string>& args,
                      const char* launcherVariable = "TESSARY_LAUNCHER") const;

  private:
    std::string root_;
    std::string programFolder_;
};

// True for a table row that only a Linux build can pass: it names a Linux device (/dev/full,
// /dev/null), which Windows does not have, so it is left out when the programs under test
// are Windows ones.
bool LinuxOnlyRow(const std::vector<std::string>& args);

ProgramResult RunExporter(const Sandbox& box, const std::vector<std::string>& args);
ProgramResult RunPacker(const Sandbox& box, const std::vector<std::string>& args);

using ProgramRunner = ProgramResult (*)(const Sandbox&, const std::vector<std::string>&);

// A table row's settings text that stands for no tessary.ini at all.
inline const std::string kNoSettings = "\x01none";

// Standard error without its notes (where the level lies, how it was packed) and warnings,
// which tables of their own check.
std::string ErrorLines(const std::string& err);

// Runs the program once and checks what every row of the bad-input tables checks: standard
// error holds no error line when `err` is empty, and otherwise holds `err` and at most one
// error line; every file that stood
// before is unchanged, content and time stamp; the files that appeared are exactly `made`
// (names in the working folder). `row` names the case in failure messages.
ProgramResult RunAndCheckFiles(const Sandbox& box, ProgramRunner run,
                               const std::vector<std::string>& args,
                               const std::vector<std::string>& made, const std::string& err,
                               const std::string& row);
