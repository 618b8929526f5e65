#pragma once

#include <string>
#include <string_view>

#include "platform/FileSystem.h"

// The MIDI input the user chose, as the user's setting: the port's name as the system shows
// it, or none. The configuration record's layout is fixed and its bytes stay as older programs
// wrote them, so the choice lives in a small file of its own beside the configuration,
// "midi_input.cfg", read from the folder the configuration is written to and then from the
// application folder, as the configuration is. A folder without the file (written by an older
// program) reads as no input. User-interface thread.

// The file, relative to the application folder, before the user-folder rule.
inline constexpr std::string_view kMidiInSettingPath = "define\\midi_input.cfg";

// What reading the setting found.
struct MAppMidiInSetting {
    std::string port;    // the port's name; empty for none
    bool found = false;  // the file was there
    std::string damage;  // why the file's content was not used (English); empty when it was
};

MAppMidiInSetting mapp_load_midi_in_setting();
// Writes the choice (empty: none) crash-safe; false with the system's reason in `why`.
bool mapp_save_midi_in_setting(const std::string& port, kv_fs::file_error* why = nullptr);

// The file's text for a choice and the choice a text holds ("none" for no input); false (out
// unchanged) with the reason in `why` when it holds none. Any thread.
std::string mapp_midi_in_setting_text(const std::string& port);
bool mapp_parse_midi_in_setting(std::string_view text, std::string* port, std::string* why);
