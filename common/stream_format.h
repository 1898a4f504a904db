#pragma once
// Command set of the packed map stream: one opcode nibble, then its arguments.

#include <cstdint>

enum Opcode : uint8_t {
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

constexpr uint8_t End = Literals;  // followed by a count nibble of 0

constexpr int kCountBias = 3;  // runs and copies of 3..18 bytes
constexpr int kMaxCount = 18;
constexpr int kCopyWordDistanceBias = 2;
constexpr int kCopyMidDistanceBias = 259;
constexpr int kMaxCopyMidDistance = kCopyMidDistanceBias + 0xFFF;  // 4354
constexpr int kMaxDistance = 0xFFFF;
constexpr int kMaxLiterals = 15;
constexpr uint32_t kDecodeCapacity = 0x10000;  // the exporter's unpack buffer
