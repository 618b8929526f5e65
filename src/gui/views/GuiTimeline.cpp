#include "gui/views/GuiTimeline.h"

#include <QApplication>
#include <QDrag>
#include <QInputDialog>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>

#include "edit/MedtMetrics.h"
#include "edit/MedtMusic.h"
#include "edit/MedtNoteNames.h"
#include "edit/MedtViewCommands.h"
#include "edit/map/MedtChordEditor.h"
#include "edit/map/MedtChordMapView.h"
#include "edit/map/MedtDegreePicker.h"
#include "edit/press/MedtTrackPress.h"
#include "gui/GuiText.h"
#include "gui/views/GuiChordEditor.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackValue.h"

namespace {

constexpr int kBandSmall = 12;
constexpr int kBandVelocity = 28;
constexpr int kVelocityEdge = 4;  // the 127 and 0 strips at the top and bottom of the band

const QColor kBack(0x1e, 0x22, 0x28);
const QColor kBackAlt(0x23, 0x28, 0x2f);
const QColor kNameBack(0x2b, 0x30, 0x38);
const QColor kText(0xe6, 0xe9, 0xee);
const QColor kDim(0x8a, 0x93, 0xa0);
const QColor kBarLine(0x5a, 0x63, 0x70);
const QColor kBeatLine(0x33, 0x39, 0x42);
const QColor kPhraseLine(0xe0, 0x4a, 0x4a);
const QColor kCursor(0xff, 0xc8, 0x3d);
const QColor kPlay(0x4a, 0xd0, 0x7a);

QColor note_colour(uint32_t type) {
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

QString mode_text(uint32_t mode) {
    switch (mode) {
        case MRBM_BLOCK_KEEP:
            return gui_utf8("保持");
        case MRBM_BLOCK_CUT:
            return gui_utf8("ブロック切");
        case MRBM_SOUND_CUT:
            return gui_utf8("音切");
        case MRBM_STRETCH:
            return gui_utf8("伸縮");
        default:
            return QString();
    }
}

MedtPressArea area_of(GuiBand band) {
    switch (band) {
        case GuiBand::Anchor:
            return MedtPressArea::Anchor;
        case GuiBand::Third:
            return MedtPressArea::Third;
        case GuiBand::Fourth:
            return MedtPressArea::Fourth;
        case GuiBand::StartLag:
            return MedtPressArea::StartLag;
        case GuiBand::EndLag:
            return MedtPressArea::EndLag;
        case GuiBand::Velocity:
            return MedtPressArea::Velocity;
        default:
            return MedtPressArea::Pitch;
    }
}

const MseqTrackNote* note_track(const MedtTrack* t) {
    MseqTrack* s = t ? t->stored() : nullptr;
    return s ? s->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE) : nullptr;
}
const MseqTrackRefer* refer_track(const MedtTrack* t) {
    MseqTrack* s = t ? t->stored() : nullptr;
    return s ? s->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER) : nullptr;
}
const MseqTrackChord* chord_track(const MedtTrack* t) {
    MseqTrack* s = t ? t->stored() : nullptr;
    return s ? s->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD) : nullptr;
}

// Blocks with a length whose range meets [first, last]: the one that starts before `first` and
// may reach into it, then those starting up to `last`.
template <class Map, class Fn>
void for_length_blocks(const Map& blocks, int32_t first, int32_t last, Fn fn) {
    auto it = blocks.lower_bound(first);
    if (it != blocks.begin()) {
        auto prev = std::prev(it);
        if (int32_t(prev->first) + prev->second.m_Length > first) it = prev;
    }
    for (; it != blocks.end() && int32_t(it->first) <= last; ++it)
        fn(int32_t(it->first), it->second.m_Length, it->second);
}

// Point blocks hold until the next one: the one in force at `first`, then those up to `last`,
// each with the position where it ends (the next block's, or `last` + 1 for the final one).
template <class Map, class Fn>
void for_point_blocks(const Map& blocks, int32_t first, int32_t last, Fn fn) {
    auto it = blocks.upper_bound(first);
    if (it != blocks.begin()) --it;
    for (; it != blocks.end() && int32_t(it->first) <= last; ++it) {
        auto next = std::next(it);
        const int32_t end = next == blocks.end() ? int32_t(it->first) + 1 : int32_t(next->first);
        fn(int32_t(it->first), end, it->second);
    }
}

}  // namespace

GuiTimeline::GuiTimeline(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("kv_timeline"));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(false);
    viewport()->setAcceptDrops(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    horizontalScrollBar()->setSingleStep(MedtMetrics::shared().beat_width * 4);
    verticalScrollBar()->setSingleStep(MedtMetrics::shared().row_height);
}

GuiTimeline::~GuiTimeline() = default;

void GuiTimeline::set_editor(MedtMusicInvoker* editor) {
    finish_rename(false);
    editor_ = editor;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    relayout();
}

