#include "gui/views/GuiPointPainters.h"

#include "edit/MedtBlockText.h"
#include "edit/MedtTrack.h"
#include "gui/GuiText.h"
#include "model/block/MseqBlockLabel.h"
#include "model/block/MseqBlockValue.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackValue.h"

void GuiLabelPainter::paint(GuiPaintContext& c, const MedtRow& row, int32_t first,
                            int32_t last) const {
    const auto* lt = row.track->stored()->cast_to<MseqTrackLabel>(MTYPE_TRACK_LABEL);
    for_point_blocks(lt->blocks(), first, last,
                     [&](int32_t a, int32_t end, const MseqBlockLabel& b) {
                         label(c, box(c, row, MedtBand::Main, a, end - a),
                               gui_text(medt_block_text::label_text(b)), QColor(0x6a, 0x8e, 0x5a));
                     });
}

void GuiValuePainter::paint(GuiPaintContext& c, const MedtRow& row, int32_t first,
                            int32_t last) const {
    const auto* vt = row.track->stored()->cast_to<MseqTrackValue>(MTYPE_TRACK_VALUE);
    for_point_blocks(vt->blocks(), first, last,
                     [&](int32_t a, int32_t end, const MseqBlockValue& b) {
                         label(c, box(c, row, MedtBand::Main, a, end - a),
                               gui_text(medt_block_text::value_text(b)), QColor(0x8a, 0x6a, 0xa8));
                     });
}

void GuiLinkPainter::paint(GuiPaintContext& c, const MedtRow& row, int32_t first,
                           int32_t last) const {
    const MedtTrack& t = *row.track;
    const auto* kt = t.stored()->cast_to<MseqTrackLink>(MTYPE_TRACK_LINK);
    for_point_blocks(kt->blocks(), first, last, [&](int32_t a, int32_t end, const MseqBlockLink&) {
        label(c, box(c, row, MedtBand::Main, a, end - a),
              gui_text(medt_block_text::link_text(t, a)), QColor(0x4a, 0x8a, 0x8a));
    });
}
