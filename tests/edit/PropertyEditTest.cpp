// Setting a property from its text (MedtPropertyEdit), as the window's property list and the
// script do: the text is read as the row's style requires, bad text is refused with its reason
// and changes nothing, and each change is one undo group of its own. Also: the ranges the rows
// clamp to are the ones a file is held to when it is read.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "edit/EditFixture.h"
#include "edit/MedtPropertyEdit.h"
#include "edit/MedtPropertyRow.h"
#include "edit/MedtTrack.h"
#include "model/block/MseqBlockStage.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackValue.h"

namespace property_edit_test {

using Problem = MedtPropertyProblem;

class PropertyEdit : public EditFixture {
protected:
    Problem set(MseqObject* node, int32_t number, const std::string& utf8) {
        return MedtPropertyEdit::set_text(*editor, *editor->find_track(node->id), number,
                                          CkvString(sjis(utf8.c_str())));
    }
    std::string text(MseqObject* node, int32_t number) {
        return editor->find_track(node->id)->property_text(number, nullptr).str();
    }
};

TEST_F(PropertyEdit, TypedNumbersAreReadWholeAndClampedIntoTheRow) {
    MseqObject* n = add_note(16);
    open();
    struct Case {
        const char* typed;
        const char* shown;  // the length rate, 4 to 120 percent
    };
    const Case cases[] = {
        {"77", "77 [%]"},
        {"  50\t", "50 [%]"},  // blanks around the number are no part of it
        {"+60", "60 [%]"},
        {"0x20", "32 [%]"},
        {"0X7f", "120 [%]"},
        {"-7", "4 [%]"},
        {"2147483648", "120 [%]"},  // past the 32-bit range: held, not wrapped
        {"99999999999999999999999", "120 [%]"},
        {"-99999999999999999999999", "4 [%]"},
        {"010", "10 [%]"},  // decimal, not octal
    };
    for (const Case& c : cases) {
        EXPECT_EQ(set(n, MROW_NOTE_LENGTH_RATE, c.typed), Problem::None) << c.typed;
        EXPECT_EQ(text(n, MROW_NOTE_LENGTH_RATE), c.shown) << c.typed;
    }
}

TEST_F(PropertyEdit, TextThatIsNoNumberIsRefusedAndChangesNothing) {
    MseqObject* n = add_note(16);
    open();
    ASSERT_EQ(set(n, MROW_NOTE_START_TIME, "17"), Problem::None);
    const std::string before = bytes();
    const size_t history = editor->history().size();
    for (const char* typed :
         {"", "   ", "fast", "1.5", "-", "+", "0x", "0xg", "12abc", "--1", "1 2", "１２"}) {
        EXPECT_EQ(set(n, MROW_NOTE_START_TIME, typed), Problem::NotANumber) << typed;
    }
    EXPECT_EQ(text(n, MROW_NOTE_START_TIME), "17 [tick]");
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(editor->history().size(), history);
}

TEST_F(PropertyEdit, TextRowsTakeTheTextAsItIs) {
    open();
    EXPECT_EQ(set(music->root(), MROW_MUSIC_TITLE, " 曲 %<book> "), Problem::None);
    EXPECT_EQ(music->m_Title.str(), sjis(" 曲 %<book> "));
    EXPECT_EQ(set(music->root(), MROW_MUSIC_COPYRIGHT, ""), Problem::None);
    EXPECT_TRUE(music->m_Copyright.empty());
    // A number row of the same track still wants a number.
    EXPECT_EQ(set(music->root(), MROW_MUSIC_TEMPO, "fast"), Problem::NotANumber);
    EXPECT_EQ(set(music->root(), MROW_MUSIC_TEMPO, "5000"), Problem::None);
    EXPECT_EQ(music->m_Tempo, MseqMusic::kTempoRange.hi);
}

TEST_F(PropertyEdit, ChoiceRowsTakeAnIndexTheChoiceTextOrANumber) {
    MseqObject* n = add_note(16);
    open();
    struct Case {
        const char* typed;
        Problem problem;
        uint32_t kind;  // m_NoteType after the set
    };
    const Case cases[] = {
        {"#2", Problem::None, 4},          // the third choice, chord notes
        {"ピュア音符", Problem::None, 1},  // by its text
        {"エディタで選択した音符", Problem::None, 0x8000},
        {"3", Problem::None, 3},  // a number, clamped by the row
        {"9", Problem::None, 5},
        {"#5", Problem::NoSuchChoice, 5},  // five choices: #0 to #4
        {"#-1", Problem::BadChoiceIndex, 5},
        {"#x", Problem::BadChoiceIndex, 5},
        {"メロディ", Problem::NotAChoice, 5},  // a choice's text only in full
        {"", Problem::NotAChoice, 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(set(n, MROW_NOTE_KIND, c.typed), c.problem) << c.typed;
        EXPECT_EQ(note_track(n)->m_NoteType, c.kind) << c.typed;
    }
    // Choice rows by index, as the window's drop-down lists set them.
    MedtTrack& t = *editor->find_track(n->id);
    EXPECT_EQ(MedtPropertyEdit::set_choice(*editor, t, MROW_NOTE_OCTAVE, 2), Problem::None);
    EXPECT_EQ(note_track(n)->m_Octave, 3);
    EXPECT_EQ(MedtPropertyEdit::set_choice(*editor, t, MROW_NOTE_OCTAVE, 9), Problem::NoSuchChoice);
    EXPECT_EQ(MedtPropertyEdit::set_choice(*editor, t, MROW_NOTE_LENGTH_RATE, 0),
              Problem::NoSuchChoice);
}

TEST_F(PropertyEdit, LinkRowsTakeAnIdentifierTheRowMayRefuse) {
    MseqObject* n = add_note(16);
    MseqObject* chord = add(music->header(), MPLACE_LAST_CHILD, MTYPE_TRACK_CHORD, 4, "chords");
    open();
    char id[16];
    std::snprintf(id, sizeof id, "0x%x", chord->id);
    EXPECT_EQ(set(n, MROW_NOTE_CHORD_TRACK, id), Problem::None);
    EXPECT_EQ(note_track(n)->m_TrackChordID, (chord->id & 0xFFFFF) + 0x100000);
    EXPECT_EQ(set(n, MROW_NOTE_CHORD_TRACK, std::to_string(n->id)), Problem::Failed);
    EXPECT_EQ(set(n, MROW_NOTE_CHORD_TRACK, "chords"), Problem::NotANumber);
    EXPECT_EQ(set(n, MROW_NOTE_CHORD_TRACK, "-1"), Problem::NotANumber);
    EXPECT_EQ(note_track(n)->m_TrackChordID, (chord->id & 0xFFFFF) + 0x100000);
    EXPECT_EQ(set(n, MROW_NOTE_CHORD_TRACK, "0"), Problem::None);  // 0 clears
    EXPECT_EQ(note_track(n)->m_TrackChordID, 0u);
}

TEST_F(PropertyEdit, RowsThatCannotBeTypedAreNamed) {
    MseqObject* n = add_note(16);
    MseqObject* g = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 1, "g");
    MseqObject* member = add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16, "member");
    MseqObject* words = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, 1, "x");
    open();
    const std::string before = bytes();
    struct Case {
        MseqObject* node;
        int32_t number;
        Problem problem;
    };
    const Case cases[] = {
        {n, MROW_NAME, Problem::DisplayOnly},  // renamed in the track list instead
        {n, MROW_COUNT, Problem::DisplayOnly},
        {member, MROW_CHANNEL, Problem::DisplayOnly},  // the group's channel rules
        {member, MROW_VOLUME, Problem::DisplayOnly},
        {n, 99, Problem::NoRow},
        {n, MROW_TEXT, Problem::NoRow},
        {words, MROW_TEXT, Problem::NoRow},  // edited in the text view, not listed
    };
    for (const Case& c : cases)
        EXPECT_EQ(set(c.node, c.number, "3"), c.problem) << c.number;
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(set(g, MROW_CHANNEL, "#3"), Problem::None);
    EXPECT_EQ(mseq_track_of(g)->get_channel(), 3);
}

