#pragma once

#include <cstdint>

#include "model/block/MseqBlockRefer.h"
#include "model/core/MseqId.h"
#include "model/track/MseqTrackSequence.h"

// A phrase track: phrases placed by reference. When a phrase plays through it, m_STime and
// m_Octave are added to the phrase's own and m_VRate scales its velocities. Threads as for
// MseqTrack.
class MseqTrackRefer : public MseqTrackSequence<MseqBlockRefer> {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_REFER; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_REFER ? this : MseqTrackSequence::cast(type);
    }
    // Clamps m_Beat and m_Channel and keeps every reference at least 1 step long; never
    // rejects.
    int validate() override;
    int32_t get_channel() const override { return m_Channel; }
    bool set_channel(int32_t channel) override;
    MplyTrack* create_player_track(MplyMusic* player) override;
    void linked_leaves(std::vector<MSEQ_ID>* ids) const override {
        for (const auto& [index, block] : blocks())
            ids->push_back(block.m_PhraseID);
    }
    // Gives every reference starting in [m_From, m_To) of the track's own grid (bounds taken in
    // either order) that meets the replacement's conditions its new values, and stores how
    // many were changed in it. False for another kind of replacement, an empty track, an empty
    // range or a replacement that sets nothing.
    bool replace(MseqReplace* replacement) override;

    // The octave offsets of m_Octave.
    static constexpr MseqRange kOctaveRange = {-2, 2};

    int32_t m_Channel = 0;       // 0-15
    MSEQ_ID m_TrackChordID = 0;  // the chord track used (file number 1)
    int32_t m_Octave = 0;        // added to the phrase's octave offset
    int32_t m_VRate = 100;       // velocity scale, percent
    int32_t m_STime = 0;         // start offset, ticks

protected:
    void copy_settings_into(MseqTrack& other) const override;
};
