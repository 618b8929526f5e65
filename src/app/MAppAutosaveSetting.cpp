#include "app/MAppAutosaveSetting.h"

#include "model/core/MseqPathOps.h"
#include "text/MrecSettings.h"

namespace {

constexpr std::string_view kKey = "autosave_seconds";

std::string_view trimmed(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const size_t last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// The number of `value` when it is all decimal digits and at most the maximum.
bool parse_seconds(std::string_view value, uint32_t* out) {
    if (value.empty() || value.size() > 9) return false;
    uint32_t n = 0;
    for (const char c : value) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<uint32_t>(c - '0');
    }
    if (n > kAutosaveMaxSeconds) return false;
    *out = n;
    return true;
}

}  // namespace

std::string mapp_autosave_setting_text(uint32_t seconds) {
    if (seconds > kAutosaveMaxSeconds) seconds = kAutosaveMaxSeconds;
    return "# Korvante: the seconds between two autosaves (0 switches autosave off)\n" +
           std::string(kKey) + " = " + std::to_string(seconds) + "\n";
}

bool mapp_parse_autosave_setting(std::string_view text, uint32_t* seconds, std::string* why) {
    bool have = false;
    uint32_t value = 0;
    size_t number = 0;
    while (!text.empty()) {
        ++number;
        const size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line[0] == '#') continue;
        const size_t equals = line.find('=');
        const std::string_view key = trimmed(line.substr(0, equals));
        const std::string where = "line " + std::to_string(number) + ": ";
        if (equals == std::string_view::npos || key != kKey) {
            *why = where + "expected \"" + std::string(kKey) + " = SECONDS\"";
            return false;
        }
        if (have) {
            *why = where + "the interval is given twice";
            return false;
        }
        if (!parse_seconds(trimmed(line.substr(equals + 1)), &value)) {
            *why = where + "the interval is not a number of seconds from 0 to " +
                   std::to_string(kAutosaveMaxSeconds);
            return false;
        }
        have = true;
    }
    if (!have) {
        *why = "the file gives no interval";
        return false;
    }
    *seconds = value;
    return true;
}

MAppAutosaveSetting mapp_load_autosave_setting() {
    MAppAutosaveSetting s;
    MseqFullPath read, write;
    if (!mrec_settings::settings_paths(kAutosaveSettingPath, &read, &write)) return s;
    s.path = read;
    kv_fs::file_error why;
    std::string text;
    if (!kv_fs::read_file(read, &text, &why)) {
        if (why.kind == kv_fs::file_error::missing) return s;
        s.found = true;
        s.damage = why.text();
        return s;
    }
    s.found = true;
    uint32_t seconds = 0;
    if (mapp_parse_autosave_setting(text, &seconds, &s.damage)) s.seconds = seconds;
    return s;
}

bool mapp_save_autosave_setting(uint32_t seconds, CkvString* path, kv_fs::file_error* why) {
    MseqFullPath read, write;
    if (!mrec_settings::settings_paths(kAutosaveSettingPath, &read, &write)) {
        if (why) *why = kv_fs::file_error{};
        return false;
    }
    if (path) *path = write;
    if (!kv_fs::path_exists(write)) kv_fs::create_directories(mseq_path::remove_file_name(write));
    return kv_fs::write_file_atomic(write, mapp_autosave_setting_text(seconds), why);
}
