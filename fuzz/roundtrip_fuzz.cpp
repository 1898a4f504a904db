// Arbitrary bytes as a map behind a header taken from the first 38 bytes: what either
// encoder writes must decode to exactly the map and end where the stream ends, the optimal
// stream is never longer than the greedy one, and packing the level gives the header and
// the greedy stream.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "decoder/stream_decoder.h"
#include "encoder/optimal_encoder.h"
#include "encoder/stream_encoder.h"
#include "format/map_header.h"
#include "fuzz_support.h"
#include "level/pack_level.h"

using namespace tessary;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const HeaderAndRest input = SplitHeader(data, size);
    const uint8_t* headerBytes = input.header.data();
    const MapHeader header = MapHeaderFromBytes(headerBytes);
    const std::vector<uint8_t>& map = input.rest;
    const int32_t count = static_cast<int32_t>(map.size());

    std::vector<uint8_t> greedy;
    Check(StreamEncoder(greedy, map.data(), count, header).encode() == greedy.size());
    std::vector<uint8_t> optimal;
    OptimalEncoder optimalEncoder(optimal, map.data(), count, header);
    Check(optimalEncoder.encode() == optimal.size());
    Check(static_cast<int64_t>(optimal.size()) == (optimalEncoder.nibbles() + 1) / 2);
    Check(optimal.size() <= greedy.size());
    Check(StreamDecodesTo(greedy.data(), greedy.size(), header, map.data(), map.size()));
    Check(StreamDecodesTo(optimal.data(), optimal.size(), header, map.data(), map.size()));

    const PackedLevel level = PackLevel(headerBytes, map.data(), map.size(), PackRequest{});
    Check(level.status == PackStatus::Packed && level.packing == Packing::Greedy);
    Check(level.bytes.size() == kMapHeaderSize + greedy.size());
    Check(std::equal(headerBytes, headerBytes + kMapHeaderSize, level.bytes.begin()));
    Check(std::equal(greedy.begin(), greedy.end(), level.bytes.begin() + kMapHeaderSize));
    return 0;
}
