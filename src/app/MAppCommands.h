#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "edit/MedtViewCommands.h"
#include "model/core/CkvString.h"

// Command numbers of the main window, the library tree and the edit list.
enum MAppCommandId : uint32_t {
    ID_ROOM_NONE = 40001,  // "no recent libraries" placeholder entry
    ID_ROOM_CLOSE = 40002,
    ID_ROOM_CREATE = 40003,
    ID_ROOM_OPEN = 40004,
    ID_ROOM_RECENT_FIRST = 40005,  // recent entry 0; up to ID_ROOM_RECENT_LAST
    ID_ROOM_RECENT_LAST = 40012,
    ID_LINK_OPEN = 40041,
    ID_FILE_SAVE = 40043,
    ID_FILE_SAVE_ALL = 40044,
    ID_LINK_RENAME = 40045,
    ID_LINK_DELETE = 40046,
    ID_LINK_INFO = 40051,
    ID_TOOL_RELEASE = 40052,
    ID_TOOL_SETTINGS = 40053,
    ID_TOOL_MANUAL = 40054,
    ID_TOOL_VERSION = 40055,
    ID_ADD_FILE_LINK = 40060,
    ID_ADD_PATTERN_BOOK = 40061,
    ID_ADD_MUSIC = 40062,
    ID_NEW_MUSIC_BUTTON = 40063,
    ID_ADD_FOLDER = 40070,
    ID_ADD_STAGE = 40071,
    ID_ADD_CHORD = 40072,
    ID_ADD_PHRASE_EMPTY = 40080,
    ID_ADD_PHRASE_CHORDS = 40081,
    ID_ADD_PHRASE_MONO_BASS = 40082,
    ID_ADD_PHRASE_BASS4 = 40083,
    ID_ADD_PHRASE_GUITAR6 = 40084,
    ID_ADD_PHRASE_DRUM8 = 40085,
    ID_ADD_PHRASE_DRUM16 = 40086,
    ID_EDIT_CLOSE = 40091,
    ID_EDIT_RENAME = 40092,
    ID_PLAY = 40101,
    ID_PLAY_LINK = 40102,
    ID_STOP = 40103,
    ID_PAUSE = 40104,
    ID_EXPORT_MIDI = 40105,
    ID_PLAY_FROM_CURSOR = 40106,           // play the shown file from its edit cursor
    ID_GO_START = 40107,                   // the play cursor to the start of the music
    ID_GO_END = 40108,                     // the play cursor to the end of the music
    ID_AUDITION = 40109,                   // switches hearing placed notes on and off
    ID_STEP_RECORD = 40110,                // keys played on the MIDI input enter notes
    ID_LIVE_RECORD = 40111,                // keys played while a run plays are recorded
    ID_AUDITION_PHRASE = 40112,            // hears the selected phrase at the edit cursor
    ID_IMPORT_MIDI = 40120,                // a MIDI file into a music book, with its analysis
    ID_EXPORT_FILE = 40121,                // the shown file as MIDI (format 0 or 1) or MusicXML
    ID_RENDER_AUDIO = 40122,               // the shown file as sound (WAV, FLAC, Ogg), with stems
    ID_ANALYSE_MUSIC = 40123,              // the shown music's chords and key, notes follow them
    ID_MUSIC_F7 = MVC_SHOW_PLAY_POSITION,  // music-view commands reached by accelerator
    ID_MUSIC_F8 = MVC_AUTOSCROLL,
    ID_APP_EXIT = 57665,
};

// The number of top-level menus of the menu bar that belong to the main window; the view
// shown in the editor pane appends its own after them, and a view switch removes every menu
// past this number before the new view adds its menus.
inline constexpr size_t kMAppFixedBarMenus = 4;

// The menus the application defines. The menus of the shown view that follow the first four on the
// menu bar belong to the current editor.
enum class MAppMenu {
    bar,        // "ファイル(&F)", "ライブラリ(&R)", "編集リスト(&D)", "ツール(&T)"
    file,       // with the recent entries
    library,    // the library menu of the menu bar
    edit_list,  // the edit list's menu
    tools,      // the tools menu
    create,     // "リンクの追加": the creation sub-menu
    phrase,     // "フレーズパターンの作成"
    room_dropdown,  // the second library menu, dropped down from the tool bar's open button
};

// One entry of a menu: a command, a separator or a sub-menu. Labels are CP932; "\t" separates
// the shortcut shown at the right.
struct MAppMenuEntry {
    enum Kind { command, separator, submenu } kind = command;
    uint32_t id = 0;               // command number (0 for separators and sub-menus)
    CkvString label;               // CP932
    MAppMenu sub = MAppMenu::bar;  // the sub-menu of a submenu entry
    bool enabled = true;           // filled by MFrame::menu from the command's enabled state
    bool checked = false;
};

// One key of the main window, acting wherever the focus is in the window: the key sequence in
// the portable text form of key sequences ("F5", "Space", "Ctrl+Shift+S"). A command may have
// several keys; the first is the one its menu entry shows.
struct MAppAccelerator {
    const char* keys;
    uint32_t id;
};

// Fixed texts of the commands: the label (as in the menus), the status-bar text and the tool
// tip. Every function is pure and may be called from any thread.
namespace mapp_commands {

// The menu label of `id` in CP932; empty for numbers without a fixed label (recent entries).
CkvString label(uint32_t id);
// The status-bar text of `id` in CP932; empty when the command has none.
CkvString status_text(uint32_t id);
// The labels of the four top-level menus, in menu-bar order.
std::vector<CkvString> bar_labels();
// The accelerators of the main window.
const std::vector<MAppAccelerator>& accelerators();
// The library tool bar: command numbers in order, 0 for a separator.
const std::vector<uint32_t>& room_toolbar();
// The player tool bar: go to the start, play, play from the edit cursor, stop, pause, go to
// the end.
const std::vector<uint32_t>& player_toolbar();
// True for the commands that switch something on and off (shown checked while on).
bool is_toggle(uint32_t id);
// The entries of `menu` without the recent-library entries and without enabled states (the
// frame adds both); empty for the menu bar.
std::vector<MAppMenuEntry> fixed_entries(MAppMenu menu);

}  // namespace mapp_commands
