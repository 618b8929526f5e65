#pragma once

#include <cstdint>
#include <vector>

#include "model/core/MseqId.h"

class MedtMusic;

// A block a gesture placed or changed: its track and its position in the track's own units.
struct MedtPlacedBlock {
    MSEQ_ID track = 0;
    int32_t position = 0;
    bool operator==(const MedtPlacedBlock&) const = default;
};

// Told by a music editor when a gesture has placed or changed blocks: once per gesture part (a
// press, a move, a pop-up's answer, a typed entry), when its transaction ends with something
// carried out. Undo, redo and a rolled-back gesture tell nothing. The application hangs one on
// every editor it opens (the audition listens here), so that every way of editing reaches it
// through the one editing path. User-interface thread only.
class MedtEditObserver {
public:
    virtual ~MedtEditObserver() = default;
    // `blocks` holds each block once, in the order the gesture first set it; erased blocks are
    // not listed.
    virtual void blocks_placed(MedtMusic& editor, const std::vector<MedtPlacedBlock>& blocks) = 0;
    // Told around a change of a track's properties (the property list, a script's property
    // line, a link dropped on a row; never undo, redo or a rollback): before the change runs
    // and, when it was carried out, after it, with the note or chord block at the editor's
    // cursor that the change may make sound otherwise (see MedtMusicInvoker::block_at_cursor).
    // Not told when there is no such block. Nothing by default.
    virtual void property_changing(MedtMusic& editor, const MedtPlacedBlock& block) {
        (void)editor;
        (void)block;
    }
    virtual void property_changed(MedtMusic& editor, const MedtPlacedBlock& block) {
        (void)editor;
        (void)block;
    }
};
