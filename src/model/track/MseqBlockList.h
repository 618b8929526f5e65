#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

// The key of a block in a sequence: its index in the track's grid, 32-bit signed. It converts
// to and from int32_t, so the list is used as one keyed by plain indices. Any thread.
struct MseqIndex {
    MseqIndex(int32_t index = 0) : value(index) {}
    operator int32_t() const { return value; }
    int32_t value;
};

// The blocks of one sequence track: (index, block) pairs in one array, sorted by index, at most
// one block at an index. It answers the ordered-map questions the tracks, the editors, the
// painters and the player ask (find, lower and upper bound, ordered walks from either end), but
// a block takes its own size and no more, and a track read from a file is one allocation: a
// music of a million notes loads in well under half the memory and time of a tree of nodes.
// Putting or removing a single block in the middle moves the blocks behind it; ranges and
// copies go in and out in one move each. Iterators and pointers to blocks last until the list
// next changes its set of indices (changing a block or shifting indices keeps them). Threads as
// for the track that holds it.
template <class Block>
class MseqBlockList {
public:
    using key_type = MseqIndex;
    using mapped_type = Block;
    using value_type = std::pair<MseqIndex, Block>;
    using Items = std::vector<value_type>;
    using iterator = typename Items::iterator;
    using const_iterator = typename Items::const_iterator;
    using reverse_iterator = typename Items::reverse_iterator;
    using const_reverse_iterator = typename Items::const_reverse_iterator;
    using size_type = std::size_t;

    iterator begin() { return items_.begin(); }
    iterator end() { return items_.end(); }
    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }
    reverse_iterator rbegin() { return items_.rbegin(); }
    reverse_iterator rend() { return items_.rend(); }
    const_reverse_iterator rbegin() const { return items_.rbegin(); }
    const_reverse_iterator rend() const { return items_.rend(); }
    bool empty() const { return items_.empty(); }
    size_type size() const { return items_.size(); }
    void clear() { items_.clear(); }
    void swap(MseqBlockList& other) noexcept { items_.swap(other.items_); }
    // Makes room for `count` blocks in all, so that a reader putting them in order allocates once.
    void reserve(size_type count) { items_.reserve(count); }
    bool operator==(const MseqBlockList&) const = default;

    // The first block at or after `index` / after `index`; any integer type, compared by value.
    template <class Int>
    iterator lower_bound(Int index) {
        return std::partition_point(begin(), end(), [&](const value_type& e) {
            return std::cmp_less(e.first.value, index);
        });
    }
    template <class Int>
    const_iterator lower_bound(Int index) const {
        return const_cast<MseqBlockList*>(this)->lower_bound(index);
    }
    template <class Int>
    iterator upper_bound(Int index) {
        return std::partition_point(begin(), end(), [&](const value_type& e) {
            return !std::cmp_less(index, e.first.value);
        });
    }
    template <class Int>
    const_iterator upper_bound(Int index) const {
        return const_cast<MseqBlockList*>(this)->upper_bound(index);
    }
    template <class Int>
    iterator find(Int index) {
        auto it = lower_bound(index);
        return it != end() && std::cmp_equal(it->first.value, index) ? it : end();
    }
    template <class Int>
    const_iterator find(Int index) const {
        return const_cast<MseqBlockList*>(this)->find(index);
    }

    // Puts `block` at `index` unless a block is there already; the block at `index` and
    // whether it is the new one, as std::map::try_emplace.
    std::pair<iterator, bool> try_emplace(int32_t index, const Block& block) {
        auto it = lower_bound(index);
        if (it != end() && it->first.value == index) return {it, false};
        if (it == end()) return {append(index, block), true};
        // `block` may be one of ours: the copy is taken before anything moves.
        value_type entry(index, block);
        return {items_.insert(it, std::move(entry)), true};
    }
    // The block at `index`, a default block put there first when there is none.
    Block& operator[](int32_t index) { return try_emplace(index, Block{}).first->second; }
    // Adds a block after the last one: `index` must be greater than every index held.
    iterator append(int32_t index, const Block& block) {
        items_.emplace_back(index, block);
        return std::prev(items_.end());
    }

    iterator erase(const_iterator at) { return items_.erase(at); }
    iterator erase(const_iterator first, const_iterator last) { return items_.erase(first, last); }
    // Removes the block at `index`; how many were removed (0 or 1).
    size_type erase(int32_t index) {
        auto it = find(index);
        if (it == end()) return 0;
        items_.erase(it);
        return 1;
    }

    // Puts each of `entries` (in increasing index order) where no block is yet, as try_emplace
    // does for each: when they all fall between two neighbours the tail moves once, otherwise
    // the two sequences are merged into a new array.
    void insert_sorted(Items&& entries) {
        if (entries.empty()) return;
        auto from = lower_bound(entries.front().first.value);
        if (from == upper_bound(entries.back().first.value)) {
            items_.insert(from, std::make_move_iterator(entries.begin()),
                          std::make_move_iterator(entries.end()));
            return;
        }
        Items merged;
        merged.reserve(items_.size() + entries.size());
        auto mine = items_.begin();
        for (value_type& entry : entries) {
            while (mine != items_.end() && mine->first.value < entry.first.value)
                merged.push_back(std::move(*mine++));
            if (mine != items_.end() && mine->first.value == entry.first.value) continue;
            merged.push_back(std::move(entry));
        }
        std::move(mine, items_.end(), std::back_inserter(merged));
        items_.swap(merged);
    }

private:
    Items items_;
};
