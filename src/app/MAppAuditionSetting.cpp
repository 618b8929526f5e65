#include "app/MAppAuditionSetting.h"

#include "model/core/MseqPathOps.h"
#include "text/MrecSettings.h"

namespace {

constexpr std::string_view kAuditionKey = "audition";

std::string_view audition_trimmed(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const size_t last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

}  // namespace

std::string mapp_audition_setting_text(bool on) {
    return "# Korvante: whether a note placed or changed is heard (on or off)\n" +
           std::string(kAuditionKey) + " = " + (on ? "on" : "off") + "\n";
}

bool mapp_parse_audition_setting(std::string_view text, bool* on, std::string* why) {
    bool have = false;
    bool value = true;
    size_t number = 0;
    while (!text.empty()) {
        ++number;
        const size_t end = text.find('\n');
        const std::string_view line = audition_trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line[0] == '#') continue;
        const size_t equals = line.find('=');
        const std::string where = "line " + std::to_string(number) + ": ";
        if (equals == std::string_view::npos ||
            audition_trimmed(line.substr(0, equals)) != kAuditionKey) {
            *why = where + "expected \"" + std::string(kAuditionKey) + " = on\" or \"= off\"";
            return false;
        }
        if (have) {
            *why = where + "the switch is given twice";
            return false;
        }
        const std::string_view v = audition_trimmed(line.substr(equals + 1));
        if (v != "on" && v != "off") {
            *why = where + "the switch is neither on nor off";
            return false;
        }
        value = v == "on";
        have = true;
    }
    if (!have) {
        *why = "the file gives no switch";
        return false;
    }
    *on = value;
    return true;
}

MAppAuditionSetting mapp_load_audition_setting() {
    MAppAuditionSetting s;
    MseqFullPath read, write;
    if (!mrec_settings::settings_paths(kAuditionSettingPath, &read, &write)) return s;
    kv_fs::file_error why;
    std::string text;
    if (!kv_fs::read_file(read, &text, &why)) {
        if (why.kind == kv_fs::file_error::missing) return s;
        s.found = true;
        s.damage = why.text();
        return s;
    }
    s.found = true;
    bool on = true;
    if (mapp_parse_audition_setting(text, &on, &s.damage)) s.on = on;
    return s;
}

bool mapp_save_audition_setting(bool on, kv_fs::file_error* why) {
    MseqFullPath read, write;
    if (!mrec_settings::settings_paths(kAuditionSettingPath, &read, &write)) {
        if (why) *why = kv_fs::file_error{};
        return false;
    }
    if (!kv_fs::path_exists(write)) kv_fs::create_directories(mseq_path::remove_file_name(write));
    return kv_fs::write_file_atomic(write, mapp_audition_setting_text(on), why);
}
