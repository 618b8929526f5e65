#include <gtest/gtest.h>

#include <string>

#include "edit/EditFixture.h"
#include "edit/McmdMusic.h"
#include "edit/McmdSeqs.h"
#include "edit/MedtTrackKinds.h"
#include "model/block/MseqBlockRefer.h"
#include "model/track/MseqTrackRefer.h"

namespace sequence_command_test {

class SequenceCommands : public EditFixture {
protected:
    // A 16-beat note track with notes at 0 (2 long), 4, 6 (3 long), 9 and 12.
    MseqObject* song() {
        MseqObject* n = add_note(16, "lead");
        note_track(n)->put_block(0, note(1, 2));
        note_track(n)->put_block(4, note(2, 1));
        note_track(n)->put_block(6, note(3, 3));
        note_track(n)->put_block(9, note(4, 1));
        note_track(n)->put_block(12, note(5, 1));
        return n;
    }
    int act(MseqObject* node, int32_t pos, int32_t end, int code) {
        editor->set_cursor(editor->find_track(node->id), pos, end);
        return editor->action(code);
    }
};

TEST_F(SequenceCommands, CutThenUndoRestoresTheUnitsAndMovesLaterBlocksBack) {
    MseqObject* n = song();
    open();
    const std::string before = bytes();
    EXPECT_EQ(act(n, 4, 8, MACT_CUT), 1);
    EXPECT_EQ(notes(n), "0:1+2 4:3+1 5:4+1 8:5+1");  // the note at 6 keeps its part after 8
    EXPECT_EQ(editor->cursor(), 4);
    editor->undo();
    EXPECT_EQ(bytes(), before);
}

TEST_F(SequenceCommands, PasteIntoASelectionReplacesItAndUndoPutsItBack) {
    MseqObject* n = song();
    open();
    const std::string before = bytes();
    EXPECT_EQ(act(n, 8, 12, MACT_COPY), 1);   // four units: 9 and the end of 6
    EXPECT_EQ(editor->nothing_to_undo(), 1);  // a copy is never recorded
    EXPECT_EQ(act(n, 2, 6, MACT_PASTE), 1);
    EXPECT_EQ(notes(n), "0:1+2 2:3+1 3:4+1 6:3+3 9:4+1 12:5+1");
    EXPECT_EQ(editor->cursor(), 6);
    editor->undo();
    EXPECT_EQ(bytes(), before);
}

TEST_F(SequenceCommands, OverwriteWithAShorterSelectionWritesOnlyTheSelection) {
    MseqObject* n = song();
    open();
    act(n, 0, 8, MACT_COPY);
    EXPECT_EQ(act(n, 12, 14, MACT_OVERWRITE), 1);
    EXPECT_EQ(notes(n), "0:1+2 4:2+1 6:3+3 9:4+1 12:1+2");
    EXPECT_EQ(editor->cursor(), 14);
    const std::string after = bytes();
    editor->undo();
    EXPECT_NE(bytes(), after);
    EXPECT_EQ(notes(n), "0:1+2 4:2+1 6:3+3 9:4+1 12:5+1");
}

TEST_F(SequenceCommands, CopyOfAnEmptySelectionKeepsTheClipboard) {
    MseqObject* n = song();
    open();
    act(n, 4, 5, MACT_COPY);
    EXPECT_EQ(notes(&seq_clip), "0:2+1");
    EXPECT_EQ(act(n, 7, 7, MACT_COPY), 1);
    EXPECT_EQ(notes(&seq_clip), "0:2+1");
}

TEST_F(SequenceCommands, SubtreeWhoseBeatsDoNotFitRefusesAndChangesNothing) {
    MseqObject* g = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 4, "g");
    MseqObject* a = add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16, "a");
    add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 6, "b");  // gcd(16, 6) = 2: not a multiple of 4
    note_track(a)->put_block(4, note(1, 2));
    open();
    const std::string before = bytes();
    for (int code : {MACT_COPY, MACT_CUT, MACT_PASTE, MACT_DELETE, MACT_SPACE}) {
        EXPECT_EQ(act(g, 0, 2, code), 0) << code;
        EXPECT_EQ(bytes(), before) << code;
    }
    EXPECT_EQ(editor->nothing_to_undo(), 1);
}

TEST_F(SequenceCommands, DeleteSpaceAndDeleteBefore) {
    struct Case {
        int32_t pos, end;
        int action;
        const char* after;
    };
    const Case cases[] = {
        {4, 4, MACT_DELETE, "0:1+2 5:3+3 8:4+1 11:5+1"},
        {7, 7, MACT_DELETE, "0:1+2 4:2+1 6:3+2 8:4+1 11:5+1"},
        {5, 7, MACT_DELETE, "0:1+2 4:2+1 7:3+2 9:4+1 12:5+1"},  // erase: nothing moves
        {5, 5, MACT_DELETE_BEFORE, "0:1+2 5:3+3 8:4+1 11:5+1"},
        {7, 7, MACT_SPACE, "0:1+2 4:2+1 6:3+4 10:4+1 13:5+1"},  // the crossing note stretches
        {1, 1, MACT_SPACE, "0:1+3 5:2+1 7:3+3 10:4+1 13:5+1"},
    };
    for (const Case& c : cases) {
        MseqObject* n = song();
        open();
        const std::string before = bytes();
        EXPECT_EQ(act(n, c.pos, c.end, c.action), 1) << c.action << " at " << c.pos;
        EXPECT_EQ(notes(n), c.after) << c.action << " at " << c.pos;
        editor->undo();
        EXPECT_EQ(bytes(), before) << c.action << " at " << c.pos;
        editor = nullptr;
        music->remove_track(n->id);
    }
}

