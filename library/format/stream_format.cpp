#include "format/stream_format.h"

namespace tessary {

const char* OpcodeName(Opcode opcode) {
    static const char* const kNames[kOpcodeCount] = {
        "Literals", "Literal1",   "Literal2",   "RunOfByte",  "RunOfFillA", "RunOfFillB",
        "PutWordW", "PutByteC",   "PutByteD",   "CopyWord",   "CopyNear",   "CopyMid",
        "CopyFar",  "RepeatByte", "RepeatWord", "PutDictWord"};
    return kNames[static_cast<uint8_t>(opcode) & 0xF];
}

}  // namespace tessary
