// Played keys entered as typed notes on the demo song: whatever the note type, the note the
// entry writes must sound exactly the key played when the player resolves it there, in C major
// and after the change into D major.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/MAppMidiInput.h"
#include "app/MAppScriptPort.h"
#include "edit/DemoSongFixture.h"
#include "edit/MedtBlockText.h"
#include "edit/MedtHeldKeys.h"
#include "edit/MedtKeyEntry.h"
#include "edit/MedtLiveTake.h"
#include "edit/MedtMusic.h"
#include "edit/MedtNoteEntry.h"
#include "edit/MedtStepEntry.h"
#include "edit/press/MedtChordPress.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPath.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackNote.h"
#include "platform/FileSystem.h"
#include "platform/MidiIn.h"
#include "platform/TextCodec.h"
#include "text/MrecFileStore.h"

namespace key_entry_test {

using demo_song_fixture::DemoSong;

TEST_F(DemoSong, EveryTypeGivesBackTheKeyPlayedAtEveryFourthBar) {
    MedtTrack* melody = track("メロディ");
    ASSERT_NE(melody, nullptr);
    MseqTrackNote* stored = notes(melody);
    const uint32_t kept = stored->m_NoteType;
    for (uint32_t type : {MNBT_PURE, MNBT_TONE, MNBT_SDEG, MNBT_CDEG}) {
        stored->m_NoteType = type;
        int32_t entered = 0;
        for (int32_t bar = 0; bar < 40; bar += 4) {
            const int32_t pos = bar * melody->beats();
            for (int32_t key : {40, 59, 61, 66, 72, 85}) {
                MseqBlockNote note;
                note.m_Length = 2;
                ASSERT_TRUE(medt_note_for_key(*melody, pos, key, &note))
                    << type << " bar " << bar << " key " << key;
                EXPECT_EQ(note.m_Type, type);
                EXPECT_EQ(note.m_Length, 2);
                int64_t sounds = -1;
                ASSERT_TRUE(medt_block_text::note_key(*melody, pos, note, &sounds));
                EXPECT_EQ(sounds, key) << type << " bar " << bar;
                ++entered;
            }
        }
        EXPECT_EQ(entered, 60);
    }
    stored->m_NoteType = kept;
}

TEST_F(DemoSong, RhythmNotesTakeOnlyTheirDrumSound) {
    MedtTrack* drums = track("タンバリン");
    ASSERT_NE(drums, nullptr);
    notes(drums)->m_NoteType = MNBT_RHYTHM;  // new notes are hits, whatever the view draws
    const int32_t sound = int32_t(notes(drums)->m_Rhythm.m_Index & 0xFF);
    MseqBlockNote note;
    ASSERT_TRUE(medt_note_for_key(*drums, 0, sound, &note));
    EXPECT_EQ(note.m_Type, MNBT_RHYTHM);
    EXPECT_FALSE(medt_note_for_key(*drums, 0, sound + 1, &note));
    EXPECT_FALSE(medt_note_for_key(*drums, 0, 128, &note));
}

TEST_F(DemoSong, AKeyEnteredAtTheCursorIsOneUndoStep) {
    MedtTrack* melody = track("メロディ");
    ASSERT_NE(melody, nullptr);
    const size_t before = notes(melody)->block_count();
    const int32_t pos = 30 * melody->beats();  // in D major
    const MseqBlockNote* old = notes(melody)->block_at(pos);
    const MseqBlockNote was = old ? *old : MseqBlockNote();
    ASSERT_TRUE(editor->set_cursor(melody, pos, pos));
    MedtNoteEntry entry(*editor);
    EXPECT_EQ(entry.enter_key(78), MedtEntryResult::entered);  // F#6: the key's third
    const MseqBlockNote* placed = notes(melody)->block_at(pos);
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(placed->m_Length, 2);  // a quarter of eighths
    EXPECT_EQ(editor->cursor(), pos + 2);
    int64_t sounds = -1;
    ASSERT_TRUE(medt_block_text::note_key(*melody, pos, *placed, &sounds));
    EXPECT_EQ(sounds, 78);
    editor->undo();
    EXPECT_EQ(notes(melody)->block_count(), before);
    const MseqBlockNote* back = notes(melody)->block_at(pos);
    EXPECT_EQ(back != nullptr, old != nullptr);
    if (back) {
        EXPECT_TRUE(*back == was);
    }
    editor->edit_flags |= MEDT_READ_ONLY;
    EXPECT_EQ(entry.enter_key(78), MedtEntryResult::read_only);
}

}  // namespace key_entry_test

