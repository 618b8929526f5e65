#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include "model/core/CkvString.h"

namespace text_codec_test {

TEST(TextCodec, JapaneseTextsHaveTheirCp932Lengths) {
    struct Case {
        const char* utf8;
        size_t cp932_bytes;
    };
    const Case cases[] = {
        {"フォルダ", 8},
        {"タイプ不明", 10},
        {"ab", 2},
        {"", 0},
        // Half-width katakana take one byte each in CP932.
        {"ｱｲ", 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kv_codec::cp932_from_utf8(c.utf8).size(), c.cp932_bytes) << c.utf8;
    }
}

TEST(TextCodec, RoundTripsThroughCp932) {
    const char* texts[] = {"ライブラリ", "へ長調", "音符トラック", "mixed テキスト 123"};
    for (const char* t : texts) {
        EXPECT_EQ(kv_codec::utf8_from_cp932(kv_codec::cp932_from_utf8(t)), t);
    }
}

TEST(TextCodec, KnownBytesAndTrailByte5C) {
    // "ソ" is 0x83 0x5C: its trail byte is a backslash.
    EXPECT_EQ(kv_codec::cp932_from_utf8("ソ"), "\x83\x5C");
    EXPECT_EQ(kv_codec::utf8_from_cp932("\x83\x5C"), "ソ");
}

TEST(TextCodec, BadInputIsReplacedNotDropped) {
    // A lone lead byte at the end and an invalid lead/trail pair.
    EXPECT_EQ(kv_codec::utf8_from_cp932("a\x81"), "a\xEF\xBF\xBD");
    EXPECT_EQ(kv_codec::cp932_from_utf8("x\xF0\x9F\x8E\xB5y"), "x?y");  // a musical note emoji
}

TEST(CkvString, ScannersStepOverTrailBytes) {
    CkvString s(kv_codec::cp932_from_utf8("ソ\\x"));  // 83 5C 5C 78
    EXPECT_EQ(s.find_char('\\'), 2u);
    EXPECT_EQ(s.rfind_char('\\'), 2u);
    CkvString only(kv_codec::cp932_from_utf8("ソ"));
    EXPECT_EQ(only.find_char('\\'), CkvString::npos);
    EXPECT_EQ(s.class_code(), 0x1101u);
    EXPECT_EQ(CkvBase().class_code(), 0x1001u);
}

TEST(CkvString, CompareNocaseFoldsOnlyAscii) {
    EXPECT_EQ(CkvString::compare_nocase("C:\\Lib\\A.kvnr", "c:\\lib\\a.KVNR"), 0);
    EXPECT_LT(CkvString::compare_nocase("abc", "abd"), 0);
    EXPECT_GT(CkvString::compare_nocase("abcd", "abc"), 0);
    // 0x83 0x61 and 0x83 0x41 are different characters, not case variants.
    EXPECT_NE(CkvString::compare_nocase("\x83\x61", "\x83\x41"), 0);
}

TEST(LeadBytes, Classification) {
    for (int c = 0; c < 256; ++c) {
        bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        EXPECT_EQ(kv_is_lead_byte(static_cast<unsigned char>(c)), lead) << c;
    }
}

}  // namespace text_codec_test
