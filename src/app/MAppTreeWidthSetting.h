#pragma once

#include <string>
#include <string_view>

#include "platform/FileSystem.h"

// The width of the main window's library tree, as the user left it: kept in a one-line file of
// its own beside the configuration ("tree-width.cfg", read and written as the other small
// settings files are), since the configuration's record layout is fixed. Without the file the
// window fits the tree to its names. The music view's property list keeps its width the same
// way ("property-width.cfg"), fitted to its rows without one. User-interface thread, except the
// text functions (any thread).

// The file, relative to the application folder, before the user-folder rule.
inline constexpr std::string_view kTreeWidthSettingPath = "define\\tree-width.cfg";

// The widths the tree may have, in pixels: narrower hides the names, wider leaves the editor
// no room on a small screen.
inline constexpr int kTreeWidthMin = 160;
inline constexpr int kTreeWidthMax = 560;

// The file of the property list's width, and the widths it may have: narrower cuts its
// values, wider takes the timeline's room for little.
inline constexpr std::string_view kPropertyWidthSettingPath = "define\\property-width.cfg";
inline constexpr int kPropertyWidthMin = 220;
inline constexpr int kPropertyWidthMax = 380;

// What reading the setting found.
struct MAppTreeWidthSetting {
    int width = 0;       // the stored width; 0 when none was read
    bool found = false;  // the file was there
    std::string damage;  // why the file's content was not used (English); empty when it was
};

// Reads the setting. A missing file or one without a valid width gives width 0 (with the reason
// in `damage` for a damaged one).
MAppTreeWidthSetting mapp_load_tree_width_setting();

// Writes `width` (brought into the bounds) crash-safe to the file the setting is written to.
// False with the system's reason in `why` (may be null).
bool mapp_save_tree_width_setting(int width, kv_fs::file_error* why = nullptr);

// The file's text for a width, and the width a text holds: false (out unchanged) with the reason
// in `why` for none, more than one, or one outside the bounds.
std::string mapp_tree_width_setting_text(int width);
bool mapp_parse_tree_width_setting(std::string_view text, int* width, std::string* why);

// The width that shows names `name_width` pixels wide (the widest visible one, with its indent
// and icon) and the tree's frame and scroll bar `chrome` pixels, within the bounds.
int mapp_fit_tree_width(int name_width, int chrome);

// The same for the property list's width.
MAppTreeWidthSetting mapp_load_property_width_setting();
bool mapp_save_property_width_setting(int width, kv_fs::file_error* why = nullptr);
std::string mapp_property_width_setting_text(int width);
bool mapp_parse_property_width_setting(std::string_view text, int* width, std::string* why);
// The width that shows rows `content_width` pixels wide (names and values) within the bounds.
int mapp_fit_property_width(int content_width);
