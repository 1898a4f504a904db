#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "map_groups.h"
#include "settings_platform.h"
#include "temp_file.h"

namespace {

struct StringCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    std::string expected;
};

class ProfileStringTest : public ::testing::TestWithParam<StringCase> {};

TEST_P(ProfileStringTest, ReadsAsTheSystemDoes) {
    const StringCase& c = GetParam();
    TempFile file(c.text);
    ProfileReader reader(file.path());
    EXPECT_EQ(reader.readString(c.section, c.key, "?"), c.expected);
}

const std::string kLong(300, 'n');

INSTANTIATE_TEST_SUITE_P(
    Syntax, ProfileStringTest,
    ::testing::Values(
        StringCase{"Plain", "[S]\nk=v\n", "S", "k", "v"},
        StringCase{"CaseOfNames", "[sEcTiOn]\nKeY=v\n", "Section", "key", "v"},
        StringCase{"BlanksTrimmed", "  [ S ]  \n \t k \t=  a b \t\n", "S", "k", "a b"},
        StringCase{"DoubleQuotes", "[S]\nk = \" x \"\n", "S", "k", " x "},
        StringCase{"SingleQuotes", "[S]\nk='x'\n", "S", "k", "x"},
        StringCase{"LoneQuoteStays", "[S]\nk=\"x\n", "S", "k", "\"x"},
        StringCase{"MixedQuotesStay", "[S]\nk=\"x'\n", "S", "k", "\"x'"},
        StringCase{"SemicolonLineIsComment", "[S]\n ;k=a\nk=b\n", "S", "k", "b"},
        StringCase{"HashIsNotComment", "[S]\n#k=a\n", "S", "#k", "a"},
        StringCase{"TextAfterValueKept", "[S]\nk=a ; note\n", "S", "k", "a ; note"},
        StringCase{"LineWithoutEqualsIgnored", "[S]\nk\nk=b\n", "S", "k", "b"},
        StringCase{"FirstKeyWins", "[S]\nk=a\nk=b\n", "S", "k", "a"},
        StringCase{"FirstSectionCopyOnly", "[S]\nj=a\n[T]\n[S]\nk=b\n", "S", "k", "?"},
        StringCase{"OtherSectionNotSearched", "[T]\nk=a\n[S]\nj=b\n", "S", "k", "?"},
        StringCase{"KeyBeforeAnySection", "k=a\n[S]\n", "S", "k", "?"},
        StringCase{"CrLf", "[S]\r\nj=a\r\nk=b\r\n", "S", "k", "b"},
        StringCase{"CrOnly", "[S]\rj=a\rk=b\r", "S", "k", "b"},
        StringCase{"NoFinalNewline", "[S]\nk=b", "S", "k", "b"},
        StringCase{"ByteOrderMark", "\xEF\xBB\xBF[S]\nk=b\n", "S", "k", "b"},
        StringCase{"EmptyValue", "[S]\nk=\n", "S", "k", ""},
        StringCase{"AbsentKey", "[S]\nj=a\n", "S", "k", "?"},
        StringCase{"CutTo255", "[S]\nk=" + kLong + "\n", "S", "k", std::string(255, 'n')},
        StringCase{"KeysDifferByLeadingZero", "[S]\n01=a\n", "S", "1", "?"}),
    [](const auto& info) { return std::string(info.param.name); });

struct IntCase {
    const char* value;
    int expected;
};

class ProfileIntTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(ProfileIntTest, ParsesNumberForms) {
    TempFile file(std::string("[S]\nk=") + GetParam().value + "\n");
    EXPECT_EQ(ProfileReader(file.path()).readInt("S", "k", 77), GetParam().expected)
        << "value '" << GetParam().value << "'";
}

INSTANTIATE_TEST_SUITE_P(Forms, ProfileIntTest,
                         ::testing::Values(IntCase{"42", 42}, IntCase{"-3", -3}, IntCase{"+5", 5},
                                           IntCase{"0x10", 16}, IntCase{"0x7fFFffFF", 0x7FFFFFFF},
                                           IntCase{"-0x10", -16}, IntCase{"0X1f", 0},
                                           IntCase{"7abc", 7}, IntCase{"abc", 0}, IntCase{"", 77},
                                           IntCase{"\"0x20\"", 32}, IntCase{"4294967297", 1},
                                           IntCase{"4294967295", -1}, IntCase{"0x100000010", 16},
                                           IntCase{"00012", 12},
                                           IntCase{"0000000000000000000000000000012", 0}));

