#include "map_header.h"

MapHeader MapHeaderFromBytes(const uint8_t* bytes) {
    MapHeader header;
    header.fillByteA = bytes[0];
    header.fillByteB = bytes[1];
    header.singleByteC = bytes[2];
    header.singleByteD = bytes[3];
    header.wordW = static_cast<uint16_t>(bytes[4] | (bytes[5] << 8));
    for (int i = 0; i < kDictionarySize; ++i) {
        header.dictionary[i] = static_cast<uint16_t>(bytes[6 + 2 * i] | (bytes[7 + 2 * i] << 8));
    }
    return header;
}

void MapHeaderToBytes(const MapHeader& header, uint8_t* bytes) {
    bytes[0] = header.fillByteA;
    bytes[1] = header.fillByteB;
    bytes[2] = header.singleByteC;
    bytes[3] = header.singleByteD;
    bytes[4] = static_cast<uint8_t>(header.wordW & 0xFF);
    bytes[5] = static_cast<uint8_t>(header.wordW >> 8);
    for (int i = 0; i < kDictionarySize; ++i) {
        bytes[6 + 2 * i] = static_cast<uint8_t>(header.dictionary[i] & 0xFF);
        bytes[7 + 2 * i] = static_cast<uint8_t>(header.dictionary[i] >> 8);
    }
}
