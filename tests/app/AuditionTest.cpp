// Hearing what one places: a press on a note row sounds the key a run plays there, on the
// track's channel, and the note-off always follows; switched off nothing sounds.
#include <chrono>
#include <memory>
#include <thread>
#include <tuple>

#include "app/AppFixture.h"
#include "app/MAppAudition.h"
#include "app/MAppAuditionSetting.h"
#include "edit/McmdKind.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "edit/press/MedtTrackPress.h"
#include "model/core/MseqDesk.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackInherit.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackTree.h"
#include "play/OfflineNotes.h"
#include "play/engine/MplyEntity.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyOutput.h"
#include "play/engine/MplyPlayer.h"
#include "play/tracks/MplyAudition.h"

namespace audition_test {

using Rec = kv_midi::midi_out_recorder;

// The note messages (status, key) the recorder got, in order.
std::vector<std::pair<int, int>> note_messages(const Rec& midi) {
    std::vector<std::pair<int, int>> out;
    for (const auto& r : midi.log()) {
        if (r.what != Rec::kind::short_message || r.bytes.size() < 3) continue;
        const int high = r.bytes[0] & 0xF0;
        if (high == 0x90 && r.bytes[2] > 0) out.emplace_back(r.bytes[0], r.bytes[1]);
        if (high == 0x80 || (high == 0x90 && r.bytes[2] == 0))
            out.emplace_back(0x80 | (r.bytes[0] & 0x0F), r.bytes[1]);
    }
    return out;
}

class AuditionTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        copy_data("mymusic");
        ASSERT_TRUE(start());
        ASSERT_NO_FATAL_FAILURE(open_first_music(&music, &editor));
        track = sounding_note_track();
        ASSERT_NE(track, nullptr);
        midi_.clear_log();
        port_.log.clear();
    }
    void TearDown() override {
        stop_playing();
        AppTest::TearDown();
    }

    // The first note track with blocks whose notes a run plays.
    MseqTrackNote* sounding_note_track() {
        const auto notes = run_notes();
        for (MseqObject* t = music->root(); t; t = t->next_in(music->root())) {
            auto* n = t->type == MTYPE_TRACK_NOTE
                          ? mseq_track_of(t)->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE)
                          : nullptr;
            if (!n || n->blocks().empty() || n->m_Beat < 1 || !(n->m_Flags & MTF_OUTPUT)) continue;
            const int channel = mseq_effective_channel(n);
            for (const auto& [tick, ch, key] : notes) {
                if (ch == channel) return n;
            }
        }
        return nullptr;
    }
    // The note-ons of a whole run of the music as it now stands.
    std::vector<offline_notes::Note> run_notes() {
        bool started = false;
        std::vector<offline_notes::Note> notes = offline_notes::offline_note_ons(music, &started);
        EXPECT_TRUE(started);
        return notes;
    }
    // A press in the anchor area at `pos` of the track, and its release.
    bool press(int32_t pos) {
        MedtTrack* t = editor->find_track(track->owner->id);
        EXPECT_NE(t, nullptr);
        const bool done =
            MedtTrackPress::press(*editor, *t, MedtPress{MedtPressArea::Anchor, pos}, {});
        MedtTrackPress::release(*editor);
        return done;
    }
    // A position past the track's last block.
    int32_t free_position() const {
        const auto last = std::prev(track->blocks().end());
        return last->first + last->second.m_Length + 2;
    }
    // The key a run plays on `channel` nearest to the tick of the block holding `pos`.
    int run_key_at(int32_t pos, int channel) {
        int32_t start = 0;
        EXPECT_NE(track->block_covering(pos, &start), nullptr);
        const int64_t tick = int64_t{start} * (MseqTrack::kTicksPerBar / track->m_Beat);
        int best = -1;
        int64_t distance = INT64_MAX;
        for (const auto& [t, ch, key] : run_notes()) {
            if (ch != channel || std::llabs(t - tick) >= distance) continue;
            distance = std::llabs(t - tick);
            best = key;
        }
        return best;
    }
    // Pumps the frame until the audition is silent (at most 5 s of real time).
    bool wait_silent() {
        for (int i = 0; i < 5000 && frame().playback().audition()->sounding(); ++i) {
            frame().pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return !frame().playback().audition()->sounding();
    }

    MseqMusic* music = nullptr;
    MedtMusicInvoker* editor = nullptr;
    MseqTrackNote* track = nullptr;
};