TEST(ProfileReader, MissingFileGivesDefaults) {
    ProfileReader reader("/nonexistent-folder/tessary.ini");
    EXPECT_EQ(reader.readInt("MapGroups", "Count", 15), 15);
    EXPECT_EQ(reader.readString("MapGroupName", "0", "?"), "?");
}

TEST(LoadMapGroups, MissingFileGivesFifteenDefaultGroups) {
    MapGroup groups[kMaxMapGroups];
    ASSERT_EQ(LoadMapGroupsFrom(ProfileReader("/nonexistent/tessary.ini"), groups, 64), 15);
    for (int i = 0; i < 15; ++i) {
        EXPECT_STREQ(groups[i].name, "?");
        EXPECT_EQ(groups[i].offset, 0);
        EXPECT_EQ(groups[i].vertical, 0);
        EXPECT_EQ(groups[i].height, 16);
    }
}

TEST(LoadMapGroups, CountIsCutToCapacityAndKeysBeyondAreIgnored) {
    TempFile file("[MapGroups]\nCount=100\n[MapGroupName]\n63=last\n64=beyond\n");
    MapGroup groups[kMaxMapGroups + 1];
    std::strcpy(groups[64].name, "untouched");
    ASSERT_EQ(LoadMapGroupsFrom(ProfileReader(file.path()), groups, 64), 64);
    EXPECT_STREQ(groups[63].name, "last");
    EXPECT_STREQ(groups[64].name, "untouched");
}

TEST(LoadMapGroups, ZeroOrNegativeCountReadsNoGroup) {
    for (const char* count : {"0", "-4"}) {
        TempFile file(std::string("[MapGroups]\nCount=") + count + "\n[MapGroupName]\n0=a\n");
        MapGroup groups[kMaxMapGroups];
        std::strcpy(groups[0].name, "untouched");
        EXPECT_EQ(LoadMapGroupsFrom(ProfileReader(file.path()), groups, 64), std::atoi(count));
        EXPECT_STREQ(groups[0].name, "untouched");
    }
}

TEST(LoadMapGroups, ReadsEachSectionAndFillsGapsWithDefaults) {
    TempFile file(
        "[MapGroups]\nCount=3\n"
        "[MapGroupName]\n0=Forest\n2=Caves\n01=Wrong key\n"
        "[MapGroupOffset]\n0=0x1F000\n2=4096\n"
        "[MapGroupVertical]\n2=1\n"
        "[MapGroupHeight]\n0=0\n2=24\n");
    MapGroup groups[kMaxMapGroups];
    ASSERT_EQ(LoadMapGroupsFrom(ProfileReader(file.path()), groups, 64), 3);
    EXPECT_STREQ(groups[0].name, "Forest");
    EXPECT_EQ(groups[0].offset, 0x1F000);
    EXPECT_EQ(groups[0].height, 0);  // stored as read; the conversions refuse it
    EXPECT_STREQ(groups[1].name, "?");
    EXPECT_EQ(groups[1].offset, 0);
    EXPECT_EQ(groups[1].vertical, 0);
    EXPECT_EQ(groups[1].height, 16);
    EXPECT_STREQ(groups[2].name, "Caves");
    EXPECT_EQ(groups[2].offset, 4096);
    EXPECT_EQ(groups[2].vertical, 1);
    EXPECT_EQ(groups[2].height, 24);
}

TEST(LoadMapGroups, LongNameIsCutTo255Characters) {
    TempFile file("[MapGroups]\nCount=1\n[MapGroupName]\n0=" + std::string(300, 'x') + "\n");
    MapGroup groups[kMaxMapGroups];
    ASSERT_EQ(LoadMapGroupsFrom(ProfileReader(file.path()), groups, 64), 1);
    EXPECT_EQ(std::string(groups[0].name), std::string(255, 'x'));
}

TEST(PathBesideProgram, NamesAFileInTheTestProgramsFolder) {
    std::string path = PathBesideProgram("tessary.ini");
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.substr(path.size() - 12), "/tessary.ini");
    std::string folder = path.substr(0, path.size() - 11);
    EXPECT_TRUE(std::filesystem::exists(folder + "common_tests"));
}

}  // namespace
