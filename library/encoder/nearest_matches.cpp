#include "encoder/nearest_matches.h"

#include <algorithm>
#include <utility>

namespace tessary {

namespace {

constexpr int32_t kMinCopyLength = kMinCount;

// A sweep runs once per position and length, and costs more when its parts are calls.
#if defined(__GNUC__) || defined(__clang__)
#define TESSARY_FLATTEN __attribute__((flatten))
#else
#define TESSARY_FLATTEN
#endif

// Bytes the same at `a` and at `b`, up to `limit`.
int32_t CommonLength(const uint8_t* input, int32_t a, int32_t b, int32_t limit) {
    int32_t common = 0;
    while (common < limit && input[a + common] == input[b + common]) {
        ++common;
    }
    return common;
}

}  // namespace

// The strings of each length are sorted into exact classes, one level per length: a class of
// length L+1 is a class of length L and one more byte. Sweeping the positions in order, each
// position learns the previous start of its string, and from it the nearest start that does
// not overlap it. Only the first two bytes are hashed, and that table compares them, so no
// match needs verifying afterwards. What a position keeps is which command reaches each
// length, and two distances, so little memory is touched.

NearestMatches::NearestMatches(const uint8_t* input, int32_t count)
    : input_(input),
      packed_(static_cast<size_t>(std::max(count, 0)), 0),
      distances_(2 * static_cast<size_t>(std::max(count, 0)), 0) {
    if (count < kMinMatchLength) {
        return;
    }
    // No level has more classes than positions, so nothing grows later.
    const size_t size = static_cast<size_t>(count);
    parents_.reserve(size);
    groups_.reserve(size);
    places_.assign(size, Place{});
    while (childBits_ < 4 || (size_t{1} << childBits_) < 2 * size) {
        ++childBits_;
    }
    findPairs(input, count);
    int32_t left = count - 1;
    int32_t length = kMinMatchLength + 1;
    for (; length <= kMaxMatchLength && left > 0; ++length) {
        std::swap(parents_, groups_);
        left = extend(count, length);
    }
    // What the positions still left found for the longest lengths is still to be entered.
    for (int32_t p = 0; left > 0 && p < count; ++p) {
        recordPending(p, length - 1);
    }
    // Only the summary is kept; the memory goes back before the caller needs more.
    parents_ = std::vector<Group>();
    groups_ = std::vector<Group>();
    places_ = std::vector<Place>();
    live_ = std::vector<int32_t>();
    children_ = std::vector<ChildSlot>();
    childSlots_ = std::vector<uint32_t>();
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
        const uint16_t back = places[before].sourceBack;
        source = back == 0 ? -1 : before - back;
        for (int32_t q = position - length; q > before - length && q >= 0; --q) {
            if (places[q].id == place.id) {
                source = q;
                break;
            }
        }
    }
    const int32_t back = source < 0 || position - source > kMaxDistance ? 0 : position - source;
    // A run of lengths with the same nearest start is entered at once, when it ends.
    if (back != place.sourceBack) {
        recordPending(position, length - 1);
        place.sourceBack = static_cast<uint16_t>(back);
        place.since = static_cast<uint8_t>(length);
    }
}

inline void NearestMatches::recordPending(int32_t position, int32_t longest) {
    const Place& place = places_[static_cast<size_t>(position)];
    if (place.sourceBack != 0) {
        record(position, place.since, longest, place.sourceBack);
    }
}

// Lengths come in increasing order, and a longer string is never nearer, so the last length
// in each reach is the longest.
void NearestMatches::record(int32_t position, int32_t from, int32_t to, int32_t distance) {
    uint32_t& packed = packed_[static_cast<size_t>(position)];
    uint16_t* const distances = &distances_[2 * static_cast<size_t>(position)];
    const int32_t nearFrom = std::max(std::max(from, kMinCopyLength), distance - kCopyNearReach);
    uint32_t near = nearFrom <= to ? (uint32_t{2} << to) - (uint32_t{1} << nearFrom) : 0;
    if (from == kMinMatchLength && distance <= kMaxCopyWordDistance) {
        near |= uint32_t{1} << kMinMatchLength;
    }
    const bool mid = to > kMinMatchLength && distance <= kMaxCopyMidDistance;
    const uint32_t keep =
        mid ? ~(kLengthBits << kFarShift | kLengthBits << kMidShift) : ~(kLengthBits << kFarShift);
    packed = (packed & keep) | near | static_cast<uint32_t>(to) << kFarShift |
             (mid ? static_cast<uint32_t>(to) << kMidShift : 0);
    distances[0] = mid ? static_cast<uint16_t>(distance) : distances[0];
    distances[1] = static_cast<uint16_t>(distance);
}

