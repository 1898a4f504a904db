#include "pack_options.h"

#include "command_line.h"

namespace tessary {

namespace {

// A byte count: decimal digits, or 0x and hexadecimal digits, and nothing else.
bool ParseLimit(const std::string& text, int64_t& limit) {
    size_t at = 0;
    int base = 10;
    if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        at = 2;
    }
    if (at == text.size()) {
        return false;
    }
    int64_t value = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        if (value > (INT64_MAX - digit) / base) {
            return false;
        }
        value = value * base + digit;
    }
    limit = value;
    return true;
}

// Which option sets make a command the packer knows.
std::string CheckCombination(const PackOptions& options) {
    if ((!options.into.empty() || !options.patch.empty()) && options.rom.empty()) {
        return std::string(options.into.empty() ? "--patch" : "--into") + " needs --rom";
    }
    if (!options.all.empty()) {
        if (options.rom.empty() || (options.into.empty() && options.patch.empty())) {
            return "--all needs --rom and --into or --patch";
        }
        if (options.limit >= 0) {
            return "--limit applies to one level; with --all each level's limit is its slot";
        }
        if (!options.positional.empty()) {
            return "--all takes no file arguments: " + options.positional.front();
        }
    }
    return "";
}

}  // namespace

PackOptions ParsePackOptions(int argc, const char* const* argv) {
    const CommandLine line = ParseCommandLine(argc, argv,
                                              {{"--optimal", false},
                                               {"--limit", true},
                                               {"--version", false},
                                               {"--help", false},
                                               {"--strict", false},
                                               {"--force", false},
                                               {"--rom", true},
                                               {"--into", true},
                                               {"--patch", true},
                                               {"--all", true}});
    PackOptions options;
    options.positional = line.positional;
    if (line.error == "Missing value: --limit") {
        options.error = "Invalid limit: (none)";
        return options;
    }
    if (!line.error.empty()) {
        options.error = line.error;
        return options;
    }
    options.optimal = line.has("--optimal");
    options.version = line.has("--version");
    options.help = line.has("--help");
    options.strict = line.has("--strict");
    options.force = line.has("--force");
    options.rom = line.value("--rom");
    options.into = line.value("--into");
    options.patch = line.value("--patch");
    options.all = line.value("--all");
    if (line.has("--limit") && !ParseLimit(line.value("--limit"), options.limit)) {
        options.error = "Invalid limit: " + line.value("--limit");
        return options;
    }
    options.error = CheckCombination(options);
    return options;
}

}  // namespace tessary
