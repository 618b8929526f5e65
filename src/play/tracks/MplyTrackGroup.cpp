#include "play/tracks/MplyTrackGroup.h"

#include <new>

MplyTrack* MseqTrackGroup::create_player_track(MplyMusic* player) {
    return new (std::nothrow) MplyTrackGroup(player, this);
}

bool MplyTrackGroup::Prepare(MplyContext&) {
    return false;
}
