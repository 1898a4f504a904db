#include "staged_file.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "faults.h"

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace tessary {

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
int OpenNew(const std::string& path) {
    return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int WriteSome(int fd, const uint8_t* data, size_t size) {
    return _write(fd, data, static_cast<unsigned>(size));
}
int SyncAndClose(int fd) {
    const int synced = _commit(fd);
    return _close(fd) == 0 ? synced : -1;
}
#else
int OpenNew(const std::string& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
}
ssize_t WriteSome(int fd, const uint8_t* data, size_t size) {
    return write(fd, data, size);
}
int SyncAndClose(int fd) {
    const int synced = fsync(fd);
    return close(fd) == 0 ? synced : -1;
}
#endif

// Writes every byte, then flushes them to disk; errno on failure, else 0.
int WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const auto wrote = WriteSome(fd, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0) {
            const int error = wrote < 0 ? errno : ENOSPC;
            SyncAndClose(fd);
            return error;
        }
        done += static_cast<size_t>(wrote);
    }
    return SyncAndClose(fd) == 0 ? 0 : errno;
}

bool Holds(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    std::vector<uint8_t> read(bytes.size() + 1);
    const size_t got = std::fread(read.data(), 1, read.size(), file);
    std::fclose(file);
    read.resize(got);
    PlantFault("staged-read-back", read);
    return read == bytes;
}

int ErrorOf(const std::error_code& error) {
    return error ? error.value() : EIO;
}

}  // namespace

StagedFile::StagedFile(std::string path, std::vector<uint8_t> bytes)
    : path_(std::move(path)), bytes_(std::move(bytes)) {
    stage();
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : path_(std::move(other.path_)),
      bytes_(std::move(other.bytes_)),
      temporary_(std::exchange(other.temporary_, std::string())),
      systemError_(other.systemError_),
      committed_(other.committed_) {}

StagedFile::~StagedFile() {
    if (!temporary_.empty() && !committed_) {
        std::error_code ignored;
        fs::remove(temporary_, ignored);
    }
}

void StagedFile::stage() {
    std::error_code error;
    const fs::file_status target = fs::status(path_, error);
    if (fs::exists(target) && !fs::is_regular_file(target)) {
        if (fs::is_directory(target)) {
            systemError_ = EISDIR;
        }
        return;  // a device: written directly on commit
    }
    if (fs::is_symlink(fs::symlink_status(path_, error))) {
        path_ = fs::canonical(path_, error).string();  // replace what the link points to
    }
    // One name per target: a run stopped before its rename leaves a file that the next run
    // over the same target removes. It is unlinked first, so a link of that name is never
    // followed.
    const std::string name = path_ + ".tessary-partial";
    fs::remove(name, error);
    const int fd = OpenNew(name);
    if (fd < 0) {
        systemError_ = errno;
        return;
    }
    temporary_ = name;
    systemError_ = WriteAll(fd, BytesToWrite(bytes_));
    if (systemError_ == 0 && !Holds(temporary_, bytes_)) {
        systemError_ = EIO;
    }
    if (systemError_ == 0 && fs::exists(target)) {
        // Whoever could read or run the old file can do the same with the new one.
        fs::permissions(temporary_, target.permissions(), error);
    }
}

bool StagedFile::commit() {
    if (!staged()) {
        return false;
    }
    std::error_code error;
    if (!temporary_.empty()) {
        fs::rename(temporary_, path_, error);
        committed_ = !error;
        systemError_ = error ? ErrorOf(error) : 0;
        return committed_;
    }
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr) {
        systemError_ = errno;
        return false;
    }
    const bool written =
        bytes_.empty() || std::fwrite(bytes_.data(), 1, bytes_.size(), file) == bytes_.size();
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    systemError_ = written && closed ? 0 : (written ? errno : writeError);
    if (systemError_ == 0 && !written) {
        systemError_ = EIO;
    }
    committed_ = systemError_ == 0;
    return committed_;
}

StagedFile* CommitAll(std::vector<StagedFile>& files) {
    for (const bool devices : {true, false}) {
        for (StagedFile& file : files) {
            if (file.direct() == devices && !file.commit()) {
                return &file;
            }
        }
    }
    return nullptr;
}

}  // namespace tessary
