// `korvante script` editing through the editor's shared operations: links keep the rule of the
// music's own book, the cursor starts where a view's starts, and undo and redo give back the
// saved bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockNote.h"
#include "model/block/MseqBlockValue.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapChord.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackTree.h"
#include "model/track/MseqTrackValue.h"
#include "text/MrecCompiler.h"
#include "ui/DiskLibraryTest.h"
#include "ui/RunProgram.h"

namespace script_editing_test {

template <class T>
T* add_track(MseqMusic* m, MSEQ_TYPE type, MSEQ_ID parent, const char* name, int32_t beat) {
    MseqObject* node = m->create_track(parent, MPLACE_LAST_CHILD, type, CkvString(name));
    T* t = mseq_open(node)->cast_to<T>(type);
    t->m_Beat = beat;
    return t;
}

// A library of two music books, each beginning with a chord map of the same serial: "Keys" in
// the book of the music "Song", "Twin" in the book "Others". The music has a tempo track, a
// chord track, a melody and a drum track with a few blocks each.
class TwoBooks : public DiskLibraryTest {
protected:
    void build() override {
        const auto [songs, book] = write_room("Lib", CkvString("Songs"), "songs.kvnb");
        ASSERT_NE(book, nullptr);
        MseqObject* keys = book->create_leaf(songs, MPLACE_LAST_CHILD, MTYPE_LEAF_CHORD,
                                             CkvString("Keys"), MseqDescPath("<book>keys.kvnl"));
        MseqObject* song = book->create_leaf(songs, MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC,
                                             CkvString("Song"), MseqDescPath("<book>song.kvnl"));
        ASSERT_TRUE(MrecCompiler::save(book));
        save_map("Keys", "keys.kvnl");

        auto* room = songs->parent()->entity()->cast_to<MseqRoom>(MTYPE_ROOM);
        MseqObject* others =
            room->create_book(songs->parent(), MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC,
                              CkvString("Others"), MseqDescPath("<room>others.kvnb"));
        ASSERT_NE(others, nullptr);
        ASSERT_TRUE(MrecCompiler::save(room));
        mseq_factory(others);
        auto* other_book = others->entity()->cast_to<MseqBook>(MTYPE_BOOK);
        other_book->name = others->name;
        other_book->full_path = windows("others.kvnb");
        MseqObject* twin =
            other_book->create_leaf(others, MPLACE_LAST_CHILD, MTYPE_LEAF_CHORD, CkvString("Twin"),
                                    MseqDescPath("<book>twin.kvnl"));
        ASSERT_TRUE(MrecCompiler::save(other_book));
        save_map("Twin", "twin.kvnl");
        ASSERT_EQ(mseq_serial(twin->id), mseq_serial(keys->id));
        ASSERT_NE(twin->id, keys->id);
        keys_id = keys->id;
        twin_id = twin->id;

        MseqMusic* music = open_music(song, "song.kvnl");
        music->m_GxB = 16;
        music->m_GpM = 16;
        music->m_ShowState = 0x1000763;
        music->m_NoteState = 2;
        auto* tempo = add_track<MseqTrack>(music, MTYPE_TRACK_TEMPO, MID_TRACK_HEADER, "Tempo", 4);
        const MseqBlockValue slow(200);
        tempo->set_block(4, 2, &slow);
        auto* chords =
            add_track<MseqTrackChord>(music, MTYPE_TRACK_CHORD, MID_TRACK_HEADER, "Chords", 4);
        MseqBlockChord c;
        c.m_Root = 4;
        c.normalize();
        chords->put_block(0, c);
        auto* melody =
            add_track<MseqTrackNote>(music, MTYPE_TRACK_NOTE, MID_TRACK_DETAIL, "Melody", 16);
        MseqBlockNote n;
        n.m_Type = MNBT_TONE;
        n.m_Octave = 4;
        n.m_Length = 3;
        melody->put_block(2, n);
        melody_id = mseq_with_file_number(melody->owner->id, MFILE_TRACKS);
        auto* drums =
            add_track<MseqTrackNote>(music, MTYPE_TRACK_NOTE, MID_TRACK_DETAIL, "Drums", 16);
        drums->m_Channel = 9;
        drums->m_NoteType = MNBT_RHYTHM;
        drums->m_Rhythm = MseqBlockWord(MWORD_DRUM_SOUND, 0, 36);
        MseqBlockNote kick;
        kick.m_Type = MNBT_RHYTHM;
        kick.m_Length = 1;
        kick.m_Velocity = 100;
        for (int32_t at : {0, 4, 8, 12})
            drums->put_block(at, kick);
        ASSERT_TRUE(MrecCompiler::save(music));
        original_ = file("song.kvnl");
    }

