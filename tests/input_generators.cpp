#include "input_generators.h"

#include <algorithm>

using tessary::kDictionarySize;
using tessary::MapHeader;

int Uniform(Random& random, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
}

uint8_t AnyByte(Random& random) {
    return static_cast<uint8_t>(Uniform(random, 0, 255));
}

bool Chance(Random& random, int percent) {
    return Uniform(random, 0, 99) < percent;
}

// Mostly small inputs, some medium ones; the reference is too slow for many large ones.
size_t SmallSize(Random& random) {
    const int kind = Uniform(random, 0, 9);
    if (kind < 6) {
        return static_cast<size_t>(Uniform(random, 0, 64));
    }
    if (kind < 9) {
        return static_cast<size_t>(Uniform(random, 65, 600));
    }
    return static_cast<size_t>(Uniform(random, 601, 6000));
}

// Header fields taken from the input where possible, so that they matter, with deliberate
// coincidences between fields now and then.
MapHeader HeaderFor(Random& random, const Bytes& input) {
    auto byteAt = [&]() -> uint8_t {
        return input.empty() || Chance(random, 20)
                   ? AnyByte(random)
                   : input[Uniform(random, 0, int(input.size()) - 1)];
    };
    auto wordAt = [&]() -> uint16_t {
        if (input.size() < 2 || Chance(random, 20)) {
            return static_cast<uint16_t>(Uniform(random, 0, 0xFFFF));
        }
        const int p = Uniform(random, 0, int(input.size()) - 2);
        return static_cast<uint16_t>(input[p] | input[p + 1] << 8);
    };
    MapHeader header;
    header.fillByteA = byteAt();
    header.fillByteB = Chance(random, 15) ? header.fillByteA : byteAt();
    header.singleByteC = Chance(random, 15) ? header.fillByteA : byteAt();
    header.singleByteD = Chance(random, 15) ? header.singleByteC : byteAt();
    header.wordW = wordAt();
    for (int i = 0; i < kDictionarySize; ++i) {
        header.dictionary[i] =
            i > 0 && Chance(random, 15) ? header.dictionary[Uniform(random, 0, i - 1)] : wordAt();
    }
    if (Chance(random, 15)) {
        header.dictionary[Uniform(random, 0, kDictionarySize - 1)] = header.wordW;
    }
    return header;
}

Bytes RandomBytes(Random& random, size_t size) {
    Bytes bytes(size);
    for (uint8_t& byte : bytes) {
        byte = AnyByte(random);
    }
    return bytes;
}

static Bytes SmallAlphabet(Random& random, size_t size) {
    Bytes alphabet(static_cast<size_t>(Uniform(random, 1, 6)));
    for (uint8_t& byte : alphabet) {
        byte = AnyByte(random);
    }
    Bytes bytes(size);
    for (uint8_t& byte : bytes) {
        byte = alphabet[Uniform(random, 0, int(alphabet.size()) - 1)];
    }
    return bytes;
}

// Rows of 16-bit little-endian cells from a small tile set: spans of one tile, rows that
// repeat the previous one with a few changes.
static Bytes TileRows(Random& random, size_t size) {
    std::vector<uint16_t> tiles(static_cast<size_t>(Uniform(random, 2, 24)));
    for (uint16_t& tile : tiles) {
        tile = static_cast<uint16_t>(Chance(random, 50) ? Uniform(random, 0, 0x3F)
                                                        : Uniform(random, 0, 0xFFFF));
    }
    const int width = Uniform(random, 4, 64);
    std::vector<uint16_t> row(static_cast<size_t>(width));
    Bytes bytes;
    while (bytes.size() < size) {
        if (bytes.empty() || Chance(random, 25)) {
            for (int x = 0; x < width;) {
                const uint16_t tile = tiles[Uniform(random, 0, int(tiles.size()) - 1)];
                for (int span = Uniform(random, 1, 12); span > 0 && x < width; --span, ++x) {
                    row[x] = tile;
                }
            }
        } else {
            for (int changes = Uniform(random, 0, 3); changes > 0; --changes) {
                row[Uniform(random, 0, width - 1)] =
                    tiles[Uniform(random, 0, int(tiles.size()) - 1)];
            }
        }
        for (uint16_t cell : row) {
            bytes.push_back(static_cast<uint8_t>(cell & 0xFF));
            bytes.push_back(static_cast<uint8_t>(cell >> 8));
        }
    }
    bytes.resize(size);
    return bytes;
}

static Bytes LongRuns(Random& random, size_t size) {
    Bytes alphabet(static_cast<size_t>(Uniform(random, 1, 8)));
    for (uint8_t& byte : alphabet) {
        byte = AnyByte(random);
    }
    Bytes bytes;
    while (bytes.size() < size) {
        const uint8_t value = alphabet[Uniform(random, 0, int(alphabet.size()) - 1)];
        bytes.insert(bytes.end(), static_cast<size_t>(Uniform(random, 1, 45)), value);
    }
    bytes.resize(size);
    return bytes;
}

