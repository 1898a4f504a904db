#pragma once
// Which file a name denotes, whatever path spells it: an output must never land on an input.

#include <initializer_list>
#include <string>

// True when both names exist and denote the same file (same device and file number).
bool SameFile(const std::string& a, const std::string& b);

// True when `output` names one of `inputs`; empty input names are skipped.
bool DenotesAnyOf(const std::string& output, std::initializer_list<std::string> inputs);

bool IsDirectory(const std::string& path);
