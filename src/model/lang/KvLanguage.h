#pragma once

#include <string_view>

// The language of the program's own texts: menus, messages, property names, the names of
// instruments, chords and notes. Files hold the same bytes in either language; only what is
// shown changes. The language is chosen once at start, before the first text is asked for, and
// can be read from any thread.

enum class kv_language { japanese = 0, english = 1 };

// The language texts are shown in now; Japanese until set.
kv_language kv_current_language();
void kv_set_language(kv_language language);

// The language a messages locale asks for: Japanese for a Japanese locale ("ja", "ja_JP.UTF-8")
// and for the C or POSIX locale (the program spoke only Japanese, and a bare system expects
// it), English for every other language. An empty name counts as C.
kv_language kv_language_of_locale(std::string_view messages_locale);
// The messages locale of the environment, as the C library chooses it: LC_ALL, then
// LC_MESSAGES, then LANG, the first one set and not empty.
std::string_view kv_environment_messages_locale();

// "ja" and "en", as `--lang` and the setting file spell them.
std::string_view kv_language_code(kv_language language);
// The language a code names; false (out unchanged) for anything but "ja" and "en".
bool kv_parse_language(std::string_view code, kv_language* language);