void GuiTimeline::relayout() {
    rows_.clear();
    width_px_ = 0;
    if (!editor_ || !editor_->root()) {
        update_scrollbars();
        viewport()->update();
        return;
    }
    const MedtMetrics& m = editor_->metrics();
    const uint32_t show = editor_->music() ? uint32_t(editor_->music()->m_ShowState) : 0;
    const double px_per_tick =
        double(editor_->display_beats) * m.beat_width / double(MseqTrack::kTicksPerBar);
    int top = 0;
    for (MedtTrack* t = editor_->root(); t; t = t->next_in(editor_->root())) {
        const int base = t->row_height();
        if (base <= 0) continue;
        GuiRow row;
        row.track = t;
        row.top = top;
        for (MedtTrack* p = t->parent(); p; p = p->parent())
            ++row.depth;
        int y = 0;
        const auto band = [&](GuiBand kind, int h) {
            row.bands.push_back({kind, y, h});
            y += h;
        };
        const bool note = note_track(t) != nullptr;
        const bool refer = refer_track(t) != nullptr;
        if (t->shown() && (note || refer)) {
            if (show & MSHOW_ANCHOR) band(GuiBand::Anchor, kBandSmall);
            band(GuiBand::Main, base);
            if (show & MSHOW_OPTION) {
                band(GuiBand::Third, kBandSmall);
                band(GuiBand::Fourth, kBandSmall);
            }
            if (note && (show & MSHOW_EFFECT)) {
                band(GuiBand::StartLag, kBandSmall);
                band(GuiBand::EndLag, kBandSmall);
            }
            if (note && (show & MSHOW_VELOCITY)) band(GuiBand::Velocity, kBandVelocity);
        } else if (t->shown() && chord_track(t)) {
            if (show & MSHOW_DEGREE) band(GuiBand::ChordDegree, base);
            if (show & MSHOW_CHORD) band(GuiBand::ChordName, base);
        } else {
            band(GuiBand::Main, base);
        }
        row.height = y;
        top += y;
        if (MseqTrack* s = t->stored())
            width_px_ = std::max<int>(width_px_, int(double(s->length_ticks()) * px_per_tick));
        rows_.push_back(std::move(row));
    }
    update_scrollbars();
    viewport()->update();
}

int GuiTimeline::content_width() const {
    if (!editor_) return 0;
    // Eight bars of room after the longest track, for writing on.
    const int bar = editor_->display_beats * editor_->metrics().beat_width;
    const int blank = editor_->music() ? editor_->music()->m_BlankBar * bar : 0;
    return std::max(width_px_, blank) + 8 * bar;
}

int GuiTimeline::content_height() const {
    return rows_.empty() ? 0 : rows_.back().top + rows_.back().height;
}

void GuiTimeline::update_scrollbars() {
    const int w = std::max(0, viewport()->width() - kNameWidth);
    const int h = std::max(0, viewport()->height() - kRulerHeight);
    horizontalScrollBar()->setPageStep(w);
    horizontalScrollBar()->setRange(0, std::max(0, content_width() - w));
    verticalScrollBar()->setPageStep(h);
    verticalScrollBar()->setRange(0, std::max(0, content_height() - h));
}

void GuiTimeline::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    update_scrollbars();
}

void GuiTimeline::scrollContentsBy(int, int) {
    viewport()->update();
}

const GuiRow* GuiTimeline::row_of(const MedtTrack* track) const {
    for (const GuiRow& r : rows_) {
        if (r.track == track) return &r;
    }
    return nullptr;
}

QPoint GuiTimeline::point_at(const MedtTrack* track, int32_t pos, GuiBand band) const {
    const GuiRow* r = row_of(track);
    if (!r || track->unit_width() <= 0) return QPoint(-1, -1);
    // Without such a band, the middle of the row's main band.
    int y = r->top + r->height / 2;
    for (const GuiRow::Band& b : r->bands) {
        if (b.kind == GuiBand::Main) y = r->top + b.top + b.height / 2;
    }
    for (const GuiRow::Band& b : r->bands) {
        if (b.kind == band) y = r->top + b.top + b.height / 2;
    }
    const int uw = track->unit_width();
    const int x = kNameWidth + pos * uw + uw / 2 - horizontalScrollBar()->value();
    return QPoint(x, kRulerHeight + y - verticalScrollBar()->value());
}

void GuiTimeline::scroll_to_bar(int bar) {
    if (!editor_ || !editor_->music()) return;
    const int bw = editor_->metrics().beat_width;
    const int blank_px = editor_->music()->m_BlankBar * editor_->display_beats * bw;
    horizontalScrollBar()->setValue(blank_px + (bar - 1) * editor_->bar_grid * bw);
}

GuiTimeline::Hit GuiTimeline::hit(const QPoint& p) const {
    Hit h;
    const int y = p.y() - kRulerHeight + verticalScrollBar()->value();
    if (p.y() < kRulerHeight || y < 0) return h;
    auto it = std::upper_bound(rows_.begin(), rows_.end(), y,
                               [](int v, const GuiRow& r) { return v < r.top; });
    if (it == rows_.begin()) return h;
    --it;
    if (y >= it->top + it->height) return h;
    h.row = &*it;
    for (const GuiRow::Band& b : it->bands) {
        if (y >= it->top + b.top && y < it->top + b.top + b.height) {
            h.band = &b;
            h.height = 1.0 - double(y - it->top - b.top) / std::max(1, b.height - 1);
        }
    }
    const int uw = it->track->unit_width();
    if (p.x() >= kNameWidth && uw > 0)
        h.pos = (p.x() - kNameWidth + horizontalScrollBar()->value()) / uw;
    return h;
}

