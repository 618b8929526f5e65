#include "text/MrecReader.h"

#include <cstring>
#include <exception>
#include <string_view>
#include <utility>

void MrecReadResult::clear() {
    error = 0;
    header = MrecHeader();
    types.clear();
    main = nullptr;
    line = column = 0;
    field.clear();
    hint = MREC_HINT_NONE;
    file = kv_fs::file_error{};
    records.clear();
    memory.release();
}

MrecReader::MrecReader() : analyze(AF_LENIENT_ESCAPES) {}

uint32_t MrecReader::on_header(MrecReadResult&) {
    return AE_OK;
}

uint32_t MrecReader::on_main(MrecReadResult&, const AnalyzeRecord&) {
    return AE_OK;
}

bool MrecReader::parse_file_text(const char* text, std::size_t length, MrecReadResult& result) {
    return read(text, length, result, false);
}

bool MrecReader::parse_header_text(const char* text, std::size_t length, MrecReadResult& result) {
    return read(text, length, result, true);
}

bool MrecReader::read(const char* text, std::size_t length, MrecReadResult& result,
                      bool header_only) {
    result.clear();
    clear_symbols();
    item_stack_.clear();
    rows_.clear();
    rows_taken_ = false;
    reset_state(nullptr);
    set_flags(AF_LENIENT_ESCAPES);
    in_main_ = false;
    braces_.clear();
    failure_place_ = nullptr;
    memory_ = &result.memory;
    bool ok;
    try {
        FpScope fp(*this);
        ok = read_text(text, length, result, header_only);
    } catch (const std::exception&) {
        // Memory ran out: the read fails like any other; nothing escapes the reader.
        ok = fail(MREC_E_READ_FAILED);
    }
    // Items of records left open by a failure live in the result's memory: drop them now, while
    // it is still there.
    item_stack_.clear();
    rows_.clear();
    rows_taken_ = false;
    braces_.clear();
    memory_ = nullptr;
    result.error = error_;
    if (error_ != 0) note_failure(text, length, result);
    return ok && error_ == 0;
}

void MrecReader::note_failure(const char* text, std::size_t length, MrecReadResult& result) const {
    if (!text || length == 0) return;
    const std::string_view whole(text, length - 1);
    result.hint = mrec_text_hint(whole);
    if (result.error == MREC_E_NO_MAGIC) {
        result.line = result.column = 1;
        return;
    }
    // A compile error of the main record has a place only when the compile placed it.
    const char* at = in_main_ ? failure_place_ : cur_;
    if (!at || at < text || at > text + length - 1) return;
    uint32_t line = 1, column = 1;
    for (const char* p = text; p < at; ++p) {
        if (*p == '\n' || (*p == '\r' && p[1] != '\n')) {
            ++line;
            column = 1;
        } else if (*p != '\r') {
            ++column;
        }
    }
    result.line = line;
    result.column = column;
}

namespace {

// The `{` of element `index` of the record that opens at `open`: its items at depth one,
// skipping strings and comments. Null when there are fewer such elements.
const char* element_brace(const char* open, std::size_t index) {
    int depth = 0;
    for (const char* p = open + 1; *p != 0; ++p) {
        if (*p == '"') {
            for (++p; *p != 0 && *p != '"'; ++p)
                if (*p == '\\' && p[1] != 0) ++p;
            if (*p == 0) return nullptr;
        } else if (p[0] == '/' && p[1] == '*') {
            const char* end = std::strstr(p + 2, "*/");
            if (!end) return nullptr;
            p = end + 1;
        } else if (p[0] == '/' && p[1] == '/') {
            while (p[1] != 0 && p[1] != '\n')
                ++p;
        } else if (*p == '{') {
            if (depth == 0 && index-- == 0) return p;
            ++depth;
        } else if (*p == '}') {
            if (depth == 0) return nullptr;
            --depth;
        }
    }
    return nullptr;
}

}  // namespace

void MrecReader::place_failure(const AnalyzeFailure& failure, MrecReadResult& result) {
    result.field = failure.field;
    const char* open = nullptr;
    for (const auto& [record, brace] : braces_) {
        if (record == failure.record) open = brace;
    }
    if (!open) return;
    failure_place_ = open;
    // An element of an array: where that element opens, when it is a record (rows are).
    if (failure.element == AnalyzeFailure::kNoElement) return;
    const analyze_value* item =
        failure.record->has_rows() ? nullptr : failure.record->item(failure.element);
    if (failure.record->has_rows() || (item && item->record())) {
        if (const char* element = element_brace(open, failure.element)) failure_place_ = element;
    }
}

