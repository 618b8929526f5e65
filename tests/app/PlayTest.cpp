// Playback, export, device release, settings and the manual.
#include <algorithm>
#include <chrono>
#include <thread>

#include "app/AppFixture.h"
#include "app/MAppText.h"
#include "app/MFramePlayback.h"
#include "edit/McmdKind.h"
#include "edit/MedtMusic.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqConfig.h"
#include "play/devices/MplyDevice.h"
#include "play/engine/MplyPlayer.h"

namespace play_test {

bool playable(const MseqObject* n) {
    return n->type == MTYPE_LEAF_MUSIC || n->type == MTYPE_LEAF_PHRASE;
}

// Every playable leaf under `node`, in tree order (opening books on the way).
void playables(MseqObject* node, std::vector<MseqObject*>* out) {
    if (mseq_type_category(node->type) == MCAT_BOOK) mseq_open(node);
    for (MseqObject* c = node->first_child(); c; c = c->next()) {
        if (playable(c)) out->push_back(c);
        playables(c, out);
    }
}

class PlayTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(start_on_demo());
        playables(frame().room_node(), &leaves_);
        ASSERT_GE(leaves_.size(), 2u);
        // The first playable leaf, open in the editor pane.
        frame().select_node(leaves_[0]);
        ASSERT_TRUE(frame().run(ID_LINK_OPEN));
        ASSERT_NE(frame().shown_file(), nullptr);
        port_.log.clear();
    }
    void TearDown() override {
        if (app_.frame()) {
            frame().run(ID_STOP);
            frame().pump();
        }
        AppTest::TearDown();
    }
    // Pumps the frame's messages until the player has passed `tick` (at most 10 s).
    bool play_past(int32_t tick) {
        for (int i = 0; i < 10000; ++i) {
            frame().pump();
            if (frame().player().Position() > tick) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    std::vector<MseqObject*> leaves_;
};

TEST_F(PlayTest, PauseKeepsTheCursorAndStopReturnsIt) {
    MseqEntity* music = frame().shown_file();
    frame().set_play_cursor(music, 960);
    EXPECT_FALSE(frame().enabled(ID_PAUSE));
    ASSERT_TRUE(frame().run(ID_PLAY));
    EXPECT_TRUE(frame().playing());
    EXPECT_EQ(frame().player().start_tick(), 960);
    EXPECT_TRUE(frame().enabled(ID_PAUSE));
    EXPECT_FALSE(frame().enabled(ID_EXPORT_MIDI));
    EXPECT_FALSE(frame().enabled(ID_TOOL_RELEASE));
    ASSERT_TRUE(play_past(1200));
    ASSERT_TRUE(frame().run(ID_PAUSE));
    ASSERT_TRUE(frame().wait_play_end(3000));
    EXPECT_EQ(frame().play_end(), MPE_PAUSED);
    const int32_t paused_at = frame().play_cursor(music);
    EXPECT_GT(paused_at, 1200);
    // Playing again starts where the pause left the cursor; stopping returns it there.
    ASSERT_TRUE(frame().run(ID_PLAY));
    EXPECT_EQ(frame().player().start_tick(), paused_at);
    ASSERT_TRUE(play_past(paused_at + 200));
    ASSERT_TRUE(frame().run(ID_STOP));
    ASSERT_TRUE(frame().wait_play_end(3000));
    EXPECT_EQ(frame().play_end(), MPE_STOPPED);
    EXPECT_EQ(frame().play_cursor(music), paused_at);
    // Play toggles: while playing, it stops.
    ASSERT_TRUE(frame().run(ID_PLAY));
    ASSERT_TRUE(frame().run(ID_PLAY));
    ASSERT_TRUE(frame().wait_play_end(3000));
    EXPECT_FALSE(frame().playing());
    EXPECT_EQ(frame().play_cursor(music), paused_at);
}

TEST_F(PlayTest, TheShownMusicHasAnEditorThatIsLockedWhilePlaying) {
    MseqEntity* music = frame().shown_file();
    ASSERT_EQ(frame().shown_view(), MAppView::music);
    MgenRef* editor = MseqDesk::instance().editor_of(music);
    ASSERT_NE(editor, nullptr);
    auto* m = static_cast<MedtMusic*>(editor->cast(MKIND_EDT_MUSIC));
    ASSERT_NE(m, nullptr);
    EXPECT_NE(m->sequence_clipboard, nullptr);
    EXPECT_NE(m->leaf_clipboard, nullptr);
    EXPECT_EQ(m->port, &port_);
    EXPECT_FALSE(m->read_only());
    ASSERT_TRUE(frame().run(ID_PLAY));
    EXPECT_TRUE(m->read_only());
    ASSERT_TRUE(frame().run(ID_STOP));
    ASSERT_TRUE(frame().wait_play_end(3000));
    EXPECT_FALSE(m->read_only());
    // The version command shows the about view.
    ASSERT_TRUE(frame().run(ID_TOOL_VERSION));
    EXPECT_EQ(frame().shown_file(), nullptr);
    EXPECT_EQ(frame().shown_view(), MAppView::about);
}

TEST_F(PlayTest, ARunThatEndsByItselfReturnsTheCursorToTheStart) {
    MseqObject* phrase = nullptr;
    for (MseqObject* n : leaves_) {
        if (n->type == MTYPE_LEAF_PHRASE) {
            phrase = n;
            break;
        }
    }
    ASSERT_NE(phrase, nullptr);
    frame().select_node(phrase);
    ASSERT_TRUE(frame().run(ID_LINK_OPEN));
    MseqEntity* shown = frame().shown_file();
    ASSERT_EQ(shown, phrase->entity());
    ASSERT_TRUE(frame().run(ID_PLAY));
    // The cursor follows the run through the posted positions, then returns.
    int32_t furthest = 0;
    for (int i = 0; i < 60000 && (frame().playing() || frame().play_end() == MPE_PLAYING); ++i) {
        frame().pump();
        furthest = std::max(furthest, frame().play_cursor(shown));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(frame().playing());
    EXPECT_EQ(frame().play_end(), MPE_STOPPED);
    EXPECT_GT(furthest, 0);
    EXPECT_EQ(frame().play_cursor(shown), 0);
}

TEST_F(PlayTest, F6OnTheShownItemPlaysLikeF5AndOthersFromTheStart) {
    MseqEntity* music = frame().shown_file();
    frame().set_play_cursor(music, 480);
    frame().select_node(leaves_[0]);
    ASSERT_TRUE(frame().run(ID_PLAY_LINK));
    EXPECT_EQ(frame().player().start_tick(), 480);
    // While playing, F6 pauses.
    ASSERT_TRUE(frame().run(ID_PLAY_LINK));
    ASSERT_TRUE(frame().wait_play_end(3000));
    EXPECT_EQ(frame().play_end(), MPE_PAUSED);
    frame().select_node(leaves_[1]);
    ASSERT_TRUE(frame().run(ID_PLAY_LINK));
    EXPECT_EQ(frame().player().start_tick(), 0);
    ASSERT_TRUE(frame().run(ID_STOP));
    ASSERT_TRUE(frame().wait_play_end(3000));
    // A folder or map is nothing to play.
    MseqObject* folder = find_node(MTYPE_LEAF_FOLDER);
    ASSERT_NE(folder, nullptr);
    frame().select_node(folder);
    EXPECT_FALSE(frame().enabled(ID_PLAY_LINK));
}

TEST_F(PlayTest, ReleaseDeviceOnlyWhileIdleAndOpen) {
    EXPECT_FALSE(frame().enabled(ID_TOOL_RELEASE));  // never opened yet
    ASSERT_TRUE(frame().run(ID_PLAY));
    ASSERT_TRUE(frame().run(ID_STOP));
    ASSERT_TRUE(frame().wait_play_end(3000));
    ASSERT_TRUE(frame().enabled(ID_TOOL_RELEASE));
    ASSERT_TRUE(frame().run(ID_TOOL_RELEASE));
    EXPECT_TRUE(shown("一時的にデバイスを開放しました。"));
    EXPECT_FALSE(frame().current_device()->IsDeviceOpen());
    EXPECT_FALSE(frame().enabled(ID_TOOL_RELEASE));
}

// The connection taken away during a run (a JACK server that stopped): the run ends with a
// message naming the device and the system's reason, and the next play connects again.
TEST_F(PlayTest, AnOutputTakenAwayStopsTheRunWithAMessageAndReconnectsAtTheNextPlay) {
    ASSERT_TRUE(frame().run(ID_PLAY));
    ASSERT_TRUE(play_past(100));
    midi_.lose_connection();
    ASSERT_TRUE(frame().wait_play_end(3000));
    EXPECT_FALSE(frame().playing());
    EXPECT_TRUE(frame().player().OutputLost());
    const std::vector<std::string> warned = lines("warn: ");
    ASSERT_EQ(warned.size(), 1u);
    EXPECT_NE(warned[0].find("再生を止めました"), std::string::npos) << warned[0];
    EXPECT_NE(warned[0].find("Test Synth"), std::string::npos) << warned[0];
    EXPECT_NE(warned[0].find("the server went away"), std::string::npos) << warned[0];
    port_.log.clear();
    ASSERT_TRUE(frame().run(ID_PLAY));
    EXPECT_TRUE(frame().playing());
    EXPECT_FALSE(midi_.lost());
    ASSERT_TRUE(frame().run(ID_STOP));
    ASSERT_TRUE(frame().wait_play_end(3000));
    EXPECT_TRUE(lines("warn: ").empty());
}

// The synthesizer, once chosen, opens on its own thread before anything plays, so that the
// first play does not wait for its sound font; the play then uses that port.
TEST_F(PlayTest, TheSynthesizerOpensAheadOfTheFirstPlay) {
    dialog({{"m_DirectMusic", "1"}});
    ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
    const auto opens = [this] {
        int n = 0;
        for (const auto& r : synth_.log())
            n += r.what == kv_synth::synth_port_recorder::kind::open;
        return n;
    };
    for (int i = 0; i < 5000 && !frame().playback().device_open(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(frame().playback().device_open());
    EXPECT_EQ(opens(), 1);
    EXPECT_TRUE(frame().enabled(ID_TOOL_RELEASE));
    ASSERT_TRUE(frame().run(ID_PLAY));
    EXPECT_TRUE(frame().playing());
    ASSERT_TRUE(frame().run(ID_STOP));
    ASSERT_TRUE(frame().wait_play_end(3000));
    EXPECT_EQ(opens(), 1);
}

// A synthesizer that cannot open ahead says nothing then; the play tries again and says why.
TEST_F(PlayTest, ASynthesizerThatFailedAheadIsTriedAgainAtPlayWithAMessage) {
    synth_.fail_open(true);
    dialog({{"m_DirectMusic", "1"}});
    ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
    ASSERT_NE(frame().playback().device(), nullptr);  // waits for the opening thread
    EXPECT_FALSE(frame().playback().device_open());
    EXPECT_TRUE(lines("warn: ").empty());
    frame().run(ID_PLAY);
    EXPECT_FALSE(frame().playing());
    EXPECT_TRUE(shown("再生デバイスを開けませんでした")) << port_.log.size();
    synth_.fail_open(false);
    ASSERT_TRUE(frame().run(ID_PLAY));
    EXPECT_TRUE(frame().playing());
    ASSERT_TRUE(frame().run(ID_STOP));
    ASSERT_TRUE(frame().wait_play_end(3000));
}

TEST_F(PlayTest, ExportWritesTheProposedFile) {
    ASSERT_TRUE(frame().enabled(ID_EXPORT_MIDI));
    const std::string out = root_ + "/out.mid";
    port_.file(CkvString(kv_fs::from_host(out)));
    ASSERT_TRUE(frame().run(ID_EXPORT_MIDI));
    // No message box: only the status bar says where the file went.
    ASSERT_EQ(port_.log.size(), 1u);
    EXPECT_EQ(port_.log[0],
              "status: " + mapp_one_line(cp("MIDI ファイルを書き出しました : ")) + out);
    EXPECT_EQ(read(out).substr(0, 4), "MThd");
    CkvString name;
    ASSERT_TRUE(mseq_path::name_from_file_path(frame().shown_file()->full_path, &name));
    EXPECT_EQ(port_.last_request.initial_name, CkvString(name + ".mid"));
    EXPECT_EQ(port_.last_request.default_ext, CkvString("mid"));
    EXPECT_TRUE(port_.last_request.confirm_overwrite);
    // A path that cannot be written: the write step's message, no file.
    write(root_ + "/blocked", "x");
    port_.file(CkvString(kv_fs::from_host(root_ + "/blocked/x.mid")));
    ASSERT_TRUE(frame().run(ID_EXPORT_MIDI));
    EXPECT_TRUE(shown("エクスポートできませんでした。\\n\\n※ 保存処理で失敗"));
}

TEST(DefaultMidiName, FromTheLeafsFile) {
    struct Case {
        const char* path;
        const char* name;
    } cases[] = {
        {"Z:\\songs\\theme.kvnl", "theme.mid"},
        {"Z:\\songs\\.kvnl", ".mid"},
        {"", "default.mid"},
    };
    for (const Case& c : cases) {
        MseqEntity e;
        e.full_path = MseqFullPath(CkvString(c.path));
        EXPECT_EQ(mapp_default_midi_name(&e), CkvString(c.name)) << c.path;
    }
    MseqEntity longer;
    longer.full_path = MseqFullPath(CkvString("Z:\\" + std::string(260, 'a') + ".kvnl"));
    EXPECT_EQ(mapp_default_midi_name(&longer), CkvString("default.mid"));
}

// The manual: index.html, then notice.html only when the first is missing.
TEST_F(AppTest, ManualFallsBackOnlyWhenTheFirstFileIsMissing) {
    struct Case {
        bool index, notice;
        int answer;
        std::vector<std::string> opened;
        bool warned;
    } cases[] = {
        {true, true, kv_shell::kOpened, {"manual/index.html"}, false},
        {false, true, kv_shell::kOpened, {"manual/index.html", "notice.html"}, false},
        {false, false, kv_shell::kOpened, {"manual/index.html", "notice.html"}, true},
        {true, true, kv_shell::kNoAssociation, {"manual/index.html"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.index) + std::to_string(c.notice) + " " +
                     std::to_string(c.answer));
        std::filesystem::remove_all(host("manual"));
        std::filesystem::remove(host("notice.html"));
        if (c.index) copy_data("manual");
        if (c.notice) copy_data("notice.html");
        kv_shell::shell_recorder shell(c.answer);
        MAppServices s = services();
        s.shell = &shell;
        port_.log.clear();
        app_.end();
        ASSERT_TRUE(app_.start(s, CkvString(), run_));
        ASSERT_TRUE(frame().run(ID_TOOL_MANUAL));
        std::vector<std::string> expected;
        for (const std::string& rel : c.opened)
            expected.push_back(host(rel));
        EXPECT_EQ(shell.opened, expected);
        EXPECT_EQ(shown("説明書が開けませんでした。"), c.warned);
        app_.end();
    }
}

TEST_F(AppTest, SettingsChooseTheDeviceAndFlags) {
    ASSERT_TRUE(start());
    MplyDevice* system = frame().current_device();
    port_.log.clear();
    dialog({{"m_DirectMusic", "1"}, {"m_StopClose", "1"}, {"m_SeekInterval", "50"}});
    ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
    EXPECT_EQ(mseq_config().m_DirectMusic, 1);
    EXPECT_EQ(mseq_config().m_StopClose, 1);
    EXPECT_EQ(mseq_config().m_SeekInterval, 50);
    EXPECT_NE(frame().current_device(), system);
    // A value out of range keeps the dialog open; cancelling changes nothing.
    dialog({{"m_CacheLevel", "9"}});
    ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
    EXPECT_EQ(mseq_config().m_CacheLevel, 5);
    EXPECT_EQ(lines("warn: ").size(), 1u);
    // The device by number takes the device's name.
    dialog({{"m_DirectMusic", "0"}, {"m_DeviceID", "0"}});
    ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
    EXPECT_EQ(mseq_config().m_DeviceID, 0u);
    EXPECT_EQ(mseq_config().m_DeviceName, CkvString("Test Synth"));
    EXPECT_EQ(frame().current_device(), system);
}

TEST_F(AppTest, SettingsReadNumbersInDecimalOrHexadecimal) {
    ASSERT_TRUE(start());
    port_.log.clear();
    struct Case {
        const char* typed;
        int32_t interval;
    };
    // A leading zero is no octal prefix; 0x asks for hexadecimal.
    const Case cases[] = {{"010", 10}, {"0x20", 32}, {"7", 7}};
    for (const Case& c : cases) {
        dialog({{"m_SeekInterval", c.typed}});
        ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
        EXPECT_EQ(mseq_config().m_SeekInterval, c.interval) << c.typed;
    }
    EXPECT_TRUE(lines("warn: ").empty());
}

}  // namespace play_test
