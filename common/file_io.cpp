#include "file_io.h"

#include <cstdio>

bool SaveFile(const char* path, const uint8_t* first, size_t firstSize, const uint8_t* second,
              size_t secondSize) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = (firstSize == 0 || std::fwrite(first, 1, firstSize, file) == firstSize) &&
                   (secondSize == 0 || std::fwrite(second, 1, secondSize, file) == secondSize);
    bool closed = std::fclose(file) == 0;
    return written && closed;
}
