#pragma once

#include <cstdint>

#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockNote.h"
#include "model/block/MseqBlockScale.h"
#include "model/track/MseqTrackNote.h"
#include "play/tracks/MplyTrackSeq.h"

class MplyTrackChord;
class MseqMapChord;

// The player of a note track: turns each note block into a note-on, settling when it sounds,
// for how long, at which key and how loud. Keys come from the note's type: a pure pitch, a tone
// in the key of the chord map in effect, a degree of its scale, a degree of the chord in effect,
// or the track's rhythm sound. Without a chord track it uses a major scale and a major triad of
// its own. Inside a phrase reference it honours the reference's offsets, cuts, stretch, degree
// shift and settings. A note whose key cannot be settled is skipped. The engine's thread only.
class MplyTrackNote final : public MplyTrackSeq<MseqTrackNote> {
public:
    MplyTrackNote(MplyMusic* music, MseqTrackNote* source);

    MSEQ_TYPE GetType() const override { return MPLY_TRACK_NOTE; }
    // The common steps, channel and chord track, start lag, octave, length and velocity factors.
    bool Prepare(MplyContext& context) override;
    // A note-on for each block that starts before the window end.
    bool Generate(MplyContext& context) override;

    // What Prepare settled, for inspection.
    int32_t start_lag() const { return m_StartLag; }
    int32_t length_factor() const { return m_LengthFactor; }
    int32_t velocity_factor() const { return m_VelocityFactor; }
    int32_t octave() const { return m_Octave; }
    MplyTrackChord* chord_source() const { return m_ChordSource; }
    // True when the last Prepare found the track playing (switched on, with blocks, on a
    // channel that sounds).
    bool sounding() const { return m_Sounding; }

    // The key of a note at tick `a` for a transposition `transpose` and a degree shift `shift`;
    // false when the note has none (unknown type, no map or chord where one is needed, an empty
    // scale or chord, a left-out chord tone). The key may still lie outside 0-127.
    bool KeyOf(const MseqBlockNote& note, int64_t a, int64_t transpose, int64_t shift,
               int64_t* key);

    // The pitch class of `chord`'s root with the map's chord-degree key `k`, and its octave.
    static int64_t ChordRoot(const MseqBlockChord& chord, int64_t k, int64_t* root_octave);

private:
    // Hands the note settled at tick `a` to the context's watch; `key` is -1 when the note
    // does not sound.
    void Tell(const MplyContext& context, const MseqBlockNote& note, int64_t a, int64_t on,
              int64_t len, int64_t key, int64_t velocity);
    // The chord a note at `a` follows: the chord track's (nullptr when it has none there) or
    // the built-in one.
    const MseqBlockChord* ChordFor(int64_t a);
    // True when `untransposed` (a key before the transposition) has the pitch class of a tone
    // the chord in effect at `a` sounds.
    bool IsChordTone(int64_t a, int64_t untransposed);

    MplyTrackChord* m_ChordSource = nullptr;  // chord track the notes follow, or null
    bool m_Sounding = false;                  // the last Prepare's answer
    int32_t m_StartLag = 0;                   // ticks
    int32_t m_LengthFactor = 256;             // percentage in 1/256 steps
    int32_t m_VelocityFactor = 256;           // velocity scale in 1/256 steps
    int32_t m_Octave = 0;                     // octave offset added to every note
    MseqBlockScale m_DefaultScale;            // scale degrees without a chord track
    MseqBlockChord m_DefaultChord;            // chord degrees without a chord track
};

// The key of chord degree `degree` (any whole number: degrees beyond the chord's tones go up or
// down by the chord's span in octaves) of `chord`, in `map` (null: none; its chord-degree key
// moves a relative root), `octave` octaves and `semitones` up; false when the chord has no tones
// or the tone is left out. How a chord-degree note sounds, and how a chord is heard on its own.
bool mply_chord_degree_key(const MseqBlockChord& chord, const MseqMapChord* map, int64_t degree,
                           int64_t octave, int64_t semitones, int64_t* key);
