// tessary_pack: packs an edited FMF file back into the game's stream form, behind the
// level's 38-byte header; with --rom, also into the level's slot of a copy of the ROM image,
// and with --all, every level of a folder. Levels are packed and checked in memory first,
// and nothing is reported as packed until what was written has been read back.

#include <cinttypes>
#include <filesystem>
#include <string>

#include "faults.h"
#include "format/fmf.h"
#include "format/stream_format.h"
#include "level/pack_level.h"
#include "level/rom_levels.h"
#include "pack_options.h"
#include "program_support.h"
#include "rom_packing.h"

using namespace tessary;

namespace {

constexpr int kFailure = -1;

int Fail(const Console& console, const char* message) {
    console.print("%s\n", message);
    return kFailure;
}

std::string Usage(const std::string& program, const char* options) {
    return "Usage: " + program + options + " [FMF file] [Header sile] [Output file] [Level number]";
}

void PrintHelp(const Console& console, const std::string& program) {
    console.print(
        "%s\n"
        "       %s --rom ROM --into NEW_ROM [--patch FILE] [FMF file] [Header file] [Output "
        "file] [Level number]\n"
        "       %s --all FOLDER --rom ROM --into NEW_ROM [--patch FILE]\n\n"
        "Packs an FMF file behind the level's 38-byte header, using the level table in\n"
        "tessary.ini beside the program.\n\n"
        "  --optimal     write the shortest stream instead of the game's own packing\n"
        "  --limit N     refuse a packed level over N bytes (header included; decimal or 0x);\n"
        "                a greedy packing over N is packed again optimally\n"
        "  --strict      refuse an FMF file that is not a map of this level (by default a\n"
        "                warning)\n"
        "  --force       replace an output file even if it is too large to be a packed level\n"
        "                of this map (a ROM image given as the output by mistake is refused)\n"
        "  --rom ROM     the ROM image the level comes from: the packed level must fit the\n"
        "                room its original takes there (its slot), unless --limit says more\n"
        "  --into FILE   write a copy of ROM with the packed level in its slot (needs --rom)\n"
        "  --patch FILE  write a patch from ROM to the new image: IPS for a name ending in\n"
        "                .ips, else BPS (needs --rom)\n"
        "  --all FOLDER  pack every level file in FOLDER (as tessary --all writes them) into\n"
        "                its slot; nothing is written unless every level fits\n"
        "  --help        print this help\n"
        "  --version     print the version\n"
        "  --            end of options: what follows is a file name even if it starts with -\n",
        Usage(program, " [--optimal] [--limit N]").c_str(), program.c_str(), program.c_str());
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

// A file larger than any packing of the map cannot be an earlier packed level of it: most
// likely it is the ROM image, named as the output by mistake.
bool MayReplace(const Console& console, const std::string& path, size_t cellBytes) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    const size_t largest = AllLiteralLevelSize(cellBytes);
    if (error || !std::filesystem::is_regular_file(path) || size <= largest) {
        return true;
    }
    console.print("Failed to save the output file.\n");
    console.error(
        "%s is %ju bytes, more than any packed level of this map can be (%zu bytes): "
        "it is not a packed level of it. It was left as it is; --force replaces it "
        "anyway.",
        path.c_str(), size, largest);
    return false;
}

// The level in the ROM image given with --rom, whose slot bounds the packed level.
struct RomSlot {
    bool found = false;
    InputFile rom;
    RomLevel level;
};

RomSlot FindSlot(const Console& console, const PackOptions& options, const MapGroup& group,
                 int32_t number) {
    RomSlot slot;
    if (!ReadRomImage(console, options.rom, slot.rom)) {
        return slot;
    }
    slot.level = SurveyLevel(slot.rom.bytes, group, number);
    if (!slot.level.unpacks() && options.limit < 0) {
        console.print("The level has no known slot in the ROM image.\n");
        console.error("level %d will not unpack: %s; give its room with --limit N.",
                      static_cast<int>(number),
                      WhyLevelWillNotUnpack(slot.level.unpacked, group.offset).c_str());
        return slot;
    }
    slot.found = true;
    return slot;
}

int PackOne(const Console& console, const PackOptions& options, const MapGroupTable& table,
            const std::string& program) {
    const std::vector<std::string>& args = options.positional;
    const LevelChoice choice = ChooseLevel(console, table, args, Usage(program, ""));
    if (!choice.chosen) {
        return choice.exitStatus;
    }
    const MapGroup& group = table.groups[static_cast<size_t>(choice.level)];
    if (group.height < 1) {
        return Fail(console, "Invalid map height for this level.");
    }
    const std::string& fmfPath = args[0];
    const std::string& headerPath = args[1];
    const std::string& outputPath = args[2];

    const InputFile fmf = ReadInputFile(fmfPath);
    if (fmf.status != InputStatus::Read) {
        console.print("Failed to open the FMF file.\n");
        console.error("cannot read %s: %s.", fmfPath.c_str(), WhyNotRead(fmf).c_str());
        return kFailure;
    }
    console.print("FMF file size: %zu bytes.\n", fmf.bytes.size());
    if (!ReportFmfChecks(console, fmf.bytes, group, options.strict || options.writesRom())) {
        return kFailure;
    }
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

    const InputFile header = ReadInputFile(headerPath);
    if (header.status != InputStatus::Read) {
        console.print("Failed to open the header file.\n");
        console.error("cannot read %s: %s.", headerPath.c_str(), WhyNotRead(header).c_str());
        return kFailure;
    }
    if (header.bytes.size() < static_cast<size_t>(kMapHeaderSize)) {
        return Fail(console, "The header file is too short.");
    }

    RomSlot slot;
    PackRequest request{options.optimal ? Packing::Optimal : Packing::Greedy, options.limit};
    if (options.writesRom()) {
        slot = FindSlot(console, options, group, choice.level);
        if (!slot.found) {
            return kFailure;
        }
        const MapHeaderBytes& romHeader = slot.level.unpacked.header;
        if (slot.level.unpacks() &&
            !std::equal(romHeader.begin(), romHeader.end(), header.bytes.begin())) {
            console.print("The header file is not this level's header.\n");
            console.error("%s differs from the 38 bytes at 0x%08X in %s.", headerPath.c_str(),
                          static_cast<unsigned>(group.offset), options.rom.c_str());
            return kFailure;
        }
        if (request.limit < 0) {
            request.limit = static_cast<int64_t>(slot.level.slotSize());
        }
    }
    const PackedLevel packed = PackLevel(header.bytes.data(), cells.bytes.data(),
                                         cells.bytes.size(), request, PackerEncoding());
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

    if (!options.force && !MayReplace(console, outputPath, cells.bytes.size())) {
        return kFailure;
    }
    const std::vector<std::string> inputs = {fmfPath, headerPath, table.path, options.rom};
    if (options.writesRom()) {
        if (LandsOnInput(outputPath, inputs)) {
            console.print("Failed to save the output file.\n");
            console.error("%s is one of the inputs; nothing was written.", outputPath.c_str());
            return kFailure;
        }
        std::vector<StagedFile> output;
        output.emplace_back(outputPath, packed.bytes);
        const std::vector<Placement> placements = {
            {choice.level, group.offset, packed.bytes, cells.bytes}};
        if (WriteRomOutputs(console, options, slot.rom.bytes, placements, std::move(output),
                            inputs) != 0) {
            return kFailure;
        }
    } else {
        // Never truncate the run's own inputs or the settings file, whatever name reaches them.
        int error = 0;
        const OutputStatus written = WriteOutputFile(
            outputPath, {{packed.bytes.data(), packed.bytes.size()}}, inputs, &error);
        if (written != OutputStatus::Written) {
            console.print("Failed to save the output file.\n");
            ReportOutputFailure(console, outputPath, written, error);
            return kFailure;
        }
        // The bytes were checked in memory; the file must now hold exactly them.
        if (!FileHolds(outputPath, packed.bytes)) {
            return Fail(console, "Compression failed.");
        }
    }
    console.print("Compression was successful.\nCompressed size: %zubytes.\n", packed.bytes.size());
    const MapSize size =
        MapDimensions(static_cast<uint32_t>(cells.bytes.size()), group.vertical, group.height);
    console.error("map %u x %u cells (%zu bytes) packed into %zu bytes with the %s packing.",
                  size.width, size.height, cells.bytes.size(), packed.bytes.size(),
                  PackingName(packed.packing));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const Console console("tessary_pack");
    const PackOptions options = ParsePackOptions(argc, argv);
    const std::string program = argc > 0 ? argv[0] : "tessary_pack";
    if (options.error.empty() && options.version) {
        console.printVersion();
        return 0;
    }
    if (options.error.empty() && options.help) {
        PrintHelp(console, program);
        return 0;
    }
    console.print("Korvel Map Compresser\n\n");
    const MapGroupTable table = LoadSettings(console);
    if (!options.error.empty()) {
        console.print("%s\n%s\n", options.error.c_str(),
                      Usage(program, " [--optimal] [--limit N]").c_str());
        console.error("tessary_pack --help lists every option.");
        return kFailure;
    }
    if (!options.all.empty()) {
        return PackAll(console, options, table);
    }
    return PackOne(console, options, table, program);
}