// Makes `position` the newest member of class `id`, after `previous`.
inline void NearestMatches::join(int32_t id, int32_t previous, int32_t position) {
    Place* const places = places_.data();
    Place& place = places[position];
    place.id = id;
    place.previous = previous;
    place.later = false;
    if (previous >= 0) {
        places[previous].later = true;
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
    // Ids fit 16 bits, as there are no more slots; a bit per slot tells which are taken.
    std::vector<uint16_t> slotIds(size_t{1} << bits, 0);
    std::vector<uint64_t> taken(((size_t{1} << bits) + 63) / 64, 0);
    std::vector<uint16_t> slotPairs(direct ? 0 : size_t{1} << bits, 0);
    auto isTaken = [&taken](uint32_t slot) { return (taken[slot >> 6] >> (slot & 63) & 1) != 0; };
    groups_.clear();
    for (int32_t p = 0; p + 1 < count; ++p) {
        const uint16_t pair = static_cast<uint16_t>(input[p] | input[p + 1] << 8);
        uint32_t slot = pair;
        if (!direct) {
            slot = (pair * 0x9E3779B1u) >> (32 - bits);
            while (isTaken(slot) && slotPairs[slot] != pair) {
                slot = (slot + 1) & mask;
            }
            slotPairs[slot] = pair;
        }
        if (!isTaken(slot)) {
            taken[slot >> 6] |= uint64_t{1} << (slot & 63);
            slotIds[slot] = static_cast<uint16_t>(groups_.size());
            groups_.push_back(Group{});
        }
        join(slotIds[slot], groups_[static_cast<size_t>(slotIds[slot])].newest, p);
        findSource(p, kMinMatchLength);
    }
}

// A parent's first children are searched in its list, most recently used first, since
// neighbouring positions tend to repeat the same strings; beyond that many, in the table,
// since each further step down the list costs a cache miss as a table look does.
constexpr uint16_t kListedChildren = 2;

inline int32_t NearestMatches::childOf(int32_t parentId, uint8_t byte) {
    Group& parent = parents_[static_cast<size_t>(parentId)];
    int32_t before = -1;
    int32_t id = parent.firstChild;
    for (int32_t walked = 0; id >= 0 && walked < kListedChildren; ++walked) {
        Group& child = groups_[static_cast<size_t>(id)];
        if (child.lastByte == byte) {
            if (before >= 0) {
                groups_[static_cast<size_t>(before)].nextSibling = child.nextSibling;
                child.nextSibling = parent.firstChild;
                parent.firstChild = id;
            }
            return id;
        }
        before = id;
        id = child.nextSibling;
    }
    if (parent.children > kListedChildren) {
        const uint32_t mask = (uint32_t{1} << childBits_) - 1;
        for (uint32_t slot = childSlot(parentId, byte); children_[slot].parent >= 0;
             slot = (slot + 1) & mask) {
            const ChildSlot& taken = children_[slot];
            if (taken.parent == parentId &&
                groups_[static_cast<size_t>(taken.id)].lastByte == byte) {
                return taken.id;
            }
        }
    }
    id = static_cast<int32_t>(groups_.size());
    Group child;
    child.nextSibling = parent.firstChild;
    child.lastByte = byte;
    groups_.push_back(child);
    parent.firstChild = id;
    ++parent.children;
    if (parent.children == kListedChildren + 1) {
        for (int32_t listed = id; listed >= 0;
             listed = groups_[static_cast<size_t>(listed)].nextSibling) {
            listChild(parentId, listed);
        }
    } else if (parent.children > kListedChildren) {
        listChild(parentId, id);
    }
    return id;
}

uint32_t NearestMatches::childSlot(int32_t parentId, uint8_t byte) const {
    return (static_cast<uint32_t>(parentId) * 0x9E3779B1u ^ byte * 0x85EBCA77u) >>
           (32 - childBits_);
}

// The table is made the first time it is needed: inputs whose strings have few
// continuations never pay for it.
void NearestMatches::listChild(int32_t parentId, int32_t id) {
    if (children_.empty()) {
        children_.assign(size_t{1} << childBits_, ChildSlot{});
        childSlots_.reserve(size_t{1} << (childBits_ - 1));
    }
    const uint32_t mask = (uint32_t{1} << childBits_) - 1;
    uint32_t slot = childSlot(parentId, groups_[static_cast<size_t>(id)].lastByte);
    while (children_[slot].parent >= 0) {
        slot = (slot + 1) & mask;
    }
    children_[slot] = {parentId, id};
    childSlots_.push_back(slot);
}

// Carries a position's state from length - 1 to `length`; false when it drops out for good.
inline bool NearestMatches::advance(Place* places, int32_t p, int32_t length) {
    const uint8_t* const input = input_;
    Place& place = places[p];
    // A string found only once is found only once when longer, too.
    if (place.previous < 0 && !place.later) {
        recordPending(p, length - 1);
        place = Place{};
        return false;
    }
    const uint8_t byte = input[p + length - 1];
    const int32_t before = place.previous;
    // Usually the previous start of the shorter string goes on as this one does; then it is
    // the previous start of this string too, and no search is needed.
    if (before >= 0 && input[before + length - 1] == byte) {
        join(places[before].id, before, p);
    } else {
        const int32_t id = childOf(place.id, byte);
        join(id, groups_[static_cast<size_t>(id)].newest, p);
    }
    if (place.sourceBack != 0) {
        findSource(p, length);
    }
    return true;
}

// Turns each position's state for length - 1 into that for `length`, in place: a position
// reads its own old state and only the new state of earlier positions.
TESSARY_FLATTEN int32_t NearestMatches::extend(int32_t count, int32_t length) {
    groups_.clear();
    for (uint32_t slot : childSlots_) {
        children_[slot] = ChildSlot{};
    }
    childSlots_.clear();
    Place* const places = places_.data();
    // Positions too near the end have no string of this length; no earlier one reads them.
    const int32_t end = std::max(count - length + 1, 0);
    for (int32_t p = end; p < count; ++p) {
        recordPending(p, length - 1);
        places[p] = Place{};
    }
    // Until most positions have dropped out, all are visited; then only those left, from a
    // list narrowed in the same pass, since only earlier positions are read.
    int32_t kept = 0;
    if (live_.empty()) {
        for (int32_t p = 0; p < end; ++p) {
            kept += advance(places, p, length) ? 1 : 0;
        }
        if (kept < count / 4) {
            live_.reserve(static_cast<size_t>(kept));
            for (int32_t p = 0; p < end; ++p) {
                if (places[p].id >= 0) {
                    live_.push_back(p);
                }
            }
        }
    } else {
        while (!live_.empty() && live_.back() >= end) {
            live_.pop_back();
        }
        for (const int32_t p : live_) {
            if (advance(places, p, length)) {
                live_[static_cast<size_t>(kept++)] = p;
            }
        }
        live_.resize(static_cast<size_t>(kept));
    }
    return kept;
}

int32_t NearestMatches::copyCost(int32_t position, int32_t length) const {
    const Reach found = reach(position);
    if (found.near >> length & 1) {
        return CommandNibbles(length == kMinMatchLength ? Opcode::CopyWord : Opcode::CopyNear);
    }
    if (length < kMinCopyLength) {
        return 0;
    }
    return length <= found.mid   ? CommandNibbles(Opcode::CopyMid)
           : length <= found.far ? CommandNibbles(Opcode::CopyFar)
                                 : 0;
}

// Within CopyWord's and CopyNear's reach the nearest distance is found again by trying each:
// there are at most 256, and only the copies written ask.
int32_t NearestMatches::distance(int32_t position, int32_t length) const {
    const int32_t cost = copyCost(position, length);
    if (cost == CommandNibbles(Opcode::CopyMid) || cost == CommandNibbles(Opcode::CopyFar)) {
        return distances_[2 * static_cast<size_t>(position) +
                          (cost == CommandNibbles(Opcode::CopyFar) ? 1 : 0)];
    }
    const int32_t farthest = std::min(
        position, length == kMinMatchLength ? kMaxCopyWordDistance : length + kCopyNearReach);
    for (int32_t distance = length; distance <= farthest; ++distance) {
        if (CommonLength(input_, position - distance, position, length) == length) {
            return distance;
        }
    }
    return 0;
}

}  // namespace tessary