TEST_F(AuditionTest, APressSoundsTheKeyARunPlaysOnTheTracksChannelAndTheNoteOffFollows) {
    const int channel = mseq_effective_channel(track);
    const int32_t pos = free_position();
    ASSERT_TRUE(press(pos));
    const auto sent = note_messages(midi_);
    ASSERT_EQ(sent.size(), 1u) << "one note-on, its note-off still to come";
    EXPECT_EQ(sent[0].first, 0x90 | channel);
    EXPECT_EQ(sent[0].second, run_key_at(pos, channel));
    EXPECT_TRUE(frame().playback().audition()->sounding());
    ASSERT_TRUE(wait_silent());
    const auto after = note_messages(midi_);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[1], std::make_pair(0x80 | channel, sent[0].second));
}

// A note already there and changed, by a press on its pitch band or on its velocity band, is
// heard as it now sounds: the raised key, then the new velocity.
TEST_F(AuditionTest, ANoteChangedInItsPitchOrVelocityIsHeardAsItNowSounds) {
    const int channel = mseq_effective_channel(track);
    const int32_t pos = track->blocks().begin()->first;
    MedtTrack* t = editor->find_track(track->owner->id);
    ASSERT_NE(t, nullptr);
    const int key_before = run_key_at(pos, channel);
    ASSERT_TRUE(MedtTrackPress::press(*editor, *t, MedtPress{MedtPressArea::Pitch, pos}, {}));
    MedtTrackPress::release(*editor);
    const auto raised = note_messages(midi_);
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0].first, 0x90 | channel);
    EXPECT_EQ(raised[0].second, run_key_at(pos, channel));
    EXPECT_GT(raised[0].second, key_before);
    ASSERT_TRUE(wait_silent());

    midi_.clear_log();
    const int velocity_before = track->block_at(pos)->m_Velocity;
    MedtPress velocity{MedtPressArea::Velocity, pos};
    velocity.height = 0.25;
    ASSERT_TRUE(MedtTrackPress::press(*editor, *t, velocity, {}));
    MedtTrackPress::release(*editor);
    const int velocity_after = track->block_at(pos)->m_Velocity;
    ASSERT_NE(velocity_after, velocity_before);
    int heard = -1;
    for (const auto& r : midi_.log()) {
        if (r.what == Rec::kind::short_message && r.bytes.size() == 3 &&
            r.bytes[0] == (0x90 | channel) && r.bytes[1] == raised[0].second)
            heard = r.bytes[2];
    }
    // The run's velocity is the note's scaled by the track's rate: what a run plays there.
    MplyAudition expected;
    ASSERT_TRUE(expected.resolve_note(music, track->owner->id, pos));
    EXPECT_EQ(heard, int(expected.notes()[0].velocity));
    EXPECT_GT(heard, 0);
}

TEST_F(AuditionTest, TheStageMapsSetUpOfTheChannelGoesBeforeTheNote) {
    ASSERT_TRUE(press(free_position()));
    const auto log = midi_.log();
    const int channel = mseq_effective_channel(track);
    size_t setup = 0, note = log.size();
    for (size_t i = 0; i < log.size(); ++i) {
        if (log[i].what != Rec::kind::short_message) continue;
        const int status = log[i].bytes[0];
        if (status == (0xB0 | channel) || status == (0xC0 | channel)) ++setup;
        if (status == (0x90 | channel) && note == log.size()) note = i;
        // Nothing of another channel: only the heard track's part is set up.
        EXPECT_EQ(status & 0x0F, channel) << i;
    }
    ASSERT_LT(note, log.size());
    EXPECT_GT(setup, 0u);
    for (size_t i = note + 1; i < log.size(); ++i)
        EXPECT_NE(log[i].bytes[0] & 0xF0, 0xB0) << "set-up after the note-on";
}

TEST_F(AuditionTest, SwitchedOffNothingSoundsAndTheChoiceIsKeptInItsOwnFile) {
    const std::string config = read(host("define/KORVANTE.CFG"));
    ASSERT_TRUE(frame().checked(ID_AUDITION));
    ASSERT_TRUE(frame().run(ID_AUDITION));
    EXPECT_FALSE(frame().checked(ID_AUDITION));
    ASSERT_TRUE(press(free_position()));
    EXPECT_TRUE(note_messages(midi_).empty());
    // The configuration's bytes stay; the switch has its own file, read back as off.
    EXPECT_EQ(read(host("define/KORVANTE.CFG")), config);
    EXPECT_FALSE(mapp_load_audition_setting().on);
    ASSERT_TRUE(frame().run(ID_AUDITION));
    EXPECT_TRUE(mapp_load_audition_setting().on);
    ASSERT_TRUE(press(free_position() + 4));
    EXPECT_EQ(note_messages(midi_).size(), 1u);
}

