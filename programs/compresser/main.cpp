// tessary_pack: packs an edited FMF file back into the game's stream form, behind the
// level's 38-byte header. The level is packed and checked in memory first, and nothing is
// reported as packed until the written file has been read back and holds exactly those
// bytes.

#include <cinttypes>
#include <string>

#include "format/fmf.h"
#include "format/stream_format.h"
#include "level/pack_level.h"
#include "pack_options.h"
#include "program_support.h"

using namespace tessary;

namespace {

constexpr int kFailure = -1;

int Fail(const Console& console, const char* message) {
    console.print("%s\n", message);
    return kFailure;
}

std::string Usage(const char* program, const char* options) {
    return std::string("Usage: ") + program + options +
           " [FMF file] [Header sile] [Output file] [Level number]";
}

// Says how a packing with a limit went: which packing, and how it compares.
void ReportLimit(const Console& console, const PackedLevel& packed, int64_t limit) {
    if (packed.greedySize != 0) {
        console.error("the greedy packing takes %zu bytes, more than the limit of %" PRId64
                      "; trying the optimal one.",
                      packed.greedySize, limit);
    }
    if (packed.status == PackStatus::Packed) {
        console.error("writing the %s packing, %zu bytes, within the limit of %" PRId64 ".",
                      PackingName(packed.packing), packed.bytes.size(), limit);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Console console("tessary_pack");
    const PackOptions options = ParsePackOptions(argc, argv);
    if (options.version && options.error.empty()) {
        console.printVersion();
        return 0;
    }
    console.print("Korvel Map Compresser\n\n");
    const MapGroupTable table = LoadSettings(console);
    const char* program = argc > 0 ? argv[0] : "tessary_pack";
    if (!options.error.empty()) {
        console.print("%s\n%s\n", options.error.c_str(),
                      Usage(program, " [--optimal] [--limit N]").c_str());
        return kFailure;
    }
    char** args = argv + options.firstPositional - 1;  // args[1..4] as without options
    const LevelChoice choice =
        ChooseLevel(console, table, args, argc - options.firstPositional, Usage(program, ""));
    if (!choice.chosen) {
        return choice.exitStatus;
    }
    const MapGroup& group = table.groups[choice.level];
    if (group.height < 1) {
        return Fail(console, "Invalid map height for this level.");
    }

    const InputFile fmf = ReadInputFile(args[1]);
    if (fmf.status != InputStatus::Read) {
        return Fail(console, "Failed to open the FMF file.");
    }
    console.print("FMF file size: %zu bytes.\n", fmf.bytes.size());
    const FmfConversion cells =
        MapFromFmfFile(fmf.bytes.data(), fmf.bytes.size(), group.vertical, group.height);
    if (cells.status != FmfStatus::Converted) {
        return Fail(console, "The FMF file is too short.");
    }
    if (cells.bytes.size() > kDecodeCapacity) {
        console.error(
            "warning: the map holds %zu bytes of cells, more than the %u bytes the "
            "game unpacks a level into; the exporter cannot unpack this packed level.",
            cells.bytes.size(), static_cast<unsigned>(kDecodeCapacity));
    }

    const InputFile header = ReadInputFile(args[2]);
    if (header.status != InputStatus::Read) {
        return Fail(console, "Failed to open the header file.");
    }
    if (header.bytes.size() < static_cast<size_t>(kMapHeaderSize)) {
        return Fail(console, "The header file is too short.");
    }

    const PackRequest request{options.optimal ? Packing::Optimal : Packing::Greedy, options.limit};
    const PackedLevel packed =
        PackLevel(header.bytes.data(), cells.bytes.data(), cells.bytes.size(), request);
    if (request.limit >= 0) {
        ReportLimit(console, packed, request.limit);
    }
    if (packed.status == PackStatus::NotVerified) {
        return Fail(console, "Compression failed.");
    }
    if (packed.status == PackStatus::OverLimit) {
        const int64_t size = static_cast<int64_t>(packed.bytes.size());
        console.print("The packed level is %" PRId64 " bytes, %" PRId64 " more than the limit.\n",
                      size, size - request.limit);
        return kFailure;
    }

    // Never truncate the run's own inputs or the settings file, whatever name reaches them.
    const OutputStatus written = WriteOutputFile(
        args[3], {{packed.bytes.data(), packed.bytes.size()}}, {args[1], args[2], table.path});
    if (written != OutputStatus::Written) {
        return Fail(console, "Failed to save the output file.");
    }
    // The bytes were checked in memory; the file must now hold exactly them.
    if (!FileHolds(args[3], packed.bytes)) {
        return Fail(console, "Compression failed.");
    }
    console.print("Compression was successful.\nCompressed size: %zubytes.\n", packed.bytes.size());
    return 0;
}
