#include "gui/views/GuiReferPainter.h"

#include "edit/MedtBlockText.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "gui/GuiText.h"
#include "model/block/MseqBlockRefer.h"
#include "model/track/MseqTrackRefer.h"

void GuiReferPainter::paint(GuiPaintContext& c, const MedtRow& row, int32_t first,
                            int32_t last) const {
    namespace text = medt_block_text;
    const auto* rt = row.track->stored()->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER);
    const MseqMusic* music = c.editor.music();
    const QColor col(0x5c, 0x7c, 0xd6);
    for_length_blocks(rt->blocks(), first, last,
                      [&](int32_t a, int32_t len, const MseqBlockRefer& b) {
                          label(c, box(c, row, MedtBand::Main, a, len),
                                gui_text(text::refer_text(music, b, c.show)), col);
                          label(c, box(c, row, MedtBand::Anchor, a, 1), QString(), col.darker(140));
                          label(c, box(c, row, MedtBand::Third, a, len),
                                gui_text(text::refer_shift(b)), col.darker(170));
                          label(c, box(c, row, MedtBand::Fourth, a, len),
                                gui_text(text::refer_mode(b.m_Mode)), col.darker(170));
                      });
}