    void save_map(const char* name, const char* file_name) {
        ref_ptr<MseqMapChord> map = ref_ptr<MseqMapChord>::adopt(new MseqMapChord);
        map->name = CkvString(name);
        map->full_path = windows(file_name);
        ASSERT_TRUE(MrecCompiler::save(map.get()));
    }

    std::string file(const std::string& name) const {
        std::ifstream in(host(name), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    // Puts the music's file back as build() wrote it.
    void restore() const { std::ofstream(host("song.kvnl"), std::ios::binary) << original_; }

    // Runs a script given as text after the line opening the music; standard error joins
    // standard output.
    ProgramRun script(const std::string& text) {
        const std::string open = "open \"" + host("library.kvnr") + "\" Song\n";
        std::ofstream(host("steps.txt"), std::ios::binary) << open << text;
        return run_program("script '" + host("steps.txt") + "' 2>&1");
    }

    static std::string hex(MSEQ_ID id) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08x", id);
        return text;
    }

    MSEQ_ID keys_id = 0, twin_id = 0, melody_id = 0;
    std::string original_;
};

TEST_F(TwoBooks, ALinkToAnotherBooksLeafWithTheSameSerialIsRefused) {
    const ProgramRun refused = script("track Chords\nproperty 16 " + hex(twin_id) + "\nsave\n");
    EXPECT_EQ(refused.status, 1) << refused.out;
    EXPECT_NE(refused.out.find("line 3: " + hex(twin_id) + " is a leaf of another book"),
              std::string::npos)
        << refused.out;
    EXPECT_EQ(file("song.kvnl"), original_);

    // The music's own chord map is linked, in the form a music stores it.
    const ProgramRun linked =
        script("track Chords\nproperty 16 " + hex(keys_id) + "\nprint properties\nsave\n");
    ASSERT_EQ(linked.status, 0) << linked.out;
    EXPECT_NE(linked.out.find("16\t"), std::string::npos);
    EXPECT_NE(linked.out.find("Keys"), std::string::npos) << linked.out;
    // The chord track's data holds the own-book form of the identifier.
    char stored[16];
    std::snprintf(stored, sizeof stored, "; 0x%x;", mseq_with_file_number(keys_id, MFILE_OWN_BOOK));
    EXPECT_EQ(original_.find(stored), std::string::npos);
    EXPECT_NE(file("song.kvnl").find(stored), std::string::npos) << stored;
}

TEST_F(TwoBooks, LinksNameExistingNodesAndZeroClears) {
    const ProgramRun unknown = script("track Chords\nproperty 16 0x7ff00999\n");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.out.find("line 3: no node with the identifier 0x7ff00999"), std::string::npos)
        << unknown.out;
    const ProgramRun word = script("track Chords\nproperty 16 Keys\n");
    EXPECT_EQ(word.status, 1);
    EXPECT_NE(word.out.find("line 3: property 16 links a node"), std::string::npos) << word.out;
    // A melody is no chord map: the row does not take it.
    const ProgramRun wrong = script("track Chords\nproperty 16 " + hex(melody_id) + "\n");
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.out.find("line 3: property 16 cannot link " + hex(melody_id)),
              std::string::npos)
        << wrong.out;
    // Linked, then cleared again: the file is as it was.
    const ProgramRun cleared =
        script("track Chords\nproperty 16 " + hex(keys_id) + "\nproperty 16 0\nsave\n");
    ASSERT_EQ(cleared.status, 0) << cleared.out;
    EXPECT_EQ(file("song.kvnl"), original_);
}

