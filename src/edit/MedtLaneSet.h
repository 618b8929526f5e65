#pragma once

#include <cstdint>
#include <map>
#include <set>

#include "edit/MedtLaneAxis.h"
#include "model/core/CkvString.h"
#include "model/core/MseqId.h"
#include "play/engine/MplyKeyLane.h"

class MedtMusic;
class MseqMusic;

// The resolved-pitch lanes of an open music: which note and phrase tracks show one under their
// rows (kept in memory while the music is open, never in its file), and the keys those tracks
// sound over a window of ticks around what the view shows, resolved by the player's own tracks
// (MplyKeyLane). The keys are resolved once for every shown lane and kept until an edit drops
// them or the view scrolls out of the window. A lane's pitch axis only grows while the lane is
// shown, so that rows do not jump as the view scrolls or a note moves within its range.
// User-interface thread.
class MedtLaneSet {
public:
    // Whether `track`'s lane is shown (any file number: the track's serial counts).
    bool shown(MSEQ_ID track) const;
    // Shows or hides `track`'s lane. Nothing for a track that is not a note or phrase track.
    void set_shown(const MedtMusic& editor, MSEQ_ID track, bool on);
    // Shows or hides the lane of every note and phrase track of `editor`.
    void set_all(const MedtMusic& editor, bool on);
    bool any() const { return !shown_.empty(); }

    // Drops the resolved keys: the music changed (an edit, a chord map, a key).
    void invalidate() { valid_ = false; }
    // Makes the keys cover the ticks [from, to) of `music`, resolving them anew (over the range
    // widened by its own length on each side) when they do not. True when it resolved.
    bool cover(MseqMusic& music, int32_t from, int32_t to);
    // The ticks the keys were resolved over; from == to when none are.
    int32_t window_from() const { return valid_ ? from_ : 0; }
    int32_t window_to() const { return valid_ ? to_ : 0; }

    // The keys of `track`'s lane in the window; nullptr when its lane is not shown. Empty keys
    // until the first `cover`.
    const MplyResolvedKeys* keys(MSEQ_ID track) const;
    // The pitch axis of `track`'s lane (one octave from C5 before any keys).
    MedtLaneAxis axis(MSEQ_ID track) const;
    // The height of `track`'s lane band: its axis and one pixel above and below; 0 when the
    // lane is not shown.
    int32_t height(MSEQ_ID track) const;

    // The tool tip of a lane's note: its key name, key number, velocity and length in ticks,
    // and when playback plays the track without its chord map, a line saying so. CP932.
    static CkvString tip(const MplyLaneNote& note, bool map_missing);
    // The tip of a lane where no note is: what the lane is, and the missing map.
    static CkvString tip(bool map_missing);
    // The name of a key with its octave as the program writes pitches: key 60 is "C5".
    static CkvString key_name(int32_t key);

    static constexpr int32_t kPad = 1;  // pixels above and below the axis

private:
    struct Lane {
        MplyResolvedKeys keys;
        MedtLaneAxis axis;
        bool has_axis = false;
    };
    static MSEQ_ID key_of(MSEQ_ID track) { return mseq_with_file_number(track, MFILE_TRACKS); }

    std::set<MSEQ_ID> shown_;
    std::map<MSEQ_ID, Lane> lanes_;
    bool valid_ = false;
    int32_t from_ = 0;
    int32_t to_ = 0;
};
