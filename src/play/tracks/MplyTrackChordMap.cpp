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
    const int64_t u = tick * m_Source->m_Beat / MseqTrack::kTicksPerBar;
    if (m_RangeStart <= u && u < m_RangeEnd) return m_Current.get();
    const auto& blocks = m_Source->blocks();
    if (u < INT32_MIN || u > INT32_MAX) return nullptr;
    auto it = blocks.upper_bound(static_cast<int32_t>(u));
    if (it == blocks.begin()) return nullptr;
    --it;
    m_Queried = OpenMap(it->second.m_LinkID);
    return m_Queried.get();
}

ref_ptr<MseqMapChord> MplyTrackChordMap::OpenMap(MSEQ_ID id) const {
    ref_ptr<MseqEntity> e = m_Music ? m_Music->OpenObject(id, MTYPE_LEAF_CHORD) : nullptr;
    if (!e) return {};
    return ref_ptr<MseqMapChord>(e->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD));
}
