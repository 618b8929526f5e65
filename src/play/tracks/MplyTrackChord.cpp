#include "play/tracks/MplyTrackChord.h"

#include <new>

#include "model/core/MseqObject.h"
#include "play/tracks/MplyTrackChordMap.h"

MplyTrack* MseqTrackChord::create_player_track(MplyMusic* player) {
    return new (std::nothrow) MplyTrackChord(player, this);
}

bool MplyTrackChord::Prepare(MplyContext& context) {
    m_FixedMap.reset();
    m_MapSource = nullptr;
    m_Cached = nullptr;
    m_CacheStart = m_CacheEnd = 0;
    const MSEQ_ID id = m_Source->m_MapID;
    if (ref_ptr<MseqEntity> map = m_Music->OpenObject(id, MTYPE_LEAF_CHORD)) {
        m_FixedMap = ref_ptr<MseqMapChord>(map->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD));
    } else if (m_Music->OpenObject(id, MTYPE_TRACK_CHORD_MAP)) {
        MplyTrack* t = m_Music->FindTrack(id);
        if (t && t->IsKindOf(MPLY_TRACK_CHORD_MAP))
            m_MapSource = static_cast<MplyTrackChordMap*>(t);
    }
    return PrepareCommon(context, false, true, MplyCursorRule::kFirstFrom);
}

bool MplyTrackChord::Generate(MplyContext& context) {
    while (!AtEnd()) {
        const int64_t time = PlainTime(context);
        bool more = false;
        if (PastWindow(time, context, &more)) return more;
        m_Cached = ChordOf(m_Cursor->second, time);
        m_CacheStart = m_Cursor->first;
        ++m_Cursor;
        m_CacheEnd = AtEnd() ? INT32_MAX : static_cast<int32_t>(m_Cursor->first);
    }
    return false;
}

const MseqMapChord* MplyTrackChord::ChordMapAt(int64_t tick) {
    if (m_FixedMap) return m_FixedMap.get();
    return m_MapSource ? m_MapSource->ChordMapAt(tick) : nullptr;
}

const MseqBlockChord* MplyTrackChord::ChordAt(int64_t tick) {
    const int64_t u = mseq_regrid(tick, MseqTrack::kTicksPerBar, m_Source->m_Beat);
    if (m_CacheStart <= u && u < m_CacheEnd) return m_Cached;
    const MseqBlockChord* block = m_Source->block_in_effect(u);
    return block ? ChordOf(*block, tick) : nullptr;
}

const MseqBlockChord* MplyTrackChord::ChordOf(const MseqBlockChord& block, int64_t tick) {
    // A chord of its own needs no map: the map in effect is looked up only for a degree.
    if (block.m_Flags & MCHORD_NO_KEY) return &block;
    return mseq_chord_in_effect(block, ChordMapAt(tick));
}
