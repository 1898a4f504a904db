#include "reference_encoder.h"

#include <cstddef>

namespace {

void PutByte(std::vector<uint8_t>& nibbles, uint8_t byte) {
    nibbles.push_back(byte >> 4);
    nibbles.push_back(byte & 0xF);
}

void FlushLiterals(std::vector<uint8_t>& nibbles, std::vector<uint8_t>& pending) {
    if (pending.size() == 1) {
        nibbles.push_back(1);
    } else if (pending.size() == 2) {
        nibbles.push_back(2);
    } else if (pending.size() >= 3) {
        nibbles.push_back(0);
        nibbles.push_back(static_cast<uint8_t>(pending.size()));
    }
    for (uint8_t byte : pending) {
        PutByte(nibbles, byte);
    }
    pending.clear();
}

}  // namespace

std::vector<uint8_t> ReferenceEncode(const std::vector<uint8_t>& input,
                                     const tessary::MapHeader& header) {
    const long n = static_cast<long>(input.size());
    std::vector<uint8_t> nibbles;
    std::vector<uint8_t> pending;
    long p = 0;
    while (p < n) {
        const uint8_t v = input[p];

        // Back-reference: the earlier positions holding v, newest first. A ring keeps the
        // last 256 of them and never compares its oldest, so at most 255 are looked at.
        long refLength = 0;
        std::vector<uint8_t> ref;
        {
            long keyLength = n - p - 1;
            if (keyLength > 17) {
                keyLength = 17;
            }
            long best = -1;
            long bestSource = -1;
            long looked = 0;
            for (long q = p - 1; q >= 0 && looked < 255; --q) {
                if (input[q] != v) {
                    continue;
                }
                ++looked;
                long k = 0;
                while (k < keyLength && input[q + 1 + k] == input[p + 1 + k]) {
                    ++k;
                }
                if (k > best) {
                    best = k;
                    bestSource = q;
                }
            }
            if (best >= 1) {
                long length = best + 1;
                const long d = p - bestSource;
                if (length > d) {
                    length = d;
                }
                if (length == 2 && d == 2) {
                    ref = {14};
                } else if (length == 2 && d <= 16) {
                    ref = {9, static_cast<uint8_t>(d - 2)};
                } else if (length >= 3 && d - length <= 255) {
                    ref = {10, static_cast<uint8_t>(length - 3),
                           static_cast<uint8_t>((d - length) >> 4),
                           static_cast<uint8_t>((d - length) & 15)};
                } else if (length >= 3 && d <= 4354) {
                    const long x = d - 259;
                    ref = {11, static_cast<uint8_t>(length - 3), static_cast<uint8_t>(x >> 8),
                           static_cast<uint8_t>((x >> 4) & 15), static_cast<uint8_t>(x & 15)};
                } else if (length >= 3 && d <= 65535) {
                    ref = {12,
                           static_cast<uint8_t>(length - 3),
                           static_cast<uint8_t>(d >> 12),
                           static_cast<uint8_t>((d >> 8) & 15),
                           static_cast<uint8_t>((d >> 4) & 15),
                           static_cast<uint8_t>(d & 15)};
                }
                if (!ref.empty()) {
                    refLength = length;
                }
            }
        }

        // Run of v.
        long r = 1;
        while (r < 18 && p + r < n && input[p + r] == v) {
            ++r;
        }
        std::vector<uint8_t> run;
        const uint8_t hi = v >> 4;
        const uint8_t lo = v & 15;
        const uint8_t rn = static_cast<uint8_t>(r - 3);
        if (r == 1 && v == header.singleByteC) {
            run = {7};
        } else if (r == 1 && v == header.singleByteD) {
            run = {8};
        } else if (r == 2 && v == header.singleByteC) {
            run = {7, 7};
        } else if (r == 2 && v == header.singleByteD) {
            run = {8, 8};
        } else if (r == 2) {
            run = {1, hi, lo, 13};
        } else if (r >= 3 && v == header.fillByteA) {
            run = {4, rn};
        } else if (r >= 3 && v == header.fillByteB) {
            run = {5, rn};
        } else if (r == 3 && v == header.singleByteC) {
            run = {7, 7, 7};
        } else if (r == 3 && v == header.singleByteD) {
            run = {8, 8, 8};
        } else if (r == 4 && v == header.singleByteC) {
            run = {7, 7, 14};
        } else if (r == 4 && v == header.singleByteD) {
            run = {8, 8, 14};
        } else if (r >= 3) {
            run = {3, rn, hi, lo};
        }
        const long runLength = run.empty() ? 0 : r;

        // Word from the header.
        std::vector<uint8_t> word;
        if (p + 1 < n) {
            const int w = input[p] + 256 * input[p + 1];
            if (w == header.wordW) {
                word = {6};
            } else {
                for (int i = 15; i >= 0; --i) {
                    if (w == header.dictionary[i]) {
                        word = {15, static_cast<uint8_t>(i)};
                    }
                }
            }
        }
        const long wordLength = word.empty() ? 0 : 2;

        // Greatest length per nibble; an absent candidate counts as length 0 per 1 nibble.
        // On equal value: word, then run, then back-reference.
        const long refCost = ref.empty() ? 1 : static_cast<long>(ref.size());
        const long runCost = run.empty() ? 1 : static_cast<long>(run.size());
        const long wordCost = word.empty() ? 1 : static_cast<long>(word.size());
        std::vector<uint8_t>* best = &word;
        long bestLength = wordLength;
        long bestCost = wordCost;
        if (runLength * bestCost > bestLength * runCost) {
            best = &run;
            bestLength = runLength;
            bestCost = runCost;
        }
        if (refLength * bestCost > bestLength * refCost) {
            best = &ref;
            bestLength = refLength;
        }

        if (bestLength == 0) {
            pending.push_back(v);
            if (pending.size() == 15) {
                FlushLiterals(nibbles, pending);
            }
            p += 1;
        } else {
            FlushLiterals(nibbles, pending);
            nibbles.insert(nibbles.end(), best->begin(), best->end());
            p += bestLength;
        }
    }
    FlushLiterals(nibbles, pending);
    nibbles.push_back(0);
    nibbles.push_back(0);

    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < nibbles.size(); i += 2) {
        const uint8_t low = i + 1 < nibbles.size() ? nibbles[i + 1] : 0;
        bytes.push_back(static_cast<uint8_t>(nibbles[i] << 4 | low));
    }
    return bytes;
}