uint32_t mrec_text_hint(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") return MREC_HINT_BOM;
    // UTF-8 is told by its multi-byte sequences: a lead byte 0xC2-0xF4 and the right number of
    // continuation bytes 0x80-0xBF, with no byte that UTF-8 cannot hold.
    bool multi_byte = false;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t n = c >= 0xC2 && c <= 0xDF   ? 2
                        : c >= 0xE0 && c <= 0xEF ? 3
                        : c >= 0xF0 && c <= 0xF4 ? 4
                                                 : 0;
        if (n == 0 || i + n > text.size()) return MREC_HINT_NONE;
        for (std::size_t k = 1; k < n; ++k) {
            const auto t = static_cast<unsigned char>(text[i + k]);
            if (t < 0x80 || t > 0xBF) return MREC_HINT_NONE;
        }
        multi_byte = true;
        i += n;
    }
    return multi_byte ? MREC_HINT_UTF8 : MREC_HINT_NONE;
}

bool MrecReader::read_text(const char* text, std::size_t length, MrecReadResult& result,
                           bool header_only) {
    constexpr std::size_t magic_length = sizeof kMrecMagic - 1;
    if (!text || length == 0) return fail(MREC_E_NO_BUFFER);
    if (text[length - 1] != 0) return fail(MREC_E_NOT_TERMINATED);
    if (length - 1 < magic_length || std::memcmp(text, kMrecMagic, magic_length) != 0)
        return fail(MREC_E_NO_MAGIC);

    // Nothing after the magic on its line is looked at.
    cur_ = text + magic_length;
    while (*cur_ != 0 && *cur_ != '\n' && *cur_ != '\r')
        ++cur_;

    std::string_view word;
    if (!read_identifier(word)) return false;
    if (word != "header") return fail(MREC_E_NO_HEADER);
    AnalyzeBlock header;
    if (!read_block(header)) return false;
    uint32_t code = mrec_read_header(header.body, result.header);
    if (code != AE_OK) return fail(code);
    code = on_header(result);
    if (code != AE_OK) return fail(code);
    return header_only || read_statements(result);
}

bool MrecReader::read_statements(MrecReadResult& result) {
    for (;;) {
        if (!skip_white()) return false;
        if (*cur_ == 0) return fail(MREC_E_NO_MAIN);
        std::string_view word;
        if (!read_identifier(word)) return false;
        if (word == "type") {
            if (!read_type(result.types)) return false;
        } else if (word == "define") {
            if (!read_define()) return false;
        } else if (word == "data") {
            auto record = std::make_unique<AnalyzeRecord>(memory_);
            if (!read_record(*record, true)) return false;
            const bool is_main = record->has_attribute("main");
            result.records.push_back(std::move(record));
            if (is_main) {
                result.main = result.records.back().get();
                in_main_ = true;  // a failure from here on has no place in the text
                const uint32_t code = on_main(result, *result.main);
                return code == AE_OK || fail(code);
            }
        } else {
            if (!skip_statement()) return false;
        }
    }
}

bool MrecReader::read_map_item(AnalyzeAttributes& map) {
    std::string_view name;
    if (!read_identifier(name)) return false;
    analyze_value value;
    if (!skip_white()) return false;
    if (*cur_ == '=') {
        ++cur_;
        if (!evaluate(value) || !skip_white()) return false;
    }
    if (*cur_ != ';') return fail(MREC_E_SEMICOLON_EXPECTED);
    ++cur_;
    if (!map.insert(name, std::move(value))) return fail(MREC_E_NAME_TWICE);
    return true;
}

bool MrecReader::read_attributes(AnalyzeAttributes& attributes) {
    for (;;) {
        if (!skip_white()) return false;
        if (!is_class(*cur_, CC_IDENT_START)) return true;
        if (!read_map_item(attributes)) return false;
    }
}

bool MrecReader::read_block(AnalyzeBlock& block) {
    if (!read_attributes(block.attributes)) return false;
    if (*cur_ != '{') return fail(MREC_E_BRACE_EXPECTED);
    ++cur_;
    for (;;) {
        if (!skip_white()) return false;
        if (*cur_ == '}') {
            ++cur_;
            return true;
        }
        if (!read_map_item(block.body)) return false;
    }
}

bool MrecReader::read_record(AnalyzeRecord& record, bool with_attributes) {
    if (!enter()) return false;
    bool ok = true;
    if (with_attributes) {
        ok = read_attributes(record.attributes());
        if (ok && *cur_ != '{') ok = fail(MREC_E_BRACE_EXPECTED);
    }
    if (ok) {
        braces_.emplace_back(&record, cur_);
        ++cur_;  // the `{`
        const std::size_t base = item_stack_.size();
        bool packed = false;
        ok = read_items(base, packed);
        if (ok) take_items(record, base, packed);
    }
    leave();
    return ok;
}

