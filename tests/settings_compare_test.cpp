// The settings file read alike on Linux and Windows: the level table that this build's
// settings_dump prints (our own reader) against the Windows build's (the system's calls,
// run through TESSARY_LAUNCHER), for a table of settings files. The Windows program is
// TESSARY_WINDOWS_SETTINGS_DUMP; without it there is nothing to compare.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "program_runner.h"

namespace {

struct SettingsCase {
    const char* name;
    std::string text;         // kNoSettings: no tessary.ini at all
    std::string folder = "";  // the programs' folder below the sandbox's
};

// Every number form in the offsets, and again in the heights and the vertical flags.
const std::string kNumbers =
    "10 0x10 0X1f -3 7abc abc  +5 -0x10 \"0x20\" '12' 4294967297 0x100000010 0xg 0x 00012 "
    "1e3 0000000000000000000000000000012 000000000000000000000000000001 - 5 0x7FFFFFFF "
    "2147483648 ++1 -+1 \t9\t 08 0x0000000000000000000000000000001 ;5 #5";

// The file with one section per value holding every word of `values` under keys 0, 1, ...
std::string NumberSettings(const std::string& values) {
    std::string groups[3];
    int count = 0;
    for (size_t at = 0; at <= values.size(); ++count) {
        size_t end = values.find(' ', at);
        if (end == std::string::npos) {
            end = values.size();
        }
        const std::string line = std::to_string(count) + "=" + values.substr(at, end - at) + "\n";
        for (std::string& group : groups) {
            group += line;
        }
        at = end + 1;
    }
    return "[MapGroups]\nCount=" + std::to_string(count) + "\n[MapGroupOffset]\n" + groups[0] +
           "[MapGroupHeight]\n" + groups[1] + "[MapGroupVertical]\n" + groups[2];
}

std::string WithLineEnds(std::string text, const std::string& end) {
    std::string result;
    for (char c : text) {
        result += c == '\n' ? end : std::string(1, c);
    }
    return result;
}

const std::string kPlain =
    "[MapGroups]\nCount=3\n[MapGroupName]\n0=Green Hills\n1=Caves\n2=Tower\n"
    "[MapGroupOffset]\n0=0x8000\n1=65536\n2=0x18000\n[MapGroupVertical]\n2=1\n"
    "[MapGroupHeight]\n0=16\n1=24\n2=20\n";

// UTF-8 letters, as an editor writes them.
const std::string kLetters =
    "[MapGroups]\nCount=2\n[MapGroupName]\n0=Caf\xC3\xA9\n1=\xE2\x82\xAC \xCE\xA9\n";

const SettingsCase kCases[] = {
    {"Missing", kNoSettings},
    {"Empty", ""},
    {"Plain", kPlain},
    {"Numbers", NumberSettings(kNumbers)},
    {"NumbersWithBlanks", NumberSettings(" 7 \t8 \"\" \" 9\" '-4' \"0x1\"\"")},
    {"QuotedNames",
     "[MapGroups]\nCount=12\n[MapGroupName]\n0=\"Quoted\"\n1='Single'\n2=\"Lone\n3=\"Mixed'\n"
     "4=\" Blanks inside \"\n5=\"\"\n6=Tail\"\n7=\"a\"b\"\n8=  \"x\"  \n9='\n10=\"\n"
     "11=\"\"\"\n"},
    {"Comments",
     "; first line\n[MapGroups]\nCount=5\n;[MapGroupName]\n[MapGroupName]\n ; 0=Indented\n"
     "0=Zero ; not a comment\n#1=Hash key\n1=One # not a comment\n;2=Commented\n"
     "\t;3=Tab comment\n4=Four;\n[MapGroupOffset]\n; 0=5\n0=7 ; note\n1=8;9\n"},
    {"CaseOfNames",
     "[mapgroups]\ncOuNt=3\n[MAPGROUPNAME]\n0=Upper\n[MapGroupname]\n1=Second copy\n"
     "[mapgroupoffset]\n0=0X20\n1=0x2A\n[MAPGROUPHEIGHT]\n2=0xA\n"},
    {"RepeatedKeysAndSections",
     "[MapGroups]\nCount=4\nCount=2\n[MapGroupName]\n0=First\n0=Second\n1=One\n"
     "[MapGroupOffset]\n0=1\n[MapGroupName]\n2=Later copy\n1=Later one\n[MapGroups]\nCount=1\n"
     "[MapGroupOffset]\n1=2\n"},
    {"Blanks",
     "  [ MapGroups ]  \n Count = 3 \n[MapGroupName]\n 0 = Spaced out \t\n\t1\t=\tTabbed\t\n"
     "2 =\n[MapGroupOffset] trailing\n0=   9\n[MapGroupHeight\n0=5\n"},
    {"OddLines",
     "Count=9\n[MapGroups]\nCount\n=5\nCount=2\n[]\n0=Nameless section\n[MapGroupName]\n"
     "x\n1=a=b\n0 1=space\n01=Leading zero\n0=Zero\n"},
    {"Lf", kPlain},
    {"CrLf", WithLineEnds(kPlain, "\r\n")},
    {"Cr", WithLineEnds(kPlain, "\r")},
    {"MixedLineEnds", "[MapGroups]\r\nCount=3\r[MapGroupName]\n0=a\r\n1=b\r\r2=c\n\r"},
    {"ByteOrderMark", "\xEF\xBB\xBF" + kPlain},
    {"Letters", kLetters},
    {"SectionBrackets",
     "[MapGroups]\nCount=3\n[MapGroupName]]\n0=a\n[MapGroupOffset] ]\n0=5\n[MapGroupHeight]x]\n"
     "0=7\n[MapGroupName\n1=b\n[MapGroupName]\n2=c\n[MapGroupVertical] ; note\n2=1\n"},
    {"LongValues", "[MapGroups]\nCount=2\n[MapGroupName]\n0=" + std::string(254, 'a') +
                       "bcd\n1=\"" + std::string(300, 'q') + "\"\n[MapGroupOffset]\n0=" +
                       std::string(40, '0') + "1\n1=" + std::string(27, ' ') + "123\n"},
    {"CountBeyondCapacity", "[MapGroups]\nCount=0x100\n[MapGroupName]\n63=Last\n64=Beyond\n"},
    {"NegativeCount", "[MapGroups]\nCount=-2\n[MapGroupName]\n0=a\n"},
    {"FolderWithSpacesAndLetters", kPlain,
     "with spaces/\xC3\x9C"
     "ber M\xC3\xA4p \xC3\xB8"},
};

class SettingsCompare : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(SettingsCompare, WindowsLoadsWhatLinuxLoads) {
    if (std::getenv("TESSARY_WINDOWS_SETTINGS_DUMP") == nullptr) {
        GTEST_SKIP() << "TESSARY_WINDOWS_SETTINGS_DUMP names no Windows build";
    }
    const SettingsCase& c = GetParam();
    Sandbox box(c.folder);
    if (c.text != kNoSettings) {
        box.writeSettings(c.text);
    }
    const ProgramResult linux =
        box.run("TESSARY_LINUX_SETTINGS_DUMP", TESSARY_DEFAULT_SETTINGS_DUMP, {}, nullptr);
    const ProgramResult windows = box.run("TESSARY_WINDOWS_SETTINGS_DUMP", "", {});
    ASSERT_EQ(linux.exitStatus, 0) << linux.err;
    ASSERT_EQ(windows.exitStatus, 0) << windows.err;
    EXPECT_NE(linux.out.find(c.text == kNoSettings ? "file: missing" : "file: found"),
              std::string::npos)
        << linux.out;
    EXPECT_EQ(windows.out, linux.out);
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsCompare, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
