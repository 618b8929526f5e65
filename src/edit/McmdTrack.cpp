#include "edit/McmdTrack.h"

#include "edit/McmdMusic.h"
#include "edit/MedtMusic.h"
#include "edit/MedtText.h"
#include "edit/MedtUserPort.h"
#include "model/core/MseqObject.h"
#include "model/track/MseqTrack.h"
#include "model/track/MseqTrackTree.h"

McmdSetBlock::McmdSetBlock(MSEQ_ID target, int32_t pos, const MseqBlock* copied)
    : McmdTrackOf(target), position(pos), block(copied ? copied->clone() : nullptr) {}

McmdSetBlock::McmdSetBlock(MSEQ_ID target, int32_t pos, std::unique_ptr<MseqBlock> taken)
    : McmdTrackOf(target), position(pos), block(std::move(taken)) {}

int McmdSetBlock::run(MseqObject* target, MedtMusic* editor) {
    MseqTrack* t = mseq_track_of(target);
    if (!t || !t->is_sequence()) return 0;
    const int32_t grid = t->m_Beat;
    if (flags & MCMD_TEST_ONLY) return 1;
    MedtTrack* row = editor ? editor->find_track(track) : nullptr;
    if (row) row->redraw_block(position);
    // The inverse is taken before the change: the block now at the position, or none.
    ref_ptr<MgenCommand> inverse;
    if (flags & MCMD_RECORD_UNDO)
        inverse = ref_ptr<MgenCommand>::adopt(
            new McmdSetBlock(track, position, t->get_block(grid, position)));
    if (!t->set_block(grid, position, block.get())) return 0;
    undo = inverse;
    if (row) {
        row->redraw_block(position);
        if (editor->undoing()) editor->set_cursor(row, position, position);
    }
    result = 1;
    return 1;
}

namespace {

// Changes the beats of the track of `target`, asking first when blocks would be dropped, moved
// or shortened. The inverse is a snapshot of the whole track, so that undo restores every block
// exactly.
int change_beats(McmdSetProperty& command, MseqObject* target, MseqTrack* t, MedtMusic* editor) {
    const int32_t beats = static_cast<int32_t>(command.value.m_Index);
    if (!t->is_sequence() || !MseqTrack::is_grid_beat(beats)) return 0;
    if (beats == t->m_Beat) return 1;
    MseqGridCounts counts;
    if (!t->change_grid(beats, true, &counts)) return 0;
    if (counts.dropped || counts.moved || counts.shortened) {
        const CkvString question = medt_format(medt_text(medt_msg::BEATS_QUESTION).c_str(),
                                               counts.dropped, counts.moved, counts.shortened);
        if (!editor->port || !editor->port->ask_yes_no(question)) return 0;
    }
    if (command.flags & MCMD_TEST_ONLY) return 1;
    ref_ptr<MgenCommand> inverse;
    if (command.flags & MCMD_RECORD_UNDO) {
        auto snapshot = std::make_unique<MseqObject>();
        if (!mseq_copy_track(target, snapshot.get())) return 0;
        inverse =
            ref_ptr<MgenCommand>::adopt(new McmdReplaceLeafs(command.track, std::move(snapshot)));
    }
    if (!t->change_grid(beats, false, &counts)) return 0;
    command.undo = inverse;
    MedtTrack* row = editor->find_track(command.track);
    if (row && row == editor->current()) editor->set_cursor(row, 0, 0);
    return 1;
}

}  // namespace

int McmdSetProperty::run(MseqObject* target, MedtMusic* editor) {
    MseqTrack* t = mseq_track_of(target);
    MedtTrack* row = editor ? editor->find_track(track) : nullptr;
    if (!t || !row) return 0;
    int done = 0;
    if (property == MROW_BEATS) {
        done = change_beats(*this, target, t, editor);
    } else if (flags & MCMD_TEST_ONLY) {
        done = 1;
    } else {
        done = row->set_property(property, value) ? 1 : 0;
    }
    result = done;
    return done;
}
