#pragma once
// The packer's options, which may stand before, between or after its positional arguments.

#include <cstdint>
#include <string>
#include <vector>

namespace tessary {

struct PackOptions {
    bool optimal = false;
    int64_t limit = -1;  // bytes the output may take, header included; -1: no limit
    bool version = false;
    bool help = false;
    bool strict = false;  // a file failing the FMF checks is refused, not just warned about
    bool force = false;   // replace an output too large to be a packing of this map
    std::string rom;      // --rom: the ROM image the level goes back into
    std::string into;     // --into: the new ROM image
    std::string patch;    // --patch: the patch from --rom to the new image
    std::string all;      // --all: the folder of every level's files
    std::vector<std::string> positional;
    std::string error;  // why the command line was refused; empty when it was not

    // The modes that put levels into a ROM image, where a wrong map must never pass.
    bool writesRom() const { return !rom.empty() || !all.empty(); }
};

// Reads --optimal, --limit N (decimal or 0x hexadecimal), --strict, --force, --rom, --into,
// --patch,
// --all, --help, --version and "--", which ends the options, and checks that the options
// given make one of the packer's command forms.
PackOptions ParsePackOptions(int argc, const char* const* argv);

}  // namespace tessary
