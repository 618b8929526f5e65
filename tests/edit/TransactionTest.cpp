#include <gtest/gtest.h>

#include "edit/EditFixture.h"
#include "edit/InMemoryLibrary.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTransaction.h"
#include "model/block/MseqBlockValue.h"
#include "model/track/MseqTrackChord.h"

namespace transaction_test {

class Transaction : public EditFixture {
protected:
    // A set-block command for the note track `node`.
    static ref_ptr<McmdSetBlock> set(MseqObject* node, int32_t position, const MseqBlock* block) {
        return mcmd_make<McmdSetBlock>(node->id, position, block);
    }
};

TEST_F(Transaction, OneGestureIsOneGroupBetweenTheEditsAroundIt) {
    MseqObject* n = add_note(16);
    open();
    const MseqBlockNote a = note(1), b = note(2), c = note(3);
    set_block(n, 0, &a);  // outside a gesture: a group of its own
    {
        MedtTransaction gesture(*editor);
        EXPECT_TRUE(gesture.post(set(n, 1, &b).get()));
        EXPECT_TRUE(gesture.post(set(n, 2, &b).get()));
        EXPECT_EQ(editor->history().auto_advance(), 0);  // the history waits for the gesture
    }                                                    // ended by its destructor: committed
    EXPECT_EQ(editor->history().auto_advance(), 1);
    set_block(n, 3, &c);
    EXPECT_EQ(editor->history().group_count(), 3u);
    editor->undo();
    EXPECT_EQ(notes(n), "0:1+1 1:2+1 2:2+1");
    editor->undo();  // both blocks of the gesture in one step
    EXPECT_EQ(notes(n), "0:1+1");
}

TEST_F(Transaction, ANewGestureClosesTheGroupLeftOpenAndAJoinAddsToIt) {
    MseqObject* n = add_note(16);
    open();
    const MseqBlockNote a = note(1);
    MedtTransaction press(*editor);
    EXPECT_TRUE(press.post(set(n, 1, &a).get()));
    press.keep_open();
    EXPECT_FALSE(press.open());
    MedtTransaction move(*editor, MedtTransaction::join_open);
    EXPECT_TRUE(move.post(set(n, 2, &a).get()));
    move.keep_open();
    EXPECT_EQ(editor->history().group_count(), 1u);
    MedtTransaction next(*editor);  // a new gesture does not join the open group
    EXPECT_TRUE(next.post(set(n, 3, &a).get()));
    next.commit();
    EXPECT_EQ(editor->history().group_count(), 2u);
    // A join after a commit starts a group of its own: nothing is open to join.
    MedtTransaction late(*editor, MedtTransaction::join_open);
    EXPECT_TRUE(late.post(set(n, 4, &a).get()));
    late.commit();
    EXPECT_EQ(editor->history().group_count(), 3u);
}

TEST_F(Transaction, AFailedCommandRollsTheGestureBackToTheExactBytes) {
    MseqObject* n = add_note(16);
    note_track(n)->put_block(3, note(6, 2));
    open();
    const std::string original = bytes();
    const MseqBlockNote a = note(1);
    const MseqBlockValue wrong(5);  // a note track refuses a value block
    MedtTransaction gesture(*editor);
    EXPECT_TRUE(gesture.post(set(n, 3, &a).get()));
    EXPECT_TRUE(gesture.post(set(n, 5, &a).get()));
    auto refused = set(n, 7, &wrong);
    EXPECT_FALSE(gesture.post(refused.get()));
    EXPECT_EQ(refused->state, MCMD_FAILED);
    EXPECT_FALSE(gesture.open());
    EXPECT_TRUE(gesture.rolled_back());
    EXPECT_EQ(bytes(), original);
    EXPECT_EQ(editor->nothing_to_undo(), 1);
    EXPECT_EQ(editor->history().auto_advance(), 1);
    // An ended gesture posts nothing more.
    auto after = set(n, 9, &a);
    EXPECT_FALSE(gesture.post(after.get()));
    EXPECT_EQ(after->state, MCMD_DECLINED);
    EXPECT_EQ(bytes(), original);
    EXPECT_EQ(gesture.rollback(), 0u);
}

TEST_F(Transaction, RollingBackAJoinedPartUndoesTheWholeOpenGroup) {
    MseqObject* n = add_note(16);
    open();
    const MseqBlockNote a = note(1), b = note(2);
    set_block(n, 0, &b);  // an earlier gesture: kept
    MedtTransaction first(*editor);
    EXPECT_TRUE(first.post(set(n, 1, &a).get()));
    first.keep_open();
    MedtTransaction second(*editor, MedtTransaction::join_open);
    EXPECT_TRUE(second.post(set(n, 2, &a).get()));
    EXPECT_EQ(second.rollback(), 2u);
    EXPECT_EQ(notes(n), "0:2+1");
    EXPECT_EQ(editor->history().group_count(), 1u);
}

TEST_F(Transaction, ANestedGestureJoinsAndRollsBackOnlyWhatItRecorded) {
    MseqObject* n = add_note(16);
    open();
    const MseqBlockNote a = note(1), b = note(2);
    const MseqBlockValue wrong(5);
    MedtTransaction outer(*editor);
    EXPECT_TRUE(outer.post(set(n, 1, &a).get()));
    {
        MedtTransaction inner(*editor);  // does not close the outer gesture's group
        EXPECT_TRUE(inner.post(set(n, 2, &b).get()));
        EXPECT_FALSE(inner.post(set(n, 3, &wrong).get()));
        EXPECT_EQ(notes(n), "1:1+1");
    }
    EXPECT_EQ(editor->history().auto_advance(), 0);  // the outer gesture is still open
    EXPECT_TRUE(outer.post(set(n, 4, &b).get()));
    outer.commit();
    EXPECT_EQ(editor->history().auto_advance(), 1);
    EXPECT_EQ(editor->history().group_count(), 1u);
    editor->undo();
    EXPECT_EQ(notes(n), "");
}

TEST_F(Transaction, EditActionsAndTrackMovesAreGesturesOfTheirOwn) {
    MseqObject* n = add_note(16);
    MseqObject* m = add_note(16, "m");
    note_track(n)->put_block(0, note(4, 2));
    open();
    const MseqBlockNote a = note(1);
    // A press held open: an edit action does not join it.
    MedtTransaction press(*editor);
    EXPECT_TRUE(press.post(set(n, 6, &a).get()));
    press.keep_open();
    ASSERT_TRUE(editor->set_cursor(editor->find_track(n->id), 0, 0));
    EXPECT_EQ(editor->action(MACT_SPACE), 1);
    EXPECT_EQ(editor->history().group_count(), 2u);
    EXPECT_EQ(editor->move_leaf(m->id, n->id, MPLACE_BEFORE), 1);
    EXPECT_EQ(editor->history().group_count(), 3u);
    // A failed action (a paste with nothing copied) records nothing and leaves the earlier
    // gestures alone.
    ASSERT_TRUE(editor->set_cursor(editor->find_track(n->id), 0, 0));
    EXPECT_EQ(editor->action(MACT_PASTE), 0);
    EXPECT_EQ(editor->history().group_count(), 3u);
    editor->undo();
    editor->undo();
    EXPECT_EQ(notes(n), "0:4+2 6:1+1");
}

// --- the shared editor operations -----------------------------------------------------------

TEST_F(Transaction, TheFirstCursorGoesToTheFirstTrackFinerThanABar) {
    MseqObject* group = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 1, "g");
    MseqObject* inner = add(group, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 8, "inner");
    add_note(16, "later");
    open();
    ASSERT_EQ(editor->current(), nullptr);
    EXPECT_TRUE(editor->place_first_cursor());
    ASSERT_NE(editor->current(), nullptr);
    // Every track before it (the root, the header, the part, the group) holds one beat a bar or
    // has no row.
    for (MedtTrack* t = editor->root(); t != editor->current(); t = t->next_in(editor->root()))
        EXPECT_TRUE(t->beats() <= 1 || t->row_height() <= 0 || !t->shown()) << t->id();
    EXPECT_GT(editor->current()->beats(), 1);
    EXPECT_EQ(editor->cursor(), 0);
    // A cursor already placed stays where it is.
    MedtTrack* later = editor->current()->next_in(editor->root());
    while (later && later->id() == inner->id)
        later = later->next_in(editor->root());
    ASSERT_NE(later, nullptr);
    ASSERT_TRUE(editor->set_cursor(later, 3, 3));
    EXPECT_TRUE(editor->place_first_cursor());
    EXPECT_EQ(editor->current(), later);
    EXPECT_EQ(editor->cursor(), 3);
}

