#pragma once

#include <cstdint>
#include <string_view>

// The one reader of whole numbers typed by people: command-line options, script steps, dialog
// fields, the editor's lag field and the recovery notes. Decimal only unless hexadecimal is
// asked for, so that a leading zero never turns a number octal ("010" is ten). Any thread.

// How parse_int reads (bits of its `flags`).
enum : uint32_t {
    PARSE_INT_HEX = 0x1,    // "0x" or "0X" followed by hexadecimal digits is read too
    PARSE_INT_TRIM = 0x2,   // spaces and tabs after the number are passed over as well
    PARSE_INT_CLAMP = 0x4,  // a number outside [lo, hi] becomes the nearer bound, not an error
};

// Why a text is not a number in range.
enum class parse_int_error {
    none,
    empty,   // nothing but white space
    syntax,  // not a sign and digits, or something follows them
    range,   // a number outside [lo, hi] (beyond 64 bits included)
};

// Reads `text` as an optional sign ('+' or '-') and digits, white space before it passed over as
// the C library's readers do. On success `*out` receives the value; on any error it is left
// as it was. `lo` must not exceed `hi`.
parse_int_error parse_int(std::string_view text, int64_t lo, int64_t hi, int64_t* out,
                          uint32_t flags = 0);
