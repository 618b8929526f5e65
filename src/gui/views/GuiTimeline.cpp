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
#include <QWheelEvent>
#include <algorithm>
#include <cstring>

#include "app/MFrame.h"
#include "edit/MedtBlockText.h"
#include "edit/MedtMetrics.h"
#include "edit/MedtMusic.h"
#include "edit/MedtNoteEntry.h"
#include "edit/MedtViewCommands.h"
#include "edit/map/MedtChordEditor.h"
#include "edit/map/MedtChordMapView.h"
#include "edit/map/MedtDegreePicker.h"
#include "edit/press/MedtTrackPress.h"
#include "gui/GuiRoomTree.h"
#include "gui/GuiText.h"
#include "gui/views/GuiChordEditor.h"
#include "gui/views/GuiLanePainter.h"
#include "gui/views/GuiTrackPainter.h"
#include "model/core/MseqObject.h"
#include "model/core/floor_math.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"

namespace {

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

const MseqTrackNote* note_track(const MedtTrack* t) {
    MseqTrack* s = t ? t->stored() : nullptr;
    return s ? s->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE) : nullptr;
}
const MseqTrackRefer* refer_track(const MedtTrack* t) {
    MseqTrack* s = t ? t->stored() : nullptr;
    return s ? s->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER) : nullptr;
}

// The caption of an edit band in the track list (UTF-8, in the language shown); nullptr for
// bands without one.
const char* band_caption(GuiBand kind, bool note) {
    switch (kind) {
        case GuiBand::Main:
            return kv_text(note ? gui_msg::BAND_PITCH : gui_msg::BAND_PHRASE);
        case GuiBand::Anchor:
            return kv_text(gui_msg::BAND_ANCHOR);
        case GuiBand::Third:
            return kv_text(note ? gui_msg::BAND_OCTAVE : gui_msg::BAND_SHIFT);
        case GuiBand::Fourth:
            return kv_text(note ? gui_msg::BAND_ACCIDENTAL : gui_msg::BAND_MODE);
        case GuiBand::StartLag:
            return kv_text(gui_msg::BAND_START_LAG);
        case GuiBand::EndLag:
            return kv_text(gui_msg::BAND_END_LAG);
        case GuiBand::Velocity:
            return kv_text(gui_msg::BAND_VELOCITY);
        default:
            return nullptr;
    }
}

// The step, in bars, of the bar lines and ruler marks that keeps them `gap` pixels apart at
// least at `bar_units` beat units a bar.
int64_t bar_step(int64_t bar_units, int gap) {
    const int64_t want = int64_t{gap} * MedtViewScale::kBeatFraction;
    return std::max<int64_t>(1, (want + bar_units - 1) / std::max<int64_t>(1, bar_units));
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
    entry_.reset();
    editor_ = editor;
    if (editor_) {
        entry_ = std::make_unique<MedtNoteEntry>(*editor_);
        entry_->set_value(value_);
    }
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    relayout();
}

void GuiTimeline::relayout() {
    // Everything that calls for a new layout may have changed what the lanes sound.
    if (editor_) editor_->lanes.invalidate();
    layout_.build(editor_);
    cover_lanes();
    if (editor_) {
        horizontalScrollBar()->setSingleStep(
            std::max(1, int(editor_->view_scale().beat_pixels() * 4)));
        verticalScrollBar()->setSingleStep(editor_->view_scale().row_height);
    }
    update_scrollbars();
    viewport()->update();
}

int GuiTimeline::content_width() const {
    return editor_ ? layout_.content_width() : 0;
}

int GuiTimeline::content_height() const {
    return layout_.content_height();
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
    cover_lanes();
    update_scrollbars();
}

void GuiTimeline::scrollContentsBy(int dx, int) {
    if (dx && cover_lanes()) update_scrollbars();
    viewport()->update();
}

bool GuiTimeline::cover_lanes() {
    if (!editor_ || !editor_->music() || !editor_->lanes.any()) return false;
    const int sx = horizontalScrollBar()->value();
    const int w = std::max(1, viewport()->width() - kNameWidth);
    const int64_t from = layout_.x_tick(sx);
    const int64_t to = layout_.x_tick(sx + w) + 1;
    if (!editor_->lanes.cover(*editor_->music(), int32_t(std::clamp<int64_t>(from, 0, INT32_MAX)),
                              int32_t(std::clamp<int64_t>(to, 0, INT32_MAX))))
        return false;
    // The lanes' axes set their bands' heights.
    layout_.build(editor_);
    return true;
}

