#pragma once
// Bit tricks that every compiler has under another name.

#include <cstdint>

#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace tessary {

// Zero bits below the lowest set bit of `value`, which must not be 0.
inline int CountTrailingZeros(uint32_t value) {
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_ctz(value);
#elif defined(_MSC_VER)
    unsigned long index;
    _BitScanForward(&index, value);
    return static_cast<int>(index);
#else
    int count = 0;
    for (; (value & 1u) == 0; value >>= 1) {
        ++count;
    }
    return count;
#endif
}

// Index of the highest set bit of `value`, which must not be 0.
inline int HighestBit(uint64_t value) {
#if defined(__GNUC__) || defined(__clang__)
    return 63 - __builtin_clzll(value);
#elif defined(_MSC_VER) && defined(_M_X64)
    unsigned long index;
    _BitScanReverse64(&index, value);
    return static_cast<int>(index);
#else
    int index = 0;
    while (value >>= 1) {
        ++index;
    }
    return index;
#endif
}

}  // namespace tessary
