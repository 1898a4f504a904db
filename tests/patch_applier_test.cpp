// The BPS and IPS patch applier on patches written out byte by byte. BPS numbers below 128
// are one byte, the number with its high bit set: 0x88 is 8. An action is (length - 1) << 2
// | kind (0 SourceRead, 1 TargetRead, 2 SourceCopy, 3 TargetCopy); a relative offset is
// its distance << 1 | 1 when negative.
#include "patch/patch_applier.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_support.h"

using namespace tessary;

namespace {

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

const Bytes kSource = Text("abcdefgh");

Bytes Le32(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

Bytes Crc(const Bytes& bytes) {
    return Le32(static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size()))));
}

// The magic, `body`, and the footer for `source` and `target`.
Bytes Bps(const Bytes& body, const Bytes& target, const Bytes& source = kSource) {
    const Bytes patch = Concat({Text("BPS1"), body, Crc(source), Crc(target)});
    return Concat({patch, Crc(patch)});
}

Bytes Ips(const Bytes& records) {
    return Concat({Text("PATCH"), records});
}

struct PatchCase {
    const char* name;
    Bytes patch;
    ApplyStatus status;
    Bytes target;        // what an applied patch gives
    const char* reason;  // part of the refusal's explanation
    Bytes source = kSource;
};

PatchCase Applies(const char* name, const Bytes& patch, const Bytes& target) {
    return {name, patch, ApplyStatus::Applied, target, ""};
}

// A BPS patch that claims to give `target` from the usual source.
PatchCase BpsGives(const char* name, const Bytes& body, const Bytes& target) {
    return Applies(name, Bps(body, target), target);
}

PatchCase Refused(const char* name, const Bytes& patch, ApplyStatus status, const char* reason,
                  const Bytes& source = kSource) {
    return {name, patch, status, {}, reason, source};
}

PatchCase Damaged(const char* name, const Bytes& patch, const char* reason) {
    return Refused(name, patch, ApplyStatus::Damaged, reason);
}

// A BPS patch with an arbitrary target CRC: the checks meant here come first.
PatchCase BpsDamaged(const char* name, const Bytes& body, const char* reason) {
    return Damaged(name, Bps(body, {}), reason);
}