const GuiRow* GuiTimeline::row_of(const MedtTrack* track) const {
    return layout_.row_of(track);
}

QPoint GuiTimeline::origin() const {
    return QPoint(kNameWidth - horizontalScrollBar()->value(),
                  kRulerHeight - verticalScrollBar()->value());
}

QPoint GuiTimeline::point_at(const MedtTrack* track, int32_t pos, GuiBand band) const {
    const GuiRow* r = row_of(track);
    if (!r || track->unit_width() <= 0) return QPoint(-1, -1);
    // Without such a band, the middle of the row's main band (or of the row).
    int y = r->top + r->height / 2;
    if (const GuiRow::Band* b = r->band(GuiBand::Main)) y = r->top + b->top + b->height / 2;
    if (const GuiRow::Band* b = r->band(band)) y = r->top + b->top + b->height / 2;
    const int x = track->pos_x(pos);
    return origin() + QPoint(x + (track->pos_x(int64_t{pos} + 1) - x) / 2, y);
}

void GuiTimeline::scroll_to_bar(int bar) {
    if (!editor_ || !editor_->music()) return;
    horizontalScrollBar()->setValue(layout_.bar_x(bar));
}

GuiTimeline::Hit GuiTimeline::hit(const QPoint& p) const {
    if (p.y() < kRulerHeight) return Hit();
    const QPoint c = p - origin();
    return layout_.hit(p.x() < kNameWidth ? -1 : c.x(), c.y());
}

// ---- zoom --------------------------------------------------------------------------------------

void GuiTimeline::apply_scale(const MedtViewScale& scale, int keep_x, int anchor_x) {
    if (!editor_) return;
    // The moment at `keep_x` under the old scale stays under `anchor_x`.
    const int64_t tick = layout_.x_tick(keep_x);
    editor_->set_view_scale(scale);
    relayout();
    const int x = layout_.tick_x(tick);
    horizontalScrollBar()->setValue(x - (anchor_x - kNameWidth));
    if (status)
        status(gui_fill(gui_msg::BEAT_PIXELS,
                        {QString::number(editor_->view_scale().beat_pixels(), 'g', 3)}));
}

void GuiTimeline::zoom_by(int steps, int anchor_x) {
    if (!editor_ || !steps) return;
    MedtViewScale s = editor_->view_scale();
    const int keep_x = anchor_x - kNameWidth + horizontalScrollBar()->value();
    s.beat_units = MedtViewScale::zoom_beat_width(s.beat_units, steps);
    apply_scale(s, keep_x, anchor_x);
}

void GuiTimeline::change_row_height(int rows) {
    if (!editor_ || !rows) return;
    MedtViewScale s = editor_->view_scale();
    s.row_height = MedtViewScale::zoom_row_height(s.row_height, rows);
    const int keep_x = horizontalScrollBar()->value();
    apply_scale(s, keep_x, kNameWidth);
    scroll_to_cursor();
}

bool GuiTimeline::run_zoom(int id) {
    if (!editor_) return false;
    const int middle = kNameWidth + std::max(0, viewport()->width() - kNameWidth) / 2;
    switch (id) {
        case MVC_ZOOM_IN:
            zoom_by(1, middle);
            return true;
        case MVC_ZOOM_OUT:
            zoom_by(-1, middle);
            return true;
        case MVC_ZOOM_FIT: {
            // The whole music to the end of its last bar (at least its blank bars and one bar)
            // across the timeline.
            MedtViewScale s = editor_->view_scale();
            s.beat_units =
                MedtViewScale::fit_beat_width(layout_.last_bar_end(), editor_->display_beats,
                                              std::max(0, viewport()->width() - kNameWidth));
            apply_scale(s, 0, kNameWidth);
            return true;
        }
        case MVC_ROW_TALLER:
            change_row_height(1);
            return true;
        case MVC_ROW_SHORTER:
            change_row_height(-1);
            return true;
        default:
            return false;
    }
}

