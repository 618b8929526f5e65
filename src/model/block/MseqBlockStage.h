#pragma once

#include <cstdint>

#include "model/block/MseqBlock.h"
#include "model/block/MseqBlockWord.h"
#include "model/core/MseqRange.h"

// Stage block flags. For a channel in use, each of the other bits sends one setting when a music
// starts playing.
enum : uint32_t {
    MSTAGE_USED = 0x1,                // the channel sounds; tracks on an unused channel are silent
    MSTAGE_SOUND_OFF = 0x10,          // all sound off
    MSTAGE_NOTES_OFF = 0x20,          // all notes off
    MSTAGE_RESET_CONTROLLERS = 0x40,  // reset all controllers
    MSTAGE_PROGRAM = 0x80,
    MSTAGE_VOLUME = 0x100,
    MSTAGE_PAN = 0x200,
    MSTAGE_REVERB = 0x400,
    MSTAGE_CHORUS = 0x800,
    MSTAGE_BEND = 0x10000,
    MSTAGE_HOLD = 0x20000,
    MSTAGE_MODULATION = 0x40000,
    MSTAGE_EXPRESSION = 0x80000,
    MSTAGE_BEND_RANGE = 0x1000000,
    // Program, volume, pan, reverb and chorus.
    MSTAGE_DEFAULT = 0xF80,
};

// The set-up of one MIDI channel: its instrument and the controller values sent when a music
// starts. User-interface thread for every change; any thread may read.
class MseqBlockStage : public MseqBlockOf<MseqBlockStage> {
public:
    static constexpr MSEQ_TYPE kType = MTYPE_BLOCK_STAGE;

    // A channel with the default settings, playing the dictionary's first program.
    MseqBlockStage();

    // Clamps every value to its range; a program word of a kind other than program or drum kit
    // becomes a program, and the word is normalised. Never fails.
    void normalize();

    bool operator==(const MseqBlockStage& o) const;

    // The ranges of the values: volume, pan and the other controllers, bend, bend range.
    static constexpr MseqRange kVolumeRange = {0, 127};
    static constexpr MseqRange kPanRange = {0, 127};
    static constexpr MseqRange kControllerRange = {0, 127};
    static constexpr MseqRange kBendRange = {0, 16383};
    static constexpr MseqRange kBendRangeRange = {0, 24};

    uint32_t m_Flags = MSTAGE_DEFAULT;  // MSTAGE_* bits: in use, and what is sent
    MseqBlockWord m_Program;            // kind 1 (program) or 2 (drum kit)
    int32_t m_Volume = 120;             // 0 to 127
    int32_t m_Pan = 64;                 // 0 to 127
    int32_t m_Reverb = 0;               // 0 to 127
    int32_t m_Chorus = 0;               // 0 to 127
    int32_t m_Bend = 8192;              // 0 to 16383
    int32_t m_Hold = 0;                 // 0 to 127
    int32_t m_Modulation = 0;           // 0 to 127
    int32_t m_Expression = 127;         // 0 to 127
    int32_t m_BendRange = 2;            // 0 to 24
};
