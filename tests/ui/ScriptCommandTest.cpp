#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "model/block/MseqBlockNote.h"
#include "model/block/MseqBlockRefer.h"
#include "model/block/MseqBlockValue.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapWord.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackTree.h"
#include "model/track/MseqTrackValue.h"
#include "platform/TextCodec.h"
#include "text/MrecCompiler.h"
#include "text/MrecEntityWriter.h"
#include "ui/DiskLibraryTest.h"
#include "ui/RunProgram.h"

namespace script_command_test {

MseqBlockNote note(int whole, int length) {
    MseqBlockNote n;
    n.m_Type = MNBT_CDEG;
    n.m_Whole = static_cast<int8_t>(whole);
    n.m_Length = length;
    return n;
}

// The music of the test library: a tempo track, a 16-beat note track "Lead" and a group holding
// a second "Lead" at 4 beats. The view settings are already in range, so opening the music in
// an editor leaves it byte for byte as it is.
void fill_song(MseqMusic* music) {
    music->m_GxB = 16;
    music->m_GpM = 16;
    music->m_ShowState = 0x1000763;
    music->m_NoteState = 2;
    MseqObject* tempo = music->create_track(music->header()->id, MPLACE_LAST_CHILD,
                                            MTYPE_TRACK_TEMPO, CkvString("Tempo"));
    mseq_track_of(tempo)->m_Beat = 4;
    MseqObject* lead = music->create_track(music->detail()->id, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE,
                                           CkvString("Lead"));
    auto* notes = static_cast<MseqTrackNote*>(mseq_track_of(lead));
    notes->m_Beat = 16;
    notes->put_block(0, note(1, 4));
    notes->put_block(8, note(3, 2));
    MseqObject* band = music->create_track(music->detail()->id, MPLACE_LAST_CHILD,
                                           MTYPE_TRACK_GROUP, CkvString("Band"));
    mseq_track_of(band);  // every track has its content, as in a file the program wrote
    MseqObject* inner =
        music->create_track(band->id, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, CkvString("Lead"));
    mseq_track_of(inner)->m_Beat = 4;
    MseqObject* phrases = music->create_track(music->detail()->id, MPLACE_LAST_CHILD,
                                              MTYPE_TRACK_REFER, CkvString("Phr"));
    auto* refs = static_cast<MseqTrackRefer*>(mseq_track_of(phrases));
    refs->m_Beat = 4;
    MseqBlockRefer ref;
    ref.m_PhraseID = 0x210005;
    ref.m_Length = 2;
    for (auto [at, marker] : {std::pair{0, "A"}, std::pair{4, "A"}, std::pair{8, "B"}}) {
        ref.m_StartMarker = CkvString(marker);
        refs->put_block(at, ref);
    }
}

MseqTrackNote* track_named(MseqMusic& music, const char* name) {
    for (auto& [id, node] : music.tracks) {
        if (node->name == name && node->type == MTYPE_TRACK_NOTE)
            return static_cast<MseqTrackNote*>(mseq_track_of(node));
    }
    return nullptr;
}

class ScriptOnDisk : public DiskLibraryTest {
protected:
    void build() override {
        const auto [songs, book] = write_room("Lib", CkvString("Songs"), "songs.kvnb");
        ASSERT_NE(book, nullptr);
        MseqObject* song = book->create_leaf(songs, MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC,
                                             CkvString("Song"), MseqDescPath("<book>song.kvnl"));
        ASSERT_TRUE(MrecCompiler::save(book));
        MseqMusic* music = open_music(song, "song.kvnl");
        fill_song(music);
        ASSERT_TRUE(MrecCompiler::save(music));
        original_ = file("song.kvnl");
    }

