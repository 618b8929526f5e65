#include "edit/MedtMusic.h"

#include <algorithm>
#include <vector>

#include "edit/McmdMusic.h"
#include "edit/McmdSeqs.h"
#include "edit/McmdTrack.h"
#include "edit/MedtMetrics.h"
#include "edit/MedtText.h"
#include "edit/MedtTimelineLayout.h"
#include "edit/MedtTransaction.h"
#include "edit/MedtUserPort.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqShowState.h"
#include "model/track/MseqTrack.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackTree.h"

namespace {

// The key of a track identifier in the editor's map: the music's own file number.
MSEQ_ID track_key(MSEQ_ID id) {
    return mseq_own_track_id(id);
}

// What the commands an editor runs itself are run for (MedtMusic::undoing_).
enum : int {
    kReplayUndo = 1,      // an undo: each command records what redoes it
    kReplayRollback = 2,  // a failed gesture taken back: nothing is recorded
    kReplayRedo = 3,      // a redo: recorded for undo like a new edit
};

// True when a carried-out command changed the music (copies do not).
bool changes_music(const MgenCommand& command) {
    const uint32_t kind = command.kind();
    return command.state == MCMD_DONE && !(command.flags & MCMD_TEST_ONLY) &&
           kind != MKIND_CMD_STORE_LEAFS && kind != MKIND_CMD_STORE_SEQS;
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
      metrics_(&MedtMetrics::shared()),
      scale_(MedtViewScale::standard()) {
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
    const auto show =
        static_cast<int32_t>(mseq_show_state_taken(static_cast<uint32_t>(music_->m_ShowState)));
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
    const uint32_t show = music_ ? static_cast<uint32_t>(music_->m_ShowState) : 0;
    int64_t top = 0;
    for (MedtTrack* t = root_.get(); t && t != track; t = t->next_in(root_.get()))
        top += MedtTimelineLayout::height_of(*t, show);
    return static_cast<int32_t>(std::min<int64_t>(top, INT32_MAX));
}

void MedtMusic::set_view_scale(const MedtViewScale& scale) {
    scale_ = scale.clamped();
    update_cursor_rect();
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

MedtRect MedtMusic::cursor_rect() const {
    if (!current_) return MedtRect();
    const int64_t lo = std::min(cursor_, selection_end_);
    const int64_t hi = std::max<int64_t>(std::max(cursor_, selection_end_), lo + 1);
    auto px = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, INT32_MAX)); };
    const uint32_t show = music_ ? static_cast<uint32_t>(music_->m_ShowState) : 0;
    MedtRect r;
    // The same pixels as the blocks' boxes, one pixel wide at least when units are narrower.
    r.left = px(current_->pos_x(lo));
    r.right = current_->unit_width() > 0 ? std::max(r.left + 1, px(current_->pos_x(hi))) : r.left;
    r.top = row_top(current_);
    r.bottom = px(int64_t{r.top} + MedtTimelineLayout::height_of(*current_, show));
    return r;
}

void MedtMusic::update_cursor_rect() {
    // The box is computed when asked for; the view is told that it moved.
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
    // The view step is a stretch of music, the same at every zoom: counted at the shared
    // metrics' beat width.
    const int64_t unit =
        current_->shown() ? int64_t{display_beats} / current_->beats() * metrics_->beat_width : 0;
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
    // One key press, one gesture: it never joins a press still held.
    return MedtTransaction(*this).post(command.get()) ? 1 : 0;
}

int MedtMusicInvoker::validate_command(MgenCommand* command) {
    if (!MedtMusic::validate_command(command)) return 0;
    const uint32_t kind = command->kind();
    if (kind == MKIND_CMD_STORE_LEAFS || kind == MKIND_CMD_STORE_SEQS) return 1;
    if (undoing_ == kReplayUndo) {
        // The inverse of the inverse: what redoes the entry.
        command->flags |= MCMD_RECORD_UNDO;
    } else if (undoing_ != kReplayRollback) {
        auto* set = static_cast<McmdSetBlock*>(command->cast(MKIND_CMD_SET_BLOCK));
        if (!set || !history_.merges(*set)) command->flags |= MCMD_RECORD_UNDO;
    }
    // A property change may change how the block at the cursor sounds: the observer hears of
    // it before and after.
    if (!undoing_ && kind == MKIND_CMD_SET_PROPERTY && edit_observer && !property_told_ &&
        block_at_cursor(&property_block_)) {
        property_told_ = true;
        edit_observer->property_changing(*this, property_block_);
    }
    return 1;
}

