// Where playback starts (the ruler's play cursor, play from the edit cursor, go to the start and
// the end) and the failures of playing, opening and creating that explain themselves.
#include <chrono>
#include <thread>

#include "app/AppFixture.h"
#include "edit/McmdKind.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "model/core/MseqDesk.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "model/track/MseqTrack.h"
#include "play/engine/MplyPlayer.h"

namespace transport_test {

class TransportTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(start_on_demo());
        MseqObject* music = find_node(MTYPE_LEAF_MUSIC);
        ASSERT_NE(music, nullptr);
        frame().select_node(music);
        ASSERT_TRUE(frame().run(ID_LINK_OPEN));
        ASSERT_NE(frame().shown_file(), nullptr);
        port_.log.clear();
    }
    void TearDown() override {
        stop_playing();
        AppTest::TearDown();
    }
    MedtMusic* editor() {
        MgenRef* e = MseqDesk::instance().editor_of(frame().shown_file());
        return e ? static_cast<MedtMusic*>(e->cast(MKIND_EDT_MUSIC)) : nullptr;
    }
    // Pumps until the player has passed `tick` (at most 10 s).
    bool play_past(int32_t tick) {
        for (int i = 0; i < 10000; ++i) {
            frame().pump();
            if (frame().player().Position() > tick) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    // The first note track of the shown music with a grid; nullptr when none.
    MedtTrack* grid_track() {
        MedtMusic* m = editor();
        MseqObject* root = frame().shown_file()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC)->root();
        for (MseqObject* t = root; m && t; t = t->next_in(root)) {
            MedtTrack* candidate = m->find_track(t->id);
            if (candidate && t->type == MTYPE_TRACK_NOTE && candidate->beats() > 0 &&
                candidate->unit_width() > 0)
                return candidate;
        }
        return nullptr;
    }
    // The end of the shown music's last block, read from its stored tracks.
    int64_t music_end() {
        auto* music = frame().shown_file()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        int64_t end = 0;
        for (MseqObject* t = music->root(); t; t = t->next_in(music->root())) {
            ref_ptr<MseqEntity> e = mseq_open(t);
            if (auto* track = e->cast_to<MseqTrack>(MTYPE_TRACK))
                end = std::max(end, track->length_ticks());
        }
        return end;
    }
};

TEST_F(TransportTest, TheRulerMovesThePlayCursorAndARunJumpsThere) {
    MseqEntity* music = frame().shown_file();
    frame().move_play_cursor(3840);
    EXPECT_FALSE(frame().playing());
    EXPECT_EQ(frame().play_cursor(music), 3840);
    ASSERT_TRUE(frame().run(ID_PLAY));
    EXPECT_EQ(frame().player().start_tick(), 3840);
    ASSERT_TRUE(play_past(3900));
    // While playing, the run goes on from the new place.
    frame().move_play_cursor(960);
    EXPECT_TRUE(frame().playing());
    EXPECT_EQ(frame().player().start_tick(), 960);
    EXPECT_EQ(frame().play_end(), MPE_PLAYING);
    ASSERT_TRUE(play_past(1000));
    ASSERT_TRUE(frame().run(ID_STOP));
    ASSERT_TRUE(frame().wait_play_end(3000));
    // Stop returns to where the run was last started from.
    EXPECT_EQ(frame().play_cursor(music), 960);
    EXPECT_EQ(frame().play_end(), MPE_STOPPED);
}

TEST_F(TransportTest, GoToTheStartAndTheEnd) {
    MseqEntity* music = frame().shown_file();
    frame().set_play_cursor(music, 1920);
    ASSERT_TRUE(frame().enabled(ID_GO_START));
    ASSERT_TRUE(frame().run(ID_GO_START));
    EXPECT_EQ(frame().play_cursor(music), 0);
    ASSERT_TRUE(frame().run(ID_GO_END));
    const int64_t end = music_end();
    ASSERT_GT(end, 0);
    EXPECT_EQ(frame().play_cursor(music), end);
    // Back to the start while playing: the run starts over.
    frame().set_play_cursor(music, 1920);
    ASSERT_TRUE(frame().run(ID_PLAY));
    ASSERT_TRUE(play_past(2000));
    ASSERT_TRUE(frame().run(ID_GO_START));
    EXPECT_TRUE(frame().playing());
    EXPECT_EQ(frame().player().start_tick(), 0);
    // Without a playable file shown there is nowhere to go.
    ASSERT_TRUE(frame().run(ID_STOP));
    ASSERT_TRUE(frame().wait_play_end(3000));
    ASSERT_TRUE(frame().run(ID_TOOL_VERSION));
    EXPECT_FALSE(frame().enabled(ID_GO_START));
    EXPECT_FALSE(frame().enabled(ID_GO_END));
    EXPECT_FALSE(frame().enabled(ID_PLAY_FROM_CURSOR));
}

TEST_F(TransportTest, PlayFromTheEditCursor) {
    MedtMusic* m = editor();
    ASSERT_NE(m, nullptr);
    // The first track with a grid: two bars in, the run starts at bar 3.
    MedtTrack* track = grid_track();
    ASSERT_NE(track, nullptr);
    ASSERT_TRUE(m->set_cursor(track, 2 * track->beats(), 2 * track->beats()));
    frame().set_play_cursor(frame().shown_file(), 480);
    ASSERT_TRUE(frame().enabled(ID_PLAY_FROM_CURSOR));
    ASSERT_TRUE(frame().run(ID_PLAY_FROM_CURSOR));
    EXPECT_TRUE(frame().playing());
    EXPECT_EQ(frame().player().start_tick(), 2 * MseqTrack::kTicksPerBar);
    EXPECT_EQ(frame().play_cursor(frame().shown_file()), 2 * MseqTrack::kTicksPerBar);
}

