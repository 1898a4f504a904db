#include "level_packer.h"

#include <algorithm>
#include <sstream>

#include "map_header.h"
#include "optimal_encoder.h"
#include "stream_check.h"
#include "stream_encoder.h"

namespace {

// True when `packed` is the header followed by a stream that unpacks to exactly `cells` and
// ends where `packed` ends.
bool PackedLevelMatches(const std::string& packed, const uint8_t* headerBytes, const uint8_t* cells,
                        uint32_t count) {
    if (packed.size() < static_cast<size_t>(kMapHeaderSize) ||
        !std::equal(headerBytes, headerBytes + kMapHeaderSize,
                    reinterpret_cast<const uint8_t*>(packed.data()))) {
        return false;
    }
    std::istringstream stream(packed.substr(kMapHeaderSize));
    return StreamDecodesTo(stream, MapHeaderFromBytes(headerBytes), cells, count);
}

}  // namespace

std::string PackLevel(const uint8_t* headerBytes, const uint8_t* cells, uint32_t count,
                      Packing packing) {
    MapHeader header = MapHeaderFromBytes(headerBytes);
    std::ostringstream out;
    out.write(reinterpret_cast<const char*>(headerBytes), kMapHeaderSize);
    bool encoded;
    if (packing == Packing::Optimal) {
        OptimalEncoder encoder(out, cells, static_cast<int32_t>(count), header);
        encoded = encoder.encode();
    } else {
        StreamEncoder encoder(out, cells, static_cast<int32_t>(count), header);
        encoded = encoder.encode();
    }
    std::string packed = out.str();
    if (!encoded || !out || !PackedLevelMatches(packed, headerBytes, cells, count)) {
        return "";
    }
    return packed;
}
