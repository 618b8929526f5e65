#include "model/core/parse_int.h"

namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The value of a digit in base 10 or 16, or -1.
int digit_value(char c, int base) {
    if (c >= '0' && c <= '9') return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The digits of `text` from `i` on, in `base`, as a magnitude that stops growing past 2^64 (any
// such number is out of every range). False when there is no digit at `i`; `i` ends after the
// last digit.
bool read_digits(std::string_view text, size_t& i, int base, unsigned __int128* magnitude) {
    constexpr unsigned __int128 kBeyond = static_cast<unsigned __int128>(1) << 65;
    const size_t first = i;
    unsigned __int128 m = 0;
    for (int d; i < text.size() && (d = digit_value(text[i], base)) >= 0; ++i) {
        m = m * base + static_cast<unsigned>(d);
        if (m > kBeyond) m = kBeyond;
    }
    *magnitude = m;
    return i > first;
}

}  // namespace

parse_int_error parse_int(std::string_view text, int64_t lo, int64_t hi, int64_t* out,
                          uint32_t flags) {
    size_t i = 0;
    while (i < text.size() && is_space(text[i]))
        ++i;
    if (i == text.size()) return parse_int_error::empty;
    const bool negative = text[i] == '-';
    if (text[i] == '+' || text[i] == '-') ++i;
    int base = 10;
    if ((flags & PARSE_INT_HEX) && i + 1 < text.size() && text[i] == '0' &&
        (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    unsigned __int128 magnitude = 0;
    if (!read_digits(text, i, base, &magnitude)) return parse_int_error::syntax;
    if (flags & PARSE_INT_TRIM) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    }
    if (i != text.size()) return parse_int_error::syntax;
    const __int128 value =
        negative ? -static_cast<__int128>(magnitude) : static_cast<__int128>(magnitude);
    if (value < lo || value > hi) {
        if (!(flags & PARSE_INT_CLAMP)) return parse_int_error::range;
        *out = value < lo ? lo : hi;
        return parse_int_error::none;
    }
    *out = static_cast<int64_t>(value);
    return parse_int_error::none;
}
