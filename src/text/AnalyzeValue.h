#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "model/core/CkvString.h"

class AnalyzeRecord;

// Kinds of a value cell (the low 4 bits of its kind word), its flags and auxiliary kinds.
enum : uint16_t {
    AVK_EMPTY = 0,
    AVK_NUMBER = 2,
    AVK_STRING = 3,
    AVK_POINTER = 4,
    AVK_MASK = 0x0F,
    AVF_CALLABLE = 0x10,   // the cell names something to call
    AVF_READ_ONLY = 0x20,  // assigning to the cell fails
    AVA_RECORD = 8,        // auxiliary word of a pointer cell that holds a parsed record
};

// The unit the evaluator computes with, the symbol table stores and a parsed record holds as an
// item: empty, a number (a double), a string (CP932 bytes) or a nested record. The names of
// cells are the keys of the maps that hold them. Cells are values: copying one copies a nested
// record too. A cell is 16 bytes and numbers need no allocation, because files are mostly
// numbers. Any thread, one cell at a time.
class analyze_value {
public:
    analyze_value() : kind_(AVK_EMPTY), aux_(0) { p_.number = 0.0; }
    ~analyze_value() {
        if (owns_payload()) release();
    }
    analyze_value(const analyze_value& other);
    analyze_value(analyze_value&& other) noexcept
        : kind_(other.kind_), aux_(other.aux_), p_(other.p_) {
        other.kind_ = static_cast<uint16_t>(other.kind_ & ~AVK_MASK);
        other.aux_ = 0;
        other.p_.number = 0.0;
    }
    analyze_value& operator=(const analyze_value& other);
    analyze_value& operator=(analyze_value&& other) noexcept;

    // The kind word (kind and flags), the kind alone and the auxiliary word; never fail.
    uint16_t kind_word() const { return kind_; }
    uint16_t kind() const { return kind_ & AVK_MASK; }
    uint16_t aux() const { return aux_; }
    bool is_read_only() const { return (kind_ & AVF_READ_ONLY) != 0; }
    void set_read_only(bool on);

    bool is_empty() const { return kind() == AVK_EMPTY; }
    bool is_number() const { return kind() == AVK_NUMBER; }
    bool is_string() const { return kind() == AVK_STRING; }
    bool is_record() const { return kind() == AVK_POINTER && aux_ == AVA_RECORD && p_.record; }

    // The payload; 0, an empty string or null when the cell holds another kind.
    double number() const { return is_number() ? p_.number : 0.0; }
    const CkvString& text() const;
    const AnalyzeRecord* record() const { return is_record() ? p_.record : nullptr; }
    AnalyzeRecord* record() { return is_record() ? p_.record : nullptr; }

    // Replace the payload; the flags stay. Never fail.
    void clear();
    void set_number(double value) {
        if (owns_payload()) release();
        kind_ = static_cast<uint16_t>((kind_ & ~AVK_MASK) | AVK_NUMBER);
        aux_ = 0;
        p_.number = value;
    }
    void set_string(std::string_view text);
    // Makes the cell an empty string and hands out its text for appending.
    CkvString& start_string();
    // Appends to the text of a string cell; does nothing to other cells.
    void append_text(std::string_view more);
    void set_record(std::unique_ptr<AnalyzeRecord> record);
    // Takes over a record made by AnalyzeRecord::create().
    void adopt_record(AnalyzeRecord* record);

    // The number truncated toward zero when it lies in the signed (−2147483648 … 2147483647) or
    // unsigned (0 … 4294967295) 32-bit range; false, out unchanged, for any other cell.
    bool to_int32(int32_t& out) const;
    bool to_uint32(uint32_t& out) const;

private:
    bool owns_payload() const { return kind() == AVK_STRING || kind() == AVK_POINTER; }
    // Frees an owned string or record and leaves an empty payload; the kind word stays.
    void release();

    uint16_t kind_;
    uint16_t aux_;
    union Payload {
        double number;
        CkvString* text;        // owned, for strings
        AnalyzeRecord* record;  // owned, for pointer cells
    } p_;
};
