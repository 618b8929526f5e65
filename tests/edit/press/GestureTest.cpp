#include <gtest/gtest.h>

#include "edit/EditFixture.h"
#include "edit/MedtMap.h"
#include "edit/MedtMusic.h"
#include "edit/press/MedtTrackPress.h"
#include "model/block/MseqBlockRefer.h"
#include "model/library/MseqConfig.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapStage.h"
#include "model/track/MseqTrackRefer.h"

namespace gesture_test {

class Gesture : public EditFixture {
protected:
    void SetUp() override {
        node = add_note(16);
        note_track(node)->m_NoteType = MNBT_TONE;
        clicks = mseq_config().m_LClickDelete;
    }
    void TearDown() override {
        mseq_config().m_LClickDelete = clicks;
        EditFixture::TearDown();
    }
    bool press(MedtPressArea area, int32_t pos, bool right = false, bool move = false) {
        MedtTrack* track = editor->find_track(node->id);
        EXPECT_NE(track, nullptr);
        return MedtTrackPress::press(*editor, *track, MedtPress{area, pos, right, move}, {});
    }
    MedtTrack& track() { return *editor->find_track(node->id); }

    MseqObject* node = nullptr;
    int32_t clicks = 1;
};

TEST_F(Gesture, SplitIsOneUndoStepAndRestoresTheSavedBytes) {
    note_track(node)->put_block(0, note(3, 4));
    open();
    const std::string before = bytes();
    EXPECT_TRUE(press(MedtPressArea::Anchor, 2));
    MedtTrackPress::release(*editor);
    EXPECT_EQ(notes(node), "0:3+2 2:3+2");
    EXPECT_TRUE(music->flags & MEF_MODIFIED);
    editor->undo();
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(editor->nothing_to_undo(), 1);
}

TEST_F(Gesture, JoinUnderTheLeftClickSettingIsOneUndoStep) {
    mseq_config().m_LClickDelete = 1;
    note_track(node)->put_block(0, note(1, 2));
    note_track(node)->put_block(2, note(5, 3));
    open();
    const std::string before = bytes();
    EXPECT_TRUE(press(MedtPressArea::Anchor, 2));
    MedtTrackPress::release(*editor);
    EXPECT_EQ(notes(node), "0:1+5");
    editor->undo();
    EXPECT_EQ(bytes(), before);
}

TEST_F(Gesture, DragPlacesInOneGroupAndAReleaseClosesIt) {
    open();
    EXPECT_TRUE(press(MedtPressArea::Anchor, 0));
    EXPECT_TRUE(press(MedtPressArea::Anchor, 1, false, true));
    EXPECT_TRUE(press(MedtPressArea::Anchor, 2, false, true));
    MedtTrackPress::release(*editor);
    EXPECT_TRUE(press(MedtPressArea::Anchor, 6));
    MedtTrackPress::release(*editor);
    EXPECT_EQ(notes(node), "0:0+1 1:0+1 2:0+1 6:0+1");
    editor->undo();
    EXPECT_EQ(notes(node), "0:0+1 1:0+1 2:0+1");
    editor->undo();
    EXPECT_EQ(notes(node), "");
}

TEST_F(Gesture, ReadOnlyAndForeignTracksRefuse) {
    note_track(node)->put_block(0, note(1, 2));
    open();
    editor->edit_flags |= MEDT_READ_ONLY;
    EXPECT_FALSE(press(MedtPressArea::Third, 0));
    EXPECT_FALSE(MedtTrackPress::lag_edit(*editor, track(), 0, false, "10"));
    editor->edit_flags &= ~MEDT_READ_ONLY;
    EXPECT_EQ(notes(node), "0:1+2");
    EXPECT_FALSE(music->flags & MEF_MODIFIED);
    // The lag editor's result as its own step.
    EXPECT_TRUE(MedtTrackPress::lag_edit(*editor, track(), 1, false, "300"));
    EXPECT_EQ(note_track(node)->block_at(0)->m_STime, 240);
    EXPECT_EQ(note_track(node)->block_at(0)->m_Flags, MNBF_OWN_STIME);
    EXPECT_TRUE(press(MedtPressArea::StartLag, 0, true));
    MedtTrackPress::release(*editor);
    EXPECT_EQ(note_track(node)->block_at(0)->m_Flags, 0u);
    editor->undo();
    EXPECT_EQ(note_track(node)->block_at(0)->m_STime, 240);
}

TEST_F(Gesture, StartMarkerGoesThroughTheDropHookOnlyWhenItChanges) {
    MseqObject* refer = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 4, "p");
    MseqBlockRefer block;
    block.m_Length = 4;
    block.m_PhraseID = 0x200005;
    mseq_track_of(refer)->set_block(4, 0, &block);
    open();
    MedtTrack& track = *editor->find_track(refer->id);
    EXPECT_FALSE(MedtTrackPress::start_marker(*editor, track, 2, CkvString(sjis("<ホーム>"))));
    EXPECT_FALSE(music->flags & MEF_MODIFIED);
    EXPECT_EQ(editor->nothing_to_undo(), 1);
    EXPECT_TRUE(MedtTrackPress::start_marker(*editor, track, 2, CkvString("Verse")));
    auto* stored = dynamic_cast<MseqTrackRefer*>(mseq_track_of(refer));
    EXPECT_EQ(stored->block_at(0)->m_StartMarker, "Verse");
    editor->undo();
    EXPECT_EQ(stored->block_at(0)->m_StartMarker, "");
}

TEST(MapEditors, OpenMarksTheMapAsEditedUntilClosed) {
    auto* map = new MseqMapChord;
    MgenRef* editor = MseqDesk::instance().editor_of(map);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->kind(), 0x80030101u);
    EXPECT_EQ(static_cast<MedtMapChord*>(editor)->edited_entity(), map);
    EXPECT_TRUE(map->flags & MEF_EDITING);
    EXPECT_EQ(MseqDesk::instance().editor_of(map), editor);  // one editor per map
    MseqDesk::instance().close_editor(map);
    EXPECT_FALSE(map->flags & MEF_EDITING);
    map->release();

    auto* stage = new MseqMapStage;
    {
        auto held = ref_ptr<MgenRef>::adopt(stage->create_editor_model());
        EXPECT_EQ(held->kind(), 0x80030201u);
        EXPECT_EQ(static_cast<MedtMapStage*>(held.get())->edited_entity(), stage);
        EXPECT_EQ(stage->ref_count(), 2);
    }
    EXPECT_EQ(stage->ref_count(), 1);
    stage->release();
}

}  // namespace gesture_test
