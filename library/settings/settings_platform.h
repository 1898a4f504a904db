#pragma once
// The one place that knows which system we run on: where the program lives, and how a
// private-profile (INI) settings file is read. Windows uses the system's own calls;
// elsewhere a reader of ours behaves the same way.

#include <string>

namespace tessary {

constexpr int kMaxPathBytes = 260;      // what the Windows call allows, with the terminator
constexpr int kMaxProfileString = 255;  // longest string a read returns

// Path of `fileName` in the running program's folder, or "" when it cannot be formed.
std::string PathBesideProgram(const char* fileName);

class ProfileReader {
  public:
    // A missing or unreadable file reads as empty: every read yields its default.
    explicit ProfileReader(const std::string& path);
#ifndef _WIN32
    static ProfileReader FromText(const std::string& text);
#endif

    // Whether there was a settings file to read.
    bool found() const {
        return found_;
    }

    // Decimal, or 0x-prefixed hex, after an optional sign; stops at the first other
    // character. Absent key or empty value: the default. Wraps at 32 bits.
    int readInt(const char* section, const char* key, int defaultValue) const;
    // The value with surrounding blanks and one pair of matching quotes removed, cut to
    // 255 characters; the default when the key is absent.
    std::string readString(const char* section, const char* key, const char* defaultValue) const;

  private:
    ProfileReader() = default;
    bool found_ = false;
#ifdef _WIN32
    std::string path_;
#else
    bool lookup(const char* section, const char* key, std::string& value) const;
    std::string text_;
#endif
};

}  // namespace tessary
