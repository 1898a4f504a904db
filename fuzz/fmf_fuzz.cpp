// Arbitrary sizes, flags and heights on arbitrary cells: both conversions stay inside
// buffers of exactly the sizes they are promised, and export then import loses nothing
// but bits 12-13 of the converted cells.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fmf.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) {
        return 0;
    }
    int32_t vertical = data[0] & 1;
    int32_t height;
    std::memcpy(&height, data + 1, 4);
    if (data[0] & 2) {
        height = static_cast<int32_t>(height % 64);  // small heights give many strips
    }
    std::vector<uint8_t> game(data + 5, data + size);
    uint32_t n = static_cast<uint32_t>(game.size());

    std::vector<uint8_t> fmf(kFmfHeaderSize + n);
    FmfHeader header;
    int status =
        ConvertToFmf(header, fmf.data() + kFmfHeaderSize, game.data(), n, vertical, height);
    Check(status == (height < 1 ? -1 : 0));
    std::vector<uint8_t> back(n + 1, 0xEE);
    int back_status = ConvertFromFmf(back.data(), fmf.data(), kFmfHeaderSize + n, vertical, height);
    Check(back_status == status);
    Check(back[n] == 0xEE);
    if (status != 0) {
        return 0;
    }
    Check(header.dataSize == n);
    uint64_t converted = 2 * uint64_t{header.width} * header.height;
    Check(converted <= n);
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t expected = (i < converted && i % 2 == 1) ? (game[i] & 0xCF) : game[i];
        Check(back[i] == expected);
    }
    return 0;
}