TEST(TransactionFirstCursor, AnEditorWithoutTracksHasNoCursor) {
    auto editor = ref_ptr<MedtMusicInvoker>::adopt(new MedtMusicInvoker(nullptr, nullptr, nullptr));
    EXPECT_FALSE(editor->place_first_cursor());
    EXPECT_EQ(editor->current(), nullptr);
}

// A music of the in-memory library with a chord track, and a second book whose chord map has
// the same serial as the music's own.
class LinkNode : public ::testing::Test {
protected:
    void SetUp() override {
        MseqObject* chords_node = lib.song->create_track(MID_TRACK_HEADER, MPLACE_LAST_CHILD,
                                                         MTYPE_TRACK_CHORD, CkvString("c"));
        ASSERT_NE(chords_node, nullptr);
        chords = chords_node->id;
        mseq_track_of(chords_node)->m_Beat = 4;
        other_node = lib.room->create_book(&lib.node, MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC,
                                           CkvString("others"), MseqDescPath("<room>o.kvnb"));
        ASSERT_NE(other_node, nullptr);
        mseq_factory(other_node);
        auto* other = other_node->entity()->cast_to<MseqBook>(MTYPE_BOOK);
        // Fill the other book up to the serial of the music's chord map.
        for (MseqObject* n = nullptr; !n || mseq_serial(n->id) < mseq_serial(lib.map_node->id);) {
            n = other->create_leaf(other_node, MPLACE_LAST_CHILD, MTYPE_LEAF_CHORD,
                                   CkvString("twin"), MseqDescPath("<with>"));
            ASSERT_NE(n, nullptr);
            twin = n;
        }
        ASSERT_EQ(mseq_serial(twin->id), mseq_serial(lib.map_node->id));
        ASSERT_NE(twin->id, lib.map_node->id);
        editor = ref_ptr<MedtMusicInvoker>::adopt(new MedtMusicInvoker(lib.song, nullptr, nullptr));
    }
    MSEQ_ID map_link() const {
        return lib.song->find_track(chords)
            ->entity()
            ->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD)
            ->m_MapID;
    }

    InMemoryLibrary lib;
    MSEQ_ID chords = 0;
    MseqObject* other_node = nullptr;
    MseqObject* twin = nullptr;
    ref_ptr<MedtMusicInvoker> editor;
};

