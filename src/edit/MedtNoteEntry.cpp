#include "edit/MedtNoteEntry.h"

#include <cstdlib>
#include <vector>

#include "edit/MedtKeyEntry.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "edit/MedtTransaction.h"
#include "edit/press/MedtBlockPress.h"
#include "edit/press/MedtChordPress.h"
#include "model/core/floor_math.h"
#include "model/theory/MseqNoteTheory.h"
#include "model/track/MseqTrack.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackInherit.h"
#include "model/track/MseqTrackNote.h"

namespace {

// How far octave marks may go from the track's octave: pure notes then stay within octaves 0-10.
constexpr int32_t kMaxShift = 5;
// The pure notes' octave of middle C (key 60).
constexpr int32_t kPureOctave = 5;

// The letter each key (pitch class above C) is written with: C, Db, D, Eb, E, F, F#, G, Ab, A,
// Bb, B, as major keys are commonly named.
constexpr int32_t kKeyLetter[12] = {0, 1, 1, 2, 2, 3, 3, 4, 5, 5, 6, 6};

int32_t letter_of(char key) {
    switch (key) {
        case 'C':
        case 'c':
            return 0;
        case 'D':
        case 'd':
            return 1;
        case 'E':
        case 'e':
            return 2;
        case 'F':
        case 'f':
            return 3;
        case 'G':
        case 'g':
            return 4;
        case 'A':
        case 'a':
            return 5;
        case 'B':
        case 'b':
            return 6;
        default:
            return -1;
    }
}

// A tone note's pitch fields for the typed pitch `p` (semitones above the track octave's C) in
// the key `tone_key`, written from the key's letter: the letter as far above the key's letter
// as the typed one is above C, with the accidental that keeps the pitch. Where that would take
// more than a double accidental, the pitch class is written with a sharp.
void tone_fields(int32_t letter, int32_t p, int32_t tone_key, MseqBlockNote* note) {
    const int32_t q = p - tone_key;
    int32_t written =
        static_cast<int32_t>(floor_mod(letter - kKeyLetter[floor_mod(tone_key, 12)], 7));
    int32_t semi = static_cast<int32_t>(floor_mod(q - mseq_letter_offset(written) + 6, 12)) - 6;
    if (std::abs(semi) > 2) {
        const MseqPitchName name = mseq_pitch_name(static_cast<int32_t>(floor_mod(q, 12)));
        written = name.letter;
        semi = name.sharp;
    }
    note->m_Whole = static_cast<int8_t>(written);
    note->m_Semi = static_cast<int8_t>(semi);
    note->m_Octave = static_cast<int8_t>(floor_div(q - mseq_letter_offset(written) - semi, 12));
}

}  // namespace

MseqBlockNote MedtNoteEntry::typed_note(uint32_t type, int32_t letter_or_degree, int32_t semi,
                                        int32_t shift, int32_t tone_key) {
    MseqBlockNote note;
    note.set_type(type);
    switch (note.m_Type) {
        case MNBT_PURE:
            note.m_Octave = static_cast<int8_t>(kPureOctave + shift);
            note.m_Whole = static_cast<int8_t>(letter_or_degree);
            note.m_Semi = static_cast<int8_t>(semi);
            break;
        case MNBT_TONE:
            tone_fields(letter_or_degree, mseq_letter_offset(letter_or_degree) + semi + 12 * shift,
                        tone_key, &note);
            break;
        case MNBT_SDEG:
        case MNBT_CDEG:
            note.m_Octave = static_cast<int8_t>(shift);
            note.m_Whole = static_cast<int8_t>(letter_or_degree);
            note.m_Semi = static_cast<int8_t>(semi);
            break;
        default:
            break;  // a rhythm hit has no pitch of its own
    }
    return note;
}

int32_t MedtNoteEntry::tone_key_at(const MseqTrackNote& track, int32_t pos) {
    const MseqMusic* music = track.owning_music();
    const MseqTrackChord* chords = mseq_find_chord_track(music, mseq_effective_chord_track(&track));
    if (!chords) return 0;
    const int64_t at = mseq_regrid(pos, std::max(track.m_Beat, 1), chords->m_Beat);
    ref_ptr<MseqMapChord> map = MedtChordPress::map_at(*chords, static_cast<int32_t>(at), music);
    return map ? map->m_ToneKey : 0;
}

MseqTrackNote* MedtNoteEntry::current_notes() const {
    MedtTrack* track = editor_.current();
    MseqTrack* stored = track ? track->stored() : nullptr;
    return stored ? stored->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE) : nullptr;
}

