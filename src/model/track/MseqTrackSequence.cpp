#include "model/track/MseqTrackSequence.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockLabel.h"
#include "model/block/MseqBlockLink.h"
#include "model/block/MseqBlockNote.h"
#include "model/block/MseqBlockRefer.h"
#include "model/block/MseqBlockValue.h"
#include "model/core/MseqObject.h"
#include "model/track/MseqTrackTree.h"

namespace {

// Smallest integer not below x / f, for f > 0.
int64_t ceil_div(int64_t x, int64_t f) {
    const int64_t q = x / f;
    return (x % f != 0 && x > 0) ? q + 1 : q;
}

}  // namespace

template <class Block>
int64_t MseqTrackSequence<Block>::length_of(const Block& block) {
    if constexpr (kHasLength) {
        return block.m_Length;
    } else {
        return 1;
    }
}

template <class Block>
void MseqTrackSequence<Block>::set_length(Block& block, int64_t length) {
    if constexpr (kHasLength) {
        block.m_Length = static_cast<int32_t>(mseq_clamp(length, 1, INT32_MAX));
    } else {
        (void)block;
        (void)length;
    }
}

template <class Block>
void MseqTrackSequence<Block>::fit_block(Block& block) const {
    if constexpr (kHasLength) {
        if (block.m_Length < 1) block.m_Length = 1;
    } else {
        (void)block;
    }
}

template <class Block>
int MseqTrackSequence<Block>::validate() {
    MseqTrack::validate();
    for (auto& entry : blocks_)
        fit_block(entry.second);
    return 1;
}

template <class Block>
bool MseqTrackSequence<Block>::copy_to(MseqTrack* other) const {
    auto* target = dynamic_cast<MseqTrackSequence*>(other);
    if (!target || !MseqTrack::copy_to(other)) return false;
    target->blocks_ = blocks_;
    // The other track may be a narrower kind of this one (a tempo track under a value track):
    // its own rules apply to what it receives.
    for (auto& entry : target->blocks_)
        target->fit_block(entry.second);
    return true;
}

template <class Block>
const Block* MseqTrackSequence<Block>::block_at(int32_t index) const {
    auto it = blocks_.find(index);
    return it == blocks_.end() ? nullptr : &it->second;
}

template <class Block>
const Block* MseqTrackSequence<Block>::block_in_effect(int64_t index, int32_t* start) const {
    if (!mseq_fits32(index)) return nullptr;
    auto it = blocks_.upper_bound(static_cast<int32_t>(index));
    if (it == blocks_.begin()) return nullptr;
    --it;
    if (start) *start = it->first;
    return &it->second;
}

template <class Block>
const Block* MseqTrackSequence<Block>::block_covering(int64_t index, int32_t* start) const {
    int32_t at = 0;
    const Block* block = block_in_effect(index, &at);
    if (!block || (kHasLength && at + length_of(*block) <= index)) return nullptr;
    if (start) *start = at;
    return block;
}

template <class Block>
void MseqTrackSequence<Block>::put_block(int32_t index, const Block& block) {
    // Readers put blocks in index order: one after the last goes in at the end, unsearched.
    if (blocks_.empty() || static_cast<int32_t>(blocks_.rbegin()->first) < index) {
        fit_block(blocks_.append(index, block)->second);
        return;
    }
    // `block` may be one of this track's own: it is copied before the list can move.
    Block copy = block;
    fit_block(copy);
    blocks_[index] = std::move(copy);
}

template <class Block>
int64_t MseqTrackSequence<Block>::own_end() const {
    if (blocks_.empty()) return 0;
    const auto& last = *blocks_.rbegin();
    return static_cast<int64_t>(last.first) + length_of(last.second);
}

template <class Block>
int64_t MseqTrackSequence<Block>::end_index(int32_t a) const {
    const int64_t f = grid_factor(a);
    return f ? own_end() / f : 0;
}

template <class Block>
int64_t MseqTrackSequence<Block>::length_ticks() const {
    if (m_Beat <= 0) return 0;
    return own_end() * kTicksPerBar / m_Beat;
}

