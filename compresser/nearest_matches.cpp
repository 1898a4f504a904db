#include "nearest_matches.h"

#include <algorithm>
#include <utility>

// The strings of each length are sorted into exact classes, one level per length: a class of
// length L+1 is a class of length L and one more byte. Sweeping the positions in order, each
// position learns the previous start of its string, and from it the nearest start that does
// not overlap it. Only the first two bytes are hashed, and that table compares them, so no
// match needs verifying afterwards.

NearestMatches::NearestMatches(const uint8_t* input, int32_t count)
    : codes_(
          (static_cast<size_t>(std::max(count, 0)) + kBlock - 1) / kBlock * kBlock * kMatchLengths,
          0) {
    if (count < kMinMatchLength) {
        return;
    }
    // No level has more classes than positions, so nothing grows later.
    const size_t size = static_cast<size_t>(count);
    parents_.reserve(size);
    groups_.reserve(size);
    places_.assign(size, Place{});
    findPairs(input, count);
    for (int32_t length = kMinMatchLength + 1; length <= kMaxMatchLength && length <= count;
         ++length) {
        std::swap(parents_, groups_);
        extend(input, count, length);
    }
    // Only the distances are kept; the memory goes back before the caller needs more.
    parents_ = std::vector<Group>();
    groups_ = std::vector<Group>();
    places_ = std::vector<Place>();
}

int32_t NearestMatches::distance(int32_t position, int32_t length) const {
    uint32_t code = codes_[slot(position, length)];
    while (code >= kSameNear && code < kListedNear) {
        --length;
        code = codes_[slot(position, length)];
    }
    if (code <= kExact) {
        return code == 0 ? 0 : length + static_cast<int32_t>(code) - 1;
    }
    const std::vector<Listed>& list = listed_[length - kMinMatchLength];
    const auto found = std::lower_bound(
        list.begin(), list.end(), position,
        [](const Listed& listed, int32_t wanted) { return listed.position < wanted; });
    return found != list.end() && found->position == position ? found->distance : 0;
}

// The code of a distance that kExact cannot hold; `shorterSource` is the source found for
// one byte less.
void NearestMatches::setFar(int32_t position, int32_t length, int32_t source,
                            int32_t shorterSource) {
    const int32_t distance = position - source;
    const uint32_t reach = distance <= length + kCopyNearReach ? 0
                           : distance <= kMaxCopyMidDistance   ? 1
                                                               : 2;
    uint8_t& code = codes_[slot(position, length)];
    if (source == shorterSource && length > kMinMatchLength) {
        code = static_cast<uint8_t>(kSameNear + reach);
    } else {
        code = static_cast<uint8_t>(kListedNear + reach);
        listed_[length - kMinMatchLength].push_back({position, distance});
    }
}

// The nearest start a copy may use is the previous start of the same string unless that one
// overlaps. Then it is the nearest among the starts that overlap the previous one but not
// this position, or failing those, the one the previous start found. Call only when there
// was one for a byte less, since a longer string never has a nearer one.
inline void NearestMatches::findSource(int32_t position, int32_t length) {
    Place* const places = places_.data();
    Place& place = places[position];
    int32_t source = place.previous;
    if (source >= 0 && position - source < length) {
        const int32_t before = source;
        source = places[before].source;
        for (int32_t q = position - length; q > before - length && q >= 0; --q) {
            if (places[q].id == place.id) {
                source = q;
                break;
            }
        }
    }
    const int32_t shorterSource = place.source;
    if (source < 0 || position - source > kMaxDistance) {
        place.source = -1;
        return;
    }
    place.source = source;
    const uint32_t exact = static_cast<uint32_t>(position - source - length + 1);
    if (exact <= kExact) {
        codes_[slot(position, length)] = static_cast<uint8_t>(exact);
    } else {
        setFar(position, length, source, shorterSource);
    }
}

