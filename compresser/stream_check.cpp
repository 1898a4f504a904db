#include "stream_check.h"

#include <cstring>
#include <memory>
#include <new>

#include "stream_decoder.h"

bool StreamDecodesTo(std::istream& stream, const MapHeader& header, const uint8_t* expected,
                     uint32_t count) {
    std::unique_ptr<uint8_t[]> decoded(new (std::nothrow) uint8_t[count == 0 ? 1 : count]);
    if (!decoded) {
        return false;
    }
    DecodeFailure failure;
    int32_t size = DecodePackedStream(decoded.get(), count, header, stream, failure);
    if (size < 0 || static_cast<uint32_t>(size) != count ||
        (count != 0 && std::memcmp(decoded.get(), expected, count) != 0)) {
        return false;
    }
    return stream.rdbuf()->sgetc() == std::char_traits<char>::eof();
}
