// The MIDI input in the application: the chosen port kept in its own settings file, step entry
// heard through the output, live recording of a run with its count-in, and a port that goes
// away. A fake port plays the keys; the player runs on the fixture's fast clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppFixture.h"
#include "app/MAppMidiInSetting.h"
#include "app/MAppMidiInput.h"
#include "edit/MedtBlockText.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "model/core/MseqDesk.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "play/engine/MplyPlayer.h"

namespace record_test {

class RecordTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        copy_data("mymusic");
    }
    void TearDown() override {
        stop_playing();
        AppTest::TearDown();
    }
    bool start_with_keys() {
        MAppServices s = services();
        s.midi_in = &keys_;
        return app_.start(s, CkvString(""), run_);
    }
    // Shows the demo song with the cursor on its melody track at `pos`.
    MedtTrack* show_melody(int32_t pos) {
        MseqObject* node = find_node(MTYPE_LEAF_MUSIC);
        EXPECT_NE(node, nullptr);
        frame().select_node(node);
        EXPECT_TRUE(frame().run(ID_LINK_OPEN));
        editor = frame().shown_editor();
        EXPECT_NE(editor, nullptr);
        MseqMusic* music = editor->music();
        for (MseqObject* t = music->root(); t; t = t->next_in(music->root())) {
            if (t->name.str() == kv_codec::cp932_from_utf8("メロディ")) {
                MedtTrack* melody = editor->find_track(t->id);
                EXPECT_TRUE(editor->set_cursor(melody, pos, pos));
                return melody;
            }
        }
        ADD_FAILURE() << "no melody";
        return nullptr;
    }
    static MseqTrackNote* notes(MedtTrack* t) {
        return t->stored()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
    }
    uint64_t now_us() { return uint64_t{clock_.now_ms()} * 1000; }

    kv_midi::midi_in_fake keys_;
    MedtMusicInvoker* editor = nullptr;
};

TEST_F(RecordTest, TheChosenInputIsKeptInItsOwnFileAndAnOlderFolderHasNone) {
    ASSERT_TRUE(start_with_keys());
    EXPECT_EQ(keys_.open_port(), -1) << "a folder without the file chooses no input";
    EXPECT_EQ(frame().midi_input().port_names(), (std::vector<std::string>{"Fake Keyboard"}));
    dialog({{"midi_input", "Fake Keyboard"}});
    ASSERT_TRUE(frame().run(ID_TOOL_SETTINGS));
    EXPECT_EQ(keys_.open_port(), 0);
    EXPECT_EQ(read(host("define/midi_input.cfg")), mapp_midi_in_setting_text("Fake Keyboard"));
    app_.end();
    keys_.close();
    ASSERT_TRUE(start_with_keys());
    EXPECT_EQ(keys_.open_port(), 0) << "the next start connects the port again";
    std::string port;
    std::string why;
    EXPECT_FALSE(mapp_parse_midi_in_setting("midi_input =\n", &port, &why));
    EXPECT_EQ(why, "line 1: the port has no name");
    ASSERT_TRUE(mapp_parse_midi_in_setting("# c\nmidi_input = none\n", &port, &why));
    EXPECT_EQ(port, "");
}

TEST_F(RecordTest, StepEntryEntersAtTheCursorAndIsHeardThroughTheOutput) {
    write(host("define/midi_input.cfg"), mapp_midi_in_setting_text("Fake Keyboard"));
    ASSERT_TRUE(start_with_keys());
    MedtTrack* melody = show_melody(40);
    ASSERT_NE(melody, nullptr);
    EXPECT_FALSE(frame().checked(ID_STEP_RECORD));
    ASSERT_TRUE(frame().run(ID_STEP_RECORD));
    EXPECT_TRUE(frame().checked(ID_STEP_RECORD));
    midi_.clear_log();
    keys_.key(69, 100);
    keys_.key(69, 0);
    frame().pump();
    EXPECT_EQ(editor->cursor(), 42);
    const MseqBlockNote* placed = notes(melody)->block_at(40);
    ASSERT_NE(placed, nullptr);
    int64_t sounds = -1;
    ASSERT_TRUE(medt_block_text::note_key(*melody, 40, *placed, &sounds));
    EXPECT_EQ(sounds, 69);
    bool heard = false;
    for (const auto& r : midi_.log()) {
        heard = heard || (r.bytes.size() == 3 && (r.bytes[0] & 0xF0) == 0x90 && r.bytes[1] == 69 &&
                          r.bytes[2] > 0);
    }
    EXPECT_TRUE(heard) << "the entered key sounds through the output";
    ASSERT_TRUE(frame().run(ID_STEP_RECORD));
    keys_.key(71, 100);
    keys_.key(71, 0);
    frame().pump();
    EXPECT_EQ(editor->cursor(), 42) << "step entry is off";
}

