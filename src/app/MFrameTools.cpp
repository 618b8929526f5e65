// The main frame's tools: the settings dialog and the manual.
#include <cstdint>

#include "app/MAppAutosaveSetting.h"
#include "app/MAppLanguageFiles.h"
#include "app/MAppLanguageSetting.h"
#include "app/MAppProblem.h"
#include "app/MAppText.h"
#include "app/MFrame.h"
#include "model/core/MseqPathOps.h"
#include "model/core/parse_int.h"
#include "model/library/MseqConfig.h"
#include "platform/FileSystem.h"
#include "platform/MidiOut.h"
#include "platform/Shell.h"
#include "platform/SynthPort.h"
#include "play/devices/MplyDevice.h"

// ---- Settings ----

namespace {

// The configuration fields the settings dialog edits, with their limits.
struct SettingField {
    const char* name;
    int32_t MseqConfig::*field;
    int32_t min, max;
};

const SettingField kSettingFields[] = {
    {"m_DirectMusic", &MseqConfig::m_DirectMusic, 0, 1},
    {"m_PlayMode", &MseqConfig::m_PlayMode, 1, 3},
    {"m_StopClose", &MseqConfig::m_StopClose, 0, 1},
    {"m_StopResetMsg", &MseqConfig::m_StopResetMsg, 0, 1},
    {"m_CacheLevel", &MseqConfig::m_CacheLevel, 1, 6},
    {"m_SeekInterval", &MseqConfig::m_SeekInterval, 1, 1000},
    {"m_ShowMenuBar", &MseqConfig::m_ShowMenuBar, 0, 1},
    {"m_ShowStatusBar", &MseqConfig::m_ShowStatusBar, 0, 1},
    {"m_VertTrackList", &MseqConfig::m_VertTrackList, 0, 1},
    {"m_VertTrackProp", &MseqConfig::m_VertTrackProp, 0, 1},
    {"m_MouseWheel", &MseqConfig::m_MouseWheel, 0, 1},
    {"m_LClickDelete", &MseqConfig::m_LClickDelete, 0, 1},
    {"m_DownSemiFlat", &MseqConfig::m_DownSemiFlat, 0, 1},
};

// The settings dialog's field of the autosave interval in seconds.
constexpr char kAutosaveField[] = "autosave_seconds";
// The field of the MIDI input port's name (empty: none).
constexpr char kMidiInField[] = "midi_input";
// The field of the interface language, "ja" or "en".
constexpr char kLanguageField[] = "language";

// The language the settings dialog shows as chosen: the setting, or without one the language
// the program runs in.
kv_language shown_language_choice() {
    const MAppLanguageSetting setting = mapp_load_language_setting();
    return setting.language ? *setting.language : kv_current_language();
}

// Decimal, or hexadecimal after 0x (a leading zero is no octal prefix: "010" is ten).
bool parse_int(const CkvString& text, int64_t* out) {
    return ::parse_int(text, INT64_MIN, INT64_MAX, out, PARSE_INT_HEX) == parse_int_error::none;
}

}  // namespace

MAppDeviceNames MFrame::device_names() {
    MAppDeviceNames names;
    kv_midi::midi_out& midi = playback_->midi();
    for (uint32_t i = 0; i < midi.device_count(); ++i) {
        kv_midi::midi_out_caps caps;
        names.midi_outputs.push_back(midi.device_caps(i, &caps) ? caps.name : std::string());
    }
    for (const kv_synth::port_info& p : playback_->synth().ports())
        names.synth_ports.push_back(p.name);
    names.midi_inputs = midi_input_->port_names();
    return names;
}

