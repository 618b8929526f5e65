#include <gtest/gtest.h>

#include "edit/EditFixture.h"
#include "edit/McmdMusic.h"
#include "edit/McmdSeqs.h"
#include "edit/McmdTrack.h"
#include "edit/MedtMap.h"
#include "edit/MedtMusic.h"
#include "model/block/MseqBlockValue.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapStage.h"

namespace command_undo_test {

class CommandUndo : public EditFixture {};

TEST(CommandKinds, CastsAcceptOwnKindAndFamilyBase) {
    struct Case {
        MgenRef* object;
        uint32_t kind;
        bool accepted;
    };
    auto set = mcmd_make<McmdSetBlock>(0x110001u, 0, nullptr);
    auto prop = mcmd_make<McmdSetProperty>(0x110001u, 20, MseqBlockWord());
    auto replace = mcmd_make<McmdReplaceLeafs>(0x110001u, nullptr);
    auto store = mcmd_make<McmdStoreSeqs>(0x110001u, 0, 4);
    auto store_leafs = mcmd_make<McmdStoreLeafs>(0u);
    auto erase = mcmd_make<McmdEraseSeqs>(0x110001u, 4, 0);
    MseqMusic* music = new MseqMusic(nullptr);
    auto editor = ref_ptr<MedtMusicInvoker>::adopt(new MedtMusicInvoker(music, nullptr, nullptr));
    const Case cases[] = {
        {set.get(), 0x8001016A, true},
        {set.get(), 0x80010160, true},
        {set.get(), 0x80010100, false},
        {set.get(), 0x8001016B, false},
        {prop.get(), 0x8001016B, true},
        {prop.get(), 0x80010160, true},
        {replace.get(), 0x80010105, true},
        {replace.get(), 0x80010100, true},
        {replace.get(), 0x80010160, false},
        {editor.get(), 0x80030302, true},
        {editor.get(), 0x80030301, true},
        {editor.get(), 0x80030101, false},
        {music->observer.get(), 0x80020001, true},
        {store.get(), 0x80011141, true},
        {store.get(), 0x80010160, true},
        {erase.get(), 0x80010162, true},
        {erase.get(), 0x80010160, true},
        {store_leafs.get(), 0x80011101, true},
        {store_leafs.get(), 0x80010100, false},  // stands alone
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.object->is_kind(c.kind), c.accepted) << std::hex << c.kind;
    }
    EXPECT_EQ(erase->start, 0);  // ranges are kept in order
    EXPECT_EQ(erase->end, 4);
    editor = nullptr;
    EXPECT_EQ(music->observer, nullptr);  // the editor took its observer away
    music->release();
}

TEST_F(CommandUndo, MusicWithoutEditorDeclinesAndStaysUnchanged) {
    MseqObject* n = add_note(16);
    const MseqBlockNote block = note(3);
    auto command = mcmd_make<McmdSetBlock>(n->id, 4, &block);
    music->execute(command.get());
    EXPECT_EQ(command->state, MCMD_DECLINED);
    EXPECT_EQ(notes(n), "");
    EXPECT_FALSE(music->flags & MEF_MODIFIED);
}

TEST_F(CommandUndo, SetBlockMarksModifiedAndUndoRestores) {
    MseqObject* n = add_note(16);
    open();
    EXPECT_TRUE(music->flags & MEF_EDITING);
    const MseqBlockNote block = note(3, 2);
    EXPECT_EQ(set_block(n, 4, &block), MCMD_DONE);
    EXPECT_EQ(notes(n), "4:3+2");
    EXPECT_TRUE(music->flags & MEF_MODIFIED);
    EXPECT_EQ(MseqDesk::instance().modified.count(music), 1u);
    EXPECT_EQ(editor->history().group_count(), 1u);
    editor->undo();
    EXPECT_EQ(notes(n), "");
    EXPECT_EQ(editor->nothing_to_undo(), 1);
    // Undo moves the cursor to the restored block.
    ASSERT_NE(editor->current(), nullptr);
    EXPECT_EQ(editor->current()->id(), n->id);
    EXPECT_EQ(editor->cursor(), 4);
}

TEST_F(CommandUndo, EmptyHistoryUndoesNothingAndShowsNothing) {
    add_note(16);
    open();
    editor->undo();
    EXPECT_TRUE(port.log.empty());
    EXPECT_EQ(editor->nothing_to_undo(), 1);
}