TEST_F(RecordTest, LiveRecordingKeepsTheKeysPlayedAfterTheCountInAsOneUndoStep) {
    write(host("define/midi_input.cfg"), mapp_midi_in_setting_text("Fake Keyboard"));
    ASSERT_TRUE(start_with_keys());
    const int32_t bar = 4;
    MedtTrack* melody = show_melody(0);
    ASSERT_NE(melody, nullptr);
    const int32_t beats = melody->beats();
    ASSERT_TRUE(editor->set_cursor(melody, bar * beats, bar * beats));
    const size_t history = editor->history().size();
    ASSERT_TRUE(frame().run(ID_LIVE_RECORD));
    ASSERT_TRUE(frame().playing());
    EXPECT_TRUE(frame().checked(ID_LIVE_RECORD));
    const int64_t step = MseqTrack::kTicksPerBar / beats;
    const int64_t from = int64_t{bar} * MseqTrack::kTicksPerBar;
    // Key, down at, up at (ticks of the run); the first falls into the count-in.
    struct Key {
        int key;
        int64_t down, up;
        bool pressed = false, released = false;
    };
    std::vector<Key> plan = {{50, from - 700, from - 400},
                             {64, from + 10, from + step},
                             {67, from + 2 * step, from + 4 * step},
                             {72, from + 5 * step, from + 6 * step}};
    for (int i = 0; i < 20000 && frame().playing(); ++i) {
        const int64_t tick = frame().player().current_tick();
        for (Key& k : plan) {
            if (!k.pressed && tick >= k.down) {
                keys_.key(k.key, 80, now_us());
                k.pressed = true;
            }
            if (k.pressed && !k.released && tick >= k.up) {
                keys_.key(k.key, 0, now_us());
                k.released = true;
            }
        }
        frame().pump();
        if (plan.back().released && tick > from + 8 * step) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(plan.back().released) << "the run ended before the keys were played";
    ASSERT_TRUE(frame().run(ID_LIVE_RECORD));
    ASSERT_TRUE(frame().wait_play_end(5000));
    EXPECT_FALSE(frame().checked(ID_LIVE_RECORD));
    EXPECT_EQ(frame().midi_input().last_take().entered, 3);
    const int32_t at = bar * beats;
    for (const auto& [pos, key] :
         std::vector<std::pair<int32_t, int>>{{at, 64}, {at + 2, 67}, {at + 5, 72}}) {
        const MseqBlockNote* b = notes(melody)->block_at(pos);
        ASSERT_NE(b, nullptr) << pos;
        int64_t sounds = -1;
        ASSERT_TRUE(medt_block_text::note_key(*melody, pos, *b, &sounds));
        EXPECT_EQ(sounds, key);
        EXPECT_EQ(b->m_Velocity, 80);
    }
    EXPECT_EQ(notes(melody)->block_at(at + 2)->m_Length, 2);
    editor->undo();
    EXPECT_EQ(editor->history().size(), history) << "the take is one undo step";
}

TEST_F(RecordTest, APortThatGoesAwayDuringARecordingStopsItAndKeepsTheTake) {
    write(host("define/midi_input.cfg"), mapp_midi_in_setting_text("Fake Keyboard"));
    ASSERT_TRUE(start_with_keys());
    MedtTrack* melody = show_melody(0);
    ASSERT_NE(melody, nullptr);
    ASSERT_TRUE(frame().run(ID_LIVE_RECORD));
    bool pressed = false;
    for (int i = 0; i < 20000 && frame().playing(); ++i) {
        const int64_t tick = frame().player().current_tick();
        if (!pressed && tick >= 400) {
            keys_.key(76, 90, now_us());
            pressed = true;
        }
        if (pressed && tick >= 900) {
            keys_.lose_port();
            break;
        }
        frame().pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(pressed);
    // The loss stops the run; its end enters what was played.
    ASSERT_TRUE(frame().wait_play_end(5000));
    EXPECT_EQ(frame().midi_input().mode(), MAppRecordMode::off);
    EXPECT_FALSE(keys_.is_open());
    EXPECT_TRUE(shown("the port went away"));
    EXPECT_EQ(frame().midi_input().last_take().entered, 1) << "the key held is kept";
}

}  // namespace record_test
