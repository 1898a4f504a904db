// Arbitrary sizes, flags and heights on arbitrary cells: both conversions stay inside
// buffers of exactly the sizes they are promised, export then import loses nothing but
// bits 12-13 of the converted cells, the whole-file conversions agree with them, and the
// exporter's files pass the packer's checks.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "format/fmf.h"
#include "format/fmf_check.h"
#include "fuzz_support.h"

using namespace tessary;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) {
        return 0;
    }
    const bool vertical = (data[0] & 1) != 0;
    int32_t height;
    std::memcpy(&height, data + 1, 4);
    if (data[0] & 2) {
        height = static_cast<int32_t>(height % 64);  // small heights give many strips
    }
    const std::vector<uint8_t> game(data + 5, data + size);
    const uint32_t n = static_cast<uint32_t>(game.size());

    std::vector<uint8_t> fmf(kFmfHeaderSize + n);
    FmfHeader header;
    const bool converted =
        ConvertToFmf(header, fmf.data() + kFmfHeaderSize, game.data(), n, vertical, height);
    Check(converted == (height >= 1));
    std::vector<uint8_t> back(n + 1, 0xEE);
    Check(ConvertFromFmf(back.data(), fmf.data(), kFmfHeaderSize + n, vertical, height) ==
          converted);
    Check(back[n] == 0xEE);

    const FmfConversion file = MapToFmfFile(game.data(), game.size(), vertical, height);
    const FmfConversion map = MapFromFmfFile(fmf.data(), fmf.size(), vertical, height);
    // A file shorter than its header holds no map.
    const FmfConversion shortFile =
        MapFromFmfFile(fmf.data(), n % kFmfHeaderSize, vertical, height);
    if (!converted) {
        Check(file.status == FmfStatus::HeightBelowOne && file.bytes.empty());
        Check(map.status == FmfStatus::HeightBelowOne && map.bytes.empty());
        Check(shortFile.status == FmfStatus::HeightBelowOne);
        return 0;
    }
    Check(shortFile.status == FmfStatus::TooShort && shortFile.bytes.empty());

    Check(header.dataSize == n);
    const uint64_t cells = 2 * uint64_t{header.width} * header.height;
    Check(cells <= n);
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t expected = (i < cells && i % 2 == 1) ? (game[i] & 0xCF) : game[i];
        Check(back[i] == expected);
    }

    uint8_t headerBytes[kFmfHeaderSize];
    FmfHeaderToBytes(header, headerBytes);
    Check(file.status == FmfStatus::Converted && file.bytes.size() == fmf.size());
    Check(std::equal(headerBytes, headerBytes + kFmfHeaderSize, file.bytes.begin()));
    Check(std::equal(fmf.begin() + kFmfHeaderSize, fmf.end(), file.bytes.begin() + kFmfHeaderSize));
    Check(map.status == FmfStatus::Converted && map.bytes.size() == n);
    Check(std::equal(map.bytes.begin(), map.bytes.end(), back.begin()));
    // What the exporter writes is a map of its level, whatever the cells; and any bytes at
    // all can be checked.
    Check(CheckFmfFile(file.bytes.data(), file.bytes.size(), vertical, height).empty());
    CheckFmfFile(game.data(), game.size(), vertical, height);
    return 0;
}
