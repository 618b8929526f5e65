#include "app/MAppText.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "model/core/CkvText.h"
#include "platform/TextCodec.h"

namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
std::string format_with(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    std::string out;
    if (n > 0) {
        std::vector<char> buffer(static_cast<size_t>(n) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
        out.assign(buffer.data(), static_cast<size_t>(n));
    }
    va_end(again);
    return out;
}
#pragma GCC diagnostic pop

CkvString format_cp932(const char* utf8, va_list args) {
    // No CP932 trail byte is '%', so the converted format keeps its conversions intact.
    const std::string format = kv_codec::cp932_from_utf8(utf8);
    return CkvString(format_with(format.c_str(), args));
}

}  // namespace

CkvString mapp_text(const char* utf8) {
    return ckv_from_utf8(utf8);
}

CkvString mapp_format(const char* utf8, ...) {
    va_list args;
    va_start(args, utf8);
    CkvString out = format_cp932(utf8, args);
    va_end(args);
    return out;
}

CkvString mapp_text(mapp_msg id) {
    return ckv_from_utf8(kv_text(id));
}

CkvString mapp_format(mapp_msg id, ...) {
    va_list args;
    va_start(args, id);
    CkvString out = format_cp932(kv_text(id), args);
    va_end(args);
    return out;
}

std::string mapp_utf8_format(const char* utf8, ...) {
    va_list args;
    va_start(args, utf8);
    std::string out = format_with(utf8, args);
    va_end(args);
    return out;
}