void GuiTimeline::wheelEvent(QWheelEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    const QPoint delta = event->angleDelta();
    // Some systems turn Shift+wheel into a sideways wheel themselves.
    const int turn = delta.y() != 0 ? delta.y() : delta.x();
    if (editor_ && (mods & Qt::ControlModifier)) {
        const int steps = turn / 120 != 0 ? turn / 120 : (turn > 0 ? 1 : turn < 0 ? -1 : 0);
        if (mods & Qt::ShiftModifier)
            change_row_height(steps);
        else
            zoom_by(steps, std::max(kNameWidth, int(event->position().x())));
        event->accept();
        return;
    }
    if (mods & Qt::ShiftModifier) {
        QScrollBar* hb = horizontalScrollBar();
        hb->setValue(hb->value() - turn * hb->singleStep() * 3 / 120);
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

// ---- painting ----------------------------------------------------------------------------------

void GuiTimeline::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), kBack);
    if (!editor_ || !editor_->music()) return;
    const int sy = verticalScrollBar()->value();
    const int visible_h = viewport()->height() - kRulerHeight;
    const std::vector<GuiRow>& rows = layout_.rows();
    const size_t first = layout_.first_row_below(sy);
    size_t end = first;
    while (end < rows.size() && rows[end].top - sy < visible_h)
        ++end;
    paint_rows(p, first, end);
    paint_play_cursor(p);
    paint_ruler(p);
    paint_track_list(p, first, end);
    p.setClipping(false);
    p.setPen(kBarLine);
    p.drawLine(kNameWidth - 1, 0, kNameWidth - 1, viewport()->height());
}

void GuiTimeline::paint_grid(QPainter& p) const {
    // Beat and bar lines, drawn only across the visible width.
    const int sx = horizontalScrollBar()->value();
    const int W = viewport()->width() - kNameWidth;
    const int H = viewport()->height();
    // Zoomed far out, beat lines closer than a few pixels would only grey the rows: bars alone,
    // and of those only every n-th when bars themselves come closer than that.
    if (layout_.beat_units() >= MedtViewScale::pixels(4)) {
        const int64_t first =
            MedtViewScale::at_x(sx, layout_.beat_units(), MedtViewScale::kBeatFraction);
        for (int64_t b = std::max<int64_t>(0, first); layout_.beat_x(b) - sx < W; ++b) {
            const bool bar = layout_.starts_bar(int32_t(b));
            p.setPen(bar ? kBarLine : kBeatLine);
            const int x = kNameWidth + layout_.beat_x(b) - sx;
            p.drawLine(x, kRulerHeight, x, H);
        }
    } else {
        const int64_t step = bar_step(layout_.bar_units(), 8);
        p.setPen(kBarLine);
        const int64_t first = layout_.bar_at(sx);
        for (int64_t b = first - floor_mod(first - 1, step); layout_.bar_x(int32_t(b)) - sx < W;
             b += step) {
            const int x = kNameWidth + layout_.bar_x(int32_t(b)) - sx;
            p.drawLine(x, kRulerHeight, x, H);
        }
    }
    const int blank = layout_.blank_width();
    if (blank >= sx && blank - sx < W) {
        p.setPen(QPen(kPhraseLine, 2));
        p.drawLine(kNameWidth + blank - sx, kRulerHeight, kNameWidth + blank - sx, H);
    }
}

void GuiTimeline::paint_rows(QPainter& p, size_t first_row, size_t end_row) const {
    const int W = viewport()->width();
    const QRect timeline(kNameWidth, kRulerHeight, std::max(0, W - kNameWidth),
                         viewport()->height() - kRulerHeight);
    const QPoint o = origin();
    const std::vector<GuiRow>& rows = layout_.rows();
    // Backgrounds, then the grid over them, then the blocks and the cursor.
    for (size_t i = first_row; i < end_row; ++i) {
        const GuiRow& r = rows[i];
        p.fillRect(kNameWidth, o.y() + r.top, W - kNameWidth, r.height,
                   (r.track->id() & 1) ? kBackAlt : kBack);
    }
    p.setClipRect(timeline);
    paint_grid(p);
    GuiPaintContext c{
        p, layout_, *editor_, o, QFontMetrics(font()), uint32_t(editor_->music()->m_ShowState)};
    const int sx = horizontalScrollBar()->value();
    for (size_t i = first_row; i < end_row; ++i) {
        const GuiRow& r = rows[i];
        const int y = o.y() + r.top;
        p.setClipRect(timeline.intersected(QRect(kNameWidth, y, W - kNameWidth, r.height)));
        p.setPen(kBeatLine);
        p.drawLine(kNameWidth, y + r.height - 1, W, y + r.height - 1);
        const MedtTrack* t = r.track;
        if (!t->shown()) {
            p.setPen(kDim);
            p.drawText(QRect(kNameWidth + 6, y, W, r.height), Qt::AlignVCenter,
                       gui_text(t->mismatch_text()));
            continue;
        }
        if (const GuiTrackPainter* painter = GuiTrackPainter::for_track(*t))
            painter->paint(c, r, t->pos_at(sx), t->pos_at(sx + timeline.width()) + 1);
        GuiLanePainter::paint(c, r, sx, sx + timeline.width());
        if (t == editor_->current()) paint_cursor(p);
    }
}

