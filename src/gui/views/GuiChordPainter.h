#pragma once

#include "gui/views/GuiTrackPainter.h"

// The blocks of a chord track: each chord until the next one, its degree in the degree row and
// its name in the chord row.
class GuiChordPainter final : public GuiTrackPainter {
public:
    void paint(GuiPaintContext& c, const MedtRow& row, int32_t first, int32_t last) const override;
};
