#pragma once
// What the fuzz targets share: a failed check ends the run, and an input is split into a
// level header (its first 38 bytes, zero-padded) and the bytes after it.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "format/map_header.h"

inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

struct HeaderAndRest {
    tessary::MapHeaderBytes header{};
    // A copy of exactly the rest's size, so any read past its end is caught.
    std::vector<uint8_t> rest;
};

inline HeaderAndRest SplitHeader(const uint8_t* data, size_t size) {
    HeaderAndRest split;
    const size_t headerSize = std::min<size_t>(size, tessary::kMapHeaderSize);
    std::copy(data, data + headerSize, split.header.begin());
    split.rest.assign(data + headerSize, data + size);
    return split;
}
