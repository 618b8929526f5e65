#include "model/lang/KvCatalogue.h"

#include <cstring>
#include <set>
#include <string_view>

#include "model/core/CkvText.h"

const char* kv_pick(const kv_entry& entry) {
    return kv_pick(entry, kv_current_language());
}

const char* kv_pick(const kv_entry& entry, kv_language language) {
    return language == kv_language::english ? entry.en : entry.ja;
}

std::vector<std::string> kv_format_conversions(const char* text) {
    std::vector<std::string> conversions;
    for (const char* p = text; *p; ++p) {
        if (*p != '%') continue;
        const char* start = p++;
        if (*p == '%') continue;
        while (*p && std::strchr("-+ #0", *p))
            ++p;
        while (*p && (std::strchr("0123456789.*", *p)))
            ++p;
        while (*p && std::strchr("hlLqjzt", *p))
            ++p;
        if (!*p) {
            conversions.emplace_back(start);
            break;
        }
        conversions.emplace_back(start, p + 1);
    }
    return conversions;
}

namespace {

// True when CP932 holds every character of `utf8`.
bool cp932_holds(const char* utf8) {
    return ckv_to_utf8(ckv_from_utf8(utf8).str()) == std::string_view(utf8);
}

void check_text(const kv_entry& entry, const char* text, const char* language,
                std::vector<std::string>* problems) {
    const std::string where = std::string(entry.key) + " (" + language + ")";
    if (!text || !*text) {
        problems->push_back(where + ": no text");
    } else if (!cp932_holds(text)) {
        problems->push_back(where + ": CP932 cannot hold the text \"" + text + "\"");
    }
}

}  // namespace

std::vector<std::string> kv_catalogue_problems(std::span<const kv_entry> entries) {
    std::vector<std::string> problems;
    std::set<std::string_view> keys;
    for (const kv_entry& entry : entries) {
        if (!keys.insert(entry.key).second)
            problems.push_back(std::string(entry.key) + ": given twice");
        check_text(entry, entry.ja, "ja", &problems);
        check_text(entry, entry.en, "en", &problems);
        if (entry.ja && entry.en &&
            kv_format_conversions(entry.ja) != kv_format_conversions(entry.en))
            problems.push_back(std::string(entry.key) +
                               ": the two texts have different printf conversions");
    }
    return problems;
}
