#pragma once
// Helpers shared by the encoder tests: run the encoder on a buffer, decode its output back.

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "map_header.h"
#include "stream_decoder.h"
#include "stream_encoder.h"

// None of these bytes or words occurs in an input unless a test puts it there on purpose.
inline MapHeader PlainHeader() {
    MapHeader header;
    header.fillByteA = 0xA1;
    header.fillByteB = 0xB2;
    header.singleByteC = 0xC3;
    header.singleByteD = 0xD4;
    header.wordW = 0xE5E6;
    for (int i = 0; i < kDictionarySize; ++i) {
        header.dictionary[i] = static_cast<uint16_t>(0xF1E0 + i);
    }
    return header;
}

inline std::vector<uint8_t> EncodeBytes(const std::vector<uint8_t>& input,
                                        const MapHeader& header) {
    std::ostringstream out;
    StreamEncoder encoder(out, input.data(), static_cast<int32_t>(input.size()), header);
    const bool ok = encoder.encode();
    const std::string text = out.str();
    std::vector<uint8_t> stream(text.begin(), text.end());
    if (!ok) {
        stream.clear();  // the encoder never reports failure; make one visible as a mismatch
    }
    return stream;
}

inline std::string HexBytes(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[4];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += text.empty() ? "" : " ";
        text += digits;
    }
    return text;
}

// Empty when the stream decodes to `input` and ends exactly at its last byte; otherwise
// what went wrong.
inline std::string RoundTripProblem(const std::vector<uint8_t>& stream,
                                    const std::vector<uint8_t>& input, const MapHeader& header) {
    std::istringstream in(std::string(stream.begin(), stream.end()));
    std::vector<uint8_t> output(input.size() + 1);
    DecodeFailure failure;
    const int32_t size =
        DecodePackedStream(output.data(), static_cast<uint32_t>(input.size()), header, in, failure);
    if (size < 0) {
        return "decoding failed, kind " + std::to_string(failure.kind) + " at " +
               std::to_string(failure.position);
    }
    output.resize(static_cast<size_t>(size));
    if (output != input) {
        return "decoded " + std::to_string(size) + " bytes that differ from the input";
    }
    if (in.peek() != std::char_traits<char>::eof()) {
        return "bytes left after the end marker";
    }
    return "";
}
