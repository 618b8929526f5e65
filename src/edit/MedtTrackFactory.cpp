// The editor track of each stored track class, picked by the stored track's type.
#include "model/track/MseqTrack.h"

#include <new>

#include "edit/MedtTrackKinds.h"
#include "model/core/MseqType.h"

MedtTrack* MseqTrack::create_editor_track(MedtMusic* editor) {
    MseqObject* node = owner;
    if (!node || !editor) return nullptr;
    switch (type()) {
        case MTYPE_TRACK_ROOT_MUSIC:
        case MTYPE_TRACK_ROOT_PHRASE:
            return new (std::nothrow) MedtTrackRoot(editor, node);
        case MTYPE_TRACK_HEADER:
            return new (std::nothrow) MedtTrackHeader(editor, node);
        case MTYPE_TRACK_DETAIL:
            return new (std::nothrow) MedtTrackDetail(editor, node);
        case MTYPE_TRACK_GROUP:
            return new (std::nothrow) MedtTrackGroup(editor, node);
        case MTYPE_TRACK_TEXT:
            return new (std::nothrow) MedtTrackText(editor, node);
        case MTYPE_TRACK_LABEL:
        case MTYPE_TRACK_LYRIC:
        case MTYPE_TRACK_MARKER:
        case MTYPE_TRACK_MEMO:
            return new (std::nothrow) MedtTrackLabel(editor, node);
        case MTYPE_TRACK_VALUE:
        case MTYPE_TRACK_TEMPO:
            return new (std::nothrow) MedtTrackValue(editor, node);
        case MTYPE_TRACK_MSG:
            return new (std::nothrow) MedtTrackMsg(editor, node);
        case MTYPE_TRACK_CHORD:
            return new (std::nothrow) MedtTrackChord(editor, node);
        case MTYPE_TRACK_REFER:
            return new (std::nothrow) MedtTrackRefer(editor, node);
        case MTYPE_TRACK_NOTE:
            return new (std::nothrow) MedtTrackNote(editor, node);
        case MTYPE_TRACK_LINK:
        case MTYPE_TRACK_CHORD_MAP:
            return new (std::nothrow) MedtTrackLink(editor, node);
        default:
            return nullptr;
    }
}