template <class Block>
bool MseqTrackSequence<Block>::set_grid_when_empty(int32_t a) {
    if (!blocks_.empty() || a < kMinBeat || a > kMaxBeat) return false;
    m_Beat = a;
    return true;
}

template <class Block>
bool MseqTrackSequence<Block>::change_grid(int32_t beat, bool dry_run, MseqGridCounts* counts) {
    if (!is_grid_beat(beat) || m_Beat <= 0) return false;
    const int64_t old_beat = m_Beat;
    // Integer division truncates, so the new indices never decrease along the map: a block is
    // dropped exactly when it lands on the index of the block kept before it.
    MseqGridCounts c;
    bool any = false;
    int64_t last = 0;
    for (const auto& [index, block] : blocks_) {
        const int64_t scaled = beat * static_cast<int64_t>(index);
        const int64_t k = scaled / old_beat;
        if (!mseq_fits32(k)) return false;
        if (any && k == last) {
            ++c.dropped;
            continue;
        }
        any = true;
        last = k;
        if (scaled % old_beat != 0) ++c.moved;
        if constexpr (kHasLength) {
            const int64_t length = beat * static_cast<int64_t>(block.m_Length);
            if (!mseq_fits32(length / old_beat)) return false;
            if (length % old_beat != 0) ++c.shortened;
        }
    }
    if (counts) *counts = c;
    if (dry_run) return true;

    BlockMap moved;
    moved.reserve(blocks_.size() - static_cast<std::size_t>(c.dropped));
    for (auto& [index, block] : blocks_) {
        const int64_t k = beat * static_cast<int64_t>(index) / old_beat;
        if (!moved.empty() && moved.rbegin()->first == k) continue;
        if constexpr (kHasLength)
            set_length(block, beat * static_cast<int64_t>(block.m_Length) / old_beat);
        moved.append(static_cast<int32_t>(k), block);
    }
    blocks_.swap(moved);
    m_Beat = beat;
    return true;
}

template <class Block>
bool MseqTrackSequence<Block>::set_block(int32_t a, int32_t index, const MseqBlock* block) {
    const int64_t f = grid_factor(a);
    const int64_t k = index * f;
    if (!f || !mseq_fits32(k)) return false;
    if (!block) {
        blocks_.erase(static_cast<int32_t>(k));
        return true;
    }
    const Block* typed = const_cast<MseqBlock*>(block)->cast_to<Block>();
    if (!typed) return false;
    put_block(static_cast<int32_t>(k), *typed);
    return true;
}

template <class Block>
MseqBlock* MseqTrackSequence<Block>::get_block(int32_t a, int32_t index) {
    const int64_t f = grid_factor(a);
    const int64_t k = index * f;
    if (!f || !mseq_fits32(k)) return nullptr;
    auto it = blocks_.find(static_cast<int32_t>(k));
    return it == blocks_.end() ? nullptr : &it->second;
}

// Moves every block with index >= first by `by`. The caller makes sure that no block stays
// between the old and the new places of the moving ones, so their order against every other
// block is kept and the keys can be changed in place.
template <class Block>
void MseqTrackSequence<Block>::shift_from(int64_t first, int64_t by) {
    if (by == 0 || first > INT32_MAX) return;
    auto it = blocks_.lower_bound(static_cast<int32_t>(mseq_clamp(first, INT32_MIN, INT32_MAX)));
    for (; it != blocks_.end(); ++it)
        it->first.value = static_cast<int32_t>(it->first.value + by);
}

template <class Block>
bool MseqTrackSequence<Block>::space_fits(int64_t p, int64_t n, bool split) const {
    if (p < 0 || n <= 0) return false;
    if (blocks_.empty()) return true;
    if (blocks_.rbegin()->first >= p && !mseq_fits32(blocks_.rbegin()->first + n)) return false;
    if constexpr (kHasLength) {
        auto it = blocks_.lower_bound(static_cast<int32_t>(p));
        if (it != blocks_.begin()) {
            const auto& before = *std::prev(it);
            if (before.first + length_of(before.second) > p) {
                if (split ? !mseq_fits32(p + n) : !mseq_fits32(length_of(before.second) + n))
                    return false;
            }
        }
    }
    return true;
}

