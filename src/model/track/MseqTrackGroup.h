#pragma once

#include <cstdint>

#include "model/core/MseqId.h"
#include "model/track/MseqTrack.h"

// A group of tracks under the part: its members take its channel and chord track when they
// play. Threads as for MseqTrack.
class MseqTrackGroup : public MseqTrack {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_GROUP; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_GROUP ? this : MseqTrack::cast(type);
    }
    // Clamps m_Beat and m_Channel; never rejects.
    int validate() override;
    bool accepts_children() const override { return true; }
    int32_t get_channel() const override { return m_Channel; }
    bool set_channel(int32_t channel) override;
    MplyTrack* create_player_track(MplyMusic* player) override;

    int32_t m_Channel = 0;       // 0-15
    MSEQ_ID m_TrackChordID = 0;  // the chord track used (file number 1)

protected:
    void copy_settings_into(MseqTrack& other) const override;
};

// True for a MIDI channel number 0-15. Any thread.
constexpr bool mseq_channel_valid(int32_t channel) {
    return MseqTrack::kChannelRange.contains(channel);
}
