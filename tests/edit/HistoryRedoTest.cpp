#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edit/EditFixture.h"
#include "edit/McmdMusic.h"
#include "edit/MedtHistory.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTransaction.h"
#include "edit/MedtViewCommands.h"
#include "model/block/MseqBlockValue.h"

namespace history_redo_test {

// A command that only carries a number, to follow entries through the lists.
class Tagged final : public MgenCommand {
public:
    explicit Tagged(int n) : tag(n) {}
    uint32_t kind() const override { return 0x80019999; }
    int tag;
};

int tag_of(const ref_ptr<MgenCommand>& c) {
    return c ? static_cast<Tagged*>(c.get())->tag : -1;
}

TEST(HistoryRedoList, GivesEachGroupBackInTheOrderItFirstRan) {
    MedtHistory h;
    // An undo of a group (entries 3, 2, 1 taken newest first) records what redoes each one in
    // that order; a second undo opens a second redo group.
    h.open_redo_group();
    for (int n : {3, 2, 1})
        h.append_redo(ref_ptr<MgenCommand>::adopt(new Tagged(n)).get());
    h.open_redo_group();
    h.append_redo(ref_ptr<MgenCommand>::adopt(new Tagged(9)).get());
    EXPECT_EQ(h.redo_group_count(), 2u);
    EXPECT_EQ(h.redo_size(), 4u);
    // The group undone last is redone first; within a group, oldest first.
    const uint32_t newest = h.last_redo_group();
    EXPECT_EQ(tag_of(h.take_last_redo()), 9);
    EXPECT_NE(h.last_redo_group(), newest);
    std::vector<int> order;
    while (!h.redo_empty())
        order.push_back(tag_of(h.take_last_redo()));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(h.take_last_redo(), nullptr);
    EXPECT_EQ(h.last_redo_group(), 0u);
}

TEST(HistoryRedoList, ClearingEitherWayEmptiesIt) {
    MedtHistory h;
    h.open_redo_group();
    h.append_redo(ref_ptr<MgenCommand>::adopt(new Tagged(1)).get());
    h.append(ref_ptr<MgenCommand>::adopt(new Tagged(2)).get());
    h.clear_redo();
    EXPECT_TRUE(h.redo_empty());
    EXPECT_EQ(h.size(), 1u);  // the undo list stays
    h.open_redo_group();
    h.append_redo(ref_ptr<MgenCommand>::adopt(new Tagged(3)).get());
    h.clear();
    EXPECT_TRUE(h.redo_empty());
    EXPECT_TRUE(h.empty());
    EXPECT_EQ(h.redo_group_count(), 0u);
}

class Redo : public EditFixture {
protected:
    // Runs `edit`, then undo and redo twice over: the bytes after each undo are the ones
    // before the edit (but for the music's next free track identifier, which an undone new
    // track keeps used when `same_next_id` is false), after each redo the ones the edit left.
    template <class Edit>
    void round_trip(const char* what, Edit edit, bool same_next_id = true) {
        const uint32_t next_id = music->m_NextID;
        const std::string before = bytes();
        edit();
        const std::string after = bytes();
        ASSERT_NE(after, before) << what;
        for (int i = 0; i < 2; ++i) {
            editor->undo();
            if (!same_next_id) {
                EXPECT_NE(music->m_NextID, next_id) << what;
                const uint32_t used = music->m_NextID;
                music->m_NextID = next_id;
                EXPECT_EQ(bytes(), before) << what;
                music->m_NextID = used;
            } else {
                EXPECT_EQ(bytes(), before) << what;
            }
            EXPECT_EQ(editor->nothing_to_redo(), 0) << what;
            editor->redo();
            EXPECT_EQ(bytes(), after) << what;
            EXPECT_EQ(editor->nothing_to_redo(), 1) << what;
        }
    }
};

TEST_F(Redo, RestoresTheExactBytesOfEveryKindOfEdit) {
    MseqObject* n = add_note(16);
    MseqObject* m = add_note(8, "m");
    MseqObject* tempo = add(music->header(), MPLACE_LAST_CHILD, MTYPE_TRACK_TEMPO, 4, "tempo");
    note_track(n)->put_block(2, note(4, 6));
    note_track(n)->put_block(9, note(1, 1));
    note_track(m)->put_block(0, note(5, 3));
    open();
    const MseqBlockNote a = note(2, 5);
    round_trip("blocks", [&] {
        MedtTransaction gesture(*editor);
        const MseqBlockValue fast(300);
        EXPECT_TRUE(gesture.post(mcmd_make<McmdSetBlock>(n->id, 2, &a).get()));
        EXPECT_TRUE(gesture.post(mcmd_make<McmdSetBlock>(n->id, 9, nullptr).get()));
        EXPECT_TRUE(gesture.post(mcmd_make<McmdSetBlock>(tempo->id, 1, &fast).get()));
    });
    round_trip("beats", [&] {
        port.answers = {true};
        EXPECT_EQ(set_property(n, 5, 4), MCMD_DONE);
    });
    MedtTrack* m_row = editor->find_track(m->id);
    ASSERT_TRUE(editor->set_cursor(m_row, 1, 3));
    round_trip("cut", [&] { EXPECT_EQ(editor->action(MACT_CUT), 1); });
    ASSERT_TRUE(editor->set_cursor(m_row, 0, 0));
    round_trip("space", [&] { EXPECT_EQ(editor->action(MACT_SPACE), 1); });
    ASSERT_TRUE(editor->set_cursor(m_row, 0, 0));
    round_trip("paste", [&] { EXPECT_EQ(editor->action(MACT_PASTE), 1); });
    round_trip("move", [&] { EXPECT_EQ(editor->move_leaf(m->id, n->id, MPLACE_BEFORE), 1); });
    ASSERT_TRUE(editor->set_cursor(editor->find_track(music->detail()->id), 0, 0));
    round_trip(  // a note track
        "add", [&] { EXPECT_EQ(editor->command(MVC_ADD_GROUP + 9), 1); }, false);
    ASSERT_TRUE(editor->set_cursor(editor->find_track(m->id), 0, 0));
    round_trip("delete", [&] {
        port.answers = {true};
        EXPECT_EQ(editor->command(MVC_DELETE_TRACK), 1);
    });
}

TEST_F(Redo, StepsBackAndForthThroughSeveralGroups) {
    MseqObject* n = add_note(16);
    open();
    std::vector<std::string> states{bytes()};
    for (int whole = 1; whole <= 3; ++whole) {
        const MseqBlockNote b = note(whole, 2);
        EXPECT_EQ(set_block(n, whole * 3, &b), MCMD_DONE);
        states.push_back(bytes());
    }
    for (int i = 3; i > 0; --i) {
        editor->undo();
        EXPECT_EQ(bytes(), states[size_t(i - 1)]);
    }
    EXPECT_EQ(editor->history().redo_group_count(), 3u);
    EXPECT_EQ(editor->nothing_to_undo(), 1);
    for (int i = 1; i <= 3; ++i) {
        editor->redo();
        EXPECT_EQ(bytes(), states[size_t(i)]);
        EXPECT_EQ(editor->history().group_count(), size_t(i));  // each redo is an undo step again
    }
    editor->redo();  // nothing left: nothing changes
    EXPECT_EQ(bytes(), states[3]);
}

TEST_F(Redo, ARepeatedBlockOfOneGestureComesBackAsTheGestureLeftIt) {
    MseqObject* n = add_note(16);
    note_track(n)->put_block(4, note(7, 3));
    open();
    const std::string before = bytes();
    MedtTransaction drag(*editor);
    for (int whole = 1; whole <= 3; ++whole) {
        const MseqBlockNote moving = note(whole, 1);
        EXPECT_TRUE(drag.post(mcmd_make<McmdSetBlock>(n->id, 4, &moving).get()));
    }
    drag.commit();
    ASSERT_EQ(editor->history().size(), 1u);  // merged into one entry
    const std::string after = bytes();
    editor->undo();
    EXPECT_EQ(bytes(), before);
    editor->redo();
    EXPECT_EQ(bytes(), after);
    EXPECT_EQ(notes(n), "4:3+1");
}

TEST_F(Redo, ANewEditDropsWhatCouldBeRedoneAndACopyDoesNot) {
    MseqObject* n = add_note(16);
    note_track(n)->put_block(0, note(3, 2));
    open();
    const MseqBlockNote a = note(1), b = note(2);
    set_block(n, 4, &a);
    set_block(n, 5, &a);
    editor->undo();
    editor->undo();
    EXPECT_EQ(editor->history().redo_group_count(), 2u);
    ASSERT_TRUE(editor->set_cursor(editor->find_track(n->id), 0, 2));
    EXPECT_EQ(editor->action(MACT_COPY), 1);
    EXPECT_EQ(editor->history().redo_group_count(), 2u);
    editor->redo();
    EXPECT_EQ(editor->history().redo_group_count(), 1u);
    set_block(n, 8, &b);
    EXPECT_EQ(editor->nothing_to_redo(), 1);
    editor->redo();
    EXPECT_EQ(notes(n), "0:3+2 4:1+1 8:2+1");
    // A property that is not undoable is an edit too.
    editor->undo();
    EXPECT_EQ(editor->nothing_to_redo(), 0);
    EXPECT_EQ(set_property(n, 21, 100), MCMD_DONE);
    EXPECT_EQ(editor->nothing_to_redo(), 1);
}

TEST_F(Redo, ARolledBackGestureAndAReadOnlyEditorRedoNothing) {
    MseqObject* n = add_note(16);
    open();
    const MseqBlockNote a = note(1);
    const MseqBlockValue wrong(5);
    set_block(n, 1, &a);
    editor->undo();
    ASSERT_EQ(editor->nothing_to_redo(), 0);
    {
        MedtTransaction gesture(*editor);
        EXPECT_TRUE(gesture.post(mcmd_make<McmdSetBlock>(n->id, 2, &a).get()));
        EXPECT_FALSE(gesture.post(mcmd_make<McmdSetBlock>(n->id, 3, &wrong).get()));
    }
    // The set-block that ran was a new edit; its roll-back left nothing to redo.
    EXPECT_EQ(editor->nothing_to_redo(), 1);
    EXPECT_EQ(notes(n), "");
    set_block(n, 1, &a);
    editor->undo();
    editor->edit_flags |= MEDT_READ_ONLY;
    editor->redo();
    EXPECT_EQ(notes(n), "");
    EXPECT_EQ(editor->nothing_to_redo(), 0);
    editor->edit_flags &= ~MEDT_READ_ONLY;
    editor->redo();
    EXPECT_EQ(notes(n), "1:1+1");
}

TEST_F(Redo, TheMenuCommandAndItsKeysAreInTheViewTable) {
    const MedtViewCommand* redo = medt_view_commands::find(MVC_REDO);
    ASSERT_NE(redo, nullptr);
    EXPECT_EQ(medt_view_commands::find_key("Ctrl+Shift+Z"), redo);
    EXPECT_EQ(medt_view_commands::find_key("Ctrl+Y"), redo);
    EXPECT_EQ(medt_view_commands::find_key("Ctrl+Z")->id, MVC_UNDO);
    EXPECT_EQ(medt_view_commands::find_key(""), nullptr);
    MseqObject* n = add_note(16);
    open();
    const MseqBlockNote a = note(1);
    set_block(n, 1, &a);
    EXPECT_EQ(editor->command(MVC_UNDO), 1);
    EXPECT_EQ(notes(n), "");
    EXPECT_EQ(editor->command(MVC_REDO), 1);
    EXPECT_EQ(notes(n), "1:1+1");
}

}  // namespace history_redo_test
