#include "app/MAppCommands.h"

#include <map>
#include <optional>

#include "app/MAppTexts.h"
#include "model/core/CkvText.h"
#include "platform/TextCodec.h"

namespace mapp_commands {

namespace {

// The fixed texts of one command, by identifier: the words are those of the language shown
// when they are asked for.
struct Texts {
    mapp_msg label;
    std::optional<mapp_msg> status;  // none: the command has no status-bar text
};

const std::map<uint32_t, Texts>& table() {
    static const std::map<uint32_t, Texts> t = {
        {ID_ROOM_CREATE, {mapp_msg::CMD_ROOM_CREATE, mapp_msg::TIP_ROOM_CREATE}},
        {ID_ROOM_OPEN, {mapp_msg::CMD_ROOM_OPEN, mapp_msg::TIP_ROOM_OPEN}},
        {ID_ROOM_CLOSE, {mapp_msg::CMD_ROOM_CLOSE, mapp_msg::TIP_ROOM_CLOSE}},
        {ID_FILE_SAVE, {mapp_msg::CMD_FILE_SAVE, mapp_msg::TIP_FILE_SAVE}},
        {ID_FILE_SAVE_ALL, {mapp_msg::CMD_FILE_SAVE_ALL, mapp_msg::TIP_FILE_SAVE_ALL}},
        {ID_EXPORT_MIDI, {mapp_msg::CMD_EXPORT_MIDI, mapp_msg::TIP_EXPORT_MIDI}},
        {ID_IMPORT_MIDI, {mapp_msg::CMD_IMPORT_MIDI, mapp_msg::TIP_IMPORT_MIDI}},
        {ID_ANALYSE_MUSIC, {mapp_msg::CMD_ANALYSE_MUSIC, mapp_msg::TIP_ANALYSE_MUSIC}},
        {ID_EXPORT_FILE, {mapp_msg::CMD_EXPORT_FILE, mapp_msg::TIP_EXPORT_FILE}},
        {ID_RENDER_AUDIO, {mapp_msg::CMD_RENDER_AUDIO, mapp_msg::TIP_RENDER_AUDIO}},
        {ID_APP_EXIT, {mapp_msg::CMD_APP_EXIT, std::nullopt}},
        {ID_ROOM_NONE, {mapp_msg::CMD_ROOM_NONE, mapp_msg::TIP_ROOM_NONE}},
        {ID_LINK_DELETE, {mapp_msg::CMD_LINK_DELETE, mapp_msg::TIP_LINK_DELETE}},
        {ID_LINK_OPEN, {mapp_msg::CMD_LINK_OPEN, mapp_msg::TIP_LINK_OPEN}},
        {ID_PLAY_LINK, {mapp_msg::CMD_PLAY_LINK, mapp_msg::TIP_PLAY_LINK}},
        {ID_LINK_RENAME, {mapp_msg::CMD_LINK_RENAME, mapp_msg::TIP_LINK_RENAME}},
        {ID_LINK_INFO, {mapp_msg::CMD_LINK_INFO, mapp_msg::TIP_LINK_INFO}},
        {ID_EDIT_CLOSE, {mapp_msg::CMD_EDIT_CLOSE, mapp_msg::TIP_EDIT_CLOSE}},
        {ID_EDIT_RENAME, {mapp_msg::CMD_EDIT_RENAME, mapp_msg::TIP_EDIT_RENAME}},
        {ID_TOOL_RELEASE, {mapp_msg::CMD_TOOL_RELEASE, mapp_msg::TIP_TOOL_RELEASE}},
        {ID_TOOL_SETTINGS, {mapp_msg::CMD_TOOL_SETTINGS, mapp_msg::TIP_TOOL_SETTINGS}},
        {ID_TOOL_MANUAL, {mapp_msg::CMD_TOOL_MANUAL, mapp_msg::TIP_TOOL_MANUAL}},
        {ID_TOOL_VERSION, {mapp_msg::CMD_TOOL_VERSION, mapp_msg::TIP_TOOL_VERSION}},
        {ID_PLAY, {mapp_msg::CMD_PLAY, mapp_msg::TIP_PLAY}},
        {ID_PLAY_FROM_CURSOR, {mapp_msg::CMD_PLAY_FROM_CURSOR, mapp_msg::TIP_PLAY_FROM_CURSOR}},
        {ID_GO_START, {mapp_msg::CMD_GO_START, mapp_msg::TIP_GO_START}},
        {ID_GO_END, {mapp_msg::CMD_GO_END, mapp_msg::TIP_GO_END}},
        {ID_AUDITION, {mapp_msg::CMD_AUDITION, mapp_msg::TIP_AUDITION}},
        {ID_STEP_RECORD, {mapp_msg::CMD_STEP_RECORD, mapp_msg::TIP_STEP_RECORD}},
        {ID_LIVE_RECORD, {mapp_msg::CMD_LIVE_RECORD, mapp_msg::TIP_LIVE_RECORD}},
        {ID_STOP, {mapp_msg::CMD_STOP, mapp_msg::TIP_STOP}},
        {ID_PAUSE, {mapp_msg::CMD_PAUSE, mapp_msg::TIP_PAUSE}},
        {ID_NEW_MUSIC_BUTTON, {mapp_msg::CMD_NEW_MUSIC_BUTTON, std::nullopt}},
        {ID_ADD_FILE_LINK, {mapp_msg::CMD_ADD_FILE_LINK, std::nullopt}},
        {ID_ADD_MUSIC, {mapp_msg::CMD_ADD_MUSIC, std::nullopt}},
        {ID_ADD_PATTERN_BOOK, {mapp_msg::CMD_ADD_PATTERN_BOOK, std::nullopt}},
        {ID_ADD_STAGE, {mapp_msg::CMD_ADD_STAGE, std::nullopt}},
        {ID_ADD_CHORD, {mapp_msg::CMD_ADD_CHORD, std::nullopt}},
        {ID_ADD_FOLDER, {mapp_msg::CMD_ADD_FOLDER, std::nullopt}},
        {ID_ADD_PHRASE_CHORDS, {mapp_msg::CMD_ADD_PHRASE_CHORDS, std::nullopt}},
        {ID_ADD_PHRASE_MONO_BASS, {mapp_msg::CMD_ADD_PHRASE_MONO_BASS, std::nullopt}},
        {ID_ADD_PHRASE_BASS4, {mapp_msg::CMD_ADD_PHRASE_BASS4, std::nullopt}},
        {ID_ADD_PHRASE_GUITAR6, {mapp_msg::CMD_ADD_PHRASE_GUITAR6, std::nullopt}},
        {ID_ADD_PHRASE_DRUM8, {mapp_msg::CMD_ADD_PHRASE_DRUM8, std::nullopt}},
        {ID_ADD_PHRASE_DRUM16, {mapp_msg::CMD_ADD_PHRASE_DRUM16, std::nullopt}},
        {ID_ADD_PHRASE_EMPTY, {mapp_msg::CMD_ADD_PHRASE_EMPTY, std::nullopt}},
    };
    return t;
}

// The commands whose texts are in the application's catalogue: label and status text.
struct Catalogued {
    mapp_msg label;
    mapp_msg status;
};

const Catalogued* catalogued(uint32_t id) {
    static const std::map<uint32_t, Catalogued> t = {
        {ID_AUDITION_PHRASE, {mapp_msg::PHRASE_AUDITION_LABEL, mapp_msg::PHRASE_AUDITION_TIP}},
    };
    auto it = t.find(id);
    return it == t.end() ? nullptr : &it->second;
}

MAppMenuEntry command(uint32_t id) {
    MAppMenuEntry e;
    e.kind = MAppMenuEntry::command;
    e.id = id;
    e.label = label(id);
    return e;
}

MAppMenuEntry separator() {
    MAppMenuEntry e;
    e.kind = MAppMenuEntry::separator;
    return e;
}

MAppMenuEntry submenu(const char* utf8, MAppMenu sub) {
    MAppMenuEntry e;
    e.kind = MAppMenuEntry::submenu;
    e.label = ckv_from_utf8(utf8);
    e.sub = sub;
    return e;
}

}  // namespace

CkvString label(uint32_t id) {
    if (const Catalogued* c = catalogued(id)) return ckv_from_utf8(kv_text(c->label));
    auto it = table().find(id);
    return it == table().end() ? CkvString() : ckv_from_utf8(kv_text(it->second.label));
}

CkvString status_text(uint32_t id) {
    if (const Catalogued* c = catalogued(id)) return ckv_from_utf8(kv_text(c->status));
    auto it = table().find(id);
    if (it == table().end() || !it->second.status) return CkvString();
    return ckv_from_utf8(kv_text(*it->second.status));
}

std::vector<CkvString> bar_labels() {
    std::vector<CkvString> out;
    for (mapp_msg id : {mapp_msg::MENU_FILE, mapp_msg::MENU_LIBRARY, mapp_msg::MENU_EDIT_LIST,
                        mapp_msg::MENU_TOOLS})
        out.emplace_back(kv_codec::cp932_from_utf8(kv_text(id)));
    return out;
}

const std::vector<MAppAccelerator>& accelerators() {
    static const std::vector<MAppAccelerator> keys = {
        {"F1", ID_TOOL_MANUAL},
        {"F4", ID_LINK_INFO},
        {"F5", ID_PLAY},
        {"Space", ID_PLAY},
        {"Shift+F5", ID_PLAY_FROM_CURSOR},
        {"F6", ID_PLAY_LINK},
        {"Shift+F6", ID_AUDITION_PHRASE},
        {"F7", ID_MUSIC_F7},
        {"F8", ID_MUSIC_F8},
        {"Ctrl+Home", ID_GO_START},
        {"Ctrl+End", ID_GO_END},
        {"Ctrl+S", ID_FILE_SAVE},
        {"Ctrl+Shift+S", ID_FILE_SAVE_ALL},
        {"Ctrl+O", ID_ROOM_OPEN},
        {"Ctrl+N", ID_NEW_MUSIC_BUTTON},
        {"Ctrl+Q", ID_APP_EXIT},
    };
    return keys;
}

const std::vector<uint32_t>& room_toolbar() {
    static const std::vector<uint32_t> bar = {
        ID_ROOM_OPEN,   ID_NEW_MUSIC_BUTTON, 0, ID_FILE_SAVE, ID_FILE_SAVE_ALL, ID_EXPORT_MIDI, 0,
        ID_LINK_DELETE, ID_ADD_FILE_LINK,    0, ID_LINK_INFO, ID_TOOL_SETTINGS, ID_TOOL_MANUAL,
    };
    return bar;
}

const std::vector<uint32_t>& player_toolbar() {
    static const std::vector<uint32_t> bar = {ID_GO_START, ID_PLAY,        ID_PLAY_FROM_CURSOR,
                                              ID_STOP,     ID_PAUSE,       ID_GO_END,
                                              ID_AUDITION, ID_STEP_RECORD, ID_LIVE_RECORD};
    return bar;
}

bool is_toggle(uint32_t id) {
    return id == ID_AUDITION || id == ID_STEP_RECORD || id == ID_LIVE_RECORD;
}

std::vector<MAppMenuEntry> fixed_entries(MAppMenu menu) {
    switch (menu) {
        case MAppMenu::bar:
            return {};
        case MAppMenu::file:
            return {command(ID_ROOM_CREATE),
                    command(ID_ROOM_OPEN),
                    command(ID_ROOM_CLOSE),
                    separator(),
                    command(ID_FILE_SAVE),
                    command(ID_FILE_SAVE_ALL),
                    command(ID_EXPORT_MIDI),
                    separator(),
                    command(ID_IMPORT_MIDI),
                    command(ID_ANALYSE_MUSIC),
                    command(ID_EXPORT_FILE),
                    command(ID_RENDER_AUDIO),
                    separator(),
                    command(ID_APP_EXIT)};
        case MAppMenu::library:
            return {submenu(kv_text(mapp_msg::MENU_ADD_LINK), MAppMenu::create),
                    command(ID_LINK_DELETE),
                    separator(),
                    command(ID_LINK_OPEN),
                    command(ID_PLAY_LINK),
                    command(ID_AUDITION_PHRASE),
                    command(ID_LINK_RENAME),
                    separator(),
                    command(ID_LINK_INFO)};
        case MAppMenu::edit_list:
            return {command(ID_EDIT_CLOSE), command(ID_EDIT_RENAME)};
        case MAppMenu::tools:
            return {command(ID_PLAY),
                    command(ID_PLAY_FROM_CURSOR),
                    command(ID_STOP),
                    command(ID_PAUSE),
                    command(ID_GO_START),
                    command(ID_GO_END),
                    separator(),
                    command(ID_AUDITION),
                    command(ID_STEP_RECORD),
                    command(ID_LIVE_RECORD),
                    command(ID_TOOL_RELEASE),
                    separator(),
                    command(ID_TOOL_SETTINGS),
                    separator(),
                    command(ID_TOOL_MANUAL),
                    command(ID_TOOL_VERSION)};
        case MAppMenu::create:
            return {command(ID_ADD_FILE_LINK),
                    separator(),
                    command(ID_ADD_MUSIC),
                    command(ID_ADD_PATTERN_BOOK),
                    separator(),
                    submenu(kv_text(mapp_msg::MENU_ADD_PHRASE), MAppMenu::phrase),
                    command(ID_ADD_STAGE),
                    command(ID_ADD_CHORD),
                    separator(),
                    command(ID_ADD_FOLDER)};
        case MAppMenu::phrase:
            return {command(ID_ADD_PHRASE_CHORDS), command(ID_ADD_PHRASE_MONO_BASS),
                    command(ID_ADD_PHRASE_BASS4),  command(ID_ADD_PHRASE_GUITAR6),
                    command(ID_ADD_PHRASE_DRUM8),  command(ID_ADD_PHRASE_DRUM16),
                    command(ID_ADD_PHRASE_EMPTY)};
        case MAppMenu::room_dropdown:
            return {command(ID_ROOM_CREATE), command(ID_ROOM_OPEN),
                    command(ID_ROOM_CLOSE),  separator(),
                    command(ID_APP_EXIT),    separator()};
    }
    return {};
}

}  // namespace mapp_commands
