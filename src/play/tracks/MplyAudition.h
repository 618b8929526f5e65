#pragma once

#include <cstdint>
#include <vector>

#include "model/core/MseqId.h"

class MplyEventQueue;
class MplyMusic;
class MplyOutput;
class MseqMusic;

// One key an audition sounds.
struct MplyAuditionNote {
    uint8_t channel = 0;
    uint8_t key = 0;
    uint8_t velocity = 0;
    int32_t ticks = 0;  // how long the run would hold it, at least 1
    int32_t at = 0;     // when it starts, in ticks after the audition's start
    bool operator==(const MplyAuditionNote&) const = default;
};

// A set-up message of the channel an audition sounds on, as a run sends it at its start.
struct MplyAuditionSetup {
    enum Kind : uint8_t { control, message, exclusive };
    Kind kind = control;
    uint8_t channel = 0;
    std::vector<uint8_t> bytes;  // controller and value; the raw message; the exclusive's body
};

// What hearing one block of a music sounds, found by the player's own tracks: the music is
// compiled for a run as playback compiles it (its run set, stage map and track tree), prepared
// from the block's tick, and only the block's own track generates over the block's first tick,
// so the keys, velocities and lengths are exactly those a run plays there. A chord block is
// heard as its chord in effect, voiced as chord-degree notes are (every tone, on the channel
// and octave of the first note track that follows the chord track). User-interface thread:
// the music and what it reaches are opened here, and no run may be active on them.
class MplyAudition {
public:
    // Resolves the note block at `position` (the track's own units) of note track `track`.
    // False, nothing found, when the track is not a playing note track of `music` or the block
    // sounds nothing (a skipped note, a silent channel).
    bool resolve_note(MseqMusic* music, MSEQ_ID track, int32_t position);
    // Resolves the chord block at `position` of chord track `track`, as above.
    bool resolve_chord(MseqMusic* music, MSEQ_ID track, int32_t position);
    // Resolves the phrase `phrase` (of any book) as the phrase track `track` of `music` would
    // play it from `tick` (the grid step of the track holding it): a stand-in of the track holds
    // one block of the phrase there, as long as the phrase, and the music's run set reaches the
    // phrase through it (MplyRunSet::collect_hearing), so the chords, chord map, key and
    // transposition in effect there and the track's channel, octave and lags all apply, and the
    // music stays as it is. The notes start at their `at`, counted from the block's start. False
    // when the track is not a phrase track of `music` or the phrase sounds nothing there.
    bool resolve_phrase(MseqMusic* music, MSEQ_ID track, int64_t tick, MseqMusic* phrase);

    const std::vector<MplyAuditionNote>& notes() const { return notes_; }
    const std::vector<MplyAuditionSetup>& setup() const { return setup_; }
    // The music's tempo in beats per minute, for the length in time.
    int32_t tempo() const { return tempo_; }
    // The longest note in milliseconds at the tempo, at most `cap_ms`.
    uint32_t length_ms(uint32_t cap_ms) const;
    // `ticks` in milliseconds at the tempo (0 for none or fewer).
    uint32_t ms_of(int64_t ticks) const;

    // Sends the set-up, then a note-on for every note, through `out` (counted as a run counts
    // them). The number of note-ons sent.
    int sound(MplyOutput& out) const;
    // Sends the set-up alone.
    void send_setup(MplyOutput& out) const;
    // Sends the note-on of `note` (counted as a run counts it); false when it was refused.
    static bool note_on(MplyOutput& out, const MplyAuditionNote& note);
    // Sends the note-off of every note in `notes` that sounds on `out`. Any order of keys.
    static void release(MplyOutput& out, const std::vector<MplyAuditionNote>& notes);

private:
    void clear();
    // Takes the set-up of `channel` from the prepared `player` (see MplyMusic::ChannelSetup).
    void take_setup(MplyMusic& player, MplyEventQueue& queue, int channel);

    std::vector<MplyAuditionNote> notes_;
    std::vector<MplyAuditionSetup> setup_;
    int32_t tempo_ = 120;
};
