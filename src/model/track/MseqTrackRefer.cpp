#include "model/track/MseqTrackRefer.h"

#include <algorithm>

#include "model/track/MseqReplace.h"
#include "model/track/MseqTrackGroup.h"

int MseqTrackRefer::validate() {
    MseqTrackSequence::validate();
    m_Channel = kChannelRange.clamp(m_Channel);
    return 1;
}

bool MseqTrackRefer::set_channel(int32_t channel) {
    if (!mseq_channel_valid(channel)) return false;
    m_Channel = channel;
    return true;
}

bool MseqTrackRefer::replace(MseqReplace* replacement) {
    auto* refer = replacement
                      ? static_cast<MseqReplaceRefer*>(replacement->cast(MseqReplaceRefer::kKind))
                      : nullptr;
    if (!refer) return false;
    const int32_t from = std::min(refer->m_From, refer->m_To);
    const int32_t to = std::max(refer->m_From, refer->m_To);
    if (blocks().empty() || from == to || !(refer->m_Set & (MREPLACE_PHRASE | MREPLACE_MARKER)))
        return false;
    int32_t changed = 0;
    auto& map = mutable_blocks();
    for (auto it = map.lower_bound(from); it != map.end() && it->first < to; ++it) {
        if (!refer->matches(it->second)) continue;
        refer->apply(it->second);
        ++changed;
    }
    refer->m_Count = changed;
    return true;
}

void MseqTrackRefer::copy_settings_into(MseqTrack& other) const {
    MseqTrackSequence::copy_settings_into(other);
    auto& refer = static_cast<MseqTrackRefer&>(other);
    refer.m_Channel = m_Channel;
    refer.m_TrackChordID = m_TrackChordID;
    refer.m_Octave = m_Octave;
    refer.m_VRate = m_VRate;
    refer.m_STime = m_STime;
}
