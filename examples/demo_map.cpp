#include "demo_map.h"

#include <algorithm>
#include <map>
#include <random>
#include <utility>

#include "level/pack_level.h"

using namespace tessary;

namespace {

// Tile numbers (bits 0-11); bit 14 mirrors a tile, bit 15 draws it in front.
constexpr uint16_t kSky = 0x000;
constexpr uint16_t kGrassTop = 0x011;
constexpr uint16_t kSoil = 0x012;
constexpr uint16_t kRock = 0x013;
constexpr uint16_t kPlatformLeft = 0x020;
constexpr uint16_t kPlatform = 0x021;
constexpr uint16_t kPlatformRight = 0x022;
constexpr uint16_t kBrick = 0x030;
constexpr uint16_t kBlock = 0x140;  // 2x2: +0, +1 on top, +0x10, +0x11 below
constexpr uint16_t kCoin = 0x060;
constexpr uint16_t kLadder = 0x090;
constexpr uint16_t kSpikes = 0x0A0;
constexpr uint16_t kWater = 0x0808;  // both bytes equal: pools pack as byte runs
constexpr uint16_t kLava = 0xC4C4;
constexpr uint16_t kOre = 0x0C1;  // 0x0C1..0x0C6, scattered through the rock
constexpr uint16_t kGems[] = {0x0505, 0x8F8F, 0x4B4B};
constexpr uint16_t kMirrored = 0x4000;
constexpr uint16_t kInFront = 0x8000;

class Grid {
  public:
    Grid(int32_t width, int32_t height)
        : width_(width), height_(height), cells_(static_cast<size_t>(width * height), kSky) {}

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

    void set(int32_t x, int32_t y, uint16_t cell) {
        if (x >= 0 && x < width_ && y >= 0 && y < height_) {
            cells_[static_cast<size_t>(y * width_ + x)] = cell;
        }
    }
    uint16_t at(int32_t x, int32_t y) const { return cells_[static_cast<size_t>(y * width_ + x)]; }

    void block(int32_t x, int32_t y) {
        set(x, y, kBlock);
        set(x + 1, y, kBlock + 1);
        set(x, y + 1, kBlock + 0x10);
        set(x + 1, y + 1, kBlock + 0x11);
    }

    void platform(int32_t x, int32_t y, int32_t length) {
        for (int32_t i = 0; i < length; ++i) {
            set(x + i, y, i == 0 ? kPlatformLeft : i == length - 1 ? kPlatformRight : kPlatform);
        }
    }

  private:
    int32_t width_;
    int32_t height_;
    std::vector<uint16_t> cells_;
};

class Dice {
  public:
    explicit Dice(uint32_t seed) : engine_(seed) {}
    // A number in 0..n-1; the engine's raw output keeps the maps the same on every platform.
    int32_t below(int32_t n) { return static_cast<int32_t>(engine_() % static_cast<uint32_t>(n)); }
    bool chance(int32_t percent) { return below(100) < percent; }