TEST_F(PropertyEdit, EachChangeIsOneUndoGroupOfItsOwn) {
    MseqObject* n = add_note(16);
    note_track(n)->put_block(1, note(1));
    note_track(n)->put_block(3, note(2));
    open();
    // A block set in a group left open: the property change joins nothing of it.
    editor->set_auto_advance(0);
    MseqBlockNote b = note(4);
    ASSERT_EQ(set_block(n, 5, &b), MCMD_DONE);
    const size_t groups = editor->history().group_count();
    // Fewer beats move blocks: the user is asked, and No fails the change.
    port.answers = {false};
    EXPECT_EQ(set(n, MROW_BEATS, "4"), Problem::Failed);
    EXPECT_EQ(notes(n), "1:1+1 3:2+1 5:4+1");  // the block set before is kept
    EXPECT_EQ(editor->history().group_count(), groups);
    port.answers = {true};
    EXPECT_EQ(set(n, MROW_BEATS, "4"), Problem::None);
    EXPECT_EQ(editor->history().group_count(), groups + 1);
    editor->set_auto_advance(1);
    // One undo takes back the beats change alone.
    editor->undo();
    EXPECT_EQ(notes(n), "1:1+1 3:2+1 5:4+1");
    EXPECT_EQ(mseq_track_of(n)->m_Beat, 16);
    editor->undo();
    EXPECT_EQ(notes(n), "1:1+1 3:2+1");
}

