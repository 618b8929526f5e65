#include "model/lang/KvLanguage.h"

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<kv_language> current_language{kv_language::japanese};

}  // namespace

kv_language kv_current_language() {
    return current_language.load(std::memory_order_relaxed);
}

void kv_set_language(kv_language language) {
    current_language.store(language, std::memory_order_relaxed);
}

kv_language kv_language_of_locale(std::string_view locale) {
    // "C.UTF-8" and "POSIX" are the locales of a system nobody set a language on.
    const std::string_view name = locale.substr(0, locale.find_first_of("._@"));
    if (name.empty() || name == "C" || name == "POSIX") return kv_language::japanese;
    if (name == "ja" || name.substr(0, 3) == "ja_") return kv_language::japanese;
    return kv_language::english;
}

std::string_view kv_environment_messages_locale() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return value;
    }
    return {};
}

std::string_view kv_language_code(kv_language language) {
    return language == kv_language::english ? "en" : "ja";
}

bool kv_parse_language(std::string_view code, kv_language* language) {
    if (code == "ja") {
        *language = kv_language::japanese;
    } else if (code == "en") {
        *language = kv_language::english;
    } else {
        return false;
    }
    return true;
}
