// Arbitrary bytes as a header and a stream: the decoder must stay inside both buffers, fill
// the failure record on failure, and on success stop reading at the end marker.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "decoder/stream_decoder.h"
#include "format/map_header.h"
#include "format/stream_format.h"
#include "fuzz_support.h"

namespace {

using namespace tessary;

constexpr size_t kGuard = 64;
constexpr uint8_t kGuardByte = 0xA5;

// Decodes into a buffer of `capacity` bytes followed by a guard that must stay untouched.
DecodeResult Decode(const std::vector<uint8_t>& stream, size_t streamSize, const MapHeader& header,
                    std::vector<uint8_t>& output, uint32_t capacity) {
    output.assign(capacity + kGuard, kGuardByte);
    const DecodeResult result =
        DecodePackedStream(stream.data(), streamSize, header, output.data(), capacity);
    for (size_t i = 0; i < kGuard; ++i) {
        Check(output[capacity + i] == kGuardByte);
    }
    Check(result.produced <= capacity);
    Check(result.consumed <= streamSize);
    return result;
}

// The largest size a failed command can report: a count, or CopyFar's distance.
constexpr uint32_t kLargestSize = kMaxDistance;

void CheckFailure(const DecodeResult& result, size_t streamSize, uint32_t capacity) {
    const DecodeFailure& failure = result.failure;
    Check(failure.position == result.produced);
    Check(failure.half == ByteHalf::High || failure.half == ByteHalf::Low);
    Check(Nibble(failure.opcode) < kOpcodeCount);
    Check(failure.size <= kLargestSize);
    switch (result.status) {
        case DecodeStatus::WriteOverflow:
            Check(failure.commandRead);
            Check(failure.size >= 1 && failure.size <= static_cast<uint32_t>(kMaxCount));
            Check(failure.size > capacity - failure.position);
            break;
        case DecodeStatus::BadLocation:
            Check(failure.commandRead);
            break;
        case DecodeStatus::TruncatedInput:
            // Only the end of the input stops a decoding that has not failed otherwise.
            Check(result.consumed == streamSize);
            Check(failure.size <= static_cast<uint32_t>(kMaxCount));
            Check(failure.commandRead || failure.size == 0);
            break;
        default:
            Check(false);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const HeaderAndRest input = SplitHeader(data, size);
    const MapHeader header = MapHeaderFromBytes(input.header.data());
    const std::vector<uint8_t>& stream = input.rest;

    static std::vector<uint8_t> output;
    const DecodeResult result = Decode(stream, stream.size(), header, output, kDecodeCapacity);
    if (result.status != DecodeStatus::Complete) {
        CheckFailure(result, stream.size(), kDecodeCapacity);
        return 0;
    }
    // A success leaves the failure record as it was.
    const DecodeFailure untouched;
    Check(!result.failure.commandRead && result.failure.position == untouched.position &&
          result.failure.size == untouched.size);
    Check(result.consumed >= 1);

    // Nothing after the end marker was read: the consumed prefix alone decodes the same,
    // into a buffer of exactly the size produced.
    const std::vector<uint8_t> first(output.begin(), output.begin() + result.produced);
    static std::vector<uint8_t> again;
    const DecodeResult prefix = Decode(stream, result.consumed, header, again, result.produced);
    Check(prefix.status == DecodeStatus::Complete);
    Check(prefix.consumed == result.consumed && prefix.produced == result.produced);
    Check(std::equal(first.begin(), first.end(), again.begin()));
    Check(StreamDecodesTo(stream.data(), result.consumed, header, first.data(), first.size()));
    if (result.consumed < stream.size()) {
        // The bytes after the stream make it more than one packed stream.
        Check(!StreamDecodesTo(stream.data(), stream.size(), header, first.data(), first.size()));
    }

    // One byte less room: the decoding fails by overflow, within the smaller buffer.
    if (result.produced >= 1) {
        const DecodeResult tight =
            Decode(stream, result.consumed, header, again, result.produced - 1);
        Check(tight.status == DecodeStatus::WriteOverflow);
        CheckFailure(tight, result.consumed, result.produced - 1);
        Check(std::equal(again.begin(), again.begin() + tight.produced, first.begin()));
    }
    return 0;
}
