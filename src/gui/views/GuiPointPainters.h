#pragma once

#include "gui/views/GuiTrackPainter.h"

// The painters of the tracks whose blocks hold until the next one: labels (lyrics, markers,
// memos) with their text, values (tempo and other values) with their number, and links with the
// linked leaf's name.
class GuiLabelPainter final : public GuiTrackPainter {
public:
    void paint(GuiPaintContext& c, const MedtRow& row, int32_t first, int32_t last) const override;
};

class GuiValuePainter final : public GuiTrackPainter {
public:
    void paint(GuiPaintContext& c, const MedtRow& row, int32_t first, int32_t last) const override;
};

class GuiLinkPainter final : public GuiTrackPainter {
public:
    void paint(GuiPaintContext& c, const MedtRow& row, int32_t first, int32_t last) const override;
};
