#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "model/core/MseqId.h"
#include "model/track/MseqTrack.h"

class MseqMusic;

// One note a track sounds, as playback sends it.
struct MplyLaneNote {
    int32_t tick = 0;         // the note-on's tick
    int32_t length = 1;       // ticks until its note-off
    uint8_t key = 0;          // 0-127
    uint8_t velocity = 0;     // 0-127
    uint8_t block_type = 0;   // the type of the note block that made it (MNBT_*)
    bool chord_tone = false;  // its pitch class is a tone of the chord in effect

    int32_t end() const;
    bool operator==(const MplyLaneNote& o) const;
    // By tick, then key, then velocity and length.
    bool operator<(const MplyLaneNote& o) const;
};

// The keys one note or phrase track sounds over a range of ticks.
struct MplyResolvedKeys {
    std::vector<MplyLaneNote> notes;  // sorted
    // A note of the track follows a chord track that has no (readable) chord map there: the
    // notes are what playback plays without it, which is not what the map would give.
    bool map_missing = false;
    // Notes of the track that playback skips (no key can be settled, or it lies outside
    // 0-127).
    int32_t skipped = 0;
};

// How far before a range the resolution starts, so that notes begun earlier and still sounding
// in the range are found: four bars.
inline constexpr int32_t kMplyLaneLookBack = 4 * MseqTrack::kTicksPerBar;

// The keys that playback produces, resolved offline by the player's own tracks: the music is
// compiled for a run as for playing, started at the range's start less the look-back, and
// generated once up to the range's end; the note tracks tell what they settle to a watch. The
// user-interface thread (it opens what the run reaches through the desk).
class MplyKeyLane {
public:
    // The notes sounding within [from, to) of every note and phrase track of `music`, by the
    // stored track's id (file number forced to 1). Tracks that sound nothing there are absent.
    // Empty when the music cannot be compiled or started.
    static std::map<MSEQ_ID, MplyResolvedKeys> resolve(MseqMusic& music, int32_t from, int32_t to);
    // The same for one track `track`; empty keys when it sounds nothing there.
    static MplyResolvedKeys resolve_track(MseqMusic& music, MSEQ_ID track, int32_t from,
                                          int32_t to);
};
