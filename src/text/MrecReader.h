#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "text/AnalyzeFields.h"
#include "text/AnalyzeRecord.h"
#include "text/AnalyzeRows.h"
#include "text/AnalyzeTypes.h"
#include "text/MrecHeader.h"
#include "text/analyze.h"

// What a text that failed to read looks like, when that may be why it failed.
enum : uint32_t {
    MREC_HINT_NONE = 0,
    MREC_HINT_BOM = 1,   // it starts with a UTF-8 byte-order mark
    MREC_HINT_UTF8 = 2,  // it is UTF-8 rather than CP932
};

// The magic every file of the text format begins with.
constexpr char kMrecMagic[] = "KORVANTE-TEXT-TYPE";

// Everything one read of a file produced: the error code (0 on success), the header, the record
// types the file declared and its `data` records. Cleared at the start of every read. The records
// live in the result's own memory: keep the result while they are used, or clone() what must
// outlive it. Any thread, one result at a time.
struct MrecReadResult {
    // Holds the records of the read; declared first so that it goes last.
    std::pmr::monotonic_buffer_resource memory;
    uint32_t error = 0;
    MrecHeader header;
    AnalyzeTypeTable types;
    // Every `data` record read, in file order; the read ends with the main one.
    std::vector<std::unique_ptr<AnalyzeRecord>> records;
    // The record whose attributes contain `main`; null when the read did not reach it.
    const AnalyzeRecord* main = nullptr;
    // Where a failed read stopped in the text: 1-based line and byte column; 0 when the failure
    // has no place in the text (no file, a compile error of the main record).
    uint32_t line = 0;
    uint32_t column = 0;
    // The field a failed compile could not use ("TYPE.m_Field"); line and column are then where
    // its record (or its element of an array) starts. Empty for other failures.
    std::string field;
    // What a failed read's text looks like, for a hint to the user (MREC_HINT_*).
    uint32_t hint = 0;
    // Why the file could not be read, with code 0x10003.
    kv_fs::file_error file;

    void clear();
};

// Reads whole files of the text format: the magic, the `header` block and its check, then the
// statements `type`, `define` and `data` (other statements are skipped) up to the `data` record
// marked `main`; the text after it is never looked at. Files are read with lenient escapes and
// no range checks. Derived classes compile what was read by overriding the two hooks. One reader
// serves one thread at a time.
class MrecReader : public analyze {
public:
    MrecReader();

    // Reads the text of one file. `length` counts every byte of the buffer, and the last one
    // must be the NUL that ends the text. Returns true on success; on failure false, with the
    // code in result.error and whatever was read before the failure left in `result`
    // (MREC_E_READ_FAILED when memory ran out). Symbols of an earlier read are forgotten.
    // Thread of the reader.
    bool parse_file_text(const char* text, std::size_t length, MrecReadResult& result);

    // Like parse_file_text, but stops with success after the header check.
    bool parse_header_text(const char* text, std::size_t length, MrecReadResult& result);

    // Whether the records of later reads keep runs of number-only records packed as rows
    // (AnalyzeRows), as the blocks of tracks are: far less memory for large files, the same
    // records to every reader. Off unless set. Thread of the reader.
    void set_pack_rows(bool on) { pack_rows_ = on; }
    bool packs_rows() const { return pack_rows_; }

protected:
    // Called once the header is read and has passed the check of mrec_read_header; returns 0 to
    // go on or an error code that ends the read. The default accepts.
    virtual uint32_t on_header(MrecReadResult& result);

    // Called with the main record once it is read; its result (0 or an error code) ends the read.
    // The default accepts.
    virtual uint32_t on_main(MrecReadResult& result, const AnalyzeRecord& main);

    // Places the failure of a compile in on_main in the text: the failed read's line and column
    // become where the failed record (or its element) starts, and its field is named.
    void place_failure(const AnalyzeFailure& failure, MrecReadResult& result);

private:
    bool read(const char* text, std::size_t length, MrecReadResult& result, bool header_only);
    bool read_text(const char* text, std::size_t length, MrecReadResult& result, bool header_only);
    bool read_statements(MrecReadResult& result);
    bool read_map_item(AnalyzeAttributes& map);
    bool read_attributes(AnalyzeAttributes& attributes);
    bool read_block(AnalyzeBlock& block);
    bool read_record(AnalyzeRecord& record, bool with_attributes);
    // Reads the items of an open record up to its `}` onto the item stack, above `base`; when
    // they are all rows and rows are packed, they are gathered in rows_ instead (`packed` set).
    bool read_items(std::size_t base, bool& packed);
    // Moves the items read from `base` (or the gathered rows) into `record`.
    void take_items(AnalyzeRecord& record, std::size_t base, bool packed);
    // Reads a nested record (after its `@`, when it has attributes) as an item of the record
    // whose items start at `base`: as a row of that record when it can be one, else as a
    // record cell on the stack (the rows gathered so far become records before it).
    bool read_nested(bool with_attributes, std::size_t base, bool& rows);
    // Turns the gathered rows back into record cells on the item stack.
    void unpack_rows();
    bool read_type(AnalyzeTypeTable& types);
    bool read_define();
    bool skip_statement();
    // Fills the place and the hint of a failed read into `result`.
    void note_failure(const char* text, std::size_t length, MrecReadResult& result) const;

    analyze_value scratch_;
    std::pmr::memory_resource* memory_ = nullptr;  // where the records of this read go
    // The items of every open record, innermost last; a record takes its own when it closes.
    std::vector<analyze_value> item_stack_;
    // The rows of the open record that gathers them; one record at a time may.
    AnalyzeRows rows_;
    bool rows_taken_ = false;  // some open record is gathering rows
    bool pack_rows_ = false;
    bool in_main_ = false;  // the main record is being compiled
    // Where each record of this read opens (its `{`), for placing a failure of the compile;
    // rows packed into their array have none of their own.
    std::vector<std::pair<const AnalyzeRecord*, const char*>> braces_;
    const char* failure_place_ = nullptr;  // where a failed compile is placed; null: nowhere
};

// MREC_HINT_BOM for a text that starts with a UTF-8 byte-order mark, MREC_HINT_UTF8 for one
// that is valid UTF-8 with multi-byte characters, else MREC_HINT_NONE. Any thread.
uint32_t mrec_text_hint(std::string_view text);
