#include "settings/settings_check.h"

#include <algorithm>
#include <map>
#include <utility>

namespace tessary {

namespace {

enum class Section : uint8_t { Outside, Groups, Name, Offset, Vertical, Height, Unknown };

struct KnownSection {
    const char* name;
    Section id;
    const char* setting;  // how a message names one value of the section
    int32_t defaultValue;
};

constexpr KnownSection kSections[] = {
    {"MapGroups", Section::Groups, "Count", 15},
    {"MapGroupName", Section::Name, "name", 0},
    {"MapGroupOffset", Section::Offset, "offset", 0},
    {"MapGroupVertical", Section::Vertical, "vertical flag", 0},
    {"MapGroupHeight", Section::Height, "height", 16},
};

constexpr int32_t kDefaultCount = 15;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = Lower(c);
    }
    return text;
}

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

const KnownSection* FindSection(const std::string& name) {
    for (const KnownSection& known : kSections) {
        if (Lower(name) == Lower(known.name)) {
            return &known;
        }
    }
    return nullptr;
}

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The known section a misspelt name most likely meant, or none when nothing is close.
const KnownSection* ClosestSection(const std::string& name) {
    constexpr size_t kCloseEnough = 3;
    const KnownSection* best = nullptr;
    size_t bestDistance = kCloseEnough + 1;
    for (const KnownSection& known : kSections) {
        const size_t distance = EditDistance(Lower(name), Lower(known.name));
        if (distance < bestDistance) {
            best = &known;
            bestDistance = distance;
        }
    }
    return best;
}

// One line that is neither blank nor a comment, split as the reader splits it.
struct IniLine {
    int number = 0;
    std::string text;  // without surrounding blanks
    bool isHeader = false;
    bool hasEquals = false;
    std::string name;   // the section's name in a header, else the key
    std::string value;  // without surrounding blanks and one pair of matching quotes
};

IniLine SplitLine(int number, const std::string& text) {
    IniLine line;
    line.number = number;
    line.text = text;
    const size_t close = text.rfind(']');
    if (text[0] == '[' && close != std::string::npos && close > 0) {
        line.isHeader = true;
        line.name = Trim(text.substr(1, close - 1));
        return line;
    }
    const size_t equals = text.find('=');
    line.hasEquals = equals != std::string::npos;
    line.name = Trim(text.substr(0, equals));
    if (line.hasEquals) {
        line.value = Trim(text.substr(equals + 1));
        const char quote = line.value.empty() ? '\0' : line.value[0];
        if (line.value.size() >= 2 && (quote == '"' || quote == '\'') &&
            line.value.back() == quote) {
            line.value = line.value.substr(1, line.value.size() - 2);
        }
    }
    return line;
}

// Lines end at LF, CRLF or CR; a leading UTF-8 byte order mark is no part of the text.
// A `#` line is left out too: the reader takes it for a key that nothing asks for, which
// is what its writer meant.
std::vector<IniLine> SplitLines(const std::string& text) {
    std::vector<IniLine> lines;
    size_t next = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    int number = 0;
    while (next < text.size()) {
        const size_t end = std::min(text.find_first_of("\r\n", next), text.size());
        const std::string line = Trim(text.substr(next, end - next));
        ++number;
        if (!line.empty() && line[0] != ';' && line[0] != '#') {
            lines.push_back(SplitLine(number, line));
        }
        next = end;
        if (next < text.size() && text[next] == '\r') {
            ++next;
        }
        if (next < text.size() && text[next] == '\n') {
            ++next;
        }
    }
    return lines;
}

// How the reader takes a number: its value, and whether that is what the text says.
struct NumberReading {
    int32_t value = 0;
    bool complete = false;  // the whole text is the number, a comment after blanks aside
    bool fits = true;       // the number lies within a signed 32-bit integer
};

