#include "model/track/MseqTrackInherit.h"

#include "model/core/MseqObject.h"
#include "model/core/MseqType.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"

const MseqTrackGroup* mseq_group_of(const MseqTrack* track) {
    const MseqObject* node = track ? track->owner : nullptr;
    const MseqObject* parent = node ? node->parent() : nullptr;
    if (!parent || parent->type != MTYPE_TRACK_GROUP || !parent->entity()) return nullptr;
    return parent->entity()->cast_to<MseqTrackGroup>(MTYPE_TRACK_GROUP);
}

int32_t mseq_effective_channel(const MseqTrack* track) {
    if (const MseqTrackGroup* group = mseq_group_of(track)) return group->m_Channel;
    return track ? track->get_channel() : -1;
}

MSEQ_ID mseq_effective_chord_track(const MseqTrack* track) {
    if (const MseqTrackGroup* group = mseq_group_of(track)) return group->m_TrackChordID;
    if (auto* notes = dynamic_cast<const MseqTrackNote*>(track)) return notes->m_TrackChordID;
    if (auto* refer = dynamic_cast<const MseqTrackRefer*>(track)) return refer->m_TrackChordID;
    return 0;
}

const MseqTrackChord* mseq_find_chord_track(const MseqMusic* music, MSEQ_ID id) {
    MseqObject* node = music && id ? music->find(id) : nullptr;
    if (!node || node->type != MTYPE_TRACK_CHORD || !node->entity()) return nullptr;
    return node->entity()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
}