template <class Block>
void MseqTrackSequence<Block>::space_apply(int64_t p, int64_t n, bool split) {
    if (blocks_.empty()) return;
    shift_from(p, n);
    if constexpr (kHasLength) {
        auto it = blocks_.lower_bound(static_cast<int32_t>(p));
        if (it == blocks_.begin()) return;
        auto before = std::prev(it);
        const int64_t index = before->first;
        const int64_t end = index + length_of(before->second);
        if (end <= p) return;
        if (!split) {
            set_length(before->second, length_of(before->second) + n);
            return;
        }
        Block rest = before->second;
        set_length(rest, end - p);
        set_length(before->second, p - index);
        blocks_.try_emplace(static_cast<int32_t>(p + n), std::move(rest));
    }
}

template <class Block>
void MseqTrackSequence<Block>::erase_apply(int64_t from, int64_t to, bool split) {
    if (from > to) std::swap(from, to);
    if (from == to || blocks_.empty()) return;
    auto it = blocks_.lower_bound(static_cast<int32_t>(from));
    if constexpr (!kHasLength) {
        blocks_.erase(it, blocks_.lower_bound(static_cast<int32_t>(to)));
    } else {
        if (it != blocks_.begin()) {
            auto before = std::prev(it);
            const int64_t index = before->first;
            const int64_t end = index + length_of(before->second);
            if (end > from) {
                if (end > to) {
                    // One block covers the whole range.
                    if (split) {
                        Block rest = before->second;
                        set_length(rest, end - to);
                        set_length(before->second, from - index);
                        blocks_.try_emplace(static_cast<int32_t>(to), std::move(rest));
                    } else {
                        set_length(before->second, length_of(before->second) - (to - from));
                    }
                    return;
                }
                set_length(before->second, from - index);
            }
        }
        // The first block reaching past the range leaves its rest at `to` (unless a block starts
        // there); only overlapping blocks of a damaged file can make more than one reach past.
        auto stop = blocks_.lower_bound(static_cast<int32_t>(to));
        auto reaching =
            std::find_if(it, stop, [&](const auto& entry) { return end_of(entry) > to; });
        if (reaching == stop) {
            blocks_.erase(it, stop);
            return;
        }
        Block rest = reaching->second;
        set_length(rest, end_of(*reaching) - to);
        blocks_.erase(it, stop);
        blocks_.try_emplace(static_cast<int32_t>(to), std::move(rest));
    }
}

template <class Block>
void MseqTrackSequence<Block>::cut_apply(int64_t from, int64_t to) {
    if (from > to) std::swap(from, to);
    if (from == to) return;
    erase_apply(from, to, false);
    // Only overlapping blocks (a damaged file) can still start inside the range once a block
    // covering all of it has been shortened; they go with the range, so that the blocks moving
    // back never land on them.
    blocks_.erase(blocks_.lower_bound(static_cast<int32_t>(from)),
                  blocks_.lower_bound(static_cast<int32_t>(to)));
    shift_from(to, from - to);
}

template <class Block>
bool MseqTrackSequence<Block>::space(int32_t a, int32_t p, int32_t n, uint32_t mode) {
    int64_t pp = 0, nn = 0;
    if (!to_own(a, p, n, &pp, &nn)) return false;
    const bool split = mode & MSEQ_OP_SPLIT;
    if (!space_fits(pp, nn, split)) return false;
    if (!(mode & MSEQ_OP_TEST_ONLY)) space_apply(pp, nn, split);
    return true;
}

template <class Block>
bool MseqTrackSequence<Block>::erase(int32_t a, int32_t from, int32_t to, uint32_t mode) {
    int64_t lo = 0, hi = 0;
    if (!to_own(a, from, to, &lo, &hi)) return false;
    if (!(mode & MSEQ_OP_TEST_ONLY)) erase_apply(lo, hi, mode & MSEQ_OP_SPLIT);
    return true;
}

