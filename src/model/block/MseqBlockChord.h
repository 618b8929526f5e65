#pragma once

#include <array>
#include <cstdint>

#include "model/block/MseqBlock.h"
#include "model/core/CkvString.h"
#include "model/theory/MseqKey.h"

// Chord flags.
enum : uint32_t {
    MCHORD_NO_KEY = 0x01,         // the chord has no key, or the palette slot is switched off
    MCHORD_RELATIVE_ROOT = 0x10,  // the root counts from the key, not from C
};

// One key of a chord: a semitone offset from the root (-23 to 23) and its flags (0x1: kept in
// the chord but skipped by chord-degree notes).
using MseqChordKey = MseqKey;

// One row of the chord type table: a name and the semitone offsets of its keys from the root.
struct MseqChordType {
    const char* name;
    int32_t count;
    int32_t offsets[4];
};

// The number of chord types (21).
constexpr int32_t kMseqChordTypeCount = 21;

// Chord type n (0 to 20) of the table, or nullptr outside it. Any thread.
const MseqChordType* mseq_chord_type(int32_t n);

// A chord placed on a chord track or held in a chord map's palette. User-interface thread for
// every change; any thread may read.
class MseqBlockChord : public MseqBlockOf<MseqBlockChord> {
public:
    static constexpr MSEQ_TYPE kType = MTYPE_BLOCK_CHORD;
    static constexpr int kMaxKeys = 16;
    static constexpr MseqKeyLimits kKeyLimits{-23, 23, 1, kMaxKeys};

    // The palette slot number the chord describes: degree + 12 × octave + 12 (0 to 35 when both
    // are in range).
    int32_t desc_pitch() const { return m_DescDegree + 12 * m_DescOctave + 12; }

    // Empties the chord: no name, flags 0x11, every number 0, no keys. Never fails.
    void clear();

    // Writes the name of chord type n (0 to 20) and replaces the keys by its offsets with key
    // flags 0. False, with nothing changed, for any other n.
    bool set_type(int32_t n);

    // Makes the chord's root sound on `pitch` (a pitch class, taken modulo 12) when the chord is
    // measured from `key`: a relative chord stores the distance from the key, an absolute one the
    // pitch class itself. A chord without keys gets key 0. Never fails.
    void set_root(int32_t key, int32_t pitch);

    // The pitch class (0 to 11) of the root for a music in `key`. Never fails.
    int32_t effective_root(int32_t key) const;

    // The octave of the root for a music in `key`: a relative root that passes B carries into
    // the next octave. Never fails (wraps like 32-bit arithmetic for absurd inputs).
    int32_t effective_octave(int32_t key) const;

    // Toggles the key `offset` (-23 to 23) with key flags `flags`: see mseq_toggle_key; at least
    // one key stays and at most 16 are held. False when refused.
    bool toggle_key(int32_t offset, uint32_t flags);

    // Inverts the chord by `steps` (up when positive, down when negative): one key per step is
    // moved by the chord's span of octaves; moving the root moves the whole chord one span and the
    // other keys back. Stops early where a key would leave -23 to 23 or the octave -2 to 2. Returns
    // the signed number of steps done (0 when none could be).
    int32_t invert(int32_t steps);

    // Brings a chord read from a file into range: description fields clamped, the root carried
    // into the octave, the octave wrapped into -2 to 2, the keys sorted. A chord whose key list
    // cannot be held is emptied (see clear). Never fails.
    void normalize();

    // The chord type whose offsets equal the keys (same count, all key flags 0); its name becomes
    // m_Type. Returns the type number, or -1 (name unchanged) when none matches.
    int32_t lookup_type();

    bool operator==(const MseqBlockChord& o) const;

    CkvString m_Type;                                         // chord type name
    uint32_t m_Flags = MCHORD_RELATIVE_ROOT | MCHORD_NO_KEY;  // MCHORD_* bits
    int32_t m_DescOctave = 0;                                 // -2 to 2
    int32_t m_DescDegree = 0;                                 // 0 to 11
    int32_t m_Octave = 0;                                     // -2 to 2
    int32_t m_Root = 0;     // 0 to 11 semitones above C, or above the key when relative
    int32_t key_count = 0;  // 0 to 16
    std::array<MseqChordKey, kMaxKeys> keys{};
};
