#pragma once

#include <cstdint>
#include <vector>

#include "model/core/MseqEntity.h"
#include "model/core/MseqId.h"
#include "model/core/MseqRange.h"

class MseqMusic;
class MseqObject;
class MseqBlock;
class MseqBlockValue;
class MseqReplace;
class MedtMusic;
class MedtTrack;
class MplyTrack;

// Track flags.
enum : uint32_t {
    MTF_OUTPUT = 0x1,  // the track sounds when played
};

// How a sequence operation runs (bits of its `mode` argument).
enum : uint32_t {
    MSEQ_OP_SPLIT = 0x1,      // space and erase cut a block that crosses the position in two
    MSEQ_OP_CLIP = 0x2,       // insert cuts copied blocks to the inserted range
    MSEQ_OP_TEST_ONLY = 0x4,  // run every check, report the result, change nothing
};

// What a change of grid does to the blocks: how many are dropped (two land on one index),
// moved (their index was not a whole step of the new grid) and shortened (likewise their length).
struct MseqGridCounts {
    int32_t dropped = 0;
    int32_t moved = 0;
    int32_t shortened = 0;
    bool operator==(const MseqGridCounts&) const = default;
};

// The content of a track node. Track nodes live in the private track tree of a music or
// phrase, or in a detached snapshot. Most tracks are block sequences (MseqTrackSequence); the
// others (root, header, part, group, text) hold settings only and answer the sequence
// operations with failure.
//
// Positions handed to the sequence operations are in the caller's grid `a` (steps per 4/4 bar);
// the track works in its own grid m_Beat, which must be a multiple of `a`. Positions and
// lengths are multiplied by m_Beat / a on the way in and returned positions divided by it.
//
// Changes run on the user-interface thread only. The player's worker thread may read a track
// (get_block, end_index, length_ticks, the block map) while no change runs.
class MseqTrack : public MseqEntity {
public:
    static constexpr int32_t kTicksPerBar = 1920;
    static constexpr int32_t kMinBeat = 1;
    static constexpr int32_t kMaxBeat = 64;
    // The MIDI channels a track plays on.
    static constexpr MseqRange kChannelRange = {0, 15};
    // The start and length offsets of note, phrase and message tracks, in ticks.
    static constexpr MseqRange kTimeLagRange = {-240, 240};
    // The velocity and power scales of note, phrase and message tracks, in percent.
    static constexpr MseqRange kScaleRange = {0, 200};

    MSEQ_TYPE type() const override { return MTYPE_TRACK; }
    MseqEntity* cast(MSEQ_TYPE type) override { return type == MTYPE_TRACK ? this : nullptr; }
    // Clamps m_Beat into 1-64; never rejects.
    int validate() override;
    // Hands the command to the music that owns this track's tree; a track without one (the
    // tracks of a phrase, detached copies) runs it itself.
    void execute(MgenCommand* command) override;
    // Runs a track command (the editing layer's McmdTrack family) on this track's node and the
    // tracks below it; 0 for any other command, and when the command fails. Defined by the
    // editing layer. User-interface thread.
    int apply_command(MgenCommand* command) override;

