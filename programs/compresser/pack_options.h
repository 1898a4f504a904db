#pragma once
// The packer's options, which come before its four positional arguments.

#include <cstdint>
#include <string>

namespace tessary {

struct PackOptions {
    bool optimal = false;
    int64_t limit = -1;  // bytes the output may take, header included; -1: no limit
    bool version = false;
    int firstPositional = 1;  // index in argv of the FMF file name
    std::string error;        // why the command line was refused; empty when it was not
};

// Reads --optimal, --limit N (or --limit=N; decimal or 0x hexadecimal), --version and
// "--", which ends the options. Anything else that starts with "-" is refused.
PackOptions ParsePackOptions(int argc, const char* const* argv);

}  // namespace tessary
