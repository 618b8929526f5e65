#include "model/core/CkvText.h"

#include <gtest/gtest.h>

#include <string>

namespace ckv_text_test {

TEST(CkvText, TextsBecomeProgramStringsAndBack) {
    struct Case {
        const char* utf8;
        std::string cp932;
    };
    const Case cases[] = {
        {"ソ\\", "\x83\x5C\x5C"},  // a trail byte 0x5C, then a real backslash
        {"ab", "ab"},
        {"", ""},
        {"ｱ", "\xB1"},
    };
    for (const Case& c : cases) {
        const CkvString s = ckv_from_utf8(c.utf8);
        EXPECT_EQ(s.str(), c.cp932) << c.utf8;
        EXPECT_EQ(ckv_to_utf8(s), c.utf8);
    }
    // The program's string knows the trail byte is no backslash of its own.
    EXPECT_EQ(ckv_from_utf8("ソ\\").find_char('\\'), 2u);
}

TEST(CkvText, WhatCp932CannotHoldIsMarked) {
    EXPECT_EQ(ckv_from_utf8("a😀b").str(), "a?b");
    EXPECT_EQ(ckv_to_utf8("a\x81"), "a\xEF\xBF\xBD");  // a lead byte without its trail
}

}  // namespace ckv_text_test
