#include "edit/MedtTimelineLayout.h"

#include <algorithm>

#include "edit/MedtTrack.h"
#include "edit/MedtViewCommands.h"
#include "model/core/floor_math.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrack.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"

namespace {

// The stored track as one of the kinds whose rows have bands of their own; nullptr otherwise.
template <class Kind>
const Kind* stored_as(const MedtTrack& track, MSEQ_TYPE type) {
    MseqTrack* s = track.stored();
    return s ? s->cast_to<Kind>(type) : nullptr;
}

int32_t clamp32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The unit of `track` a point at pixel `x` stands for: the first unit starting in the pixel
// that starts a block, else the first unit there (or the one covering the pixel).
int32_t unit_at(const MedtTrack& track, int32_t x) {
    const int32_t first = track.pos_at(x);
    const int32_t end = track.pos_at(x == INT32_MAX ? x : x + 1);
    MseqTrack* s = track.stored();
    if (!s || end - first <= 1) return first;
    for (int32_t p = first; p < end; ++p) {
        if (s->get_block(s->m_Beat, p)) return p;
    }
    return first;
}

}  // namespace

const MedtRow::Band* MedtRow::band(MedtBand kind) const {
    for (const Band& b : bands) {
        if (b.kind == kind) return &b;
    }
    return nullptr;
}

int32_t MedtTimelineLayout::bands_of(const MedtTrack& track, uint32_t show,
                                     std::vector<MedtRow::Band>* out) {
    const int32_t base = track.row_height();
    if (base <= 0) return 0;
    int32_t y = 0;
    const auto band = [&](MedtBand kind, int32_t h) {
        if (out) out->push_back({kind, y, h});
        y += h;
    };
    const bool note = stored_as<MseqTrackNote>(track, MTYPE_TRACK_NOTE) != nullptr;
    const bool refer = stored_as<MseqTrackRefer>(track, MTYPE_TRACK_REFER) != nullptr;
    if (track.shown() && (note || refer)) {
        if (show & MSHOW_ANCHOR) band(MedtBand::Anchor, kBandSmall);
        band(MedtBand::Main, base);
        if (show & MSHOW_OPTION) {
            band(MedtBand::Third, kBandSmall);
            band(MedtBand::Fourth, kBandSmall);
        }
        if (note && (show & MSHOW_EFFECT)) {
            band(MedtBand::StartLag, kBandSmall);
            band(MedtBand::EndLag, kBandSmall);
        }
        if (note && (show & MSHOW_VELOCITY)) band(MedtBand::Velocity, kBandVelocity);
        if (const MedtMusic* editor = track.editor()) {
            const int32_t lane = editor->lanes.height(track.id());
            if (lane > 0) band(MedtBand::Lane, lane);
        }
    } else if (track.shown() && stored_as<MseqTrackChord>(track, MTYPE_TRACK_CHORD)) {
        if (show & MSHOW_DEGREE) band(MedtBand::ChordDegree, base);
        if (show & MSHOW_CHORD) band(MedtBand::ChordName, base);
    } else {
        band(MedtBand::Main, base);
    }
    return y;
}

int32_t MedtTimelineLayout::height_of(const MedtTrack& track, uint32_t show) {
    return bands_of(track, show, nullptr);
}

MedtPressArea MedtTimelineLayout::area_of(const MedtTimelineHit& hit) {
    if (!hit.band) return MedtPressArea::Pitch;
    switch (hit.band->kind) {
        case MedtBand::Anchor:
            return MedtPressArea::Anchor;
        case MedtBand::Third:
            return MedtPressArea::Third;
        case MedtBand::Fourth:
            return MedtPressArea::Fourth;
        case MedtBand::StartLag:
            return MedtPressArea::StartLag;
        case MedtBand::EndLag:
            return MedtPressArea::EndLag;
        case MedtBand::Velocity: {
            const int32_t h = hit.band->height;
            const int32_t inner = static_cast<int32_t>((1.0 - hit.height) * (h - 1));
            if (inner < kVelocityEdge) return MedtPressArea::VelocityMax;
            if (inner >= h - kVelocityEdge) return MedtPressArea::VelocityMin;
            return MedtPressArea::Velocity;
        }
        default:
            return MedtPressArea::Pitch;
    }
}