TEST_F(SequenceCommands, EditActionsAreIgnoredWhileReadOnlyOrAtTheStart) {
    MseqObject* n = song();
    open();
    EXPECT_EQ(act(n, 0, 0, MACT_DELETE_BEFORE), 0);
    editor->edit_flags |= MEDT_READ_ONLY;
    EXPECT_EQ(act(n, 4, 4, MACT_DELETE), 0);
    EXPECT_EQ(act(n, 4, 6, MACT_COPY), 0);
    EXPECT_EQ(notes(n), "0:1+2 4:2+1 6:3+3 9:4+1 12:5+1");
    EXPECT_EQ(editor->nothing_to_undo(), 1);
}

TEST_F(SequenceCommands, PasteThenDeleteAreTwoGroups) {
    MseqObject* n = song();
    open();
    const std::string before = bytes();
    act(n, 4, 6, MACT_COPY);
    act(n, 0, 0, MACT_PASTE);
    const std::string pasted = bytes();
    act(n, 0, 0, MACT_DELETE);
    EXPECT_EQ(editor->history().group_count(), 2u);
    editor->undo();
    EXPECT_EQ(bytes(), pasted);
    editor->undo();
    EXPECT_EQ(bytes(), before);
}

TEST_F(SequenceCommands, StoreCutRecordsOnlyTheCut) {
    MseqObject* n = song();
    open();
    const MseqBlockNote extra = note(7);
    set_block(n, 20, &extra);
    act(n, 0, 4, MACT_CUT);
    EXPECT_EQ(editor->history().size(), 2u);
    act(n, 0, 4, MACT_COPY);
    EXPECT_EQ(editor->history().size(), 2u);
    editor->undo();  // the cut
    EXPECT_EQ(notes(n), "0:1+2 4:2+1 6:3+3 9:4+1 12:5+1 20:7+1");
    editor->undo();  // the block before it
    EXPECT_EQ(notes(n), "0:1+2 4:2+1 6:3+3 9:4+1 12:5+1");
}

class LeafCommands : public EditFixture {};

TEST_F(LeafCommands, AddTrackFromTheMenuFollowsTheDisplayAndUndoRemovesIt) {
    add_note(16, "lead");
    open();
    const std::string before = bytes();
    const uint32_t next_id = music->m_NextID;
    editor->set_cursor(editor->find_track(music->detail()->id), 0, 0);
    const size_t tracks = editor->track_count();
    EXPECT_EQ(editor->command(40290), 1);  // note track
    EXPECT_EQ(editor->track_count(), tracks + 1);
    MseqObject* made = music->detail()->last_child();
    EXPECT_EQ(made->type, MTYPE_TRACK_NOTE);
    EXPECT_EQ(mseq_track_of(made)->m_Beat, 16);
    EXPECT_EQ(editor->command(40301), 1);  // a message track set to preset message 30
    EXPECT_EQ(music->detail()->last_child()->type, MTYPE_TRACK_MSG);
    editor->undo();
    editor->undo();
    EXPECT_EQ(editor->track_count(), tracks);
    // Undo gives the identifiers back to the tree, not to the allocation counter, which has
    // moved on (the next track gets a fresh identifier); everything else is as before.
    EXPECT_EQ(music->m_NextID, next_id + 2);
    music->m_NextID = next_id;
    EXPECT_EQ(bytes(), before);
    for (const std::string& line : port.log)
        EXPECT_EQ(line.rfind("warn:", 0), std::string::npos) << line;
}

TEST_F(LeafCommands, RefusedAdditionsWarnAndChangeNothing) {
    MseqObject* n = add_note(16, "lead");
    open();
    editor->set_cursor(editor->find_track(n->id), 0, 0);
    const std::string before = bytes();
    EXPECT_EQ(editor->command(40281), 1);  // a group under a note track
    ASSERT_EQ(port.log.size(), 1u);
    EXPECT_EQ(port.log[0], "warn:" + sjis("選択位置にトラックを追加できませんでした。"));
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(editor->nothing_to_undo(), 1);
    // A music holds at most 256 track nodes.
    editor->set_cursor(editor->find_track(music->detail()->id), 0, 0);
    while (music->tracks.size() < 256)
        ASSERT_EQ(editor->command(40290), 1);
    port.log.clear();
    editor->command(40290);
    EXPECT_EQ(port.log.size(), 1u);
    EXPECT_EQ(music->tracks.size(), 256u);
}