TEST_F(LinkNode, TakesALeafOfTheOwnBookAndRefusesAnotherBooksTwin) {
    EXPECT_EQ(editor->link_node(chords, 16, twin), MedtLink::other_book);
    EXPECT_EQ(map_link(), 0u);
    EXPECT_EQ(editor->history().size(), 0u);
    EXPECT_EQ(editor->link_node(chords, 16, lib.map_node), MedtLink::linked);
    EXPECT_EQ(map_link(), InMemoryLibrary::ref(lib.map_node));
    EXPECT_TRUE(lib.song->flags & MEF_MODIFIED);
}

TEST_F(LinkNode, RefusesOtherRowsKindsAndMusics) {
    // Not a link row: the name row, a row the track does not have, an unknown track, no node.
    EXPECT_EQ(editor->link_node(chords, 1, lib.map_node), MedtLink::not_a_link_row);
    EXPECT_EQ(editor->link_node(chords, 999, lib.map_node), MedtLink::not_a_link_row);
    EXPECT_EQ(editor->link_node(0x1FFFFF, 16, lib.map_node), MedtLink::not_a_link_row);
    EXPECT_EQ(editor->link_node(chords, 16, nullptr), MedtLink::not_a_link_row);
    // A phrase of the own book is no chord map.
    EXPECT_EQ(editor->link_node(chords, 16, lib.phrase_node), MedtLink::refused);
    // A track of another music with an identifier this music also has.
    MseqObject* foreign = lib.phrase->root();
    ASSERT_NE(lib.song->find_track(foreign->id), nullptr);
    EXPECT_EQ(editor->link_node(chords, 16, foreign), MedtLink::other_music);
    // Read-only: declined.
    editor->edit_flags |= MEDT_READ_ONLY;
    EXPECT_EQ(editor->link_node(chords, 16, lib.map_node), MedtLink::refused);
    EXPECT_EQ(map_link(), 0u);
}

}  // namespace transaction_test