TEST_F(CommandUndo, AutoAdvanceMakesEachCommandItsOwnGroup) {
    MseqObject* n = add_note(16);
    open();
    const MseqBlockNote a = note(1), b = note(2);
    set_block(n, 0, &a);
    set_block(n, 1, &b);
    set_block(n, 0, &b);  // same block again, but a new group: no merge
    EXPECT_EQ(editor->history().group_count(), 3u);
    EXPECT_EQ(editor->history().size(), 3u);
    editor->undo();
    EXPECT_EQ(notes(n), "0:1+1 1:2+1");
    editor->undo();
    editor->undo();
    EXPECT_EQ(notes(n), "");
}

TEST_F(CommandUndo, GestureMergesRepeatedSetBlockOnOneBlock) {
    MseqObject* n = add_note(16);
    const MseqBlockNote before = note(7, 3);
    note_track(n)->put_block(4, before);
    open();
    // A drag across one block: the group stays open while auto-advance is off.
    editor->close_group();
    editor->set_auto_advance(0);
    for (int whole = 1; whole <= 3; ++whole) {
        const MseqBlockNote moving = note(whole, 1);
        set_block(n, 4, &moving);
    }
    const MseqBlockNote other = note(5);
    set_block(n, 9, &other);
    editor->set_auto_advance(1);
    editor->close_group();
    EXPECT_EQ(editor->history().size(), 2u);  // one entry for block 4, one for block 9
    EXPECT_EQ(editor->history().group_count(), 1u);
    EXPECT_EQ(notes(n), "4:3+1 9:5+1");
    editor->undo();
    EXPECT_EQ(notes(n), "4:7+3");  // as before the press
    EXPECT_EQ(editor->nothing_to_undo(), 1);
}

TEST_F(CommandUndo, ClosingTheGroupSplitsAGesture) {
    MseqObject* n = add_note(16);
    open();
    editor->set_auto_advance(0);
    const MseqBlockNote a = note(1), b = note(2), c = note(3);
    set_block(n, 1, &a);
    set_block(n, 2, &b);
    editor->close_group();
    set_block(n, 3, &c);
    EXPECT_EQ(editor->history().group_count(), 2u);
    editor->undo();
    EXPECT_EQ(notes(n), "1:1+1 2:2+1");
    editor->undo();
    EXPECT_EQ(notes(n), "");
}

TEST_F(CommandUndo, UndoOfAGroupRestoresTheExactBytes) {
    MseqObject* n = add_note(16);
    MseqObject* tempo = add(music->header(), MPLACE_LAST_CHILD, MTYPE_TRACK_TEMPO, 4, "tempo");
    note_track(n)->put_block(2, note(4, 6));
    note_track(n)->put_block(9, note(1, 1));
    open();
    const std::string original = bytes();
    editor->set_auto_advance(0);
    const MseqBlockNote a = note(2, 5);
    set_block(n, 2, &a);       // overwrite
    set_block(n, 9, nullptr);  // erase
    set_block(n, 30, &a);      // new
    const MseqBlockValue fast(300);
    set_block(tempo, 1, &fast);
    port.answers = {true};
    EXPECT_EQ(set_property(n, 5, 4), MCMD_DONE);  // beats 16 -> 4 moves blocks: asked, yes
    EXPECT_EQ(port.log.size(), 1u);
    EXPECT_NE(bytes(), original);
    editor->undo();
    EXPECT_EQ(bytes(), original);
    EXPECT_EQ(note_track(n)->m_Beat, 16);
}

TEST_F(CommandUndo, BeatsChangeAnsweredNoChangesNothing) {
    MseqObject* n = add_note(16);
    note_track(n)->put_block(1, note(1));
    note_track(n)->put_block(2, note(2));
    open();
    const std::string original = bytes();
    port.answers = {false};
    EXPECT_EQ(set_property(n, 5, 4), MCMD_FAILED);
    EXPECT_EQ(bytes(), original);
    EXPECT_EQ(editor->nothing_to_undo(), 1);
    ASSERT_EQ(port.log.size(), 1u);
    EXPECT_NE(port.log[0].find(sjis("\t1 個のブロックを削除します。")), std::string::npos);
    EXPECT_NE(port.log[0].find(sjis("\t1 個のブロックを移動させます。")), std::string::npos);
}

TEST_F(CommandUndo, ReadOnlyDeclinesAndRecordsNothing) {
    MseqObject* n = add_note(16);
    open();
    editor->edit_flags |= MEDT_READ_ONLY;
    const MseqBlockNote a = note(1);
    EXPECT_EQ(set_block(n, 0, &a), MCMD_DECLINED);
    EXPECT_EQ(set_property(n, 20, 50), MCMD_DECLINED);
    EXPECT_EQ(notes(n), "");
    EXPECT_EQ(note_track(n)->m_LRate, 100);
    EXPECT_EQ(editor->nothing_to_undo(), 1);
    EXPECT_FALSE(music->flags & MEF_MODIFIED);
}

