#pragma once

#include <cstdint>

#include "model/MseqEntity.h"

class MseqMusic;

// Track flags.
enum : uint32_t {
    MTF_OUTPUT = 0x1,  // the track sounds when played
};

// The content of a track node. Track nodes live in the private track tree of a music or
// phrase, or in a detached snapshot. User-interface thread only.
class MseqTrack : public MseqEntity {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK; }
    MseqEntity* cast(MSEQ_TYPE type) override { return type == MTYPE_TRACK ? this : nullptr; }
    // Hands the command to the music that owns this track's tree; a track without one (the
    // tracks of a phrase, detached copies) runs it itself.
    void execute(MgenCommand* command) override;

    // The music whose track tree holds this track, found through the root track; nullptr for
    // the tracks of a phrase and for detached copies.
    MseqMusic* owning_music() const;

    int32_t m_Beat = 1;         // grid steps per 4/4 bar
    int32_t stored_length = 0;  // detached copies only: length of the stored range
    uint32_t m_Flags = MTF_OUTPUT;
};
