#include "edit/MedtKeyEntry.h"

#include <cstdlib>
#include <memory>

#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "edit/press/MedtBlockPress.h"
#include "model/block/MseqBlockNote.h"
#include "model/core/floor_math.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqNoteTheory.h"
#include "model/track/MseqTrack.h"
#include "model/track/MseqTrackNote.h"
#include "play/engine/MplyEventQueue.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyRunSet.h"
#include "play/tracks/MplyTrackNote.h"

namespace {

// The degrees searched on either side of a chord's first note: a triad covers 0-127 in 43.
constexpr int32_t kChordReach = 64;
// The degrees a scale may have.
constexpr int32_t kScaleMax = 24;

// The player of one note track, prepared once, answering the keys of trial notes at one tick.
class Resolver {
public:
    Resolver(MseqMusic* music, MSEQ_ID track, int64_t tick) : tick_(tick) {
        reach_ = MplyRunSet::collect(music);
        if (!reach_) return;
        player_ = std::make_unique<MplyMusic>(music, reach_);
        MplyContext& c = player_->context();
        c.queue = &queue_;
        c.music = player_.get();
        c.transpose = music->m_Transpose;
        if (!player_->BuildAndPrepare(c)) return;
        MplyTrack* t = player_->FindTrack(track);
        if (!t || !t->IsKindOf(MPLY_TRACK_NOTE)) return;
        notes_ = static_cast<MplyTrackNote*>(t);
        if (!notes_->Prepare(c)) notes_ = nullptr;
    }
    bool ready() const { return notes_ != nullptr; }
    // The key of a note of `type` with these fields; false when it sounds none.
    bool key(uint32_t type, int32_t whole, int32_t octave, int64_t* out) {
        MseqBlockNote n;
        n.set_type(type);
        n.m_Whole = static_cast<int8_t>(whole);
        n.m_Octave = static_cast<int8_t>(octave);
        n.m_Semi = 0;
        return notes_->KeyOf(n, tick_, player_->context().transpose, 0, out);
    }

private:
    int64_t tick_;
    std::shared_ptr<const MplyRunSet> reach_;
    MplyEventQueue queue_;
    std::unique_ptr<MplyMusic> player_;
    MplyTrackNote* notes_ = nullptr;
};

void set_pitch(MseqBlockNote* note, int64_t octave, int64_t whole, int64_t semi) {
    note->m_Octave = static_cast<int8_t>(octave);
    note->m_Whole = static_cast<int8_t>(whole);
    note->m_Semi = static_cast<int8_t>(semi);
}

// Pure and tone notes: how far the key lies from the letter C of octave 0 the track would play,
// written as a pitch class with a sharp and an octave.
bool letters(Resolver& r, uint32_t type, int32_t key, MseqBlockNote* note) {
    int64_t c = 0;
    if (!r.key(type, 0, 0, &c)) return false;
    const int64_t v = key - c;
    const MseqPitchName name = mseq_pitch_name(static_cast<int32_t>(floor_mod(v, 12)));
    set_pitch(note, floor_div(v, 12), name.letter, name.sharp);
    return true;
}

// Scale degrees: the number of degrees is where the scale comes round an octave higher; the
// degree at or below the key is written with the rest as a sharp.
bool scale_degree(Resolver& r, int32_t key, MseqBlockNote* note) {
    int64_t first = 0, k = 0;
    if (!r.key(MNBT_SDEG, 0, 0, &first)) return false;
    int32_t n = 0;
    for (int32_t m = 1; m <= kScaleMax && !n; ++m) {
        if (r.key(MNBT_SDEG, m, 0, &k) && k == first + 12) n = m;
    }
    if (!n) return false;
    // The degrees of the octave the key is in: the highest at or below the key.
    const int32_t octave = static_cast<int32_t>(floor_div(key - first, 12));
    int32_t best_degree = -1;
    int64_t best_key = 0;
    for (int32_t d = 0; d < n; ++d) {
        if (!r.key(MNBT_SDEG, d, octave, &k)) return false;
        if (k <= key && (best_degree < 0 || k > best_key)) {
            best_degree = d;
            best_key = k;
        }
    }
    if (best_degree < 0) return false;
    set_pitch(note, octave, best_degree, key - best_key);
    return true;
}

// Chord degrees: the sounding degree nearest the key (the lower one when two are as near), the
// difference as the accidental.
bool chord_degree(Resolver& r, int32_t key, MseqBlockNote* note) {
    bool found = false;
    int64_t best_degree = 0, best_key = 0, k = 0;
    for (int32_t d = -kChordReach; d <= kChordReach; ++d) {
        if (!r.key(MNBT_CDEG, d, 0, &k)) continue;
        if (!found || std::abs(key - k) < std::abs(key - best_key)) {
            best_degree = d;
            best_key = k;
            found = true;
        }
    }
    if (!found) return false;
    set_pitch(note, 0, best_degree, key - best_key);
    return true;
}

}  // namespace

bool medt_note_for_key(const MedtTrack& track, int32_t pos, int32_t key, MseqBlockNote* out) {
    MseqMusic* music = track.editor() ? track.editor()->music() : nullptr;
    MseqTrack* stored = track.stored();
    auto* notes = stored ? stored->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE) : nullptr;
    if (!music || !notes || pos < 0 || key < 0 || key > 127) return false;
    Resolver r(music, track.id(), int64_t{pos} * MseqTrack::kTicksPerBar / track.beats());
    if (!r.ready()) return false;
    const uint32_t type = MedtNotePress::new_note_type(*notes, music);
    MseqBlockNote note;
    note.set_type(type);
    bool done = false;
    int64_t k = 0;
    switch (note.m_Type) {
        case MNBT_PURE:
        case MNBT_TONE:
            done = letters(r, note.m_Type, key, &note);
            break;
        case MNBT_SDEG:
            done = scale_degree(r, key, &note);
            break;
        case MNBT_CDEG:
            done = chord_degree(r, key, &note);
            break;
        default:
            done = r.key(MNBT_RHYTHM, 0, 0, &k) && k == key;
            break;
    }
    if (!done) return false;
    note.m_Length = out->m_Length;
    *out = note;
    return true;
}
