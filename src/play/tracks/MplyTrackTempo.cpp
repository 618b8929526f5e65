#include "play/tracks/MplyTrackTempo.h"

#include <new>

#include "play/engine/MplyEventFactory.h"

MplyTrack* MseqTrackTempo::create_player_track(MplyMusic* player) {
    return new (std::nothrow) MplyTrackTempo(player, this);
}

bool MplyTrackTempo::Prepare(MplyContext& context) {
    return PrepareCommon(context, true, true, MplyCursorRule::kLastBefore);
}

bool MplyTrackTempo::Generate(MplyContext& context) {
    for (; !AtEnd(); ++m_Cursor) {
        const int64_t time = PlainTime(context);
        bool more = false;
        if (PastWindow(time, context, &more)) return more;
        if (!mply_event::tempo(*context.queue, mply_clamp32(time), m_Cursor->second.m_Value))
            return false;
    }
    return false;
}
