#include "edit/MedtMusic.h"

#include <algorithm>
#include <vector>

#include "edit/McmdMusic.h"
#include "edit/McmdSeqs.h"
#include "edit/McmdTrack.h"
#include "edit/MedtMetrics.h"
#include "edit/MedtText.h"
#include "edit/MedtUserPort.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrack.h"
#include "model/track/MseqTrackTree.h"

namespace {

// The key of a track identifier in the editor's map: the music's own file number.
MSEQ_ID track_key(MSEQ_ID id) {
    return (id & 0xFFFFF) | 0x100000;
}

int32_t clamp_position(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, 0, INT32_MAX));
}

}  // namespace

// --- attachment -----------------------------------------------------------------------------

MedtMusic::MedtMusic(MseqMusic* music, MseqObject* sequence_clip, MseqObject* leaf_clip)
    : sequence_clipboard(sequence_clip),
      leaf_clipboard(leaf_clip),
      music_(music),
      metrics_(&MedtMetrics::shared()) {
    if (!music_) return;
    music_->add_ref();
    music_->flags |= MEF_EDITING;
    music_->access_stamp = MseqDesk::instance().next_stamp();
    take_view_settings();
    build_tracks(music_->root());
}

MedtMusic::~MedtMusic() {
    MedtMusic::reset();
}

void MedtMusic::reset() {
    current_ = nullptr;
    cursor_ = selection_end_ = 0;
    cursor_valid_ = 0;
    cursor_rect_ = MedtRect();
    play_cursor = 0;
    play_range[0] = play_range[1] = 0;
    tracks_.clear();
    root_.reset();
    if (music_) {
        music_->flags &= ~MEF_EDITING;
        MseqMusic* music = music_;
        music_ = nullptr;
        music->release();
    }
}

MseqEntity* MedtMusic::edited_entity() {
    return music_;
}

void MedtMusic::take_view_settings() {
    int32_t beats = music_->m_GxB;
    int32_t grid = music_->m_GpM;
    if (!MseqTrack::is_grid_beat(beats)) beats = grid = 16;
    grid = std::clamp(grid, 1, 2 * beats - 1);
    int32_t note = std::clamp(music_->m_NoteState, 1, 5);
    int32_t show = music_->m_ShowState;
    if (show == 0) show = 0x1000763;
    show |= 0x302;
    if (!(show & 0x400) && !(show & 0x800)) show |= 0x400;
    music_->m_GxB = display_beats = beats;
    music_->m_GpM = bar_grid = grid;
    music_->m_NoteState = note;
    music_->m_ShowState = show;
}

// --- the editor-track tree -------------------------------------------------------------------

MedtTrack* MedtMusic::find_track(MSEQ_ID id) const {
    auto it = tracks_.find(track_key(id));
    return it == tracks_.end() ? nullptr : it->second;
}

bool MedtMusic::build_tracks(MseqObject* top) {
    if (!top) return false;
    MedtTrack* first = nullptr;
    for (MseqObject* node = top; node; node = node->next_in(top)) {
        MseqTrack* track = mseq_track_of(node);
        MedtTrack* made = track ? track->create_editor_track(this) : nullptr;
        bool placed = made && !tracks_.count(track_key(node->id));
        if (placed) {
            MedtTrack* anchor = nullptr;
            if (node->prev()) {
                placed = (anchor = find_track(node->prev()->id)) != nullptr;
                if (placed) made->link_after(anchor);
            } else if (node->parent() && root_) {
                placed = (anchor = find_track(node->parent()->id)) != nullptr;
                if (placed) made->link_first_child(anchor);
            } else {
                placed = !root_;
                if (placed) root_.reset(made);
            }
        }
        if (!placed) {
            delete made;
            if (first) remove_tracks(first);
            return false;
        }
        tracks_[track_key(node->id)] = made;
        if (!first) first = made;
    }
    return true;
}

void MedtMusic::remove_tracks(MedtTrack* track) {
    if (!track) return;
    for (MedtTrack* t = track; t; t = t->next_in(track)) {
        tracks_.erase(track_key(t->id()));
        if (t == current_) {
            current_ = nullptr;
            cursor_valid_ = 0;
        }
    }
    if (track == root_.get()) {
        root_.reset();
    } else {
        delete track;
    }
}

void MedtMusic::rebuild() {
    const MSEQ_ID current_id = current_ ? current_->id() : 0;
    current_ = nullptr;
    tracks_.clear();
    root_.reset();
    if (music_) build_tracks(music_->root());
    if (MedtTrack* again = current_id ? find_track(current_id) : nullptr) {
        set_cursor(again, cursor_, selection_end_);
    } else {
        cursor_valid_ = 0;
        update_cursor_rect();
    }
}