// Makes `position` the newest member of class `id`, after `previous`.
inline void NearestMatches::join(int32_t id, int32_t previous, int32_t position) {
    Place* const places = places_.data();
    Place& place = places[position];
    place.id = id;
    place.previous = previous;
    place.next = -1;
    if (previous >= 0) {
        places[previous].next = position;
    }
    groups_[static_cast<size_t>(id)].newest = position;
}

// Pairs get dense ids through a table indexed by the pair itself when the input is large,
// and through a small open-addressed one otherwise, so a short input costs little to set up.
void NearestMatches::findPairs(const uint8_t* input, int32_t count) {
    uint32_t bits = 4;
    while (bits < 16 && (size_t{1} << bits) < 2 * static_cast<size_t>(count)) {
        ++bits;
    }
    const bool direct = bits == 16;
    const uint32_t mask = (uint32_t{1} << bits) - 1;
    std::vector<int32_t> slotIds(size_t{1} << bits, -1);
    std::vector<uint16_t> slotPairs(direct ? 0 : size_t{1} << bits, 0);
    groups_.clear();
    for (int32_t p = 0; p + 1 < count; ++p) {
        const uint16_t pair = static_cast<uint16_t>(input[p] | input[p + 1] << 8);
        uint32_t slot = pair;
        if (!direct) {
            slot = (pair * 0x9E3779B1u) >> (32 - bits);
            while (slotIds[slot] >= 0 && slotPairs[slot] != pair) {
                slot = (slot + 1) & mask;
            }
            slotPairs[slot] = pair;
        }
        if (slotIds[slot] < 0) {
            slotIds[slot] = static_cast<int32_t>(groups_.size());
            groups_.push_back(Group{});
        }
        join(slotIds[slot], groups_[static_cast<size_t>(slotIds[slot])].newest, p);
        places_[static_cast<size_t>(p)].source = 0;  // findSource's precondition, vacuous here
        findSource(p, kMinMatchLength);
    }
}

// Most recently used first, since neighbouring positions tend to repeat the same strings.
inline int32_t NearestMatches::childOf(Group& parent, uint8_t byte) {
    int32_t before = -1;
    int32_t id = parent.firstChild;
    while (id >= 0 && groups_[static_cast<size_t>(id)].lastByte != byte) {
        before = id;
        id = groups_[static_cast<size_t>(id)].nextSibling;
    }
    if (id < 0) {
        id = static_cast<int32_t>(groups_.size());
        Group child;
        child.nextSibling = parent.firstChild;
        child.lastByte = byte;
        groups_.push_back(child);
        parent.firstChild = id;
    } else if (before >= 0) {
        Group& child = groups_[static_cast<size_t>(id)];
        groups_[static_cast<size_t>(before)].nextSibling = child.nextSibling;
        child.nextSibling = parent.firstChild;
        parent.firstChild = id;
    }
    return id;
}

// Turns each position's state for length - 1 into that for `length`, in place: a position
// reads its own old state and only the new state of earlier positions.
void NearestMatches::extend(const uint8_t* input, int32_t count, int32_t length) {
    groups_.clear();
    Place* const places = places_.data();
    for (int32_t p = 0; p + length <= count; ++p) {
        Place& place = places[p];
        // A string found only once is found only once when longer, too.
        if (place.previous < 0 && place.next < 0) {
            place = Place{};
            continue;
        }
        const uint8_t byte = input[p + length - 1];
        const int32_t before = place.previous;
        // Usually the previous start of the shorter string goes on as this one does; then it
        // is the previous start of this string too, and no search is needed.
        if (before >= 0 && input[before + length - 1] == byte) {
            join(places[before].id, before, p);
        } else {
            const int32_t id = childOf(parents_[static_cast<size_t>(place.id)], byte);
            join(id, groups_[static_cast<size_t>(id)].newest, p);
        }
        if (place.source >= 0) {
            findSource(p, length);
        }
    }
    // Positions too near the end for this length have no class of it.
    for (int32_t p = std::max(count - length + 1, 0); p < count; ++p) {
        places[p] = Place{};
    }
}
