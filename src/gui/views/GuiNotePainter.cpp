#include "gui/views/GuiNotePainter.h"

#include <QPainter>
#include <algorithm>

#include "edit/MedtBlockText.h"
#include "edit/MedtNoteNames.h"
#include "edit/MedtTrack.h"
#include "gui/GuiText.h"
#include "model/block/MseqBlockNote.h"
#include "model/track/MseqTrackNote.h"

QColor GuiNotePainter::colour(uint32_t type) {
    switch (type) {
        case MNBT_PURE:
            return QColor(0x9a, 0xa5, 0xb5);
        case MNBT_TONE:
            return QColor(0x4f, 0x9d, 0xe8);
        case MNBT_SDEG:
            return QColor(0x3c, 0xb8, 0xa8);
        case MNBT_CDEG:
            return QColor(0xd9, 0x8c, 0x3a);
        default:
            return QColor(0xb0, 0x6c, 0xd8);
    }
}

void GuiNotePainter::paint(GuiPaintContext& c, const MedtRow& row, int32_t first,
                           int32_t last) const {
    namespace text = medt_block_text;
    const MedtTrack& t = *row.track;
    const auto* nt = t.stored()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
    const MedtNoteNames names(t);
    for_length_blocks(
        nt->blocks(), first, last, [&](int32_t a, int32_t len, const MseqBlockNote& n) {
            const QColor col = colour(n.m_Type);
            label(c, box(c, row, MedtBand::Main, a, len), gui_text(text::note_name(names, n, a)),
                  col);
            label(c, box(c, row, MedtBand::Anchor, a, 1), QString(), col.darker(140));
            label(c, box(c, row, MedtBand::Third, a, len), gui_text(text::note_octave(n)),
                  col.darker(170));
            label(c, box(c, row, MedtBand::Fourth, a, len), gui_text(text::note_accidental(n)),
                  col.darker(170));
            CkvString lag;
            if (text::note_start_lag(n, &lag))
                label(c, box(c, row, MedtBand::StartLag, a, len), gui_text(lag), col.darker(190));
            if (text::note_end_lag(n, &lag))
                label(c, box(c, row, MedtBand::EndLag, a, len), gui_text(lag), col.darker(190));
            const QRect v = box(c, row, MedtBand::Velocity, a, len);
            if (!v.isNull()) {
                const int h = (v.height() * n.m_Velocity) / 127;
                c.painter.fillRect(
                    QRect(v.left(), v.bottom() - h + 1, std::max(2, v.width() - 1), h),
                    col.darker(120));
            }
        });
}
