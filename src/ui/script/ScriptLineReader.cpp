#include "ui/script/ScriptLineReader.h"

#include <cstdio>
#include <streambuf>

namespace kv_ui {

namespace {

// The length of the UTF-8 character that starts `text` (2-4), or 0 when it starts with no valid
// multi-byte character.
size_t utf8_length(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t n = lead >= 0xC2 && lead <= 0xDF   ? 2
               : lead >= 0xE0 && lead <= 0xEF ? 3
               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                              : 0;
    if (n == 0 || text.size() < n) return 0;
    for (size_t i = 1; i < n; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
    }
    // No overlong forms, no surrogates, nothing above U+10FFFF.
    if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) > 0x9F) ||
        (lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) > 0x8F))
        return 0;
    return n;
}

std::string hex_byte(unsigned char c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
    return buffer;
}

}  // namespace

ScriptLineReader::Status ScriptLineReader::next(std::string* text) {
    text->clear();
    std::streambuf* buffer = in_.rdbuf();
    if (!buffer) return Status::end;
    using traits = std::streambuf::traits_type;
    bool any = false;
    try {
        for (;;) {
            const int c = buffer->sbumpc();
            if (c == traits::eof()) break;
            any = true;
            if (c == '\n') break;
            // One byte more than the limit may be the CR before the LF.
            if (text->size() > kScriptLineMax) {
                ++number_;
                return Status::too_long;
            }
            text->push_back(static_cast<char>(c));
        }
    } catch (...) {
        // A stream that fails while it is read ends the input.
    }
    if (!any) return Status::end;
    ++number_;
    if (!text->empty() && text->back() == '\r') text->pop_back();
    return text->size() > kScriptLineMax ? Status::too_long : Status::line;
}

std::string script_quote(std::string_view text, size_t max) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = c < 0x80 ? 1 : utf8_length(text.substr(i));
        const size_t taken = n == 0 ? 1 : n;
        if (i + taken > max) break;
        if (c < 0x20 || c == 0x7F || n == 0) {
            out += hex_byte(c);
        } else if (text.substr(i, taken) == "\xEF\xBB\xBF") {
            out += "\\uFEFF";
        } else {
            out.append(text.substr(i, taken));
        }
        i += taken;
    }
    if (i < text.size()) out += "...";
    return out;
}

}  // namespace kv_ui
