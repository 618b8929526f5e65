#pragma once

#include <cstdint>

#include "model/block/MseqBlock.h"

// Note types (`MSEQ_NOTE_BLOCK_TYPE`): how a note's octave, letter and accidental are read.
enum : uint32_t {
    MNBT_PURE = 1,    // absolute pitch: octave, letter, accidental
    MNBT_TONE = 2,    // pitch relative to the key
    MNBT_SDEG = 3,    // degree of the scale
    MNBT_CDEG = 4,    // degree of the chord
    MNBT_RHYTHM = 5,  // the rhythm sound of the note track
};

// Note block flags.
enum : uint32_t {
    MNBF_OWN_STIME = 0x10,  // the block's own m_STime replaces the track's start offset
    MNBF_OWN_ETIME = 0x20,  // sounds for the written length plus the block's own m_ETime
};

// One note on a note track. It covers [index, index + m_Length) of the track's grid.
class MseqBlockNote : public MseqBlockOf<MseqBlockNote> {
public:
    static constexpr MSEQ_TYPE kType = MTYPE_BLOCK_NOTE;

    // Sets the note type and puts the pitch back to the start of that type: a type outside 1-5
    // becomes MNBT_TONE; the octave becomes 5 for a pure pitch and 0 for every other type, letter
    // and accidental 0, velocity 100. Never fails.
    void set_type(uint32_t type);

    bool operator==(const MseqBlockNote& o) const {
        return m_Flags == o.m_Flags && m_Type == o.m_Type && m_Length == o.m_Length &&
               m_STime == o.m_STime && m_ETime == o.m_ETime && m_Octave == o.m_Octave &&
               m_Whole == o.m_Whole && m_Semi == o.m_Semi && m_Velocity == o.m_Velocity;
    }

    uint32_t m_Flags = 0;         // MNBF_* bits
    uint32_t m_Type = MNBT_TONE;  // MNBT_*: how octave, letter and accidental are read
    int32_t m_Length = 1;         // grid steps, at least 1
    int32_t m_STime = 0;          // ticks; used with MNBF_OWN_STIME
    int32_t m_ETime = 0;          // ticks; used with MNBF_OWN_ETIME
    int8_t m_Octave = 0;          // octave (absolute for MNBT_PURE, else an offset)
    int8_t m_Whole = 0;           // letter, or degree
    int8_t m_Semi = 0;            // accidental
    uint8_t m_Velocity = 100;     // MIDI velocity before the track scales it
};
