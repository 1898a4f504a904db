// Arbitrary bytes as a map behind a header taken from the first 38 bytes: what either
// encoder writes must decode to exactly the map and end where the stream ends, and the
// optimal stream is never longer than the greedy one.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "map_header.h"
#include "optimal_encoder.h"
#include "stream_check.h"
#include "stream_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t headerBytes[kMapHeaderSize] = {};
    size_t headerSize = size < kMapHeaderSize ? size : kMapHeaderSize;
    std::memcpy(headerBytes, data, headerSize);
    MapHeader header = MapHeaderFromBytes(headerBytes);
    // A copy of exactly the map's size, so any read past its end is caught.
    std::vector<uint8_t> map(data + headerSize, data + size);

    std::stringstream greedy;
    StreamEncoder encoder(greedy, map.data(), static_cast<int32_t>(map.size()), header);
    std::stringstream optimal;
    OptimalEncoder optimalEncoder(optimal, map.data(), static_cast<int32_t>(map.size()), header);
    if (!encoder.encode() || !optimalEncoder.encode() ||
        optimal.str().size() > greedy.str().size() ||
        !StreamDecodesTo(greedy, header, map.data(), static_cast<uint32_t>(map.size())) ||
        !StreamDecodesTo(optimal, header, map.data(), static_cast<uint32_t>(map.size()))) {
        std::abort();
    }
    return 0;
}
