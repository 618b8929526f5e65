#include "model/track/MseqTrackNote.h"

#include "model/track/MseqTrackGroup.h"

int MseqTrackNote::validate() {
    MseqTrackSequence::validate();
    m_Channel = kChannelRange.clamp(m_Channel);
    if (m_Rhythm.m_Attrib == MWORD_DRUM_SOUND) {
        m_Rhythm.normalize();
    } else {
        m_Rhythm.m_Attrib = MWORD_NONE;
    }
    return 1;
}

bool MseqTrackNote::set_channel(int32_t channel) {
    if (!mseq_channel_valid(channel)) return false;
    m_Channel = channel;
    return true;
}

int64_t MseqTrackNote::length_rate_256() const {
    const int64_t scaled = static_cast<int64_t>(m_LRate) * 256;
    // Rounded towards positive infinity also for a negative rate from a damaged file.
    return scaled / 100 + ((scaled % 100 > 0) ? 1 : 0);
}

void MseqTrackNote::copy_settings_into(MseqTrack& other) const {
    MseqTrackSequence::copy_settings_into(other);
    auto& note = static_cast<MseqTrackNote&>(other);
    note.m_Channel = m_Channel;
    note.m_TrackChordID = m_TrackChordID;
    note.m_Rhythm = m_Rhythm;
    note.m_Octave = m_Octave;
    note.m_LRate = m_LRate;
    note.m_VRate = m_VRate;
    note.m_STime = m_STime;
    note.m_ETime = m_ETime;
    note.m_NoteType = m_NoteType;
}
