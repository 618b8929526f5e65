#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "edit/EditFixture.h"
#include "edit/InMemoryLibrary.h"
#include "edit/MedtMusic.h"
#include "edit/MedtNoteEntry.h"
#include "edit/MedtNoteValue.h"
#include "edit/MedtViewCommands.h"
#include "model/theory/MseqNoteTheory.h"
#include "model/track/MseqTrackChord.h"

namespace note_entry_test {

using R = MedtEntryResult;

// The saved lines of every note block of the music's bytes, spaces squeezed:
// "{ index; flags; type; length; stime; etime; octave; whole; semi; velocity; }".
std::vector<std::string> block_lines(const std::string& bytes) {
    std::vector<std::string> out;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        if (line.find("; MNBT_") == std::string::npos) continue;
        std::string squeezed;
        for (char c : line) {
            if (c == '\r') continue;
            if (c == ' ' && (squeezed.empty() || squeezed.back() == ' ')) continue;
            squeezed += c;
        }
        out.push_back(squeezed);
    }
    return out;
}

TEST(NoteValue, LengthsAreWholeStepsOfTheTracksGridOrNothing) {
    const MedtNoteValue quarter{4, false, false}, dotted_8th{8, true, false};
    const MedtNoteValue triplet_8th{8, false, true}, n32{32, false, false};
    EXPECT_EQ(quarter.steps(16), 4);
    EXPECT_EQ(quarter.steps(2), 0);  // a grid of halves cannot hold a quarter
    EXPECT_EQ(dotted_8th.steps(16), 3);
    EXPECT_EQ(dotted_8th.steps(8), 0);
    EXPECT_EQ(triplet_8th.steps(16), 0);
    EXPECT_EQ(triplet_8th.steps(24), 2);
    EXPECT_EQ(n32.steps(16), 0);
    EXPECT_EQ(n32.steps(64), 2);
    EXPECT_EQ((MedtNoteValue{1, false, false}.steps(1)), 1);
    EXPECT_EQ((MedtNoteValue{4, false, false}.steps(0)), 0);
}

TEST(NoteValue, NamesAndShortFormsReadBack) {
    for (int32_t d : {1, 2, 4, 8, 16, 32}) {
        for (const auto& [dot, tri] : {std::pair{false, false}, {true, false}, {false, true}}) {
            const MedtNoteValue v{d, dot, tri};
            MedtNoteValue back{2, false, false};
            ASSERT_TRUE(MedtNoteValue::parse(v.name(), &back)) << v.name();
            EXPECT_EQ(back, v) << v.name();
        }
    }
    MedtNoteValue v;
    ASSERT_TRUE(MedtNoteValue::parse("8.", &v));
    EXPECT_EQ(v, (MedtNoteValue{8, true, false}));
    ASSERT_TRUE(MedtNoteValue::parse("16t", &v));
    EXPECT_EQ(v, (MedtNoteValue{16, false, true}));
    EXPECT_EQ((MedtNoteValue{8, true, false}).name(), "dotted-8th");
    for (const char* bad : {"", "3", "64", "04", "dotted-", "triplet-7", "quarter.t", "8x"}) {
        EXPECT_FALSE(MedtNoteValue::parse(bad, &v)) << bad;
        EXPECT_EQ(v, (MedtNoteValue{16, false, true})) << "unchanged by " << bad;
    }
}

// A tone note sounds its letter, accidental and octave above the key: whatever the key, the
// typed pitch must come out again, spelled with at most a double accidental.
TEST(NoteEntryPitch, ToneNotesSoundThePitchTypedInEveryKey) {
    for (int32_t key = -12; key <= 12; ++key) {
        for (int32_t letter = 0; letter < 7; ++letter) {
            for (int32_t semi = -1; semi <= 1; ++semi) {
                for (int32_t shift = -2; shift <= 2; ++shift) {
                    const MseqBlockNote n =
                        MedtNoteEntry::typed_note(MNBT_TONE, letter, semi, shift, key);
                    const int32_t typed = mseq_letter_offset(letter) + semi + 12 * shift;
                    const int32_t sounds =
                        mseq_letter_offset(n.m_Whole) + 12 * n.m_Octave + n.m_Semi + key;
                    EXPECT_EQ(sounds, typed) << key << ' ' << letter << ' ' << semi;
                    EXPECT_LE(std::abs(int(n.m_Semi)), 2);
                    EXPECT_GE(n.m_Whole, 0);
                    EXPECT_LT(n.m_Whole, 7);
                }
            }
        }
    }
}

