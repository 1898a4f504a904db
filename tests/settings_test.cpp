// The settings file: the profile reader's syntax and numbers, and the map groups it holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "settings/map_groups.h"
#include "settings/settings_platform.h"
#include "test_support.h"

using namespace tessary;

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
        StringCase{"OnlyAQuote", "[S]\nk=\"\n", "S", "k", "\""},
        StringCase{"PairOfQuotesIsEmpty", "[S]\nk=\"\"\n", "S", "k", ""},
        StringCase{"MixedQuotesStay", "[S]\nk=\"x'\n", "S", "k", "\"x'"},
        StringCase{"SemicolonLineIsComment", "[S]\n ;k=a\nk=b\n", "S", "k", "b"},
        StringCase{"HashIsNotComment", "[S]\n#k=a\n", "S", "#k", "a"},
        StringCase{"TextAfterValueKept", "[S]\nk=a ; note\n", "S", "k", "a ; note"},
        StringCase{"LineWithoutEqualsHidesLaterValues", "[S]\nk\nk=b\n", "S", "k", "?"},
        StringCase{"HeaderRunsToLastBracket", "[S]]\nk=a\n[S] ; ]\nk=b\n", "S", "k", "?"},
        StringCase{"BracketWithoutCloseIsNoHeader", "[S]\n[T\nk=a\n", "S", "k", "a"},
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
    EXPECT_FALSE(reader.found());
    EXPECT_EQ(reader.readInt("MapGroups", "Count", 15), 15);
    EXPECT_EQ(reader.readString("MapGroupName", "0", "?"), "?");
}

// Whether there was a file, and how many groups it gives: a count of 0 or less is kept as
// read and means no levels, with the file still reported as found.
struct CountCase {
    const char* name;
    bool fileExists;
    std::string text;
    SettingsFile file;
    int32_t count;
};

class LoadMapGroupsCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(LoadMapGroupsCount, ReportsTheFileAndTheCount) {
    const CountCase& c = GetParam();
    TempFile file(c.text);
    const std::string path = c.fileExists ? file.path() : file.path() + "-absent";
    const MapGroupTable table = LoadMapGroupsFrom(ProfileReader(path));
    EXPECT_EQ(table.file, c.file);
    EXPECT_EQ(table.count, c.count);
    EXPECT_EQ(table.groups.size(), static_cast<size_t>(std::max(c.count, 0)));
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadMapGroupsCount,
    ::testing::Values(
        CountCase{"MissingFileGivesFifteen", false, "", SettingsFile::Missing, 15},
        CountCase{"EmptyFileGivesFifteen", true, "", SettingsFile::Found, 15},
        CountCase{"CountAsGiven", true, "[MapGroups]\nCount=3\n", SettingsFile::Found, 3},
        CountCase{"CountZero", true, "[MapGroups]\nCount=0\n[MapGroupName]\n0=a\n",
                  SettingsFile::Found, 0},
        CountCase{"CountMinusThree", true, "[MapGroups]\nCount=-3\n", SettingsFile::Found, -3},
        CountCase{"CountMinusFour", true, "[MapGroups]\nCount=-4\n[MapGroupName]\n0=a\n",
                  SettingsFile::Found, -4},
        CountCase{"CountCutToCapacity", true, "[MapGroups]\nCount=100\n", SettingsFile::Found, 64}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadMapGroups, MissingFileGivesDefaultGroups) {
    const MapGroupTable table = LoadMapGroupsFrom(ProfileReader("/nonexistent/tessary.ini"));
    ASSERT_EQ(table.groups.size(), 15u);
    for (const MapGroup& group : table.groups) {
        EXPECT_EQ(group.name, "?");
        EXPECT_EQ(group.offset, 0);
        EXPECT_FALSE(group.vertical);
        EXPECT_EQ(group.height, 16);
    }
}

// A folder of the settings file's name is no settings file.
TEST(LoadMapGroups, FolderReadsAsMissing) {
    const MapGroupTable table =
        LoadMapGroupsFrom(ProfileReader(std::filesystem::temp_directory_path().string()));
    EXPECT_EQ(table.file, SettingsFile::Missing);
    EXPECT_EQ(table.count, 15);
}

TEST(LoadMapGroups, KeysBeyondTheCapacityAreIgnored) {
    TempFile file("[MapGroups]\nCount=100\n[MapGroupName]\n63=last\n64=beyond\n");
    const MapGroupTable table = LoadMapGroupsFrom(ProfileReader(file.path()));
    ASSERT_EQ(table.count, 64);
    ASSERT_EQ(table.groups.size(), 64u);
    EXPECT_EQ(table.groups[63].name, "last");
    const MapGroupTable small = LoadMapGroupsFrom(ProfileReader(file.path()), 2);
    EXPECT_EQ(small.count, 2);
    EXPECT_EQ(small.groups.size(), 2u);
}

TEST(LoadMapGroups, ReadsEachSectionAndFillsGapsWithDefaults) {
    TempFile file(
        "[MapGroups]\nCount=3\n"
        "[MapGroupName]\n0=Forest\n2=Caves\n01=Wrong key\n"
        "[MapGroupOffset]\n0=0x1F000\n2=4096\n"
        "[MapGroupVertical]\n0=7\n2=1\n"
        "[MapGroupHeight]\n0=0\n2=24\n");
    const MapGroupTable table = LoadMapGroupsFrom(ProfileReader(file.path()));
    ASSERT_EQ(table.groups.size(), 3u);
    const std::vector<MapGroup>& groups = table.groups;
    EXPECT_EQ(groups[0].name, "Forest");
    EXPECT_EQ(groups[0].offset, 0x1F000);
    EXPECT_TRUE(groups[0].vertical);  // any value but 0
    EXPECT_EQ(groups[0].height, 0);   // stored as read; the conversions refuse it
    EXPECT_EQ(groups[1].name, "?");
    EXPECT_EQ(groups[1].offset, 0);
    EXPECT_FALSE(groups[1].vertical);
    EXPECT_EQ(groups[1].height, 16);
    EXPECT_EQ(groups[2].name, "Caves");
    EXPECT_EQ(groups[2].offset, 4096);
    EXPECT_TRUE(groups[2].vertical);
    EXPECT_EQ(groups[2].height, 24);
}

TEST(LoadMapGroups, LongNameIsCutTo255Characters) {
    TempFile file("[MapGroups]\nCount=1\n[MapGroupName]\n0=" + std::string(300, 'x') + "\n");
    const MapGroupTable table = LoadMapGroupsFrom(ProfileReader(file.path()));
    ASSERT_EQ(table.groups.size(), 1u);
    EXPECT_EQ(table.groups[0].name, std::string(255, 'x'));
}

// The program's own loader looks beside the running program and says where it looked.
TEST(LoadMapGroups, LooksBesideTheProgram) {
    const MapGroupTable table = LoadMapGroups();
    EXPECT_EQ(table.path, PathBesideProgram(kSettingsFileName));
    EXPECT_EQ(table.file, std::filesystem::is_regular_file(table.path) ? SettingsFile::Found
                                                                       : SettingsFile::Missing);
}

TEST(PathBesideProgram, NamesAFileInTheTestProgramsFolder) {
#ifdef _WIN32
    const std::string separator = "\\", program = "library_tests.exe";
#else
    const std::string separator = "/", program = "library_tests";
#endif
    const std::string path = PathBesideProgram("tessary.ini");
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.substr(path.size() - 12), separator + "tessary.ini");
    const std::string folder = path.substr(0, path.size() - 11);
    EXPECT_TRUE(std::filesystem::exists(folder + program));
}

}  // namespace