  private:
    std::mt19937 engine_;
};

uint16_t RockAt(Dice& dice) {
    if (dice.chance(2)) {
        return kGems[dice.below(3)];
    }
    if (!dice.chance(45)) {
        return kRock;
    }
    return static_cast<uint16_t>(kOre + dice.below(6)) | (dice.chance(40) ? kMirrored : 0) |
           (dice.chance(20) ? kInFront : 0);
}

// Side-scrolling land: rolling ground with pits, floating platforms, brick walls, blocks
// of 2x2 tiles, coins and spikes.
void FillHorizontal(Grid& grid, Dice& dice) {
    int32_t ground = grid.height() - 3;
    for (int32_t x = 0; x < grid.width(); ++x) {
        if (dice.chance(12)) {
            ground = std::clamp(ground + dice.below(3) - 1, grid.height() / 2, grid.height() - 2);
        }
        bool pit = x > 8 && dice.chance(4);
        for (int32_t y = ground; y < grid.height() && !pit; ++y) {
            grid.set(x, y, y == ground ? kGrassTop : y < ground + 3 ? kSoil : RockAt(dice));
        }
        if (pit) {
            grid.set(x, grid.height() - 1, kSpikes);
        }
        if (x % 40 == 30 && dice.chance(70)) {
            uint16_t liquid = dice.chance(60) ? kWater : kLava;
            for (int32_t i = 0; i < 3 + dice.below(4); ++i) {
                for (int32_t y = ground + 1; y < grid.height(); ++y) {
                    grid.set(x + i, y, liquid);
                }
            }
        }
        if (x % 16 == 5 && dice.chance(60)) {
            int32_t y = std::max(2, ground - 3 - dice.below(4));
            int32_t length = 3 + dice.below(6);
            grid.platform(x, y, length);
            for (int32_t i = 1; i + 1 < length; i += 2) {
                grid.set(x + i, y - 1, kCoin | (i % 4 == 1 ? kInFront : 0));
            }
        }
        if (x % 24 == 13 && dice.chance(50)) {
            for (int32_t y = ground - 1 - dice.below(4); y < ground; ++y) {
                grid.set(x, y, kBrick | (dice.chance(30) ? kMirrored : 0));
            }
        }
        if (x % 32 == 20 && dice.chance(70)) {
            int32_t y = std::max(1, ground - 6);
            for (int32_t i = 0; i < 3; ++i) {
                grid.block(x + 2 * i, y);
            }
        }
        if (dice.chance(3)) {
            grid.set(x, std::max(0, ground - 1 - dice.below(5)),
                     static_cast<uint16_t>(0x0B0 + dice.below(16)) | kMirrored);
        }
    }
}

// A climb: walls on both sides, ledges that alternate sides, ladders, blocks and coins.
void FillVertical(Grid& grid, Dice& dice) {
    for (int32_t y = 0; y < grid.height(); ++y) {
        grid.set(0, y, kBrick);
        grid.set(grid.width() - 1, y, kBrick | kMirrored);
        if (y % 6 == 3) {
            int32_t length = 4 + dice.below(grid.width() / 2);
            bool left = (y / 6) % 2 == 0;
            int32_t x = left ? 1 : grid.width() - 1 - length;
            grid.platform(x, y, length);
            int32_t ladder = left ? x + length - 1 : x;
            for (int32_t i = 1; i <= 5; ++i) {
                grid.set(ladder, y + i, kLadder | kInFront);
            }
            if (dice.chance(50)) {
                grid.set(x + length / 2, y - 1, kCoin);
            }
        }
        if (y % 18 == 10 && dice.chance(60)) {
            grid.block(grid.width() / 2 - 1, y);
        }
        if (dice.chance(4)) {
            grid.set(1 + dice.below(grid.width() - 2), y,
                     static_cast<uint16_t>(0x0B0 + dice.below(16)) | kInFront);
        }
    }
    for (int32_t y = grid.height() - 4; y < grid.height(); ++y) {
        for (int32_t x = 1; x + 1 < grid.width(); ++x) {
            grid.set(x, y, y == grid.height() - 1 ? RockAt(dice) : kWater);
        }
    }
    for (int32_t y = 7; y + 2 < grid.height(); y += 23) {
        for (int32_t x = grid.width() / 3; x < grid.width() / 3 + 4; ++x) {
            grid.set(x, y, kLava);
            grid.set(x, y + 1, RockAt(dice));
        }
    }
}

template <typename Key>
std::vector<Key> ByFrequency(const std::map<Key, int32_t>& counts) {
    std::vector<std::pair<int32_t, Key>> ranked;
    for (const auto& [key, count] : counts) {
        ranked.emplace_back(-count, key);  // most frequent first, then by value
    }
    std::sort(ranked.begin(), ranked.end());
    std::vector<Key> keys;
    for (const auto& entry : ranked) {
        keys.push_back(entry.second);
    }
    return keys;
}

}  // namespace

