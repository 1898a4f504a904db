#include "faults.h"

#include <cstdlib>
#include <cstring>

namespace tessary {

namespace {

bool Planted(const char* fault) {
    const char* chosen = std::getenv("TESSARY_FAULT");
    return chosen != nullptr && std::strcmp(chosen, fault) == 0;
}

void ChangeOneByte(std::vector<uint8_t>& bytes) {
    if (bytes.empty()) {
        bytes.push_back(0);
    } else {
        bytes[bytes.size() / 2] ^= 0x01;
    }
}

// A whole, well-formed stream, of the cells with one changed: only a comparison of what it
// unpacks to can tell.
size_t EncodeOtherCells(std::vector<uint8_t>& out, const uint8_t* cells, size_t count,
                        const MapHeader& header, Packing packing) {
    std::vector<uint8_t> other(cells, cells + count);
    ChangeOneByte(other);
    return EncodeStream(out, other.data(), other.size(), header, packing);
}

}  // namespace

StreamEncoding PackerEncoding() {
    return Planted("wrong-stream") ? EncodeOtherCells : EncodeStream;
}

const std::vector<uint8_t>& BytesToWrite(const std::vector<uint8_t>& bytes) {
    static std::vector<uint8_t> faulty;
    faulty = bytes;
    if (Planted("short-write") && !faulty.empty()) {
        faulty.pop_back();
    } else if (Planted("long-write")) {
        faulty.push_back(0);
    } else if (Planted("different-write")) {
        ChangeOneByte(faulty);
    } else {
        return bytes;
    }
    return faulty;
}

void PlantFault(const char* fault, std::vector<uint8_t>& bytes) {
    if (Planted(fault)) {
        ChangeOneByte(bytes);
    }
}

}  // namespace tessary
