#pragma once
// Applies a BPS or IPS patch to a ROM image in memory. Kept apart from the code that writes
// patches, so that applying a written patch checks the writer rather than repeating it.

#include <cstdint>
#include <string>
#include <vector>

namespace tessary {

enum class ApplyStatus : uint8_t {
    Applied,
    NotAPatch,    // neither BPS1 nor PATCH magic
    WrongSource,  // BPS: source size or CRC-32 does not match the given file
    Damaged,      // truncated, a cursor or record outside its file, bad patch CRC, ...
    WrongResult,  // BPS: target CRC-32 does not match what was produced
};

struct AppliedPatch {
    ApplyStatus status = ApplyStatus::Applied;
    std::vector<uint8_t> target;  // empty unless Applied
    std::string why;              // empty when Applied
};

// The largest target a BPS patch may declare; a larger size is taken as damage rather than
// allocated.
constexpr uint64_t kMaxPatchTargetSize = uint64_t{256} << 20;

// Applies a BPS or IPS patch (told apart by its magic) to `source`.
AppliedPatch ApplyPatch(const std::vector<uint8_t>& source, const std::vector<uint8_t>& patch);

}  // namespace tessary
