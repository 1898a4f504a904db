// tessary: unpacks one level's map from a ROM image into an FMF file, its header file and
// a raw dump. Progress goes to standard output; the reason for a failed unpack goes to
// standard error.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "file_identity.h"
#include "file_io.h"
#include "fmf.h"
#include "level_number.h"
#include "map_groups.h"
#include "map_header.h"
#include "stream_decoder.h"
#include "stream_format.h"
#include "version.h"

namespace {

constexpr int kFailure = -1;

void PrintUsage(const MapGroupTable& table) {
    std::printf(
        "Usage: [ROM file name] [FMF file] [Header file] [Level number]\n\n"
        "Invalid selection, select from the following:\n\n");
    for (int32_t i = 0; i < table.count; ++i) {
        std::printf("%d: %s\n", static_cast<int>(i), table.groups[i].name);
    }
}

void ReportDecodeFailure(int32_t level, const DecodeFailure& failure, long long romOffset) {
    std::fflush(stdout);  // keeps the progress lines first when both streams share a file
    std::fprintf(stderr, "tessary: level %d will not unpack: %s (output offset %u",
                 static_cast<int>(level), DecodeFailureKindName(failure.kind), failure.position);
    if (failure.command == kNoCommand) {
        std::fprintf(stderr, ", where the next command should begin");
    } else {
        int32_t opcode = failure.command & 0x0F;
        std::fprintf(stderr, ", command %d %s beginning in the %s half of its byte",
                     static_cast<int>(opcode), OpcodeName(opcode),
                     failure.command >= 16 ? "low" : "high");
        if (failure.kind == BadLocation) {
            std::fprintf(stderr, ", distance %u", failure.size);
        } else if (failure.size != 0) {
            std::fprintf(stderr, ", %u bytes", failure.size);
        }
    }
    std::fprintf(stderr, "); reading stopped at ROM offset 0x%08llX.\n", romOffset);
}

long long StreamOffset(std::istream& stream) {
    stream.clear();
    return static_cast<long long>(stream.tellg());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tessary %s\n", TESSARY_VERSION);
        return 0;
    }
    std::printf("Korvel Map Exporter\n\n");

    static MapGroupTable table;
    table.count = LoadMapGroups(table.groups, kMaxMapGroups);
    if (table.count < 0) {
        std::fprintf(stderr,
                     "tessary: the program's own folder could not be found, so %s was not "
                     "read.\n",
                     kSettingsFileName);
    }
    if (argc < 5) {
        PrintUsage(table);
        return 0;
    }

    int32_t level = ParseLevelNumber(argv[4]);
    if (level < 0 || level >= table.count) {
        std::printf("Invalid Selection. Valid numbers are between 0 and %d.\n",
                    static_cast<int>(table.count - 1));
        return kFailure;
    }
    const MapGroup& group = table.groups[level];

    std::ifstream rom;
    if (!IsDirectory(argv[1])) {
        rom.open(argv[1], std::ios::binary);
    }
    if (!rom.is_open()) {
        std::printf("Failed to open the ROM file. \n");
        return kFailure;
    }
    uint8_t headerBytes[kMapHeaderSize];
    bool headerRead = group.offset >= 0 && rom.seekg(group.offset) &&
                      rom.read(reinterpret_cast<char*>(headerBytes), kMapHeaderSize);
    std::printf("Expanding compressed map data ... \n");
    if (!headerRead) {
        std::fflush(stdout);
        std::fprintf(stderr,
                     "tessary: level %d will not unpack: the ROM image holds no %d-byte header "
                     "at offset %d (0x%08X).\n",
                     static_cast<int>(level), kMapHeaderSize, static_cast<int>(group.offset),
                     static_cast<unsigned>(group.offset));
        return kFailure;
    }
    MapHeader header = MapHeaderFromBytes(headerBytes);

    static uint8_t decoded[kDecodeCapacity];
    DecodeFailure failure;
    int32_t decodedSize = DecodePackedStream(decoded, kDecodeCapacity, header, rom, failure);
    if (decodedSize < 0) {
        ReportDecodeFailure(level, failure, StreamOffset(rom));
        return kFailure;
    }
    std::printf("Current file position: %08llX\n", StreamOffset(rom));
    std::printf("Data expanded successfully.\nSaving header file...\n");
    rom.close();

    // The ROM image and the settings file are only ever read, whatever name reaches them.
    const std::string settingsPath = PathBesideProgram(kSettingsFileName);
    auto writable = [&](const char* output) {
        return !DenotesAnyOf(output, {argv[1], settingsPath});
    };
    if (writable(argv[3]) && SaveFile(argv[3], headerBytes, kMapHeaderSize)) {
        std::printf("Successfully saved header file. \n");
    } else {
        std::printf("Failed to save the header file.\n");
    }
    if (writable("exp_map.dat") &&
        SaveFile("exp_map.dat", decoded, static_cast<size_t>(decodedSize))) {
        std::printf("Successfully saved uncompressed data.\n");
    } else {
        std::printf("Failed to save uncompressed file.\n");
    }

    std::unique_ptr<uint8_t[]> fmfCells;
    if (decodedSize > 0) {
        fmfCells.reset(new (std::nothrow) uint8_t[static_cast<size_t>(decodedSize)]);
    }
    if (!fmfCells) {
        std::printf("Form has failed to secure a buffer for FMF.\n");
        return kFailure;
    }
    FmfHeader fmfHeader;
    if (ConvertToFmf(fmfHeader, fmfCells.get(), decoded, static_cast<uint32_t>(decodedSize),
                     group.vertical, group.height) != 0) {
        std::printf("Failed to convert to FMF.\n");
        return kFailure;
    }
    std::printf("Successfully converted to FMF.\n");
    std::printf("Saving FMF file...\n");
    uint8_t fmfHeaderBytes[kFmfHeaderSize];
    FmfHeaderToBytes(fmfHeader, fmfHeaderBytes);
    if (!writable(argv[2]) || !SaveFile(argv[2], fmfHeaderBytes, kFmfHeaderSize, fmfCells.get(),
                                        static_cast<size_t>(decodedSize))) {
        std::printf("Failed to save output FMF file.\n");
        return kFailure;
    }
    std::printf("Successfully output FMF file.\n");
    return 0;
}
