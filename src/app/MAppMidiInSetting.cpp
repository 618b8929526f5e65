#include "app/MAppMidiInSetting.h"

#include "app/MAppSettingFile.h"

namespace {

constexpr std::string_view kMidiInKey = "midi_input";
constexpr std::string_view kNone = "none";

}  // namespace

std::string mapp_midi_in_setting_text(const std::string& port) {
    return "# Korvante: the MIDI input port played into step and live recording (none for no "
           "input)\n" +
           std::string(kMidiInKey) + " = " + (port.empty() ? std::string(kNone) : port) + "\n";
}

bool mapp_parse_midi_in_setting(std::string_view text, std::string* port, std::string* why) {
    const MAppSettingWords words{kMidiInKey, "\"midi_input = PORT\" or \"= none\"", "port",
                                 "the port has no name"};
    std::string value;
    const auto accept = [&value](std::string_view v) {
        value = v == kNone ? std::string() : std::string(v);
        return !v.empty();
    };
    if (!mapp_parse_setting(text, words, accept, why)) return false;
    *port = value;
    return true;
}

MAppMidiInSetting mapp_load_midi_in_setting() {
    const MAppSettingFile file = mapp_read_setting_file(kMidiInSettingPath);
    MAppMidiInSetting s;
    s.found = file.found;
    s.damage = file.damage;
    std::string port;
    if (file.found && file.damage.empty() &&
        mapp_parse_midi_in_setting(file.text, &port, &s.damage))
        s.port = port;
    return s;
}

bool mapp_save_midi_in_setting(const std::string& port, kv_fs::file_error* why) {
    return mapp_write_setting_file(kMidiInSettingPath, mapp_midi_in_setting_text(port), nullptr,
                                   why);
}
