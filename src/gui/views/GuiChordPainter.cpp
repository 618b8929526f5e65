#include "gui/views/GuiChordPainter.h"

#include "edit/MedtBlockText.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "gui/GuiText.h"
#include "model/block/MseqBlockChord.h"
#include "model/track/MseqTrackChord.h"

void GuiChordPainter::paint(GuiPaintContext& c, const MedtRow& row, int32_t first,
                            int32_t last) const {
    namespace text = medt_block_text;
    const auto* ct = row.track->stored()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
    const MseqMusic* music = c.editor.music();
    const QColor col(0xc0, 0x8a, 0x2e);
    for_point_blocks(ct->blocks(), first, last,
                     [&](int32_t a, int32_t end, const MseqBlockChord& b) {
                         label(c, box(c, row, MedtBand::ChordDegree, a, end - a),
                               gui_text(text::chord_degree(b)), col.darker(130));
                         label(c, box(c, row, MedtBand::ChordName, a, end - a),
                               gui_text(text::chord_name(*ct, a, music)), col);
                     });
}
