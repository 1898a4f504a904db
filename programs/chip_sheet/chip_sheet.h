#pragma once
// A stand-in chip sheet: one 32x32 chip for every FMF cell the exporter writes, laid out as
// the map format extension for Tiled expects (tile = high byte x 64 + low byte), so that a
// level opens as a readable map before anyone has cut the game's own graphics.

#include <cstdint>
#include <vector>

namespace tessary {

constexpr int kChipSize = 32;      // pixels, as in the FMF header the exporter writes
constexpr int kSheetColumns = 64;  // the low byte: bits 6-7 are always 0
constexpr int kSheetRows = 256;    // the high byte

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // rows top to bottom, 3 bytes a pixel
};

// Each chip shows its cell's high byte over its low byte in hexadecimal. Chips with the same
// high byte (the game's tile numbers 0xHH0 to 0xHHF) share a hue; the low byte's bits 4 and 5
// (the game's cell bits 14 and 15) darken it step by step.
RgbImage DrawChipSheet();

}  // namespace tessary
