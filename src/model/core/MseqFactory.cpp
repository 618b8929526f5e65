#include "model/core/MseqFactory.h"

#include "model/core/MseqObject.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapScale.h"
#include "model/theory/MseqMapStage.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackRoot.h"
#include "model/track/MseqTrackText.h"
#include "model/track/MseqTrackValue.h"

namespace {

// Tracks belong to their node: the node is how a track finds the music of its tree.
template <class Track>
Track* owned_track(MseqObject* node) {
    auto* track = new Track;
    track->owner = node;
    return track;
}

// The music whose track tree holds `node`, or nullptr (a phrase, a detached copy).
MseqMusic* music_of(MseqObject* node) {
    MseqObject* top = node;
    while (top->parent())
        top = top->parent();
    MseqEntity* e = top->entity();
    auto* root = e ? e->cast_to<MseqTrackRootMusic>(MTYPE_TRACK_ROOT_MUSIC) : nullptr;
    return root ? root->music : nullptr;
}

// Note, phrase and group tracks made inside a music use the music's chord track as it is now.
template <class Track>
Track* chord_following_track(MseqObject* node) {
    Track* track = owned_track<Track>(node);
    if (MseqMusic* music = music_of(node)) track->m_TrackChordID = music->m_TrackChordID;
    return track;
}

MseqEntity* create_entity(MseqObject* node) {
    switch (node->type) {
        case MTYPE_ROOM:
            return new MseqRoom(node);
        case MTYPE_BOOK_LIBRARY:
            return new MseqBookLibrary(node);
        case MTYPE_BOOK_MUSIC:
            return new MseqBookMusic(node);
        case MTYPE_LEAF_MUSIC:
            return new MseqMusic(node);
        case MTYPE_LEAF_PHRASE:
            // Phrases are shared by every node that links their file: no owner node.
            return new MseqPhrase;
        case MTYPE_LEAF_CHORD:
            return new MseqMapChord;  // shared like phrases: no owner node
        case MTYPE_LEAF_STAGE:
            return new MseqMapStage;  // shared: no owner node
        case MTYPE_LEAF_SCALE:
            return new MseqMapScale;  // shared: no owner node
        case MTYPE_TRACK_ROOT_MUSIC:
            return owned_track<MseqTrackRootMusic>(node);
        case MTYPE_TRACK_ROOT_PHRASE:
            return owned_track<MseqTrackRootPhrase>(node);
        case MTYPE_TRACK_HEADER:
            return owned_track<MseqTrackHeader>(node);
        case MTYPE_TRACK_DETAIL:
            return owned_track<MseqTrackDetail>(node);
        case MTYPE_TRACK_GROUP:
            return chord_following_track<MseqTrackGroup>(node);
        case MTYPE_TRACK_TEXT:
            return owned_track<MseqTrackText>(node);
        case MTYPE_TRACK_CHORD:
            return owned_track<MseqTrackChord>(node);
        case MTYPE_TRACK_REFER:
            return chord_following_track<MseqTrackRefer>(node);
        case MTYPE_TRACK_NOTE:
            return chord_following_track<MseqTrackNote>(node);
        case MTYPE_TRACK_LYRIC:
            return owned_track<MseqTrackLyric>(node);
        case MTYPE_TRACK_MARKER:
            return owned_track<MseqTrackMarker>(node);
        case MTYPE_TRACK_MEMO:
            return owned_track<MseqTrackMemo>(node);
        case MTYPE_TRACK_TEMPO:
            return owned_track<MseqTrackTempo>(node);
        case MTYPE_TRACK_MSG:
            return owned_track<MseqTrackMsg>(node);
        case MTYPE_TRACK_CHORD_MAP:
            return owned_track<MseqTrackChordMap>(node);
        default:
            // Folders have no content; chord and stage maps come with their own classes.
            return nullptr;
    }
}

}  // namespace

bool mseq_factory(MseqObject* node) {
    MseqEntity* entity = create_entity(node);
    if (!entity) return false;
    return node->attach(entity);
}
