#pragma once

#include <string>
#include <string_view>

#include "model/core/CkvString.h"
#include "platform/FileSystem.h"

// Whether placing a note sounds it, as the user's setting. The configuration record's layout is
// fixed and its bytes stay as older programs wrote them, so the switch lives in a small file of
// its own beside the configuration: "audition.cfg" in the folder the configuration is written
// to, read from there first and then from the application folder, as the configuration is. A
// folder without the file (written by an older program) reads as on. User-interface thread.

// The file, relative to the application folder, before the user-folder rule.
inline constexpr std::string_view kAuditionSettingPath = "define\\audition.cfg";

// What reading the setting found.
struct MAppAuditionSetting {
    bool on = true;      // the default unless the file gave a value
    bool found = false;  // the file was there
    std::string damage;  // why the file's content was not used (English); empty when it was
};

// Reads the setting. A missing file gives on with `found` false; a file that cannot be read or
// holds no valid switch gives on with the reason in `damage`.
MAppAuditionSetting mapp_load_audition_setting();

// Writes the switch crash-safe to the file the setting is written to, creating its folder.
// False with the system's reason in `why` (may be null).
bool mapp_save_audition_setting(bool on, kv_fs::file_error* why = nullptr);

// The file's text for a switch, and the switch a text holds: false (out unchanged) with the
// reason in `why` when it holds none, or more than one. Any thread.
std::string mapp_audition_setting_text(bool on);
bool mapp_parse_audition_setting(std::string_view text, bool* on, std::string* why);
