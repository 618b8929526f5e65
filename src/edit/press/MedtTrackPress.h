#pragma once

#include <cstdint>
#include <string_view>

#include "edit/press/MedtBlockPress.h"
#include "edit/press/MedtChordPress.h"
#include "model/core/CkvString.h"

class MedtMusicInvoker;
class MedtTrack;
class MseqBlockChord;

// The mouse gestures of the music view on note, phrase and chord tracks, as the editor carries
// them out: a press closes the undo group and keeps it open while the editor track sets its
// blocks (each through McmdSetBlock), a move adds to the same group, and the release closes it,
// so that one gesture is undone in one step. Nothing happens while the editor is read-only or on
// a track the editor does not hold. The context's music and setter are filled in here; the
// caller gives the selected library leaf and the front end's port. User-interface thread only.
class MedtTrackPress {
public:
    // A press (or a move with the button held) on a note or phrase track row. True when a block
    // was set. A press whose commands fail leaves the music as it was before it.
    static bool press(MedtMusicInvoker& editor, MedtTrack& track, const MedtPress& press,
                      MedtPressContext ctx);
    // A press on a chord-track row (the degree picker or the chord editor, or erasing). True
    // when a block was set, as above.
    static bool chord_press(MedtMusicInvoker& editor, MedtTrack& track, MedtChordRowKind row,
                            int32_t pos, bool right, MedtPressContext ctx);
    // The button went up: the gesture's group is closed.
    static void release(MedtMusicInvoker& editor);

    // The phrase leaf `leaf` (selected in any book of the library, the standard pattern book
    // included) put down on the phrase track at `pos`, dragged from the library tree: as one
    // gesture, a block of it starts there (MedtReferPress::place) after the link it may need.
    // True when a block was set; otherwise nothing changed and the editor's status line says
    // why.
    static bool drop_phrase(MedtMusicInvoker& editor, MedtTrack& track, int32_t pos,
                            MseqObject* leaf);
    // The map reference a new phrase block of the editor's music takes for `leaf`: a phrase of
    // the music's own book is named as it is; a phrase of another book through the first link of
    // the music's own book to the same file, or else through a link added now, as the library's
    // add-link command adds one but without asking about a file already linked elsewhere
    // (McmdBookLink, posted in the open gesture, so that one undo takes back the link with the
    // blocks). 0 when there is nothing to place, with the reason (CP932) in `why`.
    static MSEQ_ID phrase_for_block(MedtMusicInvoker& editor, const MseqObject* leaf,
                                    CkvString* why);

    // The results of the pop-ups, each as a gesture of its own: the lag editor's confirmed text,
    // the start-marker menu's choice, the degree picker's slot, the chord editor's chord. True
    // when the track changed; false, nothing changed, for a track of another kind, no block to
    // act on, a refused command or a value that changes nothing.
    static bool lag_edit(MedtMusicInvoker& editor, MedtTrack& track, int32_t pos, bool end,
                         std::string_view text);
    static bool start_marker(MedtMusicInvoker& editor, MedtTrack& track, int32_t pos,
                             const CkvString& name);
    static bool pick_degree(MedtMusicInvoker& editor, MedtTrack& track, int32_t pos, int32_t slot);
    static bool set_chord(MedtMusicInvoker& editor, MedtTrack& track, int32_t pos,
                          const MseqBlockChord& chord);
};