NumberReading ReadNumber(const std::string& text) {
    // The reader looks at no more than 29 characters of a value.
    const std::string cut = text.substr(0, 29);
    size_t p = 0;
    while (p < cut.size() && IsBlank(cut[p])) {
        ++p;
    }
    const bool negative = p < cut.size() && cut[p] == '-';
    if (p < cut.size() && (cut[p] == '-' || cut[p] == '+')) {
        ++p;
    }
    const bool hex = cut.compare(p, 2, "0x") == 0;
    p += hex ? 2 : 0;
    const size_t digitsBegin = p;
    uint32_t result = 0;
    uint64_t magnitude = 0;
    for (; p < cut.size(); ++p) {
        const char c = Lower(cut[p]);
        uint32_t digit;
        if (IsDigit(c)) {
            digit = static_cast<uint32_t>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else {
            break;
        }
        const uint32_t base = hex ? 16 : 10;
        result = result * base + digit;
        magnitude = std::min<uint64_t>(magnitude * base + digit, uint64_t{1} << 32);
    }
    NumberReading reading;
    reading.value = static_cast<int32_t>(negative ? 0u - result : result);
    reading.fits = magnitude <= (negative ? uint64_t{1} << 31 : uint64_t{INT32_MAX});
    size_t rest = p;
    while (rest < text.size() && IsBlank(text[rest])) {
        ++rest;
    }
    const bool commentAfter = rest > p && rest < text.size() && text[rest] == ';';
    reading.complete = p > digitsBegin && (rest == text.size() || commentAfter);
    return reading;
}

// A level key as the programs write it: decimal digits, no sign, no leading zero.
bool IsPlainLevelKey(const std::string& key) {
    return !key.empty() && std::all_of(key.begin(), key.end(), IsDigit) &&
           (key == "0" || key[0] != '0');
}

// Why a key is not one the programs ask for, or empty when it is a plain level key.
std::string LevelKeyProblem(const std::string& key) {
    if (IsPlainLevelKey(key)) {
        return "";
    }
    size_t digits = (key[0] == '+' || key[0] == '-') ? 1 : 0;
    if (digits < key.size() && std::all_of(key.begin() + digits, key.end(), IsDigit)) {
        const size_t firstNonZero = key.find_first_not_of('0', digits);
        const std::string plain =
            firstNonZero == std::string::npos ? "0" : key.substr(firstNonZero);
        if (key[0] == '-' && plain != "0") {
            return "key " + key + " is not a level number; levels are numbered from 0.";
        }
        return "key " + key + " is not a plain level number (write " + plain + ").";
    }
    return "key " + key + " is not a plain level number: a level is keyed by its number in " +
           "decimal digits, like 1, so this line is never read.";
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

class Checker {
  public:
    Checker(std::vector<IniLine> lines, int32_t capacity)
        : lines_(std::move(lines)), capacity_(capacity) {
        findCount();
    }

    std::vector<SettingsProblem> run() {
        const KnownSection* section = nullptr;
        bool outside = true;
        bool ignoredCopy = false;
        std::map<std::string, int> seenSections;
        std::map<std::string, int> seenKeys;
        for (const IniLine& line : lines_) {
            if (line.isHeader) {
                outside = false;
                section = FindSection(line.name);
                seenKeys.clear();
                const auto first = seenSections.emplace(Lower(line.name), line.number);
                ignoredCopy = !first.second;
                if (section == nullptr) {
                    unknownSection(line);
                } else if (ignoredCopy) {
                    add(line, "section [" + line.name + "] appears again (first on line " +
                                  std::to_string(first.first->second) +
                                  "); only the first one is read, so the keys below are not.");
                }
                continue;
            }
            if (outside) {
                add(line, "this line stands before any section, so it is not read.");
            } else if (section != nullptr && !ignoredCopy) {
                checkKeyLine(*section, line, seenKeys);
            }
        }
        return std::move(problems_);
    }

  private:
    void add(const IniLine& line, std::string message) {
        problems_.push_back({line.number, std::move(message)});
    }

    // The count of levels the programs load: the first Count of the first [MapGroups].
    void findCount() {
        bool inGroups = false;
        bool groupsSeen = false;
        for (const IniLine& line : lines_) {
            if (line.isHeader) {
                const KnownSection* section = FindSection(line.name);
                inGroups = !groupsSeen && section != nullptr && section->id == Section::Groups;
                groupsSeen = groupsSeen || inGroups;
            } else if (inGroups && Lower(line.name) == "count") {
                countSet_ = line.hasEquals && !line.value.empty();
                rawCount_ = countSet_ ? ReadNumber(line.value).value : kDefaultCount;
                break;
            }
        }
        count_ = std::min(rawCount_, capacity_);
    }

    void unknownSection(const IniLine& line) {
        std::string message = "section [" + line.name + "] is not read by the programs";
        const KnownSection* close = ClosestSection(line.name);
        add(line,
            close == nullptr ? message + "." : message + "; did you mean [" + close->name + "]?");
    }

    void checkKeyLine(const KnownSection& section, const IniLine& line,
                      std::map<std::string, int>& seenKeys) {
        if (!line.hasEquals) {
            // It hides later lines of its key all the same.
            seenKeys.emplace(Lower(line.name), line.number);
            const size_t colon = line.text.find(':');
            std::string hint = colon == std::string::npos
                                   ? "; a setting is written as key = value."
                                   : "; did you mean " + Trim(line.text.substr(0, colon)) + " = " +
                                         Trim(line.text.substr(colon + 1)) + "?";
            add(line, "the line " + Quoted(line.text) + " has no =, so it is not read" + hint);
            return;
        }
        std::string problem = keyProblem(section, line.name);
        if (problem.empty()) {
            const auto first = seenKeys.emplace(Lower(line.name), line.number);
            if (!first.second) {
                problem = "key " + line.name + " appears again in [" + section.name +
                          "] (first on line " + std::to_string(first.first->second) +
                          "); only the first one is read.";
            }
        }
        if (problem.empty() && section.id != Section::Name) {
            problem = valueProblem(section, line);
        }
        if (!problem.empty()) {
            add(line, problem);
        }
    }

    // Empty when the programs look the key up.
    std::string keyProblem(const KnownSection& section, const std::string& key) const {
        if (section.id == Section::Groups) {
            return Lower(key) == "count"
                       ? ""
                       : "key " + key + " in [MapGroups] is not read; the only key there is Count.";
        }
        std::string problem = LevelKeyProblem(key);
        if (!problem.empty()) {
            return problem;
        }
        // Digits beyond any count are compared without being converted.
        const int64_t level = key.size() > 10 ? INT64_MAX : std::stoll(key);
        if (level < count_) {
            return "";
        }
        if (rawCount_ > capacity_) {
            return "level " + key + " is never read: the programs read only the first " +
                   std::to_string(capacity_) + " levels.";
        }
        const std::string count =
            "Count is " + std::to_string(count_) + (countSet_ ? "" : " by default");
        return "level " + key + " is never read: " + count +
               (count_ > 0 ? ", so the levels are 0 to " + std::to_string(count_ - 1) + "." : ".");
    }

    std::string valueProblem(const KnownSection& section, const IniLine& line) const {
        const std::string setting =
            section.id == Section::Groups
                ? std::string("Count")
                : std::string("the ") + section.setting + " of level " + line.name;
        if (line.value.empty()) {
            return setting + " is empty, so the programs use the default, " +
                   std::to_string(section.defaultValue) + ".";
        }
        const NumberReading number = ReadNumber(line.value);
        const std::string read = std::to_string(number.value);
        if (!number.complete) {
            return setting + ", " + Quoted(line.value) + ", is read as " + read +
                   ": a number is decimal digits, or hex digits after a lower-case 0x, with an "
                   "optional + or -.";
        }
        if (!number.fits) {
            return setting + ", " + line.value + ", does not fit in 32 bits and is read as " +
                   read + ".";
        }
        if (section.id == Section::Groups && number.value > capacity_) {
            return "Count is " + read + ", but the programs read only the first " +
                   std::to_string(capacity_) + " levels.";
        }
        if (section.id == Section::Groups && number.value < 1) {
            return "Count is " + read + ", so the programs see no levels.";
        }
        if (section.id == Section::Height && number.value < 1) {
            return "the height of level " + line.name + " is " + read +
                   ", but a map's fixed side must be at least 1 cell.";
        }
        return "";
    }

    std::vector<IniLine> lines_;
    int32_t capacity_;
    bool countSet_ = false;
    int32_t rawCount_ = kDefaultCount;
    int32_t count_ = 0;
    std::vector<SettingsProblem> problems_;
};

}  // namespace

std::vector<SettingsProblem> CheckSettingsText(const std::string& text, int32_t capacity) {
    return Checker(SplitLines(text), capacity).run();
}

}  // namespace tessary
