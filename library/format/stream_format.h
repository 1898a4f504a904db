#pragma once
// The packed map stream: its commands, its limits and what each command costs in nibbles.
// Every fact of the format is stated here once; the decoder, both encoders and the command
// writer take them from here.

#include <cstdint>

namespace tessary {

// One opcode nibble, then the command's arguments.
enum class Opcode : uint8_t {
    Literals = 0,  // with count 0 it is the end marker
    Literal1 = 1,
    Literal2 = 2,
    RunOfByte = 3,
    RunOfFillA = 4,
    RunOfFillB = 5,
    PutWordW = 6,
    PutByteC = 7,
    PutByteD = 8,
    CopyWord = 9,
    CopyNear = 10,
    CopyMid = 11,
    CopyFar = 12,
    RepeatByte = 13,
    RepeatWord = 14,
    PutDictWord = 15,
};

constexpr int kOpcodeCount = 16;

constexpr uint32_t Nibble(Opcode opcode) {
    return static_cast<uint32_t>(opcode);
}

const char* OpcodeName(Opcode opcode);

// Runs and copies: a count nibble n stands for n + 3 bytes.
constexpr int kCountBias = 3;
constexpr int kMinCount = kCountBias;
constexpr int kMaxCount = kCountBias + 0xF;  // 18, also the longest output of one command
// Literals: a count nibble of 1..15 (0 is the end marker).
constexpr int kMaxLiterals = 0xF;
// CopyWord copies 2 bytes from a distance of its nibble + 2.
constexpr int kCopyWordLength = 2;
constexpr int kCopyWordDistanceBias = 2;
constexpr int kMaxCopyWordDistance = kCopyWordDistanceBias + 0xF;  // 17
// CopyNear: a distance byte v gives count + v, so from the count to 255 beyond it.
constexpr int kCopyNearReach = 0xFF;
// CopyMid: three nibbles + 259.
constexpr int kCopyMidDistanceBias = 259;
constexpr int kMaxCopyMidDistance = kCopyMidDistanceBias + 0xFFF;  // 4354
// CopyFar: four nibbles, the distance itself.
constexpr int kMaxDistance = 0xFFFF;
// The game unpacks a level into a buffer of this many bytes.
constexpr uint32_t kDecodeCapacity = 0x10000;

// Nibbles of the end marker: Literals with a count of 0.
constexpr int kEndNibbles = 2;

// Nibbles of a copy command's distance argument, most significant first.
constexpr int DistanceNibbles(Opcode copy) {
    return copy == Opcode::CopyWord   ? 1
           : copy == Opcode::CopyNear ? 2
           : copy == Opcode::CopyMid  ? 3
                                      : 4;
}

// What a copy command of `count` bytes adds to its stored argument to give the distance:
// CopyNear stores how far beyond its own count it reaches.
constexpr int DistanceBias(Opcode copy, int count) {
    return copy == Opcode::CopyWord   ? kCopyWordDistanceBias
           : copy == Opcode::CopyNear ? count
           : copy == Opcode::CopyMid  ? kCopyMidDistanceBias
                                      : 0;
}

// Nibbles of one command, opcode included; Literals also needs its count.
constexpr int CommandNibbles(Opcode opcode, int literalCount = 0) {
    switch (opcode) {
        case Opcode::Literals:
            return 2 + 2 * literalCount;
        case Opcode::Literal1:
            return 3;
        case Opcode::Literal2:
            return 5;
        case Opcode::RunOfByte:
            return 4;
        case Opcode::RunOfFillA:
        case Opcode::RunOfFillB:
            return 2;
        case Opcode::PutWordW:
        case Opcode::PutByteC:
        case Opcode::PutByteD:
        case Opcode::RepeatByte:
        case Opcode::RepeatWord:
            return 1;
        case Opcode::CopyWord:  // no count: always two bytes
            return 1 + DistanceNibbles(opcode);
        case Opcode::CopyNear:
        case Opcode::CopyMid:
        case Opcode::CopyFar:
            return 2 + DistanceNibbles(opcode);
        case Opcode::PutDictWord:
            return 2;
    }
    return 0;
}

// The literal command for 1..15 bytes: Literals with a count below 3 costs more than
// Literal1 or Literal2.
constexpr Opcode LiteralOpcode(int count) {
    return count == 1 ? Opcode::Literal1 : count == 2 ? Opcode::Literal2 : Opcode::Literals;
}

constexpr int LiteralNibbles(int count) {
    return CommandNibbles(LiteralOpcode(count), count);
}

// The copy command that moves `length` bytes (2..18) from `distance` bytes back, if the
// format has one: CopyWord for 2 bytes, otherwise the nearest-reaching of CopyNear, CopyMid
// and CopyFar. A distance below the length never has one, since copies may not overlap.
constexpr bool CopyOpcode(int length, int distance, Opcode& opcode) {
    if (distance < length) {
        return false;
    }
    if (length == kCopyWordLength) {
        opcode = Opcode::CopyWord;
        return distance <= kMaxCopyWordDistance;
    }
    if (length < kMinCount || length > kMaxCount) {
        return false;
    }
    opcode = distance <= length + kCopyNearReach ? Opcode::CopyNear
             : distance <= kMaxCopyMidDistance   ? Opcode::CopyMid
                                                 : Opcode::CopyFar;
    return distance <= kMaxDistance;
}

// Nibbles of that copy command, or 0 when there is none.
constexpr int CopyNibbles(int length, int distance) {
    Opcode opcode = Opcode::Literals;
    return CopyOpcode(length, distance, opcode) ? CommandNibbles(opcode) : 0;
}

}  // namespace tessary
