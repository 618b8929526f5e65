#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "model/core/CkvString.h"
#include "platform/FileSystem.h"

// The small settings files that live beside the configuration, whose record layout is fixed:
// one `key = value` line, with blank lines and `#` comments, in the folder the configuration is
// written to, read from there first and then from the application folder, as the configuration
// is. Each setting (the autosave interval, the audition switch) says its key, its value and its
// wording. User-interface thread, except the parsing, which is any thread.

// What the wording of one setting's reasons is made of.
struct MAppSettingWords {
    std::string_view key;       // "autosave_seconds"
    std::string_view expected;  // the line expected, as a reason says it
    std::string_view noun;      // the value in the reasons: "interval"
    std::string_view refusal;   // the reason for a value `accept` refuses
};

// Reads the one value of `text`: each line not blank or a comment must be `KEY = VALUE` with
// the setting's key, given once, and `accept` must take the value (it stores it). False with the
// reason in `why` ("line N: ..." or that the file gives no value).
bool mapp_parse_setting(std::string_view text, const MAppSettingWords& words,
                        const std::function<bool(std::string_view)>& accept, std::string* why);

// The number a setting's value gives: decimal digits only (no sign, no spaces) from `lo` to
// `hi`. False, `out` unchanged, for anything else. Any thread.
bool mapp_setting_number(std::string_view value, int64_t lo, int64_t hi, int64_t* out);

// What reading a setting's file found.
struct MAppSettingFile {
    CkvString path;      // the file read (or that would have been), Windows form; empty when the
                         // application folder is not known
    bool found = false;  // the file was there
    std::string text;    // its content when it could be read
    std::string damage;  // why it could not be read (English); empty when it could
};

// Reads the file of the setting at `relative` (to the application folder, before the
// user-folder rule). A missing file gives `found` false.
MAppSettingFile mapp_read_setting_file(std::string_view relative);

// Writes `text` crash-safe to the file the setting at `relative` is written to, creating its
// folder. False with the system's reason in `why` and the path in `path` (both may be null).
bool mapp_write_setting_file(std::string_view relative, const std::string& text, CkvString* path,
                             kv_fs::file_error* why);