TEST(NoteEntryPitch, ToneNotesAreWrittenFromTheKeysLetter) {
    auto fields = [](int32_t letter, int32_t semi, int32_t key) {
        const MseqBlockNote n = MedtNoteEntry::typed_note(MNBT_TONE, letter, semi, 0, key);
        return std::to_string(n.m_Whole) + "/" + std::to_string(n.m_Semi) + "/" +
               std::to_string(n.m_Octave);
    };
    EXPECT_EQ(fields(2, 0, 2), "1/0/0");    // E in D: the key's second letter
    EXPECT_EQ(fields(3, 1, 2), "2/0/0");    // F# in D: its third
    EXPECT_EQ(fields(3, 0, 2), "2/-1/0");   // F in D: a flat third
    EXPECT_EQ(fields(0, 0, 2), "6/-1/-1");  // C in D: a flat seventh, below the key's note
    EXPECT_EQ(fields(6, -1, 5), "3/0/0");   // Bb in F: the fourth
    EXPECT_EQ(fields(2, 0, 0), "2/0/0");    // in C the letters stay
    // Pure notes keep the letter; octave 5 holds middle C.
    const MseqBlockNote pure = MedtNoteEntry::typed_note(MNBT_PURE, 4, -1, -1, 7);
    EXPECT_EQ(pure.m_Type, MNBT_PURE);
    EXPECT_EQ(pure.m_Whole, 4);
    EXPECT_EQ(pure.m_Semi, -1);
    EXPECT_EQ(pure.m_Octave, 4);
    EXPECT_EQ(pure.m_Velocity, 100);
}

class NoteEntry : public EditFixture {
protected:
    // A note track of 16 steps a bar taking notes of `type`, with the cursor at its start.
    MseqObject* track(uint32_t type, int32_t beat = 16) {
        MseqObject* n = add_note(beat);
        note_track(n)->m_NoteType = type;
        open();
        EXPECT_TRUE(editor->set_cursor(editor->find_track(n->id), 0, 0));
        entry = std::make_unique<MedtNoteEntry>(*editor);
        return n;
    }
    // "index:type/octave/whole/semi+length ..." of a note track.
    static std::string pitches(MseqObject* node) {
        std::string out;
        for (const auto& [index, n] : note_track(node)->blocks()) {
            if (!out.empty()) out += ' ';
            out += std::to_string(index) + ":" + std::to_string(n.m_Type) + "/" +
                   std::to_string(n.m_Octave) + "/" + std::to_string(n.m_Whole) + "/" +
                   std::to_string(n.m_Semi) + "+" + std::to_string(n.m_Length);
        }
        return out;
    }
    std::unique_ptr<MedtNoteEntry> entry;
};

TEST_F(NoteEntry, PureNotesTakeAccidentalsAndOctaveMarks) {
    MseqObject* n = track(MNBT_PURE);
    EXPECT_EQ(entry->key('C'), R::entered);
    EXPECT_EQ(entry->key('#'), R::changed);
    EXPECT_EQ(entry->key('d'), R::entered);
    EXPECT_EQ(entry->key('-'), R::changed);
    EXPECT_EQ(entry->key('.'), R::changed);
    // The octave mark holds for the notes after it, until the next one.
    EXPECT_EQ(entry->type("E,,"), R::changed);
    EXPECT_EQ(pitches(n), "0:1/5/0/1+4 4:1/6/1/-1+4 8:1/4/2/0+4");
    EXPECT_EQ(entry->octave_shift(), -1);
    EXPECT_EQ(editor->cursor(), 12);
    EXPECT_EQ(block_lines(bytes()),
              (std::vector<std::string>{"{ 0; 0x00; MNBT_PURE; 4; 0; 0; 5; 0; 1; 100; }",
                                        "{ 4; 0x00; MNBT_PURE; 4; 0; 0; 6; 1; -1; 100; }",
                                        "{ 8; 0x00; MNBT_PURE; 4; 0; 0; 4; 2; 0; 100; }"}));
}

TEST_F(NoteEntry, ARestAdvancesAndBackspaceErasesThePreviousNote) {
    MseqObject* n = track(MNBT_PURE);
    entry->set_value(MedtNoteValue{8, false, false});
    EXPECT_EQ(entry->type("CrD"), R::entered);
    EXPECT_EQ(pitches(n), "0:1/5/0/0+2 4:1/5/1/0+2");
    EXPECT_EQ(editor->cursor(), 6);
    EXPECT_EQ(entry->key('\b'), R::erased);
    EXPECT_EQ(editor->cursor(), 4);
    // Over the rest Backspace reaches the note before it.
    EXPECT_EQ(entry->key('\b'), R::erased);
    EXPECT_EQ(editor->cursor(), 0);
    EXPECT_EQ(pitches(n), "");
    EXPECT_EQ(entry->key('\b'), R::nothing);
    // An accidental after a rest has no note to change.
    EXPECT_EQ(entry->type("r#"), R::nothing);
    EXPECT_EQ(pitches(n), "");
}

