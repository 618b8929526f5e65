#include "edit/McmdSeqs.h"

#include <algorithm>

#include "edit/MedtMusic.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackTree.h"

namespace {

// A snapshot of [a, b) of the target's subtree in a fresh detached tree; nullptr when the
// grids of the subtree do not allow a store.
std::unique_ptr<MseqObject> snapshot(MseqObject* target, int32_t a, int32_t b) {
    auto node = std::make_unique<MseqObject>();
    if (!mseq_subtree_store(target, a, b, node.get())) return nullptr;
    return node;
}

// The inverse every range command records: an insert of the snapshot of [a, b) over [a, c).
ref_ptr<MgenCommand> reinsert(MSEQ_ID track, MseqObject* target, int32_t a, int32_t b, int32_t c) {
    std::unique_ptr<MseqObject> stored = snapshot(target, a, b);
    if (!stored) return nullptr;
    return ref_ptr<MgenCommand>::adopt(new McmdInsertSeqs(track, a, c, std::move(stored)));
}

void put_cursor(MedtMusic* editor, MSEQ_ID track, int64_t position) {
    if (!editor) return;
    const int32_t p = static_cast<int32_t>(std::clamp<int64_t>(position, 0, INT32_MAX));
    editor->set_cursor(editor->find_track(track), p, p);
}

// The source of a paste: the command's own, else the editor's sequence clipboard.
MseqObject* source_of(MseqObject* source, MedtMusic* editor) {
    if (source) return source;
    return editor ? editor->sequence_clipboard : nullptr;
}

// The paste checks: grids fit, the source exists and has the target's shape.
bool can_paste(MseqObject* target, MseqObject* source) {
    return source && mseq_subtree_grid_fits(target) && mseq_same_shape(target, source) &&
           mseq_stored_span(target, source) >= 0;
}

}  // namespace

int McmdSpaceSeqs::run(MseqObject* target, MedtMusic* editor) {
    if (position < 0 || count <= 0 || !mseq_subtree_grid_fits(target)) return 0;
    if (flags & MCMD_TEST_ONLY) return 1;
    if (!mseq_subtree_space(target, position, count, 0)) return 0;
    if (flags & MCMD_RECORD_UNDO)
        undo = ref_ptr<MgenCommand>::adopt(new McmdCutSeqs(track, position, position + count));
    put_cursor(editor, track, int64_t{position} + count);
    result = 1;
    return 1;
}

McmdEraseSeqs::McmdEraseSeqs(MSEQ_ID target, int32_t a, int32_t b)
    : McmdTrackOf(target), start(std::min(a, b)), end(std::max(a, b)) {}

int McmdEraseSeqs::run(MseqObject* target, MedtMusic*) {
    if (start < 0 || !mseq_subtree_grid_fits(target)) return 0;
    if (flags & MCMD_TEST_ONLY) return 1;
    ref_ptr<MgenCommand> inverse;
    if (flags & MCMD_RECORD_UNDO) {
        inverse = reinsert(track, target, start, end, end);
        if (!inverse) return 0;
    }
    if (!mseq_subtree_erase(target, start, end, MSEQ_OP_SPLIT)) return 0;
    undo = inverse;
    result = 1;
    return 1;
}

McmdCutSeqs::McmdCutSeqs(MSEQ_ID target, int32_t a, int32_t b)
    : McmdTrackOf(target), start(std::min(a, b)), end(std::max(a, b)) {}

int McmdCutSeqs::run(MseqObject* target, MedtMusic* editor) {
    if (start < 0 || !mseq_subtree_grid_fits(target)) return 0;
    if (flags & MCMD_TEST_ONLY) return 1;
    ref_ptr<MgenCommand> inverse;
    if (flags & MCMD_RECORD_UNDO) {
        inverse = reinsert(track, target, start, end, start);
        if (!inverse) return 0;
    }
    if (!mseq_subtree_cut(target, start, end, 0)) return 0;
    undo = inverse;
    put_cursor(editor, track, start);
    result = 1;
    return 1;
}

McmdInsertSeqs::McmdInsertSeqs(MSEQ_ID target, int32_t a, int32_t b, MseqObject* from,
                               bool clip_flag)
    : McmdTrackOf(target),
      start(std::min(a, b)),
      end(std::max(a, b)),
      source(from),
      clip(clip_flag) {}

McmdInsertSeqs::McmdInsertSeqs(MSEQ_ID target, int32_t a, int32_t b,
                               std::unique_ptr<MseqObject> stored)
    : McmdTrackOf(target),
      start(std::min(a, b)),
      end(std::max(a, b)),
      source(stored.get()),
      clip(false),
      owned(std::move(stored)) {}

