#include "edit/MedtNoteNames.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "edit/MedtMusic.h"
#include "edit/MedtText.h"
#include "edit/MedtTrack.h"
#include "edit/press/MedtChordPress.h"
#include "model/block/MseqBlockNote.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqType.h"
#include "model/core/floor_math.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqKeyName.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqNoteTheory.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackInherit.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackNote.h"

namespace {

// The name a note takes in a major or minor key-name display, by pitch class: the name of the
// key's tonic with the key's own word taken off. Where the key table spells a tonic both ways
// (E flat minor is also D sharp minor, G flat major also F sharp major), the note's own
// accidental picks the spelling: `flat` for a lowered note, `sharp` otherwise.
struct KeyNote {
    medt_msg sharp;
    medt_msg flat;
};
constexpr KeyNote kMajorNotes[12] = {
    {medt_msg::NOTE_C, medt_msg::NOTE_C},
    {medt_msg::NOTE_D_FLAT, medt_msg::NOTE_D_FLAT},
    {medt_msg::NOTE_D, medt_msg::NOTE_D},
    {medt_msg::NOTE_E_FLAT, medt_msg::NOTE_E_FLAT},
    {medt_msg::NOTE_E, medt_msg::NOTE_E},
    {medt_msg::NOTE_F_MAJOR, medt_msg::NOTE_F_MAJOR},
    {medt_msg::NOTE_F_SHARP, medt_msg::NOTE_G_FLAT},
    {medt_msg::NOTE_G, medt_msg::NOTE_G},
    {medt_msg::NOTE_A_FLAT, medt_msg::NOTE_A_FLAT},
    {medt_msg::NOTE_A, medt_msg::NOTE_A},
    {medt_msg::NOTE_B_FLAT, medt_msg::NOTE_B_FLAT},
    {medt_msg::NOTE_B, medt_msg::NOTE_B},
};
constexpr KeyNote kMinorNotes[12] = {
    {medt_msg::NOTE_C, medt_msg::NOTE_C},
    {medt_msg::NOTE_C_SHARP, medt_msg::NOTE_C_SHARP},
    {medt_msg::NOTE_D, medt_msg::NOTE_D},
    {medt_msg::NOTE_D_SHARP, medt_msg::NOTE_E_FLAT},
    {medt_msg::NOTE_E, medt_msg::NOTE_E},
    {medt_msg::NOTE_F, medt_msg::NOTE_F},
    {medt_msg::NOTE_F_SHARP, medt_msg::NOTE_F_SHARP},
    {medt_msg::NOTE_G, medt_msg::NOTE_G},
    {medt_msg::NOTE_G_SHARP, medt_msg::NOTE_G_SHARP},
    {medt_msg::NOTE_A, medt_msg::NOTE_A},
    {medt_msg::NOTE_B_FLAT, medt_msg::NOTE_B_FLAT},
    {medt_msg::NOTE_B, medt_msg::NOTE_B},
};

std::string key_note_name(int32_t pc, int32_t mode, int32_t semi) {
    const KeyNote& n = (mode == MKEYNAME_MINOR ? kMinorNotes : kMajorNotes)[floor_mod(pc, 12)];
    return medt_text(semi < 0 ? n.flat : n.sharp).str();
}

std::string letter_name(const MseqBlockNote& note) {
    static const char kLetters[] = "CDEFGAB";
    std::string name(1, kLetters[floor_mod(note.m_Whole, 7)]);
    const std::string& sign =
        note.m_Semi > 0 ? MedtNoteNames::sharp_sign().str() : MedtNoteNames::flat_sign().str();
    for (int i = 0; i < std::abs(int(note.m_Semi)) && i < 3; ++i)
        name += sign;
    return name;
}

// Pure notes carry their octave; tone notes an octave shift, shown when not zero.
// (Formatted with snprintf: GCC 12 warns falsely about prefixing short strings when optimising.)
std::string octave_text(const MseqBlockNote& note) {
    if (note.m_Type != MNBT_PURE && note.m_Octave == 0) return {};
    char text[8];
    std::snprintf(text, sizeof text, note.m_Type == MNBT_PURE ? "%d" : "%+d", int(note.m_Octave));
    return text;
}

// Degrees count from 1 upwards; a chord degree below the chord's first note counts down from -1
// (the chord's top note an octave lower), so "C-1" and "C1" are neighbours. The octave shift
// follows in parentheses, where a bare sign would read as part of the number.
std::string degree_text(const MseqBlockNote& note) {
    const int whole = note.m_Whole;
    char text[24];
    int n = std::snprintf(text, sizeof text, "%c%d", note.m_Type == MNBT_SDEG ? 'S' : 'C',
                          whole >= 0 ? whole + 1 : whole);
    for (int i = 0; i < std::abs(int(note.m_Semi)) && i < 3; ++i)
        text[n++] = note.m_Semi > 0 ? '#' : 'b';
    text[n] = '\0';
    if (note.m_Octave != 0) std::snprintf(text + n, sizeof text - n, "(%+d)", int(note.m_Octave));
    return text;
}

}  // namespace

MedtNoteNames::MedtNoteNames(const MedtTrack& track)
    : music_(track.editor() ? track.editor()->music() : nullptr), beats_(track.beats()) {
    chord_track_ = mseq_find_chord_track(music_, mseq_effective_chord_track(track.stored()));
    if (!chord_track_) {
        fixed_mode_ = MKEYNAME_LETTER;
        return;
    }
    // A chord track that links a chord map itself (not through a transposition track) has the
    // same map everywhere: look it up once.
    MseqObject* link = music_->find(chord_track_->m_MapID);
    if (!link || link->type != MTYPE_TRACK_CHORD_MAP) fixed_mode_ = mode_at(0);
}

int32_t MedtNoteNames::mode_at(int32_t pos) const {
    if (fixed_mode_ >= 0) return fixed_mode_;
    // The chord track counts in its own grid: the same moment in its units.
    const int64_t at = mseq_regrid(pos, std::max(beats_, 1), chord_track_->m_Beat);
    ref_ptr<MseqMapChord> map =
        MedtChordPress::map_at(*chord_track_, static_cast<int32_t>(at), music_);
    return map ? static_cast<int32_t>(map->m_Scale.m_ShowTune) : MKEYNAME_LETTER;
}

CkvString MedtNoteNames::name(const MseqBlockNote& note, int32_t mode) {
    std::string text;
    switch (note.m_Type) {
        case MNBT_PURE:
        case MNBT_TONE:
            if (mode == MKEYNAME_MAJOR || mode == MKEYNAME_MINOR) {
                const int32_t pc = mseq_letter_offset(note.m_Whole) + note.m_Semi;
                text = key_note_name(pc, mode, note.m_Semi);
            } else {
                text = letter_name(note);
            }
            text += octave_text(note);
            break;
        case MNBT_SDEG:
        case MNBT_CDEG:
            text = degree_text(note);
            break;
        default:
            return medt_text(medt_msg::RHYTHM_NOTE_MARK);
    }
    return CkvString(text);
}

const CkvString& MedtNoteNames::sharp_sign() {
    return medt_text(medt_msg::SHARP_SIGN);
}

const CkvString& MedtNoteNames::flat_sign() {
    return medt_text(medt_msg::FLAT_SIGN);
}

CkvString MedtNoteNames::pitch_letter(int32_t pc) {
    static const char kLetters[] = "CDEFGAB";
    const MseqPitchName name = mseq_pitch_name(pc);
    std::string text(1, kLetters[name.letter % 7]);
    if (name.sharp) text += sharp_sign().str();
    return CkvString(text);
}