TEST_F(AuditionTest, NoNoteHangsAfterTheNextAuditionOrAStopOrARun) {
    const int channel = mseq_effective_channel(track);
    ASSERT_TRUE(press(free_position()));
    ASSERT_TRUE(press(free_position() + 4));
    auto sent = note_messages(midi_);
    ASSERT_EQ(sent.size(), 3u);
    // The first note ends before the second starts.
    EXPECT_EQ(sent[1], std::make_pair(0x80 | channel, sent[0].second));
    EXPECT_EQ(sent[2].first, 0x90 | channel);
    // A stop ends the second at once.
    ASSERT_TRUE(frame().run(ID_STOP));
    EXPECT_FALSE(frame().playback().audition()->sounding());
    sent = note_messages(midi_);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[3], std::make_pair(0x80 | channel, sent[2].second));
    // A run starting ends what sounds before its own first note.
    ASSERT_TRUE(press(free_position() + 8));
    midi_.clear_log();
    ASSERT_TRUE(frame().run(ID_PLAY));
    EXPECT_FALSE(frame().playback().audition()->sounding());
    ASSERT_GE(note_messages(midi_).size(), 1u);
    EXPECT_EQ(note_messages(midi_)[0].first, 0x80 | channel);
}

TEST_F(AuditionTest, WithoutAWorkingOutputNothingSoundsAndTheStatusBarSaysSoOnce) {
    midi_.fail_open(true);
    frame().playback().release_device();
    port_.log.clear();
    EXPECT_TRUE(press(free_position()));
    EXPECT_TRUE(press(free_position() + 4));
    EXPECT_TRUE(note_messages(midi_).empty());
    size_t said = 0;
    for (const std::string& l : port_.log)
        said += l.find("試聴できません") != std::string::npos ? 1 : 0;
    EXPECT_EQ(said, 1u);
    midi_.fail_open(false);
    EXPECT_TRUE(press(free_position() + 8));
    EXPECT_EQ(note_messages(midi_).size(), 1u);
}

TEST_F(AuditionTest, AChordSoundsItsTonesTogetherAndNothingSoundsWhileARunPlays) {
    MseqObject* chords = nullptr;
    for (MseqObject* t = music->root(); t && !chords; t = t->next_in(music->root())) {
        MseqTrack* stored = t->type == MTYPE_TRACK_CHORD ? mseq_track_of(t) : nullptr;
        if (stored && stored->length_ticks() > 0) chords = t;
    }
    ASSERT_NE(chords, nullptr);
    auto* stored = mseq_track_of(chords)->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
    const int32_t pos = stored->blocks().begin()->first;
    MplyAudition expected;
    ASSERT_TRUE(expected.resolve_chord(music, chords->id, pos));
    ASSERT_GE(expected.notes().size(), 3u) << "a chord of at least three tones";
    for (size_t i = 1; i < expected.notes().size(); ++i)
        EXPECT_LT(expected.notes()[i - 1].key, expected.notes()[i].key) << "voiced upwards";
    MAppAudition& audition = *frame().playback().audition();
    ASSERT_TRUE(audition.audition(music, {{chords->id, pos}}));
    std::vector<std::pair<int, int>> wanted;
    for (const MplyAuditionNote& n : expected.notes())
        wanted.emplace_back(0x90 | n.channel, n.key);
    EXPECT_EQ(note_messages(midi_), wanted);
    // While a run plays, the device is the player's: an audition is refused and sends nothing.
    ASSERT_TRUE(frame().run(ID_PLAY));
    ASSERT_TRUE(frame().playing());
    EXPECT_FALSE(audition.audition(music, {{chords->id, pos}}));
    EXPECT_FALSE(audition.sounding());
}

TEST(AuditionSetting, TheFileTextReadsBackAndDamageIsNamed) {
    for (const bool on : {true, false}) {
        bool read = !on;
        std::string why;
        ASSERT_TRUE(mapp_parse_audition_setting(mapp_audition_setting_text(on), &read, &why));
        EXPECT_EQ(read, on);
    }
    bool on = true;
    std::string why;
    EXPECT_FALSE(mapp_parse_audition_setting("audition = maybe\n", &on, &why));
    EXPECT_NE(why.find("line 1"), std::string::npos);
    EXPECT_FALSE(mapp_parse_audition_setting("audition = on\naudition = off\n", &on, &why));
    EXPECT_NE(why.find("twice"), std::string::npos);
    EXPECT_FALSE(mapp_parse_audition_setting("# nothing\n", &on, &why));
    EXPECT_TRUE(on) << "a refused text leaves the switch as it was";
}

}  // namespace audition_test