void MedtMusicInvoker::finish_command(MgenCommand* command) {
    MedtMusic::finish_command(command);
    if (command->undo) {
        if (undoing_ == kReplayUndo)
            history_.append_redo(command->undo.get());
        else
            history_.append(command->undo.get());
        command->undo.reset();
    }
    // A new edit makes what was undone before it stale.
    if (!undoing_ && changes_music(*command)) history_.clear_redo();
    if (property_told_ && command->kind() == MKIND_CMD_SET_PROPERTY) {
        property_told_ = false;
        if (command->state == MCMD_DONE && edit_observer)
            edit_observer->property_changed(*this, property_block_);
    }
    if (undoing_ || command->state != MCMD_DONE) return;
    if (auto* set = static_cast<McmdSetBlock*>(command->cast(MKIND_CMD_SET_BLOCK))) {
        const MedtPlacedBlock placed{set->track, set->position};
        if (set->block && std::find(placed_.begin(), placed_.end(), placed) == placed_.end())
            placed_.push_back(placed);
    }
    // A block set outside any gesture is a gesture of its own.
    if (gestures_ == 0) tell_placed();
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
    undoing_ = kReplayUndo;
    history_.open_redo_group();
    bool exact = true;
    while (!history_.empty() && history_.last_group() == group) {
        ref_ptr<MgenCommand> command = history_.take_last();
        const size_t recorded = history_.redo_size();
        music_->execute(command.get());
        // A step that failed or left nothing to redo it: a redo could not give the same bytes.
        if (command->state != MCMD_DONE || history_.redo_size() == recorded) exact = false;
    }
    undoing_ = 0;
    if (!exact) history_.clear_redo();
    if (port) port->status(medt_text(medt_msg::UNDONE));
}

void MedtMusicInvoker::redo() {
    if (history_.redo_empty() || !music_ || read_only()) return;
    const uint32_t group = history_.last_redo_group();
    MedtTransaction gesture(*this);
    bool done = true;
    undoing_ = kReplayRedo;
    while (done && !history_.redo_empty() && history_.last_redo_group() == group) {
        ref_ptr<MgenCommand> command = history_.take_last_redo();
        music_->execute(command.get());
        done = command->state == MCMD_DONE;
    }
    undoing_ = 0;
    if (!done) {
        // Half a redo is no state the music ever had: back to before it, and nothing to redo.
        gesture.rollback();
        history_.clear_redo();
    }
    gesture.commit();
    if (port) port->status(medt_text(medt_msg::REDONE));
}

int MedtMusicInvoker::button_press(MSEQ_ID id, int32_t position, uint32_t buttons) {
    MedtTrack* track = find_track(id);
    if (read_only() || !track) return 0;
    MedtTransaction gesture(*this);
    const int handled = track->mouse_action(position, buttons);
    gesture.keep_open();  // the release closes the group
    return handled;
}

void MedtMusicInvoker::button_release() {
    MedtTransaction(*this, MedtTransaction::join_open).commit();
}

void MedtMusicInvoker::begin_gesture(bool join) {
    if (gestures_++ == 0 && !join) history_.close_group();
    history_.set_auto_advance(0);
}

void MedtMusicInvoker::end_gesture(bool close) {
    if (gestures_ > 0 && --gestures_ > 0) return;
    if (close) history_.close_group();
    history_.set_auto_advance(1);
    tell_placed();
}

bool MedtMusicInvoker::block_at_cursor(MedtPlacedBlock* block) const {
    MseqTrack* stored = current_ ? current_->stored() : nullptr;
    if (!music_ || !stored || stored->m_Beat < 1) return false;
    const MSEQ_ID id = current_->id();
    if (auto* notes = stored->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE)) {
        int32_t start = 0;
        if (!notes->block_covering(cursor_, &start)) return false;
        *block = {id, start};
        return true;
    }
    if (auto* chords = stored->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD)) {
        int32_t start = 0;
        if (!chords->block_in_effect(cursor_, &start)) return false;
        *block = {id, start};
        return true;
    }
    // The cursor's moment, found on the note tracks below the current one, then on all.
    const int64_t tick = int64_t{cursor_} * (MseqTrack::kTicksPerBar / stored->m_Beat);
    const auto covering = [&](MseqObject* node) {
        MseqTrack* t = node->type == MTYPE_TRACK_NOTE ? mseq_track_of(node) : nullptr;
        auto* notes = t ? t->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE) : nullptr;
        if (!notes || notes->m_Beat < 1 || !(notes->m_Flags & MTF_OUTPUT)) return false;
        int32_t start = 0;
        if (!notes->block_covering(tick / (MseqTrack::kTicksPerBar / notes->m_Beat), &start))
            return false;
        *block = {node->id, start};
        return true;
    };
    MseqObject* here = music_->find_track(id);
    for (MseqObject* t = here ? here->first_child() : nullptr; t; t = t->next_in(here)) {
        if (covering(t)) return true;
    }
    for (MseqObject* top = music_->root(); top; top = top->next()) {
        for (MseqObject* t = top; t; t = t->next_in(top)) {
            if (covering(t)) return true;
        }
    }
    return false;
}

void MedtMusicInvoker::tell_placed() {
    if (placed_.empty()) return;
    std::vector<MedtPlacedBlock> placed;
    placed.swap(placed_);
    if (edit_observer) edit_observer->blocks_placed(*this, placed);
}

size_t MedtMusicInvoker::undo_open_group(size_t keep) {
    if (!music_) return 0;
    const uint32_t group = history_.current_group();
    size_t undone = 0;
    // What the gesture placed is taken back: nothing of it is to be heard.
    placed_.clear();
    const int was = undoing_;
    undoing_ = kReplayRollback;
    while (history_.size() > keep && history_.last_group() == group) {
        ref_ptr<MgenCommand> command = history_.take_last();
        music_->execute(command.get());
        ++undone;
    }
    // What the enclosing gesture recorded before stays its open group.
    if (keep > 0 && !history_.empty() && history_.last_group() == group)
        history_.reopen_last_group();
    undoing_ = was;
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
