#include "play/tracks/MplyTrackChordMap.h"

#include <new>

#include "model/core/MseqObject.h"

MplyTrack* MseqTrackChordMap::create_player_track(MplyMusic* player) {
    return new (std::nothrow) MplyTrackChordMap(player, this);
}

bool MplyTrackChordMap::Prepare(MplyContext& context) {
    return PrepareCommon(context, false, true, MplyCursorRule::kFirstFrom);
}

bool MplyTrackChordMap::Generate(MplyContext& context) {
    while (!AtEnd()) {
        bool more = false;
        if (PastWindow(PlainTime(context), context, &more)) return more;
        m_Current = OpenMap(m_Cursor->second.m_LinkID);
        m_RangeStart = m_Cursor->first;
        ++m_Cursor;
        m_RangeEnd = AtEnd() ? INT32_MAX : static_cast<int32_t>(m_Cursor->first);
    }
    return false;
}

const MseqMapChord* MplyTrackChordMap::ChordMapAt(int64_t tick) {
    const int64_t u = mseq_regrid(tick, MseqTrack::kTicksPerBar, m_Source->m_Beat);
    if (m_RangeStart <= u && u < m_RangeEnd) return m_Current.get();
    const MseqBlockLink* block = m_Source->block_in_effect(u);
    if (!block) return nullptr;
    m_Queried = OpenMap(block->m_LinkID);
    return m_Queried.get();
}

ref_ptr<MseqMapChord> MplyTrackChordMap::OpenMap(MSEQ_ID id) const {
    ref_ptr<MseqEntity> e = m_Music ? m_Music->OpenObject(id, MTYPE_LEAF_CHORD) : nullptr;
    if (!e) return {};
    return ref_ptr<MseqMapChord>(e->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD));
}