// Made of the header's own bytes and words, so that every header command competes.
static Bytes HeaderTokens(Random& random, size_t size, const MapHeader& header) {
    Bytes bytes;
    auto word = [&](uint16_t w) {
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    };
    while (bytes.size() < size) {
        switch (Uniform(random, 0, 7)) {
            case 0:
                bytes.insert(bytes.end(), static_cast<size_t>(Uniform(random, 1, 25)),
                             header.fillByteA);
                break;
            case 1:
                bytes.insert(bytes.end(), static_cast<size_t>(Uniform(random, 1, 25)),
                             header.fillByteB);
                break;
            case 2:
                bytes.insert(bytes.end(), static_cast<size_t>(Uniform(random, 1, 6)),
                             header.singleByteC);
                break;
            case 3:
                bytes.insert(bytes.end(), static_cast<size_t>(Uniform(random, 1, 6)),
                             header.singleByteD);
                break;
            case 4:
                word(header.wordW);
                break;
            case 5:
                word(header.dictionary[Uniform(random, 0, kDictionarySize - 1)]);
                break;
            case 6:
                bytes.push_back(AnyByte(random));
                break;
            default:
                if (bytes.size() > 4) {  // an earlier stretch again
                    const int length = Uniform(random, 2, 24);
                    const int start = Uniform(random, 0, std::max(0, int(bytes.size()) - length));
                    for (int i = 0; i < length && start + i < int(bytes.size()); ++i) {
                        bytes.push_back(bytes[start + i]);
                    }
                }
                break;
        }
    }
    bytes.resize(size);
    return bytes;
}

static MapHeader RandomHeader(Random& random) {
    MapHeader header;
    header.fillByteA = AnyByte(random);
    header.fillByteB = Chance(random, 20) ? header.fillByteA : AnyByte(random);
    header.singleByteC = Chance(random, 20) ? header.fillByteB : AnyByte(random);
    header.singleByteD = Chance(random, 20) ? header.singleByteC : AnyByte(random);
    header.wordW = static_cast<uint16_t>(Uniform(random, 0, 0xFFFF));
    for (int i = 0; i < kDictionarySize; ++i) {
        header.dictionary[i] =
            Chance(random, 20) ? header.wordW : static_cast<uint16_t>(Uniform(random, 0, 0xFFFF));
    }
    return header;
}

// Blocks of bytes 00..3F repeated after long stretches of other bytes, so that the rings of
// the block's bytes reach back over every distance class, past 65,535 included.
static Bytes FarRepeats(Random& random, size_t size) {
    Bytes bytes;
    std::vector<Bytes> blocks;
    while (bytes.size() < size) {
        if (!blocks.empty() && Chance(random, 60)) {
            const Bytes& block = blocks[Uniform(random, 0, int(blocks.size()) - 1)];
            bytes.insert(bytes.end(), block.begin(), block.end());
        } else {
            Bytes block(static_cast<size_t>(Uniform(random, 3, 40)));
            for (uint8_t& byte : block) {
                byte = static_cast<uint8_t>(Uniform(random, 0x00, 0x3F));
            }
            blocks.push_back(block);
            bytes.insert(bytes.end(), block.begin(), block.end());
        }
        const int stretch =
            Chance(random, 50) ? Uniform(random, 200, 5000) : Uniform(random, 4000, 70000);
        for (int i = 0; i < stretch; ++i) {
            bytes.push_back(static_cast<uint8_t>(Uniform(random, 0x40, 0xFF)));
        }
    }
    bytes.resize(size);
    return bytes;
}

// Terminators count up through the bytes from `first` on, so 256 - `first` tokens pass
// before one comes back: more than a ring holds.
static uint8_t Terminator(size_t token, int first) {
    return static_cast<uint8_t>(first + static_cast<int>(token % static_cast<size_t>(256 - first)));
}

Bytes SharedPrefixes(size_t size, int prefix) {
    Bytes bytes;
    for (size_t token = 0; bytes.size() < size; ++token) {
        bytes.push_back(0x01);
        for (int i = 0; i < prefix; ++i) {
            bytes.push_back(static_cast<uint8_t>(0x02 + i));
        }
        bytes.push_back(Terminator(token, 0x20));
    }
    bytes.resize(size);
    return bytes;
}

Bytes PeriodicStretches(size_t size, int period, int length) {
    Bytes bytes;
    for (size_t stretch = 0; bytes.size() < size; ++stretch) {
        for (int i = 0; i < length; ++i) {
            bytes.push_back(static_cast<uint8_t>(0x01 + i % period));
        }
        bytes.push_back(Terminator(stretch, 0x20));
    }
    bytes.resize(size);
    return bytes;
}

Bytes Generate(Kind kind, Random& random, size_t size, MapHeader& header) {
    if (kind == kHeaderTokens) {
        header = RandomHeader(random);
        return HeaderTokens(random, size, header);
    }
    Bytes input;
    switch (kind) {
        case kRandomBytes:
            input = RandomBytes(random, size);
            break;
        case kSmallAlphabet:
            input = SmallAlphabet(random, size);
            break;
        case kMapCells:
            input = TileRows(random, size);
            break;
        case kLongRuns:
            input = LongRuns(random, size);
            break;
        case kFarRepeats:
            input = FarRepeats(random, size);
            break;
        default:
            input = Chance(random, 50)
                        ? SharedPrefixes(size, Uniform(random, 0, 16))
                        : PeriodicStretches(size, Uniform(random, 1, 6), Uniform(random, 2, 40));
            break;
    }
    header = HeaderFor(random, input);
    return input;
}
