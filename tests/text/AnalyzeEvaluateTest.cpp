#include "text/analyze.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <string>

namespace analyze_evaluate_test {

struct Outcome {
    uint32_t error = 0;
    analyze_value value;
    std::string rest;  // the text left behind the expression
};

Outcome evaluate(const std::string& text, uint32_t flags = AF_LENIENT_ESCAPES) {
    analyze a(flags);
    a.set_text(text.c_str());
    Outcome o;
    a.evaluate(o.value);
    o.error = a.error();
    o.rest = a.cursor();
    return o;
}

struct NumberCase {
    const char* text;
    double value;
};

void expect_numbers(const NumberCase* begin, const NumberCase* end, uint32_t flags) {
    for (const NumberCase* c = begin; c != end; ++c) {
        const Outcome o = evaluate(c->text, flags);
        EXPECT_EQ(o.error, 0u) << c->text;
        EXPECT_TRUE(o.value.is_number()) << c->text;
        EXPECT_EQ(o.value.number(), c->value) << c->text;
    }
}

struct ErrorCase {
    const char* text;
    uint32_t error;
};

void expect_errors(const ErrorCase* begin, const ErrorCase* end, uint32_t flags) {
    for (const ErrorCase* c = begin; c != end; ++c) {
        EXPECT_EQ(evaluate(c->text, flags).error, c->error) << c->text;
    }
}

TEST(AnalyzeEvaluate, OperatorsPrecedenceAndAssociativity) {
    const NumberCase cases[] = {
        // The bit operators share one level and bind loosest, left to right.
        {"1 | 2 & 4", 0},
        {"4 & 2 | 1", 1},
        {"1 ^ 3", 2},
        {"2 ?= 2 | 4", 5},
        // Equality below comparison below shifts below sums below products.
        {"6 ?= 6", 1},
        {"6 != 6", 0},
        {"1 < 2 ?= 1", 1},
        {"1 + 2 << 1", 6},
        {"1 << 2 < 5", 1},
        {"1 + 2 * 3", 7},
        {"2 * 3 + 1", 7},
        {"10 - 2 - 3", 5},
        {"16 / 4 / 2", 2},
        {"2 * (3 + 1)", 8},
        {"7 % 4", 3},
        {"-7 % 4", -3},
        {"5.5 % 2", 1.5},
        {"1 / 4", 0.25},
        {"3 <= 3", 1},
        {"3 >= 4", 0},
        {"3 > 2", 1},
        {"1 + -2", -1},
        {"1 - - 2", 3},
    };
    expect_numbers(std::begin(cases), std::end(cases), AF_LENIENT_ESCAPES);
}

TEST(AnalyzeEvaluate, PrefixOperatorsApplyLeftmostFirst) {
    const NumberCase cases[] = {
        {"-5", -5},
        {"- 5", -5},
        {"-(-5)", 5},
        {"+5", 5},
        {"!0", 1},
        {"!7", 0},
        {"~0", 4294967295.0},
        // `~` then `-`: the complement of 1, negated.
        {"~-1", -4294967294.0},
        // `-` then `~`: the complement of -0.
        {"-~0", 4294967295.0},
        {"-+-5", 5},
        {"~0.5", 4294967295.0},
        // `!` first, then `-`.
        {"!-0", -1},
    };
    expect_numbers(std::begin(cases), std::end(cases), AF_LENIENT_ESCAPES);
}

TEST(AnalyzeEvaluate, BitOperationsWrapTo32Bits) {
    const NumberCase cases[] = {
        {"0xFFFFFFFF | 0", 4294967295.0},
        {"-1 | 0", 4294967295.0},
        {"0x100000000 | 0", 0},
        {"0x100000001 & 0xFF", 1},
        {"1 << 33", 2},
        {"1 << 31", 2147483648.0},
        {"1 << -1", 2147483648.0},
        {"0x80000000 >> 31", 1},
        {"-1 >> 28", 15},
        {"2.9 | 0", 2},
        {"-2.9 | 0", 4294967294.0},
        // Beyond a 64-bit integer the conversion gives the indefinite integer, low bits 0.
        {"0x10000000000000000 | 0", 0},
    };
    expect_numbers(std::begin(cases), std::end(cases), AF_LENIENT_ESCAPES);
}

TEST(AnalyzeEvaluate, NumbersInEveryBase) {
    const NumberCase cases[] = {
        {"010", 8},
        {"0777", 511},
        {"00", 0},
        {"0", 0},
        {"0o10", 8},
        {"0O17", 15},
        {"0b101", 5},
        {"0B11", 3},
        {"0x1F", 31},
        {"0X1f", 31},
        {"0xabcdef", 11259375},
        {"1.5", 1.5},
        {".5", 0.5},
        {"1.", 1},
        {"0.25", 0.25},
        {"123456789", 123456789},
        {"1234567890", 1234567890},
        {"12345678901234567890", 12345678901234567890.0},
        {"0x1FFFFFFFF", 8589934591.0},
        {"0x10000000000000000", 18446744073709551616.0},
        {"0b11111111111111111111111111111111", 4294967295.0},
        {"0b100000000000000000000000000000000", 4294967296.0},
        {"0o77777777777", 8589934591.0},
    };
    expect_numbers(std::begin(cases), std::end(cases), AF_LENIENT_ESCAPES);
}

TEST(AnalyzeEvaluate, MalformedNumbers) {
    const ErrorCase cases[] = {
        {"09", AE_BAD_OCTAL},      {"08", AE_BAD_OCTAL},      {"019", AE_BAD_OCTAL},
        {"0o", AE_BAD_OCTAL},      {"0o8", AE_BAD_OCTAL},     {"0b", AE_BAD_BINARY},
        {"0b102", AE_BAD_BINARY},  {"0b1.", AE_BAD_BINARY},   {"0x", AE_BAD_HEX},
        {"0x1.", AE_BAD_HEX},      {"12abc", AE_BAD_DECIMAL}, {"1e5", AE_BAD_DECIMAL},
        {"1.2.3", AE_BAD_DECIMAL}, {".", AE_BAD_DECIMAL},     {"..5", AE_BAD_DECIMAL},
        {"0e1", AE_BAD_DECIMAL},
    };
    expect_errors(std::begin(cases), std::end(cases), AF_LENIENT_ESCAPES);
}

TEST(AnalyzeEvaluate, SyntaxAndKindErrors) {
    const ErrorCase cases[] = {
        {"6 == 6", AE_ASSIGN_AFTER_VALUE},
        {"1 + 2 = 3", AE_ASSIGN_AFTER_VALUE},
        {"--5", AE_REPEATED_PREFIX},
        {"!!1", AE_REPEATED_PREFIX},
        {"++1", AE_REPEATED_PREFIX},
        {"~~1", AE_REPEATED_PREFIX},
        {"- -5", AE_REPEATED_PREFIX},
        {"(1", AE_MISSING_PAREN},
        {"(1 2)", AE_MISSING_PAREN},
        {"1)", AE_UNBALANCED_PAREN},
        {"1 2", AE_MISSING_OPERATOR},
        {"1 \"a\"", AE_MISSING_OPERATOR},
        {"1 (2)", AE_MISSING_OPERATOR},
        {"1 x", AE_MISSING_OPERATOR},
        {"1 .5", AE_MISSING_OPERATOR},
        {"", AE_NO_VALUE},
        {";", AE_NO_VALUE},
        {"*", AE_NO_VALUE},
        {"(", AE_NO_VALUE},
        {"1 +", AE_NO_VALUE},
        {"1 && 2", AE_NO_VALUE},
        {"1 /* open", AE_OPEN_COMMENT},
        {"/* open", AE_OPEN_COMMENT},
        {"1 / 0", AE_DIVIDE_BY_ZERO},
        {"1 % 0", AE_DIVIDE_BY_ZERO},
        {"1 / -0", AE_DIVIDE_BY_ZERO},
        // The division fails before the missing parenthesis is seen.
        {"(1 / 0", AE_DIVIDE_BY_ZERO},
        {"x", AE_UNKNOWN_NAME},
        {"\"a\" + 1", AE_KIND_MISMATCH},
        {"1 ?= \"1\"", AE_KIND_MISMATCH},
        {"\"a\" - \"b\"", AE_KIND_UNSUPPORTED},
        {"\"a\" * \"b\"", AE_KIND_UNSUPPORTED},
        {"\"a\" | \"b\"", AE_KIND_UNSUPPORTED},
        {"\"a\" << \"b\"", AE_KIND_UNSUPPORTED},
        {"-\"a\"", AE_KIND_UNSUPPORTED},
        {"+\"a\"", AE_KIND_UNSUPPORTED},
        {"!\"a\"", AE_KIND_UNSUPPORTED},
        // The product binds first, so its kind error comes before the sum's.
        {"1 + \"a\" * 2", AE_KIND_MISMATCH},
        {"\"a\" + 1 * \"b\"", AE_KIND_MISMATCH},
    };
    expect_errors(std::begin(cases), std::end(cases), AF_LENIENT_ESCAPES);
}

TEST(AnalyzeEvaluate, StringsAndComparisons) {
    struct Case {
        const char* text;
        const char* value;
    };
    const Case strings[] = {
        {"\"ab\\qc\"", "abc"},
        {"\"ab\\#c\"", "ab#c"},
        {"\"a\\7b\"", "ab"},
        {"\"a\\_b\"", "a_b"},
        {"\"\\\"\\'\\\\\\n\\r\\t\"", "\"'\\\n\r\t"},
        {"\"\"", ""},
        {"\"a\" + \"b\" + \"c\"", "abc"},
        // A Shift-JIS character whose trail byte is a backslash or a quote stays one unit.
        {"\"\x83\x5C\"", "\x83\x5C"},
        {"\"\x83\x5C\\n\"", "\x83\x5C\n"},
        {"\"\x83\"x\"", "\x83\"x"},
        // A backslash before a lead byte is dropped and the character kept whole.
        {"\"\\\x83\x5C\"", "\x83\x5C"},
        {"\"a{}b\"", "a{}b"},
    };
    for (const Case& c : strings) {
        const Outcome o = evaluate(c.text);
        EXPECT_EQ(o.error, 0u) << c.text;
        EXPECT_TRUE(o.value.is_string()) << c.text;
        EXPECT_EQ(std::string(o.value.text()), c.value) << c.text;
    }
    const NumberCase comparisons[] = {
        {"\"abc\" < \"abd\"", 1}, {"\"ab\" < \"abc\"", 1}, {"\"abc\" > \"ab\"", 1},
        {"\"a\" ?= \"a\"", 1},    {"\"a\" != \"b\"", 1},   {"\"\x83\x40\" > \"z\"", 1},
        {"\"b\" <= \"a\"", 0},    {"\"b\" >= \"b\"", 1},   {"\"\" < \"a\"", 1},
    };
    expect_numbers(std::begin(comparisons), std::end(comparisons), AF_LENIENT_ESCAPES);

    const ErrorCase errors[] = {
        {"\"abc", AE_OPEN_STRING},        {"\"ab\ncd\"", AE_OPEN_STRING},
        {"\"ab\rcd\"", AE_OPEN_STRING},   {"\"ab\\", AE_OPEN_STRING},
        {"\"ab\\\ncd\"", AE_OPEN_STRING}, {"\"ab\x83", AE_OPEN_STRING},
    };
    expect_errors(std::begin(errors), std::end(errors), AF_LENIENT_ESCAPES);
}

TEST(AnalyzeEvaluate, StrictEscapesRejectUnknownOnes) {
    const ErrorCase cases[] = {
        {"\"ab\\qc\"", AE_BAD_ESCAPE},
        {"\"ab\\#c\"", AE_BAD_ESCAPE},
        {"\"\\\x83\x5C\"", AE_BAD_ESCAPE},
        {"\"a\\n\"", 0},
    };
    expect_errors(std::begin(cases), std::end(cases), 0);
}

TEST(AnalyzeEvaluate, WhiteSpaceCommentsAndCursor) {
    const NumberCase cases[] = {
        {"1 /* two */ + /**/ 2", 3},
        {"1 // rest of line\r\n + 2", 3},
        {"\t1\r\n+\n2 ", 3},
        {"1\x81\x40+\x81\x40 2", 3},
        {"8 / 2", 4},
    };
    expect_numbers(std::begin(cases), std::end(cases), AF_LENIENT_ESCAPES);

    // The cursor stops on the first byte that does not belong to the expression.
    struct Rest {
        const char* text;
        const char* rest;
    };
    const Rest rests[] = {
        {"1 + 2; next", "; next"},
        {"\"a\" } x", "} x"},
        {"(1) ,", ","},
        {"5", ""},
    };
    for (const Rest& r : rests) {
        const Outcome o = evaluate(r.text);
        EXPECT_EQ(o.error, 0u) << r.text;
        EXPECT_EQ(o.rest, r.rest) << r.text;
    }
}

TEST(AnalyzeEvaluate, RangeChecksOnlyWhenAsked) {
    const ErrorCase checked[] = {
        {"~4294967296", AE_OUT_OF_RANGE},
        // `-` first, then `~` on -2147483649.
        {"-~2147483649", AE_OUT_OF_RANGE},
        {"0x100000000 | 0", AE_OUT_OF_RANGE},
        {"1 | 4294967296", AE_OUT_OF_RANGE},
        {"1 << 32", AE_OUT_OF_RANGE},
        {"1 >> -1", AE_OUT_OF_RANGE},
        {"-2147483648 | 0", 0},
        {"4294967295 & 1", 0},
        {"1 << 31", 0},
        // `~` applies to 2147483649 before the negation.
        {"~-2147483649", 0},
    };
    expect_errors(std::begin(checked), std::end(checked), AF_RANGE_CHECK);
    const ErrorCase unchecked[] = {
        {"~4294967296", 0},
        {"1 << 32", 0},
    };
    expect_errors(std::begin(unchecked), std::end(unchecked), 0);

    // Numbers too large for a double are infinite, and an overflow only with range checks.
    const std::string huge[] = {
        "0x1" + std::string(300, '0'),      "0b1" + std::string(1100, '0'),
        "0o1" + std::string(400, '0'),      "1" + std::string(400, '0'),
        "1" + std::string(400, '0') + ".5",
    };
    for (const std::string& text : huge) {
        const Outcome o = evaluate(text);
        EXPECT_EQ(o.error, 0u) << text;
        EXPECT_TRUE(std::isinf(o.value.number())) << text;
        EXPECT_EQ(evaluate(text, AF_RANGE_CHECK).error, AE_OVERFLOW) << text;
    }
    EXPECT_EQ(evaluate("0." + std::string(400, '0') + "1").value.number(), 0.0);
    EXPECT_EQ(evaluate("0x1" + std::string(200, '0')).value.number(), std::ldexp(1.0, 800));
}

TEST(AnalyzeEvaluate, SymbolsAndAssignment) {
    analyze a(AF_LENIENT_ESCAPES);
    analyze_value* cell = nullptr;
    EXPECT_EQ(a.define_symbol("", cell), AE_NO_INPUT);
    EXPECT_EQ(a.define_symbol("1a", cell), AE_NO_IDENTIFIER);
    EXPECT_EQ(a.define_symbol("a-b", cell), AE_NO_IDENTIFIER);
    ASSERT_EQ(a.define_symbol("X", cell), AE_OK);
    cell->set_number(4);
    analyze_value* again = nullptr;
    EXPECT_EQ(a.define_symbol("X", again), AE_DEFINED_TWICE);
    EXPECT_EQ(again, cell);
    analyze_value* found = nullptr;
    EXPECT_EQ(a.find_symbol("", found), AE_NO_INPUT);
    EXPECT_EQ(a.find_symbol("Y", found), AE_UNKNOWN_NAME);
    ASSERT_EQ(a.find_symbol("X", found), AE_OK);
    EXPECT_EQ(found, cell);

    analyze_value out;
    a.set_text("X * 2 + X");
    ASSERT_TRUE(a.evaluate(out));
    EXPECT_EQ(out.number(), 12);

    // `NAME = expression` assigns to a defined symbol and yields the value.
    a.set_text("X = X + 1");
    ASSERT_TRUE(a.evaluate(out));
    EXPECT_EQ(out.number(), 5);
    EXPECT_EQ(cell->number(), 5);

    // An unknown name followed by `=` is no assignment.
    a.set_text("Y = 1");
    EXPECT_FALSE(a.evaluate(out));
    EXPECT_EQ(a.error(), AE_UNKNOWN_NAME);

    // `X == 1` assigns `= 1`, which has no value.
    a.set_text("X == 1");
    EXPECT_FALSE(a.evaluate(out));
    EXPECT_EQ(a.error(), AE_NO_VALUE);
    EXPECT_EQ(cell->number(), 5);

    cell->set_read_only(true);
    a.set_text("X = 1");
    EXPECT_FALSE(a.evaluate(out));
    EXPECT_EQ(a.error(), AE_READ_ONLY);
    // Reading a read-only symbol gives a writable copy.
    a.set_text("X");
    ASSERT_TRUE(a.evaluate(out));
    EXPECT_FALSE(out.is_read_only());

    analyze_value locked;
    locked.set_read_only(true);
    a.set_text("1");
    EXPECT_FALSE(a.evaluate(locked));
    EXPECT_EQ(a.error(), AE_NO_INPUT);

    // Parsing stops at the first error until a new text is set.
    a.set_text("1 / 0");
    EXPECT_FALSE(a.evaluate(out));
    EXPECT_FALSE(a.evaluate(out));
    EXPECT_EQ(a.error(), AE_DIVIDE_BY_ZERO);
}

TEST(AnalyzeEvaluate, NamesAlikeStayApart) {
    // Same length, first and last byte: names that look alike to a quick lookup.
    analyze a;
    const char* names[] = {"AXB", "AYB", "AZB", "A_B"};
    for (int i = 0; i < 4; ++i) {
        analyze_value* cell = nullptr;
        ASSERT_EQ(a.define_symbol(names[i], cell), AE_OK);
        cell->set_number(i + 1);
    }
    const NumberCase cases[] = {
        {"AXB * 1000 + AYB * 100 + AZB * 10 + A_B", 1234},
        {"A_B * 1000 + AZB * 100 + AYB * 10 + AXB", 4321},
        {"AXB + AXB + AYB", 4},
    };
    for (const NumberCase& c : cases) {
        a.set_text(c.text);
        analyze_value v;
        ASSERT_TRUE(a.evaluate(v)) << c.text;
        EXPECT_EQ(v.number(), c.value) << c.text;
    }
    a.clear_symbols();
    a.set_text("AXB");
    analyze_value v;
    EXPECT_FALSE(a.evaluate(v));
    EXPECT_EQ(a.error(), AE_UNKNOWN_NAME);
}

TEST(AnalyzeEvaluate, ReadIdentifierAndExpect) {
    analyze a;
    std::string_view word;
    a.set_text("  /* c */ abc_1 def");
    ASSERT_TRUE(a.read_identifier(word));
    EXPECT_EQ(word, "abc_1");
    EXPECT_TRUE(a.expect("de"));
    EXPECT_FALSE(a.expect("g"));
    EXPECT_EQ(std::string(a.cursor()), "f");
    EXPECT_FALSE(a.expect("fx"));
    EXPECT_EQ(a.error(), 0u);
    a.set_text(" 9a");
    EXPECT_FALSE(a.read_identifier(word));
    EXPECT_EQ(a.error(), AE_NO_IDENTIFIER);
    a.set_text("x");
    analyze_value cell;
    EXPECT_FALSE(a.read_string(cell));
    EXPECT_EQ(a.error(), AE_STRING_EXPECTED);
}

TEST(AnalyzeEvaluate, CharacterClasses) {
    analyze a;
    EXPECT_TRUE(a.char_class('_') & CC_IDENT_START);
    EXPECT_FALSE(a.char_class('7') & CC_IDENT_START);
    EXPECT_TRUE(a.char_class('7') & CC_OCTAL);
    EXPECT_FALSE(a.char_class('8') & CC_OCTAL);
    EXPECT_TRUE(a.char_class('f') & CC_HEX);
    EXPECT_FALSE(a.char_class('g') & CC_HEX);
    EXPECT_TRUE(a.char_class(0x81) & CC_LEAD_BYTE);
    EXPECT_TRUE(a.char_class(0xFC) & CC_LEAD_BYTE);
    EXPECT_FALSE(a.char_class(0xA0) & CC_LEAD_BYTE);
    EXPECT_FALSE(a.char_class(0xFD) & CC_LEAD_BYTE);
    EXPECT_TRUE(a.char_class('~') & CC_UNARY);
    EXPECT_EQ(a.char_class('Q'), CC_IDENT_START | CC_IDENT | CC_UPPER | CC_LETTER);
}

TEST(AnalyzeEvaluate, NestingIsBoundedNotFatal) {
    auto parens = [](int n) { return std::string(n, '(') + "1" + std::string(n, ')'); };
    EXPECT_EQ(evaluate(parens(kAnalyzeMaxDepth)).error, 0u);
    EXPECT_EQ(evaluate(parens(kAnalyzeMaxDepth + 1)).error, AE_TOO_DEEP);
    EXPECT_EQ(evaluate(std::string(1000000, '(')).error, AE_TOO_DEEP);

    auto prefixes = [](int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += (i % 2) ? '+' : '-';
        return s + "1";
    };
    EXPECT_EQ(evaluate(prefixes(kAnalyzeMaxDepth)).error, 0u);
    EXPECT_EQ(evaluate(prefixes(kAnalyzeMaxDepth + 1)).error, AE_TOO_DEEP);
    EXPECT_EQ(evaluate(prefixes(1000000)).error, AE_TOO_DEEP);
    // Prefix operators inside parentheses count together with them.
    EXPECT_EQ(evaluate(std::string(200, '(') + prefixes(100) + std::string(200, ')')).error,
              AE_TOO_DEEP);
    // Depth is released after each operand: long flat expressions are fine.
    std::string flat = "1";
    for (int i = 0; i < 2000; ++i)
        flat += " + (-1 + 1)";
    EXPECT_EQ(evaluate(flat).value.number(), 1);
}

TEST(AnalyzeEvaluate, FloatingPointModeIsNearestAndRestored) {
    const int saved = fegetround();
    ASSERT_EQ(fesetround(FE_UPWARD), 0);
    analyze a(AF_LENIENT_ESCAPES);
    analyze_value v;
    a.set_text("1 / 3");
    ASSERT_TRUE(a.evaluate(v));
    EXPECT_EQ(fegetround(), FE_UPWARD);
    analyze keep(AF_KEEP_FP_MODE);
    analyze_value up;
    keep.set_text("1 / 3");
    ASSERT_TRUE(keep.evaluate(up));
    fesetround(saved);
    volatile double one = 1.0, three = 3.0;
    EXPECT_EQ(v.number(), one / three);
    EXPECT_GT(up.number(), v.number());
}

}  // namespace analyze_evaluate_test
