#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

#include "model/track/MseqBlockList.h"
#include "model/track/MseqTrack.h"

// A track holding an ordered set of blocks keyed by their index in the track's grid: at most
// one block starts at any index. Two families differ in one respect:
//   - blocks with length (notes, phrase references) cover [index, index + m_Length), lengths
//     at least 1; the end of the track is the last-starting block's index plus its length;
//   - point blocks (chords, labels, values, links) hold from their index until the next one;
//     the end of the track is the last index plus 1.
// Instances exist for the six block types of tracks; the concrete track classes derive from
// them. Every operation looks up only the blocks it concerns (the blocks behind a change move
// in the list, see MseqBlockList). Threads as for MseqTrack.
template <class Block>
class MseqTrackSequence : public MseqTrack {
public:
    using BlockMap = MseqBlockList<Block>;
    static constexpr bool kHasLength = requires(const Block& b) { b.m_Length; };

    // The base checks plus lengths of at least 1 and the class's own block rules.
    int validate() override;
    bool copy_to(MseqTrack* other) const override;
    bool store_range(int32_t a, int32_t from, int32_t to, MseqObject* detached) const override;
    int64_t length_ticks() const override;
    bool set_grid_when_empty(int32_t a) override;
    bool change_grid(int32_t beat, bool dry_run, MseqGridCounts* counts) override;
    bool is_sequence() const override { return true; }
    bool set_block(int32_t a, int32_t index, const MseqBlock* block) override;
    bool space(int32_t a, int32_t p, int32_t n, uint32_t mode) override;
    bool erase(int32_t a, int32_t from, int32_t to, uint32_t mode) override;
    bool cut(int32_t a, int32_t from, int32_t to, uint32_t mode) override;
    bool insert(int32_t a, int32_t from, int32_t to, MseqObject* source, uint32_t mode,
                int64_t* end) override;
    bool cover(int32_t a, int32_t from, int32_t to, MseqObject* source, uint32_t mode,
               int64_t* end) override;
    MseqBlock* get_block(int32_t a, int32_t index) override;
    int64_t end_index(int32_t a) const override;

    // The blocks by index in the track's own grid.
    const BlockMap& blocks() const { return blocks_; }
    std::size_t block_count() const { return blocks_.size(); }
    // The block starting at `index` of the track's own grid, or nullptr.
    const Block* block_at(int32_t index) const;
    // The last block starting at or before `index` of the track's own grid, its start in
    // `*start` when asked: for point blocks the block in effect at `index`. nullptr when no block
    // starts there or earlier, and for an index beyond 32 bits.
    const Block* block_in_effect(int64_t index, int32_t* start = nullptr) const;
    // The block whose range holds `index` of the track's own grid, its start in `*start` when
    // asked: a block with length holds [start, start + length), a point block holds until the
    // next one (as block_in_effect). nullptr when none does.
    const Block* block_covering(int64_t index, int32_t* start = nullptr) const;
    // Visits the blocks that meet the positions [first, last] of the track's own grid, in index
    // order, as fn(start, end, block): a block with length ends at start + length and is
    // visited when it reaches into `first` from before; a point block ends where the next one
    // starts (start + 1 for the last block) and the one in effect at `first` comes first.
    template <class Fn>
    void for_blocks_meeting(int32_t first, int32_t last, Fn fn) const {
        for_blocks_meeting(blocks_, first, last, fn);
    }
    // The same over a block list of this kind (a copy of a track's blocks).
    template <class Fn>
    static void for_blocks_meeting(const BlockMap& blocks, int32_t first, int32_t last, Fn fn) {
        auto it = kHasLength ? blocks.lower_bound(first) : blocks.upper_bound(first);
        if (it != blocks.begin() && (!kHasLength || end_of(*std::prev(it)) > first)) --it;
        for (; it != blocks.end() && it->first <= last; ++it) {
            if constexpr (kHasLength) {
                fn(int32_t{it->first}, end_of(*it), it->second);
            } else {
                auto next = std::next(it);
                fn(int32_t{it->first}, next == blocks.end() ? end_of(*it) : int64_t{next->first},
                   it->second);
            }
        }
    }
    // Puts a copy of `block` at `index` of the track's own grid, replacing any block there, and
    // brings it into the track's rules (length, value range). For readers that fill a track
    // before its grid is validated. Never fails.
    void put_block(int32_t index, const Block& block);
    // Makes room for `count` more blocks, for a reader that knows how many it will put.
    void reserve_blocks(std::size_t count) { blocks_.reserve(blocks_.size() + count); }
    // The end of the track in its own grid (see the class comment); 0 when empty.
    int64_t own_end() const;

protected:
    // Brings a block entering the track into the track's rules: lengths of at least 1 here;
    // value tracks also clamp the value.
    virtual void fit_block(Block& block) const;
    BlockMap& mutable_blocks() { return blocks_; }

private:
    struct Piece {
        int32_t key;
        const Block* source;
        int32_t length;
    };
    // The copy of a source range into this track, worked out before anything changes: the
    // range to clear and the blocks to put.
    struct CopyPlan {
        int64_t clear_from = 0;
        int64_t clear_to = 0;
        std::vector<Piece> pieces;
    };

    static int64_t length_of(const Block& block);
    // Where a block ends: its start plus its length, or plus 1 for point blocks.
    static int64_t end_of(const typename BlockMap::value_type& entry) {
        return int64_t{entry.first} + length_of(entry.second);
    }

    static void set_length(Block& block, int64_t length);

    // The stored sequence of the same block type held by `source`, and the factor that turns
    // its grid into this track's; nullptr when there is none or the grids do not fit.
    const MseqTrackSequence* stored_source(MseqObject* source, int64_t* factor) const;
    // Positions x and y of grid `a` in the track's own grid; false on a bad grid or when either
    // leaves 32 bits.
    bool to_own(int32_t a, int32_t x, int32_t y, int64_t* own_x, int64_t* own_y) const;
    // What insert and cover copy: the range [from, to) of grid `a`, start first, in the track's
    // own grid, the length copied and the plan. The whole stored range is copied, or with
    // `limit` no more than a non-empty [from, to).
    struct SourcePlan {
        int64_t lo = 0;
        int64_t hi = 0;
        int64_t length = 0;
        CopyPlan plan;
    };
    // The common checks and plan of insert and cover; false on a bad grid, a negative start,
    // positions beyond 32 bits or a source that does not fit.
    bool plan_from_source(int32_t a, int32_t from, int32_t to, MseqObject* source, bool limit,
                          bool clip, SourcePlan* out) const;

    // The primitives, in the track's own grid, on positions already known to fit 32 bits.
    bool space_fits(int64_t p, int64_t n, bool split) const;
    void space_apply(int64_t p, int64_t n, bool split);
    void erase_apply(int64_t from, int64_t to, bool split);
    void cut_apply(int64_t from, int64_t to);
    void shift_from(int64_t first, int64_t by);
    // Plans copying the source's [s, s + n), viewed in this track's grid through `factor`, to
    // d: the common step of store, insert and cover. False for negative d, n or s, or when a
    // result would not fit 32 bits.
    static bool plan_copy(const BlockMap& source, int64_t factor, int64_t d, int64_t n, int64_t s,
                          bool clip, CopyPlan& plan);
    void run_copy(const CopyPlan& plan);

    BlockMap blocks_;
};