void GuiTimeline::paint_cursor(QPainter& p) const {
    // The editor's cursor box, in the layout's pixels.
    const MedtRect box = editor_->cursor_rect();
    const QRect rc = QRect(QPoint(box.left, box.top), QPoint(box.right - 1, box.bottom - 1))
                         .translated(origin());
    if (editor_->cursor() == editor_->selection_end()) {
        p.setPen(QPen(kCursor, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rc.adjusted(0, 1, 0, -2));
    } else {
        QColor sel = kCursor;
        sel.setAlpha(70);
        p.fillRect(rc, sel);
        p.setPen(QPen(kCursor, 1));
        p.drawRect(rc.adjusted(0, 0, 0, -1));
    }
}

void GuiTimeline::paint_play_cursor(QPainter& p) const {
    const int W = viewport()->width();
    p.setClipRect(QRect(kNameWidth, kRulerHeight, std::max(0, W - kNameWidth),
                        viewport()->height() - kRulerHeight));
    const int play_x = origin().x() + layout_.tick_x(editor_->play_tick());
    if (play_x >= kNameWidth && play_x < W) {
        p.setPen(QPen(kPlay, 2));
        p.drawLine(play_x, kRulerHeight, play_x, viewport()->height());
    }
}

void GuiTimeline::paint_ruler(QPainter& p) const {
    // The bar numbers, bar 1 at the first phrase line.
    const int W = viewport()->width();
    const int sx = horizontalScrollBar()->value();
    p.setClipping(false);
    p.fillRect(0, 0, W, kRulerHeight, kNameBack);
    p.setClipRect(QRect(kNameWidth, 0, W - kNameWidth, kRulerHeight));
    const int bar_px = layout_.bar_width();
    // Numbers closer than their own width are shown for every n-th bar only, and the marks of
    // bars closer than a few pixels for every n-th bar too.
    const int label_w = QFontMetrics(font()).horizontalAdvance(QStringLiteral("0000")) + 6;
    const int64_t marks = bar_step(layout_.bar_units(), 4);
    const int64_t every = (bar_step(layout_.bar_units(), label_w) + marks - 1) / marks * marks;
    const int64_t first = layout_.bar_at(sx);
    for (int64_t b = first - floor_mod(first - 1, marks); layout_.bar_x(int32_t(b)) - sx < W;
         b += marks) {
        const int x = kNameWidth + layout_.bar_x(int32_t(b)) - sx;
        p.setPen(kBarLine);
        p.drawLine(x, kRulerHeight - 6, x, kRulerHeight);
        if (floor_mod(b - 1, every) != 0) continue;
        p.setPen(b >= 1 ? kText : kDim);
        p.drawText(QRect(x + 3, 0, std::max(bar_px, label_w) - 4, kRulerHeight), Qt::AlignVCenter,
                   QString::number(b));
    }
    const int play_x = origin().x() + layout_.tick_x(editor_->play_tick());
    if (play_x >= kNameWidth && play_x < W) {
        p.setBrush(kPlay);
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygon({QPoint(play_x - 5, 0), QPoint(play_x + 5, 0), QPoint(play_x, 8)}));
    }
}