// ---- Keys played on the MIDI input: the whole path from the port's bytes to the entry ----

namespace step_entry_test {

using demo_song_fixture::DemoSong;

// The application's input over the fixture's editor, fed by a fake port.
struct Keyboard {
    explicit Keyboard(MedtMusicInvoker* editor)
        : input(
              &port, user, [editor] { return editor; }, [] { return int64_t{-1}; }, nullptr) {
        port.open(0);
        input.set_mode(MAppRecordMode::step);
    }
    // The keys pressed together and released, then the port drained.
    void play(const std::vector<int>& keys) {
        for (int k : keys)
            port.key(k, 90);
        for (int k : keys)
            port.key(k, 0);
        input.pump();
    }
    kv_midi::midi_in_fake port;
    MAppScriptPort user;
    MAppMidiInput input;
};

TEST(HeldKeys, KeysDownBeforeTheFirstReleaseAreOneChord) {
    MedtHeldKeys held;
    std::vector<int32_t> chord;
    EXPECT_FALSE(held.note(64, 0, &chord)) << "a release without its key going down";
    EXPECT_FALSE(held.note(67, 80, &chord));
    EXPECT_FALSE(held.note(60, 80, &chord));
    EXPECT_FALSE(held.note(60, 80, &chord)) << "the same key again is no new key";
    EXPECT_TRUE(held.gathering());
    ASSERT_TRUE(held.note(67, 0, &chord));
    EXPECT_EQ(chord, (std::vector<int32_t>{60, 67}));
    // 60 is still down: a key struck now begins the next chord, and 60's release is no chord.
    EXPECT_FALSE(held.note(72, 80, &chord));
    EXPECT_FALSE(held.note(60, 0, &chord));
    ASSERT_TRUE(held.note(72, 0, &chord));
    EXPECT_EQ(chord, (std::vector<int32_t>{72}));
    EXPECT_FALSE(held.note(200, 80, &chord));
    EXPECT_FALSE(held.gathering());
}

TEST_F(DemoSong, EveryTypeGivesBackTheKeyPlayedOnTheInputAtManyPositions) {
    MedtTrack* melody = track("メロディ");
    ASSERT_NE(melody, nullptr);
    MseqTrackNote* stored = notes(melody);
    const uint32_t kept = stored->m_NoteType;
    Keyboard keyboard(editor.get());
    keyboard.input.set_note_value(MedtNoteValue{8, false, false});
    for (uint32_t type : {MNBT_PURE, MNBT_TONE, MNBT_SDEG, MNBT_CDEG}) {
        stored->m_NoteType = type;
        int entered = 0;
        for (int32_t bar = 1; bar < 40; bar += 3) {
            for (int32_t key : {48, 62, 63, 70, 79}) {
                const int32_t pos = bar * melody->beats() + (key % 4);
                ASSERT_TRUE(editor->set_cursor(melody, pos, pos));
                keyboard.play({key});
                ASSERT_EQ(keyboard.input.last_result(), MedtEntryResult::entered)
                    << type << " bar " << bar << " key " << key;
                EXPECT_EQ(editor->cursor(), pos + 1);  // an eighth on a grid of eighths
                const MseqBlockNote* placed = stored->block_at(pos);
                ASSERT_NE(placed, nullptr);
                EXPECT_EQ(placed->m_Type, type);
                int64_t sounds = -1;
                ASSERT_TRUE(medt_block_text::note_key(*melody, pos, *placed, &sounds));
                EXPECT_EQ(sounds, key) << type << " bar " << bar;
                ++entered;
            }
        }
        EXPECT_EQ(entered, 65);
    }
    stored->m_NoteType = kept;
}

TEST_F(DemoSong, EachPlayedEntryIsOneUndoStepAndGarbageEntersNothing) {
    MedtTrack* melody = track("メロディ");
    ASSERT_NE(melody, nullptr);
    const int32_t pos = 12 * melody->beats();
    ASSERT_TRUE(editor->set_cursor(melody, pos, pos));
    Keyboard keyboard(editor.get());
    const MseqBlockNote* old = notes(melody)->block_at(pos);
    const bool had = old != nullptr;
    const MseqBlockNote was = had ? *old : MseqBlockNote();
    // Running status (two note-ons after one status byte, a note-on of velocity 0 as the
    // release), a clock byte inside a message, a system-exclusive message and a song position
    // among them, a release of a key never struck.
    keyboard.port.feed({0x90, 65,   0xF8, 100, 0xF0, 0x7E, 0x01, 0xF7, 0x80, 50,
                        0,    0xF2, 1,    2,   3,    0x90, 67,   90,   67,   0});
    keyboard.input.pump();
    ASSERT_EQ(keyboard.input.last_result(), MedtEntryResult::entered);
    const MseqBlockNote* placed = notes(melody)->block_at(pos);
    ASSERT_NE(placed, nullptr);
    int64_t sounds = -1;
    ASSERT_TRUE(medt_block_text::note_key(*melody, pos, *placed, &sounds));
    EXPECT_EQ(sounds, 67) << "65 is still held and 67 came after it: the chord's top key";
    keyboard.play({60});
    EXPECT_EQ(editor->cursor(), pos + 4);
    ASSERT_NE(notes(melody)->block_at(pos + 2), nullptr);
    editor->undo();
    EXPECT_EQ(notes(melody)->block_at(pos + 2) == nullptr ||
                  !medt_block_text::note_key(*melody, pos + 2, *notes(melody)->block_at(pos + 2),
                                             &sounds) ||
                  sounds != 60,
              true)
        << "one undo takes back the last entry";
    ASSERT_NE(notes(melody)->block_at(pos), nullptr) << "and only that one";
    ASSERT_TRUE(medt_block_text::note_key(*melody, pos, *notes(melody)->block_at(pos), &sounds));
    EXPECT_EQ(sounds, 67);
    editor->undo();
    const MseqBlockNote* back = notes(melody)->block_at(pos);
    EXPECT_EQ(back != nullptr, had);
    if (back) {
        EXPECT_TRUE(*back == was);
    }
}

TEST_F(DemoSong, APortThatGoesAwayIsSaidAndStopsStepEntry) {
    MedtTrack* melody = track("メロディ");
    ASSERT_NE(melody, nullptr);
    ASSERT_TRUE(editor->set_cursor(melody, 8, 8));
    Keyboard keyboard(editor.get());
    keyboard.port.key(72, 100);
    keyboard.port.key(72, 0);
    keyboard.port.lose_port();
    keyboard.input.pump();
    // What came before the loss is entered; then the port is closed and recording is off.
    EXPECT_EQ(keyboard.input.last_result(), MedtEntryResult::entered);
    EXPECT_EQ(editor->cursor(), 10);
    EXPECT_FALSE(keyboard.port.is_open());
    EXPECT_EQ(keyboard.input.mode(), MAppRecordMode::off);
    ASSERT_FALSE(keyboard.user.log.empty());
    EXPECT_NE(keyboard.user.log.back().find("the port went away"), std::string::npos)
        << keyboard.user.log.back();
}

TEST_F(DemoSong, KeysHeldTogetherOnTheChordTrackBecomeTheNearestPaletteChord) {
    MedtTrack* chords = track_anywhere("コード");
    ASSERT_NE(chords, nullptr);
    const auto* stored = chords->stored()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
    ASSERT_NE(stored, nullptr);
    Keyboard keyboard(editor.get());
    keyboard.input.set_note_value(MedtNoteValue{1, false, false});
    const int32_t pos = 2 * stored->m_Beat;  // bar 3, in C major
    ASSERT_TRUE(editor->set_cursor(chords, pos, pos));
    // D F A: D minor, the second degree.
    keyboard.play({50, 65, 69});
    ASSERT_EQ(keyboard.input.last_result(), MedtEntryResult::entered);
    EXPECT_TRUE(keyboard.input.last_chord().exact());
    EXPECT_EQ(editor->cursor(), pos + stored->m_Beat);
    MseqBlockChord chord;
    ASSERT_TRUE(MedtChordPress::chord_at(*stored, pos, editor->music(), &chord));
    EXPECT_EQ(chord.effective_root(0) % 12, 2);
    EXPECT_EQ(
        kv_codec::utf8_from_cp932(MedtChordPress::name_at(*stored, pos, editor->music()).str()),
        "Dm");
    // G B D F is no triad of the palette: the nearest is G major, F played but not in it.
    keyboard.play({55, 59, 62, 65});
    ASSERT_EQ(keyboard.input.last_result(), MedtEntryResult::entered);
    const MedtChordMatch& m = keyboard.input.last_chord();
    EXPECT_FALSE(m.exact());
    EXPECT_EQ(m.extra, (std::vector<int32_t>{5}));
    EXPECT_TRUE(m.missing.empty());
    EXPECT_EQ(kv_codec::utf8_from_cp932(
                  MedtChordPress::name_at(*stored, pos + stored->m_Beat, editor->music()).str()),
              "Gmaj");
    EXPECT_NE(keyboard.user.log.back().find(" F "), std::string::npos) << keyboard.user.log.back();
}

// ---- Live recording's take ----

TEST(LiveTake, KeepsTimesVelocitiesAndTheSustainPedal) {
    MedtLiveTake take;
    take.note(100, 60, 90);
    take.note(150, 64, 70);
    take.note(200, 60, 0);
    take.pedal(250, true);
    take.note(300, 64, 0);  // held on by the pedal
    take.note(320, 99, 0);  // never struck
    take.note(400, 67, 50);
    take.pedal(500, false);
    take.finish(900);
    const auto& n = take.notes();
    ASSERT_EQ(n.size(), 3u);
    EXPECT_EQ(n[0].key, 60);
    EXPECT_EQ(n[0].on, 100);
    EXPECT_EQ(n[0].off, 200);
    EXPECT_EQ(n[0].velocity, 90);
    EXPECT_EQ(n[1].key, 64);
    EXPECT_EQ(n[1].off, 500) << "the pedal's release ends it";
    EXPECT_EQ(n[2].key, 67);
    EXPECT_EQ(n[2].off, 900) << "still held when the run stopped";
}

TEST_F(DemoSong, ATakeIsQuantisedSplitAtChordChangesAndOneUndoStep) {
    MedtTrack* melody = track("メロディ");
    ASSERT_NE(melody, nullptr);
    MseqTrackNote* stored = notes(melody);
    stored->m_NoteType = MNBT_CDEG;
    const int64_t step = MseqTrack::kTicksPerBar / melody->beats();
    const int64_t bar = MseqTrack::kTicksPerBar;
    ASSERT_TRUE(editor->set_cursor(melody, 0, 0));
    const size_t history = editor->history().size();
    // A key a little late, one early, and one held across four bar lines.
    const std::vector<MedtTakenNote> played = {
        {4 * bar + 30, 4 * bar + step - 10, 64, 80},
        {4 * bar + 2 * step - 20, 4 * bar + 3 * step, 67, 60},
        {5 * bar, 9 * bar, 72, 100},
    };
    MedtTakeEntry done = medt_enter_take(*editor, played, 100);
    EXPECT_FALSE(done.refused);
    EXPECT_EQ(done.skipped, 0);
    EXPECT_GE(done.entered, 3);
    const int32_t at = 4 * melody->beats();
    const MseqBlockNote* first = stored->block_at(at);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->m_Velocity, 80);
    EXPECT_EQ(first->m_Flags & MNBF_OWN_STIME, 0u) << "fully quantised: no offset left";
    ASSERT_NE(stored->block_at(at + 2), nullptr);
    // Every step of the held key sounds 72, whatever chord is in effect there.
    for (int32_t pos = 5 * melody->beats(); pos < 9 * melody->beats(); ++pos) {
        int32_t start = 0;
        const MseqBlockNote* b = stored->block_in_effect(pos, &start);
        ASSERT_NE(b, nullptr) << pos;
        int64_t sounds = -1;
        ASSERT_TRUE(medt_block_text::note_key(*melody, start, *b, &sounds));
        EXPECT_EQ(sounds, 72) << pos;
    }
    editor->undo();
    EXPECT_EQ(editor->history().size(), history);

    // Half strength: the late key keeps half its lateness as its own start offset.
    done = medt_enter_take(*editor, {{4 * bar + 40, 4 * bar + step, 64, 80}}, 50);
    const MseqBlockNote* half = stored->block_at(at);
    ASSERT_NE(half, nullptr);
    EXPECT_NE(half->m_Flags & MNBF_OWN_STIME, 0u);
    EXPECT_EQ(half->m_STime, stored->m_STime + 20);
}

}  // namespace step_entry_test
