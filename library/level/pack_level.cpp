#include "level/pack_level.h"

#include <climits>

#include "decoder/stream_decoder.h"
#include "encoder/optimal_encoder.h"
#include "encoder/stream_encoder.h"
#include "format/stream_format.h"

namespace tessary {

namespace {

// Header, then stream; empty unless the stream unpacks to exactly `cells`.
std::vector<uint8_t> PackVerified(const uint8_t* headerBytes, const uint8_t* cells, size_t count,
                                  Packing packing, StreamEncoding encode) {
    const MapHeader header = MapHeaderFromBytes(headerBytes);
    std::vector<uint8_t> packed(headerBytes, headerBytes + kMapHeaderSize);
    encode(packed, cells, count, header, packing);
    if (!StreamDecodesTo(packed.data() + kMapHeaderSize, packed.size() - kMapHeaderSize, header,
                         cells, count)) {
        packed.clear();
    }
    return packed;
}

}  // namespace

const char* PackingName(Packing packing) {
    return packing == Packing::Optimal ? "optimal" : "greedy";
}

size_t EncodeStream(std::vector<uint8_t>& out, const uint8_t* cells, size_t count,
                    const MapHeader& header, Packing packing) {
    // The encoders count positions in 32 bits; a larger input stays unpacked and so fails
    // its verification instead of wrapping.
    const int32_t length = count > INT32_MAX ? 0 : static_cast<int32_t>(count);
    if (packing == Packing::Optimal) {
        return OptimalEncoder(out, cells, length, header).encode();
    }
    return StreamEncoder(out, cells, length, header).encode();
}

size_t AllLiteralLevelSize(size_t count) {
    const size_t whole = count / kMaxLiterals;
    const int rest = static_cast<int>(count % kMaxLiterals);
    const size_t nibbles =
        whole * LiteralNibbles(kMaxLiterals) + (rest != 0 ? LiteralNibbles(rest) : 0) + kEndNibbles;
    return kMapHeaderSize + (nibbles + 1) / 2;
}

PackedLevel PackLevel(const uint8_t* headerBytes, const uint8_t* cells, size_t count,
                      const PackRequest& request, StreamEncoding encode) {
    PackedLevel level;
    level.packing = request.packing;
    level.bytes = PackVerified(headerBytes, cells, count, level.packing, encode);
    const auto over = [&request](const std::vector<uint8_t>& bytes) {
        return request.limit >= 0 &&
               static_cast<uint64_t>(bytes.size()) > static_cast<uint64_t>(request.limit);
    };
    if (!level.bytes.empty() && over(level.bytes) && level.packing == Packing::Greedy) {
        level.greedySize = level.bytes.size();
        level.packing = Packing::Optimal;
        level.bytes = PackVerified(headerBytes, cells, count, level.packing, encode);
    }
    if (level.bytes.empty()) {
        level.status = PackStatus::NotVerified;
    } else if (over(level.bytes)) {
        level.status = PackStatus::OverLimit;
    }
    return level;
}

}  // namespace tessary
