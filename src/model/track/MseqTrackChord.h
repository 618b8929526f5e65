#pragma once

#include "model/block/MseqBlockChord.h"
#include "model/core/MseqId.h"
#include "model/track/MseqTrackSequence.h"

// The chords of a music: each chord holds from its index until the next one. Threads as for
// MseqTrack.
class MseqTrackChord : public MseqTrackSequence<MseqBlockChord> {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_CHORD; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_CHORD ? this : MseqTrackSequence::cast(type);
    }
    // Clamps m_Beat and points m_MapID into the music's own book unless it already names a
    // track (file number 1) or a leaf of that book (file number 2); never rejects.
    int validate() override;
    MplyTrack* create_player_track(MplyMusic* player) override;
    void linked_leaves(std::vector<MSEQ_ID>* ids) const override { ids->push_back(m_MapID); }

    MSEQ_ID m_MapID = 0;  // the chord map used (file number 2)

protected:
    void copy_settings_into(MseqTrack& other) const override {
        MseqTrackSequence::copy_settings_into(other);
        static_cast<MseqTrackChord&>(other).m_MapID = m_MapID;
    }
};