std::vector<PatchCase> PatchCases() {
    const Bytes copyAll = Bps({0x88, 0x88, 0x80, 0x9C}, kSource);
    Bytes flipped = copyAll;
    flipped[7] ^= 1;
    const Bytes eof = Text("EOF");
    return {
        // BPS actions; sizes 8 and the target's, then no metadata unless said.
        BpsGives("SourceReadCopiesInPlace", {0x88, 0x88, 0x80, 0x9C}, kSource),
        BpsGives("SourceReadAtOutputOffset", {0x88, 0x83, 0x80, 0x81, 'X', 0x84}, Text("Xbc")),
        BpsGives("TargetReadAfterMetadata", {0x88, 0x83, 0x82, '{', '}', 0x89, 'x', 'y', 'z'},
                 Text("xyz")),
        // +4 gives "ef", -6 from 6 gives "ab", +0 continues with "cd".
        BpsGives("SourceCopyCursorMovesBothWays",
                 {0x88, 0x86, 0x80, 0x86, 0x88, 0x86, 0x8D, 0x86, 0x80}, Text("efabcd")),
        // "abc", +1 gives "bc", -3 from 3 gives "a".
        BpsGives("TargetCopyCursorMovesBothWays",
                 {0x88, 0x86, 0x80, 0x89, 'a', 'b', 'c', 0x87, 0x82, 0x83, 0x87}, Text("abcbca")),
        // Target size 202 (0x4A 0x80) and a copy of 200 (action 799: 0x1F 0x85) from 0.
        BpsGives("TargetCopyOverlapsIntoRun",
                 {0x88, 0x4A, 0x80, 0x80, 0x85, 'x', 'y', 0x1F, 0x85, 0x80},
                 Repeat(Text("xy"), 101)),
        BpsGives("EmptyTarget", {0x88, 0x80, 0x80}, {}),

        BpsDamaged("SourceReadPastSource", {0x88, 0x89, 0x80, 0xA0}, "past the source"),
        BpsDamaged("ActionPastTargetSize", {0x88, 0x82, 0x80, 0x89, 'x', 'y', 'z'},
                   "past the target"),
        BpsDamaged("TargetReadIntoFooter", {0x88, 0x85, 0x80, 0x91, 'x', 'y'}, "into the footer"),
        BpsDamaged("SourceCopyBeforeSource", {0x88, 0x81, 0x80, 0x82, 0x83}, "outside the source"),
        BpsDamaged("SourceCopyPastSource", {0x88, 0x82, 0x80, 0x86, 0x8E}, "past the source"),
        BpsDamaged("TargetCopyBeforeAnyWrite", {0x88, 0x81, 0x80, 0x83, 0x80}, "not yet written"),
        BpsDamaged("TargetCopyOfUnwrittenByte", {0x88, 0x82, 0x80, 0x81, 'a', 0x83, 0x82},
                   "not yet written"),
        BpsDamaged("TargetCopyBeforeTarget", {0x88, 0x82, 0x80, 0x81, 'a', 0x83, 0x83},
                   "not yet written"),
        BpsDamaged("ActionsStopShort", {0x88, 0x83, 0x80, 0x85, 'x', 'y'}, "write 2 of the 3"),
        BpsDamaged("ActionRunsIntoFooter", {0x88, 0x80, 0x80, 0x00}, "into the footer"),
        BpsDamaged("NumberTooLong", {0x88, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x80},
                   "sizes or metadata"),
        BpsDamaged("MetadataIntoFooter", {0x88, 0x80, 0x90, 'm'}, "sizes or metadata"),
        // 2^28 + 1 bytes.
        BpsDamaged("TargetOverLimit", {0x88, 0x01, 0x7F, 0x7E, 0xFE, 0x80}, "over the limit"),
        Damaged("BpsCut", Bytes(copyAll.begin(), copyAll.end() - 1), "CRC"),
        Damaged("BpsByteChanged", flipped, "CRC"),
        Damaged("BpsTooShort", Concat({Text("BPS1"), {0x88, 0x88}, Bytes(12, 0)}), "short"),
        Refused("BpsSourceSizeDiffers", Bps({0x87, 0x80, 0x80}, {}), ApplyStatus::WrongSource,
                "7 bytes"),
        Refused("BpsOtherSource", copyAll, ApplyStatus::WrongSource, "CRC", Text("abcdefgX")),
        Refused("BpsResultDiffers", Bps({0x88, 0x81, 0x80, 0x81, 'x'}, Text("y")),
                ApplyStatus::WrongResult, "CRC"),

        // IPS: a 3-byte offset, a 2-byte size, then the bytes, or a 2-byte run length and
        // its byte.
        Applies("IpsNoRecords", Ips(eof), kSource),
        Applies("IpsRecord", Ips(Concat({{0, 0, 2, 0, 2, 'X', 'Y'}, eof})), Text("abXYefgh")),
        Applies("IpsRunRecord", Ips(Concat({{0, 0, 1, 0, 0, 0, 3, 'Z'}, eof})), Text("aZZZefgh")),
        Applies("IpsLaterRecordsWin",
                Ips(Concat({{0, 0, 2, 0, 2, 'X', 'Y', 0, 0, 3, 0, 0, 0, 2, 'Q'}, eof})),
                Text("abXQQfgh")),
        Applies("IpsRecordExtendsWithZeros", Ips(Concat({{0, 0, 10, 0, 2, 'X', 'Y'}, eof})),
                Concat({kSource, {0, 0, 'X', 'Y'}})),
        Applies("IpsRunExtends", Ips(Concat({{0, 0, 7, 0, 0, 0, 3, 'Z'}, eof})),
                Text("abcdefgZZZ")),
        Applies("IpsTruncates", Ips(Concat({eof, {0, 0, 5}})), Text("abcde")),
        Applies("IpsRecordThenTruncates", Ips(Concat({{0, 0, 0, 0, 1, 'X'}, eof, {0, 0, 3}})),
                Text("Xbc")),
        Damaged("IpsNoEof", Ips({}), "EOF"),
        Damaged("IpsNoEofAfterRecord", Ips({0, 0, 2, 0, 1, 'X'}), "EOF"),
        Damaged("IpsSizeCutShort", Ips({0, 0, 2, 0}), "cut short"),
        Damaged("IpsBytesCutShort", Ips({0, 0, 2, 0, 4, 'X', 'Y'}), "cut short"),
        Damaged("IpsRunCutShort", Ips({0, 0, 2, 0, 0, 0}), "cut short"),
        Damaged("IpsEmptyRun", Ips(Concat({{0, 0, 2, 0, 0, 0, 0, 'Z'}, eof})), "no bytes"),
        Damaged("IpsTruncatesPastEnd", Ips(Concat({eof, {0, 0, 9}})), "past the result"),
        Damaged("IpsStrayByte", Ips(Concat({eof, {0}})), "stray"),
        Damaged("IpsStrayBytesAfterTruncation", Ips(Concat({eof, {0, 0, 5, 0}})), "stray"),

        Refused("Empty", {}, ApplyStatus::NotAPatch, "neither"),
        Refused("BpsMagicCut", Text("BPS"), ApplyStatus::NotAPatch, "neither"),
        Refused("OtherBpsVersion",
                Concat({Text("BPS2"), Bytes(copyAll.begin() + 4, copyAll.end())}),
                ApplyStatus::NotAPatch, "neither"),
        Refused("IpsMagicCut", Concat({Text("PATC"), eof}), ApplyStatus::NotAPatch, "neither"),
    };
}

class ApplyPatchTest : public ::testing::TestWithParam<PatchCase> {};

TEST_P(ApplyPatchTest, GivesTargetOrRefusesWithReason) {
    const PatchCase& c = GetParam();
    const AppliedPatch applied = ApplyPatch(c.source, c.patch);
    EXPECT_EQ(applied.status, c.status) << applied.why;
    EXPECT_EQ(HexBytes(applied.target), HexBytes(c.target));
    if (c.status == ApplyStatus::Applied) {
        EXPECT_EQ(applied.why, "");
    } else {
        EXPECT_NE(applied.why.find(c.reason), std::string::npos) << applied.why;
    }
}

INSTANTIATE_TEST_SUITE_P(Patches, ApplyPatchTest, ::testing::ValuesIn(PatchCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
