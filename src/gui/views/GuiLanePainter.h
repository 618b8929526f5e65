#pragma once

#include <cstdint>

#include "gui/views/GuiTrackPainter.h"

// The resolved-pitch lane under a note or phrase track's row: a piano roll of the keys playback
// sounds there (the editor's lanes, laid out by MedtTimelineLayout::lane_bars), black keys
// shaded, a line and a label at every C, one bar per note in its block type's colour, the tones
// of the chord in effect outlined. A lane whose track plays without its chord map is tinted.
// The user-interface thread.
class GuiLanePainter {
public:
    // Paints `row`'s lane over the content pixels [x_from, x_to); nothing without a lane band.
    static void paint(GuiPaintContext& c, const MedtRow& row, int32_t x_from, int32_t x_to);
};
