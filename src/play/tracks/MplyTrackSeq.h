#pragma once

#include <cstdint>

#include "model/core/ref_ptr.h"
#include "model/track/MseqTrack.h"
#include "play/engine/MplyMusic.h"
#include "play/tracks/MplyTrack.h"

// How a block track places its cursor for the seek position u (in grid steps).
enum class MplyCursorRule {
    kFirstFrom,   // the first block at or after u: what lies before the start is not played
    kLastBefore,  // the last block before u (or the first block): its value is in effect at u
};

// A player track over a stored block sequence `Source`, with the block cursor and the common
// prepare steps. The engine's thread only.
template <class Source>
class MplyTrackSeq : public MplyTrack {
public:
    MplyTrackSeq(MplyMusic* music, Source* source) : MplyTrack(music), m_Source(source) {
        m_Cursor = m_Source->blocks().end();
    }
    MseqTrack* GetSource() const override { return m_Source.get(); }

protected:
    using BlockMap = typename Source::BlockMap;
    using Cursor = typename BlockMap::const_iterator;

    // The steps every block track takes first: the cursor goes past the last block; false when
    // the track is switched off (`test_output`), has no blocks, or (`own_music`) plays in a
    // context of another music; otherwise the unit is set and the cursor placed by `rule` for
    // the context's seek position.
    bool PrepareCommon(const MplyContext& context, bool test_output, bool own_music,
                       MplyCursorRule rule) {
        const BlockMap& blocks = m_Source->blocks();
        m_Cursor = blocks.end();
        if (test_output && !(m_Source->m_Flags & MTF_OUTPUT)) return false;
        if (blocks.empty()) return false;
        if (own_music && context.music != m_Music) return false;
        if (m_Source->m_Beat < 1) return false;  // no grid, no times
        m_Unit = MseqTrack::kTicksPerBar / m_Source->m_Beat;
        const int64_t u = static_cast<int64_t>(context.seek) / m_Unit;
        Cursor first = blocks.lower_bound(static_cast<int32_t>(u));
        if (rule == MplyCursorRule::kLastBefore && first != blocks.begin()) --first;
        m_Cursor = first;
        return true;
    }

    // m_Index × unit plus the context's time offset, computed wide.
    int64_t PlainTime(const MplyContext& context) const {
        return static_cast<int64_t>(m_Cursor->first) * m_Unit + context.time_offset;
    }

    // True when the block at the cursor starts at or after the window end; `more` then tells
    // whether it can still be played in a later window (it lies before the open end).
    static bool PastWindow(int64_t time, const MplyContext& context, bool* more) {
        if (time < context.window_end) return false;
        *more = time < kMplyOpenEnd;
        return true;
    }

    bool AtEnd() const { return m_Cursor == m_Source->blocks().end(); }

    ref_ptr<Source> m_Source;  // the stored track
    Cursor m_Cursor;           // next block to generate
};
