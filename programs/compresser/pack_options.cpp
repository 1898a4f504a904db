#include "pack_options.h"

#include <cstring>

namespace tessary {

namespace {

// A byte count: decimal digits, or 0x and hexadecimal digits, and nothing else.
bool ParseLimit(const char* text, int64_t& limit) {
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    }
    if (*text == '\0') {
        return false;
    }
    int64_t value = 0;
    for (; *text != '\0'; ++text) {
        int digit;
        char c = *text;
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

}  // namespace

PackOptions ParsePackOptions(int argc, const char* const* argv) {
    PackOptions options;
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0) {
            ++i;
            break;
        }
        if (std::strcmp(arg, "--optimal") == 0) {
            options.optimal = true;
        } else if (std::strcmp(arg, "--version") == 0) {
            options.version = true;
        } else if (std::strcmp(arg, "--limit") == 0 || std::strncmp(arg, "--limit=", 8) == 0) {
            const char* value = arg[7] == '=' ? arg + 8 : (i + 1 < argc ? argv[++i] : nullptr);
            if (value == nullptr || !ParseLimit(value, options.limit)) {
                options.error = std::string("Invalid limit: ") + (value ? value : "(none)");
                break;
            }
        } else {
            options.error = std::string("Unknown option: ") + arg;
            break;
        }
    }
    options.firstPositional = i;
    return options;
}

}  // namespace tessary