MedtEntryResult MedtNoteEntry::check() const {
    if (editor_.read_only() || !editor_.music()) return MedtEntryResult::read_only;
    if (!current_notes()) return MedtEntryResult::no_track;
    if (value_.steps(current_notes()->m_Beat) < 1) return MedtEntryResult::off_grid;
    return MedtEntryResult::entered;
}

MedtEntryResult MedtNoteEntry::key(char key) {
    if (key == ' ') return MedtEntryResult::nothing;
    if (key == '\b') return erase_previous();
    if (key == 'r' || key == 'R') return rest();
    if (key == '#' || key == '-') return amend(key == '#' ? 1 : -1, 0);
    if (key == ',' || key == '.') return amend(0, key == '.' ? 1 : -1);
    MseqTrackNote* notes = current_notes();
    if (!notes) return check();
    const uint32_t type = MedtNotePress::new_note_type(*notes, editor_.music());
    const int32_t letter = letter_of(key);
    const int32_t digit = key >= '1' && key <= '9' ? key - '0' : -1;
    switch (type) {
        case MNBT_PURE:
        case MNBT_TONE:
            if (letter < 0) return MedtEntryResult::not_a_key;
            return enter(letter, 0);
        case MNBT_SDEG:
            if (digit < 1 || digit > 7) return MedtEntryResult::not_a_key;
            return enter(digit - 1, 0);
        case MNBT_CDEG:
            if (key == 'n' || key == 'N') {
                negative_ = !negative_;
                return MedtEntryResult::negative;
            }
            if (digit < 1) return MedtEntryResult::not_a_key;
            return enter(negative_ ? -digit : digit - 1, 0);
        default:
            if (letter < 0 && digit < 1 && key != 'x' && key != 'X')
                return MedtEntryResult::not_a_key;
            return enter(0, 0);
    }
}

MedtEntryResult MedtNoteEntry::type(std::string_view text) {
    MedtEntryResult last = MedtEntryResult::nothing;
    for (char c : text) {
        last = key(c);
        if (last == MedtEntryResult::read_only || last == MedtEntryResult::no_track ||
            last == MedtEntryResult::off_grid || last == MedtEntryResult::refused)
            break;
    }
    return last;
}

MedtEntryResult MedtNoteEntry::enter(int32_t letter_or_degree, int32_t semi) {
    negative_ = false;
    return place(Typed{letter_or_degree, semi});
}

MseqBlockNote MedtNoteEntry::build(const MseqTrackNote& track, const Typed& typed,
                                   int32_t pos) const {
    const uint32_t type = MedtNotePress::new_note_type(track, editor_.music());
    const int32_t key = type == MNBT_TONE ? tone_key_at(track, pos) : 0;
    MseqBlockNote note = typed_note(type, typed.letter, typed.semi, shift_, key);
    note.m_Length = value_.steps(track.m_Beat);
    return note;
}

bool MedtNoteEntry::write(MedtTrack& track, const MseqTrackNote& notes, int32_t pos,
                          const MseqBlockNote& block) {
    // The new note takes its steps over: a note sounding into them ends where it starts, and
    // the notes starting inside them go.
    std::vector<std::pair<int32_t, MseqBlockNote>> cut;
    std::vector<int32_t> gone;
    notes.for_blocks_meeting(pos, pos + block.m_Length - 1,
                             [&](int32_t start, int32_t, const MseqBlockNote& b) {
                                 if (start < pos) {
                                     MseqBlockNote shorter = b;
                                     shorter.m_Length = pos - start;
                                     cut.emplace_back(start, shorter);
                                 } else if (start > pos) {
                                     gone.push_back(start);
                                 }
                             });
    for (const auto& [start, b] : cut) {
        if (track.set_block(start, &b) == 0) return false;
    }
    for (int32_t start : gone) {
        if (track.set_block(start, nullptr) == 0) return false;
    }
    return track.set_block(pos, &block) != 0;
}

MedtEntryResult MedtNoteEntry::put(MedtTrack& track, const MseqTrackNote& notes, int32_t pos,
                                   const MseqBlockNote& block) {
    MedtTransaction transaction(editor_);
    has_last_ = false;
    if (!write(track, notes, pos, block)) {
        transaction.rollback();
        return MedtEntryResult::refused;
    }
    // The group stays open for the accidentals and octave marks that follow the note.
    transaction.keep_open();
    editor_.set_cursor(&track, pos + block.m_Length, pos + block.m_Length);
    return MedtEntryResult::entered;
}

