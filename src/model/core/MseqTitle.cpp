#include "model/core/MseqTitle.h"

#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"

namespace {

CkvString macro_value(std::string_view name, const MseqMusic& music) {
    if (CkvString::compare_nocase(name, "entity") == 0) return music.name;
    if (CkvString::compare_nocase(name, "book") == 0 && music.owner) {
        if (MseqObject* book = mseq_find_book_ancestor(music.owner)) return book->name;
    }
    return CkvString();
}

}  // namespace

bool mseq_expand_title(std::string_view text, const MseqMusic& music, CkvString* out) {
    std::string result;
    bool ok = true;
    size_t i = 0;
    while (i < text.size()) {
        const size_t n = kv_char_length(text, i);
        if (n == 2 || text[i] != '%') {
            result.append(text.substr(i, n));
            i += n;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '%') {
            result.push_back('%');
            i += 2;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '<') {
            const size_t close = text.find('>', i + 2);
            if (close == std::string_view::npos) {
                result.append(text.substr(i));
                ok = false;
                break;
            }
            result.append(macro_value(text.substr(i + 2, close - i - 2), music));
            i = close + 1;
            continue;
        }
        result.push_back('%');
        ok = false;
        ++i;
    }
    *out = CkvString(result);
    return ok;
}
