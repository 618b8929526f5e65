#include "gui/views/GuiLanePainter.h"

#include <QPainter>

#include "edit/MedtLaneSet.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "gui/GuiText.h"
#include "gui/views/GuiNotePainter.h"

namespace {

const QColor kLaneBack(0x17, 0x1a, 0x1f);
const QColor kLaneMissing(0x2a, 0x1a, 0x1a);  // playback has no chord map for the track
const QColor kBlackKey(0x12, 0x14, 0x18);
const QColor kCLine(0x4a, 0x52, 0x5e);
const QColor kCLabel(0x9a, 0xa3, 0xb0);
const QColor kChordTone(0xf2, 0xf2, 0xf2);

bool black_key(int32_t key) {
    switch (key % 12) {
        case 1:
        case 3:
        case 6:
        case 8:
        case 10:
            return true;
        default:
            return false;
    }
}

}  // namespace

void GuiLanePainter::paint(GuiPaintContext& c, const MedtRow& row, int32_t x_from, int32_t x_to) {
    const MedtRow::Band* band = row.band(MedtBand::Lane);
    if (!band) return;
    QPainter& p = c.painter;
    const MedtLaneSet& lanes = row.track->editor()->lanes;
    const MplyResolvedKeys* keys = lanes.keys(row.track->id());
    const MedtLaneAxis axis = MedtTimelineLayout::lane_axis(row);
    const int32_t top = MedtTimelineLayout::lane_top(row);
    const int left = c.origin.x() + x_from;
    const int width = x_to - x_from;
    const bool missing = keys && keys->map_missing;
    p.fillRect(left, c.origin.y() + row.top + band->top, width, band->height,
               missing ? kLaneMissing : kLaneBack);
    for (int32_t k = axis.low; k < axis.high; ++k) {
        if (black_key(k))
            p.fillRect(left, c.origin.y() + axis.key_top(top, k), width, MedtLaneAxis::kKeyHeight,
                       kBlackKey);
    }
    // Each C: a line under its key and its name at the left of the visible part.
    p.save();
    QFont small = p.font();
    small.setPixelSize(9);
    p.setFont(small);
    for (int32_t k : axis.c_keys()) {
        const int y = c.origin.y() + axis.key_top(top, k) + MedtLaneAxis::kKeyHeight;
        p.setPen(kCLine);
        p.drawLine(left, y - 1, left + width, y - 1);
        p.setPen(kCLabel);
        p.drawText(QRect(left + 2, y - 11, 40, 10), Qt::AlignLeft | Qt::AlignBottom,
                   gui_text(MedtLaneSet::key_name(k)));
    }
    for (const MedtLaneBar& bar : c.layout.lane_bars(row, x_from, x_to)) {
        const QRect box(c.origin.x() + bar.box.left, c.origin.y() + bar.box.top,
                        bar.box.right - bar.box.left, bar.box.bottom - bar.box.top);
        QColor fill = GuiNotePainter::colour(bar.block_type);
        if (!bar.chord_tone) fill.setAlpha(150);
        p.fillRect(box.width() > 2 ? box.adjusted(0, 0, -1, 0) : box, fill);
        if (bar.chord_tone) {
            p.setPen(kChordTone);
            p.drawRect(box.adjusted(0, -1, -1, 0));
        }
    }
    p.restore();
}