    std::string file(const std::string& name) const {
        std::ifstream in(host(name), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    // Runs a script given as text; standard error joins standard output.
    ProgramRun script(const std::string& text) {
        std::ofstream(host("steps.txt"), std::ios::binary) << text;
        return run_program("script '" + host("steps.txt") + "' 2>&1");
    }

    std::string open_line() const { return "open \"" + host("library.kvnr") + "\" Song\n"; }

    std::string original_;
};

TEST_F(ScriptOnDisk, EditsThroughTheEditorSaveTheBytesTheModelWouldWrite) {
    const ProgramRun run = script(open_line() +
                                  "track パート/Lead\n"
                                  "block 4 m_Type=4 m_Whole=2 m_Length=2\n"
                                  "block 8 none\n"
                                  "property 20 500\n"
                                  "property 21 -300\n"
                                  "property 17 #4\n"
                                  "track Tempo\n"
                                  "block 2 m_Value=2000\n"
                                  "save\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, host("song.kvnl") + "\n");

    // The same changes made on the model directly.
    MseqMusic expected(nullptr);
    expected.name = CkvString("Song");
    fill_song(&expected);
    MseqTrackNote* lead = track_named(expected, "Lead");
    ASSERT_NE(lead, nullptr);
    const MseqBlockNote added = note(2, 2);
    lead->set_block(16, 4, &added);
    lead->set_block(16, 8, nullptr);
    lead->m_LRate = 120;
    lead->m_STime = -240;
    lead->m_NoteType = 1;
    MseqTrack* tempo = mseq_track_of(expected.header()->first_child());
    const MseqBlockValue fast(1024);
    tempo->set_block(4, 2, &fast);
    std::string bytes;
    ASSERT_TRUE(mrec_write_entity(&expected, &bytes));
    EXPECT_EQ(file("song.kvnl"), bytes);
}

TEST_F(ScriptOnDisk, EditActionsMenuCommandsAndMarkerRenames) {
    const ProgramRun run = script(open_line() +
                                  "track パート/Lead\n"
                                  "cursor 0 4\n"
                                  "action 122\n"
                                  "cursor 8\n"
                                  "action 123\n"
                                  "print cursor\n"
                                  "action 127\n"
                                  "track パート\n"
                                  "command 40290\n"
                                  "answer yes\n"
                                  "command 40273\n"
                                  "track Phr\n"
                                  "answer yes\n"
                                  "rename-markers 0 C all\n"
                                  "rename-markers 8 \"\"\n"
                                  "save\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("track 0x00110001 Lead pos 12 end 12\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("warn: 選択しているトラックを削除できませんでした。\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("のマーカー名 \"A\" を全て \"C\" に置き換えます。"), std::string::npos)
        << run.out;

    MseqMusic expected(nullptr);
    expected.name = CkvString("Song");
    fill_song(&expected);
    MseqObject* lead = expected.find_track(0x110001);
    MseqObject clip;
    int64_t end = 0;
    ASSERT_TRUE(mseq_subtree_store(lead, 0, 4, &clip));
    ASSERT_TRUE(mseq_subtree_insert(lead, 8, 8, &clip, MSEQ_OP_CLIP, &end));
    ASSERT_TRUE(mseq_subtree_space(lead, static_cast<int32_t>(end), 1, 0));
    MseqObject* added = expected.create_track(expected.detail()->id, MPLACE_LAST_CHILD,
                                              MTYPE_TRACK_NOTE, CkvString());
    ASSERT_NE(added, nullptr);
    mseq_track_of(added)->m_Beat = 16;
    auto* refs = static_cast<MseqTrackRefer*>(mseq_track_of(expected.find_track(0x110004)));
    for (auto [at, marker] : {std::pair{0, "C"}, std::pair{4, "C"}, std::pair{8, ""}}) {
        MseqBlockRefer b = *refs->block_at(at);
        b.m_StartMarker = CkvString(marker);
        refs->put_block(at, b);
    }
    std::string bytes;
    ASSERT_TRUE(mrec_write_entity(&expected, &bytes));
    EXPECT_EQ(file("song.kvnl"), bytes);
}

TEST_F(ScriptOnDisk, RhythmTrackAndRenameLines) {
    const ProgramRun run = script(open_line() +
                                  "track パート\n"
                                  "command 40291 タンバリン\n"
                                  "command 40291 42\n"
                                  "track パート/Band/Lead\n"
                                  "rename \"Band Lead\"\n"
                                  "save\n");
    ASSERT_EQ(run.status, 0) << run.out;

    MseqMusic expected(nullptr);
    expected.name = CkvString("Song");
    fill_song(&expected);
    for (uint32_t note : {54u, 42u}) {
        const MseqBlockWord* sound = MseqMapWord::builtin().get(MWORD_DRUM_SOUND, 0, note);
        ASSERT_NE(sound, nullptr);
        MseqObject* drum = expected.create_track(expected.detail()->id, MPLACE_LAST_CHILD,
                                                 MTYPE_TRACK_NOTE, sound->m_Name);
        ASSERT_NE(drum, nullptr);
        auto* notes = static_cast<MseqTrackNote*>(mseq_track_of(drum));
        notes->m_Beat = 16;
        notes->m_Rhythm = *sound;
    }
    MseqObject* inner = expected.find_track(0x110003);
    inner->name = CkvString("Band Lead");
    mseq_track_of(inner)->name = inner->name;
    std::string bytes;
    ASSERT_TRUE(mrec_write_entity(&expected, &bytes));
    EXPECT_EQ(file("song.kvnl"), bytes);
}

TEST_F(ScriptOnDisk, UndoingEveryGroupSavesTheOriginalBytes) {
    const ProgramRun run = script(open_line() +
                                  "track 0x100000\n"  // not a track: checked below
                                  "save\n");
    EXPECT_EQ(run.status, 1);
    const ProgramRun undo = script(open_line() +
                                   "track パート/Lead\n"
                                   "block 4 m_Type=4 m_Whole=2 m_Length=2\n"
                                   "block 4 m_Type=4 m_Whole=5 m_Length=1\n"
                                   "block 0 none\n"
                                   "group\n"
                                   "answer yes\n"
                                   "property 5 4\n"
                                   "group\n"
                                   "print undo\n"
                                   "undo\n"
                                   "undo\n"
                                   "print undo\n"
                                   "save\n");
    ASSERT_EQ(undo.status, 0) << undo.out;
    EXPECT_NE(undo.out.find("ask: "), std::string::npos);
    EXPECT_NE(undo.out.find("2\n0\n"), std::string::npos) << undo.out;
    EXPECT_EQ(file("song.kvnl"), original_);
}

TEST_F(ScriptOnDisk, PrintsTracksCursorAndProperties) {
    const ProgramRun run = script(open_line() +
                                  "print tracks\n"
                                  "track パート/Band/Lead\n"
                                  "print cursor\n"
                                  "print properties\n"
                                  "track パート/Lead\n"
                                  "cursor 8\n"
                                  "action 12\n"
                                  "print cursor\n"
                                  "action 12\n"
                                  "print cursor\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("0x00100001 MTYPE_TRACK_ROOT_MUSIC "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n    0x00110001 MTYPE_TRACK_NOTE Lead\n"), std::string::npos);
    EXPECT_NE(run.out.find("\n      0x00110003 MTYPE_TRACK_NOTE Lead\n"), std::string::npos);
    EXPECT_NE(run.out.find("track 0x00110003 Lead pos 0 end 0\n"), std::string::npos);
    // Inside the group the channel rows are display only.
    EXPECT_NE(run.out.find("10\t奏者\t0x800\t1\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("5\t拍数\t0x200\t4\n"), std::string::npos);
    EXPECT_NE(run.out.find("20\t音長比\t0x100\t100 [%]\n"), std::string::npos);
    // From position 8 of the 16-beat Lead down to the group (1 beat: its bar) and on to the
    // 4-beat Lead: the cursor keeps its time across the coarser row.
    EXPECT_NE(
        run.out.find("track 0x00110002 Band pos 0 end 0\ntrack 0x00110003 Lead pos 2 end 2\n"),
        std::string::npos)
        << run.out;
}

TEST_F(ScriptOnDisk, ALineThatCannotRunEndsTheScriptAndNothingIsSaved) {
    struct Case {
        const char* lines;
        const char* message;
    };
    const Case cases[] = {
        {"track Nowhere\n", "line 2: unknown track 'Nowhere'"},
        {"track Lead\n", "line 2: the track name 'Lead' is not unique"},
        {"track パート/Lead\ncursor -1\n", "line 3: position -1 is out of range"},
        {"track パート/Lead\ncursor x\n", "line 3: 'x' is not a position"},
        {"track パート/Lead\nproperty 20 fast\n", "line 3: property 20 needs a number, not 'fast'"},
        {"track パート/Lead\nproperty 4 9\n", "line 3: property 4 is display only"},
        {"track パート/Lead\nproperty 99 9\n", "line 3: the track has no property 99"},
        {"track パート/Lead\nblock 1 m_Pitch=3\n",
         "line 3: unknown field 'm_Pitch' of MSEQ_BLOCK_NOTE"},
        {"track パート/Lead\nblock 1 m_Whole=300\n", "line 3: '300' is not a value for m_Whole"},
        {"track パート/Lead\nproperty 5 4\n",
         "line 3: the program asked a question and no answer was queued"},
        {"track パート/Lead\nanswer ok\nproperty 5 4\n",
         "line 4: the queued answer 'ok' does not fit a Yes/No question"},
        {"answer maybe\n", "line 2: answer takes one of yes, no, cancel, ok"},
        {"jump 3\n", "line 2: unknown step 'jump'"},
        {"command 40291 Kazoo\n", "line 2: 'Kazoo' is not a drum sound"},
        {"command 40291\n", "line 2: usage: command 40291 SOUND"},
        {"rename a b\n", "line 2: usage: rename NAME (quote a name with spaces)"},
        {"action 99\n", "line 2: unknown action 99"},
        // Characters the program's CP932 texts cannot hold are named, not saved as '?'.
        {"track パート/Lead\nrename x😀\n",
         "line 3: the character '😀' (U+1F600) cannot be kept: the program's texts are CP932, "
         "which has no such character"},
        {"track パート/Lead\nproperty 1 한글\n",
         "line 3: the character '한' (U+D55C) cannot be kept"},
        {"track パート/Lead\nrename \xC0\xAF\n", "line 3: the bytes '\\xC0\\xAF' are not UTF-8"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = script(open_line() + "track パート/Lead\nblock 2 m_Length=3\n" +
                                      "group\n" + c.lines + "save\n");
        // The lines before the case shift its line numbers by three.
        std::string want = c.message;
        want[5] = static_cast<char>(want[5] + 3);
        EXPECT_EQ(run.status, 1) << c.lines;
        EXPECT_NE(run.out.find(want), std::string::npos) << c.lines << run.out;
        EXPECT_EQ(run.out.find(host("song.kvnl")), std::string::npos) << c.lines;
        EXPECT_EQ(file("song.kvnl"), original_) << c.lines;
    }
}

TEST_F(ScriptOnDisk, AFailedCommandUndoesItsGroupFirst) {
    // The beats change is refused after two blocks of the same group were set: the group is
    // undone, so a save in a later script finds the music unchanged.
    const ProgramRun run = script(open_line() +
                                  "track パート/Lead\n"
                                  "block 4 m_Length=1\n"
                                  "block 5 m_Length=1\n"
                                  "answer no\n"
                                  "property 5 4\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("line 6: setting property 5 failed"), std::string::npos) << run.out;
}

// A typed number outside the row's range is clamped into it, however far outside it lies: past
// the 32-bit range it used to wrap round to the other end.
TEST_F(ScriptOnDisk, TypedNumbersOutsideTheRangeAreClampedNotWrapped) {
    struct Case {
        const char* typed;
        const char* length_rate;  // row 20, 4 ... 120
        const char* start_time;   // row 21, -240 ... 240
    };
    const Case cases[] = {
        {"2147483647", "120 [%]", "240 [tick]"},
        {"2147483648", "120 [%]", "240 [tick]"},
        {"4294967295", "120 [%]", "240 [tick]"},
        {"4294967296", "120 [%]", "240 [tick]"},
        {"99999999999999999999999", "120 [%]", "240 [tick]"},
        {"-2147483649", "4 [%]", "-240 [tick]"},
        {"-99999999999999999999999", "4 [%]", "-240 [tick]"},
        {"0", "4 [%]", "0 [tick]"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = script(open_line() + "track パート/Lead\nproperty 20 " + c.typed +
                                      "\nproperty 21 " + c.typed + "\nprint properties\n");
        ASSERT_EQ(run.status, 0) << c.typed << run.out;
        std::istringstream lines(run.out);
        std::string line, rate, start;
        while (std::getline(lines, line)) {
            const std::string value = line.substr(line.rfind('\t') + 1);
            if (line.rfind("20\t", 0) == 0) rate = value;
            if (line.rfind("21\t", 0) == 0) start = value;
        }
        EXPECT_EQ(rate, c.length_rate) << c.typed << "\n" << run.out;
        EXPECT_EQ(start, c.start_time) << c.typed;
    }
}

}  // namespace script_command_test
