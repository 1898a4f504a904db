// tessary_pack: packs an edited FMF file back into the game's stream form, behind the
// level's 38-byte header. The level is packed and checked in memory first, and nothing is
// reported as packed until the written file has been read back and unpacks to exactly the
// map it came from.

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <new>
#include <string>

#include "file_identity.h"
#include "fmf.h"
#include "level_number.h"
#include "level_packer.h"
#include "map_groups.h"
#include "map_header.h"
#include "pack_options.h"
#include "version.h"

namespace {

constexpr int kFailure = -1;

int Fail(const std::string& message) {
    std::cout << message << std::endl;
    return kFailure;
}

// Size of an open file, or -1 when it cannot be measured.
int64_t FileSize(std::ifstream& file) {
    file.seekg(0, std::ios::end);
    std::streamoff end = file.tellg();
    file.seekg(0, std::ios::beg);
    std::streamoff begin = file.tellg();
    if (!file || end < 0 || begin < 0) {
        return -1;
    }
    return static_cast<int64_t>(end - begin);
}

bool ReadExactly(std::ifstream& file, uint8_t* buffer, int64_t size) {
    return file.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(size)) &&
           file.gcount() == static_cast<std::streamsize>(size);
}

// Opens `path` for reading unless it is a folder, which some systems would open.
bool OpenInput(std::ifstream& file, const char* path) {
    if (!IsDirectory(path)) {
        file.open(path, std::ios::binary);
    }
    return file.is_open();
}

bool WriteWhole(const char* path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file.is_open()) {
        return false;
    }
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return !file.fail();
}

std::string ReadWhole(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const char* Name(Packing packing) {
    return packing == Packing::Optimal ? "optimal" : "greedy";
}

}  // namespace

int main(int argc, char** argv) {
    PackOptions options = ParsePackOptions(argc, argv);
    if (options.version && options.error.empty()) {
        std::cout << "tessary_pack " << TESSARY_VERSION << std::endl;
        return 0;
    }
    std::ifstream input;
    std::cout << "Korvel Map Compresser\n" << std::endl;

    static MapGroupTable table;
    table.count = LoadMapGroups(table.groups, kMaxMapGroups);
    if (table.count < 0) {
        std::cerr << "tessary_pack: the program's own folder could not be found, so "
                  << kSettingsFileName << " was not read." << std::endl;
    }
    const char* program = argc > 0 ? argv[0] : "tessary_pack";
    if (!options.error.empty()) {
        std::cout << options.error << std::endl;
        std::cout << "Usage: " << program
                  << " [--optimal] [--limit N] [FMF file] [Header sile] [Output file]"
                     " [Level number]"
                  << std::endl;
        return kFailure;
    }
    char** args = argv + options.firstPositional - 1;  // args[1..4] as without options
    if (argc - options.firstPositional < 4) {
        std::cout << "Usage: " << program
                  << " [FMF file] [Header sile] [Output file] [Level number]\n\n"
                     "Invalid selection, select from the following:\n"
                  << std::endl;
        for (int32_t i = 0; i < table.count; ++i) {
            std::cout << i << ": " << table.groups[i].name << std::endl;
        }
        return 0;
    }

    int32_t level = ParseLevelNumber(args[4]);
    if (level < 0 || level >= table.count) {
        std::cout << "Invalid Selection. Valid numbers are between 0 and " << table.count - 1 << "."
                  << std::endl;
        return kFailure;
    }
    const MapGroup& group = table.groups[level];
    if (group.height < 1) {
        return Fail("Invalid map height for this level.");
    }

    if (!OpenInput(input, args[1])) {
        return Fail("Failed to open the FMF file.");
    }
    int64_t fileSize = FileSize(input);
    if (fileSize < 0 || fileSize > INT32_MAX) {
        return Fail("Failed to open the FMF file.");
    }
    std::cout << "FMF file size: " << fileSize << " bytes." << std::endl;
    if (fileSize < kFmfHeaderSize) {
        return Fail("The FMF file is too short.");
    }
    uint32_t cellCount = static_cast<uint32_t>(fileSize) - kFmfHeaderSize;
    std::unique_ptr<uint8_t[]> cells;
    {
        std::unique_ptr<uint8_t[]> image(new (std::nothrow) uint8_t[fileSize]);
        cells.reset(new (std::nothrow) uint8_t[cellCount == 0 ? 1 : cellCount]);
        if (!image || !cells || !ReadExactly(input, image.get(), fileSize)) {
            return Fail("Failed to open the FMF file.");
        }
        input.close();
        ConvertFromFmf(cells.get(), image.get(), static_cast<uint32_t>(fileSize), group.vertical,
                       group.height);
    }

    if (!OpenInput(input, args[2])) {
        return Fail("Failed to open the header file.");
    }
    int64_t headerFileSize = FileSize(input);
    if (headerFileSize < 0) {
        return Fail("Failed to open the header file.");
    }
    if (headerFileSize < kMapHeaderSize) {
        return Fail("The header file is too short.");
    }
    uint8_t headerBytes[kMapHeaderSize];
    if (!ReadExactly(input, headerBytes, kMapHeaderSize)) {
        return Fail("Failed to open the header file.");
    }
    input.close();

    Packing packing = options.optimal ? Packing::Optimal : Packing::Greedy;
    std::string packed = PackLevel(headerBytes, cells.get(), cellCount, packing);
    const bool limited = options.limit >= 0;
    if (limited && !packed.empty() && static_cast<int64_t>(packed.size()) > options.limit &&
        packing == Packing::Greedy) {
        std::cerr << "tessary_pack: the greedy packing takes " << packed.size()
                  << " bytes, more than the limit of " << options.limit
                  << "; trying the optimal one." << std::endl;
        packing = Packing::Optimal;
        packed = PackLevel(headerBytes, cells.get(), cellCount, packing);
    }
    if (packed.empty()) {
        return Fail("Compression failed.");
    }
    if (limited) {
        int64_t size = static_cast<int64_t>(packed.size());
        if (size > options.limit) {
            return Fail("The packed level is " + std::to_string(size) + " bytes, " +
                        std::to_string(size - options.limit) + " more than the limit.");
        }
        std::cerr << "tessary_pack: writing the " << Name(packing) << " packing, " << size
                  << " bytes, within the limit of " << options.limit << "." << std::endl;
    }

    // Never truncate the run's own inputs or the settings file, whatever name reaches them.
    if (DenotesAnyOf(args[3], {args[1], args[2], PathBesideProgram(kSettingsFileName)}) ||
        !WriteWhole(args[3], packed)) {
        return Fail("Failed to save the output file.");
    }
    // The bytes were checked in memory; the file must now hold exactly them.
    std::string written = ReadWhole(args[3]);
    if (written != packed) {
        return Fail("Compression failed.");
    }
    std::cout << "Compression was successful." << std::endl;
    std::cout << "Compressed size: " << written.size() << "bytes." << std::endl;
    return 0;
}
