#pragma once

#include <QColor>
#include <QFontMetrics>
#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>

#include "edit/MedtTimelineLayout.h"
#include "model/track/MseqTrackSequence.h"

class MedtMusic;
class MedtTrack;
class QPainter;

// What a track painter draws with: the painter, the layout, the editor, the view point of the
// content's origin (tick 0 at the top of the first row) and the font's metrics.
struct GuiPaintContext {
    QPainter& painter;
    const MedtTimelineLayout& layout;
    const MedtMusic& editor;
    QPoint origin;
    QFontMetrics font;
    uint32_t show;  // the music's m_ShowState
};

// Draws the blocks of one track kind into its row of the music view, with the texts the
// editor's block texts give (medt_block_text). One painter per kind; `for_track` picks it. The
// user-interface thread.
class GuiTrackPainter {
public:
    virtual ~GuiTrackPainter() = default;
    // Paints the blocks of `row` that meet the units `first` to `last` of its track.
    virtual void paint(GuiPaintContext& c, const MedtRow& row, int32_t first,
                       int32_t last) const = 0;
    // The painter of `track`'s kind; nullptr for a track without blocks of its own.
    static const GuiTrackPainter* for_track(const MedtTrack& track);

protected:
    // The box of `len` units from `pos` in band `kind` of `row`, in view coordinates; a null
    // rectangle when the row has no such band.
    static QRect box(const GuiPaintContext& c, const MedtRow& row, MedtBand kind, int32_t pos,
                     int32_t len);
    // A filled block with its text, cut short with an ellipsis where it does not fit; nothing
    // for a null box.
    static void label(GuiPaintContext& c, const QRect& box, const QString& text,
                      const QColor& fill);

    // Blocks with a length whose range meets [first, last]: the one that starts before `first`
    // and may reach into it, then those starting up to `last`.
    template <class Map, class Fn>
    static void for_length_blocks(const Map& blocks, int32_t first, int32_t last, Fn fn) {
        MseqTrackSequence<typename Map::mapped_type>::for_blocks_meeting(
            blocks, first, last,
            [&](int32_t a, int64_t end, const auto& b) { fn(a, int32_t(end - a), b); });
    }

    // Point blocks hold until the next one: the one in force at `first`, then those up to
    // `last`, each with the position where it ends (the next block's, or its own + 1 for the
    // final one).
    template <class Map, class Fn>
    static void for_point_blocks(const Map& blocks, int32_t first, int32_t last, Fn fn) {
        MseqTrackSequence<typename Map::mapped_type>::for_blocks_meeting(
            blocks, first, last,
            [&](int32_t a, int64_t end, const auto& b) { fn(a, int32_t(end), b); });
    }
};
