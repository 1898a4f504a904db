#include "command_line.h"

#include <cstring>

namespace tessary {

std::string CommandLine::value(const std::string& name) const {
    const auto found = options.find(name);
    return found == options.end() ? std::string() : found->second;
}

CommandLine ParseCommandLine(int argc, const char* const* argv,
                             std::initializer_list<KnownOption> known) {
    CommandLine line;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // A negative number is a level number, refused by its range check as it always was.
        const bool negativeNumber = arg.size() > 1 && arg[1] >= '0' && arg[1] <= '9';
        if (optionsEnded || arg.size() < 2 || arg[0] != '-' || negativeNumber) {
            line.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const KnownOption* option = nullptr;
        for (const KnownOption& candidate : known) {
            if (name == candidate.name) {
                option = &candidate;
            }
        }
        if (option == nullptr || (!option->takesValue && equals != std::string::npos)) {
            line.error = "Unknown option: " + arg;
            return line;
        }
        if (!option->takesValue) {
            line.options[name] = "";
        } else if (equals != std::string::npos) {
            line.options[name] = arg.substr(equals + 1);
        } else if (i + 1 < argc) {
            line.options[name] = argv[++i];
        } else {
            line.error = "Missing value: " + name;
            return line;
        }
    }
    return line;
}

}  // namespace tessary
