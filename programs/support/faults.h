#pragma once
// Faults planted on purpose, so that the tests can show every check of an output firing.
// Only the test builds of the programs (tessary_faulty and tessary_pack_faulty, compiled
// with TESSARY_FAULTS) have them, one at a time as the environment variable TESSARY_FAULT
// names it; in the real programs each hook hands back what it was given.

#include <cstdint>
#include <vector>

#include "level/pack_level.h"

namespace tessary {

#ifdef TESSARY_FAULTS

// EncodeStream, or with wrong-stream one whose stream unpacks to other cells.
StreamEncoding PackerEncoding();
// The bytes a staged write puts in its temporary file: `bytes`, or with short-write all but
// the last, with long-write one more, with different-write one of them changed.
const std::vector<uint8_t>& BytesToWrite(const std::vector<uint8_t>& bytes);
// Changes one byte of `bytes` when `fault` is the one planted.
void PlantFault(const char* fault, std::vector<uint8_t>& bytes);

#else

inline StreamEncoding PackerEncoding() {
    return EncodeStream;
}
inline const std::vector<uint8_t>& BytesToWrite(const std::vector<uint8_t>& bytes) {
    return bytes;
}
inline void PlantFault(const char*, std::vector<uint8_t>&) {}

#endif

}  // namespace tessary
