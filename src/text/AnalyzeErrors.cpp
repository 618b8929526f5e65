#include "text/AnalyzeErrors.h"

const char* analyze_error_text(uint32_t code) {
    switch (code) {
        case AE_OK:
            return "no error";
        case AE_NO_VALUE:
            return "a value is missing";
        case AE_MISSING_OPERATOR:
            return "two values without an operator between them";
        case AE_REPEATED_PREFIX:
            return "the same sign or operator twice in a row";
        case AE_MISSING_PAREN:
            return "a closing parenthesis is missing";
        case AE_UNBALANCED_PAREN:
            return "a closing parenthesis without its opening one";
        case AE_OPEN_COMMENT:
            return "a /* comment is never closed";
        case AE_TOO_DEEP:
            return "records or expressions nested too deep";
        case AE_BAD_DECIMAL:
            return "a malformed decimal number";
        case AE_BAD_BINARY:
            return "a malformed binary number";
        case AE_BAD_OCTAL:
            return "a malformed octal number";
        case AE_BAD_HEX:
            return "a malformed hexadecimal number";
        case AE_BAD_ESCAPE:
            return "an unknown escape in a string";
        case AE_STRING_EXPECTED:
            return "a string is expected";
        case AE_OPEN_STRING:
            return "a string is not closed on its line";
        case AE_DIVIDE_BY_ZERO:
            return "division by zero";
        case AE_OVERFLOW:
            return "a number too large";
        case AE_OUT_OF_RANGE:
            return "a number outside the 32-bit range";
        case AE_UNKNOWN_NAME:
            return "an unknown name";
        case AE_NO_IDENTIFIER:
            return "a name is expected";
        case AE_NOT_FUNCTION:
            return "a name that is not a function";
        case AE_DEFINED_TWICE:
            return "a constant defined twice";
        case AE_KIND_MISMATCH:
            return "a number and a string mixed in one operation";
        case AE_KIND_UNSUPPORTED:
            return "an operator that does not apply to this kind of value";
        case AE_ASSIGN_AFTER_VALUE:
            return "an `=` after a complete value";
        case AE_READ_ONLY:
            return "an assignment to a constant";
        case AE_NO_INPUT:
            return "no input";
        case MREC_E_NO_BUFFER:
            return "nothing to read";
        case MREC_E_NO_FILE:
            return "the file is missing or empty";
        case MREC_E_READ_FAILED:
            return "the file cannot be read";
        case MREC_E_NOT_TERMINATED:
            return "the text is not terminated";
        case MREC_E_NO_MAGIC:
            return "the file does not begin with KORVANTE-TEXT-TYPE";
        case MREC_E_BRACE_EXPECTED:
            return "a `{` is expected";
        case MREC_E_SEMICOLON_EXPECTED:
            return "a `;` is expected";
        case MREC_E_NAME_TWICE:
            return "a name appears twice in one block";
        case MREC_E_NO_HEADER:
            return "the first statement is not `header`";
        case MREC_E_NO_SOFT_VERSION:
            return "the header has no soft_version";
        case MREC_E_NEWER_LAYOUT:
            return "the file was written by a newer version with another layout";
        case MREC_E_BAD_TARGET:
            return "the header's target is missing or unknown";
        case MREC_E_BAD_TYPE:
            return "the header's type is missing or unknown";
        case MREC_E_NO_TYPE_NAME:
            return "a type name is missing";
        case MREC_E_TYPE_TWICE:
            return "a record type is declared twice";
        case MREC_E_BASE_WITH_FIELDS:
            return "a base type has fields";
        case MREC_E_UNKNOWN_FIELD_TYPE:
            return "a field of an undeclared type";
        case MREC_E_NO_FIELD_NAME:
            return "a field without a name";
        case MREC_E_FIELD_TWICE:
            return "a field is declared twice";
        case MREC_E_NO_RECORD_TYPE:
            return "this kind of content has no record type";
        case MREC_E_TYPE_MISMATCH:
            return "the file holds another kind of content";
        case MREC_E_NO_MAIN:
            return "the text ends before the main data";
        case MREC_E_REJECTED:
            return "the content was rejected";
        case MREC_E_TYPE_NOT_DECLARED:
            return "a record type the content needs is not declared";
        case MREC_E_BAD_FIELD:
            return "a field of the wrong kind, out of range or missing";
        default:
            return "unknown error";
    }
}