    // A new editor track of `editor` that shows this track, owned by the caller; nullptr when
    // the track's node is unknown or no memory could be had. Defined by the editing layer, which
    // picks the editor class by the track's type. User-interface thread.
    virtual MedtTrack* create_editor_track(MedtMusic* editor);
    // A new player track of the player music `player` that plays this track, owned by the
    // caller: a plain one that produces nothing in the base. nullptr when no memory could be
    // had. Defined by the player layer; the engine's thread.
    virtual MplyTrack* create_player_track(MplyMusic* player);
    // Replaces the settings and blocks of `other` by copies of this track's. False, and nothing
    // changed, when `other` is null, is this track, or does not cast to this track's type.
    virtual bool copy_to(MseqTrack* other) const;
    // Stores the range [from, to) of grid `a` into `detached` (an empty node, identifier 0, or a
    // detached one, file number 14), which becomes a copy of this track holding the range's
    // blocks shifted to start at 0, with stored_length set to the range's length. Tracks that
    // are not sequences store their settings and the length only. False, with `detached`
    // unchanged, on a bad grid, a negative start or a node that cannot be detached.
    virtual bool store_range(int32_t a, int32_t from, int32_t to, MseqObject* detached) const;
    // The end of the last block in ticks; 0 for tracks that are not sequences.
    virtual int64_t length_ticks() const { return 0; }
    // Appends the identifiers of the leaves of the music's own book that this track names (a
    // chord map, the phrases it places, the chord maps put in effect): what playing the track
    // may open. Nothing for the tracks that name none. User-interface thread.
    virtual void linked_leaves(std::vector<MSEQ_ID>* ids) const { (void)ids; }
    // Sequences without blocks take `a` (1-64) as their grid; true when the grid was set.
    virtual bool set_grid_when_empty(int32_t a);
    // Moves every block to the grid `beat` (one of the 16 grids of kGridBeats), counting what
    // that drops, moves and shortens. A dry run only counts. False for tracks that are not
    // sequences, for a grid outside the table and when a result would not fit 32 bits.
    virtual bool change_grid(int32_t beat, bool dry_run, MseqGridCounts* counts);
    // True for block sequences.
    virtual bool is_sequence() const { return false; }
    // True for the tracks that hold other tracks: root, header, part and group.
    virtual bool accepts_children() const { return false; }
    // The MIDI channel 0-15 of note, phrase, message and group tracks; -1 for the others.
    virtual int32_t get_channel() const { return -1; }
    // Sets the MIDI channel; false outside 0-15 and for tracks without a channel.
    virtual bool set_channel(int32_t channel);
    // Puts a copy of `block` at `index` of grid `a` (nullptr erases the block there). False on
    // a bad grid and when the block is not of the track's block type.
    virtual bool set_block(int32_t a, int32_t index, const MseqBlock* block);
    // Opens `n` empty steps at `p`: later blocks move by n; a block crossing p is stretched, or
    // with MSEQ_OP_SPLIT cut in two. False when p < 0, n <= 0, on a bad grid or when a block
    // would move beyond 32-bit positions.
    virtual bool space(int32_t a, int32_t p, int32_t n, uint32_t mode);
    // Removes the blocks of [from, to) leaving empty space; a block crossing both ends is cut
    // in two with MSEQ_OP_SPLIT and shortened otherwise. False on a bad grid.
    virtual bool erase(int32_t a, int32_t from, int32_t to, uint32_t mode);
    // Removes [from, to) and moves later blocks back by its length. False on a bad grid.
    virtual bool cut(int32_t a, int32_t from, int32_t to, uint32_t mode);
    // Replaces [from, to) by the blocks stored in `source` (a detached copy made by
    // store_range), clipped to the stored range with MSEQ_OP_CLIP. `end` receives the end of
    // the inserted range. False, and nothing changed, when the source is not a stored sequence
    // of the same block type whose grid divides this track's, on a bad grid or a negative
    // position, or when positions would leave 32 bits.
    virtual bool insert(int32_t a, int32_t from, int32_t to, MseqObject* source, uint32_t mode,
                        int64_t* end);
    // Overwrites from min(from, to) with the blocks stored in `source`, limited to [from, to)
    // when that is shorter than the stored range; nothing moves. `end` receives the end of the
    // written range. Fails as insert does.
    virtual bool cover(int32_t a, int32_t from, int32_t to, MseqObject* source, uint32_t mode,
                       int64_t* end);
    // Applies a find-and-replace to the blocks of its range; phrase tracks only. False for an
    // empty track, an empty range or a replacement that sets nothing.
    virtual bool replace(MseqReplace* replacement);
    // The block that starts exactly at `index` of grid `a`, or nullptr.
    virtual MseqBlock* get_block(int32_t a, int32_t index);
    // The end of the last-starting block (its index plus its length; index plus 1 for point
    // blocks) in grid `a`; 0 for an empty track, a bad grid or a track that is not a sequence.
    virtual int64_t end_index(int32_t a) const;
    // Value tracks: clamps the block's value into the track's range; false for other tracks.
    virtual bool clamp_value(MseqBlockValue* block) const;
    // Value tracks: the range and default of their values; 0 for other tracks.
    virtual int32_t value_min() const { return 0; }
    virtual int32_t value_max() const { return 0; }
    virtual int32_t value_default() const { return 0; }

    // The 16 grids a change of grid accepts, in table order: whole to 64th notes, the triplet
    // and the quintuplet divisions.
    static constexpr int32_t kGridBeats[16] = {1, 2,  4,  8,  16, 32, 64, 3,
                                               6, 12, 24, 48, 5,  10, 15, 20};
    // True when `beat` is one of kGridBeats.
    static bool is_grid_beat(int32_t beat);

    // The factor that turns positions of grid `a` into this track's own; 0 when `a` is not
    // positive or m_Beat is not a positive multiple of it.
    int64_t grid_factor(int32_t a) const;

    // The music whose track tree holds this track, found through the root track; nullptr for
    // the tracks of a phrase and for detached copies.
    MseqMusic* owning_music() const;

    int32_t m_Beat = 1;             // grid steps per 4/4 bar
    int32_t stored_length = 0;      // detached copies only: length of the stored range
    uint32_t m_Flags = MTF_OUTPUT;  // MTF_* bits

protected:
    // Copies m_Beat, m_Flags and the class's own settings (not the blocks, not stored_length)
    // into `other`, which casts to this track's type. Each class adds its own fields.
    virtual void copy_settings_into(MseqTrack& other) const;

    // Makes `detached` a fresh track of this track's type and name (identifier: this track's
    // serial in the detached file number), dropping its old children and content, and copies
    // this track's settings into it. nullptr, and the node unchanged, when the node is neither
    // empty nor detached or is in use.
    MseqTrack* make_detached_copy(MseqObject* detached) const;
};

// Wide integers that must fit the 32-bit fields they are stored in. Any thread.
constexpr bool mseq_fits32(int64_t v) {
    return v >= INT32_MIN && v <= INT32_MAX;
}

// The same moment in another grid: position `index` of a grid of `from_beat` steps a bar in a
// grid of `to_beat` steps, rounded towards zero (ticks are the grid of kTicksPerBar steps). 0
// when `from_beat` is not positive. Any thread.
constexpr int64_t mseq_regrid(int64_t index, int32_t from_beat, int32_t to_beat) {
    return from_beat > 0 ? index * to_beat / from_beat : 0;
}

// Clamps v into [lo, hi]; when the bounds are reversed they are swapped first. Any thread.
constexpr int64_t mseq_clamp(int64_t v, int64_t lo, int64_t hi) {
    if (lo > hi) {
        const int64_t t = lo;
        lo = hi;
        hi = t;
    }
    return v < lo ? lo : (v > hi ? hi : v);
}
