#include "gui/views/GuiTrackPainter.h"

#include <QPainter>

#include "edit/MedtTrack.h"
#include "gui/views/GuiChordPainter.h"
#include "gui/views/GuiNotePainter.h"
#include "gui/views/GuiPointPainters.h"
#include "gui/views/GuiReferPainter.h"
#include "model/track/MseqTrack.h"

const GuiTrackPainter* GuiTrackPainter::for_track(const MedtTrack& track) {
    static const GuiNotePainter note;
    static const GuiReferPainter refer;
    static const GuiChordPainter chord;
    static const GuiLabelPainter labels;
    static const GuiValuePainter values;
    static const GuiLinkPainter links;
    MseqTrack* s = track.stored();
    if (!s) return nullptr;
    if (s->cast(MTYPE_TRACK_NOTE)) return &note;
    if (s->cast(MTYPE_TRACK_REFER)) return &refer;
    if (s->cast(MTYPE_TRACK_CHORD)) return &chord;
    if (s->cast(MTYPE_TRACK_LABEL)) return &labels;
    if (s->cast(MTYPE_TRACK_VALUE)) return &values;
    if (s->cast(MTYPE_TRACK_LINK)) return &links;
    return nullptr;
}

QRect GuiTrackPainter::box(const GuiPaintContext& c, const MedtRow& row, MedtBand kind, int32_t pos,
                           int32_t len) {
    if (!row.band(kind)) return QRect();
    const MedtRect r = c.layout.block_rect(row, kind, pos, len);
    return QRect(c.origin.x() + r.left, c.origin.y() + r.top, r.right - r.left, r.bottom - r.top);
}

void GuiTrackPainter::label(GuiPaintContext& c, const QRect& rc, const QString& text,
                            const QColor& fill) {
    if (rc.isNull()) return;
    // A gap of one pixel parts neighbours, except on boxes too narrow to lose it.
    c.painter.fillRect(rc.width() > 2 ? rc.adjusted(0, 0, -1, 0) : rc, fill);
    if (rc.width() > 10) {
        c.painter.setPen(Qt::white);
        c.painter.drawText(rc.adjusted(3, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
                           c.font.elidedText(text, Qt::ElideRight, rc.width() - 4));
    }
}
