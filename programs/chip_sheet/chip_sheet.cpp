#include "chip_sheet.h"

#include <cmath>

namespace tessary {

namespace {

struct Rgb {
    uint8_t r, g, b;
};

// Hexadecimal digits 3 pixels wide and 5 high; bit 2 of a row is its left pixel.
constexpr uint8_t kGlyphs[16][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 3, 1, 7},
    {5, 5, 7, 1, 1}, {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 2, 2},
    {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}, {2, 5, 7, 5, 5}, {6, 5, 6, 5, 6},
    {3, 4, 4, 4, 3}, {6, 5, 5, 5, 6}, {7, 4, 6, 4, 7}, {7, 4, 6, 4, 4},
};
constexpr int kGlyphScale = 2;
constexpr int kGlyphWidth = 3 * kGlyphScale;
constexpr int kGlyphHeight = 5 * kGlyphScale;
constexpr int kGlyphGap = 2;

// Golden-ratio steps of hue keep neighbouring high bytes apart; the first is a sky blue.
Rgb ChipColour(int high, int low) {
    const double hue = std::fmod(0.58 + high * 0.618034, 1.0) * 6.0;
    const double value = 0.95 - 0.13 * (low >> 4);
    const double saturation = 0.45;
    const double f = hue - std::floor(hue);
    const double p = value * (1 - saturation);
    const double q = value * (1 - saturation * f);
    const double t = value * (1 - saturation * (1 - f));
    // The six sectors of the hue circle, red to magenta.
    const double sectors[6][3] = {{value, t, p}, {q, value, p}, {p, value, t},
                                  {p, q, value}, {t, p, value}, {value, p, q}};
    const double* c = sectors[static_cast<int>(hue) % 6];
    auto byte = [](double channel) { return static_cast<uint8_t>(std::lround(channel * 255)); };
    return {byte(c[0]), byte(c[1]), byte(c[2])};
}

Rgb Scaled(Rgb c, double factor) {
    auto byte = [factor](uint8_t v) { return static_cast<uint8_t>(v * factor); };
    return {byte(c.r), byte(c.g), byte(c.b)};
}

class Canvas {
  public:
    explicit Canvas(RgbImage& image) : image_(image) {}

    void put(int x, int y, Rgb c) {
        uint8_t* p = &image_.pixels[(static_cast<size_t>(y) * image_.width + x) * 3];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }

    void fill(int x, int y, int width, int height, Rgb c) {
        for (int row = y; row < y + height; ++row) {
            for (int column = x; column < x + width; ++column) {
                put(column, row, c);
            }
        }
    }

    void digit(int x, int y, int value, Rgb c) {
        for (int row = 0; row < 5; ++row) {
            for (int column = 0; column < 3; ++column) {
                if (kGlyphs[value][row] & (4 >> column)) {
                    fill(x + column * kGlyphScale, y + row * kGlyphScale, kGlyphScale, kGlyphScale,
                         c);
                }
            }
        }
    }

    void hexByte(int x, int y, int value, Rgb c) {
        digit(x, y, value >> 4, c);
        digit(x + kGlyphWidth + kGlyphGap, y, value & 0xF, c);
    }

  private:
    RgbImage& image_;
};

void DrawChip(Canvas& canvas, int high, int low) {
    const int x = low * kChipSize;
    const int y = high * kChipSize;
    const Rgb background = ChipColour(high, low);
    // A darker rim keeps neighbouring chips of one colour apart in a picture of a map.
    canvas.fill(x, y, kChipSize, kChipSize, Scaled(background, 0.7));
    canvas.fill(x + 1, y + 1, kChipSize - 2, kChipSize - 2, background);
    const bool light = background.r * 299 + background.g * 587 + background.b * 114 > 128000;
    const Rgb ink = light ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
    const int textWidth = 2 * kGlyphWidth + kGlyphGap;
    const int textHeight = 2 * kGlyphHeight + 3;
    const int left = x + (kChipSize - textWidth) / 2;
    const int top = y + (kChipSize - textHeight) / 2;
    canvas.hexByte(left, top, high, ink);
    canvas.hexByte(left, top + kGlyphHeight + 3, low, ink);
}

}  // namespace

RgbImage DrawChipSheet() {
    RgbImage image;
    image.width = kSheetColumns * kChipSize;
    image.height = kSheetRows * kChipSize;
    image.pixels.resize(static_cast<size_t>(image.width) * image.height * 3);
    Canvas canvas(image);
    for (int high = 0; high < kSheetRows; ++high) {
        for (int low = 0; low < kSheetColumns; ++low) {
            DrawChip(canvas, high, low);
        }
    }
    return image;
}

}  // namespace tessary
