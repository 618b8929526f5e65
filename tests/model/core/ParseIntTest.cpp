#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "model/core/parse_int.h"

namespace parse_int_test {

struct Case {
    const char* text;
    int64_t lo, hi;
    uint32_t flags;
    parse_int_error error;
    int64_t value;  // when the error is none
};

TEST(ParseInt, ReadsDecimalAndOnlyAskedForHexadecimal) {
    constexpr parse_int_error ok = parse_int_error::none;
    constexpr parse_int_error syntax = parse_int_error::syntax;
    constexpr uint32_t hex = PARSE_INT_HEX;
    const Case cases[] = {
        {"42", 0, 100, 0, ok, 42},
        {"-42", -100, 100, 0, ok, -42},
        {"+7", 0, 100, 0, ok, 7},
        // A leading zero never makes a number octal.
        {"010", 0, 100, 0, ok, 10},
        {"010", 0, 100, hex, ok, 10},
        {"0x1F", 0, 100, hex, ok, 31},
        {"0X1f", 0, 100, hex, ok, 31},
        {"-0x10", -100, 100, hex, ok, -16},
        {"0x1F", 0, 100, 0, syntax, 0},
        {"0x", 0, 100, hex, syntax, 0},
        {"1F", 0, 100, hex, syntax, 0},
        {"12a", 0, 100, 0, syntax, 0},
        {"-", 0, 100, 0, syntax, 0},
        {"1.5", 0, 100, 0, syntax, 0},
        {"", 0, 100, 0, parse_int_error::empty, 0},
        {" \t", 0, 100, 0, parse_int_error::empty, 0},
    };
    for (const Case& c : cases) {
        int64_t v = -999;
        EXPECT_EQ(parse_int(c.text, c.lo, c.hi, &v, c.flags), c.error) << c.text;
        EXPECT_EQ(v, c.error == ok ? c.value : -999) << c.text;
    }
}

TEST(ParseInt, WhiteSpaceBeforeAlwaysAfterOnlyWhenTrimmed) {
    int64_t v = 0;
    EXPECT_EQ(parse_int("  5", 0, 9, &v), parse_int_error::none);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(parse_int("5 ", 0, 9, &v), parse_int_error::syntax);
    EXPECT_EQ(parse_int(" 6\t ", 0, 9, &v, PARSE_INT_TRIM), parse_int_error::none);
    EXPECT_EQ(v, 6);
    EXPECT_EQ(parse_int("6 7", 0, 9, &v, PARSE_INT_TRIM), parse_int_error::syntax);
    EXPECT_EQ(parse_int("- 6", -9, 9, &v, PARSE_INT_TRIM), parse_int_error::syntax);
}

TEST(ParseInt, RangeIsAnErrorUnlessClamped) {
    const std::string beyond = "123456789012345678901234567890";
    struct Range {
        std::string text;
        int64_t lo, hi;
        int64_t clamped;
    };
    const Range cases[] = {
        {"101", 0, 100, 100},
        {"-1", 0, 100, 0},
        {"9223372036854775807", INT64_MIN, INT64_MAX, INT64_MAX},
        {"-9223372036854775808", INT64_MIN, INT64_MAX, INT64_MIN},
        {"9223372036854775808", INT64_MIN, INT64_MAX, INT64_MAX},
        {"-9223372036854775809", INT64_MIN, INT64_MAX, INT64_MIN},
        {beyond, INT64_MIN, INT64_MAX, INT64_MAX},
        {"-" + beyond, INT64_MIN, INT64_MAX, INT64_MIN},
        {"0xFFFFFFFFFFFFFFFFFFFF", 0, 0xFFFFFFFF, 0xFFFFFFFF},
    };
    for (const Range& c : cases) {
        int64_t v = -5;
        const bool in_range = c.text == "9223372036854775807" || c.text == "-9223372036854775808";
        EXPECT_EQ(parse_int(c.text, c.lo, c.hi, &v, PARSE_INT_HEX),
                  in_range ? parse_int_error::none : parse_int_error::range)
            << c.text;
        EXPECT_EQ(v, in_range ? c.clamped : -5) << c.text;
        v = -5;
        EXPECT_EQ(parse_int(c.text, c.lo, c.hi, &v, PARSE_INT_HEX | PARSE_INT_CLAMP),
                  parse_int_error::none)
            << c.text;
        EXPECT_EQ(v, c.clamped) << c.text;
    }
    // The bounds themselves are in range.
    int64_t v = 0;
    EXPECT_EQ(parse_int("0xFFFFFFFF", 1, 0xFFFFFFFF, &v, PARSE_INT_HEX), parse_int_error::none);
    EXPECT_EQ(v, 0xFFFFFFFF);
    EXPECT_EQ(parse_int("0", 1, 0xFFFFFFFF, &v, PARSE_INT_HEX), parse_int_error::range);
}

}  // namespace parse_int_test
