#pragma once
// The packer's ROM-writing modes: a packed level, or every level of a folder, put into its
// slot of a copy of the ROM image, with a patch from the old image to the new one. Nothing
// is written until the new image and the patch have been checked in memory.

#include <string>
#include <vector>

#include "level/rom_levels.h"
#include "pack_options.h"
#include "program_support.h"
#include "staged_file.h"

namespace tessary {

// Prints the FMF checks' findings: warnings, or with `refuse` the refusal line and the
// reasons. Returns true when the file may be packed.
bool ReportFmfChecks(const Console& console, const std::vector<uint8_t>& fmf, const MapGroup& group,
                     bool refuse);

// Builds the new image from `placements`, checks it and the patch, then writes --into,
// --patch and `alsoWrite` whole, or none of them. Prints what was written; returns the exit
// status.
int WriteRomOutputs(const Console& console, const PackOptions& options,
                    const std::vector<uint8_t>& rom, const std::vector<Placement>& placements,
                    std::vector<StagedFile> alsoWrite, const std::vector<std::string>& inputs);

// tessary_pack --all DIR --rom ROM (--into NEW_ROM) (--patch FILE)
int PackAll(const Console& console, const PackOptions& options, const MapGroupTable& table);

}  // namespace tessary
