#include "app/MAppLanguageSetting.h"

#include "app/MAppSettingFile.h"

namespace {

constexpr std::string_view kLanguageKey = "language";

}  // namespace

std::string mapp_language_setting_text(kv_language language) {
    return "# Korvante: the language of the windows and messages (ja or en)\n" +
           std::string(kLanguageKey) + " = " + std::string(kv_language_code(language)) + "\n";
}

bool mapp_parse_language_setting(std::string_view text, kv_language* language, std::string* why) {
    const MAppSettingWords words{kLanguageKey, "\"language = ja\" or \"= en\"", "language",
                                 "the language is neither ja nor en"};
    kv_language value = kv_language::japanese;
    const auto accept = [&value](std::string_view v) { return kv_parse_language(v, &value); };
    if (!mapp_parse_setting(text, words, accept, why)) return false;
    *language = value;
    return true;
}

MAppLanguageSetting mapp_load_language_setting() {
    const MAppSettingFile file = mapp_read_setting_file(kLanguageSettingPath);
    MAppLanguageSetting s;
    s.found = file.found;
    s.damage = file.damage;
    kv_language language = kv_language::japanese;
    if (file.found && file.damage.empty() &&
        mapp_parse_language_setting(file.text, &language, &s.damage))
        s.language = language;
    return s;
}

bool mapp_save_language_setting(kv_language language, CkvString* path, kv_fs::file_error* why) {
    return mapp_write_setting_file(kLanguageSettingPath, mapp_language_setting_text(language), path,
                                   why);
}

kv_language mapp_chosen_language(std::optional<kv_language> asked,
                                 const MAppLanguageSetting& setting,
                                 std::string_view messages_locale) {
    if (asked) return *asked;
    if (setting.language) return *setting.language;
    return kv_language_of_locale(messages_locale);
}