void MFrame::settings() {
    stop_player(3000);
    MseqConfig& c = mseq_config();
    MAppFields fields;
    fields.set("m_DeviceID", c.m_DeviceID == MDEV_MAPPER ? CkvString("-1")
                             : c.m_DeviceID == MDEV_NONE ? CkvString("-2")
                                                         : CkvString(std::to_string(c.m_DeviceID)));
    fields.set("m_DmPortName", c.m_DmPortName);
    for (const SettingField& f : kSettingFields)
        fields.set(f.name, CkvString(std::to_string(c.*f.field)));
    // Not a configuration field: the interval has a file of its own (MAppAutosaveSetting).
    fields.set(kAutosaveField, CkvString(std::to_string(autosave_seconds_)));
    // Nor is the MIDI input, kept by its name (MAppMidiInSetting).
    fields.set(kMidiInField, CkvString(midi_input_->chosen()));
    // Nor is the language, which has its own file (MAppLanguageSetting) and is read at start.
    const kv_language language_before = shown_language_choice();
    fields.set(kLanguageField, CkvString(kv_language_code(language_before)));
    port_->offer_devices(device_names());
    MAppUserPort& port = *port_;
    auto check = [&port](MAppFields& f) -> MAppCheck {
        int64_t v = 0;
        if (!parse_int(f.get("m_DeviceID"), &v) || v < -2 || v > 0xFFFFFFFFll) {
            port.warn(mapp_text(mapp_msg::SETTING_VALUE_WRONG));
            return {false, "m_DeviceID"};
        }
        for (const SettingField& s : kSettingFields) {
            if (!parse_int(f.get(s.name), &v) || v < s.min || v > s.max) {
                port.warn(mapp_text(mapp_msg::SETTING_VALUE_WRONG));
                return {false, s.name};
            }
        }
        if (!parse_int(f.get(kAutosaveField), &v) || v < 0 || v > kAutosaveMaxSeconds) {
            port.warn(mapp_text(mapp_msg::SETTING_VALUE_WRONG));
            return {false, kAutosaveField};
        }
        kv_language language = kv_language::japanese;
        if (!kv_parse_language(f.get(kLanguageField).str(), &language)) {
            port.warn(mapp_text(mapp_msg::SETTING_VALUE_WRONG));
            return {false, kLanguageField};
        }
        return {};
    };
    if (!port.run_dialog(MAppDialog::settings, fields, check)) return;
    int64_t v = 0;
    parse_int(fields.get("m_DeviceID"), &v);
    c.m_DeviceID = v == -1 ? MDEV_MAPPER : v == -2 ? MDEV_NONE : static_cast<uint32_t>(v);
    c.m_DeviceName.clear();
    kv_midi::midi_out_caps caps;
    if (c.m_DeviceID != MDEV_NONE && playback_->midi().device_caps(c.m_DeviceID, &caps))
        c.m_DeviceName = caps.name;
    c.m_DmPortName = fields.get("m_DmPortName");
    c.m_DmPortGUID =
        c.m_DmPortName.empty() ? kv_synth::port_id{} : kv_synth::port_id_of(c.m_DmPortName);
    for (const SettingField& s : kSettingFields) {
        parse_int(fields.get(s.name), &v);
        c.*s.field = static_cast<int32_t>(v);
    }
    c.validate();
    parse_int(fields.get(kAutosaveField), &v);
    if (static_cast<uint32_t>(v) != autosave_seconds_) {
        set_autosave_interval(static_cast<uint32_t>(v));
        save_autosave_setting();
    }
    if (fields.get(kMidiInField).str() != midi_input_->chosen())
        midi_input_->choose(fields.get(kMidiInField).str());
    kv_language language = language_before;
    kv_parse_language(fields.get(kLanguageField).str(), &language);
    if (language != language_before) save_language_setting(language);
    MplyDevice* before = playback_->device();
    playback_->choose_device();
    if (before && before != playback_->chosen_device()) before->CloseDevice();
    port_->refresh(MAppRefresh::editor_view);
    port_->refresh(MAppRefresh::menus);
}

bool MFrame::save_language_setting(kv_language language) {
    CkvString path;
    kv_fs::file_error why;
    if (!mapp_save_language_setting(language, &path, &why)) {
        port_->warn(CkvString(mapp_text(mapp_msg::LANGUAGE_SAVE_FAILED).str() +
                              mapp_save_lines(path, why).str()));
        return false;
    }
    // The texts already made (menus, tree, views) stay in the language they were made in.
    port_->inform(mapp_text(mapp_msg::LANGUAGE_NEXT_START));
    return true;
}

void MFrame::manual() {
    auto open = [this](const char* rest) {
        MseqFullPath path;
        if (!mseq_path::executable_path(rest, &path)) return kv_shell::kFileNotFound;
        return impl_shell()->open(kv_fs::to_host(mseq_path::canonicalize(path)));
    };
    int result = open(mapp_language_file(".\\manual\\index.html").c_str());
    if (result == kv_shell::kFileNotFound) result = open(".\\notice.html");
    if (result <= 32) {
        port_->warn(mapp_text(mapp_msg::MANUAL_OPEN_FAILED));
    }
}