int32_t MedtMusic::row_top(const MedtTrack* track) const {
    int32_t top = 0;
    for (MedtTrack* t = root_.get(); t && t != track; t = t->next_in(root_.get()))
        top += std::max(0, t->row_height());
    return top;
}

// --- cursor ----------------------------------------------------------------------------------

bool MedtMusic::set_cursor(MedtTrack* track, int32_t position, int32_t end) {
    if (!track || find_track(track->id()) != track) return false;
    current_ = track;
    kept_time_ = -1;
    cursor_ = std::max(0, position);
    selection_end_ = std::max(0, end);
    cursor_valid_ = 1;
    update_cursor_rect();
    return true;
}

int32_t MedtMusic::current_length() const {
    if (!current_) return 0;
    return clamp_position(mseq_track_length(current_->node()));
}

void MedtMusic::update_cursor_rect() {
    if (!current_) {
        cursor_rect_ = MedtRect();
    } else {
        const int64_t unit = current_->unit_width();
        const int64_t lo = std::min(cursor_, selection_end_);
        const int64_t hi = std::max<int64_t>(std::max(cursor_, selection_end_), lo + 1);
        auto px = [](int64_t v) {
            return static_cast<int32_t>(std::clamp<int64_t>(v, 0, INT32_MAX));
        };
        cursor_rect_.left = px(lo * unit);
        cursor_rect_.right = px(hi * unit);
        cursor_rect_.top = row_top(current_);
        cursor_rect_.bottom = cursor_rect_.top + std::max(0, current_->row_height());
    }
    if (view) view->changed();
}

bool MedtMusic::navigable(const MedtTrack* track) {
    return track->row_height() > 0 && track->shown();
}

bool MedtMusic::move_track(int direction) {
    std::vector<MedtTrack*> order;
    for (MedtTrack* t = root_.get(); t; t = t->next_in(root_.get()))
        order.push_back(t);
    auto at = std::find(order.begin(), order.end(), current_);
    if (at == order.end()) return false;
    ptrdiff_t i = at - order.begin();
    for (i += direction; i >= 0 && i < static_cast<ptrdiff_t>(order.size()); i += direction) {
        MedtTrack* next = order[static_cast<size_t>(i)];
        if (!navigable(next)) continue;
        // The cursor keeps its time: positions scale with the ratio of the beats.
        const int64_t time = kept_time_ >= 0
                                 ? kept_time_
                                 : int64_t{cursor_} * MseqTrack::kTicksPerBar / current_->beats();
        const int32_t p = clamp_position(time * next->beats() / MseqTrack::kTicksPerBar);
        const bool moved = set_cursor(next, p, p);
        kept_time_ = time;
        return moved;
    }
    return false;
}

int MedtMusic::action(int code) {
    if (!current_) return 0;
    const int64_t c = cursor_, s = selection_end_;
    const int64_t lo = std::min(c, s), hi = std::max(c, s);
    const int32_t unit = current_->unit_width();
    const int64_t step = unit > 0 ? std::max<int64_t>(1, metrics_->step_width / unit) : 1;
    const int64_t length = current_length();
    auto put = [this](int64_t p, int64_t e) {
        return set_cursor(current_, clamp_position(p), clamp_position(e)) ? 1 : 0;
    };
    switch (code) {
        case MACT_TRACK_PREV:
            return move_track(-1) ? 1 : 0;
        case MACT_TRACK_NEXT:
            return move_track(1) ? 1 : 0;
        case MACT_LEFT:
            return c != s ? put(lo, lo) : put(c - 1, c - 1);
        case MACT_RIGHT:
            return c != s ? put(hi, hi) : put(c + 1, c + 1);
        case MACT_EXTEND_LEFT:
            return put(c, s - 1);
        case MACT_EXTEND_RIGHT:
            return put(c, s + 1);
        case MACT_STEP_LEFT:
            return c != s ? put(lo, lo) : put(c - step, c - step);
        case MACT_STEP_RIGHT:
            return c != s ? put(hi, hi) : put(c + step, c + step);
        case MACT_EXTEND_STEP_LEFT:
            return put(c, s - step);
        case MACT_EXTEND_STEP_RIGHT:
            return put(c, s + step);
        case MACT_HOME:
            return put(0, 0);
        case MACT_END:
            return put(length, length);
        case MACT_EXTEND_HOME:
            return put(c, 0);
        case MACT_EXTEND_END:
            return put(c, length);
        case MACT_SELECT_ALL:
            return put(0, length);
        default:
            return 0;
    }
}

// --- play cursor -----------------------------------------------------------------------------

namespace {
// Pixels of a tick position at `beats` display beats of `width` pixels each.
int32_t tick_to_pixels(int64_t tick, int32_t beats, int32_t width) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(tick * beats * width / MseqTrack::kTicksPerBar, 0, INT32_MAX));
}
}  // namespace

