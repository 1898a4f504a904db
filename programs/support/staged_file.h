#pragma once
// Outputs written whole or not at all: the bytes go to a temporary file beside the target
// (its name with ".tessary-partial" added), are flushed to disk and read back, and only then
// is the temporary file renamed over the target, which keeps its permissions. A target that is not
// a regular file (a device such as /dev/null) is written directly, since renaming over it would
// replace the device.

#include <cstdint>
#include <string>
#include <vector>

namespace tessary {

class StagedFile {
  public:
    StagedFile(std::string path, std::vector<uint8_t> bytes);
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&&) = delete;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();  // removes the temporary file unless it was committed

    const std::string& path() const { return path_; }
    bool staged() const { return systemError_ == 0; }
    int systemError() const { return systemError_; }  // errno of the failure, when there was one
    bool direct() const { return temporary_.empty() && staged(); }
    size_t size() const { return bytes_.size(); }

    // Puts the bytes in place: renames the temporary file over the target, or writes a
    // device directly. False, with systemError() set, when that failed.
    bool commit();

  private:
    void stage();

    std::string path_;  // the target, through any link to it
    std::vector<uint8_t> bytes_;
    std::string temporary_;
    int systemError_ = 0;
    bool committed_ = false;
};

// Commits every staged file, devices first since only their writes can still fail for
// lack of room; the renames that follow cannot. Returns the one that failed, or nullptr.
StagedFile* CommitAll(std::vector<StagedFile>& files);

}  // namespace tessary
