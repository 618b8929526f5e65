#include "model/track/MseqTrackValue.h"

#include <algorithm>

#include "model/track/MseqTrackGroup.h"

bool MseqTrackValue::clamp_value(MseqBlockValue* block) const {
    if (block)
        block->m_Value = static_cast<int32_t>(mseq_clamp(block->m_Value, value_min(), value_max()));
    return true;
}

int MseqTrackMsg::validate() {
    // The form is settled first: the sequence's validation clamps every value against it.
    m_Form.validate();
    MseqTrackValue::validate();
    m_Channel = kChannelRange.clamp(m_Channel);
    m_Power = kScaleRange.clamp(m_Power);
    m_STime = kTimeLagRange.clamp(m_STime);
    return 1;
}

bool MseqTrackMsg::set_channel(int32_t channel) {
    if (!mseq_channel_valid(channel)) return false;
    m_Channel = channel;
    return true;
}

int32_t MseqTrackMsg::value_min() const {
    if (m_Form.m_Vars.empty()) return 0;
    return std::min(m_Form.m_Vars.front().m_Min, m_Form.m_Vars.front().m_Max);
}

int32_t MseqTrackMsg::value_max() const {
    if (m_Form.m_Vars.empty()) return 127;
    return std::max(m_Form.m_Vars.front().m_Min, m_Form.m_Vars.front().m_Max);
}

int32_t MseqTrackMsg::value_default() const {
    if (m_Form.m_Vars.empty()) return 100;
    return static_cast<int32_t>(mseq_clamp(m_Form.m_Vars.front().m_Def, value_min(), value_max()));
}

void MseqTrackMsg::copy_settings_into(MseqTrack& other) const {
    MseqTrackValue::copy_settings_into(other);
    auto& msg = static_cast<MseqTrackMsg&>(other);
    msg.m_Channel = m_Channel;
    msg.m_Power = m_Power;
    msg.m_STime = m_STime;
    msg.m_Form = m_Form;
}