// ---- painting ----------------------------------------------------------------------------------

void GuiTimeline::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const int W = viewport()->width();
    const int H = viewport()->height();
    p.fillRect(0, 0, W, H, kBack);
    if (!editor_ || !editor_->music()) return;
    const MedtMetrics& m = editor_->metrics();
    MseqMusic* music = editor_->music();
    const uint32_t show = uint32_t(music->m_ShowState);
    const int sx = horizontalScrollBar()->value();
    const int sy = verticalScrollBar()->value();
    const int bw = m.beat_width;
    const int bar_px = std::max(1, editor_->bar_grid * bw);
    const int blank_px = music->m_BlankBar * editor_->display_beats * bw;
    const QRect timeline(kNameWidth, kRulerHeight, std::max(0, W - kNameWidth), H - kRulerHeight);
    const QFontMetrics fm(font());

    // Rows: backgrounds, then the grid over them, then the blocks.
    auto first_row = std::upper_bound(rows_.begin(), rows_.end(), sy,
                                      [](int v, const GuiRow& r) { return v < r.top; });
    if (first_row != rows_.begin()) --first_row;
    std::vector<const GuiRow*> visible;
    for (auto it = first_row; it != rows_.end() && it->top - sy < H - kRulerHeight; ++it)
        visible.push_back(&*it);
    for (size_t i = 0; i < visible.size(); ++i) {
        const GuiRow& r = *visible[i];
        const int y = kRulerHeight + r.top - sy;
        p.fillRect(kNameWidth, y, W - kNameWidth, r.height, (r.track->id() & 1) ? kBackAlt : kBack);
    }
    // Beat and bar lines, drawn only across the visible width.
    p.setClipRect(timeline);
    const int first_beat = sx / bw;
    for (int b = first_beat; b * bw - sx < timeline.width(); ++b) {
        const int x = kNameWidth + b * bw - sx;
        const bool bar = ((b * bw - blank_px) % bar_px) == 0;
        p.setPen(bar ? kBarLine : kBeatLine);
        p.drawLine(x, kRulerHeight, x, H);
    }
    if (blank_px >= sx && blank_px - sx < timeline.width()) {
        p.setPen(QPen(kPhraseLine, 2));
        p.drawLine(kNameWidth + blank_px - sx, kRulerHeight, kNameWidth + blank_px - sx, H);
    }
    for (const GuiRow* r : visible) {
        const int y = kRulerHeight + r->top - sy;
        p.setClipRect(timeline.intersected(QRect(kNameWidth, y, W - kNameWidth, r->height)));
        MedtTrack* t = r->track;
        p.setPen(kBeatLine);
        p.drawLine(kNameWidth, y + r->height - 1, W, y + r->height - 1);
        if (!t->shown()) {
            p.setPen(kDim);
            p.drawText(QRect(kNameWidth + 6, y, W, r->height), Qt::AlignVCenter,
                       gui_text(t->mismatch_text()));
            continue;
        }
        const int uw = t->unit_width();
        const int32_t first = sx / uw;
        const int32_t last = (sx + timeline.width()) / uw + 1;
        const auto band_rect = [&](GuiBand kind, int32_t a, int32_t len) -> QRect {
            for (const GuiRow::Band& b : r->bands) {
                if (b.kind == kind)
                    return QRect(kNameWidth + a * uw - sx, y + b.top + 1, len * uw, b.height - 2);
            }
            return QRect();
        };
        const auto label = [&](const QRect& rc, const QString& text, const QColor& fill) {
            if (rc.isNull()) return;
            p.fillRect(rc.adjusted(0, 0, -1, 0), fill);
            if (rc.width() > 10) {
                p.setPen(Qt::white);
                p.drawText(rc.adjusted(3, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
                           fm.elidedText(text, Qt::ElideRight, rc.width() - 4));
            }
        };
        if (const MseqTrackNote* nt = note_track(t)) {
            const MedtNoteNames names(*t);
            for_length_blocks(
                nt->blocks(), first, last, [&](int32_t a, int32_t len, const MseqBlockNote& n) {
                    const QColor c = note_colour(n.m_Type);
                    label(band_rect(GuiBand::Main, a, len), gui_text(names.name_at(n, a)), c);
                    label(band_rect(GuiBand::Anchor, a, 1), QString(), c.darker(140));
                    label(band_rect(GuiBand::Third, a, len), QString::number(n.m_Octave),
                          c.darker(170));
                    label(band_rect(GuiBand::Fourth, a, len),
                          n.m_Semi ? QString::asprintf("%+d", n.m_Semi) : QString(), c.darker(170));
                    if (n.m_Flags & MNBF_OWN_STIME)
                        label(band_rect(GuiBand::StartLag, a, len), QString::number(n.m_STime),
                              c.darker(190));
                    if (n.m_Flags & MNBF_OWN_ETIME)
                        label(band_rect(GuiBand::EndLag, a, len), QString::number(n.m_ETime),
                              c.darker(190));
                    QRect v = band_rect(GuiBand::Velocity, a, len);
                    if (!v.isNull()) {
                        const int h = (v.height() * n.m_Velocity) / 127;
                        p.fillRect(
                            QRect(v.left(), v.bottom() - h + 1, std::max(2, v.width() - 1), h),
                            c.darker(120));
                    }
                });
        } else if (const MseqTrackRefer* rt = refer_track(t)) {
            for_length_blocks(
                rt->blocks(), first, last, [&](int32_t a, int32_t len, const MseqBlockRefer& b) {
                    const MseqObject* phrase = b.m_PhraseID ? music->find(b.m_PhraseID) : nullptr;
                    QString text = phrase ? gui_text(phrase->name)
                                          : QStringLiteral("?%1").arg(b.m_PhraseID, 0, 16);
                    if (!b.m_StartMarker.empty())
                        text += QLatin1Char('@') + gui_text(b.m_StartMarker);
                    if (b.m_Rotation) text += QString::asprintf(" %+d", b.m_Rotation);
                    if (show & MSHOW_MODE_ICONS)
                        text += QStringLiteral(" [") + mode_text(b.m_Mode) + QLatin1Char(']');
                    const QColor c(0x5c, 0x7c, 0xd6);
                    label(band_rect(GuiBand::Main, a, len), text, c);
                    label(band_rect(GuiBand::Anchor, a, 1), QString(), c.darker(140));
                    label(band_rect(GuiBand::Third, a, len), QString::asprintf("%+d", b.m_Rotation),
                          c.darker(170));
                    label(band_rect(GuiBand::Fourth, a, len), mode_text(b.m_Mode), c.darker(170));
                });
        } else if (const MseqTrackChord* ct = chord_track(t)) {
            for_point_blocks(
                ct->blocks(), first, last, [&](int32_t a, int32_t end, const MseqBlockChord& b) {
                    const bool own = (b.m_Flags & MCHORD_NO_KEY) != 0;
                    const QColor c(0xc0, 0x8a, 0x2e);
                    label(band_rect(GuiBand::ChordDegree, a, end - a),
                          own ? QStringLiteral("*")
                              : gui_text(MedtDegreePicker::degree_label(b.desc_pitch())),
                          c.darker(130));
                    const QString name = gui_text(MedtChordPress::name_at(*ct, a, music));
                    label(band_rect(GuiBand::ChordName, a, end - a), name, c);
                });
        } else if (MseqTrack* s = t->stored()) {
            if (auto* lt = s->cast_to<MseqTrackLabel>(MTYPE_TRACK_LABEL)) {
                for_point_blocks(lt->blocks(), first, last,
                                 [&](int32_t a, int32_t end, const MseqBlockLabel& b) {
                                     label(band_rect(GuiBand::Main, a, end - a),
                                           gui_text(b.m_Label), QColor(0x6a, 0x8e, 0x5a));
                                 });
            } else if (auto* vt = s->cast_to<MseqTrackValue>(MTYPE_TRACK_VALUE)) {
                for_point_blocks(vt->blocks(), first, last,
                                 [&](int32_t a, int32_t end, const MseqBlockValue& b) {
                                     label(band_rect(GuiBand::Main, a, end - a),
                                           QString::number(b.m_Value), QColor(0x8a, 0x6a, 0xa8));
                                 });
            } else if (auto* kt = s->cast_to<MseqTrackLink>(MTYPE_TRACK_LINK)) {
                for_point_blocks(kt->blocks(), first, last,
                                 [&](int32_t a, int32_t end, const MseqBlockLink&) {
                                     label(band_rect(GuiBand::Main, a, end - a),
                                           gui_text(t->item_text(a)), QColor(0x4a, 0x8a, 0x8a));
                                 });
            }
        }
        // Cursor and selection on the current track.
        if (t == editor_->current()) {
            const int32_t c0 = std::min(editor_->cursor(), editor_->selection_end());
            const int32_t c1 = std::max(editor_->cursor(), editor_->selection_end());
            const int x0 = kNameWidth + c0 * uw - sx;
            if (c0 == c1) {
                p.setPen(QPen(kCursor, 2));
                p.setBrush(Qt::NoBrush);
                p.drawRect(QRect(x0, y + 1, uw, r->height - 3));
            } else {
                QColor sel = kCursor;
                sel.setAlpha(70);
                p.fillRect(QRect(x0, y, (c1 - c0) * uw, r->height), sel);
                p.setPen(QPen(kCursor, 1));
                p.drawRect(QRect(x0, y, (c1 - c0) * uw, r->height - 1));
            }
        }
    }
    // The play cursor.
    p.setClipRect(timeline);
    const int play_x = kNameWidth + editor_->play_cursor - sx;
    if (play_x >= kNameWidth && play_x < W) {
        p.setPen(QPen(kPlay, 2));
        p.drawLine(play_x, kRulerHeight, play_x, H);
    }

    // The ruler with bar numbers (bar 1 at the first phrase line).
    p.setClipping(false);
    p.fillRect(0, 0, W, kRulerHeight, kNameBack);
    p.setClipRect(QRect(kNameWidth, 0, W - kNameWidth, kRulerHeight));
    const int first_bar =
        (sx - blank_px) >= 0 ? (sx - blank_px) / bar_px : -((blank_px - sx) / bar_px) - 1;
    for (int b = first_bar; blank_px + b * bar_px - sx < W; ++b) {
        const int x = kNameWidth + blank_px + b * bar_px - sx;
        p.setPen(kBarLine);
        p.drawLine(x, kRulerHeight - 6, x, kRulerHeight);
        p.setPen(b >= 0 ? kText : kDim);
        p.drawText(QRect(x + 3, 0, bar_px - 4, kRulerHeight), Qt::AlignVCenter,
                   QString::number(b + 1));
    }
    if (play_x >= kNameWidth && play_x < W) {
        p.setBrush(kPlay);
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygon({QPoint(play_x - 5, 0), QPoint(play_x + 5, 0), QPoint(play_x, 8)}));
    }

    // The track list column.
    p.setClipRect(QRect(0, kRulerHeight, kNameWidth, H - kRulerHeight));
    p.fillRect(0, kRulerHeight, kNameWidth, H - kRulerHeight, kNameBack);
    for (const GuiRow* r : visible) {
        const int y = kRulerHeight + r->top - sy;
        const bool current = r->track == editor_->current();
        if (current) p.fillRect(0, y, kNameWidth, r->height, QColor(0x3d, 0x4a, 0x5e));
        p.setPen(kBeatLine);
        p.drawLine(0, y + r->height - 1, kNameWidth, y + r->height - 1);
        const int indent = 6 + r->depth * 12;
        p.setPen(r->track->shown() ? kText : kDim);
        // The editor's display name: note tracks carry their channel while the view shows
        // track information.
        const QRect name_rect(indent, y, kNameWidth - indent - 4,
                              std::min(r->height, m.row_height + 12));
        p.drawText(
            name_rect, Qt::AlignVCenter | Qt::AlignLeft,
            fm.elidedText(gui_text(r->track->display_name()), Qt::ElideRight, name_rect.width()));
        // Band captions for the edit areas.
        p.setPen(kDim);
        for (const GuiRow::Band& b : r->bands) {
            const char* caption = nullptr;
            switch (b.kind) {
                case GuiBand::Anchor:
                    caption = "アンカー";
                    break;
                case GuiBand::Third:
                    caption = note_track(r->track) ? "オクターブ" : "シフト";
                    break;
                case GuiBand::Fourth:
                    caption = note_track(r->track) ? "臨時記号" : "モード";
                    break;
                case GuiBand::StartLag:
                    caption = "開始ラグ";
                    break;
                case GuiBand::EndLag:
                    caption = "終了ラグ";
                    break;
                case GuiBand::Velocity:
                    caption = "ベロシティ";
                    break;
                default:
                    break;
            }
            if (!caption) continue;
            QFont small = font();
            small.setPointSizeF(font().pointSizeF() * 0.75);
            p.setFont(small);
            p.drawText(QRect(0, y + b.top, kNameWidth - 6, b.height),
                       Qt::AlignVCenter | Qt::AlignRight, gui_utf8(caption));
            p.setFont(font());
        }
    }
    p.setClipping(false);
    p.setPen(kBarLine);
    p.drawLine(kNameWidth - 1, 0, kNameWidth - 1, H);
}

