#pragma once

#include <cstdint>

// atoi's reading of a level argument (blanks, a sign, then digits up to the first other
// character; no digits gives 0), saturated to the 32-bit range rather than overflowing.
int32_t ParseLevelNumber(const char* text);
