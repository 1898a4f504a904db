#pragma once
// Patches from an original ROM image to an edited one, in the two formats ROM hackers share:
// BPS, which carries the checksums of both images and of itself, and IPS, which carries none.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessary {

enum class PatchFormat : uint8_t { Bps, Ips };

// IPS for a name ending in ".ips" (any case), BPS otherwise.
PatchFormat PatchFormatFor(const std::string& fileName);

enum class PatchStatus : uint8_t {
    Made,
    TooLarge,  // IPS cannot address the change: a record would start at or past 16 MiB
};

struct Patch {
    PatchStatus status = PatchStatus::Made;
    std::vector<uint8_t> bytes;  // empty unless Made
};

Patch MakePatch(PatchFormat format, const std::vector<uint8_t>& source,
                const std::vector<uint8_t>& target);
Patch MakeBpsPatch(const std::vector<uint8_t>& source, const std::vector<uint8_t>& target);
Patch MakeIpsPatch(const std::vector<uint8_t>& source, const std::vector<uint8_t>& target);

// zlib's CRC-32, the one BPS uses.
uint32_t Crc32(const uint8_t* data, size_t size);

// BPS's variable-length number, appended to `out`.
void AppendBpsNumber(std::vector<uint8_t>& out, uint64_t value);

}  // namespace tessary
