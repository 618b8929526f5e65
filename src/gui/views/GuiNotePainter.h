#pragma once

#include "gui/views/GuiTrackPainter.h"

// The blocks of a note track: each note in its type's colour with its name, the anchor mark, the
// octave and accidental bands, the note's own lags and its velocity bar.
class GuiNotePainter final : public GuiTrackPainter {
public:
    void paint(GuiPaintContext& c, const MedtRow& row, int32_t first, int32_t last) const override;
    // The colour of notes of block type `type` (MNBT_*), which the lanes share.
    static QColor colour(uint32_t type);
};