TEST_F(PropertyEdit, AReadOnlyEditorDeclines) {
    MseqObject* n = add_note(16);
    open();
    editor->edit_flags |= MEDT_READ_ONLY;
    EXPECT_EQ(set(n, MROW_NOTE_LENGTH_RATE, "50"), Problem::Declined);
    EXPECT_EQ(note_track(n)->m_LRate, 100);
}

// The ranges the rows clamp a typed value into are those a file's values are held to when it is
// read (the model's validation), so that what the editor takes and what a file may hold agree.
TEST_F(PropertyEdit, EditingAndReadingHoldValuesToTheSameRanges) {
    MseqObject* m = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_MSG, 4, "m");
    open();
    auto* msg = static_cast<MseqTrackMsg*>(mseq_track_of(m));
    for (int64_t far :
         {int64_t{INT32_MIN}, int64_t{-100000}, int64_t{100000}, int64_t{INT32_MAX}}) {
        const std::string typed = std::to_string(far);
        // What the editor keeps for the typed value.
        ASSERT_EQ(set(music->root(), MROW_MUSIC_TEMPO, typed), Problem::None);
        ASSERT_EQ(set(music->root(), MROW_MUSIC_TRANSPOSE, typed), Problem::None);
        ASSERT_EQ(set(music->root(), MROW_MUSIC_BLANK_BARS, typed), Problem::None);
        ASSERT_EQ(set(m, MROW_MSG_POWER, typed), Problem::None);
        ASSERT_EQ(set(m, MROW_MSG_START_TIME, typed), Problem::None);
        const int32_t edited[5] = {music->m_Tempo, music->m_Transpose, music->m_BlankBar,
                                   msg->m_Power, msg->m_STime};
        // What reading a file with that value keeps.
        const auto v = static_cast<int32_t>(far);
        music->m_Tempo = music->m_Transpose = music->m_BlankBar = v;
        msg->m_Power = msg->m_STime = v;
        ASSERT_TRUE(music->validate());
        const int32_t read[5] = {music->m_Tempo, music->m_Transpose, music->m_BlankBar,
                                 msg->m_Power, msg->m_STime};
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(edited[i], read[i]) << i << " at " << far;
        MseqBlockStage stage;
        stage.m_Volume = stage.m_Pan = v;
        stage.normalize();
        EXPECT_EQ(stage.m_Volume, MseqBlockStage::kVolumeRange.clamp(far));
        EXPECT_EQ(stage.m_Pan, MseqBlockStage::kPanRange.clamp(far));
    }
    // The rows declare the ranges they clamp to.
    const MedtPropertyRow* tempo = editor->root()->property_row(MROW_MUSIC_TEMPO);
    ASSERT_NE(tempo, nullptr);
    EXPECT_EQ(tempo->range.lo, MseqMusic::kTempoRange.lo);
    EXPECT_EQ(tempo->range.hi, MseqMusic::kTempoRange.hi);
}

}  // namespace property_edit_test
