// make_demo_rom OUTPUT: writes the demo ROM image, a stand-in for a game's ROM with the
// levels that examples/tessary.ini lists, packed by our own encoder.

#include <cstdio>

#include "demo_map.h"
#include "program_support.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: make_demo_rom OUTPUT\n");
        return 1;
    }
    std::vector<uint8_t> rom = MakeDemoRom();
    if (rom.empty()) {
        std::fprintf(stderr, "make_demo_rom: a packed level does not fit its slot.\n");
        return 1;
    }
    if (tessary::WriteOutputFile(argv[1], {{rom.data(), rom.size()}}, {}) !=
        tessary::OutputStatus::Written) {
        std::fprintf(stderr, "make_demo_rom: cannot write %s.\n", argv[1]);
        return 1;
    }
    return 0;
}
