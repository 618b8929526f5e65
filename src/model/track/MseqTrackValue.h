#pragma once

#include <cstdint>

#include "model/block/MseqBlockValue.h"
#include "model/theory/MseqMsgForm.h"
#include "model/track/MseqTrackSequence.h"

// A track of numbers placed at positions; each holds until the next one. Every value that
// enters the track (set, copied, loaded) is clamped into the track's range. Threads as for
// MseqTrack.
class MseqTrackValue : public MseqTrackSequence<MseqBlockValue> {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_VALUE; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_VALUE ? this : MseqTrackSequence::cast(type);
    }
    // Clamps the block's value into [value_min(), value_max()]; true (this is a value track).
    bool clamp_value(MseqBlockValue* block) const override;
    // A plain value track takes any 32-bit value; default 0.
    int32_t value_min() const override { return INT32_MIN; }
    int32_t value_max() const override { return INT32_MAX; }
    int32_t value_default() const override { return 0; }

protected:
    void fit_block(MseqBlockValue& block) const override { clamp_value(&block); }
};

// The tempo of a music in beats per minute, from each block's index on.
class MseqTrackTempo : public MseqTrackValue {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_TEMPO; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_TEMPO ? this : MseqTrackValue::cast(type);
    }
    MplyTrack* create_player_track(MplyMusic* player) override;
    int32_t value_min() const override { return 4; }
    int32_t value_max() const override { return 1024; }
    int32_t value_default() const override { return 120; }
};

// MIDI messages of one form sent on a channel: each value fills the variable part of the
// form's message. The values are bounded by the form's first variable; a form without any
// variable bounds them like the one a form receives when it is validated (0-127, default 100).
class MseqTrackMsg : public MseqTrackValue {
public:
    MSEQ_TYPE type() const override { return MTYPE_TRACK_MSG; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_TRACK_MSG ? this : MseqTrackValue::cast(type);
    }
    // Clamps m_Beat, m_Channel, m_Power and m_STime and every value; never rejects.
    int validate() override;
    int32_t get_channel() const override { return m_Channel; }
    bool set_channel(int32_t channel) override;
    MplyTrack* create_player_track(MplyMusic* player) override;
    // The first variable's bounds, taken in either order; 0 and 127 without a variable.
    int32_t value_min() const override;
    int32_t value_max() const override;
    // The first variable's default clamped into its bounds; 100 without a variable.
    int32_t value_default() const override;

    int32_t m_Channel = 0;  // 0-15
    int32_t m_Power = 100;  // 0-200
    int32_t m_STime = 0;    // -240 to 240 ticks
    MseqMsgForm m_Form;     // the messages the values are sent in

protected:
    void copy_settings_into(MseqTrack& other) const override;
};