TEST_F(NoteEntry, EachNoteWithItsMarksIsOneUndoStep) {
    MseqObject* n = track(MNBT_PURE);
    const std::string empty = bytes();
    entry->type("C#.D");
    const std::string two = bytes();
    entry->key('E');
    EXPECT_EQ(pitches(n), "0:1/6/0/1+4 4:1/6/1/0+4 8:1/6/2/0+4");
    editor->undo();
    EXPECT_EQ(bytes(), two);
    editor->undo();
    EXPECT_EQ(pitches(n), "0:1/6/0/1+4");  // the sharp and the octave went with their note
    editor->undo();
    EXPECT_EQ(bytes(), empty);
    // After an undo a mark has nothing to change: it only sets the octave of what follows.
    entry->key('F');
    editor->undo();
    EXPECT_EQ(entry->key('#'), R::nothing);
    EXPECT_EQ(bytes(), empty);
    // Erasing is a step of its own.
    editor->set_cursor(editor->current(), 0, 0);
    entry->type("G");
    editor->set_cursor(editor->current(), 4, 4);
    entry->key('\b');
    EXPECT_EQ(pitches(n), "");
    editor->undo();
    EXPECT_EQ(pitches(n), "0:1/6/4/0+4");
}

TEST_F(NoteEntry, ANoteTakesOverTheStepsItCovers) {
    MseqObject* n = track(MNBT_PURE);
    MseqBlockNote whole;
    whole.set_type(MNBT_PURE);
    whole.m_Length = 6;
    MseqBlockNote later = whole;
    later.m_Length = 2;
    ASSERT_EQ(set_block(n, 0, &whole), MCMD_DONE);
    ASSERT_EQ(set_block(n, 6, &later), MCMD_DONE);
    ASSERT_EQ(set_block(n, 8, &later), MCMD_DONE);
    editor->set_cursor(editor->current(), 4, 4);
    EXPECT_EQ(entry->key('A'), R::entered);
    EXPECT_EQ(pitches(n), "0:1/5/0/0+4 4:1/5/5/0+4 8:1/5/0/0+2");
    editor->undo();
    EXPECT_EQ(pitches(n), "0:1/5/0/0+6 6:1/5/0/0+2 8:1/5/0/0+2");
}

TEST_F(NoteEntry, DegreesAreDigitsAndLettersMeanNothingThere) {
    MseqObject* scale = track(MNBT_SDEG);
    EXPECT_EQ(entry->type("1#7,"), R::changed);
    EXPECT_EQ(entry->key('8'), R::not_a_key);
    EXPECT_EQ(entry->key('C'), R::not_a_key);
    EXPECT_EQ(pitches(scale), "0:3/0/0/1+4 4:3/-1/6/0+4");
    EXPECT_EQ(block_lines(bytes())[1], "{ 4; 0x00; MNBT_SDEG; 4; 0; 0; -1; 6; 0; 100; }");
}

TEST_F(NoteEntry, ChordDegreesCountDownAfterTheMinusKey) {
    MseqObject* chord = track(MNBT_CDEG);
    EXPECT_EQ(entry->type("3n1n2-9"), R::entered);
    EXPECT_EQ(pitches(chord), "0:4/0/2/0+4 4:4/0/-1/0+4 8:4/0/-2/-1+4 12:4/0/8/0+4");
    EXPECT_EQ(block_lines(bytes())[1], "{ 4; 0x00; MNBT_CDEG; 4; 0; 0; 0; -1; 0; 100; }");
}

TEST_F(NoteEntry, RhythmNotesAreHits) {
    MseqObject* drums = track(MNBT_RHYTHM);
    entry->set_value(MedtNoteValue{16, false, false});
    EXPECT_EQ(entry->type("x1"), R::entered);
    EXPECT_EQ(entry->key('?'), R::not_a_key);
    EXPECT_EQ(pitches(drums), "0:5/0/0/0+1 1:5/0/0/0+1");
}

TEST_F(NoteEntry, ALockedMusicAnOffGridValueAndOtherTracksAreRefused) {
    MseqObject* n = track(MNBT_PURE);
    const std::string empty = bytes();
    editor->edit_flags |= MEDT_READ_ONLY;
    EXPECT_EQ(entry->type("CD"), R::read_only);
    EXPECT_EQ(entry->key('r'), R::read_only);
    EXPECT_EQ(entry->key('\b'), R::read_only);
    EXPECT_EQ(editor->cursor(), 0);
    editor->edit_flags &= ~MEDT_READ_ONLY;
    entry->set_value(MedtNoteValue{32, false, false});
    EXPECT_EQ(entry->type("Cr"), R::off_grid);
    EXPECT_EQ(bytes(), empty);
    EXPECT_EQ(editor->cursor(), 0);
    // The music's own track kinds hold no notes.
    ASSERT_TRUE(editor->set_cursor(editor->find_track(music->detail()->id), 0, 0));
    EXPECT_EQ(entry->key('C'), R::no_track);
    EXPECT_EQ(note_track(n)->block_count(), 0u);
}