void GuiTimeline::paint_track_list(QPainter& p, size_t first_row, size_t end_row) const {
    const int H = viewport()->height();
    const QPoint o = origin();
    p.setClipRect(QRect(0, kRulerHeight, kNameWidth, H - kRulerHeight));
    p.fillRect(0, kRulerHeight, kNameWidth, H - kRulerHeight, kNameBack);
    const QFontMetrics fm(font());
    const std::vector<GuiRow>& rows = layout_.rows();
    for (size_t i = first_row; i < end_row; ++i) {
        const GuiRow& r = rows[i];
        const int y = o.y() + r.top;
        if (r.track == editor_->current())
            p.fillRect(0, y, kNameWidth, r.height, QColor(0x3d, 0x4a, 0x5e));
        p.setPen(kBeatLine);
        p.drawLine(0, y + r.height - 1, kNameWidth, y + r.height - 1);
        const int indent = 6 + r.depth * 12;
        const bool note = note_track(r.track) != nullptr;
        const bool banded = note || refer_track(r.track);
        // The band captions sit at the right, at the text size of the names: the name gives
        // way to the widest caption of the bands its line crosses.
        const int name_h = std::min(r.height, editor_->view_scale().row_height + 12);
        int captions_w = 0;
        for (const GuiRow::Band& b : r.bands) {
            const char* caption = banded ? band_caption(b.kind, note) : nullptr;
            if (caption && b.top < name_h)
                captions_w = std::max(captions_w, fm.horizontalAdvance(gui_utf8(caption)) + 10);
        }
        p.setPen(r.track->shown() ? kText : kDim);
        // The editor's display name: note tracks carry their channel while the view shows
        // track information.
        const QRect name_rect(indent, y, kNameWidth - indent - 4 - captions_w, name_h);
        p.drawText(
            name_rect, Qt::AlignVCenter | Qt::AlignLeft,
            fm.elidedText(gui_text(r.track->display_name()), Qt::ElideRight, name_rect.width()));
        if (!banded || !r.track->shown()) continue;
        p.setPen(kDim);
        for (const GuiRow::Band& b : r.bands) {
            if (const char* caption = band_caption(b.kind, note))
                p.drawText(QRect(0, y + b.top, kNameWidth - 6, b.height),
                           Qt::AlignVCenter | Qt::AlignRight, gui_utf8(caption));
        }
    }
}

// ---- keys --------------------------------------------------------------------------------------

void GuiTimeline::set_typing(bool on) {
    if (typing_ == on) return;
    typing_ = on;
    if (status) status(gui_utf8(on ? gui_msg::TYPING_ON : gui_msg::TYPING_OFF));
    if (typing_changed) typing_changed();
}

void GuiTimeline::set_note_value(const MedtNoteValue& value) {
    value_ = value;
    if (entry_) entry_->set_value(value);
    // Keys played on the MIDI input enter notes of the same value.
    if (MFrame* frame = MFrame::get()) frame->midi_input().set_note_value(value);
}

namespace {

// Why a typed key did nothing, for the status bar (UTF-8, in the language shown); nullptr when
// it did what it means.
const char* entry_problem(MedtEntryResult result) {
    switch (result) {
        case MedtEntryResult::not_a_key:
            return kv_text(gui_msg::ENTRY_NOT_A_KEY);
        case MedtEntryResult::read_only:
            return kv_text(gui_msg::ENTRY_READ_ONLY);
        case MedtEntryResult::no_track:
            return kv_text(gui_msg::ENTRY_NO_TRACK);
        case MedtEntryResult::off_grid:
            return kv_text(gui_msg::ENTRY_OFF_GRID);
        case MedtEntryResult::refused:
            return kv_text(gui_msg::ENTRY_REFUSED);
        default:
            return nullptr;
    }
}

}  // namespace

bool GuiTimeline::type_key(QKeyEvent* event) {
    if (!typing_ || !entry_) return false;
    if (event->key() == Qt::Key_Escape) {
        set_typing(false);
        return true;
    }
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    char key = 0;
    if (event->key() == Qt::Key_Backspace) {
        key = '\b';
    } else if (event->text().size() == 1) {
        const char c = event->text().at(0).toLatin1();
        static const char kKeys[] = "ABCDEFGabcdefg123456789#-,.rRnNxX";
        if (c != 0 && std::strchr(kKeys, c)) key = c;
    }
    if (!key) return false;
    const MedtEntryResult result = entry_->key(key);
    if (const char* problem = entry_problem(result)) {
        if (status) status(gui_utf8(problem));
        return true;
    }
    scroll_to_cursor();
    viewport()->update();
    emit cursor_moved();
    return true;
}

