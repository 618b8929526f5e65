#pragma once

#include <array>
#include <cstdint>

#include "model/CkvString.h"
#include "model/MseqBlock.h"

// Chord flags.
enum : uint32_t {
    MCHORD_NO_KEY = 0x01,         // the chord has no key, or the palette slot is switched off
    MCHORD_RELATIVE_ROOT = 0x10,  // the root counts from the key, not from C
};

// One key of a chord: a semitone offset from the root (-23 to 23) and its flags (0x1: kept in
// the chord but skipped by chord-degree notes).
struct MseqChordKey {
    uint32_t m_Flags = 0;
    int32_t m_Key = 0;
    bool operator==(const MseqChordKey&) const = default;
};

// A chord placed on a chord track or held in a chord map's palette.
class MseqBlockChord : public MseqBlockOf<MseqBlockChord> {
public:
    static constexpr MSEQ_TYPE kType = MTYPE_BLOCK_CHORD;
    static constexpr int kMaxKeys = 16;

    // The palette slot number the chord describes: degree + 12 × octave + 12 (0 to 35 when both
    // are in range).
    int32_t desc_pitch() const { return m_DescDegree + 12 * m_DescOctave + 12; }

    CkvString m_Type;  // chord type name
    uint32_t m_Flags = MCHORD_RELATIVE_ROOT | MCHORD_NO_KEY;
    int32_t m_DescOctave = 0;  // -2 to 2
    int32_t m_DescDegree = 0;  // 0 to 11
    int32_t m_Octave = 0;      // -2 to 2
    int32_t m_Root = 0;        // 0 to 11 semitones above C, or above the key when relative
    int32_t key_count = 0;     // 0 to 16
    std::array<MseqChordKey, kMaxKeys> keys{};
};
