// tessary_pack: packs an edited FMF file back into the game's stream form, behind the
// level's 38-byte header. Nothing is reported as packed until the written file has been
// read back and unpacks to exactly what was packed.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>

#include "file_identity.h"
#include "fmf.h"
#include "level_number.h"
#include "map_groups.h"
#include "map_header.h"
#include "stream_check.h"
#include "stream_encoder.h"
#include "version.h"

namespace {

constexpr int kFailure = -1;

int Fail(const char* message) {
    std::cout << message << std::endl;
    return kFailure;
}

// Size of an open file, or -1 when it cannot be measured (a directory, say).
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

bool OutputMatches(const char* path, const uint8_t* headerBytes, const MapHeader& header,
                   const uint8_t* cells, uint32_t cellCount) {
    std::ifstream written(path, std::ios::binary);
    uint8_t readBack[kMapHeaderSize];
    if (!ReadExactly(written, readBack, kMapHeaderSize) ||
        !std::equal(readBack, readBack + kMapHeaderSize, headerBytes)) {
        return false;
    }
    return StreamDecodesTo(written, header, cells, cellCount);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "tessary_pack " << TESSARY_VERSION << std::endl;
        return 0;
    }
    std::ifstream input;
    std::ofstream output;
    std::cout << "Korvel Map Compresser\n" << std::endl;

    static MapGroupTable table;
    table.count = LoadMapGroups(table.groups, kMaxMapGroups);
    if (table.count < 0) {
        std::cerr << "tessary_pack: the program's own folder could not be found, so "
                  << kSettingsFileName << " was not read." << std::endl;
    }
    if (argc < 5) {
        std::cout << "Usage: " << (argc > 0 ? argv[0] : "tessary_pack")
                  << " [FMF file] [Header sile] [Output file] [Level number]\n\n"
                     "Invalid selection, select from the following:\n"
                  << std::endl;
        for (int32_t i = 0; i < table.count; ++i) {
            std::cout << i << ": " << table.groups[i].name << std::endl;
        }
        return 0;
    }

    int32_t level = ParseLevelNumber(argv[4]);
    if (level < 0 || level >= table.count) {
        std::cout << "Invalid Selection. Valid numbers are between 0 and " << table.count - 1 << "."
                  << std::endl;
        return kFailure;
    }
    const MapGroup& group = table.groups[level];
    if (group.height < 1) {
        return Fail("Invalid map height for this level.");
    }

    if (!IsDirectory(argv[1])) {
        input.open(argv[1], std::ios::binary);
    }
    if (!input.is_open()) {
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

    if (!IsDirectory(argv[2])) {
        input.open(argv[2], std::ios::binary);
    }
    if (!input.is_open()) {
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
    MapHeader header = MapHeaderFromBytes(headerBytes);

    // Never truncate the run's own inputs or the settings file, whatever name reaches them.
    if (!DenotesAnyOf(argv[3], {argv[1], argv[2], PathBesideProgram(kSettingsFileName)})) {
        output.open(argv[3], std::ios::binary | std::ios::trunc);
    }
    if (!output.is_open()) {
        return Fail("Failed to save the output file.");
    }
    std::streamoff start = output.tellp();
    output.write(reinterpret_cast<const char*>(headerBytes), kMapHeaderSize);
    StreamEncoder encoder(output, cells.get(), static_cast<int32_t>(cellCount), header);
    bool encoded = encoder.encode();
    output.flush();
    std::streamoff end = output.tellp();
    output.close();
    if (output.fail() || start < 0 || end < 0) {
        return Fail("Failed to save the output file.");
    }
    if (!encoded || !OutputMatches(argv[3], headerBytes, header, cells.get(), cellCount)) {
        return Fail("Compression failed.");
    }
    std::cout << "Compression was successful." << std::endl;
    std::cout << "Compressed size: " << (end - start) << "bytes." << std::endl;
    return 0;
}