void GuiTimeline::keyPressEvent(QKeyEvent* event) {
    if (!editor_) return QAbstractScrollArea::keyPressEvent(event);
    if (event->key() == Qt::Key_F2 && event->modifiers() == Qt::NoModifier) {
        if (editor_->current()) start_rename(editor_->current());
        return;
    }
    if (type_key(event)) return;
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
    QKeyCombination combination = event->keyCombination();
    const Qt::Key k = combination.key();
    if ((combination.keyboardModifiers() & Qt::ControlModifier) &&
        (k == Qt::Key_Plus || k == Qt::Key_Equal || k == Qt::Key_Minus || k == Qt::Key_0)) {
        // The zoom keys are the same whether the plus needs Shift on the keyboard, comes from
        // the keypad or shares its key with "=".
        combination = QKeyCombination(Qt::ControlModifier, k == Qt::Key_Equal ? Qt::Key_Plus : k);
    }
    const QByteArray key = QKeySequence(combination).toString(QKeySequence::PortableText).toUtf8();
    const MedtViewCommand* c = medt_view_commands::find_key(key.constData());
    if (!c) return false;
    if (run_zoom(c->id)) return true;
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
    if (!r) return;
    const MedtTrack* t = editor_->current();
    const int w = viewport()->width() - kNameWidth;
    const int h = viewport()->height() - kRulerHeight;
    const int x = t->pos_x(editor_->selection_end());
    const int uw = std::max(1, t->pos_x(int64_t{editor_->selection_end()} + 1) - x);
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
    const int x = layout_.tick_x(editor_->play_tick());
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
    if (h.band->kind == GuiBand::Lane) return false;  // the lane shows what plays; no edits
    MedtPress pr;
    pr.area = MedtTimelineLayout::area_of(h);
    pr.pos = h.pos;
    pr.right = right;
    pr.move = move;
    pr.height = h.height;
    if (move && pr.area != MedtPressArea::Anchor && pr.area != MedtPressArea::Velocity)
        return false;
    return MedtTrackPress::press(*editor_, *t, pr, ctx);
}

void GuiTimeline::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (!editor_) return;
    if (event->button() == Qt::LeftButton && ruler_press(event->position().toPoint(), false)) {
        ruler_dragging_ = true;
        return;
    }
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
    if (ruler_dragging_) {
        if (event->buttons() & Qt::LeftButton) ruler_press(event->position().toPoint(), true);
        return;
    }
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
    ruler_dragging_ = false;
    if (drag_track_ && editor_) select_track(editor_->find_track(drag_track_));
    drag_track_ = 0;
    if (!pressing_ || !editor_) return;
    pressing_ = false;
    MedtTrackPress::release(*editor_);
}

bool GuiTimeline::ruler_press(const QPoint& at, bool drag) {
    if (!editor_ || (!drag && (at.y() < 0 || at.y() >= kRulerHeight || at.x() < kNameWidth)))
        return false;
    const int x = std::max(0, at.x() - kNameWidth) + horizontalScrollBar()->value();
    if (ruler_tick) ruler_tick(int32_t(std::clamp<int64_t>(layout_.x_tick(x), 0, INT32_MAX)));
    return true;
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
    if (!editor_) return;
    const QPoint at = event->position().toPoint();
    const Hit h = hit(at);
    if (event->button() == Qt::LeftButton && h.row && at.x() < kNameWidth) {
        start_rename(h.row->track);
        return;
    }
    // The window reports the second press of a quick pair as a double click: on the rows it is a
    // press like the first, so that every click counts.
    mousePressEvent(event);
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
    if (!h.row || h.pos < 0 || !editor_) return {};
    if (h.band && h.band->kind == GuiBand::Lane) return lane_tip(*h.row, at - origin());
    return gui_text(medt_block_text::tip(*h.row->track, h.pos));
}

