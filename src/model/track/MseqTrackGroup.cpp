#include "model/track/MseqTrackGroup.h"

int MseqTrackGroup::validate() {
    MseqTrack::validate();
    m_Channel = kChannelRange.clamp(m_Channel);
    return 1;
}

bool MseqTrackGroup::set_channel(int32_t channel) {
    if (!mseq_channel_valid(channel)) return false;
    m_Channel = channel;
    return true;
}

void MseqTrackGroup::copy_settings_into(MseqTrack& other) const {
    MseqTrack::copy_settings_into(other);
    auto& group = static_cast<MseqTrackGroup&>(other);
    group.m_Channel = m_Channel;
    group.m_TrackChordID = m_TrackChordID;
}