// A tone track following a chord track whose map is in the key of D.
class NoteEntryInKey : public ::testing::Test {
protected:
    void SetUp() override {
        lib.map->m_ToneKey = 2;
        MseqObject* chords = lib.song->create_track(MID_TRACK_HEADER, MPLACE_LAST_CHILD,
                                                    MTYPE_TRACK_CHORD, CkvString("c"));
        ASSERT_NE(chords, nullptr);
        ref_ptr<MseqEntity> c = mseq_open(chords);
        c->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD)->m_MapID = InMemoryLibrary::ref(lib.map_node);
        melody = lib.song->create_track(lib.song->detail()->id, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE,
                                        CkvString("m"));
        ASSERT_NE(melody, nullptr);
        ref_ptr<MseqEntity> m = mseq_open(melody);
        auto* notes = m->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
        notes->m_Beat = 16;
        notes->m_TrackChordID = chords->id;
        notes->m_NoteType = MNBT_TONE;
        editor =
            ref_ptr<MedtMusicInvoker>::adopt(new MedtMusicInvoker(lib.song, &seq_clip, &leaf_clip));
        ASSERT_TRUE(editor->set_cursor(editor->find_track(melody->id), 0, 0));
    }
    void TearDown() override { editor = nullptr; }

    InMemoryLibrary lib;
    MseqObject seq_clip;
    MseqObject leaf_clip;
    ref_ptr<MedtMusicInvoker> editor;
    MseqObject* melody = nullptr;
};

TEST_F(NoteEntryInKey, TypedPitchesAreWrittenInTheKey) {
    MedtNoteEntry entry(*editor);
    EXPECT_EQ(entry.type("EG"), R::entered);
    std::string out;
    ASSERT_TRUE(mrec_write_entity(lib.song, &out));
    EXPECT_EQ(block_lines(out),
              (std::vector<std::string>{"{ 0; 0x00; MNBT_TONE; 4; 0; 0; 0; 1; 0; 100; }",
                                        "{ 4; 0x00; MNBT_TONE; 4; 0; 0; 0; 3; 0; 100; }"}));
    ref_ptr<MseqEntity> m = mseq_open(melody);
    EXPECT_EQ(MedtNoteEntry::tone_key_at(*m->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE), 5), 2);
}

TEST(NoteEntryCommands, ValueCommandsSetTheValueAndTheirKeysAreFree) {
    namespace mvc = medt_view_commands;
    MedtNoteValue v{4, false, false};
    ASSERT_TRUE(mvc::apply_note_value(MVC_VALUE_DOTTED, &v));
    EXPECT_EQ(v, (MedtNoteValue{4, true, false}));
    ASSERT_TRUE(mvc::apply_note_value(MVC_VALUE_TRIPLET, &v));  // a dotted triplet is none
    EXPECT_EQ(v, (MedtNoteValue{4, false, true}));
    ASSERT_TRUE(mvc::apply_note_value(MVC_VALUE_TRIPLET, &v));
    EXPECT_EQ(v, (MedtNoteValue{4, false, false}));
    ASSERT_TRUE(mvc::apply_note_value(MVC_VALUE_DOTTED, &v));
    ASSERT_TRUE(mvc::apply_note_value(MVC_VALUE_32ND, &v));  // a plain value drops the dot
    EXPECT_EQ(v, (MedtNoteValue{32, false, false}));
    EXPECT_FALSE(mvc::apply_note_value(MVC_TYPE_NOTES, &v));
    int32_t checks = 0;
    for (const MedtViewCommand& c : mvc::entry_commands()) {
        checks += mvc::note_value_checked(c.id, MedtNoteValue{1, true, false}) ? 1 : 0;
        EXPECT_TRUE(mvc::is_view_setting(c.id)) << c.id;  // also while the view is locked
        EXPECT_FALSE(mvc::status_text(c.id).empty()) << c.id;
        ASSERT_NE(mvc::find_key(c.key), nullptr) << c.key;
        EXPECT_EQ(mvc::find_key(c.key)->id, c.id) << c.key;  // no older command has the key
    }
    EXPECT_EQ(checks, 2);  // the whole note and the dot
    EXPECT_EQ(mvc::find(MVC_VALUE_8TH)->key, std::string("Alt+4"));
}

}  // namespace note_entry_test