void MedtTimelineLayout::build(const MedtMusic* editor) {
    rows_.clear();
    music_width_ = 0;
    music_ticks_ = 0;
    scale_ = MedtViewScale::standard();
    beat_units_ = bar_units_ = 1;
    blank_units_ = 0;
    display_beats_ = bar_grid_ = 16;
    if (!editor || !editor->root()) return;
    const MseqMusic* music = editor->music();
    const uint32_t show = music ? static_cast<uint32_t>(music->m_ShowState) : 0;
    scale_ = editor->view_scale();
    beat_units_ = std::max(1, scale_.beat_units);
    display_beats_ = std::max(1, editor->display_beats);
    bar_grid_ = std::max(1, editor->bar_grid);
    bar_units_ = int64_t{bar_grid_} * beat_units_;
    blank_units_ = music ? int64_t{music->m_BlankBar} * display_beats_ * beat_units_ : 0;
    int32_t top = 0;
    for (MedtTrack* t = editor->root(); t; t = t->next_in(editor->root())) {
        MedtRow row;
        row.height = bands_of(*t, show, &row.bands);
        if (row.height <= 0) continue;
        row.track = t;
        row.top = top;
        for (MedtTrack* p = t->parent(); p; p = p->parent())
            ++row.depth;
        top = clamp32(int64_t{top} + row.height);
        if (const MseqTrack* s = t->stored())
            music_ticks_ = std::max(music_ticks_, s->length_ticks());
        rows_.push_back(std::move(row));
    }
    music_width_ = tick_x(music_ticks_);
}

const MedtRow* MedtTimelineLayout::row_of(const MedtTrack* track) const {
    for (const MedtRow& r : rows_) {
        if (r.track == track) return &r;
    }
    return nullptr;
}

size_t MedtTimelineLayout::first_row_below(int32_t y) const {
    auto it = std::upper_bound(rows_.begin(), rows_.end(), y,
                               [](int32_t v, const MedtRow& r) { return v < r.top + r.height; });
    return static_cast<size_t>(it - rows_.begin());
}

MedtTimelineHit MedtTimelineLayout::hit(int32_t x, int32_t y) const {
    MedtTimelineHit h;
    if (y < 0) return h;
    const size_t i = first_row_below(y);
    if (i >= rows_.size() || y < rows_[i].top) return h;
    const MedtRow& row = rows_[i];
    h.row = &row;
    for (const MedtRow::Band& b : row.bands) {
        if (y >= row.top + b.top && y < row.top + b.top + b.height) {
            h.band = &b;
            h.height = 1.0 - double(y - row.top - b.top) / std::max(1, b.height - 1);
        }
    }
    if (x >= 0 && row.track->unit_width() > 0) h.pos = unit_at(*row.track, x);
    return h;
}

MedtRect MedtTimelineLayout::block_rect(const MedtRow& row, MedtBand kind, int32_t pos,
                                        int32_t len) const {
    const MedtRow::Band* b = row.band(kind);
    if (!b || !row.track || row.track->unit_width() <= 0) return MedtRect();
    MedtRect r;
    // A block narrower than a pixel is still drawn one pixel wide.
    r.left = row.track->pos_x(pos);
    r.right = std::max(r.left + 1, row.track->pos_x(int64_t{pos} + len));
    r.top = row.top + b->top + 1;
    r.bottom = row.top + b->top + b->height - 1;
    return r;
}

int32_t MedtTimelineLayout::content_width() const {
    const int64_t room =
        MedtViewScale::x_of(kRoomBars * display_beats_, beat_units_, MedtViewScale::kBeatFraction);
    return clamp32(std::max(music_width_, blank_width()) + room);
}