template <class Block>
bool MseqTrackSequence<Block>::cut(int32_t a, int32_t from, int32_t to, uint32_t mode) {
    int64_t lo = 0, hi = 0;
    if (!to_own(a, from, to, &lo, &hi)) return false;
    if (!(mode & MSEQ_OP_TEST_ONLY)) cut_apply(lo, hi);
    return true;
}

template <class Block>
const MseqTrackSequence<Block>* MseqTrackSequence<Block>::stored_source(MseqObject* source,
                                                                        int64_t* factor) const {
    const auto* stored = dynamic_cast<const MseqTrackSequence*>(mseq_track_of(source));
    // The source's positions are in its own grid: they convert into this track's grid only
    // when that is a multiple of it, as for the caller's grid.
    if (!stored || stored == this || stored->stored_length < 0 || stored->m_Beat <= 0 ||
        m_Beat <= 0 || m_Beat % stored->m_Beat != 0)
        return nullptr;
    *factor = m_Beat / stored->m_Beat;
    return stored;
}

template <class Block>
bool MseqTrackSequence<Block>::to_own(int32_t a, int32_t x, int32_t y, int64_t* own_x,
                                      int64_t* own_y) const {
    const int64_t f = grid_factor(a);
    *own_x = x * f;
    *own_y = y * f;
    return f && mseq_fits32(*own_x) && mseq_fits32(*own_y);
}

template <class Block>
bool MseqTrackSequence<Block>::plan_from_source(int32_t a, int32_t from, int32_t to,
                                                MseqObject* source, bool limit, bool clip,
                                                SourcePlan* out) const {
    if (!to_own(a, std::min(from, to), std::max(from, to), &out->lo, &out->hi) || out->lo < 0)
        return false;
    int64_t factor = 0;
    const MseqTrackSequence* stored = stored_source(source, &factor);
    if (!stored) return false;
    out->length = stored->stored_length * factor;
    const int64_t range = out->hi - out->lo;
    if (limit && range != 0 && range < out->length) out->length = range;
    return plan_copy(stored->blocks_, factor, out->lo, out->length, 0, clip, out->plan);
}

template <class Block>
bool MseqTrackSequence<Block>::plan_copy(const BlockMap& source, int64_t factor, int64_t d,
                                         int64_t n, int64_t s, bool clip, CopyPlan& plan) {
    if (d < 0 || n < 0 || s < 0) return false;
    plan.clear_from = d;
    plan.clear_to = d + n;
    plan.pieces.clear();
    if (n == 0) return true;
    const int64_t limit = s + n;
    // The first source block starting at or after a position of this track's grid.
    auto first_at = [&](int64_t pos) {
        const int64_t k = ceil_div(pos, factor);
        return k > INT32_MAX ? source.end() : source.lower_bound(static_cast<int32_t>(k));
    };
    auto it = first_at(s);
    auto stop = first_at(limit);

    if constexpr (!kHasLength) {
        for (; it != stop; ++it) {
            const int64_t key = it->first * factor - s + d;
            if (!mseq_fits32(key)) return false;
            plan.pieces.push_back({static_cast<int32_t>(key), &it->second, 1});
        }
        return mseq_fits32(plan.clear_to);
    } else {
        // A block that starts before the range and reaches into it.
        const Block* head = nullptr;
        int64_t head_index = 0;
        int64_t head_end = 0;
        if (it != source.begin()) {
            auto before = std::prev(it);
            const int64_t index = before->first * factor;
            const int64_t end = index + length_of(before->second) * factor;
            if (end > s) {
                head = &before->second;
                head_index = index;
                head_end = end;
            }
        }
        // How far the last block starting before the range's end reaches past it.
        int64_t tail = 0;
        if (stop != source.begin()) {
            auto last = std::prev(stop);
            const int64_t end = last->first * factor + length_of(last->second) * factor;
            if (end > limit) tail = end - limit;
        }
        const int64_t head_over = head ? s - head_index : 0;
        if (!clip) {
            plan.clear_from = d - head_over;
            plan.clear_to = d + n + tail;
        }
        if (!mseq_fits32(plan.clear_from) || !mseq_fits32(plan.clear_to)) return false;

        auto add = [&](int64_t key, const Block* block, int64_t length) {
            if (!mseq_fits32(key) || !mseq_fits32(length)) return false;
            plan.pieces.push_back({static_cast<int32_t>(key), block, static_cast<int32_t>(length)});
            return true;
        };
        if (head) {
            const bool ok = clip ? add(d, head, std::min(head_end, limit) - s)
                                 : add(d - head_over, head, head_end - head_index);
            if (!ok) return false;
        }
        for (; it != stop; ++it) {
            const int64_t index = it->first * factor;
            const int64_t end = index + length_of(it->second) * factor;
            const int64_t length = clip ? std::min(end, limit) - index : end - index;
            if (!add(index - s + d, &it->second, length)) return false;
        }
        return true;
    }
}

