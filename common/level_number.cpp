#include "level_number.h"

#include <cerrno>
#include <cstdlib>

int32_t ParseLevelNumber(const char* text) {
    int savedErrno = errno;
    long long value = std::strtoll(text, nullptr, 10);
    errno = savedErrno;
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(value);
}
