#include "play/tracks/MplyTrackRefer.h"

#include <new>

#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapStage.h"
#include "model/track/MseqTrackInherit.h"
#include "model/track/MseqTrackLabel.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyRunSet.h"

MplyTrack* MseqTrackRefer::create_player_track(MplyMusic* player) {
    return new (std::nothrow) MplyTrackRefer(player, this);
}

MplyTrackRefer::MplyTrackRefer(MplyMusic* music, MseqTrackRefer* source)
    : MplyTrackSeq(music, source) {}

MplyTrackRefer::~MplyTrackRefer() {
    m_ChildMusic.reset();
}

int64_t mply_phrase_length(MseqMusic& phrase, const MplyRunSet& reach) {
    int64_t longest = 0;
    for (const auto& [id, node] : phrase.tracks) {
        ref_ptr<MseqEntity> e = reach.object(&phrase, node->id, node->type);
        if (auto* track = e ? e->cast_to<MseqTrack>(MTYPE_TRACK) : nullptr) {
            const int64_t length = track->length_ticks();
            if (length > longest) longest = length;
        }
    }
    return longest;
}

bool MplyTrackRefer::Prepare(MplyContext& context) {
    if (!PrepareCommon(context, true, true, MplyCursorRule::kLastBefore)) return false;
    const MseqTrackRefer& src = *m_Source;
    m_ChildContext = context;
    m_ChildContext.refer_source = &src;
    m_ChildContext.channel = mseq_effective_channel(&src);
    m_ChildContext.chord_source = mply_chord_track(m_Music, mseq_effective_chord_track(&src));
    const int32_t ch = m_ChildContext.channel;
    const MseqMapStage* stage = m_Music->stage_map();
    // A channel outside 0-15 names no MIDI channel: such a track stays silent.
    if (ch < 0 || ch > 15 || (stage && !(stage->m_Blocks[ch].m_Flags & MSTAGE_USED))) {
        m_Cursor = src.blocks().end();
        return false;
    }
    m_ChildMusic.reset();
    m_BlockStart = m_BlockEnd = 0;
    return true;
}

bool MplyTrackRefer::Generate(MplyContext& context) {
    for (;;) {
        if (AtEnd()) return false;
        if (m_ChildMusic) {
            m_ChildContext.window_start = context.window_start;
            m_ChildContext.window_end = context.window_end;
            bool last = false;
            if (m_ChildContext.window_end >= m_BlockEnd) {
                m_ChildContext.window_end = m_BlockEnd;
                last = true;
            }
            if (m_ChildMusic->GeneratePass(m_ChildContext) && !last) return true;
            m_ChildMusic.reset();
            ++m_Cursor;
            continue;
        }
        bool more = false;
        if (PastWindow(PlainTime(context), context, &more)) return more;
        if (!StartBlock(context)) {
            m_ChildMusic.reset();
            ++m_Cursor;
        }
    }
}

bool MplyTrackRefer::StartBlock(const MplyContext& context) {
    const MseqBlockRefer& block = m_Cursor->second;
    ref_ptr<MseqEntity> entity = m_Music->OpenObject(block.m_PhraseID, MTYPE_LEAF_PHRASE);
    auto* phrase = entity ? entity->cast_to<MseqMusic>(MTYPE_LEAF_PHRASE) : nullptr;
    if (!phrase) return false;
    MplyContext& child = m_ChildContext;
    int64_t seek = 0;
    int64_t marker_end = 0;

    if (!block.m_StartMarker.empty()) {
        MseqObject* node = phrase->find_track(MID_TRACK_MARKER);
        if (!node || node->type != MTYPE_TRACK_MARKER) return false;
        ref_ptr<MseqEntity> e = m_Music->reach()->object(phrase, node->id, node->type);
        auto* markers = e ? e->cast_to<MseqTrackMarker>(MTYPE_TRACK_MARKER) : nullptr;
        if (!markers || markers->m_Beat < 1) return false;
        const auto& labels = markers->blocks();
        auto it = labels.begin();
        while (it != labels.end() && it->second.m_Label != block.m_StartMarker)
            ++it;
        if (it == labels.end()) return false;
        seek = static_cast<int64_t>(it->first) * MseqTrack::kTicksPerBar / markers->m_Beat;
        if (block.m_Mode == MRBM_STRETCH && ++it != labels.end())
            marker_end =
                static_cast<int64_t>(it->first) * MseqTrack::kTicksPerBar / markers->m_Beat;
    }

    const int64_t block_start = static_cast<int64_t>(m_Cursor->first) * m_Unit;
    const int64_t block_end = (static_cast<int64_t>(m_Cursor->first) + block.m_Length) * m_Unit;
    int64_t factor = child.stretch_factor;
    if (block.m_Mode == MRBM_STRETCH) {
        if (marker_end < 1) marker_end = mply_phrase_length(*phrase, *m_Music->reach());
        // A section of no length (a start marker at or past the phrase's end) cannot be
        // stretched to fill the block, and a factor outside 1 to 2^31 - 1 cannot be held: such
        // a block is skipped.
        const int64_t section = marker_end - seek;
        if (section < 1) return false;
        factor = (block_end - block_start) * kMplyStretchOne / section;
        if (factor < 1 || factor > INT32_MAX) return false;
        child.stretch_origin = mply_clamp32(seek);
        child.stretch_factor = static_cast<int32_t>(factor);
    }
    child.marker_end = mply_clamp32(marker_end);

    m_ChildMusic.reset(new (std::nothrow) MplyMusic(phrase, m_Music->reach()));
    if (!m_ChildMusic) return false;

    int64_t start = block_start;
    child.time_offset = mply_clamp32(block_start - seek);
    child.cut_end = mply_clamp32(block_end);
    child.refer_mode = static_cast<int32_t>(block.m_Mode);
    child.degree_shift = block.m_Rotation;
    if (start < context.seek) {
        int64_t d = context.seek - start;
        start = context.seek;
        if (block.m_Mode == MRBM_STRETCH) d = d * kMplyStretchOne / factor;
        seek += d;
    }
    child.seek = mply_clamp32(seek);
    m_BlockStart = mply_clamp32(start);
    m_BlockEnd = mply_clamp32(block_end);
    return m_ChildMusic->BuildAndPrepare(child);
}
