#include <gtest/gtest.h>

#include "platform/Text.h"

using namespace kp;

TEST(Text, LowerCasesUnicodeLetters) {
    EXPECT_EQ(lowerUtf8("Проект ÄÖÜ ABC"), "проект äöü abc");
    EXPECT_TRUE(equalsIgnoringCase("Проект", "пРОЕКТ"));
    EXPECT_EQ(lowerUtf8(std::string("A\xff", 2)), std::string("a\xff", 2)); // stray bytes survive
}