TEST_F(LeafCommands, DeletingAGroupAndUndoRestoresItsMembersWithTheirIdentifiers) {
    MseqObject* g = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 1, "g");
    MseqObject* a = add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16, "a");
    note_track(a)->put_block(3, note(2, 2));
    add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 8, "b");
    add_note(4, "after");
    open();
    const std::string before = bytes();
    const size_t tracks = editor->track_count();
    editor->set_cursor(editor->find_track(g->id), 0, 0);
    port.answers = {true};
    EXPECT_EQ(editor->command(40273), 1);
    EXPECT_EQ(editor->track_count(), tracks - 3);
    EXPECT_EQ(editor->current(), nullptr);
    editor->undo();
    EXPECT_EQ(editor->track_count(), tracks);
    EXPECT_EQ(bytes(), before);
    // The part itself is never deleted.
    editor->set_cursor(editor->find_track(music->detail()->id), 0, 0);
    port.answers = {true};
    port.log.clear();
    editor->command(40273);
    EXPECT_EQ(port.log.back(), "warn:" + sjis("選択しているトラックを削除できませんでした。"));
    EXPECT_EQ(bytes(), before);
}

TEST_F(LeafCommands, CopyAndPasteTracksFollowTheContainmentRule) {
    MseqObject* g = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 1, "g");
    MseqObject* a = add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16, "a");
    open();
    editor->set_cursor(editor->find_track(g->id), 0, 0);
    EXPECT_EQ(editor->command(40274), 1);
    EXPECT_EQ(editor->nothing_to_undo(), 1);  // a copy is never recorded
    const std::string before = bytes();
    editor->set_cursor(editor->find_track(a->id), 0, 0);
    editor->command(40275);  // a group under a note track: refused
    EXPECT_EQ(port.log.size(), 1u);
    EXPECT_EQ(bytes(), before);
    editor->set_cursor(editor->find_track(music->detail()->id), 0, 0);
    const size_t tracks = editor->track_count();
    const uint32_t next_id = music->m_NextID;
    editor->command(40275);
    EXPECT_EQ(editor->track_count(), tracks + 2);
    editor->undo();
    music->m_NextID = next_id;  // the allocation counter is not taken back by undo
    EXPECT_EQ(bytes(), before);
}

TEST_F(LeafCommands, MovingAGroupIntoItsOwnMemberFailsAndMovesUndo) {
    MseqObject* g = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 1, "g");
    MseqObject* a = add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16, "a");
    MseqObject* b = add_note(4, "b");
    open();
    const std::string before = bytes();
    auto into = mcmd_make<McmdMoveLeafs>(g->id, a->id, MPLACE_AFTER);
    editor->execute(into.get());
    EXPECT_EQ(into->state, MCMD_FAILED);
    EXPECT_EQ(bytes(), before);
    auto move = mcmd_make<McmdMoveLeafs>(b->id, a->id, MPLACE_AFTER);
    editor->execute(move.get());
    EXPECT_EQ(move->state, MCMD_DONE);
    EXPECT_EQ(editor->find_track(b->id)->parent(), editor->find_track(g->id));
    editor->undo();
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(editor->find_track(b->id)->parent(), editor->find_track(music->detail()->id));
}

TEST_F(LeafCommands, MarkerRenameChangesOnlyMatchingReferences) {
    MseqObject* r = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 16, "r");
    auto* refs = dynamic_cast<MseqTrackRefer*>(mseq_track_of(r));
    MseqBlockRefer same, other_marker, other_phrase;
    same.m_PhraseID = other_marker.m_PhraseID = 0x210005;
    other_phrase.m_PhraseID = 0x210006;
    same.m_StartMarker = other_phrase.m_StartMarker = CkvString("A");
    other_marker.m_StartMarker = CkvString("B");
    refs->put_block(0, same);
    refs->put_block(4, other_marker);
    refs->put_block(8, other_phrase);
    refs->put_block(12, same);
    open();
    MedtTrack* t = editor->find_track(r->id);
    const std::string before = bytes();
    port.answers = {false};
    EXPECT_EQ(t->drop_marker(0, CkvString("C"), true), 0);
    EXPECT_EQ(bytes(), before);
    ASSERT_EQ(port.log.size(), 1u);
    EXPECT_NE(port.log[0].find("(ID:h00210005)"), std::string::npos);
    port.answers = {true};
    EXPECT_EQ(t->drop_marker(0, CkvString("C"), true), 1);
    auto marker = [&](int32_t i) { return refs->block_at(i)->m_StartMarker.str(); };
    EXPECT_EQ(marker(0) + marker(4) + marker(8) + marker(12), "CBAC");
    EXPECT_EQ(t->drop_marker(4, CkvString(), false), 1);  // one block, no question
    EXPECT_EQ(marker(4), "");
    editor->undo();
    editor->undo();
    EXPECT_EQ(bytes(), before);
}

}  // namespace sequence_command_test
