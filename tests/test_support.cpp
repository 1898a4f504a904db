#include "test_support.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "decoder/stream_decoder.h"

using namespace tessary;

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes Repeat(const Bytes& part, int times) {
    Bytes all;
    for (int i = 0; i < times; ++i) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes Sequence(int first, int count) {
    Bytes bytes;
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<uint8_t>(first + i));
    }
    return bytes;
}

Bytes PackNibbles(const std::vector<int>& nibbles) {
    Bytes bytes;
    for (size_t i = 0; i < nibbles.size(); i += 2) {
        const int low = i + 1 < nibbles.size() ? nibbles[i + 1] : 0;
        bytes.push_back(static_cast<uint8_t>((nibbles[i] & 0xF) << 4 | (low & 0xF)));
    }
    return bytes;
}

std::string HexBytes(const Bytes& bytes) {
    std::string text;
    char digits[4];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += text.empty() ? "" : " ";
        text += digits;
    }
    return text;
}

MapHeader PlainHeader() {
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

Bytes EncodeBytes(const Bytes& input, const MapHeader& header, Packing packing) {
    Bytes stream;
    EncodeStream(stream, input.data(), input.size(), header, packing);
    return stream;
}

std::string RoundTripProblem(const Bytes& stream, const Bytes& input, const MapHeader& header) {
    // Bytes after the stream must stay unread.
    const Bytes data = Concat({stream, {0x77, 0x77}});
    Bytes output(input.size() + 1);
    const DecodeResult result = DecodePackedStream(data.data(), data.size(), header, output.data(),
                                                   static_cast<uint32_t>(input.size()));
    if (result.status != DecodeStatus::Complete) {
        return "decoding failed, status " + std::to_string(static_cast<int>(result.status)) +
               " at " + std::to_string(result.failure.position);
    }
    output.resize(result.produced);
    if (output != input) {
        return "decoded " + std::to_string(result.produced) + " bytes that differ from the input";
    }
    if (result.consumed != stream.size()) {
        return "the stream ends after " + std::to_string(result.consumed) + " of its " +
               std::to_string(stream.size()) + " bytes";
    }
    return "";
}

Bytes MapCells(size_t cells, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes map;
    for (size_t i = 0; i < cells; ++i) {
        uint16_t cell = 0;
        const size_t row = i % 16;
        if (row >= 13) {
            cell = 0x0001;
        } else if (row == 8 && (i / 16) % 7 < 3) {
            cell = 0x4023;
        } else if (random() % 23 == 0) {
            cell = static_cast<uint16_t>((random() % 0x0FFF) | (random() % 4) << 14);
        }
        map.push_back(static_cast<uint8_t>(cell & 0xFF));
        map.push_back(static_cast<uint8_t>(cell >> 8));
    }
    return map;
}

TempFile::TempFile(const std::string& contents) {
    static int counter = 0;
    path_ = (std::filesystem::temp_directory_path() /
             ("tessary-unit-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
                .string();
    std::ofstream(path_, std::ios::binary) << contents;
}

TempFile::~TempFile() {
    std::remove(path_.c_str());
}
