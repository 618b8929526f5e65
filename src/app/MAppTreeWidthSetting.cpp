#include "app/MAppTreeWidthSetting.h"

#include <algorithm>

#include "app/MAppSettingFile.h"

namespace {

constexpr std::string_view kKey = "library_tree_width";

int clamp_width(int width) {
    return std::clamp(width, kTreeWidthMin, kTreeWidthMax);
}

// The number of `value` when it is all decimal digits and within the bounds.
bool parse_width(std::string_view value, int* out) {
    if (value.empty() || value.size() > 5) return false;
    int n = 0;
    for (const char c : value) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    if (n != clamp_width(n)) return false;
    *out = n;
    return true;
}

}  // namespace

std::string mapp_tree_width_setting_text(int width) {
    return "# Korvante: the width of the library tree in pixels\n" + std::string(kKey) + " = " +
           std::to_string(clamp_width(width)) + "\n";
}

bool mapp_parse_tree_width_setting(std::string_view text, int* width, std::string* why) {
    const std::string refusal = "the width is not a number of pixels from " +
                                std::to_string(kTreeWidthMin) + " to " +
                                std::to_string(kTreeWidthMax);
    const MAppSettingWords words{kKey, "\"library_tree_width = PIXELS\"", "width", refusal};
    int value = 0;
    if (!mapp_parse_setting(
            text, words, [&value](std::string_view v) { return parse_width(v, &value); }, why))
        return false;
    *width = value;
    return true;
}

MAppTreeWidthSetting mapp_load_tree_width_setting() {
    const MAppSettingFile file = mapp_read_setting_file(kTreeWidthSettingPath);
    MAppTreeWidthSetting s;
    s.found = file.found;
    s.damage = file.damage;
    int width = 0;
    if (file.found && file.damage.empty() &&
        mapp_parse_tree_width_setting(file.text, &width, &s.damage))
        s.width = width;
    return s;
}

bool mapp_save_tree_width_setting(int width, kv_fs::file_error* why) {
    return mapp_write_setting_file(kTreeWidthSettingPath, mapp_tree_width_setting_text(width),
                                   nullptr, why);
}

int mapp_fit_tree_width(int name_width, int chrome) {
    return clamp_width(name_width + chrome);
}
