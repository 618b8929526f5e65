#include "play/tracks/MplyTrack.h"

#include <new>

#include "model/core/MseqObject.h"
#include "model/theory/MseqMapStage.h"
#include "model/track/MseqTrack.h"
#include "model/track/MseqTrackInherit.h"
#include "play/engine/MplyMusic.h"
#include "play/tracks/MplyTrackChord.h"

MplyTrack* MseqTrack::create_player_track(MplyMusic* player) {
    return new (std::nothrow) MplyTrack(player);
}

bool MplyTrack::Prepare(MplyContext&) {
    return false;
}

bool MplyTrack::Generate(MplyContext&) {
    return false;
}

namespace {

// True when the stored track lies in a phrase's track tree.
bool under_phrase_root(const MseqTrack& source) {
    const MseqObject* node = source.owner;
    if (!node) return false;
    while (node->parent())
        node = node->parent();
    return node->type == MTYPE_TRACK_ROOT_PHRASE;
}

}  // namespace

bool MplyTrack::ChooseChannel(const MplyContext& context, const MseqTrack& source,
                              MplyTrackChord** chord) {
    if (under_phrase_root(source)) {
        m_Channel = context.channel;
        if (chord) *chord = context.chord_source;
    } else {
        m_Channel = mseq_effective_channel(&source);
        if (chord) *chord = mply_chord_track(m_Music, mseq_effective_chord_track(&source));
    }
    // A channel outside 0-15 (a group without members leaves -1 behind) names no MIDI channel:
    // such a track stays silent rather than sending on a channel that does not exist.
    if (m_Channel < 0 || m_Channel > 15) return false;
    const MseqMapStage* stage = m_Music ? m_Music->stage_map() : nullptr;
    if (stage && !(stage->m_Blocks[m_Channel].m_Flags & MSTAGE_USED)) return false;
    return true;
}

MplyTrackChord* mply_chord_track(const MplyMusic* music, MSEQ_ID id) {
    MplyTrack* t = music ? music->FindTrack(id) : nullptr;
    return t && t->IsKindOf(MPLY_TRACK_CHORD) ? static_cast<MplyTrackChord*>(t) : nullptr;
}

int64_t mply_stretch(int64_t v, int64_t factor) {
    const __int128 wide = static_cast<__int128>(v) * factor / kMplyStretchOne;
    if (wide > INT64_MAX) return INT64_MAX;
    if (wide < INT64_MIN) return INT64_MIN;
    return static_cast<int64_t>(wide);
}

int64_t mply_ceil_percent(int64_t x, int64_t d) {
    if (d == 0) return 0;
    const int64_t q = x / d;
    return x % d != 0 ? q + 1 : q;
}

int32_t mply_clamp32(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}
