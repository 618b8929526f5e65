#pragma once

#include <cstdint>
#include <vector>

#include "model/core/CkvString.h"
#include "model/library/MseqShowState.h"

class MedtMusic;
class MseqMusic;

// The display, note-kind and edit commands of the music view: their numbers, menu labels and
// status texts, and what the display and note-kind commands do to the music's view settings
// (m_ShowState, m_NoteState). The window turns these into menus, tool buttons and keys.
// Texts are CP932. Any thread may read the table; the operations on a music belong to the
// user-interface thread.
struct MedtViewCommand {
    int32_t id;
    const char* name;            // UTF-8 menu label without its key
    const char* key;             // the key the view answers with, in the portable form of key names
                                 // ("E", "1", "F7", "Ctrl+X", "Del", "Ins"); "" for none
    const char* status;          // UTF-8 status-bar text
    const char* other_key = "";  // a second key answering the command, as `key`; "" for none
};

// The numbers of the music view's commands.
enum MedtViewCommandId : int32_t {
    MVC_DRAW_PURE = 40201,  // the note kinds drawn by a press, 40201-40205 (m_NoteState 1-5)
    MVC_DRAW_TONE = 40202,
    MVC_DRAW_SCALE = 40203,
    MVC_DRAW_CHORD = 40204,
    MVC_DRAW_RHYTHM = 40205,
    MVC_SHOW_PLAY_POSITION = 40211,  // scrolls to the play cursor
    MVC_AUTOSCROLL = 40212,
    MVC_CHORD_NAMES = 40221,
    MVC_MODE_ICONS = 40222,
    MVC_TRACK_INFO = 40223,
    MVC_SHOW_ANCHOR = 40231,  // the display toggles of the view's tool bar, 40231-40239
    MVC_SHOW_OPTION = 40232,
    MVC_SHOW_VELOCITY = 40233,
    MVC_SHOW_EFFECT = 40234,
    MVC_SHOW_DEGREE = 40236,
    MVC_SHOW_CHORD = 40237,
    MVC_SHOW_GUIDE = 40239,
    MVC_TYPE_NOTES = 40241,  // typed note entry on the timeline, on or off
    MVC_CUT = 40261,         // the edit actions, 40261-40267, in the order of MACT_CUT...MACT_SPACE
    MVC_COPY = 40262,
    MVC_PASTE = 40263,
    MVC_OVERWRITE = 40264,
    MVC_DELETE = 40265,
    MVC_DELETE_BEFORE = 40266,
    MVC_SPACE = 40267,
    MVC_UNDO = 40268,
    MVC_REDO = 40269,
    MVC_ADD_TRACK = 40272,  // the add-track sub-menu's own entry
    MVC_DELETE_TRACK = 40273,
    MVC_COPY_TRACK = 40274,
    MVC_PASTE_TRACK = 40275,
    MVC_ADD_GROUP = 40281,   // the add-track sub-menu: track types 40281-40292
    MVC_ADD_RHYTHM = 40291,  // picks the drum sound in the view's pop-up first
    MVC_ADD_MESSAGE = 40292,
    MVC_ADD_PRESET_FIRST = 40301,  // message tracks with a preset message, 40301-40310
    MVC_ADD_PRESET_LAST = 40310,
    MVC_ZOOM_IN = 40321,  // the zoom of the view, 40321-40325: the editor's view scale only
    MVC_ZOOM_OUT = 40322,
    MVC_ZOOM_FIT = 40323,
    MVC_ROW_TALLER = 40324,
    MVC_ROW_SHORTER = 40325,
    MVC_LANE = 40331,            // the current track's resolved-pitch lane, shown or hidden
    MVC_LANES_SHOW_ALL = 40332,  // every note and phrase track's lane shown
    MVC_LANES_HIDE_ALL = 40333,  // every lane hidden
    MVC_VALUE_WHOLE = 40341,     // the note value of typed notes: whole to 32nd, 40341-40346
    MVC_VALUE_HALF = 40342,
    MVC_VALUE_QUARTER = 40343,
    MVC_VALUE_8TH = 40344,
    MVC_VALUE_16TH = 40345,
    MVC_VALUE_32ND = 40346,
    MVC_VALUE_DOTTED = 40347,   // dotted on or off
    MVC_VALUE_TRIPLET = 40348,  // triplet on or off
};

