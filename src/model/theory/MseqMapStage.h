#pragma once

#include <array>
#include <cstdint>

#include "model/block/MseqBlockStage.h"
#include "model/core/MseqEntity.h"

// Stage map set-up flags (`MSEQ_MAP_STAGE_SETUP`): system messages sent before the channel
// settings when a music using the stage map starts playing.
enum : uint32_t {
    MMS_SETUP_GM1 = 0x1,  // General MIDI System On
    MMS_SETUP_GM2 = 0x2,  // General MIDI 2 System On, after the first
};

// A stage map leaf: the set-up of the sixteen MIDI channels. Shared by every node that links
// its file, so it is created without an owner node. User-interface thread; a player may read it
// while it holds a reference.
class MseqMapStage : public MseqEntity {
public:
    static constexpr int32_t kChannels = 16;
    // The channel that General MIDI reserves for drums (the tenth).
    static constexpr int32_t kDrumChannel = 9;

    // A stage map in its reset state.
    MseqMapStage();

    MSEQ_TYPE type() const override { return MTYPE_LEAF_STAGE; }
    MseqEntity* cast(MSEQ_TYPE type) override { return type == MTYPE_LEAF_STAGE ? this : nullptr; }
    // No set-up messages; every channel at its defaults, the drum channel playing the standard
    // drum kit; the first channel and the drum channel in use. Returns 1.
    int reset() override;
    // The drum channel's program becomes a drum kit and every other channel's a program; every
    // block is clamped. Returns 1.
    int validate() override;
    // A new stage map editor attached to this map, or nullptr when no memory could be had. Defined
    // by the editing layer. User-interface thread.
    MgenRef* create_editor_model() override;

    // The stage block of `channel` (0 to 15), or nullptr.
    MseqBlockStage* block(int32_t channel);
    const MseqBlockStage* block(int32_t channel) const;

    uint32_t m_Setup = 0;  // MMS_SETUP_*
    std::array<MseqBlockStage, kChannels> m_Blocks;

private:
    void reset_fields();
};