// ---- keys --------------------------------------------------------------------------------------

void GuiTimeline::keyPressEvent(QKeyEvent* event) {
    if (!editor_) return QAbstractScrollArea::keyPressEvent(event);
    if (event->key() == Qt::Key_F2 && event->modifiers() == Qt::NoModifier) {
        if (editor_->current()) start_rename(editor_->current());
        return;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    int action = 0;
    switch (event->key()) {
        case Qt::Key_Up:
            action = MACT_TRACK_PREV;
            break;
        case Qt::Key_Down:
            action = MACT_TRACK_NEXT;
            break;
        case Qt::Key_Left:
            action = shift ? MACT_EXTEND_LEFT : MACT_LEFT;
            break;
        case Qt::Key_Right:
            action = shift ? MACT_EXTEND_RIGHT : MACT_RIGHT;
            break;
        case Qt::Key_PageUp:
            action = shift ? MACT_EXTEND_STEP_LEFT : MACT_STEP_LEFT;
            break;
        case Qt::Key_PageDown:
            action = shift ? MACT_EXTEND_STEP_RIGHT : MACT_STEP_RIGHT;
            break;
        case Qt::Key_Home:
            action = shift ? MACT_EXTEND_HOME : MACT_HOME;
            break;
        case Qt::Key_End:
            action = shift ? MACT_EXTEND_END : MACT_END;
            break;
        case Qt::Key_A:
            action = ctrl ? MACT_SELECT_ALL : 0;
            break;
        default:
            break;
    }
    if (!action && run_command_key(event)) return;
    if (!action) return QAbstractScrollArea::keyPressEvent(event);
    editor_->action(action);
    scroll_to_cursor();
    viewport()->update();
    emit cursor_moved();
}

bool GuiTimeline::run_command_key(QKeyEvent* event) {
    // The keys of the view's commands (edit actions, undo, note kinds, display toggles) are the
    // ones their table entries name.
    const QByteArray key =
        QKeySequence(event->keyCombination()).toString(QKeySequence::PortableText).toUtf8();
    const MedtViewCommand* c = medt_view_commands::find_key(key.constData());
    if (!c) return false;
    if (c->id < MVC_CUT || c->id > MVC_UNDO) {
        if (!view_command) return false;
        view_command(c->id);
        return true;
    }
    if (c->id == MVC_UNDO)
        editor_->undo();
    else
        editor_->command(c->id);
    scroll_to_cursor();
    viewport()->update();
    emit cursor_moved();
    return true;
}

void GuiTimeline::scroll_to_cursor() {
    if (!editor_ || !editor_->current()) return;
    const GuiRow* r = row_of(editor_->current());
    const int uw = editor_->current()->unit_width();
    if (!r) return;
    const int w = viewport()->width() - kNameWidth;
    const int h = viewport()->height() - kRulerHeight;
    const int x = editor_->selection_end() * uw;
    QScrollBar* hb = horizontalScrollBar();
    if (x < hb->value()) hb->setValue(std::max(0, x - w / 4));
    if (x + uw > hb->value() + w) {
        if (x + uw > hb->maximum() + w) {
            hb->setRange(0, x + uw - w + w / 4);
        }
        hb->setValue(x + uw - w + w / 4);
    }
    QScrollBar* vb = verticalScrollBar();
    if (r->top < vb->value()) vb->setValue(r->top);
    if (r->top + r->height > vb->value() + h) vb->setValue(r->top + r->height - h);
}

void GuiTimeline::follow_play_cursor() {
    if (!editor_) return;
    const int w = viewport()->width() - kNameWidth;
    QScrollBar* hb = horizontalScrollBar();
    const int x = editor_->play_cursor;
    if (x < hb->value() || x > hb->value() + w - w / 8) hb->setValue(std::max(0, x - w / 8));
    viewport()->update();
}

// ---- mouse -------------------------------------------------------------------------------------

bool GuiTimeline::press(const Hit& h, bool right, bool move) {
    MedtTrack* t = h.row->track;
    MedtPressContext ctx;
    ctx.selected_leaf = selected_leaf ? selected_leaf() : nullptr;
    ctx.port = this;
    if (h.band->kind == GuiBand::ChordDegree || h.band->kind == GuiBand::ChordName) {
        if (move) return false;
        const auto row = h.band->kind == GuiBand::ChordDegree ? MedtChordRowKind::Degree
                                                              : MedtChordRowKind::Chord;
        return MedtTrackPress::chord_press(*editor_, *t, row, h.pos, right, ctx);
    }
    if (!note_track(t) && !refer_track(t)) return false;
    MedtPress pr;
    pr.area = area_of(h.band->kind);
    pr.pos = h.pos;
    pr.right = right;
    pr.move = move;
    pr.height = h.height;
    if (h.band->kind == GuiBand::Velocity) {
        const int inner = int((1.0 - h.height) * (h.band->height - 1));
        if (inner < kVelocityEdge) pr.area = MedtPressArea::VelocityMax;
        if (inner >= h.band->height - kVelocityEdge) pr.area = MedtPressArea::VelocityMin;
    }
    if (move && pr.area != MedtPressArea::Anchor && pr.area != MedtPressArea::Velocity)
        return false;
    return MedtTrackPress::press(*editor_, *t, pr, ctx);
}

void GuiTimeline::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (!editor_) return;
    const Hit h = hit(event->position().toPoint());
    if (!h.row) return;
    const bool right = event->button() == Qt::RightButton;
    MedtTrack* t = h.row->track;
    if (h.pos < 0) {
        // The track list column: the track is dragged from here, or selected when the button
        // comes up without a drag. Selecting only then keeps the property list on the current
        // track while another track is dragged onto one of its link rows.
        drag_from_ = event->position().toPoint();
        drag_track_ = t->id();
        return;
    }
    if (!t->shown() || !h.band) return;
    if (!right) {
        if ((event->modifiers() & Qt::ShiftModifier) && t == editor_->current())
            editor_->set_cursor(t, editor_->cursor(), h.pos);
        else
            editor_->set_cursor(t, h.pos, h.pos);
        emit cursor_moved();
    }
    pressing_ = true;
    press_right_ = right;
    last_hit_ = h;
    press(h, right, false);
    viewport()->update();
}