template <class Block>
void MseqTrackSequence<Block>::run_copy(const CopyPlan& plan) {
    erase_apply(plan.clear_from, plan.clear_to, true);
    // The pieces come in index order: they go into the list together.
    typename BlockMap::Items copies;
    copies.reserve(plan.pieces.size());
    for (const Piece& piece : plan.pieces) {
        if (!copies.empty() && copies.back().first.value >= piece.key) continue;
        Block copy = *piece.source;
        set_length(copy, piece.length);
        fit_block(copy);
        copies.emplace_back(piece.key, std::move(copy));
    }
    blocks_.insert_sorted(std::move(copies));
}

template <class Block>
bool MseqTrackSequence<Block>::store_range(int32_t a, int32_t from, int32_t to,
                                           MseqObject* detached) const {
    int64_t lo = 0, hi = 0;
    if (!to_own(a, std::min(from, to), std::max(from, to), &lo, &hi) || !mseq_fits32(hi - lo))
        return false;
    CopyPlan plan;
    if (!plan_copy(blocks_, 1, 0, hi - lo, lo, false, plan)) return false;
    MseqTrack* copy = make_detached_copy(detached);
    auto* sequence = dynamic_cast<MseqTrackSequence*>(copy);
    if (!sequence) return false;
    sequence->stored_length = static_cast<int32_t>(hi - lo);
    sequence->run_copy(plan);
    return true;
}

template <class Block>
bool MseqTrackSequence<Block>::insert(int32_t a, int32_t from, int32_t to, MseqObject* source,
                                      uint32_t mode, int64_t* end) {
    SourcePlan s;
    if (!plan_from_source(a, from, to, source, false, mode & MSEQ_OP_CLIP, &s)) return false;
    // After the cut the blocks behind the range sit (hi - lo) earlier; the space then moves
    // them, and the part of a block crossing lo, by the stored length.
    if (!mseq_fits32(s.lo + s.length)) return false;
    if (!blocks_.empty()) {
        const int64_t last = blocks_.rbegin()->first;
        if (last >= s.hi && !mseq_fits32(last - (s.hi - s.lo) + s.length)) return false;
    }
    if (end) *end = (s.lo + s.length) / grid_factor(a);
    if (mode & MSEQ_OP_TEST_ONLY) return true;
    cut_apply(s.lo, s.hi);
    if (s.length > 0) space_apply(s.lo, s.length, true);
    run_copy(s.plan);
    return true;
}

template <class Block>
bool MseqTrackSequence<Block>::cover(int32_t a, int32_t from, int32_t to, MseqObject* source,
                                     uint32_t mode, int64_t* end) {
    SourcePlan s;
    if (!plan_from_source(a, from, to, source, true, true, &s)) return false;
    if (end) *end = (s.lo + s.length) / grid_factor(a);
    if (!(mode & MSEQ_OP_TEST_ONLY)) run_copy(s.plan);
    return true;
}

template class MseqTrackSequence<MseqBlockChord>;
template class MseqTrackSequence<MseqBlockLabel>;
template class MseqTrackSequence<MseqBlockLink>;
template class MseqTrackSequence<MseqBlockNote>;
template class MseqTrackSequence<MseqBlockRefer>;
template class MseqTrackSequence<MseqBlockValue>;
