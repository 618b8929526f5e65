#include "model/core/CkvString.h"

std::size_t CkvString::find_char(char c, std::size_t pos) const {
    for (std::size_t i = 0; i < size();) {
        std::size_t n = kv_char_length(*this, i);
        if (i >= pos && n == 1 && (*this)[i] == c) return i;
        i += n;
    }
    return npos;
}

std::size_t CkvString::rfind_char(char c) const {
    std::size_t found = npos;
    for (std::size_t i = 0; i < size();) {
        std::size_t n = kv_char_length(*this, i);
        if (n == 1 && (*this)[i] == c) found = i;
        i += n;
    }
    return found;
}

namespace {
unsigned char fold(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}
}  // namespace

int CkvString::compare_nocase(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size()) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        if (kv_is_lead_byte(ca) && kv_is_lead_byte(cb) && ca == cb && i + 1 < a.size() &&
            i + 1 < b.size()) {
            // A double-byte character compares exactly, trail byte included.
            auto ta = static_cast<unsigned char>(a[i + 1]);
            auto tb = static_cast<unsigned char>(b[i + 1]);
            if (ta != tb) return ta < tb ? -1 : 1;
            i += 2;
            continue;
        }
        unsigned char fa = kv_is_lead_byte(ca) ? ca : fold(ca);
        unsigned char fb = kv_is_lead_byte(cb) ? cb : fold(cb);
        if (fa != fb) return fa < fb ? -1 : 1;
        ++i;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}