TEST_F(TwoBooks, TheCursorStartsOnTheFirstTrackFinerThanABar) {
    // The header's tempo track is the first with beats: the cursor is there before any `track`
    // line, as in the window.
    const ProgramRun run = script("print cursor\nblock 1 m_Value=2000\nsave\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find(" Tempo pos 0 end 0\n"), std::string::npos) << run.out;
    EXPECT_NE(file("song.kvnl"), original_);
}

// Four gestures, one a group: a drum block erased and one added, a chord changed, a tempo
// changed and a bar of the melody cut.
const char* const kEdits =
    "track パート/Drums\n"
    "block 4 none\n"
    "block 6 m_Type=5 m_Length=2 m_Velocity=90\n"
    "group\n"
    "track Chords\n"
    "block 1 m_Root=7\n"
    "group\n"
    "track Tempo\n"
    "block 2 m_Value=1500\n"
    "group\n"
    "track パート/Melody\n"
    "cursor 0 4\n"
    "action 121\n"
    "group\n";

TEST_F(TwoBooks, UndoThenRedoSavesTheBytesTheEditsSaved) {
    const ProgramRun edited = script(std::string(kEdits) + "print undo\nprint redo\nsave\n");
    ASSERT_EQ(edited.status, 0) << edited.out;
    EXPECT_EQ(edited.out, "4\n0\n" + host("song.kvnl") + "\n");
    const std::string after = file("song.kvnl");
    ASSERT_NE(after, original_);

    // The music as the program saves it unchanged (loading points the chord track's map into
    // the music's book): an edit undone at once.
    restore();
    ASSERT_EQ(script("track Tempo\nblock 3 m_Value=900\nundo\nsave\n").status, 0);
    const std::string loaded = file("song.kvnl");

    restore();
    const ProgramRun undone =
        script(std::string(kEdits) + "undo\nundo\nundo\nundo\nprint undo\nprint redo\nsave\n");
    ASSERT_EQ(undone.status, 0) << undone.out;
    EXPECT_EQ(undone.out, "0\n4\n" + host("song.kvnl") + "\n");
    EXPECT_EQ(file("song.kvnl"), loaded);

    restore();
    const ProgramRun redone = script(std::string(kEdits) +
                                     "undo\nundo\nundo\nundo\nredo\nredo\nprint redo\n"
                                     "redo\nredo\nredo\nprint undo\nprint redo\nsave\n");
    ASSERT_EQ(redone.status, 0) << redone.out;
    EXPECT_EQ(redone.out, "2\n4\n0\n" + host("song.kvnl") + "\n");
    EXPECT_EQ(file("song.kvnl"), after);
}

TEST_F(TwoBooks, ANewEditAfterAnUndoLeavesNothingToRedo) {
    const ProgramRun run = script(std::string(kEdits) +
                                  "undo\nundo\nprint redo\n"
                                  "track Tempo\nblock 3 m_Value=900\nprint redo\nredo\n"
                                  "print undo\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "2\n0\n3\n");
}

// The saved lines of the tone notes in `bytes`, spaces squeezed and line ends dropped.
std::vector<std::string> tone_lines(const std::string& bytes) {
    std::vector<std::string> out;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        if (line.find("; MNBT_TONE;") == std::string::npos) continue;
        std::string squeezed;
        for (char c : line) {
            if (c == '\r' || (c == ' ' && (squeezed.empty() || squeezed.back() == ' '))) continue;
            squeezed += c;
        }
        out.push_back(squeezed);
    }
    return out;
}

// `type` feeds the keys the music view takes while typing: notes of the track's kind (tone
// notes here, the music's drawing kind) with the chosen value, a rest, an octave mark and '<'
// for Backspace; each note is one undo step.
TEST_F(TwoBooks, TypedKeysEnterNotesAtTheCursor) {
    const ProgramRun run = script(
        "track パート/Melody\nnote-value 8th\ntype E G# r C.<\nprint cursor\ntype D\nundo\n"
        "save\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find(" Melody pos 6 end 6\n"), std::string::npos) << run.out;
    // G# takes the place of the note that started there (octave 4, three steps).
    EXPECT_EQ(tone_lines(file("song.kvnl")),
              (std::vector<std::string>{"{ 0; 0x00; MNBT_TONE; 2; 0; 0; 0; 2; 0; 100; }",
                                        "{ 2; 0x00; MNBT_TONE; 2; 0; 0; 0; 4; 1; 100; }"}));
}

TEST_F(TwoBooks, TypedKeysThatCannotBeTypedStopTheScript) {
    const ProgramRun digit = script("track パート/Melody\ntype C 1 D\nsave\n");
    EXPECT_EQ(digit.status, 1);
    EXPECT_NE(digit.out.find("line 3: '1' is not a key of this track's note type"),
              std::string::npos)
        << digit.out;
    EXPECT_EQ(file("song.kvnl"), original_);  // nothing saved
    const ProgramRun grid = script("track パート/Melody\nnote-value 32nd\ntype C\n");
    EXPECT_EQ(grid.status, 1);
    EXPECT_NE(grid.out.find("line 4: the note value does not fit the track's grid"),
              std::string::npos)
        << grid.out;
    const ProgramRun value = script("note-value 64th\n");
    EXPECT_EQ(value.status, 1);
    EXPECT_NE(value.out.find("line 2: usage: note-value"), std::string::npos) << value.out;
    const ProgramRun tempo = script("track Tempo\ntype C\n");
    EXPECT_EQ(tempo.status, 1);
    EXPECT_NE(tempo.out.find("line 3: the current track is not a note track"), std::string::npos)
        << tempo.out;
    EXPECT_EQ(file("song.kvnl"), original_);
}

}  // namespace script_editing_test
