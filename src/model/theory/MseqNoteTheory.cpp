#include "model/theory/MseqNoteTheory.h"

#include "model/core/floor_math.h"
#include "model/library/MseqConfig.h"

namespace {

// Note block types, as the note blocks number them.
constexpr int32_t kPure = 1;
constexpr int32_t kTone = 2;
constexpr int32_t kScaleDegree = 3;
constexpr int32_t kChordDegree = 4;

constexpr int32_t kLetterOffsets[7] = {0, 2, 4, 5, 7, 9, 11};
constexpr MseqPitchName kPitchNames[12] = {
    {0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {3, 0}, {3, 1}, {4, 0}, {4, 1}, {5, 0}, {5, 1}, {6, 0},
};

// A note lowered onto a sharp is written one letter up with a flat: D sharp becomes E flat. A
// sharp is never on B, so the next letter stays within the octave.
void spell_flat(MseqNotePitch& note) {
    if (note.semi != 1) return;
    note.whole += 1;
    note.semi = -1;
}

}  // namespace

int32_t mseq_letter_offset(int32_t letter) {
    return kLetterOffsets[floor_mod(letter, 7)];
}

MseqPitchName mseq_pitch_name(int32_t pc) {
    return kPitchNames[floor_mod(pc, 12)];
}

bool mseq_down_semi_flat() {
    return mseq_config().m_DownSemiFlat != 0;
}

void mseq_set_down_semi_flat(bool on) {
    mseq_config().m_DownSemiFlat = on ? 1 : 0;
}

void mseq_note_transpose(MseqNotePitch& note, int32_t semitones, bool down_flat) {
    const int64_t semi = int64_t{note.semi} + semitones;
    switch (note.type) {
        case kPure: {
            const int64_t pitch =
                12 * (int64_t{note.octave} + floor_div(note.whole, 7)) +
                mseq_letter_offset(static_cast<int32_t>(floor_mod(note.whole, 7))) + semi;
            const int64_t key = floor_mod(pitch, 128);
            const MseqPitchName name = mseq_pitch_name(static_cast<int32_t>(key % 12));
            note.octave = static_cast<int32_t>(key / 12);
            note.whole = name.letter;
            note.semi = name.sharp;
            if (down_flat && semitones < 0) spell_flat(note);
            return;
        }
        case kTone: {
            const int64_t q =
                mseq_letter_offset(static_cast<int32_t>(floor_mod(note.whole, 7))) + semi;
            const int64_t octave =
                int64_t{note.octave} + floor_div(note.whole, 7) + floor_div(q, 12);
            const MseqPitchName name = mseq_pitch_name(static_cast<int32_t>(floor_mod(q, 12)));
            note.octave = static_cast<int32_t>(wrap_range(octave, -2, 2));
            note.whole = name.letter;
            note.semi = name.sharp;
            if (down_flat && semitones < 0) spell_flat(note);
            return;
        }
        case kScaleDegree:
            note.octave = static_cast<int32_t>(wrap_range(note.octave, -2, 2));
            note.whole = static_cast<int32_t>(floor_mod(note.whole, 12));
            note.semi = static_cast<int32_t>(wrap_range(semi, -1, 1));
            return;
        case kChordDegree:
            note.octave = static_cast<int32_t>(wrap_range(note.octave, -2, 2));
            note.whole = static_cast<int32_t>(wrap_range(note.whole, -12, 12));
            note.semi = static_cast<int32_t>(wrap_range(semi, -1, 1));
            return;
        default:
            // Rhythm notes sound their track's drum and ignore the accidental; it is moved like
            // the others but kept as the 8-bit field would hold it.
            note.semi = static_cast<int8_t>(static_cast<uint8_t>(semi & 0xFF));
            return;
    }
}
