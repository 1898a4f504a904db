// Arbitrary bytes as a source file and a patch (a 2-byte length, then the source, then the
// patch): the applier stays inside both, refuses with a reason or gives a result the patch
// vouches for. BPS patches are also tried with their source and patch checksums made right,
// so the actions are reached and not only the checksum checks.

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "patch/patch_applier.h"

using namespace tessary;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kFooterSize = 12;

uint32_t Crc32(const uint8_t* data, size_t size) {
    return static_cast<uint32_t>(crc32_z(0, data, size));
}

uint32_t ReadLe32(const uint8_t* at) {
    return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

void WriteLe32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

bool IsBps(const Bytes& patch) {
    return patch.size() >= 4 && std::memcmp(patch.data(), "BPS1", 4) == 0;
}

void CheckApplied(const Bytes& source, const Bytes& patch, const AppliedPatch& applied) {
    if (applied.status != ApplyStatus::Applied) {
        Check(applied.target.empty() && !applied.why.empty());
        return;
    }
    Check(applied.why.empty());
    if (!IsBps(patch)) {
        return;
    }
    const uint8_t* footer = patch.data() + patch.size() - kFooterSize;
    Check(applied.target.size() <= kMaxPatchTargetSize);
    Check(Crc32(applied.target.data(), applied.target.size()) == ReadLe32(footer + 4));
    Check(Crc32(source.data(), source.size()) == ReadLe32(footer));
    // Any one byte changed in the source is caught by its checksum.
    if (!source.empty()) {
        Bytes other = source;
        other[other.size() / 2] ^= 0x5A;
        Check(ApplyPatch(other, patch).status == ApplyStatus::WrongSource);
    }
}

void ApplyAndCheck(const Bytes& source, const Bytes& patch) {
    CheckApplied(source, patch, ApplyPatch(source, patch));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const size_t rest = size - 2;
    const size_t sourceSize = (size_t{data[0]} | size_t{data[1]} << 8) % (rest + 1);
    // Copies of exactly their sizes, so any read past either end is caught.
    const Bytes source(data + 2, data + 2 + sourceSize);
    Bytes patch(data + 2 + sourceSize, data + size);
    ApplyAndCheck(source, patch);

    if (IsBps(patch) && patch.size() >= 4 + kFooterSize) {
        uint8_t* footer = patch.data() + patch.size() - kFooterSize;
        WriteLe32(footer, Crc32(source.data(), source.size()));
        WriteLe32(footer + 8, Crc32(patch.data(), patch.size() - 4));
        ApplyAndCheck(source, patch);
    }
    return 0;
}
