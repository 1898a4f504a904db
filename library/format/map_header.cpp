#include "format/map_header.h"

namespace tessary {

namespace {

uint16_t GetWord(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

void PutWord(uint8_t* bytes, uint16_t word) {
    bytes[0] = static_cast<uint8_t>(word & 0xFF);
    bytes[1] = static_cast<uint8_t>(word >> 8);
}

}  // namespace

MapHeader MapHeaderFromBytes(const uint8_t* bytes) {
    MapHeader header;
    header.fillByteA = bytes[0];
    header.fillByteB = bytes[1];
    header.singleByteC = bytes[2];
    header.singleByteD = bytes[3];
    header.wordW = GetWord(bytes + 4);
    for (int i = 0; i < kDictionarySize; ++i) {
        header.dictionary[i] = GetWord(bytes + 6 + 2 * i);
    }
    return header;
}

MapHeaderBytes MapHeaderToBytes(const MapHeader& header) {
    MapHeaderBytes bytes{};
    bytes[0] = header.fillByteA;
    bytes[1] = header.fillByteB;
    bytes[2] = header.singleByteC;
    bytes[3] = header.singleByteD;
    PutWord(bytes.data() + 4, header.wordW);
    for (int i = 0; i < kDictionarySize; ++i) {
        PutWord(bytes.data() + 6 + 2 * i, header.dictionary[i]);
    }
    return bytes;
}

}  // namespace tessary
