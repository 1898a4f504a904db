#include "program_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

// The console's "\r\n" of a Windows program as "\n".
std::string WithoutCarriageReturns(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            result += text[i];
        }
    }
    return result;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

const char* Setting(const char* variable, const char* defaultValue) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? value : defaultValue;
}

bool IsProgramCopy(const std::string& relative) {
    const std::string name = fs::path(relative).filename().string();
    return relative.rfind("bin/", 0) == 0 &&
           (name == "tessary" || name == "tessary_pack" || name == "tessary.exe" ||
            name == "tessary_pack.exe" || name == "tessary_faulty" ||
            name == "tessary_pack_faulty");
}

void ExpectOnlyDocumentedFiles(const FileStates& before, const FileStates& after,
                               const std::vector<std::string>& made, const std::string& row) {
    for (const auto& [name, state] : before) {
        if (IsProgramCopy(name)) {
            continue;
        }
        auto found = after.find(name);
        ASSERT_NE(found, after.end()) << row << ": " << name << " disappeared";
        EXPECT_TRUE(found->second == state) << row << ": " << name << " changed";
    }
    for (const auto& [name, state] : after) {
        bool expected = std::find(made.begin(), made.end(), name.substr(5)) != made.end() &&
                        name.rfind("work/", 0) == 0;
        if (!before.count(name) && !IsProgramCopy(name)) {
            EXPECT_TRUE(expected) << row << ": unexpected file " << name;
        }
    }
    for (const std::string& name : made) {
        EXPECT_TRUE(after.count("work/" + name)) << row << ": " << name << " was not written";
    }
}

}  // namespace

Sandbox::Sandbox(const std::string& programSubfolder) {
    std::string pattern = (fs::temp_directory_path() / "tessary-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    root_ = buffer.data();
    programFolder_ = root_ + "/bin" + (programSubfolder.empty() ? "" : "/" + programSubfolder);
    fs::create_directories(programFolder());
    fs::create_directory(workFolder());
}

Sandbox::~Sandbox() {
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
}

std::string Sandbox::path(const std::string& name) const {
    return name.empty() || name[0] == '/' ? name : workFolder() + "/" + name;
}

void Sandbox::writeFile(const std::string& name, const Bytes& bytes) const {
    std::ofstream file(path(name), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

void Sandbox::writeText(const std::string& name, const std::string& text) const {
    writeFile(name, Bytes(text.begin(), text.end()));
}

void Sandbox::writeSettings(const std::string& text) const {
    writeText(programFolder() + "/tessary.ini", text);
}

Bytes Sandbox::readFile(const std::string& name) const {
    std::string text = ReadAll(path(name));
    return Bytes(text.begin(), text.end());
}

bool Sandbox::exists(const std::string& name) const {
    return fs::exists(path(name));
}

FileStates Sandbox::snapshot() const {
    FileStates states;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
        std::string relative = fs::relative(entry.path(), root_).string();
        if (!entry.is_regular_file() || relative == "stdout" || relative == "stderr") {
            continue;
        }
        struct stat info;
        FileState state;
        if (stat(entry.path().c_str(), &info) == 0) {
            state.modified = int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
        }
        std::string content = ReadAll(entry.path().string());
        state.content.assign(content.begin(), content.end());
        states[relative] = state;
    }
    return states;
}

ProgramResult Sandbox::run(const char* programVariable, const char* defaultProgram,
                           const std::vector<std::string>& args,
                           const char* launcherVariable) const {
    const char* program = Setting(programVariable, defaultProgram);
    fs::path copy = fs::path(programFolder()) / fs::path(program).filename();
    if (!fs::exists(copy)) {
        fs::copy_file(program, copy);
    }

    std::vector<std::string> command =
        SplitWords(launcherVariable != nullptr ? Setting(launcherVariable, "") : "");
    command.push_back(copy.string());
    command.insert(command.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : command) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    std::string outPath = root_ + "/stdout";
    std::string errPath = root_ + "/stderr";
    pid_t child = fork();
    if (child == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || chdir(workFolder().c_str()) != 0) {
            _exit(127);
        }
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    ProgramResult result;
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) {
        throw std::runtime_error("cannot run " + command.front());
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadAll(outPath);
    result.err = ReadAll(errPath);
    if (copy.extension() == ".exe") {
        // The program under Wine names itself by its Windows path, which stands for the path
        // the suite knows it by.
        std::string windowsPath = "Z:" + copy.string();
        std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
        const std::string path = fs::path(copy).replace_extension().string();
        for (std::string* text : {&result.out, &result.err}) {
            *text = Replaced(WithoutCarriageReturns(*text), windowsPath, path);
        }
    }
    return result;
}

bool LinuxOnlyRow(const std::vector<std::string>& args) {
    const std::string exporter = Setting("TESSARY_EXE", TESSARY_DEFAULT_EXE);
    const bool windows = fs::path(exporter).extension() == ".exe";
    for (const std::string& arg : args) {
        if (windows && arg.rfind("/dev/", 0) == 0) {
            return true;
        }
    }
    return false;
}

ProgramResult RunExporter(const Sandbox& box, const std::vector<std::string>& args) {
    return box.run("TESSARY_EXE", TESSARY_DEFAULT_EXE, args);
}

ProgramResult RunPacker(const Sandbox& box, const std::vector<std::string>& args) {
    return box.run("TESSARY_PACK_EXE", TESSARY_DEFAULT_PACK_EXE, args);
}

std::string ErrorLines(const std::string& err) {
    auto note = [](const std::string& line) {
        const bool levelNote = line.find(": level ") != std::string::npos &&
                               line.find("; slot 0x") != std::string::npos;
        const bool packNote = line.find(": map ") != std::string::npos &&
                              line.find(" packed into ") != std::string::npos;
        return levelNote || packNote || line.find(": warning: ") != std::string::npos;
    };
    std::istringstream lines(err);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        if (!note(line)) {
            kept += line + "\n";
        }
    }
    return kept;
}

ProgramResult RunAndCheckFiles(const Sandbox& box, ProgramRunner run,
                               const std::vector<std::string>& args,
                               const std::vector<std::string>& made, const std::string& err,
                               const std::string& row) {
    const FileStates before = box.snapshot();
    ProgramResult result = run(box, args);
    const std::string errors = ErrorLines(result.err);
    if (err.empty()) {
        EXPECT_EQ(errors, "") << row;
    } else {
        EXPECT_NE(result.err.find(err), std::string::npos) << row << ": " << result.err;
        EXPECT_LE(std::count(errors.begin(), errors.end(), '\n'), 1)
            << row << ": more than one error line: " << result.err;
    }
    ExpectOnlyDocumentedFiles(before, box.snapshot(), made, row);
    return result;
}
