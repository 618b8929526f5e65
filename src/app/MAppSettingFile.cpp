#include "app/MAppSettingFile.h"

#include "model/core/MseqPathOps.h"
#include "model/core/parse_int.h"
#include "text/MrecSettings.h"

namespace {

std::string_view setting_trimmed(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const size_t last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

}  // namespace

bool mapp_setting_number(std::string_view value, int64_t lo, int64_t hi, int64_t* out) {
    // parse_int also takes a sign and leading spaces, which these files have never held.
    if (value.empty() || value[0] < '0' || value[0] > '9') return false;
    return parse_int(value, lo, hi, out) == parse_int_error::none;
}

bool mapp_parse_setting(std::string_view text, const MAppSettingWords& words,
                        const std::function<bool(std::string_view)>& accept, std::string* why) {
    bool have = false;
    size_t number = 0;
    while (!text.empty()) {
        ++number;
        const size_t end = text.find('\n');
        const std::string_view line = setting_trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line[0] == '#') continue;
        const size_t equals = line.find('=');
        const std::string where = "line " + std::to_string(number) + ": ";
        if (equals == std::string_view::npos ||
            setting_trimmed(line.substr(0, equals)) != words.key) {
            *why = where + "expected " + std::string(words.expected);
            return false;
        }
        if (have) {
            *why = where + "the " + std::string(words.noun) + " is given twice";
            return false;
        }
        if (!accept(setting_trimmed(line.substr(equals + 1)))) {
            *why = where + std::string(words.refusal);
            return false;
        }
        have = true;
    }
    if (!have) {
        *why = std::string("the file gives no ").append(words.noun);
        return false;
    }
    return true;
}

MAppSettingFile mapp_read_setting_file(std::string_view relative) {
    MAppSettingFile f;
    MseqFullPath read, write;
    if (!mrec_settings::settings_paths(relative, &read, &write)) return f;
    f.path = read;
    kv_fs::file_error why;
    if (!kv_fs::read_file(read, &f.text, &why)) {
        f.text.clear();
        if (why.kind == kv_fs::file_error::missing) return f;
        f.found = true;
        f.damage = why.text();
        return f;
    }
    f.found = true;
    return f;
}

bool mapp_write_setting_file(std::string_view relative, const std::string& text, CkvString* path,
                             kv_fs::file_error* why) {
    MseqFullPath read, write;
    if (!mrec_settings::settings_paths(relative, &read, &write)) {
        if (why) *why = kv_fs::file_error{};
        return false;
    }
    if (path) *path = write;
    if (!kv_fs::path_exists(write)) kv_fs::create_directories(mseq_path::remove_file_name(write));
    return kv_fs::write_file_atomic(write, text, why);
}
