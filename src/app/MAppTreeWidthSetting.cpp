#include "app/MAppTreeWidthSetting.h"

#include <algorithm>

#include "app/MAppSettingFile.h"

namespace {

// One width kept in a setting file of its own.
struct WidthSetting {
    std::string_view path;
    std::string_view key;
    std::string_view what;  // the comment line's name of the pane
    int min;
    int max;

    int clamp(int width) const { return std::clamp(width, min, max); }
};

constexpr WidthSetting kTree{kTreeWidthSettingPath, "library_tree_width", "the library tree",
                             kTreeWidthMin, kTreeWidthMax};
constexpr WidthSetting kProperties{kPropertyWidthSettingPath, "property_list_width",
                                   "the property list", kPropertyWidthMin, kPropertyWidthMax};

// The number of `value` when it is all decimal digits and within the bounds.
bool parse_width(const WidthSetting& w, std::string_view value, int* out) {
    int64_t n = 0;
    if (!mapp_setting_number(value, w.min, w.max, &n)) return false;
    *out = static_cast<int>(n);
    return true;
}

// The texts are built in place with +=: GCC 12's optimiser warns (-Wrestrict) on a literal
// added to a string temporary.
std::string setting_text(const WidthSetting& w, int width) {
    std::string text = "# Korvante: the width of ";
    text += w.what;
    text += " in pixels\n";
    text += w.key;
    text += " = ";
    text += std::to_string(w.clamp(width));
    text += "\n";
    return text;
}

bool parse_setting(const WidthSetting& w, std::string_view text, int* width, std::string* why) {
    std::string refusal = "the width is not a number of pixels from ";
    refusal += std::to_string(w.min);
    refusal += " to ";
    refusal += std::to_string(w.max);
    std::string form = "\"";
    form += w.key;
    form += " = PIXELS\"";
    const MAppSettingWords words{w.key, form, "width", refusal};
    int value = 0;
    if (!mapp_parse_setting(
            text, words, [&](std::string_view v) { return parse_width(w, v, &value); }, why))
        return false;
    *width = value;
    return true;
}

MAppTreeWidthSetting load_setting(const WidthSetting& w) {
    const MAppSettingFile file = mapp_read_setting_file(w.path);
    MAppTreeWidthSetting s;
    s.found = file.found;
    s.damage = file.damage;
    int width = 0;
    if (file.found && file.damage.empty() && parse_setting(w, file.text, &width, &s.damage))
        s.width = width;
    return s;
}

bool save_setting(const WidthSetting& w, int width, kv_fs::file_error* why) {
    return mapp_write_setting_file(w.path, setting_text(w, width), nullptr, why);
}

}  // namespace

std::string mapp_tree_width_setting_text(int width) {
    return setting_text(kTree, width);
}

bool mapp_parse_tree_width_setting(std::string_view text, int* width, std::string* why) {
    return parse_setting(kTree, text, width, why);
}

MAppTreeWidthSetting mapp_load_tree_width_setting() {
    return load_setting(kTree);
}

bool mapp_save_tree_width_setting(int width, kv_fs::file_error* why) {
    return save_setting(kTree, width, why);
}

int mapp_fit_tree_width(int name_width, int chrome) {
    return kTree.clamp(name_width + chrome);
}

std::string mapp_property_width_setting_text(int width) {
    return setting_text(kProperties, width);
}

bool mapp_parse_property_width_setting(std::string_view text, int* width, std::string* why) {
    return parse_setting(kProperties, text, width, why);
}

MAppTreeWidthSetting mapp_load_property_width_setting() {
    return load_setting(kProperties);
}

bool mapp_save_property_width_setting(int width, kv_fs::file_error* why) {
    return save_setting(kProperties, width, why);
}

int mapp_fit_property_width(int content_width) {
    return kProperties.clamp(content_width);
}
