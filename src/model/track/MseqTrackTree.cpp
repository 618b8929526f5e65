#include "model/track/MseqTrackTree.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "model/core/MseqFactory.h"
#include "model/core/MseqId.h"
#include "model/core/MseqObject.h"
#include "model/track/MseqReplace.h"

namespace {

// A node that a store or a copy may fill: an empty one or a detached one, not in use.
bool can_take_copy(const MseqObject* node) {
    if (!node) return false;
    if (node->id != 0 && mseq_file_number(node->id) != MFILE_DETACHED) return false;
    return mseq_subtree_removable(node);
}

// Copies are built on a stand-in node first, so that a failure half-way leaves the caller's
// node as it was; this hands the finished copy over to the caller's node.
bool adopt(MseqObject& staged, MseqObject* detached) {
    ref_ptr<MseqEntity> content(staged.entity());
    staged.release_entity();
    if (!detached->set(staged.id, staged.type, staged.name, staged.path)) return false;
    while (MseqObject* child = detached->first_child())
        delete child;
    while (MseqObject* child = staged.first_child()) {
        child->unlink();
        child->link_last_child(detached);
    }
    if (content) {
        content->owner = detached;
        detached->attach(content.detach());
    }
    return true;
}

int depth_below(const MseqObject* node, const MseqObject* top) {
    int depth = 0;
    for (const MseqObject* n = node; n && n != top; n = n->parent())
        ++depth;
    return depth;
}

// Runs `op(track, grid, mode)` on every sequence track of the subtree, first with the test
// flag on all of them, then for real.
template <class Op>
bool on_sequences(MseqObject* target, uint32_t mode, Op op) {
    if (!mseq_subtree_grid_fits(target)) return false;
    const int32_t a = mseq_track_of(target)->m_Beat;
    for (int pass = 0; pass < 2; ++pass) {
        const uint32_t m = pass == 0 ? (mode | MSEQ_OP_TEST_ONLY) : mode;
        for (MseqObject* n = target; n; n = n->next_in(target)) {
            MseqTrack* t = mseq_track_of(n);
            if (t->is_sequence() && !op(t, a, m)) return false;
        }
        if (mode & MSEQ_OP_TEST_ONLY) break;
    }
    return true;
}

// Like on_sequences, walking the source tree in step: `op(track, source node, grid, mode,
// &end)`. `end` receives the largest end.
template <class Op>
bool on_sequence_pairs(MseqObject* target, MseqObject* source, uint32_t mode, int64_t start,
                       int64_t* end, Op op) {
    if (!source || !mseq_subtree_grid_fits(target) || !mseq_same_shape(target, source))
        return false;
    const int32_t a = mseq_track_of(target)->m_Beat;
    int64_t largest = start;
    for (int pass = 0; pass < 2; ++pass) {
        const uint32_t m = pass == 0 ? (mode | MSEQ_OP_TEST_ONLY) : mode;
        largest = start;
        MseqObject* s = source;
        for (MseqObject* n = target; n; n = n->next_in(target), s = s->next_in(source)) {
            MseqTrack* t = mseq_track_of(n);
            int64_t e = start;
            if (t->is_sequence() && !op(t, s, a, m, &e)) return false;
            largest = std::max(largest, e);
        }
        if (mode & MSEQ_OP_TEST_ONLY) break;
    }
    if (end) *end = largest;
    return true;
}

// Makes `copy` a detached node of `node`'s identity (its serial in the detached file number)
// holding a copy of `track`'s whole content.
bool copy_content(MseqObject* node, MseqTrack* track, MseqObject* copy) {
    if (!copy->set(mseq_make_id(MFILE_DETACHED, mseq_serial(node->id)), node->type, node->name,
                   MseqDescPath(kPathWith)))
        return false;
    if (!mseq_factory(copy)) return false;
    MseqTrack* target = copy->entity()->cast_to<MseqTrack>(MTYPE_TRACK);
    return target && track->copy_to(target);
}

}  // namespace

MseqTrack* mseq_track_of(MseqObject* node) {
    if (!node) return nullptr;
    // Only contents stored with their container are made on demand here; anything else is
    // used as it is, so that asking never leaves a placeholder behind.
    if (!node->entity() && !node->is_with()) return nullptr;
    ref_ptr<MseqEntity> entity = mseq_open(node);
    return entity ? entity->cast_to<MseqTrack>(MTYPE_TRACK) : nullptr;
}

bool mseq_validate_tracks(MseqObject* top) {
    if (!top) return false;
    for (MseqObject* n = top; n; n = n->next_in(top)) {
        MseqTrack* t = mseq_track_of(n);
        if (!t || !t->validate()) return false;
    }
    return true;
}

int64_t mseq_track_length(MseqObject* node) {
    MseqTrack* track = mseq_track_of(node);
    if (!track) return 0;
    if (track->is_sequence()) return track->end_index(track->m_Beat);
    if (!track->accepts_children() || track->m_Beat <= 0) return 0;
    int64_t longest = 0;
    for (MseqObject* n = node->next_in(node); n; n = n->next_in(node)) {
        MseqTrack* t = mseq_track_of(n);
        if (t && t->is_sequence()) longest = std::max(longest, t->length_ticks());
    }
    const int64_t scaled = track->m_Beat * longest;
    return scaled / MseqTrack::kTicksPerBar + (scaled % MseqTrack::kTicksPerBar > 0 ? 1 : 0);
}

