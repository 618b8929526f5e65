#include "text/MrecWriter.h"

#include <charconv>

#include "model/core/CkvString.h"
#include "platform/TextCodec.h"
#include "text/MrecHeader.h"

namespace {

void append_signed(std::string& out, int64_t v, int width) {
    // Most values in a file are small: one or two digits, written without a conversion call.
    if (v >= 0 && v < 100) {
        if (v < 10) {
            if (width > 1) out.append(static_cast<size_t>(width - 1), ' ');
            out.push_back(static_cast<char>('0' + v));
        } else {
            if (width > 2) out.append(static_cast<size_t>(width - 2), ' ');
            const char digits[2] = {static_cast<char>('0' + v / 10),
                                    static_cast<char>('0' + v % 10)};
            out.append(digits, 2);
        }
        return;
    }
    char buffer[24];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    const auto n = static_cast<int>(end - buffer);
    if (n < width) out.append(static_cast<size_t>(width - n), ' ');
    out.append(buffer, end);
}

void append_hex(std::string& out, uint32_t v, int digits) {
    char buffer[16];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v, 16);
    const auto n = static_cast<int>(end - buffer);
    out.append("0x");
    if (n < digits) out.append(static_cast<size_t>(digits - n), '0');
    out.append(buffer, end);
}

}  // namespace

MrecWriter::MrecWriter() : out_(&bank_.current()) {
    // Files are mostly large: start with room enough that small ones never grow.
    out_->reserve(1 << 16);
}

std::string MrecWriter::text() const {
    std::string all;
    bank_.flatten(all);
    return all;
}

uint32_t MrecWriter::soft_version() {
    return (static_cast<uint32_t>(KV_VERSION_MAJOR & 0xFF) << 24) |
           (static_cast<uint32_t>(KV_VERSION_MINOR & 0xFF) << 16) |
           (static_cast<uint32_t>(KV_VERSION_PATCH & 0xFF) << 8) |
           static_cast<uint32_t>(KV_VERSION_TWEAK & 0xFF);
}

void MrecWriter::dec(int64_t v) {
    append_signed(*out_, v, 0);
    out_->push_back(';');
}

void MrecWriter::dec2(int64_t v) {
    append_signed(*out_, v, 2);
    out_->push_back(';');
}

void MrecWriter::hex8(uint32_t v) {
    append_hex(*out_, v, 8);
    out_->push_back(';');
}

void MrecWriter::hex2(uint32_t v) {
    append_hex(*out_, v, 2);
    out_->push_back(';');
}

void MrecWriter::hex(uint32_t v) {
    append_hex(*out_, v, 1);
    out_->push_back(';');
}

void MrecWriter::number(int64_t v, MrecNumFormat f) {
    switch (f) {
        case MrecNumFormat::Dec:
            return dec(v);
        case MrecNumFormat::Dec2:
            return dec2(v);
        case MrecNumFormat::Hex8:
            return hex8(static_cast<uint32_t>(v));
        case MrecNumFormat::Hex2:
            return hex2(static_cast<uint32_t>(v));
        case MrecNumFormat::Hex:
            return hex(static_cast<uint32_t>(v));
    }
}

void MrecWriter::escape(std::string_view text, std::string& out) {
    for (size_t i = 0; i < text.size();) {
        const size_t n = kv_char_length(text, i);
        if (n == 2) {
            out.append(text.data() + i, 2);
            i += 2;
            continue;
        }
        const char c = text[i++];
        switch (c) {
            case '\\':
                out.append("\\\\");
                break;
            case '\'':
                out.append("\\'");
                break;
            case '"':
                out.append("\\\"");
                break;
            case '\t':
                out.append("\\t");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\r':
                out.append("\\r");
                break;
            default:
                out.push_back(c);
        }
    }
}

void MrecWriter::string(std::string_view text) {
    out_->push_back('"');
    escape(text, *out_);
    out_->append("\";");
}

