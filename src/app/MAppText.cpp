#include "app/MAppText.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "model/core/CkvText.h"
#include "platform/TextCodec.h"

CkvString mapp_text(const char* utf8) {
    return ckv_from_utf8(utf8);
}

CkvString mapp_format(const char* utf8, ...) {
    // No CP932 trail byte is '%', so the converted format keeps its conversions intact.
    const std::string format = kv_codec::cp932_from_utf8(utf8);
    va_list args;
    va_start(args, utf8);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format.c_str(), args);
    va_end(args);
    CkvString out;
    if (n > 0) {
        std::vector<char> buffer(static_cast<size_t>(n) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format.c_str(), again);
        out.assign(buffer.data(), static_cast<size_t>(n));
    }
    va_end(again);
    return out;
}