MedtEntryResult MedtNoteEntry::place(const Typed& typed) {
    const MedtEntryResult ok = check();
    if (ok != MedtEntryResult::entered) return ok;
    MedtTrack& track = *editor_.current();
    const MseqTrackNote& notes = *current_notes();
    const int32_t pos = editor_.cursor();
    const MedtEntryResult done = put(track, notes, pos, build(notes, typed, pos));
    if (done != MedtEntryResult::entered) return done;
    has_last_ = true;
    last_track_ = &track;
    last_pos_ = pos;
    last_typed_ = typed;
    last_block_ = *notes.block_at(pos);
    last_history_size_ = editor_.history().size();
    last_group_ = editor_.history().last_group();
    return done;
}

MedtEntryResult MedtNoteEntry::enter_key(int32_t key) {
    const MedtEntryResult ok = check();
    if (ok != MedtEntryResult::entered) return ok;
    negative_ = false;
    MedtTrack& track = *editor_.current();
    const MseqTrackNote& notes = *current_notes();
    const int32_t pos = editor_.cursor();
    MseqBlockNote block;
    block.m_Length = value_.steps(notes.m_Beat);
    if (!medt_note_for_key(track, pos, key, &block)) return MedtEntryResult::not_a_key;
    return put(track, notes, pos, block);
}

bool MedtNoteEntry::last_entry_still_there() const {
    if (!has_last_ || editor_.current() != last_track_) return false;
    // Any other edit since (an undo among them) ends what the marks may change.
    if (editor_.history().size() != last_history_size_ ||
        editor_.history().last_group() != last_group_)
        return false;
    const MseqTrackNote* notes = current_notes();
    const MseqBlockNote* block = notes ? notes->block_at(last_pos_) : nullptr;
    return block && *block == last_block_;
}

MedtEntryResult MedtNoteEntry::amend(int32_t semi_delta, int32_t octave_delta) {
    const int32_t shift =
        static_cast<int32_t>(clamp_range(shift_ + octave_delta, -kMaxShift, kMaxShift));
    if (!last_entry_still_there()) {
        has_last_ = false;
        if (semi_delta != 0) return MedtEntryResult::nothing;
        shift_ = shift;
        return MedtEntryResult::octave;
    }
    const MedtEntryResult ok = check();
    if (ok != MedtEntryResult::entered) return ok;
    shift_ = shift;
    Typed typed = last_typed_;
    typed.semi = static_cast<int32_t>(clamp_range(typed.semi + semi_delta, -2, 2));
    MedtTrack& track = *editor_.current();
    const MseqTrackNote& notes = *current_notes();
    MseqBlockNote block = build(notes, typed, last_pos_);
    block.m_Length = last_block_.m_Length;
    if (block == last_block_) return MedtEntryResult::nothing;
    MedtTransaction transaction(editor_, MedtTransaction::join_open);
    if (track.set_block(last_pos_, &block) == 0) {
        transaction.rollback();
        has_last_ = false;
        return MedtEntryResult::refused;
    }
    transaction.keep_open();
    last_typed_ = typed;
    last_block_ = block;
    last_history_size_ = editor_.history().size();
    last_group_ = editor_.history().last_group();
    return MedtEntryResult::changed;
}

MedtEntryResult MedtNoteEntry::rest() {
    const MedtEntryResult ok = check();
    if (ok != MedtEntryResult::entered) return ok;
    has_last_ = false;
    negative_ = false;
    MedtTrack& track = *editor_.current();
    const int32_t to = editor_.cursor() + value_.steps(current_notes()->m_Beat);
    editor_.set_cursor(&track, to, to);
    return MedtEntryResult::rest;
}

MedtEntryResult MedtNoteEntry::erase_previous() {
    MedtEntryResult ok = check();
    if (ok == MedtEntryResult::off_grid) ok = MedtEntryResult::entered;  // no value needed
    if (ok != MedtEntryResult::entered) return ok;
    has_last_ = false;
    MedtTrack& track = *editor_.current();
    const MseqTrackNote& notes = *current_notes();
    int32_t start = 0;
    const int32_t cursor = editor_.cursor();
    if (cursor < 1 || !notes.block_in_effect(cursor - 1, &start)) return MedtEntryResult::nothing;
    MedtTransaction transaction(editor_);
    if (track.set_block(start, nullptr) == 0) {
        transaction.rollback();
        return MedtEntryResult::refused;
    }
    transaction.commit();
    editor_.set_cursor(&track, start, start);
    return MedtEntryResult::erased;
}
