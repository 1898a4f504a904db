#include "level_number.h"

#include <gtest/gtest.h>

namespace {

struct LevelCase {
    const char* text;
    int32_t level;
};

TEST(ParseLevelNumber, ReadsLikeAtoiAndSaturates) {
    for (LevelCase c :
         {LevelCase{"abc", 0}, LevelCase{"", 0}, LevelCase{"3rd", 3}, LevelCase{" +2", 2},
          LevelCase{"\t\n\v\f\r 5", 5}, LevelCase{"-1", -1}, LevelCase{"7x", 7},
          LevelCase{"+-3", 0}, LevelCase{"0x10", 0}, LevelCase{"2147483647", INT32_MAX},
          LevelCase{"2147483648", INT32_MAX}, LevelCase{"99999999999999999999999", INT32_MAX},
          LevelCase{"-99999999999999999999999", INT32_MIN}, LevelCase{"4294967296", INT32_MAX}}) {
        EXPECT_EQ(ParseLevelNumber(c.text), c.level) << "'" << c.text << "'";
    }
}

}  // namespace
