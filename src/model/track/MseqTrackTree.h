#pragma once

#include <cstdint>

#include "model/track/MseqTrack.h"

class MseqObject;
class MseqReplace;

// Operations on a subtree of track nodes: the target track and every track below it, visited in
// pre-order (node, then its children first to last). The sequence forms work in the grid of
// the target track (its m_Beat), so a group or the part carries its members along; they are
// what the sequence edit commands apply. Detached trees (snapshots, the clipboards) are built
// with the same shape as the subtree they copy. User-interface thread only.

// The track that is the content of a track node, the content created when the node has none
// yet; nullptr when the node is null or its content is not a track.
MseqTrack* mseq_track_of(MseqObject* node);

// Validates every track of the subtree in pre-order (after loading); false at the first track
// that rejects its content or a node whose content is not a track.
bool mseq_validate_tracks(MseqObject* top);

// The length of a track in its own grid: a sequence's end index; for a root, header, part or
// group ceil(m_Beat × L / kTicksPerBar), L being the longest tick length of the sequences below it;
// 0 for any other track and for a node that is not a track.
int64_t mseq_track_length(MseqObject* node);

// True when every sequence track of the subtree can work in the target's grid: the greatest
// common divisor of their m_Beat values is a multiple of the target's m_Beat (a subtree
// without sequences passes). False for a target that is not a track, and for a grid that is
// not positive.
bool mseq_subtree_grid_fits(MseqObject* target);

// True when both subtrees have the same shape and the same node types in pre-order.
bool mseq_same_shape(MseqObject* a, MseqObject* b);

// Stores the range [from, to) of the target's grid of every track of the subtree into
// `detached` (empty, identifier 0, or detached, file number 14), which becomes a detached tree
// of the same shape; tracks that are not sequences keep their settings only. False, with
// `detached` unchanged, when the grids do not fit, the range starts below 0 or the node cannot
// take the store.
bool mseq_subtree_store(MseqObject* target, int32_t from, int32_t to, MseqObject* detached);

// Space, erase and cut on every sequence track of the subtree (MseqTrack's operations, with
// `mode` passed on). Every track is checked before any changes: false, and nothing changed,
// when the grids do not fit or one track refuses.
bool mseq_subtree_space(MseqObject* target, int32_t p, int32_t n, uint32_t mode);
bool mseq_subtree_erase(MseqObject* target, int32_t from, int32_t to, uint32_t mode);
bool mseq_subtree_cut(MseqObject* target, int32_t from, int32_t to, uint32_t mode);

// Insert and cover (multi-track paste) from a detached tree made by mseq_subtree_store: each
// sequence track takes the blocks of the source track at the same pre-order position. `end`
// receives the largest end returned by the tracks (min(from, to) when none is a sequence).
// False, and nothing changed, when the grids do not fit, the source is missing or of another
// shape, or one track refuses.
bool mseq_subtree_insert(MseqObject* target, int32_t from, int32_t to, MseqObject* source,
                         uint32_t mode, int64_t* end);
bool mseq_subtree_cover(MseqObject* target, int32_t from, int32_t to, MseqObject* source,
                        uint32_t mode, int64_t* end);

// Applies a replacement to every phrase track of the subtree, its range (in the target's grid)
// converted into each track's own; the replacement's m_Count receives the total number of
// changed blocks. Tracks that refuse are passed over. False when the grids do not fit or the
// replacement is null.
bool mseq_subtree_replace(MseqObject* target, MseqReplace* replacement);

// The stored length of the source tree's top track in the target's grid (what an insert of it
// adds); -1 when either is not a track or the grids do not fit.
int64_t mseq_stored_span(MseqObject* target, MseqObject* source);

// Copies the whole content (settings and every block) of the subtree of `top` into `detached`
// (empty or detached), which becomes a detached tree of the same shape whose nodes keep the
// serials of their originals: a track snapshot for undo or the track clipboard. False, with
// `detached` unchanged, when a node is not a track or the node cannot take the copy.
bool mseq_copy_tree(MseqObject* top, MseqObject* detached);

// Like mseq_copy_tree for the content of `node` alone, without its children.
bool mseq_copy_track(MseqObject* node, MseqObject* detached);