QString GuiTimeline::lane_tip(const GuiRow& row, const QPoint& at) const {
    const MplyResolvedKeys* keys = editor_->lanes.keys(row.track->id());
    const bool missing = keys && keys->map_missing;
    const std::vector<MedtLaneBar> bars = layout_.lane_bars(row, at.x(), at.x() + 1);
    for (const MedtLaneBar& b : bars) {
        if (at.y() < b.box.top || at.y() >= b.box.bottom || !keys) continue;
        for (const MplyLaneNote& n : keys->notes) {
            if (n.key == b.key && layout_.tick_x(n.tick) == b.box.left)
                return gui_text(MedtLaneSet::tip(n, missing));
        }
    }
    return gui_text(MedtLaneSet::tip(missing));
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

// ---- phrases dragged from the library tree ----------------------------------------------------

MedtTrack* GuiTimeline::phrase_target(const QMimeData* mime, const QPoint& at, int32_t* pos) const {
    if (!editor_ || editor_->read_only() || at.x() < kNameWidth) return nullptr;
    const MseqObject* leaf = GuiRoomTree::node_of_drag(mime);
    // The tree drags its current item, which is the frame's selection: only that one is known
    // to be alive.
    if (!leaf || leaf->type != MTYPE_LEAF_PHRASE || !selected_leaf || selected_leaf() != leaf)
        return nullptr;
    const Hit h = hit(at);
    if (!h.row || h.pos < 0 || !refer_track(h.row->track)) return nullptr;
    if (pos) *pos = h.pos;
    return h.row->track;
}

bool GuiTimeline::drop_phrase(const QMimeData* mime, const QPoint& at) {
    int32_t pos = 0;
    MedtTrack* track = phrase_target(mime, at, &pos);
    if (!track) {
        refuse_phrase(mime);
        return false;
    }
    const bool placed = MedtTrackPress::drop_phrase(*editor_, *track, pos,
                                                    selected_leaf ? selected_leaf() : nullptr);
    relayout();
    if (placed) {
        editor_->set_cursor(track, pos, pos);
        emit cursor_moved();
    }
    return placed;
}

void GuiTimeline::refuse_phrase(const QMimeData* mime) {
    const MseqObject* leaf = GuiRoomTree::node_of_drag(mime);
    if (!leaf || !status) return;
    if (leaf->type != MTYPE_LEAF_PHRASE)
        status(gui_utf8(gui_msg::DROP_ONLY_PHRASES));
    else if (editor_ && editor_->read_only())
        status(gui_utf8(gui_msg::DROP_WHILE_PLAYING));
    else
        status(gui_utf8(gui_msg::DROP_ON_PHRASE_TRACK));
}

void GuiTimeline::dragEnterEvent(QDragEnterEvent* event) {
    const bool track = dragged_track(event->mimeData()) && !editor_->read_only();
    const MseqObject* leaf = GuiRoomTree::node_of_drag(event->mimeData());
    if (track || (leaf && leaf->type == MTYPE_LEAF_PHRASE && editor_ && !editor_->read_only())) {
        event->setDropAction(track ? Qt::MoveAction : Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void GuiTimeline::dragMoveEvent(QDragMoveEvent* event) {
    const QPoint at = event->position().toPoint();
    if (at.x() < kNameWidth && dragged_track(event->mimeData())) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else if (phrase_target(event->mimeData(), at, nullptr)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        // A phrase over a place that does not take it: the status bar says where it goes.
        if (at.x() >= kNameWidth) refuse_phrase(event->mimeData());
        event->ignore();
    }
}

void GuiTimeline::dropEvent(QDropEvent* event) {
    const QPoint at = event->position().toPoint();
    if (at.x() >= kNameWidth) {
        // A phrase from the library tree: a refused one has said why in the status bar. A
        // placed one leaves the focus here, not in the tree the drag began in, so that the
        // next keys (undo, typing, the cursor) act on the block just placed.
        if (drop_phrase(event->mimeData(), at)) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
            setFocus(Qt::OtherFocusReason);
        } else {
            event->ignore();
        }
        return;
    }
    // A refused move has shown its warning; the drop is still taken (nothing else wants it).
    drop_track(event->mimeData(), at);
    event->setDropAction(Qt::MoveAction);
    event->accept();
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
    const int height = std::min(r->height, editor_->view_scale().row_height + 12);
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
        answer =
            QInputDialog::getText(this, gui_utf8(gui_msg::LAG_TITLE), gui_utf8(gui_msg::LAG_PROMPT),
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
