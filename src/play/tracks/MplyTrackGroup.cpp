#include "play/tracks/MplyTrackGroup.h"

#include <new>

MplyTrack* MseqTrackGroup::create_player_track(MplyMusic* player) {
    return new (std::nothrow) MplyTrackGroup(player, this);
}

bool MplyTrackGroup::Prepare(MplyContext& context) {
    context.channel = -1;
    context.chord_source = nullptr;
    if (first_child()) {
        context.channel = m_Group->m_Channel;
        context.chord_source = mply_chord_track(m_Music, m_Group->m_TrackChordID);
    }
    return false;
}
