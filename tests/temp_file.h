#pragma once
// A file with given contents in the temporary folder, removed when the test ends.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

class TempFile {
  public:
    explicit TempFile(const std::string& contents) {
        static int counter = 0;
        path_ = (std::filesystem::temp_directory_path() /
                 ("tessary-unit-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
                    .string();
        std::ofstream(path_, std::ios::binary) << contents;
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};
