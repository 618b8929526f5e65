#pragma once

#include <cstdint>

#include "model/track/MseqTrackLabel.h"
#include "play/tracks/MplyTrackSeq.h"

// The player of a label track: lyric tracks send lyric texts (type 5), marker tracks marker
// texts (type 6); plain label and memo tracks are silent. The texts stay the model's. The
// engine's thread only.
class MplyTrackLabel final : public MplyTrackSeq<MseqTrackLabel> {
public:
    MplyTrackLabel(MplyMusic* music, MseqTrackLabel* source);

    MSEQ_TYPE GetType() const override { return MPLY_TRACK_LABEL; }
    // False for label and memo tracks; the common steps otherwise, in its own music only.
    bool Prepare(MplyContext& context) override;
    // A text event at each block's time.
    bool Generate(MplyContext& context) override;

    // The text type sent: 5, 6, or 0 for a silent track.
    uint8_t text_type() const { return m_TextType; }

private:
    uint8_t m_TextType = 0;  // meta text type sent: 5 lyric, 6 marker, 0 none
};
