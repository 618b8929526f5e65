#include "ui/Terminal.h"

#include <cstdio>

#include "model/core/MseqType.h"
#include "platform/TextCodec.h"

namespace kv_ui {

std::string terminal_quoted(const CkvString& cp932) {
    const std::string utf8 = kv_codec::utf8_from_cp932(cp932);
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string terminal_text(const CkvString& cp932) {
    return kv_codec::utf8_from_cp932(cp932);
}

std::string code_text(uint32_t code) {
    char buffer[32];
    if (code < 0x10000) {
        std::snprintf(buffer, sizeof buffer, "%u", code);
    } else {
        std::snprintf(buffer, sizeof buffer, "0x%x", code);
    }
    return buffer;
}

std::string type_text(uint32_t type) {
    if (const char* name = mseq_type_constant(type)) return name;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08x", type);
    return buffer;
}

}  // namespace kv_ui
