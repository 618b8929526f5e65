#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/core/CkvString.h"
#include "platform/FileSystem.h"

// The autosave interval as the user's setting. The configuration record's layout is fixed, so
// the interval lives in a small file of its own beside the configuration: "autosave.cfg" in the
// folder the configuration is written to (the application's "define" folder, or the user's
// configuration folder of a read-only application folder), read from there first and then from
// the application folder, as the configuration is. A folder without the file (written by an
// older program) reads as the default. User-interface thread.

// The file, relative to the application folder, before the user-folder rule.
inline constexpr std::string_view kAutosaveSettingPath = "define\\autosave.cfg";
inline constexpr uint32_t kAutosaveDefaultSeconds = 60;
inline constexpr uint32_t kAutosaveMaxSeconds = 86400;  // a day

// What reading the setting found.
struct MAppAutosaveSetting {
    uint32_t seconds = kAutosaveDefaultSeconds;  // the default unless the file gave a value
    CkvString path;      // the file read (or that would have been), Windows form; empty when
                         // the application folder is not known
    bool found = false;  // the file was there
    std::string damage;  // why the file's content was not used (English); empty when it was
};

// Reads the setting. A missing file gives the default with `found` false; a file that cannot be
// read or holds no valid interval gives the default with the reason in `damage`.
MAppAutosaveSetting mapp_load_autosave_setting();

// Writes `seconds` (at most kAutosaveMaxSeconds) crash-safe to the file the setting is written
// to, creating its folder. False with the system's reason in `why` and the path in `path` (both
// may be null).
bool mapp_save_autosave_setting(uint32_t seconds, CkvString* path = nullptr,
                                kv_fs::file_error* why = nullptr);

// The file's text for `seconds`, and the interval a text holds: false (out unchanged) with the
// reason in `why` when it holds none or one out of range. Any thread.
std::string mapp_autosave_setting_text(uint32_t seconds);
bool mapp_parse_autosave_setting(std::string_view text, uint32_t* seconds, std::string* why);
