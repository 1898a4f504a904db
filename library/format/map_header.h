#pragma once
// The 38-byte parameter record in front of every packed map stream.

#include <array>
#include <cstdint>

namespace tessary {

constexpr int kMapHeaderSize = 38;
constexpr int kDictionarySize = 16;

using MapHeaderBytes = std::array<uint8_t, kMapHeaderSize>;

struct MapHeader {
    uint8_t fillByteA = 0;
    uint8_t fillByteB = 0;
    uint8_t singleByteC = 0;
    uint8_t singleByteD = 0;
    uint16_t wordW = 0;
    uint16_t dictionary[kDictionarySize] = {};
};

// Fields are little-endian in the file whatever the host's byte order.
MapHeader MapHeaderFromBytes(const uint8_t* bytes);
MapHeaderBytes MapHeaderToBytes(const MapHeader& header);

}  // namespace tessary
