#include "edit/MedtText.h"
#include "model/core/CkvText.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <string>

const CkvString& medt_text(const char* utf8) {
    static std::map<const char*, CkvString> converted;
    auto it = converted.find(utf8);
    if (it == converted.end()) it = converted.emplace(utf8, ckv_from_utf8(utf8)).first;
    return it->second;
}

CkvString medt_format(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return CkvString();
    if (static_cast<size_t>(n) < sizeof buffer) return CkvString(std::string(buffer, n));
    std::string big(static_cast<size_t>(n) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(big.data(), big.size(), format, args);
    va_end(args);
    big.resize(static_cast<size_t>(n));
    return CkvString(big);
}
