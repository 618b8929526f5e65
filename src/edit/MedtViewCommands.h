#pragma once

#include <cstdint>
#include <vector>

#include "model/core/CkvString.h"

class MseqMusic;

// The display, note-kind and edit commands of the music view: their numbers, menu labels and
// status texts, and what the display and note-kind commands do to the music's view settings
// (m_ShowState, m_NoteState). The window turns these into menus, tool buttons and keys.
// Texts are CP932. Any thread may read the table; the operations on a music belong to the
// user-interface thread.
struct MedtViewCommand {
    int32_t id;
    const char* label;   // UTF-8 menu label; "\t" separates the key shown at the right
    const char* status;  // UTF-8 status-bar text
};

// The view's display bits of m_ShowState.
enum : uint32_t {
    MSHOW_ANCHOR = 0x1,
    MSHOW_OPTION = 0x4,
    MSHOW_VELOCITY = 0x10,
    MSHOW_GUIDE = 0x20,
    MSHOW_EFFECT = 0x40,
    MSHOW_DEGREE = 0x400,
    MSHOW_CHORD = 0x800,
    MSHOW_AUTOSCROLL = 0x10000,
    MSHOW_CHORD_NAMES = 0x100000,
    MSHOW_MODE_ICONS = 0x200000,
    MSHOW_TRACK_INFO = 0x1000000,
};

namespace medt_view_commands {

// The commands in menu order, grouped: note kinds (40201-40205), display toggles, edit commands
// (40261-40268), track commands (40272-40275). Never empty.
const std::vector<MedtViewCommand>& note_kinds();
const std::vector<MedtViewCommand>& display_toggles();
const std::vector<MedtViewCommand>& edit_commands();
const std::vector<MedtViewCommand>& track_commands();
// The add-track sub-menu (40281-40292, 40301-40310), in menu order.
const std::vector<MedtViewCommand>& add_track_commands();

// The entry of `id` in any of the tables; nullptr when none.
const MedtViewCommand* find(int32_t id);
// The label and status text of `id` in CP932; empty for unknown numbers.
CkvString label(int32_t id);
CkvString status_text(int32_t id);

// The display bit a toggle command flips; 0 for other numbers.
uint32_t toggle_bit(int32_t id);
// Runs a display toggle or note-kind command on the music's view settings: a toggle flips its
// bit (and when neither chord degrees nor chord names would remain shown, shows names after
// 40236 and degrees after 40237's opposite), a note-kind command sets m_NoteState 1-5. False
// for other numbers or a null music; the music is not marked modified (view settings only).
bool run(MseqMusic* music, int32_t id);
// Whether the command's entry carries a check mark for this music.
bool checked(const MseqMusic* music, int32_t id);

}  // namespace medt_view_commands
