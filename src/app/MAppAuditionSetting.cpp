#include "app/MAppAuditionSetting.h"

#include "app/MAppSettingFile.h"

namespace {

constexpr std::string_view kAuditionKey = "audition";

}  // namespace

std::string mapp_audition_setting_text(bool on) {
    return "# Korvante: whether a note placed or changed is heard (on or off)\n" +
           std::string(kAuditionKey) + " = " + (on ? "on" : "off") + "\n";
}

bool mapp_parse_audition_setting(std::string_view text, bool* on, std::string* why) {
    const MAppSettingWords words{kAuditionKey, "\"audition = on\" or \"= off\"", "switch",
                                 "the switch is neither on nor off"};
    bool value = true;
    const auto accept = [&value](std::string_view v) {
        value = v == "on";
        return v == "on" || v == "off";
    };
    if (!mapp_parse_setting(text, words, accept, why)) return false;
    *on = value;
    return true;
}

MAppAuditionSetting mapp_load_audition_setting() {
    const MAppSettingFile file = mapp_read_setting_file(kAuditionSettingPath);
    MAppAuditionSetting s;
    s.found = file.found;
    s.damage = file.damage;
    bool on = true;
    if (file.found && file.damage.empty() && mapp_parse_audition_setting(file.text, &on, &s.damage))
        s.on = on;
    return s;
}

bool mapp_save_audition_setting(bool on, kv_fs::file_error* why) {
    return mapp_write_setting_file(kAuditionSettingPath, mapp_audition_setting_text(on), nullptr,
                                   why);
}
