// The factory that gives a node a fresh entity of its type's class.
#include "model/MseqBook.h"
#include "model/MseqMapChord.h"
#include "model/MseqMapScale.h"
#include "model/MseqMapStage.h"
#include "model/MseqMusic.h"
#include "model/MseqObject.h"
#include "model/MseqRoom.h"
#include "model/MseqTrackRoot.h"

namespace {

// Tracks belong to their node: the node is how a track finds the music of its tree.
template <class Track>
MseqEntity* owned_track(MseqObject* node) {
    auto* track = new Track;
    track->owner = node;
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
        default:
            // Folders have no content; other kinds come with their own classes.
            return nullptr;
    }
}

}  // namespace

bool mseq_factory(MseqObject* node) {
    MseqEntity* entity = create_entity(node);
    if (!entity) return false;
    return node->attach(entity);
}