void GuiTimeline::mouseMoveEvent(QMouseEvent* event) {
    if (drag_track_ && (event->buttons() & Qt::LeftButton) &&
        (event->position().toPoint() - drag_from_).manhattanLength() >=
            QApplication::startDragDistance()) {
        // A track dragged from the track list: onto a link row of the property list (a link)
        // or onto another track of the list (a move).
        auto* mime = new QMimeData;
        mime->setData(QString::fromLatin1(kGuiTrackMime), QByteArray::number(drag_track_));
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        drag_track_ = 0;
        drag->exec(Qt::LinkAction | Qt::CopyAction | Qt::MoveAction);
        return;
    }
    if (!pressing_ || !editor_) return;
    const Hit h = hit(event->position().toPoint());
    if (!h.row || h.row != last_hit_.row || !h.band || h.band != last_hit_.band || h.pos < 0)
        return;
    if (h.pos == last_hit_.pos && h.band->kind != GuiBand::Velocity) return;
    last_hit_ = h;
    press(h, press_right_, true);
    viewport()->update();
}

void GuiTimeline::mouseReleaseEvent(QMouseEvent*) {
    if (drag_track_ && editor_) select_track(editor_->find_track(drag_track_));
    drag_track_ = 0;
    if (!pressing_ || !editor_) return;
    pressing_ = false;
    MedtTrackPress::release(*editor_);
}

