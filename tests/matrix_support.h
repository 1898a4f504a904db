#pragma once
// Checks shared by the bad-input tables of both programs: what a run printed and how it
// ended, and that it touched no file but the ones it documents.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "program_runner.h"

inline bool IsProgramCopy(const std::string& relative) {
    return relative == "bin/tessary" || relative == "bin/tessary_pack" ||
           relative == "bin/tessary.exe" || relative == "bin/tessary_pack.exe";
}

// Every file that stood before the run is unchanged, content and time stamp; the files
// that appeared are exactly `made` (names in the working folder).
inline void ExpectOnlyDocumentedFiles(const FileStates& before, const FileStates& after,
                                      const std::vector<std::string>& made,
                                      const std::string& row) {
    for (const auto& [name, state] : before) {
        if (IsProgramCopy(name)) {
            continue;
        }
        auto found = after.find(name);
        ASSERT_NE(found, after.end()) << row << ": " << name << " disappeared";
        EXPECT_TRUE(found->second == state) << row << ": " << name << " changed";
    }
    for (const auto& [name, state] : after) {
        bool expected = std::find(made.begin(), made.end(), name.substr(5)) != made.end() &&
                        name.rfind("work/", 0) == 0;
        if (!before.count(name) && !IsProgramCopy(name)) {
            EXPECT_TRUE(expected) << row << ": unexpected file " << name;
        }
    }
    for (const std::string& name : made) {
        EXPECT_TRUE(after.count("work/" + name)) << row << ": " << name << " was not written";
    }
}