TEST_F(TransportTest, APlayWithoutAWorkingOutputSaysWhyAndTheNextPlayTriesAgain) {
    midi_.fail_open(true);
    EXPECT_FALSE(frame().run(ID_PLAY) && frame().playing());
    EXPECT_FALSE(frame().playing());
    const std::vector<std::string> warned = lines("warn:");
    ASSERT_EQ(warned.size(), 1u);
    // The device, the system's reason and the way to the settings.
    EXPECT_NE(warned[0].find("Test Synth"), std::string::npos) << warned[0];
    EXPECT_NE(warned[0].find("refused"), std::string::npos) << warned[0];
    EXPECT_NE(warned[0].find("設定"), std::string::npos) << warned[0];
    // The editors are not left locked by the failed start.
    ASSERT_NE(editor(), nullptr);
    EXPECT_FALSE(editor()->read_only());
    // The device works again: the next play opens it.
    midi_.fail_open(false);
    ASSERT_TRUE(frame().run(ID_PLAY));
    EXPECT_TRUE(frame().playing());
}

TEST_F(TransportTest, OpeningAFileThatIsNotALibraryKeepsTheOpenOne) {
    MseqRoom* open = frame().room();
    const std::string bad = root_ + "/notes.kvnr";
    write(bad, "just some notes\n");
    port_.file(CkvString(kv_fs::from_host(bad)));
    ASSERT_TRUE(frame().run(ID_ROOM_OPEN));
    EXPECT_EQ(frame().room(), open);
    EXPECT_NE(frame().shown_file(), nullptr);
    const std::vector<std::string> warned = lines("warn:");
    ASSERT_EQ(warned.size(), 1u);
    EXPECT_NE(warned[0].find(bad), std::string::npos) << warned[0];
    EXPECT_NE(warned[0].find("理由"), std::string::npos) << warned[0];
    // A book is no library either.
    port_.log.clear();
    const std::string book = root_ + "/book.kvnr";
    write(book, read(host("mymusic/demo/demo.kvnb")));
    port_.file(CkvString(kv_fs::from_host(book)));
    ASSERT_TRUE(frame().run(ID_ROOM_OPEN));
    EXPECT_EQ(frame().room(), open);
    EXPECT_EQ(lines("warn:").size(), 1u);
}

TEST_F(TransportTest, TheCreateLibraryDialogTakesALinuxPath) {
    std::filesystem::create_directories(root_ + "/work");
    dialog({{"parent", root_ + "/work"}, {"folder", "songs"}, {"file", "library.kvnr"}});
    ASSERT_TRUE(frame().run(ID_ROOM_CREATE));
    ASSERT_NE(frame().room(), nullptr);
    EXPECT_EQ(kv_fs::to_host(frame().room()->full_path), root_ + "/work/songs/library.kvnr");
    EXPECT_TRUE(lines("warn:").empty());
    // The dialog offered its folder as a host path.
    EXPECT_EQ(port_.last_fields.get("parent").str().rfind('/', 0), 0u);
}

TEST_F(TransportTest, ExportSaysWhereItWroteTheFile) {
    const std::string out = root_ + "/out.mid";
    port_.file(CkvString(kv_fs::from_host(out)));
    ASSERT_TRUE(frame().run(ID_EXPORT_MIDI));
    const std::vector<std::string> said = lines("status:");
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find(out), std::string::npos) << said[0];
}

TEST_F(TransportTest, TheExitQuestionListsTheUnsavedFiles) {
    MseqEntity* music = frame().shown_file();
    MseqDesk::instance().mark_modified(music);
    port_.answer(MAppAnswer::cancel);
    EXPECT_FALSE(frame().exit(MAppPlacement{}));
    const std::vector<std::string> asked = lines("ask");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find(kv_fs::to_host(music->full_path)), std::string::npos) << asked[0];
}

TEST_F(TransportTest, AnUndoBackToTheSavedBytesLeavesTheFileUnmodified) {
    MseqEntity* music = frame().shown_file();
    auto* ed = static_cast<MedtMusicInvoker*>(
        MseqDesk::instance().editor_of(music)->cast(MKIND_EDT_MUSIC_INVOKER));
    ASSERT_NE(ed, nullptr);
    MedtTrack* track = grid_track();
    ASSERT_NE(track, nullptr);
    ASSERT_TRUE(ed->set_cursor(track, 0, 0));
    ASSERT_EQ(ed->command(MVC_SPACE), 1);
    ASSERT_TRUE(music->flags & MEF_MODIFIED);
    // Still another text than the file's: it stays modified.
    EXPECT_FALSE(frame().settle_modified(music));
    EXPECT_NE(kv_codec::utf8_from_cp932(frame().title()).find(" * ["), std::string::npos);
    ed->undo();
    EXPECT_TRUE(frame().settle_modified(music));
    EXPECT_FALSE(music->flags & MEF_MODIFIED);
    EXPECT_EQ(kv_codec::utf8_from_cp932(frame().title()).find(" * ["), std::string::npos);
    EXPECT_FALSE(frame().enabled(ID_FILE_SAVE));
}

}  // namespace transport_test
