#include "rom_packing.h"

#include <cinttypes>
#include <filesystem>
#include <set>

#include "faults.h"
#include "format/fmf.h"
#include "format/fmf_check.h"
#include "level/pack_level.h"
#include "patch/patch_applier.h"
#include "patch/patch_writer.h"

namespace tessary {

namespace {

namespace fs = std::filesystem;

constexpr int kFailure = -1;

// Stages one output, refusing names that reach an input; the reason when it cannot.
std::string Stage(std::vector<StagedFile>& files, const std::string& path,
                  std::vector<uint8_t> bytes, const std::vector<std::string>& inputs) {
    if (LandsOnInput(path, inputs)) {
        return path + " is one of the inputs";
    }
    for (const StagedFile& file : files) {
        if (LandsOnInput(path, {file.path()})) {
            return path + " is named twice";
        }
    }
    files.emplace_back(path, std::move(bytes));
    if (!files.back().staged()) {
        return "cannot write " + path + ": " + SystemReason(files.back().systemError());
    }
    return "";
}

// One level of --all: what was found in the folder, and what becomes of it.
struct LevelPlan {
    RomLevel level;
    std::vector<uint8_t> cells;  // the edited map in the game's order
    Placement placement;         // empty `packed` when nothing is written for it
    std::string size = "-";
    std::string packing = "-";
    std::string result;
    bool failed = false;
};

void Refuse(LevelPlan& plan, const std::string& result) {
    plan.result = result;
    plan.failed = true;
}

// Reads, checks and packs one level's files; fills the plan's result.
void PlanLevel(const Console& console, LevelPlan& plan, const std::string& folder,
               std::vector<std::string>& inputs) {
    const RomLevel& level = plan.level;
    const std::string stem =
        (fs::path(folder) / LevelFileStem(level.number, level.group.name)).string();
    const std::string fmfPath = stem + ".fmf";
    const std::string headerPath = stem + ".hdr";
    if (!level.unpacks()) {
        if (fs::exists(fmfPath)) {
            console.error(
                "level %d: its level in the ROM image does not unpack, so its slot is "
                "unknown; pack it on its own with --rom and --limit N.",
                static_cast<int>(level.number));
            return Refuse(plan, "no known slot");
        }
        plan.result = "skipped: does not unpack in the ROM image";
        return;
    }
    if (level.group.height < 1) {  // tessary --all wrote no files for it
        if (fs::exists(fmfPath)) {
            return Refuse(plan, "height setting below 1");
        }
        plan.result = "skipped: height setting below 1";
        return;
    }
    inputs.push_back(fmfPath);
    inputs.push_back(headerPath);
    const InputFile fmf = ReadInputFile(fmfPath);
    const InputFile header = ReadInputFile(headerPath);
    for (const auto& [file, path] : {std::make_pair(&fmf, &fmfPath), {&header, &headerPath}}) {
        if (file->status != InputStatus::Read) {
            console.error("level %d: cannot read %s: %s.", static_cast<int>(level.number),
                          path->c_str(), WhyNotRead(*file).c_str());
            return Refuse(plan, "cannot read " + fs::path(*path).filename().string());
        }
    }
    const std::vector<FmfProblem> problems =
        CheckFmfFile(fmf.bytes.data(), fmf.bytes.size(), level.group.vertical, level.group.height);
    if (!problems.empty()) {
        std::string reasons;  // one line per level keeps the report readable
        for (const FmfProblem& problem : problems) {
            reasons += (reasons.empty() ? "" : " ") + problem.message;
        }
        console.error("level %d: %s: %s", static_cast<int>(level.number), fmfPath.c_str(),
                      reasons.c_str());
        return Refuse(plan, "not a map of this level");
    }
    const MapHeaderBytes& romHeader = level.unpacked.header;
    if (header.bytes.size() < romHeader.size() ||
        !std::equal(romHeader.begin(), romHeader.end(), header.bytes.begin())) {
        console.error("level %d: %s is not the header of this level in the ROM image.",
                      static_cast<int>(level.number), headerPath.c_str());
        return Refuse(plan, "another level's header");
    }
    const FmfConversion cells = MapFromFmfFile(fmf.bytes.data(), fmf.bytes.size(),
                                               level.group.vertical, level.group.height);
    plan.cells = cells.bytes;
    const FmfConversion original =
        MapToFmfFile(level.unpacked.map.data(), level.unpacked.map.size(), level.group.vertical,
                     level.group.height);
    if (original.bytes == fmf.bytes) {
        plan.size = std::to_string(level.slotSize());
        plan.result = "unchanged";  // its original bytes stay, bits the FMF file lacks included
        return;
    }
    const int64_t slot = static_cast<int64_t>(level.slotSize());
    const PackedLevel packed = PackLevel(romHeader.data(), plan.cells.data(), plan.cells.size(),
                                         PackRequest{Packing::Greedy, slot}, PackerEncoding());
    plan.size = std::to_string(packed.bytes.size());
    plan.packing = PackingName(packed.packing);
    if (packed.status == PackStatus::NotVerified) {
        return Refuse(plan, "packing failed");
    }
    if (packed.status == PackStatus::OverLimit) {
        return Refuse(plan, "over by " +
                                std::to_string(static_cast<int64_t>(packed.bytes.size()) - slot) +
                                " bytes");
    }
    plan.placement = {level.number, level.group.offset, packed.bytes, plan.cells};
    plan.result = "packed";
}

// Levels sharing a slot must agree on their map; slots may not otherwise overlap where
// something is written.
void CheckSharedSlots(const Console& console, std::vector<LevelPlan>& plans) {
    for (LevelPlan& plan : plans) {
        if (plan.failed || plan.placement.packed.empty()) {
            continue;
        }
        const int64_t start = plan.level.group.offset;
        const int64_t end = start + static_cast<int64_t>(plan.level.slotSize());
        for (LevelPlan& other : plans) {
            if (&other == &plan || !other.level.unpacks()) {
                continue;
            }
            const int64_t otherStart = other.level.group.offset;
            const int64_t otherEnd = otherStart + static_cast<int64_t>(other.level.slotSize());
            const bool overlaps = start < otherEnd && otherStart < end;
            if (!overlaps || (otherStart == start && other.cells == plan.cells)) {
                continue;
            }
            console.error("level %d: its slot %s level %d's, whose map differs.",
                          static_cast<int>(plan.level.number),
                          otherStart == start ? "is" : "overlaps",
                          static_cast<int>(other.level.number));
            Refuse(plan, "slot shared with level " + std::to_string(other.level.number));
        }
    }
}

}  // namespace

bool ReportFmfChecks(const Console& console, const std::vector<uint8_t>& fmf, const MapGroup& group,
                     bool refuse) {
    const std::vector<FmfProblem> problems =
        CheckFmfFile(fmf.data(), fmf.size(), group.vertical, group.height);
    if (refuse && !problems.empty()) {
        console.print("The FMF file is not a map of this level.\n");
    }
    for (const FmfProblem& problem : problems) {
        console.error("%s%s", refuse ? "" : "warning: ", problem.message.c_str());
    }
    return !refuse || problems.empty();
}

int WriteRomOutputs(const Console& console, const PackOptions& options,
                    const std::vector<uint8_t>& rom, const std::vector<Placement>& placements,
                    std::vector<StagedFile> alsoWrite, const std::vector<std::string>& inputs) {
    std::vector<uint8_t> image = BuildRomImage(rom, placements);
    PlantFault("wrong-image", image);
    const RomImageCheck check = CheckRomImage(rom, image, placements);
    if (check.status != RomImageStatus::Good) {
        console.print("Compression failed.\n");
        console.error(
            "the new ROM image did not check out (level %d, offset 0x%08llX); nothing "
            "was written.",
            static_cast<int>(check.number), static_cast<unsigned long long>(check.offset));
        return kFailure;
    }
    std::vector<StagedFile> files = std::move(alsoWrite);
    std::string why;
    if (!options.into.empty()) {
        why = Stage(files, options.into, image, inputs);
    }
    const PatchFormat format = PatchFormatFor(options.patch);
    if (why.empty() && !options.patch.empty()) {
        Patch patch = MakePatch(format, rom, image);
        PlantFault("wrong-patch", patch.bytes);
        if (patch.status != PatchStatus::Made) {
            console.print("Failed to save the patch file.\n");
            console.error(
                "an IPS patch cannot reach offsets beyond 16 MiB; write a BPS patch "
                "(any name not ending in .ips).");
            return kFailure;
        }
        const AppliedPatch applied = ApplyPatch(rom, patch.bytes);
        if (applied.status != ApplyStatus::Applied || applied.target != image) {
            console.print("Compression failed.\n");
            console.error(
                "the patch did not give the new ROM image when applied (%s); nothing "
                "was written.",
                applied.why.c_str());
            return kFailure;
        }
        why = Stage(files, options.patch, patch.bytes, inputs);
    }
    if (const StagedFile* failed = why.empty() ? CommitAll(files) : nullptr) {
        why = "cannot write " + failed->path() + ": " + SystemReason(failed->systemError());
    }
    if (!why.empty()) {
        console.print("Failed to save the output file.\n");
        console.error("%s; nothing was written.", why.c_str());
        return kFailure;
    }
    if (!options.into.empty()) {
        console.print("Saved the new ROM image %s (%zu bytes).\n", options.into.c_str(),
                      image.size());
    }
    if (!options.patch.empty()) {
        console.print("Saved the %s patch %s (%zu bytes).\n",
                      format == PatchFormat::Ips ? "IPS" : "BPS", options.patch.c_str(),
                      files.back().size());
    }
    if (format == PatchFormat::Ips && !options.patch.empty()) {
        console.error(
            "note: an IPS patch holds no checksum: applied to any other ROM image it "
            "corrupts it without a word. A BPS patch refuses the wrong image.");
    }
    return 0;
}

int PackAll(const Console& console, const PackOptions& options, const MapGroupTable& table) {
    InputFile rom;
    if (!ReadRomImage(console, options.rom, rom)) {
        return kFailure;
    }
    if (!fs::is_directory(options.all)) {
        console.print("Failed to open the folder %s.\n", options.all.c_str());
        console.error("%s is not a folder; tessary --all ROM FOLDER writes one.",
                      options.all.c_str());
        return kFailure;
    }
    std::vector<std::string> inputs = {options.rom, table.path};
    std::vector<LevelPlan> plans;
    for (const RomLevel& level : SurveyRom(rom.bytes, table)) {
        plans.push_back(LevelPlan{level, {}, {}, "-", "-", "", false});
        PlanLevel(console, plans.back(), options.all, inputs);
    }
    CheckSharedSlots(console, plans);

    std::vector<std::vector<std::string>> rows{
        {"Level", "Name", "Slot", "New size", "Packing", "Result"}};
    std::vector<Placement> placements;
    std::set<int64_t> placed;
    size_t failures = 0;
    for (const LevelPlan& plan : plans) {
        const RomLevel& level = plan.level;
        rows.push_back({std::to_string(level.number), level.group.name,
                        level.unpacks() ? std::to_string(level.slotSize()) : "-", plan.size,
                        plan.packing, plan.result});
        failures += plan.failed ? 1 : 0;
        if (!plan.failed && !plan.placement.packed.empty() &&
            placed.insert(plan.placement.offset).second) {
            placements.push_back(plan.placement);
        }
    }
    for (const std::string& line : FormatTable(rows)) {
        console.print("%s\n", line.c_str());
    }
    if (failures != 0) {
        console.print("Nothing was written: %zu %s cannot go into the ROM image.\n", failures,
                      failures == 1 ? "level" : "levels");
        return kFailure;
    }
    return WriteRomOutputs(console, options, rom.bytes, placements, {}, inputs);
}

}  // namespace tessary