struct MedtNoteValue;

namespace medt_view_commands {

// The commands in menu order, grouped: note kinds, display toggles, edit commands, track
// commands. Never empty. Each table holds the texts of the language shown when it is asked for
// (the numbers and keys are the same in every language): ask again after the language changes.
const std::vector<MedtViewCommand>& note_kinds();
const std::vector<MedtViewCommand>& display_toggles();
const std::vector<MedtViewCommand>& edit_commands();
const std::vector<MedtViewCommand>& track_commands();
// The add-track sub-menu, in menu order.
const std::vector<MedtViewCommand>& add_track_commands();
// The zoom commands, in menu order. They change only the scale the view draws at (kept by the
// editor in memory), never the music.
const std::vector<MedtViewCommand>& zoom_commands();
// True for MVC_ZOOM_IN...MVC_ROW_SHORTER.
bool is_zoom(int32_t id);
// The lane commands, in menu order. They change only what the view shows (the editor's lanes,
// kept in memory), never the music.
const std::vector<MedtViewCommand>& lane_commands();
// True for MVC_LANE...MVC_LANES_HIDE_ALL.
bool is_lane(int32_t id);
// Runs a lane command on `editor`'s lanes, MVC_LANE on its current track. False for other
// numbers or when MVC_LANE finds no note or phrase track current.
bool run_lane(MedtMusic& editor, int32_t id);
// The typed-entry commands, in menu order: typing on or off, then the note values (whole to
// 32nd, dotted, triplet). They change only what the view's keys do, never the music.
const std::vector<MedtViewCommand>& entry_commands();
// True for MVC_VALUE_WHOLE...MVC_VALUE_TRIPLET.
bool is_note_value(int32_t id);
// A note-value command on `value`: a plain value replaces it (neither dotted nor triplet),
// dotted and triplet switch themselves on or off (and the other off). False for other numbers.
bool apply_note_value(int32_t id, MedtNoteValue* value);
// Whether a note-value command carries the check mark for `value`.
bool note_value_checked(int32_t id, const MedtNoteValue& value);

// The entry of `id` in any of the tables; nullptr when none.
const MedtViewCommand* find(int32_t id);
// The entry answering `key` (a key name as in the tables, modifiers first: "Ctrl+X"), as its
// key or its other key; nullptr when no command has that key.
const MedtViewCommand* find_key(const char* key);
// True for the note-kind commands MVC_DRAW_PURE...MVC_DRAW_RHYTHM.
bool is_note_kind(int32_t id);
// True for the commands that change only how the view shows the music (note kinds, display
// toggles, zoom, lanes, scrolling to the play cursor) or what its keys do (typing, note values):
// they work on a locked view too.
bool is_view_setting(int32_t id);
// The menu label of `id` in CP932, its key after a tab when it has one, and its status text;
// empty for unknown numbers.
CkvString label(int32_t id);
CkvString status_text(int32_t id);
// The short name a tool-bar button shows (CP932), with the menu label in its tip: the menu
// label without its key when the command has no shorter one; empty for unknown numbers.
CkvString bar_label(int32_t id);

// The display bit a toggle command flips; 0 for other numbers.
uint32_t toggle_bit(int32_t id);
// Runs a display toggle or note-kind command on the music's view settings: a toggle flips its
// bit (and when neither chord degrees nor chord names would remain shown, shows the other one),
// a note-kind command sets m_NoteState 1-5. False
// for other numbers or a null music; the music is not marked modified (view settings only).
bool run(MseqMusic* music, int32_t id);
// Whether the command's entry carries a check mark for this music.
bool checked(const MseqMusic* music, int32_t id);

}  // namespace medt_view_commands
