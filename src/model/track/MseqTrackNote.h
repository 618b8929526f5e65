#pragma once

#include <cstdint>

#include "model/block/MseqBlockNote.h"
#include "model/block/MseqBlockWord.h"
#include "model/core/MseqId.h"
#include "model/track/MseqTrackSequence.h"

// A track of notes. Its settings shape how the notes sound: a note starts at its index plus
// m_STime ticks and sounds for its written length times m_LRate percent plus m_ETime ticks
// (block flags MNBF_OWN_STIME and MNBF_OWN_ETIME override these per note). Threads as for
// MseqTrack.
class MseqTrackNote : public MseqTrackSequence<MseqBlockNote> {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_NOTE; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_NOTE ? this : MseqTrackSequence::cast(type);
    }
    // Clamps m_Beat and m_Channel, keeps m_Rhythm a drum sound (any other kind becomes 0) and
    // every note at least 1 step long; never rejects.
    int validate() override;
    int32_t get_channel() const override { return m_Channel; }
    bool set_channel(int32_t channel) override;
    MplyTrack* create_player_track(MplyMusic* player) override;

    // The sounding length rate as the player uses it: m_LRate percent in 256ths, rounded up
    // (ceil(m_LRate × 256 / 100)). Never fails.
    int64_t length_rate_256() const;

    // The octaves of m_Octave, the sounding length rates of m_LRate and the note kinds of
    // m_NoteType (besides kNoteTypeOfEditor, which takes the music's note state).
    static constexpr MseqRange kOctaveRange = {1, 9};
    static constexpr MseqRange kLengthRateRange = {4, 120};
    static constexpr MseqRange kNoteTypeRange = {1, 5};
    static constexpr uint32_t kNoteTypeOfEditor = 0x8000;

    int32_t m_Channel = 0;                    // 0-15
    MSEQ_ID m_TrackChordID = 0;               // the chord track used (file number 1)
    MseqBlockWord m_Rhythm;                   // kind 18: the drum note MNBT_RHYTHM notes sound
    int32_t m_Octave = 5;                     // octave offset
    int32_t m_LRate = 100;                    // sounding length, percent of the written length
    int32_t m_VRate = 100;                    // velocity scale, percent
    int32_t m_STime = 0;                      // start offset, ticks
    int32_t m_ETime = 0;                      // length offset, ticks
    uint32_t m_NoteType = kNoteTypeOfEditor;  // MNBT_* of new notes, or the music's m_NoteState

protected:
    void copy_settings_into(MseqTrack& other) const override;
};