void MedtMusic::set_play_tick(int32_t tick) {
    play_cursor = tick_to_pixels(tick, display_beats, metrics_->beat_width);
    if (view) view->changed();
}

int32_t MedtMusic::play_tick() const {
    const int64_t per_bar = int64_t{display_beats} * metrics_->beat_width;
    return static_cast<int32_t>(int64_t{play_cursor} * MseqTrack::kTicksPerBar / per_bar);
}

int32_t MedtMusic::tick_of_pixels(int32_t pixels) const {
    const int64_t per_bar = int64_t{display_beats} * metrics_->beat_width;
    if (pixels <= 0 || per_bar <= 0) return 0;
    return static_cast<int32_t>(
        std::min<int64_t>(int64_t{pixels} * MseqTrack::kTicksPerBar / per_bar, INT32_MAX));
}

void MedtMusic::play_position(int32_t* bar, int32_t* beat, int32_t* tick) const {
    const int32_t t = play_tick();
    const int32_t beat_ticks = MseqTrack::kTicksPerBar / display_beats;
    const int32_t bar_ticks = beat_ticks * bar_grid;
    *bar = t / bar_ticks + 1 - (music_ ? music_->m_BlankBar : 0);
    *beat = t % bar_ticks / beat_ticks + 1;
    *tick = t % beat_ticks;
}

void MedtMusic::set_play_range(int32_t from_tick, int32_t to_tick) {
    const int32_t bar_px = bar_grid * metrics_->beat_width;
    for (int i = 0; i < 2; ++i) {
        const int32_t px =
            tick_to_pixels(i ? to_tick : from_tick, display_beats, metrics_->beat_width);
        play_range[i] = px / bar_px * bar_px;
    }
    if (view) view->changed();
}

// --- commands --------------------------------------------------------------------------------

int MedtMusic::validate_command(MgenCommand* command) {
    if (view && !view->validate(command)) return 0;
    if (command->kind() == MKIND_CMD_STORE_LEAFS || command->kind() == MKIND_CMD_STORE_SEQS)
        return 1;
    if (read_only()) {
        command->state = MCMD_DECLINED;
        return 0;
    }
    return 1;
}

int MedtMusic::execute_command(MgenCommand* command) {
    if (view && view->execute(command)) return 1;
    const bool test = (command->flags & MCMD_TEST_ONLY) != 0;
    if (auto* t = static_cast<McmdTrack*>(command->cast(MKIND_CMD_TRACK))) {
        MedtTrack* target = find_track(t->track);
        if (!target) return 1;  // no such track here: carried out, nothing changes
        MseqTrack* stored = target->stored();
        if (!stored) return 0;
        t->editor = this;
        const int done = stored->apply_command(command);
        t->editor = nullptr;
        if (done && !test) {
            refresh_track(target);
            mark_modified();
        }
        return done;
    }
    auto* m = static_cast<McmdMusic*>(command->cast(MKIND_CMD_MUSIC));
    if (!m && command->kind() == MKIND_CMD_STORE_LEAFS) m = static_cast<McmdMusic*>(command);
    if (!m || !music_) return 0;
    m->editor = this;
    int done = m->run(music_);
    if (done && !test) {
        done = m->refresh(this);
        if (done && command->kind() != MKIND_CMD_STORE_LEAFS) mark_modified();
    }
    m->editor = nullptr;
    return done;
}

void MedtMusic::finish_command(MgenCommand* command) {
    if (view) view->finish(command);
}

void MedtMusic::mark_modified() {
    if (!music_) return;
    const bool was = (music_->flags & MEF_MODIFIED) != 0;
    MseqDesk::instance().mark_modified(music_);
    if (!was && view) view->modified();
}

void MedtMusic::refresh_track(MedtTrack* track) {
    if (track && track == current_) {
        update_cursor_rect();
    } else if (view) {
        view->changed();
    }
}

// --- the invoker -----------------------------------------------------------------------------

MedtMusicInvoker::MedtMusicInvoker(MseqMusic* music, MseqObject* sequence_clip,
                                   MseqObject* leaf_clip)
    : MedtMusic(music, sequence_clip, leaf_clip) {
    attach_observer();
}

MedtMusicInvoker::~MedtMusicInvoker() {
    MedtMusicInvoker::reset();
}

void MedtMusicInvoker::attach_observer() {
    if (!music_) return;
    if (auto* old = static_cast<MedtMusicNotify*>(
            music_->observer ? music_->observer->cast(MKIND_NOTIFY_MUSIC) : nullptr))
        old->editor = nullptr;
    music_->observer = ref_ptr<MgenNotify>::adopt(new MedtMusicNotify(this));
}