TEST_F(CommandUndo, UnknownTrackCountsAsDoneAndChangesNothing) {
    MseqObject* n = add_note(16);
    open();
    const MseqBlockNote a = note(1);
    auto command = mcmd_make<McmdSetBlock>(0x1FFFFFu, 0, &a);
    editor->execute(command.get());
    EXPECT_EQ(command->state, MCMD_DONE);
    EXPECT_EQ(notes(n), "");
    EXPECT_EQ(editor->nothing_to_undo(), 1);
}

TEST_F(CommandUndo, TestOnlyReportsSuccessWithoutChange) {
    MseqObject* n = add_note(16);
    open();
    const MseqBlockNote a = note(1);
    auto command = mcmd_make<McmdSetBlock>(n->id, 0, &a);
    command->flags = MCMD_TEST_ONLY;
    editor->execute(command.get());
    EXPECT_EQ(command->state, MCMD_DONE);
    EXPECT_EQ(notes(n), "");
    EXPECT_EQ(editor->nothing_to_undo(), 1);
}

TEST_F(CommandUndo, FailedCommandOfAGroupUndoesTheGroup) {
    MseqObject* n = add_note(16);
    note_track(n)->put_block(3, note(6, 2));
    open();
    const std::string original = bytes();
    editor->set_auto_advance(0);
    const MseqBlockNote a = note(1);
    set_block(n, 3, &a);
    set_block(n, 5, &a);
    const MseqBlockValue wrong(5);  // a note track refuses a value block
    EXPECT_EQ(set_block(n, 7, &wrong), MCMD_FAILED);
    EXPECT_EQ(editor->undo_open_group(), 2u);
    EXPECT_EQ(bytes(), original);
    EXPECT_EQ(editor->nothing_to_undo(), 1);
}

TEST_F(CommandUndo, PropertiesOtherThanBeatsAreNotUndoable) {
    MseqObject* n = add_note(16);
    open();
    EXPECT_EQ(set_property(n, 21, 100), MCMD_DONE);
    EXPECT_EQ(note_track(n)->m_STime, 100);
    EXPECT_EQ(editor->nothing_to_undo(), 1);
    EXPECT_TRUE(music->flags & MEF_MODIFIED);
}

TEST_F(CommandUndo, DestroyingTheEditorDetachesIt) {
    add_note(16);
    open();
    ASSERT_NE(music->observer, nullptr);
    const int32_t count = music->ref_count();
    editor = nullptr;
    EXPECT_EQ(music->observer, nullptr);
    EXPECT_FALSE(music->flags & MEF_EDITING);
    EXPECT_EQ(music->ref_count(), count - 1);
}

TEST_F(CommandUndo, ButtonPressClosesTheGroupAndIsRefusedWhileReadOnly) {
    MseqObject* n = add_note(16);
    open();
    editor->set_auto_advance(0);
    const MseqBlockNote a = note(1);
    set_block(n, 1, &a);
    EXPECT_EQ(editor->button_press(n->id, 4, 1), 0);  // plain rows do nothing with a press
    set_block(n, 2, &a);
    editor->button_release();
    set_block(n, 3, &a);
    EXPECT_EQ(editor->history().group_count(), 3u);
    EXPECT_EQ(editor->history().auto_advance(), 1);
    editor->edit_flags |= MEDT_READ_ONLY;
    editor->set_auto_advance(0);
    EXPECT_EQ(editor->button_press(n->id, 4, 1), 0);
    EXPECT_EQ(editor->history().auto_advance(), 0);  // refused before anything changed
    EXPECT_EQ(editor->button_press(0x1FFFFF, 4, 1), 0);
}

TEST(MapEditors, AttachToTheirMapWithOneReferenceAndTheEditingFlag) {
    struct Case {
        MseqEntity* map;
        uint32_t kind;
    };
    const Case cases[] = {{new MseqMapChord, 0x80030101}, {new MseqMapStage, 0x80030201}};
    for (const Case& c : cases) {
        const int32_t count = c.map->ref_count();
        auto* editor = static_cast<MedtEntity*>(c.map->create_editor_model());
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->kind(), c.kind);
        EXPECT_TRUE(editor->is_kind(c.kind));
        EXPECT_FALSE(editor->is_kind(0x80030301));
        EXPECT_EQ(editor->edited_entity(), c.map);
        EXPECT_TRUE(c.map->flags & MEF_EDITING);
        EXPECT_EQ(c.map->ref_count(), count + 1);
        editor->release();
        EXPECT_FALSE(c.map->flags & MEF_EDITING);
        EXPECT_EQ(c.map->ref_count(), count);
        c.map->release();
    }
}

}  // namespace command_undo_test
