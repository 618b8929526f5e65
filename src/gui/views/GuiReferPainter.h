#pragma once

#include "gui/views/GuiTrackPainter.h"

// The blocks of a phrase track: each reference with the phrase's name, marker, shift and mode,
// the anchor mark and the shift and mode bands.
class GuiReferPainter final : public GuiTrackPainter {
public:
    void paint(GuiPaintContext& c, const MedtRow& row, int32_t first, int32_t last) const override;
};
