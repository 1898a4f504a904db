#include "level/unpack_level.h"

#include <algorithm>

namespace tessary {

UnpackedLevel UnpackLevel(const uint8_t* rom, size_t romSize, int64_t offset) {
    UnpackedLevel level;
    if (offset < 0 || static_cast<uint64_t>(offset) > romSize ||
        romSize - static_cast<uint64_t>(offset) < static_cast<uint64_t>(kMapHeaderSize)) {
        level.status = UnpackStatus::NoHeader;
        return level;
    }
    const size_t headerAt = static_cast<size_t>(offset);
    const size_t streamAt = headerAt + kMapHeaderSize;
    std::copy(rom + headerAt, rom + streamAt, level.header.begin());
    level.map.resize(kDecodeCapacity);
    level.decode = DecodePackedStream(rom + streamAt, romSize - streamAt,
                                      MapHeaderFromBytes(level.header.data()), level.map.data(),
                                      kDecodeCapacity);
    level.streamEnd = streamAt + level.decode.consumed;
    if (level.decode.status != DecodeStatus::Complete) {
        level.status = UnpackStatus::DecodeFailed;
        level.map.clear();
        return level;
    }
    level.map.resize(level.decode.produced);
    return level;
}

}  // namespace tessary
