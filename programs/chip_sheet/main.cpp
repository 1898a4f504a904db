// tessary_chip_sheet: writes the stand-in chip sheet as a PNG file, for the map format
// extension for Tiled and for pictures of levels.

#include <png.h>

#include <cstring>

#include "chip_sheet.h"
#include "program_support.h"

using namespace tessary;

int main(int argc, char** argv) {
    const Console console("tessary_chip_sheet");
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        console.printVersion();
        return 0;
    }
    if (argc != 2) {
        console.print("Usage: tessary_chip_sheet [PNG file]\n");
        return 2;
    }
    const RgbImage sheet = DrawChipSheet();
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(sheet.width);
    png.height = static_cast<png_uint_32>(sheet.height);
    png.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&png, argv[1], 0, sheet.pixels.data(), 0, nullptr)) {
        console.error("cannot write %s: %s", argv[1], png.message);
        return 1;
    }
    console.print("Wrote %s: %d x %d chips of %d x %d pixels.\n", argv[1], kSheetColumns,
                  kSheetRows, kChipSize, kChipSize);
    return 0;
}
