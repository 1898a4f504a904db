#include "patch/patch_applier.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

namespace tessary {

namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kBpsMagic[] = "BPS1";
constexpr size_t kBpsMagicSize = 4;
constexpr char kIpsMagic[] = "PATCH";
constexpr size_t kIpsMagicSize = 5;
constexpr char kIpsEnd[] = "EOF";
constexpr size_t kIpsEndSize = 3;
// Source, target and patch CRC-32s.
constexpr size_t kBpsFooterSize = 12;
// Eight bytes already reach 2^56, far past any file; more only serve to overflow.
constexpr int kMaxNumberBytes = 8;

bool StartsWith(const Bytes& bytes, const char* magic, size_t size) {
    return bytes.size() >= size && std::memcmp(bytes.data(), magic, size) == 0;
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    return static_cast<uint32_t>(crc32_z(0, data, size));
}

uint32_t Crc32(const Bytes& bytes) {
    return Crc32(bytes.data(), bytes.size());
}

uint32_t ReadLe32(const uint8_t* at) {
    return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

AppliedPatch Refuse(ApplyStatus status, std::string why) {
    AppliedPatch result;
    result.status = status;
    result.why = std::move(why);
    return result;
}

AppliedPatch Damaged(std::string why) {
    return Refuse(ApplyStatus::Damaged, std::move(why));
}

// Reads a patch forwards, never past `end`.
class PatchReader {
  public:
    PatchReader(const Bytes& patch, size_t start, size_t end)
        : data_(patch.data()), position_(start), end_(end) {}

    size_t position() const { return position_; }
    size_t left() const { return end_ - position_; }
    bool atEnd() const { return position_ == end_; }

    // The next `count` bytes, or null when fewer are left.
    const uint8_t* take(uint64_t count) {
        if (count > left()) {
            return nullptr;
        }
        const uint8_t* at = data_ + position_;
        position_ += static_cast<size_t>(count);
        return at;
    }

    // A big-endian number of `size` bytes.
    bool readBigEndian(size_t size, uint32_t& value) {
        const uint8_t* at = take(size);
        if (at == nullptr) {
            return false;
        }
        value = 0;
        for (size_t i = 0; i < size; ++i) {
            value = value << 8 | at[i];
        }
        return true;
    }

    // BPS's variable-length number: 7 bits a byte, low first, the last byte's high bit set,
    // and each continuation counting one more so that every number has a single encoding.
    bool readNumber(uint64_t& value) {
        value = 0;
        uint64_t shift = 1;
        for (int i = 0; i < kMaxNumberBytes; ++i) {
            const uint8_t* at = take(1);
            if (at == nullptr) {
                return false;
            }
            value += (*at & 0x7F) * shift;
            if (*at & 0x80) {
                return true;
            }
            shift <<= 7;
            value += shift;
        }
        return false;
    }

  private:
    const uint8_t* data_;
    size_t position_;
    size_t end_;
};

// ---- BPS

enum class BpsAction : uint8_t { SourceRead, TargetRead, SourceCopy, TargetCopy };

struct BpsFooter {
    uint32_t sourceCrc = 0;
    uint32_t targetCrc = 0;
    uint32_t patchCrc = 0;
};

BpsFooter ReadFooter(const Bytes& patch) {
    const uint8_t* at = patch.data() + patch.size() - kBpsFooterSize;
    return BpsFooter{ReadLe32(at), ReadLe32(at + 4), ReadLe32(at + 8)};
}

// Moves `cursor` by a signed relative number, keeping it within [0, limit].
bool MoveCursor(uint64_t encoded, uint64_t limit, uint64_t& cursor) {
    const uint64_t distance = encoded >> 1;
    if (encoded & 1) {
        if (distance > cursor) {
            return false;
        }
        cursor -= distance;
    } else {
        if (distance > limit - cursor) {
            return false;
        }
        cursor += distance;
    }
    return true;
}

// The target being written by the actions.
class BpsTarget {
  public:
    BpsTarget(const Bytes& source, PatchReader& actions, uint64_t targetSize)
        : source_(source), actions_(actions), size_(targetSize) {
        target_.reserve(static_cast<size_t>(targetSize));
    }

    uint64_t written() const { return target_.size(); }
    Bytes take() { return std::move(target_); }

    // Empty when the action was carried out, else what is wrong with it.
    std::string apply(BpsAction action, uint64_t length) {
        if (length > size_ - written()) {
            return "an action writes past the target's " + std::to_string(size_) + " bytes";
        }
        switch (action) {
            case BpsAction::SourceRead:
                return sourceRead(length);
            case BpsAction::TargetRead:
                return targetRead(length);
            case BpsAction::SourceCopy:
                return sourceCopy(length);
            case BpsAction::TargetCopy:
                return targetCopy(length);
        }
        return "unknown action";
    }

  private:
    std::string sourceRead(uint64_t length) {
        if (written() + length > source_.size()) {
            return "a source read runs past the source's end";
        }
        append(source_.data() + written(), length);
        return {};
    }

    std::string targetRead(uint64_t length) {
        const uint8_t* bytes = actions_.take(length);
        if (bytes == nullptr) {
            return "literal bytes run into the footer";
        }
        append(bytes, length);
        return {};
    }

    std::string sourceCopy(uint64_t length) {
        uint64_t offset = 0;
        if (!actions_.readNumber(offset) || !MoveCursor(offset, source_.size(), sourceCursor_)) {
            return "a source copy moves its cursor outside the source";
        }
        if (length > source_.size() - sourceCursor_) {
            return "a source copy runs past the source's end";
        }
        append(source_.data() + sourceCursor_, length);
        sourceCursor_ += length;
        return {};
    }

    std::string targetCopy(uint64_t length) {
        uint64_t offset = 0;
        if (!actions_.readNumber(offset) || !MoveCursor(offset, written(), targetCursor_) ||
            targetCursor_ == written()) {
            return "a target copy reads bytes not yet written";
        }
        const size_t from = static_cast<size_t>(targetCursor_);
        size_t to = target_.size();
        size_t left = static_cast<size_t>(length);
        target_.resize(to + left);
        // A copy that overlaps its own output repeats the bytes from `from` to the old end;
        // everything from `from` on is then periodic, so each chunk may copy twice as much as
        // the one before, still without overlapping.
        while (left > 0) {
            const size_t chunk = std::min(left, to - from);
            std::memcpy(target_.data() + to, target_.data() + from, chunk);
            to += chunk;
            left -= chunk;
        }
        targetCursor_ += length;
        return {};
    }

    void append(const uint8_t* bytes, uint64_t length) {
        target_.insert(target_.end(), bytes, bytes + length);
    }

    const Bytes& source_;
    PatchReader& actions_;
    const uint64_t size_;
    Bytes target_;
    uint64_t sourceCursor_ = 0;
    uint64_t targetCursor_ = 0;
};

struct BpsHeader {
    uint64_t sourceSize = 0;
    uint64_t targetSize = 0;
};

// Reads the sizes and skips the metadata.
bool ReadBpsHeader(PatchReader& reader, BpsHeader& header) {
    uint64_t metadataSize = 0;
    return reader.take(kBpsMagicSize) != nullptr && reader.readNumber(header.sourceSize) &&
           reader.readNumber(header.targetSize) && reader.readNumber(metadataSize) &&
           reader.take(metadataSize) != nullptr;
}

AppliedPatch RunBpsActions(const Bytes& source, PatchReader& reader, const BpsHeader& header,
                           uint32_t targetCrc) {
    BpsTarget target(source, reader, header.targetSize);
    while (!reader.atEnd()) {
        uint64_t command = 0;
        if (!reader.readNumber(command)) {
            return Damaged("an action runs into the footer");
        }
        const std::string problem =
            target.apply(static_cast<BpsAction>(command & 3), (command >> 2) + 1);
        if (!problem.empty()) {
            return Damaged(problem + " (patch offset " + std::to_string(reader.position()) + ")");
        }
    }
    if (target.written() != header.targetSize) {
        return Damaged("the actions write " + std::to_string(target.written()) + " of the " +
                       std::to_string(header.targetSize) + " target bytes");
    }
    AppliedPatch result;
    result.target = target.take();
    if (Crc32(result.target) != targetCrc) {
        return Refuse(ApplyStatus::WrongResult, "the result's CRC-32 is not the patch's");
    }
    return result;
}

AppliedPatch ApplyBps(const Bytes& source, const Bytes& patch) {
    // The magic, three one-byte numbers and the footer.
    if (patch.size() < kBpsMagicSize + 3 + kBpsFooterSize) {
        return Damaged("too short for a BPS patch");
    }
    const BpsFooter footer = ReadFooter(patch);
    // Nothing in a patch whose own checksum fails can be trusted, its other checksums included.
    if (Crc32(patch.data(), patch.size() - 4) != footer.patchCrc) {
        return Damaged("the patch's CRC-32 does not match its contents");
    }
    PatchReader reader(patch, 0, patch.size() - kBpsFooterSize);
    BpsHeader header;
    if (!ReadBpsHeader(reader, header)) {
        return Damaged("the sizes or metadata are malformed or run into the footer");
    }
    if (header.sourceSize != source.size()) {
        return Refuse(ApplyStatus::WrongSource, "the patch is for a file of " +
                                                    std::to_string(header.sourceSize) +
                                                    " bytes, not " + std::to_string(source.size()));
    }
    if (Crc32(source) != footer.sourceCrc) {
        return Refuse(ApplyStatus::WrongSource, "the source's CRC-32 is not the patch's");
    }
    if (header.targetSize > kMaxPatchTargetSize) {
        return Damaged("a target of " + std::to_string(header.targetSize) +
                       " bytes is over the limit of " + std::to_string(kMaxPatchTargetSize));
    }
    return RunBpsActions(source, reader, header, footer.targetCrc);
}

// ---- IPS

// Writes `length` bytes at `offset`, growing the file with zeros when it is shorter.
void WriteAt(Bytes& target, uint32_t offset, const uint8_t* bytes, uint32_t length) {
    const size_t end = size_t{offset} + length;
    if (end > target.size()) {
        target.resize(end, 0);
    }
    std::copy(bytes, bytes + length, target.begin() + offset);
}

void FillAt(Bytes& target, uint32_t offset, uint8_t value, uint32_t length) {
    const size_t end = size_t{offset} + length;
    if (end > target.size()) {
        target.resize(end, 0);
    }
    std::fill(target.begin() + offset, target.begin() + end, value);
}

// One record after its offset: literal bytes, or a run when the size is 0.
std::string ApplyIpsRecord(PatchReader& reader, uint32_t offset, Bytes& target) {
    uint32_t size = 0;
    if (!reader.readBigEndian(2, size)) {
        return "a record is cut short";
    }
    if (size > 0) {
        const uint8_t* bytes = reader.take(size);
        if (bytes == nullptr) {
            return "a record's bytes are cut short";
        }
        WriteAt(target, offset, bytes, size);
        return {};
    }
    uint32_t run = 0;
    const uint8_t* value = nullptr;
    if (!reader.readBigEndian(2, run) || (value = reader.take(1)) == nullptr) {
        return "a run record is cut short";
    }
    if (run == 0) {
        return "a run record of no bytes";
    }
    FillAt(target, offset, *value, run);
    return {};
}

// What may follow the end marker: nothing, or the size to cut the result to.
AppliedPatch FinishIps(PatchReader& reader, Bytes target) {
    if (reader.left() != 0 && reader.left() != 3) {
        return Damaged(std::to_string(reader.left()) + " stray bytes after the EOF marker");
    }
    uint32_t size = 0;
    if (reader.readBigEndian(3, size)) {
        if (size > target.size()) {
            return Damaged("the size to truncate to, " + std::to_string(size) +
                           ", is past the result's end");
        }
        target.resize(size);
    }
    AppliedPatch result;
    result.target = std::move(target);
    return result;
}

AppliedPatch ApplyIps(const Bytes& source, const Bytes& patch) {
    PatchReader reader(patch, kIpsMagicSize, patch.size());
    Bytes target = source;
    for (;;) {
        const size_t recordStart = reader.position();
        const uint8_t* offsetBytes = reader.take(3);
        if (offsetBytes == nullptr) {
            return Damaged("no EOF marker");
        }
        if (std::memcmp(offsetBytes, kIpsEnd, kIpsEndSize) == 0) {
            return FinishIps(reader, std::move(target));
        }
        const uint32_t offset = uint32_t{offsetBytes[0]} << 16 | uint32_t{offsetBytes[1]} << 8 |
                                uint32_t{offsetBytes[2]};
        const std::string problem = ApplyIpsRecord(reader, offset, target);
        if (!problem.empty()) {
            return Damaged(problem + " (patch offset " + std::to_string(recordStart) + ")");
        }
    }
}

}  // namespace

AppliedPatch ApplyPatch(const std::vector<uint8_t>& source, const std::vector<uint8_t>& patch) {
    if (StartsWith(patch, kBpsMagic, kBpsMagicSize)) {
        return ApplyBps(source, patch);
    }
    if (StartsWith(patch, kIpsMagic, kIpsMagicSize)) {
        return ApplyIps(source, patch);
    }
    return Refuse(ApplyStatus::NotAPatch, "neither a BPS nor an IPS patch");
}

}  // namespace tessary