void GuiTimeline::select_track(MedtTrack* t) {
    if (!t || !t->shown()) return;
    // The cursor keeps its moment in time on the newly selected track.
    const int32_t pos =
        editor_->current() && editor_->current()->beats() > 0
            ? int32_t(int64_t(t->beats()) * editor_->cursor() / editor_->current()->beats())
            : 0;
    editor_->set_cursor(t, pos, pos);
    emit cursor_moved();
    viewport()->update();
}

void GuiTimeline::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!editor_ || event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint();
    const Hit h = hit(at);
    if (h.row && at.x() < kNameWidth) start_rename(h.row->track);
}

bool GuiTimeline::event(QEvent* event) {
    // F2 is also the window's accelerator for renaming in the library tree and the edit list;
    // while the timeline has the focus it renames the current track instead.
    if (event->type() == QEvent::ShortcutOverride && editor_ &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F2 &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

QString GuiTimeline::tip_at(const QPoint& at) const {
    const Hit h = hit(at);
    if (!h.row || h.pos < 0 || !h.row->track->shown() || !editor_) return {};
    const MedtTrack* t = h.row->track;
    if (const MseqTrackNote* nt = note_track(t)) {
        auto it = nt->blocks().upper_bound(h.pos);
        if (it == nt->blocks().begin()) return {};
        --it;
        const MseqBlockNote& n = it->second;
        if (it->first + n.m_Length <= h.pos) return {};
        return gui_text(MedtNoteNames(*t).name_at(n, it->first)) +
               gui_utf8("  長さ %1  ベロシティ %2").arg(n.m_Length).arg(n.m_Velocity);
    }
    if (const MseqTrackChord* ct = chord_track(t))
        return gui_text(MedtChordPress::name_at(*ct, h.pos, editor_->music()));
    if (const MseqTrackRefer* rt = refer_track(t)) {
        auto it = rt->blocks().upper_bound(h.pos);
        if (it == rt->blocks().begin()) return {};
        --it;
        if (it->first + it->second.m_Length <= h.pos) return {};
        const MseqObject* phrase = editor_->music()->find(it->second.m_PhraseID);
        return phrase ? gui_text(phrase->name) : QString();
    }
    return {};
}

bool GuiTimeline::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = tip_at(help->pos());
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip, viewport());
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

// ---- moving tracks by dragging -----------------------------------------------------------------

MSEQ_ID GuiTimeline::dragged_track(const QMimeData* mime) const {
    if (!editor_ || !mime || !mime->hasFormat(QString::fromLatin1(kGuiTrackMime))) return 0;
    const MSEQ_ID id = mime->data(QString::fromLatin1(kGuiTrackMime)).toUInt();
    return editor_->find_track(id) ? id : 0;
}

bool GuiTimeline::drop_track(const QMimeData* mime, const QPoint& at) {
    const MSEQ_ID moved = dragged_track(mime);
    const Hit h = hit(at);
    if (!moved || !h.row || at.x() >= kNameWidth || h.row->track->id() == moved) return false;
    MedtTrack* target = h.row->track;
    const MSEQ_TYPE type = target->node() ? target->node()->type : 0;
    const bool container = type == MTYPE_TRACK_GROUP || type == MTYPE_TRACK_HEADER ||
                           type == MTYPE_TRACK_DETAIL || type == MTYPE_TRACK_ROOT_MUSIC ||
                           type == MTYPE_TRACK_ROOT_PHRASE;
    // Where in the row: 0 at its top, 1 at its bottom.
    const double y = double(at.y() - kRulerHeight + verticalScrollBar()->value() - h.row->top) /
                     std::max(1, h.row->height);
    int place = y < 0.5 ? MPLACE_BEFORE : MPLACE_AFTER;
    if (container && y >= 0.25 && y < 0.75) place = MPLACE_LAST_CHILD;
    const MSEQ_ID anchor = target->id();
    const bool moved_ok = editor_->move_leaf(moved, anchor, place) != 0;
    relayout();  // the editor tracks were built anew
    emit cursor_moved();
    return moved_ok;
}

void GuiTimeline::dragEnterEvent(QDragEnterEvent* event) {
    if (dragged_track(event->mimeData()) && !editor_->read_only()) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void GuiTimeline::dragMoveEvent(QDragMoveEvent* event) {
    if (event->position().toPoint().x() < kNameWidth && dragged_track(event->mimeData())) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void GuiTimeline::dropEvent(QDropEvent* event) {
    // A refused move has shown its warning; the drop is still taken (nothing else wants it).
    const bool inside = event->position().toPoint().x() < kNameWidth;
    drop_track(event->mimeData(), event->position().toPoint());
    if (inside) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

// ---- renaming in place -------------------------------------------------------------------------

bool GuiTimeline::start_rename(MedtTrack* track) {
    finish_rename(false);
    const GuiRow* r = track && editor_ && !editor_->read_only() ? row_of(track) : nullptr;
    if (!r) return false;
    // Scroll the row into view first, so that the editor sits over the name it changes.
    QScrollBar* vb = verticalScrollBar();
    const int h = viewport()->height() - kRulerHeight;
    if (r->top < vb->value() || r->top + r->height > vb->value() + h) vb->setValue(r->top);
    const int indent = 6 + r->depth * 12;
    const int height = std::min(r->height, editor_->metrics().row_height + 12);
    rename_ = new QLineEdit(viewport());
    rename_->setObjectName(QStringLiteral("kv_track_rename"));
    rename_->setGeometry(indent - 2, kRulerHeight + r->top - vb->value(), kNameWidth - indent,
                         height);
    rename_->setText(gui_text(track->node()->name));
    rename_->selectAll();
    rename_->installEventFilter(this);
    rename_track_ = track->id();
    rename_->show();
    rename_->setFocus(Qt::OtherFocusReason);
    return true;
}

void GuiTimeline::finish_rename(bool keep) {
    if (!rename_) return;
    QLineEdit* edit = rename_;
    rename_ = nullptr;  // first: losing the focus below must not finish a second time
    const QString name = edit->text();
    edit->removeEventFilter(this);
    edit->hide();
    edit->deleteLater();
    setFocus(Qt::OtherFocusReason);
    if (keep && editor_ && gui_cp932_accepts(this, name))
        editor_->rename_track(rename_track_, gui_cp932(name));
    rename_track_ = 0;
    viewport()->update();
}

bool GuiTimeline::eventFilter(QObject* watched, QEvent* event) {
    if (watched != rename_) return QAbstractScrollArea::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            finish_rename(key != Qt::Key_Escape);
            return true;
        }
    }
    // Clicking elsewhere keeps the typed name, as tree views do.
    if (event->type() == QEvent::FocusOut) finish_rename(true);
    return false;
}

// ---- pop-ups -----------------------------------------------------------------------------------

bool GuiTimeline::take_scripted(QString* answer) {
    if (scripted_answers.empty()) return false;
    *answer = scripted_answers.front();
    scripted_answers.erase(scripted_answers.begin());
    return true;
}

bool GuiTimeline::edit_number(int32_t value, CkvString* text) {
    QString answer;
    if (!take_scripted(&answer)) {
        bool ok = false;
        answer = QInputDialog::getText(this, gui_utf8("ラグ"),
                                       gui_utf8("-240 ～ 240 [Tick] (空欄でトラックの値)"),
                                       QLineEdit::Normal, QString::number(value), &ok);
        if (!ok) return false;
    }
    *text = gui_cp932(answer.trimmed());
    return true;
}

int32_t GuiTimeline::choose_marker(const std::vector<CkvString>& items) {
    QString answer;
    if (take_scripted(&answer)) return answer.toInt();
    QMenu menu(this);
    for (size_t i = 0; i < items.size(); ++i)
        menu.addAction(gui_text(items[i]))->setData(int(i));
    QAction* chosen = menu.exec(QCursor::pos());
    return chosen ? chosen->data().toInt() : -1;
}

void GuiTimeline::select_phrase(MSEQ_ID id) {
    if (select_leaf) select_leaf(id);
}

int32_t GuiTimeline::pick_degree(const MedtDegreePicker& picker) {
    QString answer;
    if (take_scripted(&answer)) return answer.toInt();
    QMenu menu(this);
    if (picker.items().empty()) {
        menu.addAction(gui_text(picker.empty_text()))->setEnabled(false);
    }
    for (size_t i = 0; i < picker.items().size(); ++i) {
        QAction* a = menu.addAction(gui_text(picker.items()[i].label));
        a->setData(picker.items()[i].slot);
        a->setCheckable(true);
        a->setChecked(int32_t(i) == picker.preselected());
    }
    QAction* chosen = menu.exec(QCursor::pos());
    return chosen && chosen->isEnabled() ? chosen->data().toInt() : -1;
}

bool GuiTimeline::edit_chord(MedtChordEditor& editor) {
    GuiChordEditor dialog(editor.chord(), editor.key(), this);
    const bool set =
        run_chord_editor ? run_chord_editor(dialog) : dialog.exec() == QDialog::Accepted;
    if (set) editor = dialog.model();
    return set;
}
