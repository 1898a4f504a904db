#pragma once
// The exporter's whole-ROM modes: --check, which reports the settings and every level, and
// --all, which writes every level's files into a folder. Both print the same level table.

#include <string>

#include "program_support.h"

namespace tessary {

int CheckRom(const Console& console, const MapGroupTable& table, const std::string& romPath);

int ExportAll(const Console& console, const MapGroupTable& table, const std::string& romPath,
              const std::string& folder);

}  // namespace tessary
