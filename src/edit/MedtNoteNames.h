#pragma once

#include <cstdint>

#include "model/core/CkvString.h"

class MedtTrack;
class MseqMusic;
class MseqTrackChord;
class MseqBlockNote;

// How the music view names the notes of a note track. Pitches (pure notes) and key tones (tone
// notes) are named by the pitch they are written as, in the key-name display of the chord map in
// effect where the note stands: letters ("C#5", in English "C♯5"), or the note names of the
// major or minor key table ("変ニ5", "嬰ハ5"; in English the letter the key is spelt with,
// "D♭5", "C♯5"), so the music reads the way its chord map shows its keys. Scale and chord
// degrees keep their numbers ("S3", "C-1", "C1(+1)"), rhythm notes a dot. Names are CP932 in
// the current language. User-interface thread.
class MedtNoteNames {
public:
    // Names the notes of `track`, finding its chord track as playing does: a group's for a
    // track inside a group, else the track's own.
    explicit MedtNoteNames(const MedtTrack& track);

    // The key-name display (0 letters, 1 major, 2 minor) of the chord map in effect at `pos` of
    // the track's grid; letters when no chord map is in effect.
    int32_t mode_at(int32_t pos) const;
    // The name of `note` standing at `pos`.
    CkvString name_at(const MseqBlockNote& note, int32_t pos) const {
        return name(note, mode_at(pos));
    }
    // The name of `note` in key-name display `mode`.
    static CkvString name(const MseqBlockNote& note, int32_t mode);

    // The signs letter names raise and lower with: "#" and "b" in Japanese, ♯ and ♭ in English.
    static const CkvString& sharp_sign();
    static const CkvString& flat_sign();
    // The letter name of pitch class `pc` (taken modulo 12), spelt with sharps ("C#", "C♯").
    static CkvString pitch_letter(int32_t pc);

private:
    const MseqMusic* music_ = nullptr;
    const MseqTrackChord* chord_track_ = nullptr;
    int32_t beats_ = 1;        // the note track's grid
    int32_t fixed_mode_ = -1;  // the mode when the chord track links one chord map for good
};
