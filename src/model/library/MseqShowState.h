#pragma once

#include <cstdint>

// The display bits of a music's view settings (MseqMusic::m_ShowState): what the music view
// shows. The view's commands toggle them; the editor takes them over when it attaches.
enum : uint32_t {
    MSHOW_ANCHOR = 0x1,
    MSHOW_FIXED_2 = 0x2,  // always set; no command of the view shows or hides anything by it
    MSHOW_OPTION = 0x4,
    MSHOW_VELOCITY = 0x10,
    MSHOW_GUIDE = 0x20,
    MSHOW_EFFECT = 0x40,
    MSHOW_FIXED_100 = 0x100,  // always set, likewise
    MSHOW_FIXED_200 = 0x200,  // always set, likewise
    MSHOW_DEGREE = 0x400,
    MSHOW_CHORD = 0x800,
    MSHOW_AUTOSCROLL = 0x10000,
    MSHOW_CHORD_NAMES = 0x100000,
    MSHOW_MODE_ICONS = 0x200000,
    MSHOW_TRACK_INFO = 0x1000000,

    // The bits that are always set.
    MSHOW_ALWAYS = MSHOW_FIXED_2 | MSHOW_FIXED_100 | MSHOW_FIXED_200,
    // What a music that never had a view shows (a stored 0).
    MSHOW_DEFAULT =
        MSHOW_ANCHOR | MSHOW_ALWAYS | MSHOW_GUIDE | MSHOW_EFFECT | MSHOW_DEGREE | MSHOW_TRACK_INFO,
};

// The display bits a view takes over from stored ones: 0 becomes MSHOW_DEFAULT, MSHOW_ALWAYS
// is set, and chord degrees are shown when neither degrees nor chords would be. Any thread.
constexpr uint32_t mseq_show_state_taken(uint32_t stored) {
    uint32_t show = stored == 0 ? uint32_t{MSHOW_DEFAULT} : stored;
    show |= MSHOW_ALWAYS;
    if (!(show & (MSHOW_DEGREE | MSHOW_CHORD))) show |= MSHOW_DEGREE;
    return show;
}