std::vector<uint8_t> MakeDemoMap(const DemoLevel& level, uint32_t seed) {
    Dice dice(seed);
    const bool vertical = level.vertical;
    Grid grid(vertical ? level.height : level.length, vertical ? level.length : level.height);
    if (vertical) {
        FillVertical(grid, dice);
    } else {
        FillHorizontal(grid, dice);
    }
    // Game order: strips of `height` cells across the long side.
    std::vector<uint8_t> map;
    for (int32_t strip = 0; strip < level.length; ++strip) {
        for (int32_t i = 0; i < level.height; ++i) {
            uint16_t cell = vertical ? grid.at(i, strip) : grid.at(strip, i);
            map.push_back(static_cast<uint8_t>(cell & 0xFF));
            map.push_back(static_cast<uint8_t>(cell >> 8));
        }
    }
    return map;
}

// The fill bytes are the two bytes that most often run three or more times; the words the
// most common cells; the single bytes the two most common bytes of the other cells.
MapHeader ChooseHeader(const std::vector<uint8_t>& map) {
    std::map<uint8_t, int32_t> runs;
    std::map<uint16_t, int32_t> words;
    for (size_t i = 0; i < map.size(); ++i) {
        if (i + 2 < map.size() && map[i] == map[i + 1] && map[i] == map[i + 2]) {
            ++runs[map[i]];
        }
        if (i % 2 == 0 && i + 1 < map.size()) {
            ++words[static_cast<uint16_t>(map[i] | map[i + 1] << 8)];
        }
    }
    std::vector<uint8_t> fills = ByFrequency(runs);
    fills.resize(std::max<size_t>(fills.size(), 2), 0xFF);
    std::vector<uint16_t> topWords = ByFrequency(words);
    topWords.resize(std::max<size_t>(topWords.size(), 17), 0xFFFF);
    std::map<uint8_t, int32_t> rareCellBytes;
    for (size_t i = 0; i + 1 < map.size(); i += 2) {
        uint16_t cell = static_cast<uint16_t>(map[i] | map[i + 1] << 8);
        if (std::find(topWords.begin(), topWords.begin() + 17, cell) == topWords.begin() + 17) {
            for (uint8_t byte : {map[i], map[i + 1]}) {
                if (byte != fills[0] && byte != fills[1]) {
                    ++rareCellBytes[byte];
                }
            }
        }
    }
    std::vector<uint8_t> singles = ByFrequency(rareCellBytes);
    singles.resize(std::max<size_t>(singles.size(), 2), 0xFF);
    MapHeader header;
    header.fillByteA = fills[0];
    header.fillByteB = fills[1];
    header.singleByteC = singles[0];
    header.singleByteD = singles[1];
    header.wordW = topWords[0];
    for (int i = 0; i < kDictionarySize; ++i) {
        header.dictionary[i] = topWords[static_cast<size_t>(i + 1)];
    }
    return header;
}

std::vector<uint8_t> MakeDemoRom() {
    std::vector<uint8_t> rom(static_cast<size_t>(kDemoRomSize));
    Dice filler(0x7E55A7);
    for (uint8_t& byte : rom) {
        byte = static_cast<uint8_t>(filler.chance(30) ? 0xFF : filler.below(256));
    }
    uint32_t seed = 1;
    for (const DemoLevel& level : kDemoLevels) {
        std::vector<uint8_t> map = MakeDemoMap(level, seed++);
        MapHeader header = ChooseHeader(map);
        const MapHeaderBytes headerBytes = MapHeaderToBytes(header);
        const PackedLevel packed =
            PackLevel(headerBytes.data(), map.data(), map.size(), PackRequest{});
        if (packed.status != PackStatus::Packed ||
            packed.bytes.size() > static_cast<size_t>(kDemoLevelSlot)) {
            return {};
        }
        std::copy(packed.bytes.begin(), packed.bytes.end(), rom.begin() + level.offset);
    }
    return rom;
}
