#include "play/tracks/MplyTrackLabel.h"

#include <new>

#include "play/engine/MplyEventFactory.h"

MplyTrack* MseqTrackLabel::create_player_track(MplyMusic* player) {
    return new (std::nothrow) MplyTrackLabel(player, this);
}

MplyTrackLabel::MplyTrackLabel(MplyMusic* music, MseqTrackLabel* source)
    : MplyTrackSeq(music, source) {
    const MSEQ_TYPE type = source->type();
    if (type == MTYPE_TRACK_LYRIC) m_TextType = MPLY_TEXT_LYRIC;
    if (type == MTYPE_TRACK_MARKER) m_TextType = MPLY_TEXT_MARKER;
}

bool MplyTrackLabel::Prepare(MplyContext& context) {
    m_Cursor = m_Source->blocks().end();
    if (!m_TextType) return false;
    return PrepareCommon(context, true, true, MplyCursorRule::kFirstFrom);
}

bool MplyTrackLabel::Generate(MplyContext& context) {
    for (; !AtEnd(); ++m_Cursor) {
        const int64_t time = PlainTime(context);
        bool more = false;
        if (PastWindow(time, context, &more)) return more;
        if (!mply_event::text(*context.queue, mply_clamp32(time), m_TextType,
                              &m_Cursor->second.m_Label))
            return false;
    }
    return false;
}