int McmdInsertSeqs::run(MseqObject* target, MedtMusic* editor) {
    MseqObject* from = source_of(source, editor);
    if (start < 0 || !can_paste(target, from)) return 0;
    if (flags & MCMD_TEST_ONLY) return 1;
    ref_ptr<MgenCommand> inverse;
    if (flags & MCMD_RECORD_UNDO) {
        // A paste at a point cuts a block crossing it in two, and taking the pasted range out
        // again would leave the halves apart. The undo record then also holds the first unit
        // after the point: its snapshot keeps a crossing block whole, and putting it back over
        // that unit joins the halves.
        const int64_t extra = start == end ? 1 : 0;
        const int64_t length = mseq_stored_span(target, from);
        inverse = reinsert(
            track, target, start, static_cast<int32_t>(std::min<int64_t>(end + extra, INT32_MAX)),
            static_cast<int32_t>(std::min<int64_t>(start + length + extra, INT32_MAX)));
        if (!inverse) return 0;
    }
    int64_t reached = 0;
    if (!mseq_subtree_insert(target, start, end, from, clip ? uint32_t{MSEQ_OP_CLIP} : 0u,
                             &reached))
        return 0;
    undo = inverse;
    put_cursor(editor, track, reached);
    result = static_cast<int32_t>(std::clamp<int64_t>(reached, 0, INT32_MAX));
    return 1;
}

McmdCoverSeqs::McmdCoverSeqs(MSEQ_ID target, int32_t a, int32_t b, MseqObject* from)
    : McmdTrackOf(target), start(std::min(a, b)), end(std::max(a, b)), source(from) {}

int McmdCoverSeqs::run(MseqObject* target, MedtMusic* editor) {
    MseqObject* from = source_of(source, editor);
    if (start < 0 || !can_paste(target, from)) return 0;
    if (flags & MCMD_TEST_ONLY) return 1;
    ref_ptr<MgenCommand> inverse;
    if (flags & MCMD_RECORD_UNDO) {
        int64_t reach = start + mseq_stored_span(target, from);
        if (start != end && end < reach) reach = end;
        const int32_t d = static_cast<int32_t>(std::min<int64_t>(reach, INT32_MAX));
        inverse = reinsert(track, target, start, d, d);
        if (!inverse) return 0;
    }
    int64_t reached = 0;
    if (!mseq_subtree_cover(target, start, end, from, 0, &reached)) return 0;
    undo = inverse;
    put_cursor(editor, track, reached);
    result = static_cast<int32_t>(std::clamp<int64_t>(reached, 0, INT32_MAX));
    return 1;
}

int McmdReplaceSeqs::run(MseqObject* target, MedtMusic*) {
    if (!replacement || !mseq_subtree_grid_fits(target)) return 0;
    const int32_t a = std::min(replacement->m_From, replacement->m_To);
    const int32_t b = std::max(replacement->m_From, replacement->m_To);
    if (a < 0) return 0;
    if (flags & MCMD_TEST_ONLY) return 1;
    ref_ptr<MgenCommand> inverse;
    if (flags & MCMD_RECORD_UNDO) {
        inverse = reinsert(track, target, a, b, b);
        if (!inverse) return 0;
    }
    if (!mseq_subtree_replace(target, replacement.get())) return 0;
    undo = inverse;
    result = 1;
    return 1;
}

McmdStoreSeqs::McmdStoreSeqs(MSEQ_ID target, int32_t a, int32_t b)
    : McmdTrackOf(target), start(std::min(a, b)), end(std::max(a, b)) {}

int McmdStoreSeqs::run(MseqObject* target, MedtMusic* editor) {
    if (start == end) {
        result = 1;
        return 1;
    }
    if (!editor || !editor->sequence_clipboard) return 0;
    if (flags & MCMD_TEST_ONLY) return mseq_subtree_grid_fits(target) ? 1 : 0;
    result = mseq_subtree_store(target, start, end, editor->sequence_clipboard) ? 1 : 0;
    return result;
}

McmdStoreCutSeqs::McmdStoreCutSeqs(MSEQ_ID target, int32_t a, int32_t b)
    : McmdTrackOf(target), start(std::min(a, b)), end(std::max(a, b)) {}

int McmdStoreCutSeqs::run(MseqObject* target, MedtMusic* editor) {
    if (start == end) {
        result = 1;
        return 1;
    }
    if (!editor || !editor->sequence_clipboard || !editor->music()) return 0;
    if (flags & MCMD_TEST_ONLY) return mseq_subtree_grid_fits(target) ? 1 : 0;
    if (!mseq_subtree_store(target, start, end, editor->sequence_clipboard)) return 0;
    auto cut = ref_ptr<McmdCutSeqs>::adopt(new McmdCutSeqs(track, start, end));
    editor->music()->execute(cut.get());
    result = cut->state == MCMD_DONE ? cut->result : 0;
    return result;
}