int64_t MedtTimelineLayout::last_bar_end() const {
    const int64_t bar = int64_t{bar_grid_} * MseqTrack::kTicksPerBar / display_beats_;
    const int64_t blank = blank_units_ / beat_units_ * MseqTrack::kTicksPerBar / display_beats_;
    const int64_t bars = std::max<int64_t>(1, (music_ticks_ - blank + bar - 1) / bar);
    return blank + bars * bar;
}

int32_t MedtTimelineLayout::content_height() const {
    return rows_.empty() ? 0 : rows_.back().top + rows_.back().height;
}

int32_t MedtTimelineLayout::bar_width() const {
    return clamp32(bar_units_ / MedtViewScale::kBeatFraction);
}

int32_t MedtTimelineLayout::blank_width() const {
    return clamp32(MedtViewScale::x_of(blank_units_, 1, MedtViewScale::kBeatFraction));
}

int32_t MedtTimelineLayout::tick_x(int64_t tick) const {
    return clamp32(scale_.tick_x(tick, display_beats_));
}

int32_t MedtTimelineLayout::beat_x(int64_t beat) const {
    return clamp32(MedtViewScale::x_of(beat, beat_units_, MedtViewScale::kBeatFraction));
}

int32_t MedtTimelineLayout::bar_x(int32_t bar) const {
    return clamp32(MedtViewScale::x_of(blank_units_ + (int64_t{bar} - 1) * bar_units_, 1,
                                       MedtViewScale::kBeatFraction));
}

int32_t MedtTimelineLayout::bar_at(int32_t x) const {
    // The last bar whose start lies left of the pixel's right edge.
    const int64_t edge = (int64_t{x} + 1) * MedtViewScale::kBeatFraction - blank_units_ - 1;
    return clamp32(floor_div(edge, bar_units_) + 1);
}

bool MedtTimelineLayout::starts_bar(int32_t beat) const {
    return floor_mod(int64_t{beat} * beat_units_ - blank_units_, bar_units_) == 0;
}

std::vector<MedtLaneBar> MedtTimelineLayout::lane_bars(const MplyResolvedKeys& keys,
                                                       const MedtLaneAxis& axis, int32_t top,
                                                       int32_t x_from, int32_t x_to) const {
    std::vector<MedtLaneBar> out;
    for (const MplyLaneNote& n : keys.notes) {
        const int32_t left = tick_x(n.tick);
        const int32_t right = std::max(left + 1, tick_x(n.end()));
        if (right <= x_from || left >= x_to) continue;
        if (n.key < axis.low || n.key >= axis.high) continue;
        MedtLaneBar bar;
        const int32_t y = axis.key_top(top, n.key);
        bar.box = MedtRect{left, y, right, y + MedtLaneAxis::kKeyHeight};
        bar.key = n.key;
        bar.block_type = n.block_type;
        bar.chord_tone = n.chord_tone;
        out.push_back(bar);
    }
    return out;
}

MedtLaneAxis MedtTimelineLayout::lane_axis(const MedtRow& row) {
    if (!row.track || !row.track->editor()) return MedtLaneAxis{};
    return row.track->editor()->lanes.axis(row.track->id());
}

int32_t MedtTimelineLayout::lane_top(const MedtRow& row) {
    const MedtRow::Band* b = row.band(MedtBand::Lane);
    return b ? row.top + b->top + MedtLaneSet::kPad : -1;
}

std::vector<MedtLaneBar> MedtTimelineLayout::lane_bars(const MedtRow& row, int32_t x_from,
                                                       int32_t x_to) const {
    if (!row.band(MedtBand::Lane)) return {};
    const MplyResolvedKeys* keys = row.track->editor()->lanes.keys(row.track->id());
    if (!keys) return {};
    return lane_bars(*keys, lane_axis(row), lane_top(row), x_from, x_to);
}

int64_t MedtTimelineLayout::x_tick(int32_t x) const {
    return scale_.x_tick(x, display_beats_);
}
