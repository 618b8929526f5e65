#include "play/tracks/MplyTrackMsg.h"

#include <new>
#include <vector>

#include "model/block/MseqBlockRefer.h"
#include "model/track/MseqTrackRefer.h"
#include "play/engine/MplyEventFactory.h"

MplyTrack* MseqTrackMsg::create_player_track(MplyMusic* player) {
    return new (std::nothrow) MplyTrackMsg(player, this);
}

bool MplyTrackMsg::Prepare(MplyContext& context) {
    if (!PrepareCommon(context, true, false, MplyCursorRule::kLastBefore)) return false;
    if (!ChooseChannel(context, *m_Source, nullptr) || m_Source->m_Form.m_Msg.empty()) {
        m_Cursor = m_Source->blocks().end();
        return false;
    }
    int64_t lag = m_Source->m_STime;
    if (context.refer_source) lag += context.refer_source->m_STime;
    m_Lag = mply_clamp32(lag);
    m_Power = mply_clamp32(mply_ceil_percent(static_cast<int64_t>(m_Source->m_Power) * 256, 100));
    return true;
}

bool MplyTrackMsg::Generate(MplyContext& context) {
    const bool stretch = context.refer_mode == MRBM_STRETCH;
    const MseqMsgForm& form = m_Source->m_Form;
    const MseqMsgVar& var = form.m_Vars.empty() ? MseqMsgForm::kDefaultVar : form.m_Vars.front();
    for (; !AtEnd(); ++m_Cursor) {
        int64_t t = static_cast<int64_t>(m_Cursor->first) * m_Unit;
        if (stretch)
            t = context.stretch_origin +
                mply_stretch(t - context.stretch_origin, context.stretch_factor);
        bool more = false;
        if (PastWindow(t + context.time_offset, context, &more)) return more;
        const int64_t lag = stretch ? mply_stretch(m_Lag, context.stretch_factor) : m_Lag;
        const int64_t time = t + context.time_offset + lag;
        // A lag that pushes the message to the open end or beyond leaves nothing to send.
        if (time >= kMplyOpenEnd || form.m_Msg.empty()) continue;

        std::vector<uint8_t> bytes = form.m_Msg;
        if ((bytes[0] & 0xF0) != 0xF0) {
            for (uint8_t& b : bytes) {
                if (b & 0x80) b |= static_cast<uint8_t>(m_Channel & 0x0F);
            }
        }
        const int64_t base = var.m_Base;
        int64_t value = base + (((m_Cursor->second.m_Value - base) * m_Power) >> 8);
        if (value < var.m_Min) {
            value = var.m_Min;
        } else if (value > var.m_Max) {
            value = var.m_Max;
        }
        // Positions outside the message name no byte of it and are left alone.
        const auto size = static_cast<int64_t>(bytes.size());
        if (var.m_Lsb > 0 && var.m_Lsb < size)
            bytes[var.m_Lsb] = static_cast<uint8_t>(value & 0x7F);
        if (var.m_Msb > 0 && var.m_Msb < size)
            bytes[var.m_Msb] = static_cast<uint8_t>((value >> 7) & 0x7F);
        if (!mply_event::message(*context.queue, mply_clamp32(time),
                                 static_cast<uint8_t>(m_Channel), std::move(bytes)))
            return false;
    }
    return false;
}
