#pragma once

#include <cstdint>

// The codes a read of the text format fails with. A read reports exactly one code: the first
// failure it meets. Codes below 0x10000 come from the expression evaluator and the lexical layer;
// the others from the statement grammar, the header check and the record readers.
enum : uint32_t {
    AE_OK = 0,
    AE_NO_VALUE = 2,             // no value where one is required
    AE_MISSING_OPERATOR = 3,     // a value followed by another value without an operator
    AE_REPEATED_PREFIX = 4,      // the same prefix operator twice in a row
    AE_MISSING_PAREN = 5,        // `)` missing after a parenthesised expression
    AE_UNBALANCED_PAREN = 6,     // a `)` after a complete expression
    AE_OPEN_COMMENT = 7,         // a `/*` comment that the text never closes
    AE_TOO_DEEP = 8,             // records, parentheses and prefix operators nested too deep
    AE_BAD_DECIMAL = 17,         // malformed decimal number
    AE_BAD_BINARY = 18,          // malformed binary number
    AE_BAD_OCTAL = 19,           // malformed octal number
    AE_BAD_HEX = 20,             // malformed hexadecimal number
    AE_BAD_ESCAPE = 22,          // unknown escape (strict escapes only)
    AE_STRING_EXPECTED = 23,     // no string at the cursor
    AE_OPEN_STRING = 24,         // a string not closed on its line
    AE_DIVIDE_BY_ZERO = 33,      // division or remainder by zero
    AE_OVERFLOW = 34,            // a number that is not finite (range checks only)
    AE_OUT_OF_RANGE = 35,        // a bit operand outside the 32-bit range (range checks only)
    AE_UNKNOWN_NAME = 49,        // a name that is no symbol
    AE_NO_IDENTIFIER = 50,       // identifier expected
    AE_NOT_FUNCTION = 51,        // a callable name that is not a function
    AE_DEFINED_TWICE = 52,       // a symbol name defined twice
    AE_KIND_MISMATCH = 53,       // operands of different kinds
    AE_KIND_UNSUPPORTED = 54,    // an operator not defined for the operands' kind
    AE_ASSIGN_AFTER_VALUE = 56,  // `=` after a complete expression
    AE_READ_ONLY = 57,           // assignment to a read-only cell
    AE_NO_INPUT = 255,           // no input, no name or no target cell

    MREC_E_NO_BUFFER = 0x10001,           // no buffer or an empty one (or no entity, no path)
    MREC_E_NO_FILE = 0x10002,             // the file is missing or empty
    MREC_E_READ_FAILED = 0x10003,         // reading the file failed
    MREC_E_NOT_TERMINATED = 0x10004,      // the buffer does not end with a NUL byte
    MREC_E_NO_MAGIC = 0x10005,            // the text does not begin with the magic
    MREC_E_BRACE_EXPECTED = 0x10011,      // `{` expected
    MREC_E_SEMICOLON_EXPECTED = 0x10012,  // `;` expected, or a field line not made of identifiers
    MREC_E_NAME_TWICE = 0x10013,          // a name twice in one attribute map or block
    MREC_E_NO_HEADER = 0x10020,           // the first statement is not `header`
    MREC_E_NO_SOFT_VERSION = 0x10021,     // header without a nonzero soft_version
    MREC_E_NEWER_LAYOUT = 0x10022,        // header data_version of a newer layout generation
    MREC_E_BAD_TARGET = 0x10023,          // header target missing or not a known word
    MREC_E_BAD_TYPE = 0x10024,            // header type missing or not a type constant name
    MREC_E_NO_TYPE_NAME = 0x10031,        // `name` of a type or `type` of a record missing
    MREC_E_TYPE_TWICE = 0x10032,          // a record type declared twice
    MREC_E_BASE_WITH_FIELDS = 0x10033,    // a base type with field lines
    MREC_E_UNKNOWN_FIELD_TYPE = 0x10034,  // a field of a type not declared before
    MREC_E_NO_FIELD_NAME = 0x10035,       // a field line without a field name
    MREC_E_FIELD_TWICE = 0x10036,         // a field declared twice in one type
    MREC_E_NO_RECORD_TYPE = 0x10041,      // the entity type has no record type
    MREC_E_TYPE_MISMATCH = 0x10042,       // record type or header type does not match the entity
    MREC_E_NO_MAIN = 0x10043,             // the text ends before the main data
    MREC_E_REJECTED = 0x10044,            // the content was rejected
    MREC_E_TYPE_NOT_DECLARED = 0x10051,   // a record type a reader needs is not declared
    MREC_E_BAD_FIELD = 0x10052,           // a field of the wrong kind or range, or its item missing
};

// A short English description of a read's error code ("a `;` expected", ...), for messages;
// "unknown error" for a code that is none of the above. Any thread.
const char* analyze_error_text(uint32_t code);
