#include "app/MAppAutosaveSetting.h"

#include "app/MAppSettingFile.h"

namespace {

constexpr std::string_view kKey = "autosave_seconds";

// The number of `value` when it is all decimal digits and at most the maximum.
bool parse_seconds(std::string_view value, uint32_t* out) {
    int64_t n = 0;
    if (!mapp_setting_number(value, 0, kAutosaveMaxSeconds, &n)) return false;
    *out = static_cast<uint32_t>(n);
    return true;
}

}  // namespace

std::string mapp_autosave_setting_text(uint32_t seconds) {
    if (seconds > kAutosaveMaxSeconds) seconds = kAutosaveMaxSeconds;
    return "# Korvante: the seconds between two autosaves (0 switches autosave off)\n" +
           std::string(kKey) + " = " + std::to_string(seconds) + "\n";
}

bool mapp_parse_autosave_setting(std::string_view text, uint32_t* seconds, std::string* why) {
    std::string refusal = "the interval is not a number of seconds from 0 to ";
    refusal += std::to_string(kAutosaveMaxSeconds);
    const MAppSettingWords words{kKey, "\"autosave_seconds = SECONDS\"", "interval", refusal};
    uint32_t value = 0;
    if (!mapp_parse_setting(
            text, words, [&value](std::string_view v) { return parse_seconds(v, &value); }, why))
        return false;
    *seconds = value;
    return true;
}

MAppAutosaveSetting mapp_load_autosave_setting() {
    const MAppSettingFile file = mapp_read_setting_file(kAutosaveSettingPath);
    MAppAutosaveSetting s;
    s.path = file.path;
    s.found = file.found;
    s.damage = file.damage;
    uint32_t seconds = 0;
    if (file.found && file.damage.empty() &&
        mapp_parse_autosave_setting(file.text, &seconds, &s.damage))
        s.seconds = seconds;
    return s;
}

bool mapp_save_autosave_setting(uint32_t seconds, CkvString* path, kv_fs::file_error* why) {
    return mapp_write_setting_file(kAutosaveSettingPath, mapp_autosave_setting_text(seconds), path,
                                   why);
}
