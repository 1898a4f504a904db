#pragma once

#include <cstddef>
#include <cstdint>

// Creates or truncates `path` and writes the two blocks after each other. True only when
// every byte was written and the file closed cleanly.
bool SaveFile(const char* path, const uint8_t* first, size_t firstSize,
              const uint8_t* second = nullptr, size_t secondSize = 0);