void MrecReader::take_items(AnalyzeRecord& record, std::size_t base, bool packed) {
    if (packed) {
        record.set_rows(rows_);
        rows_.clear();
        rows_taken_ = false;
        return;
    }
    AnalyzeRecord::ItemList& items = record.items();
    items.reserve(items.size() + (item_stack_.size() - base));
    for (std::size_t i = base; i < item_stack_.size(); ++i)
        items.push_back(std::move(item_stack_[i]));
    item_stack_.erase(item_stack_.begin() + static_cast<std::ptrdiff_t>(base), item_stack_.end());
}

void MrecReader::unpack_rows() {
    item_stack_.reserve(item_stack_.size() + rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        AnalyzeRecord* row = AnalyzeRecord::create(memory_);
        item_stack_.emplace_back().adopt_record(row);
        rows_.read(i, row->items());
    }
    rows_.clear();
    rows_taken_ = false;
}

bool MrecReader::read_nested(bool with_attributes, std::size_t base, bool& rows) {
    if (!enter()) return false;
    AnalyzeAttributes attributes;
    bool ok = true;
    if (with_attributes) {
        ok = read_attributes(attributes);
        if (ok && *cur_ != '{') ok = fail(MREC_E_BRACE_EXPECTED);
    }
    const std::size_t first = item_stack_.size();
    bool packed = false;
    const char* brace = cur_;
    if (ok) {
        ++cur_;  // the `{`
        ok = read_items(first, packed);
    }
    leave();
    if (!ok) return false;
    // A record of numbers only, among records like it, joins them as a row.
    if (!packed && attributes.empty() && first == base && (rows || !rows_taken_) && pack_rows_ &&
        rows_.append(item_stack_.data() + first, item_stack_.size() - first)) {
        item_stack_.erase(item_stack_.begin() + static_cast<std::ptrdiff_t>(first),
                          item_stack_.end());
        rows = rows_taken_ = true;
        return true;
    }
    // Otherwise it is a record of its own, after those the rows stand for.
    analyze_value cell;
    AnalyzeRecord* nested = AnalyzeRecord::create(memory_);
    cell.adopt_record(nested);
    braces_.emplace_back(nested, brace);
    nested->attributes() = std::move(attributes);
    take_items(*nested, first, packed);
    if (rows) {
        unpack_rows();
        rows = false;
    }
    item_stack_.push_back(std::move(cell));
    return true;
}

bool MrecReader::read_items(std::size_t base, bool& packed) {
    // Items gather on a shared stack and move into the record, sized once, when it closes.
    bool rows = false;  // the items so far are rows, gathered in rows_
    for (;;) {
        if (!skip_white()) return false;
        const char c = *cur_;
        if (c == '}') {
            ++cur_;
            packed = rows;
            return true;
        }
        if (c == '@' || c == '{') {
            // A nested record is not followed by `;`. After `@` come its attributes.
            if (c == '@') ++cur_;
            if (!read_nested(c == '@', base, rows)) return false;
            continue;
        }
        if (rows) {
            // A value among rows: the rows become records again, before it.
            unpack_rows();
            rows = false;
        }
        // Most items are small integers written as they are: `12;`, `-3;`. When one ends cleanly
        // before its `;` it is taken here; anything else goes the general way below.
        {
            const char* p = cur_;
            const bool negative = *p == '-';
            if (negative) ++p;
            unsigned d = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
            // A leading 0 followed by a digit, letter or point is another base or a fraction.
            if (d < 10 && !(d == 0 && is_class(p[1], CC_IDENT | CC_POINT))) {
                uint32_t v = 0;
                int n = 0;
                do {
                    v = v * 10 + d;
                    ++p;
                    ++n;
                    d = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
                } while (d < 10 && n < 9);
                if (!is_class(*p, CC_IDENT | CC_POINT)) {
                    while (*p == ' ')
                        ++p;
                    if (*p == ';') {
                        const double number = static_cast<double>(v);
                        item_stack_.emplace_back().set_number(negative ? -number : number);
                        cur_ = p + 1;
                        continue;
                    }
                }
            }
        }
        // Flags and identifiers are written in hexadecimal, `0x00000012;`: up to 8 digits give
        // the value exactly, as the general way does.
        if (c == '0' && (cur_[1] == 'x' || cur_[1] == 'X')) {
            const char* p = cur_ + 2;
            uint32_t v = 0;
            int n = 0;
            for (; n < 8 && is_class(*p, CC_HEX); ++n, ++p) {
                const char h = *p;
                v = (v << 4) | (h <= '9'   ? static_cast<uint32_t>(h - '0')
                                : h >= 'a' ? static_cast<uint32_t>(h - 'a' + 10)
                                           : static_cast<uint32_t>(h - 'A' + 10));
            }
            if (n > 0 && !is_class(*p, CC_IDENT | CC_POINT)) {
                while (*p == ' ')
                    ++p;
                if (*p == ';') {
                    item_stack_.emplace_back().set_number(static_cast<double>(v));
                    cur_ = p + 1;
                    continue;
                }
            }
        }
        analyze_value& value = item_stack_.emplace_back();
        // A plain number, a negative one or a constant's name is read without the whole
        // evaluator when a `;` follows, with the same result.
        const char* start = cur_;
        if (c == '-' && is_class(cur_[1], CC_DIGIT)) {
            ++cur_;
            if (!parse_number(value) || !skip_white()) return false;
            if (*cur_ == ';') {
                ++cur_;
                value.set_number(-value.number());
                continue;
            }
        } else if (is_class(c, CC_DIGIT)) {
            if (!parse_number(value) || !skip_white()) return false;
            if (*cur_ == ';') {
                ++cur_;
                continue;
            }
        } else if (is_class(c, CC_IDENT_START)) {
            std::string_view name;
            read_identifier(name);
            analyze_value* symbol = nullptr;
            if (!skip_white()) return false;
            if (*cur_ == ';' && find_symbol(name, symbol) == AE_OK &&
                !(symbol->kind_word() & AVF_CALLABLE)) {
                if (symbol->is_string() && !charge_strings(symbol->text().size())) return false;
                ++cur_;
                value = *symbol;
                value.set_read_only(false);
                continue;
            }
        }
        cur_ = start;
        if (!evaluate(value) || !skip_white()) return false;
        if (*cur_ != ';') return fail(MREC_E_SEMICOLON_EXPECTED);
        ++cur_;
    }
}