void MrecWriter::symbol(uint32_t v, const MrecConstTable& table, MrecNumFormat fallback) {
    if (const char* name = mrec_schema::constant_name(table, v)) {
        out_->append(name);
        out_->push_back(';');
        return;
    }
    number(static_cast<int64_t>(static_cast<int32_t>(v)), fallback);
}

void MrecWriter::flags(uint32_t v, const MrecConstTable& table) {
    if (v == 0) {
        out_->append("0;");
        return;
    }
    uint32_t rest = v;
    bool named = false;
    for (const MrecConst& c : table.constants) {
        if (c.value && (v & c.value) == c.value) {
            if (named) out_->push_back('|');
            out_->append(c.name);
            rest &= ~c.value;
            named = true;
        }
    }
    if (rest) {
        if (named) out_->push_back('|');
        append_hex(*out_, rest, 8);
    }
    out_->push_back(';');
}

void MrecWriter::magic() {
    static const std::string caution =
        kv_codec::cp932_from_utf8("// 注意！直接編集はエラーの原因になります");
    raw("KORVANTE-TEXT-TYPE\r\n");
    raw(caution);
    raw("\r\n\r\n");
}

void MrecWriter::header(uint32_t soft_version, std::string_view target, std::string_view type_name,
                        std::string_view name) {
    raw("header\r\n{");
    line(1);
    raw("exporter = ");
    string("Korvante (STANDARD)");
    line(1);
    raw("soft_version = ");
    hex8(soft_version);
    line(1);
    raw("data_version = ");
    hex8(MREC_DATA_VERSION);
    line(1);
    raw("target = ");
    string(target);
    line(1);
    raw("type = ");
    string(type_name);
    line(1);
    raw("name = ");
    string(name);
    raw("\r\n}\r\n\r\n");
}

void MrecWriter::base_types() {
    for (const char* name : {"VAR", "NUM", "STR"}) {
        raw("type base; name=\"");
        raw(name);
        raw("\"; { }\r\n");
    }
    crlf();
}

void MrecWriter::main_data_line(std::string_view type) {
    raw("data main; type=\"");
    raw(type);
    raw("\";\r\n");
}

void MrecWriter::typed_prefix(std::string_view type) {
    raw("@type=\"");
    raw(type);
    raw("\";\r\n");
}

void MrecWriter::array_prefix(std::string_view type) {
    raw("@array; type=\"");
    raw(type);
    raw("\";");
}

void MrecWriter::define(const MrecConstTable& table) {
    if (!defined_.insert(table.name).second) return;
    raw("define name=\"");
    raw(table.name);
    raw("\";\r\n{\r\n");
    for (const MrecConst& c : table.constants) {
        raw(" ");
        raw(c.name);
        raw(" = ");
        number(c.value, table.format);
        crlf();
    }
    raw("}\r\n\r\n");
}

void MrecWriter::record_type(const MrecTypeDecl& decl) {
    raw("type name=\"");
    raw(decl.name);
    raw("\";");
    if (decl.fields.empty()) {
        raw(" { }\r\n");
        return;
    }
    raw("\r\n{\r\n");
    for (const MrecFieldDecl& f : decl.fields) {
        raw(" ");
        raw(f.type);
        raw(" ");
        raw(f.name);
        if (f.array) raw(" array");
        raw(";\r\n");
    }
    raw("}\r\n\r\n");
}

bool MrecWriter::declare(std::string_view type) {
    if (declared(type)) return true;
    const MrecTypeDecl* decl = mrec_schema::find_type(type);
    if (!decl) return false;
    for (const MrecFieldDecl& f : decl->fields) {
        std::string_view t = f.type;
        if (t == "NUM" || t == "STR" || t == "VAR") continue;
        if (!declare(t)) return false;
    }
    declared_.insert(std::string(type));
    if (decl->define) {
        if (std::string_view(decl->define) == "MSEQ_TYPE") {
            define(mrec_schema::type_group(object_group_));
        } else if (const MrecConstTable* table = mrec_schema::find_table(decl->define)) {
            define(*table);
        }
    }
    record_type(*decl);
    return true;
}
