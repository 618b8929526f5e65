#pragma once

#include <cstdint>

// The semitones of the letters C, D, E, F, G, A, B (0 to 6) above C: 0, 2, 4, 5, 7, 9, 11.
// `letter` is taken modulo 7. Any thread.
int32_t mseq_letter_offset(int32_t letter);

// How a pitch class is written: a letter (0 to 6) and an accidental (0, or +1 for a sharp).
struct MseqPitchName {
    int32_t letter;
    int32_t sharp;
};

// The name of the pitch class `pc` (taken modulo 12), with sharps: 1 is C sharp. Any thread.
MseqPitchName mseq_pitch_name(int32_t pc);

// Whether notes lowered by a transposition are written with flats (the next letter and -1)
// rather than sharps: the configuration's `m_DownSemiFlat`. Any thread may read; the
// user-interface thread sets it.
bool mseq_down_semi_flat();
void mseq_set_down_semi_flat(bool on);

// The pitch fields of a note block, widened so that the arithmetic cannot overflow.
struct MseqNotePitch {
    int32_t type;    // note block type: 1 pure, 2 tone, 3 scale degree, 4 chord degree, 5 rhythm
    int32_t octave;  // m_Octave
    int32_t whole;   // m_Whole: letter or degree
    int32_t semi;    // m_Semi: accidental
};

// Transposes a note by `semitones` (0 for plain normalisation) and brings its fields back into
// the ranges of its type: a pure note stays within keys 0 to 127, a tone note's octave within -2
// to 2, degrees within their ranges; rhythm notes and unknown types only have the accidental
// moved. With `down_flat`, a pure or tone note lowered onto a sharp is written as the next
// letter with a flat. Never fails; any thread that owns the note.
void mseq_note_transpose(MseqNotePitch& note, int32_t semitones, bool down_flat);

// The same on the fields of a note block (any type with m_Type, m_Octave, m_Whole and m_Semi),
// using the flat-spelling setting. The 8-bit fields wrap as 8-bit arithmetic would when an
// accidental of a rhythm note is moved far. User-interface thread.
template <class Note>
void mseq_note_normalize(Note& note, int32_t semitones) {
    MseqNotePitch p{static_cast<int32_t>(note.m_Type), note.m_Octave, note.m_Whole, note.m_Semi};
    mseq_note_transpose(p, semitones, mseq_down_semi_flat());
    note.m_Octave = static_cast<decltype(note.m_Octave)>(p.octave);
    note.m_Whole = static_cast<decltype(note.m_Whole)>(p.whole);
    note.m_Semi = static_cast<decltype(note.m_Semi)>(p.semi);
}
