#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/core/CkvString.h"
#include "text/AnalyzeRecord.h"
#include "text/AnalyzeTypes.h"

class AnalyzeArrayReader;

// The first failure of a read and where it happened, for the message: the record whose item
// could not be used (for an element of an array packed as rows, the array and the element's
// index, since the row's own record is only lent) and the field, "TYPE.m_Field", or "TYPE"
// alone when the record as a whole was refused.
struct AnalyzeFailure {
    static constexpr std::size_t kNoElement = SIZE_MAX;
    uint32_t code = 0;
    const AnalyzeRecord* record = nullptr;
    std::size_t element = kNoElement;
    std::string field;
};

// Reads the items of one parsed record by field name, through the type the file declared for it:
// the field's declared position picks the item. So a field the file does not declare is not read
// (the caller keeps its default), and a field the caller does not ask for is skipped.
//
// Failures stick and are shared with every reader opened from this one (nested records, arrays,
// their elements): after the first one every read returns false and error() tells the code,
// MREC_E_TYPE_NOT_DECLARED for an undeclared record type or MREC_E_BAD_FIELD for an item that is
// missing or has the wrong kind or range. A reader must not outlive the reader it was opened from,
// the type table or the record. One thread at a time.
class AnalyzeFieldReader {
public:
    // A reader with nothing to read and no error.
    AnalyzeFieldReader() = default;

    // A reader for `record` read as the file's type `type_name`; error MREC_E_TYPE_NOT_DECLARED
    // when the file does not declare that type.
    AnalyzeFieldReader(const AnalyzeTypeTable& types, std::string_view type_name,
                       const AnalyzeRecord& record);

    AnalyzeFieldReader(const AnalyzeFieldReader&) = delete;
    AnalyzeFieldReader& operator=(const AnalyzeFieldReader&) = delete;

    // The first failure of this reader and those opened from it; 0 while there is none.
    uint32_t error() const { return failure_->code; }
    bool ok() const { return failure_->code == 0; }
    // Where that failure happened.
    const AnalyzeFailure& failure() const { return *failure_; }

    // The declared type and the record; null for a reader with nothing to read.
    const AnalyzeType* type() const { return type_; }
    const AnalyzeRecord* record() const { return record_; }

    // True when the file declares the field for this record type.
    bool declares(std::string_view field) const;

    // Read a field as a signed (−2147483648 … 2147483647) or unsigned (0 … 4294967295) 32-bit
    // integer, truncated toward zero, or as a string. True when `out` was set; false, out
    // unchanged, when the file does not declare the field (no error) or on failure (error set).
    bool read_int(std::string_view field, int32_t& out);
    bool read_uint(std::string_view field, uint32_t& out);
    bool read_string(std::string_view field, CkvString& out);
    // A 32-bit set of flags, written either way: signed or unsigned (−2147483648 … 4294967295),
    // its low 32 bits. Same results as above.
    bool read_bits(std::string_view field, uint32_t& out);

    // The same reads through a field looked up once with declared_field(), for reading many
    // records of one type (the elements of an array): a null field is one the file does not
    // declare. The field must belong to this reader's type.
    const AnalyzeField* declared_field(std::string_view field) const;
    bool read_int(const AnalyzeField* field, int32_t& out);
    bool read_uint(const AnalyzeField* field, uint32_t& out);

    // The field's item as a nested record, whatever its attributes (for fields whose content
    // says its own type). Same results as above.
    bool read_record(std::string_view field, const AnalyzeRecord*& out);

    // Opens a reader for a nested-record field, read as the field's declared type.
    bool read_nested(std::string_view field, AnalyzeFieldReader& out);

    // Opens an array field: its item must be a record with the attribute `array` whose `type`
    // attribute is exactly the name of the field's declared type.
    bool read_array(std::string_view field, AnalyzeArrayReader& out);

    // Opens a reader for any record read as the file's type `type_name`, sharing this reader's
    // failures; false with MREC_E_TYPE_NOT_DECLARED when the file does not declare the type.
    bool open(const AnalyzeRecord& record, std::string_view type_name, AnalyzeFieldReader& out);

    // Records a failure of the caller's own (the first one sticks); returns false.
    bool fail(uint32_t code);

private:
    friend class AnalyzeArrayReader;
    void attach(const AnalyzeTypeTable* types, const AnalyzeType* type, const AnalyzeRecord* record,
                AnalyzeFailure* failure);
    // Records the first failure at `field` of this reader's record (empty: the record itself).
    bool fail_at(uint32_t code, std::string_view field);
    // The item of a declared field, or null: not declared (no error) or missing (error set).
    const analyze_value* locate(std::string_view field, const AnalyzeField** declared = nullptr);
    const analyze_value* locate(const AnalyzeField* field);

    const AnalyzeTypeTable* types_ = nullptr;
    const AnalyzeType* type_ = nullptr;
    const AnalyzeRecord* record_ = nullptr;
    // For a row of packed elements: the array and the row's index, where failures are placed.
    const AnalyzeRecord* rows_of_ = nullptr;
    std::size_t row_index_ = AnalyzeFailure::kNoElement;
    AnalyzeFailure own_failure_;
    AnalyzeFailure* failure_ = &own_failure_;
};

// The elements of an array field, read by index. Shares the failures of the reader it was opened
// from; an index past the last element is a failure (MREC_E_BAD_FIELD). Elements packed as rows
// are read one at a time into the array reader's own record: a reader opened on an element is
// good until the next element is read.
class AnalyzeArrayReader {
public:
    AnalyzeArrayReader() = default;
    AnalyzeArrayReader(const AnalyzeArrayReader&) = delete;
    AnalyzeArrayReader& operator=(const AnalyzeArrayReader&) = delete;

    // The number of elements; 0 for an array not opened.
    std::size_t size() const { return record_ ? record_->size() : 0; }
    const AnalyzeType* element_type() const { return element_; }
    const AnalyzeRecord* record() const { return record_; }
    uint32_t error() const { return failure_->code; }

    // Read an element as a number or string; true when `out` was set, false on failure.
    bool read_int(std::size_t index, int32_t& out);
    bool read_uint(std::size_t index, uint32_t& out);
    bool read_string(std::size_t index, CkvString& out);

    // Opens a reader for a record element, read as the element type.
    bool read_element(std::size_t index, AnalyzeFieldReader& out);

private:
    friend class AnalyzeFieldReader;
    const analyze_value* element(std::size_t index);
    // Records the first failure at element `index`.
    bool fail_at(std::size_t index);

    const AnalyzeTypeTable* types_ = nullptr;
    const AnalyzeType* element_ = nullptr;
    const AnalyzeRecord* record_ = nullptr;
    AnalyzeFailure own_failure_;
    AnalyzeFailure* failure_ = &own_failure_;
    AnalyzeRecord row_;  // the element last read from packed rows
};
