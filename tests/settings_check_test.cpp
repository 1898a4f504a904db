// The settings check: each mistake found on its line, and what the reader makes of numbers.
#include "settings/settings_check.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "settings/settings_platform.h"
#include "test_support.h"

using namespace tessary;

namespace {

struct CheckCase {
    const char* name;
    std::string text;
    std::vector<std::pair<int, const char*>> expected;  // line, and a phrase of its message
};

class SettingsCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(SettingsCheck, FindsEachMistakeOnItsLine) {
    const std::vector<SettingsProblem> problems = CheckSettingsText(GetParam().text);
    const auto& expected = GetParam().expected;
    ASSERT_EQ(problems.size(), expected.size()) << (problems.empty() ? "" : problems[0].message);
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(problems[i].line, expected[i].first) << problems[i].message;
        EXPECT_NE(problems[i].message.find(expected[i].second), std::string::npos)
            << problems[i].message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, SettingsCheck,
    ::testing::Values(
        CheckCase{"CleanFileWithComments",
                  "; levels\n[MapGroups]   ; how many\nCount=2 ; two\n\n[MapGroupName]\n"
                  "0=Sky ; a name may hold this\n# 7=old\n[MapGroupOffset]\n0 = \"0x08000\"\n"
                  "1=-16\t; back\n[mapgroupheight]\n1=0x10\n",
                  {}},
        CheckCase{"SectionsNotRead",
                  "[MapGroupOfset]\n2=0x18000\n[mapgroupsname]\n[Levels]\n",
                  {{1,
                    "[MapGroupOfset] is not read by the programs; did you mean "
                    "[MapGroupOffset]?"},
                   {3, "did you mean [MapGroupName]?"},
                   {4, "section [Levels] is not read by the programs."}}},
        CheckCase{"KeysNotRead",
                  "Count=6\n[MapGroups]\nLevels=3\n[MapGroupName]\n01=a\n+1=b\n1a=c\n-1=d\n"
                  "[MapGroupOffset]\n2: 0x18000\nsky\n",
                  {{1, "before any section"},
                   {3, "the only key there is Count"},
                   {5, "key 01 is not a plain level number (write 1)"},
                   {6, "key +1 is not a plain level number (write 1)"},
                   {7, "key 1a is not a plain level number"},
                   {8, "numbered from 0"},
                   {10, "has no =, so it is not read; did you mean 2 = 0x18000?"},
                   {11, "has no ="}}},
        CheckCase{"NumbersNotReadWhole",
                  "[MapGroupOffset]\n0=0X18000\n1=$18000\n2=18000h\n3=12abc\n4=\n5=0x\n"
                  "6=4294967297\n7=0x18000 sky\n[MapGroups]\nCount = 9 levels\n"
                  "[MapGroupHeight]\n0=\"\"\n",
                  {{2,
                    "\"0X18000\", is read as 0: a number is decimal digits, or hex digits "
                    "after a lower-case 0x"},
                   {3, "read as 0:"},
                   {4, "the offset of level 2, \"18000h\", is read as 18000:"},
                   {5, "read as 12:"},
                   {6, "the offset of level 4 is empty, so the programs use the default, 0."},
                   {7, "read as 0:"},
                   {8, "does not fit in 32 bits and is read as 1."},
                   {9, "read as 98304:"},
                   {11, "Count, \"9 levels\", is read as 9:"},
                   {13, "level 0 is empty, so the programs use the default"}}},
        CheckCase{"RepeatsFirstCounts",
                  "[MapGroupOffset]\n1=16\n1=32\n[MapGroupName]\n0=a\n[mapgroupoffset]\n2=5x\n",
                  {{3,
                    "key 1 appears again in [MapGroupOffset] (first on line 2); only the "
                    "first one is read."},
                   {6, "appears again (first on line 1); only the first one is read"}}},
        CheckCase{"KeyWithoutEqualsHidesLaterLines",
                  "[MapGroups]\nCount\nCount=2\n[MapGroupOffset\n[MapGroupHeight]\n14=0\n",
                  {{2, "has no ="},
                   {3, "key Count appears again in [MapGroups] (first on line 2)"},
                   {4, "has no ="},
                   {6, "the height of level 14 is 0"}}},
        CheckCase{"CountAboveCapacity",
                  "[MapGroups]\nCount=100\n[MapGroupName]\n63=a\n64=b\n100=c\n",
                  {{2, "Count is 100, but the programs read only the first 64 levels."},
                   {5, "level 64 is never read: the programs read only the first 64 levels."},
                   {6, "level 100 is never read"}}},
        CheckCase{"LevelsAtOrAboveCount",
                  "[MapGroupHeight]\n2=16\n15=16\n99999999999=1\n[MapGroups]\nCount=3\n"
                  "[MapGroupName]\n2=a\n3=b\n",
                  {{3, "level 15 is never read: Count is 3, so the levels are 0 to 2."},
                   {4, "level 99999999999 is never read"},
                   {9, "level 3 is never read"}}},
        CheckCase{
            "CountByDefaultOrNone",
            "[MapGroupName]\n15=a\n[MapGroups]\ncount=\n",
            {{2, "level 15 is never read: Count is 15 by default, so the levels are 0 to 14."},
             {4, "Count is empty, so the programs use the default, 15."}}},
        CheckCase{"CountZero",
                  "[MapGroups]\nCount=0\n[MapGroupName]\n0=a\n",
                  {{2, "Count is 0, so the programs see no levels."},
                   {4, "level 0 is never read: Count is 0."}}},
        CheckCase{"HeightBelowOne",
                  "[MapGroupHeight]\n3=0\n4=-2\n5=1\n",
                  {{2, "the height of level 3 is 0, but a map's fixed side must be at least 1"},
                   {3, "the height of level 4 is -2"}}},
        CheckCase{"LineEndingsAndMark",
                  "\xEF\xBB\xBF; note\r\n# note\r[MapGroupOfset]\n\n[MapGroupHeight]\r\n1=0\r\n",
                  {{3, "[MapGroupOfset]"}, {6, "level 1 is 0"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Whatever a value's form, the value a message names is the one the settings reader reads.
TEST(SettingsCheck, NamesTheValueTheReaderReads) {
    for (const char* value : {"0X1f", "7abc", "abc", "-", "+0x", "-0x10g", "\"0x20\" ; c",
                              "0000000000000000000000000000012", "4294967295", "0x100000010",
                              "'-12'x", "\t 5 # five"}) {
        const std::string text = std::string("[MapGroupOffset]\n0=") + value + "\n";
        const std::vector<SettingsProblem> problems = CheckSettingsText(text);
        ASSERT_EQ(problems.size(), 1u) << value;
        TempFile file(text);  // a file, so a Windows build asks the system
        const int read = ProfileReader(file.path()).readInt("MapGroupOffset", "0", 77);
        EXPECT_NE(problems[0].message.find("read as " + std::to_string(read)), std::string::npos)
            << problems[0].message;
    }
}

}  // namespace
