#pragma once

#include "model/core/CkvString.h"
#include "model/track/MseqTrack.h"

// A free text kept with the music: notes, explanations, credits. Threads as for MseqTrack.
class MseqTrackText : public MseqTrack {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_TEXT; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_TEXT ? this : MseqTrack::cast(type);
    }

    CkvString m_Text;  // the text

protected:
    void copy_settings_into(MseqTrack& other) const override {
        MseqTrack::copy_settings_into(other);
        static_cast<MseqTrackText&>(other).m_Text = m_Text;
    }
};
