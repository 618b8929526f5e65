#pragma once

#include <cstdint>

#include "model/core/MseqId.h"

class MseqMusic;
class MseqTrack;
class MseqTrackChord;
class MseqTrackGroup;

// What a track takes from the tree it stands in. A group hands its channel and its chord track
// to its members (the tracks directly below it; groups hold no groups); every other track plays
// on its own. The player, the editor's property rows and its note names all ask here. Threads
// as for reading MseqTrack.

// The group `track` is a member of: the parent of its node, when that is a group with its
// content. nullptr for a track outside a group, a track without a node and a null track.
const MseqTrackGroup* mseq_group_of(const MseqTrack* track);

// The channel `track` plays on: its group's for a member, its own otherwise; -1 for a null
// track and a track without a channel.
int32_t mseq_effective_channel(const MseqTrack* track);

// The chord track (file number 1) `track` plays with: its group's for a member, the note or
// phrase track's own m_TrackChordID otherwise; 0 for none and for the other kinds.
MSEQ_ID mseq_effective_chord_track(const MseqTrack* track);

// The chord track `id` of `music`, or nullptr when the music has no node of that identifier or
// the node is not a chord track with its content.
const MseqTrackChord* mseq_find_chord_track(const MseqMusic* music, MSEQ_ID id);