bool mseq_subtree_grid_fits(MseqObject* target) {
    MseqTrack* top = mseq_track_of(target);
    if (!top || top->m_Beat <= 0) return false;
    int64_t divisor = 0;
    for (MseqObject* n = target; n; n = n->next_in(target)) {
        MseqTrack* t = mseq_track_of(n);
        if (!t) return false;
        if (!t->is_sequence()) continue;
        if (t->m_Beat <= 0) return false;
        divisor = std::gcd(divisor, static_cast<int64_t>(t->m_Beat));
    }
    return divisor % top->m_Beat == 0;
}

bool mseq_same_shape(MseqObject* a, MseqObject* b) {
    if (!a || !b) return false;
    MseqObject* x = a;
    MseqObject* y = b;
    for (; x && y; x = x->next_in(a), y = y->next_in(b)) {
        if (x->type != y->type || depth_below(x, a) != depth_below(y, b)) return false;
    }
    return !x && !y;
}

bool mseq_subtree_store(MseqObject* target, int32_t from, int32_t to, MseqObject* detached) {
    if (!mseq_subtree_grid_fits(target) || !can_take_copy(detached)) return false;
    const int32_t a = mseq_track_of(target)->m_Beat;
    MseqObject staged;
    std::unordered_map<MseqObject*, MseqObject*> copies;
    for (MseqObject* n = target; n; n = n->next_in(target)) {
        MseqObject* copy = &staged;
        if (n != target) {
            copy = new MseqObject;
            copy->link_last_child(copies.at(n->parent()));
        }
        copies[n] = copy;
        if (!mseq_track_of(n)->store_range(a, from, to, copy)) return false;
    }
    return adopt(staged, detached);
}

bool mseq_subtree_space(MseqObject* target, int32_t p, int32_t n, uint32_t mode) {
    return on_sequences(target, mode,
                        [&](MseqTrack* t, int32_t a, uint32_t m) { return t->space(a, p, n, m); });
}

bool mseq_subtree_erase(MseqObject* target, int32_t from, int32_t to, uint32_t mode) {
    return on_sequences(target, mode, [&](MseqTrack* t, int32_t a, uint32_t m) {
        return t->erase(a, from, to, m);
    });
}

bool mseq_subtree_cut(MseqObject* target, int32_t from, int32_t to, uint32_t mode) {
    return on_sequences(
        target, mode, [&](MseqTrack* t, int32_t a, uint32_t m) { return t->cut(a, from, to, m); });
}

bool mseq_subtree_insert(MseqObject* target, int32_t from, int32_t to, MseqObject* source,
                         uint32_t mode, int64_t* end) {
    return on_sequence_pairs(target, source, mode, std::min(from, to), end,
                             [&](MseqTrack* t, MseqObject* s, int32_t a, uint32_t m, int64_t* e) {
                                 return t->insert(a, from, to, s, m, e);
                             });
}

bool mseq_subtree_cover(MseqObject* target, int32_t from, int32_t to, MseqObject* source,
                        uint32_t mode, int64_t* end) {
    return on_sequence_pairs(target, source, mode, std::min(from, to), end,
                             [&](MseqTrack* t, MseqObject* s, int32_t a, uint32_t m, int64_t* e) {
                                 return t->cover(a, from, to, s, m, e);
                             });
}

bool mseq_subtree_replace(MseqObject* target, MseqReplace* replacement) {
    if (!replacement || !mseq_subtree_grid_fits(target)) return false;
    const int32_t a = mseq_track_of(target)->m_Beat;
    const int32_t from = replacement->m_From;
    const int32_t to = replacement->m_To;
    int32_t total = 0;
    for (MseqObject* n = target; n; n = n->next_in(target)) {
        MseqTrack* t = mseq_track_of(n);
        if (!t->is_sequence()) continue;
        const int64_t f = t->m_Beat / a;
        if (!mseq_fits32(from * f) || !mseq_fits32(to * f)) continue;
        replacement->m_From = static_cast<int32_t>(from * f);
        replacement->m_To = static_cast<int32_t>(to * f);
        if (t->replace(replacement)) total += replacement->m_Count;
    }
    replacement->m_From = from;
    replacement->m_To = to;
    replacement->m_Count = total;
    return true;
}

int64_t mseq_stored_span(MseqObject* target, MseqObject* source) {
    MseqTrack* t = mseq_track_of(target);
    MseqTrack* s = mseq_track_of(source);
    if (!t || !s || s->m_Beat <= 0 || t->m_Beat <= 0 || t->m_Beat % s->m_Beat != 0) return -1;
    return static_cast<int64_t>(s->stored_length) * (t->m_Beat / s->m_Beat);
}

bool mseq_copy_tree(MseqObject* top, MseqObject* detached) {
    if (!top || !can_take_copy(detached)) return false;
    MseqObject staged;
    std::unordered_map<MseqObject*, MseqObject*> copies;
    for (MseqObject* n = top; n; n = n->next_in(top)) {
        MseqTrack* track = mseq_track_of(n);
        if (!track) return false;
        MseqObject* copy = &staged;
        if (n != top) {
            copy = new MseqObject;
            copy->link_last_child(copies.at(n->parent()));
        }
        copies[n] = copy;
        if (!copy_content(n, track, copy)) return false;
    }
    return adopt(staged, detached);
}

bool mseq_copy_track(MseqObject* node, MseqObject* detached) {
    MseqTrack* track = mseq_track_of(node);
    if (!track || !can_take_copy(detached)) return false;
    MseqObject staged;
    return copy_content(node, track, &staged) && adopt(staged, detached);
}
