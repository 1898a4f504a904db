#include "settings/settings_platform.h"

#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

namespace tessary {

std::string PathBesideProgram(const char* fileName) {
    char path[kMaxPathBytes];
    DWORD length = GetModuleFileNameA(nullptr, path, kMaxPathBytes);
    if (length == 0 || length >= static_cast<DWORD>(kMaxPathBytes)) {
        return "";
    }
    char* slash = std::strrchr(path, '\\');
    if (slash == nullptr) {
        return "";
    }
    std::string result(path, slash + 1);
    result += fileName;
    if (result.size() + 1 > static_cast<size_t>(kMaxPathBytes)) {
        return "";
    }
    return result;
}

ProfileReader::ProfileReader(const std::string& path) : path_(path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    found_ = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

int ProfileReader::readInt(const char* section, const char* key, int defaultValue) const {
    return static_cast<int>(GetPrivateProfileIntA(section, key, defaultValue, path_.c_str()));
}

std::string ProfileReader::readString(const char* section, const char* key,
                                      const char* defaultValue) const {
    char buffer[kMaxProfileString + 1];
    GetPrivateProfileStringA(section, key, defaultValue, buffer, sizeof buffer, path_.c_str());
    return buffer;
}

}  // namespace tessary

#else
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

namespace tessary {

// Linux sets no length on a path, so neither do we: the buffer grows until the link fits.
std::string PathBesideProgram(const char* fileName) {
    std::vector<char> path(kMaxPathBytes);
    ssize_t length;
    while ((length = readlink("/proc/self/exe", path.data(), path.size())) >=
           static_cast<ssize_t>(path.size())) {
        path.resize(path.size() * 2);
    }
    if (length <= 0) {
        return "";
    }
    std::string result(path.data(), static_cast<size_t>(length));
    size_t slash = result.rfind('/');
    if (slash == std::string::npos) {
        return "";
    }
    result.erase(slash + 1);
    return result + fileName;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const char* a, size_t aLength, const char* b) {
    size_t bLength = std::strlen(b);
    if (aLength != bLength) {
        return false;
    }
    for (size_t i = 0; i < aLength; ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

void Trim(const char*& begin, const char*& end) {
    while (begin < end && IsBlank(*begin)) {
        ++begin;
    }
    while (end > begin && IsBlank(end[-1])) {
        --end;
    }
}

// Walks the text line by line; LF, CRLF and CR all end a line.
struct LineCursor {
    const char* next;
    const char* end;

    bool take(const char*& lineBegin, const char*& lineEnd) {
        if (next >= end) {
            return false;
        }
        lineBegin = next;
        while (next < end && *next != '\n' && *next != '\r') {
            ++next;
        }
        lineEnd = next;
        if (next < end && *next == '\r') {
            ++next;
        }
        if (next < end && *next == '\n') {
            ++next;
        }
        return true;
    }
};

}  // namespace

ProfileReader::ProfileReader(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return;  // a folder opens here, and reads as nothing
    }
    std::ifstream file(path, std::ios::binary);
    if (file) {
        text_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        found_ = true;
    }
}

ProfileReader ProfileReader::FromText(const std::string& text) {
    ProfileReader reader;
    reader.text_ = text;
    reader.found_ = true;
    return reader;
}

bool ProfileReader::lookup(const char* section, const char* key, std::string& value) const {
    const char* begin = text_.data();
    const char* end = begin + text_.size();
    if (text_.size() >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0) {
        begin += 3;
    }
    LineCursor lines{begin, end};
    const char* lineBegin;
    const char* lineEnd;
    bool sectionSeen = false;
    bool inSection = false;
    while (lines.take(lineBegin, lineEnd)) {
        Trim(lineBegin, lineEnd);
        if (lineBegin == lineEnd || *lineBegin == ';') {
            continue;
        }
        // A section's name runs to the line's last ']'; without one the line is a key.
        const char* nameEnd = lineEnd;
        while (*lineBegin == '[' && nameEnd > lineBegin && nameEnd[-1] != ']') {
            --nameEnd;
        }
        if (*lineBegin == '[' && nameEnd > lineBegin + 1) {
            // Only the first copy of a repeated section is searched.
            if (inSection) {
                return false;
            }
            const char* nameBegin = lineBegin + 1;
            --nameEnd;
            Trim(nameBegin, nameEnd);
            inSection = !sectionSeen &&
                        SameName(nameBegin, static_cast<size_t>(nameEnd - nameBegin), section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection) {
            continue;
        }
        // A line without '=' is a key without a value: it reads as absent, and hides any
        // later line of that key.
        const char* equals = static_cast<const char*>(
            std::memchr(lineBegin, '=', static_cast<size_t>(lineEnd - lineBegin)));
        const char* keyBegin = lineBegin;
        const char* keyEnd = equals != nullptr ? equals : lineEnd;
        Trim(keyBegin, keyEnd);
        if (!SameName(keyBegin, static_cast<size_t>(keyEnd - keyBegin), key)) {
            continue;
        }
        if (equals == nullptr) {
            return false;
        }
        const char* valueBegin = equals + 1;
        const char* valueEnd = lineEnd;
        Trim(valueBegin, valueEnd);
        if (valueEnd - valueBegin >= 2 && (*valueBegin == '"' || *valueBegin == '\'') &&
            valueEnd[-1] == *valueBegin) {
            ++valueBegin;
            --valueEnd;
        }
        value.assign(valueBegin, valueEnd);
        return true;
    }
    return false;
}

std::string ProfileReader::readString(const char* section, const char* key,
                                      const char* defaultValue) const {
    std::string value;
    if (!lookup(section, key, value)) {
        value = defaultValue;
    }
    if (value.size() > static_cast<size_t>(kMaxProfileString)) {
        value.resize(kMaxProfileString);
    }
    return value;
}

int ProfileReader::readInt(const char* section, const char* key, int defaultValue) const {
    std::string value;
    if (!lookup(section, key, value) || value.empty()) {
        return defaultValue;
    }
    // The system call reads at most 29 characters of the value.
    constexpr size_t kIntegerTextLimit = 29;
    if (value.size() > kIntegerTextLimit) {
        value.resize(kIntegerTextLimit);
    }
    const char* p = value.c_str();
    while (IsBlank(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint32_t result = 0;
    if (p[0] == '0' && p[1] == 'x') {
        p += 2;
        for (;; ++p) {
            uint32_t digit;
            if (*p >= '0' && *p <= '9') {
                digit = static_cast<uint32_t>(*p - '0');
            } else if (Lower(*p) >= 'a' && Lower(*p) <= 'f') {
                digit = static_cast<uint32_t>(Lower(*p) - 'a' + 10);
            } else {
                break;
            }
            result = result * 16u + digit;
        }
    } else {
        for (; *p >= '0' && *p <= '9'; ++p) {
            result = result * 10u + static_cast<uint32_t>(*p - '0');
        }
    }
    if (negative) {
        result = 0u - result;
    }
    return static_cast<int>(result);
}

}  // namespace tessary
#endif
