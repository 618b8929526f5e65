#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "text/MrecSchema.h"
#include "text/bank.h"

// The written form of the text format: the primitives every record writer builds its lines
// from, the file's fixed parts (magic, header, base types) and the declarations of record types
// and constant tables, each written once per file. One writer serves one save on one thread.
class MrecWriter {
public:
    MrecWriter();

    // The whole text written so far.
    std::string text() const;

    // Layout.
    void raw(std::string_view s) { out_->append(s); }
    void crlf() { out_->append("\r\n"); }
    // Depth × one space.
    void indent(int depth) { out_->append(static_cast<size_t>(depth < 0 ? 0 : depth), ' '); }
    // A line break followed by the indentation of `depth`.
    void line(int depth) {
        crlf();
        indent(depth);
    }

    // Values, each followed directly by ';'.
    void dec(int64_t v);                      // %d
    void dec2(int64_t v);                     // %2d
    void hex8(uint32_t v);                    // 0x%08x
    void hex2(uint32_t v);                    // 0x%02x
    void hex(uint32_t v);                     // 0x%x
    void number(int64_t v, MrecNumFormat f);  // any of the above
    void string(std::string_view text);       // "escaped";
    // A single-valued symbolic field: the constant's name, else the number in `fallback`.
    void symbol(uint32_t v, const MrecConstTable& table, MrecNumFormat fallback);
    // A flag field: the names of the set flags joined by '|', then any other bits as 0x%08x.
    void flags(uint32_t v, const MrecConstTable& table);

    // The text of a string value without the quotes: \ ' " TAB LF CR escaped, stepping over
    // double-byte characters whose trail byte is a backslash. Any thread.
    static void escape(std::string_view text, std::string& out);

    // Fixed parts of every file.
    void magic();
    void header(uint32_t soft_version, std::string_view target, std::string_view type_name,
                std::string_view name);
    void base_types();
    void main_data_line(std::string_view type);
    void typed_prefix(std::string_view type);  // @type="...";  then CR LF
    void array_prefix(std::string_view type);  // @array; type="...";
    void empty_record() { raw("@null;{}"); }

    // Declares a record type (after the types its fields use) unless already declared; the
    // constant table that belongs to it is written just before it. False for an unknown type.
    bool declare(std::string_view type);
    // Writes a define block unless this file already has it.
    void define(const MrecConstTable& table);
    bool declared(std::string_view type) const { return declared_.count(std::string(type)) != 0; }

    // The MSEQ_TYPE group written before MSEQ_OBJECT's declaration.
    void set_object_types(mrec_schema::TypeGroup group) { object_group_ = group; }

    // The application version as the header writes it: one byte per version part.
    static uint32_t soft_version();

private:
    void record_type(const MrecTypeDecl& decl);

    bank_string bank_;
    std::string* out_;
    std::set<std::string> declared_;
    std::set<std::string> defined_;
    mrec_schema::TypeGroup object_group_ = mrec_schema::TypeGroup::Leaves;
};
