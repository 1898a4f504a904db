#include "file_identity.h"

#include <filesystem>
#include <system_error>

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    bool same = std::filesystem::equivalent(a, b, error);
    return !error && same;
}

bool DenotesAnyOf(const std::string& output, std::initializer_list<std::string> inputs) {
    for (const std::string& input : inputs) {
        if (!input.empty() && SameFile(output, input)) {
            return true;
        }
    }
    return false;
}

bool IsDirectory(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}