bool MrecReader::read_type(AnalyzeTypeTable& types) {
    AnalyzeAttributes attributes;
    if (!read_attributes(attributes)) return false;
    CkvString name;
    if (!attributes.get_string("name", name)) return fail(MREC_E_NO_TYPE_NAME);
    if (types.find(name)) return fail(MREC_E_TYPE_TWICE);
    if (*cur_ != '{') return fail(MREC_E_BRACE_EXPECTED);
    ++cur_;
    // The type joins the table once its fields are read, so its fields can only use types
    // declared before it.
    auto type = std::make_unique<AnalyzeType>(name, attributes.contains("base"));
    for (;;) {
        if (!skip_white()) return false;
        if (*cur_ == '}') {
            ++cur_;
            types.insert(std::move(type));
            return true;
        }
        if (type->is_base()) return fail(MREC_E_BASE_WITH_FIELDS);
        if (!is_class(*cur_, CC_IDENT_START)) return fail(MREC_E_SEMICOLON_EXPECTED);
        std::string_view type_name, field_name, modifier;
        read_identifier(type_name);
        const AnalyzeType* field_type = types.find(type_name);
        if (!field_type) return fail(MREC_E_UNKNOWN_FIELD_TYPE);
        if (!skip_white()) return false;
        if (!is_class(*cur_, CC_IDENT_START)) return fail(MREC_E_NO_FIELD_NAME);
        read_identifier(field_name);
        bool array = false;
        for (;;) {
            if (!skip_white()) return false;
            if (*cur_ == ';') {
                ++cur_;
                break;
            }
            if (!is_class(*cur_, CC_IDENT_START)) return fail(MREC_E_SEMICOLON_EXPECTED);
            read_identifier(modifier);
            if (modifier == "array") array = true;  // other modifiers mean nothing here
        }
        if (!type->add_field(field_name, field_type, array)) return fail(MREC_E_FIELD_TWICE);
    }
}

bool MrecReader::read_define() {
    // Every value is evaluated before any name of the block exists.
    AnalyzeBlock block;
    if (!read_block(block)) return false;
    for (const auto& [name, value] : block.body) {
        analyze_value* cell = nullptr;
        const uint32_t code = define_symbol(name, cell);
        if (code != AE_OK) return fail(code);
        *cell = value;
    }
    return true;
}

bool MrecReader::skip_statement() {
    // Up to and including the `}` that closes the statement's first `{`. Strings are read as
    // strings so that braces inside them do not count.
    std::size_t depth = 0;
    for (;;) {
        const unsigned char c = static_cast<unsigned char>(*cur_);
        if (c == 0) return fail(MREC_E_NO_MAIN);
        if (c == '"') {
            if (!read_string(scratch_)) return false;
            continue;
        }
        if (c == '/' && (cur_[1] == '/' || cur_[1] == '*')) {
            if (!skip_white()) return false;
            continue;
        }
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (depth == 0) return fail(MREC_E_BRACE_EXPECTED);
            if (--depth == 0) {
                ++cur_;
                return true;
            }
        }
        cur_ += (kv_is_lead_byte(c) && cur_[1] != 0) ? 2 : 1;
    }
}
