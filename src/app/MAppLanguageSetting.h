#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/core/CkvString.h"
#include "model/lang/KvLanguage.h"
#include "platform/FileSystem.h"

// The interface language as the user's setting. The configuration record's layout is fixed and
// its bytes stay as older programs wrote them, so the choice lives in a small file of its own
// beside the configuration: "language.cfg" in the folder the configuration is written to, read
// from there first and then from the application folder, as the configuration is. A folder
// without the file (written by an older program, or a first start) leaves the choice to the
// messages locale. User-interface thread.

// The file, relative to the application folder, before the user-folder rule.
inline constexpr std::string_view kLanguageSettingPath = "define\\language.cfg";

// What reading the setting found.
struct MAppLanguageSetting {
    std::optional<kv_language> language;  // the file's choice; empty without a valid one
    bool found = false;                   // the file was there
    std::string damage;  // why the file's content was not used (English); empty when it was
};

// Reads the setting. A missing file gives no language with `found` false; a file that cannot be
// read or names no language gives none with the reason in `damage`.
MAppLanguageSetting mapp_load_language_setting();

// Writes the choice crash-safe to the file the setting is written to, creating its folder.
// False with the system's reason in `why` and the path in `path` (both may be null).
bool mapp_save_language_setting(kv_language language, CkvString* path = nullptr,
                                kv_fs::file_error* why = nullptr);

// The file's text for a language, and the language a text holds: false (out unchanged) with
// the reason in `why` when it names none, or more than one. Any thread.
std::string mapp_language_setting_text(kv_language language);
bool mapp_parse_language_setting(std::string_view text, kv_language* language, std::string* why);

// The language the program shows, in order of precedence: the one asked for on the command
// line, the setting, then the messages locale of the environment.
kv_language mapp_chosen_language(std::optional<kv_language> asked,
                                 const MAppLanguageSetting& setting,
                                 std::string_view messages_locale);
