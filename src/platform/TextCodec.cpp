#include "platform/TextCodec.h"

#include <iconv.h>

#include <cerrno>

namespace kv_codec {
namespace {

// Runs one iconv conversion, replacing each unconvertible or malformed input unit by
// `replacement` and stepping over it by `skip(input)` bytes.
template <class Skip>
std::string convert(const char* to, const char* from, std::string_view in,
                    std::string_view replacement, Skip skip) {
    std::string out;
    if (in.empty()) return out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char buffer[1024];
    while (src_left > 0) {
        char* dst = buffer;
        size_t dst_left = sizeof buffer;
        size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: one bad unit; replace it and go on.
            size_t n = skip(std::string_view(src, src_left));
            out.append(replacement);
            src += n;
            src_left -= n;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

size_t utf8_unit(std::string_view s) {
    auto c = static_cast<unsigned char>(s[0]);
    size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    return n <= s.size() ? n : s.size();
}

size_t cp932_unit(std::string_view s) {
    auto c = static_cast<unsigned char>(s[0]);
    bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    return lead && s.size() >= 2 ? 2 : 1;
}

}  // namespace

std::string cp932_from_utf8(std::string_view utf8) {
    return convert("CP932", "UTF-8", utf8, "?", utf8_unit);
}

std::string_view cp932_unconvertible(std::string_view utf8) {
    if (utf8.empty()) return {};
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    char* src = const_cast<char*>(utf8.data());
    size_t src_left = utf8.size();
    std::string_view bad;
    char buffer[1024];
    while (src_left > 0) {
        char* dst = buffer;
        size_t dst_left = sizeof buffer;
        if (iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) continue;
        const std::string_view rest(src, src_left);
        bad = rest.substr(0, utf8_unit(rest));
        break;
    }
    iconv_close(cd);
    return bad;
}

std::string utf8_from_cp932(std::string_view cp932) {
    return convert("UTF-8", "CP932", cp932, "\xEF\xBF\xBD", cp932_unit);
}

}  // namespace kv_codec
