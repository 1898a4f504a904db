// Arbitrary bytes as a header and a stream: the decoder must stay inside its buffer, fill
// the failure record on failure, and on success stop reading at the end marker.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "map_header.h"
#include "stream_decoder.h"
#include "stream_format.h"

namespace {

constexpr size_t kGuard = 64;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t headerBytes[kMapHeaderSize] = {};
    size_t headerSize = size < kMapHeaderSize ? size : kMapHeaderSize;
    std::memcpy(headerBytes, data, headerSize);
    MapHeader header = MapHeaderFromBytes(headerBytes);
    std::string stream(reinterpret_cast<const char*>(data) + headerSize, size - headerSize);

    static std::vector<uint8_t> output(kDecodeCapacity + kGuard);
    std::memset(output.data() + kDecodeCapacity, 0xA5, kGuard);
    std::istringstream input(stream);
    DecodeFailure failure{-7, 0xFFFFFFFF, -7, 0xFFFFFFFF};
    int32_t result = DecodePackedStream(output.data(), kDecodeCapacity, header, input, failure);

    Check(result == -1 || (result >= 0 && static_cast<uint32_t>(result) <= kDecodeCapacity));
    for (size_t i = 0; i < kGuard; ++i) {
        Check(output[kDecodeCapacity + i] == 0xA5);
    }
    if (result < 0) {
        Check(failure.kind >= WriteOverflow && failure.kind <= TruncatedInput);
        Check(failure.position <= kDecodeCapacity);
        Check(failure.command == kNoCommand || (failure.command >= 0 && failure.command < 32));
        return 0;
    }
    Check(failure.kind == -7 && failure.command == -7);
    // Nothing after the end marker was read: the consumed prefix alone decodes the same.
    input.clear();
    std::streamoff consumed = input.tellg();
    Check(consumed >= 1 && static_cast<size_t>(consumed) <= stream.size());
    std::vector<uint8_t> first(output.begin(), output.begin() + result);
    std::istringstream prefix(stream.substr(0, static_cast<size_t>(consumed)));
    Check(DecodePackedStream(output.data(), kDecodeCapacity, header, prefix, failure) == result);
    Check(std::equal(first.begin(), first.end(), output.begin()));
    return 0;
}