void MedtMusicInvoker::detach_observer() {
    if (!music_ || !music_->observer) return;
    if (auto* mine = static_cast<MedtMusicNotify*>(music_->observer->cast(MKIND_NOTIFY_MUSIC))) {
        if (mine->editor != this) return;  // another editor took the music over
        mine->editor = nullptr;
    }
    music_->observer.reset();
}

void MedtMusicInvoker::reset() {
    history_.clear();
    undoing_ = 0;
    detach_observer();
    MedtMusic::reset();
}

int MedtMusicInvoker::action(int code) {
    if (code < MACT_CUT || code > MACT_SPACE) return MedtMusic::action(code);
    // The edit actions post sequence commands on the current track; ignored while read-only.
    if (!current_ || read_only()) return 0;
    const MSEQ_ID id = current_->id();
    const int32_t p = cursor_, s = selection_end_;
    ref_ptr<MgenCommand> command;
    switch (code) {
        case MACT_CUT:
            command = mcmd_make<McmdStoreCutSeqs>(id, p, s);
            break;
        case MACT_COPY:
            command = mcmd_make<McmdStoreSeqs>(id, p, s);
            break;
        case MACT_PASTE:
            command = mcmd_make<McmdInsertSeqs>(id, p, s, nullptr, true);
            break;
        case MACT_OVERWRITE:
            command = mcmd_make<McmdCoverSeqs>(id, p, s, nullptr);
            break;
        case MACT_DELETE:
            command = p != s ? ref_ptr<MgenCommand>(mcmd_make<McmdEraseSeqs>(id, p, s))
                             : ref_ptr<MgenCommand>(mcmd_make<McmdCutSeqs>(id, p, p + 1));
            break;
        case MACT_DELETE_BEFORE:
            if (p == s && p == 0) return 0;  // nothing before the start
            command = p != s ? ref_ptr<MgenCommand>(mcmd_make<McmdEraseSeqs>(id, p, s))
                             : ref_ptr<MgenCommand>(mcmd_make<McmdCutSeqs>(id, p - 1, p));
            break;
        default:
            command = mcmd_make<McmdSpaceSeqs>(id, p, 1);
            break;
    }
    execute(command.get());
    return command->state == MCMD_DONE ? 1 : 0;
}

int MedtMusicInvoker::validate_command(MgenCommand* command) {
    if (!MedtMusic::validate_command(command)) return 0;
    const uint32_t kind = command->kind();
    if (kind == MKIND_CMD_STORE_LEAFS || kind == MKIND_CMD_STORE_SEQS) return 1;
    if (!undoing_) {
        auto* set = static_cast<McmdSetBlock*>(command->cast(MKIND_CMD_SET_BLOCK));
        if (!set || !history_.merges(*set)) command->flags |= MCMD_RECORD_UNDO;
    }
    return 1;
}

void MedtMusicInvoker::finish_command(MgenCommand* command) {
    MedtMusic::finish_command(command);
    if (command->undo) {
        history_.append(command->undo.get());
        command->undo.reset();
    }
}

void MedtMusicInvoker::execute(MgenCommand* command) {
    if (!music_) {
        command->state = MCMD_DECLINED;
        return;
    }
    music_->execute(command);
}

void MedtMusicInvoker::undo() {
    if (history_.empty() || !music_) return;
    const uint32_t group = history_.last_group();
    undoing_ = 1;
    while (!history_.empty() && history_.last_group() == group) {
        ref_ptr<MgenCommand> command = history_.take_last();
        music_->execute(command.get());
    }
    undoing_ = 0;
    if (port) port->status(medt_text("アンドゥを実行しました。"));
}

int MedtMusicInvoker::button_press(MSEQ_ID id, int32_t position, uint32_t buttons) {
    MedtTrack* track = find_track(id);
    if (read_only() || !track) return 0;
    history_.close_group();
    history_.set_auto_advance(0);
    const int handled = track->mouse_action(position, buttons);
    history_.set_auto_advance(1);
    return handled;
}

size_t MedtMusicInvoker::undo_open_group() {
    if (!music_) return 0;
    const uint32_t group = history_.current_group();
    size_t undone = 0;
    undoing_ = 1;
    while (!history_.empty() && history_.last_group() == group) {
        ref_ptr<MgenCommand> command = history_.take_last();
        music_->execute(command.get());
        ++undone;
    }
    undoing_ = 0;
    return undone;
}

// --- the observer ----------------------------------------------------------------------------

int MedtMusicNotify::execute(MgenCommand* command) {
    return editor ? editor->execute_command(command) : 0;
}

int MedtMusicNotify::validate(MgenCommand* command) {
    return editor ? editor->validate_command(command) : 0;
}

void MedtMusicNotify::finish(MgenCommand* command) {
    if (editor) editor->finish_command(command);
}
