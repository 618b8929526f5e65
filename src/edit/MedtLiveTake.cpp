#include "edit/MedtLiveTake.h"

#include <algorithm>

#include "edit/MedtBlockText.h"
#include "edit/MedtKeyEntry.h"
#include "edit/MedtMusic.h"
#include "edit/MedtNoteEntry.h"
#include "edit/MedtTrack.h"
#include "edit/MedtTransaction.h"
#include "model/core/floor_math.h"
#include "model/track/MseqTrack.h"
#include "model/track/MseqTrackNote.h"

void MedtLiveTake::note(int64_t tick, int32_t key, int32_t velocity) {
    if (key < 0 || key > 127) return;
    const size_t k = static_cast<size_t>(key);
    if (velocity > 0) {
        if (on_[k] >= 0) end(k, tick);  // struck again while it still sounds
        on_[k] = tick;
        velocity_[k] = velocity;
        held_[k] = true;
        return;
    }
    if (!held_[k]) return;
    held_[k] = false;
    if (!pedal_) end(k, tick);
}

void MedtLiveTake::pedal(int64_t tick, bool down) {
    pedal_ = down;
    if (down) return;
    for (size_t k = 0; k < 128; ++k) {
        if (on_[k] >= 0 && !held_[k]) end(k, tick);
    }
}

void MedtLiveTake::finish(int64_t tick) {
    for (size_t k = 0; k < 128; ++k) {
        if (on_[k] >= 0) end(k, tick);
    }
    held_.reset();
    pedal_ = false;
}

void MedtLiveTake::end(size_t k, int64_t tick) {
    notes_.push_back({on_[k], std::max(tick, on_[k]), static_cast<int32_t>(k), velocity_[k]});
    on_[k] = -1;
}

namespace {

// A note placed on the grid: its step, its steps, the rest of its start in ticks.
struct Placed {
    int32_t pos = 0;
    int32_t end = 0;
    int32_t offset = 0;
    int32_t key = 0;
    int32_t velocity = 0;
};

int64_t quantised(int64_t tick, int64_t step, int32_t strength) {
    const int64_t nearest = floor_div(tick + step / 2, step) * step;
    return tick + (nearest - tick) * strength / 100;
}

// The notes on the grid, one at a time: on one step the highest key, each ending where the next
// starts.
std::vector<Placed> place(const std::vector<MedtTakenNote>& notes, int64_t step, int32_t strength) {
    std::vector<Placed> out;
    for (const MedtTakenNote& n : notes) {
        const int64_t on = quantised(n.on, step, strength);
        const int64_t off = quantised(n.off, step, strength);
        Placed p;
        p.pos = static_cast<int32_t>(floor_div(on + step / 2, step));
        if (p.pos < 0) continue;
        p.offset = static_cast<int32_t>(on - p.pos * step);
        p.end = std::max(p.pos + 1, static_cast<int32_t>(floor_div(off + step / 2, step)));
        p.key = n.key;
        p.velocity = n.velocity;
        out.push_back(p);
    }
    std::sort(out.begin(), out.end(), [](const Placed& a, const Placed& b) {
        return a.pos != b.pos ? a.pos < b.pos : a.key > b.key;
    });
    std::vector<Placed> mono;
    for (const Placed& p : out) {
        if (!mono.empty() && mono.back().pos == p.pos) continue;
        if (!mono.empty()) mono.back().end = std::min(mono.back().end, p.pos);
        mono.push_back(p);
    }
    return mono;
}

// Writes one placed note, split at the bar lines where the note written before them would
// sound another key; false when the music refused. `written` counts the blocks.
bool write_placed(MedtTrack& track, const MseqTrackNote& notes, const Placed& p, int32_t* written,
                  bool* sounded) {
    const int32_t bar = track.beats();
    int32_t from = p.pos;
    *sounded = false;
    while (from < p.end) {
        MseqBlockNote note;
        note.m_Length = 1;
        if (!medt_note_for_key(track, from, p.key, &note)) return true;
        *sounded = true;
        int32_t to = p.end;
        for (int32_t line = (from / bar + 1) * bar; line < p.end; line += bar) {
            int64_t k = -1;
            if (!medt_block_text::note_key(track, line, note, &k) || k != p.key) {
                to = line;
                break;
            }
        }
        note.m_Length = to - from;
        note.m_Velocity = static_cast<uint8_t>(std::clamp(p.velocity, 1, 127));
        if (from == p.pos && p.offset != 0) {
            note.m_Flags |= MNBF_OWN_STIME;
            note.m_STime = notes.m_STime + p.offset;
        }
        if (!MedtNoteEntry::write(track, notes, from, note)) return false;
        ++*written;
        from = to;
    }
    return true;
}

}  // namespace

MedtTakeEntry medt_enter_take(MedtMusicInvoker& editor, const std::vector<MedtTakenNote>& notes,
                              int32_t strength) {
    MedtTakeEntry result;
    MedtTrack* track = editor.current();
    MseqTrack* stored = track ? track->stored() : nullptr;
    auto* note_track = stored ? stored->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE) : nullptr;
    if (!note_track || editor.read_only() || notes.empty()) return result;
    const int64_t step = MseqTrack::kTicksPerBar / track->beats();
    MedtTransaction transaction(editor);
    for (const Placed& p : place(notes, step, std::clamp(strength, 0, 100))) {
        bool sounded = false;
        if (!write_placed(*track, *note_track, p, &result.entered, &sounded)) {
            transaction.rollback();
            return MedtTakeEntry{0, 0, true};
        }
        if (!sounded) ++result.skipped;
    }
    transaction.commit();
    return result;
}
