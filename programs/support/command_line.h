#pragma once
// Command lines of both programs: options may stand anywhere before "--", positional
// arguments keep their order.

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace tessary {

struct KnownOption {
    const char* name;  // with its dashes: "--limit"
    bool takesValue;   // "--limit N" or "--limit=N"
};

struct CommandLine {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;  // name to value ("" for a flag); the last counts
    std::string error;  // why the command line was refused; empty when it was not

    bool has(const std::string& name) const { return options.count(name) != 0; }
    std::string value(const std::string& name) const;
};

// Anything else that starts with "-" is refused, but a lone "-" is a file name.
CommandLine ParseCommandLine(int argc, const char* const* argv,
                             std::initializer_list<KnownOption> known);

}  // namespace tessary
