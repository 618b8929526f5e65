#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "model/block/MseqBlockRefer.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "text/MrecCompiler.h"
#include "ui/DiskLibraryTest.h"
#include "ui/RunProgram.h"

namespace events_command_test {

// A library written by the program's own writer: one music book holding a music with a note
// track, a lyric track and a phrase track, and the phrase it refers to.
class EventsLibrary : public DiskLibraryTest {
protected:
    template <class T>
    static T* track(MseqMusic* m, MSEQ_TYPE type, MSEQ_ID parent, int32_t beat) {
        MseqObject* node = m->create_track(parent, MPLACE_LAST_CHILD, type, CkvString());
        T* t = mseq_open(node)->cast_to<T>(type);
        t->m_Beat = beat;
        return t;
    }

    void build() override {
        const auto [songs, book] =
            write_room("Demo", CkvString(kv_codec::cp932_from_utf8("曲")), "songs.kvnb");
        ASSERT_NE(book, nullptr);
        MseqObject* song = book->create_leaf(songs, MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC,
                                             CkvString("Song"), MseqDescPath("<book>song.kvnl"));
        MseqObject* riff = book->create_leaf(songs, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE,
                                             CkvString("Riff"), MseqDescPath("<book>riff.kvnl"));
        song_id_ = song->id;
        ASSERT_TRUE(MrecCompiler::save(book));

        MseqPhrase phrase;
        phrase.name = CkvString("Riff");
        phrase.full_path = windows("riff.kvnl");
        MseqBlockNote n;
        n.m_Type = MNBT_PURE;
        n.m_Octave = 4;
        track<MseqTrackNote>(&phrase, MTYPE_TRACK_NOTE, MID_TRACK_DETAIL, 4)->put_block(0, n);
        ASSERT_TRUE(MrecCompiler::save(&phrase));

        MseqMusic* music = open_music(song, "song.kvnl");
        music->m_Tempo = 140;
        music->m_Copyright = kv_codec::cp932_from_utf8("著作 \"K\"");
        auto* lyric = track<MseqTrackLabel>(music, MTYPE_TRACK_LYRIC, MID_TRACK_HEADER, 4);
        MseqBlockLabel la;
        la.m_Label = kv_codec::cp932_from_utf8("ら");
        lyric->put_block(1, la);
        auto* notes = track<MseqTrackNote>(music, MTYPE_TRACK_NOTE, MID_TRACK_DETAIL, 4);
        notes->m_Channel = 2;
        n.m_Octave = 5;
        n.m_Whole = 2;
        notes->put_block(0, n);
        notes->put_block(2, n);
        auto* refer = track<MseqTrackRefer>(music, MTYPE_TRACK_REFER, MID_TRACK_DETAIL, 4);
        refer->m_Channel = 1;
        MseqBlockRefer r;
        r.m_PhraseID = mseq_with_file_number(riff->id, 2);
        refer->put_block(3, r);
        ASSERT_TRUE(MrecCompiler::save(music));
    }

    MSEQ_ID song_id_ = 0;
};

TEST_F(EventsLibrary, ListsEveryCallInOrder) {
    const std::string lib = "'" + host("library.kvnr") + "'";
    const ProgramRun run = run_program("events " + lib + " 曲/Song");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out,
              "0\ttempo\t140\n"
              "0\ttext\t3\t\"Song\"\n"
              "0\ttext\t2\t\"著作 \\\"K\\\"\"\n"
              "0\tnote-on\t2\t64\t100\t480\n"
              "480\ttext\t5\t\"ら\"\n"
              "480\tnote-off\t2\t64\n"
              "960\tnote-on\t2\t64\t100\t480\n"
              "1440\tnote-on\t1\t48\t100\t480\n"  // channel 1 before channel 2
              "1440\tnote-off\t2\t64\n"
              "1920\tnote-off\t1\t48\n"
              "finish\n"
              "stop\n");

    char id[16];
    std::snprintf(id, sizeof id, "0x%08X", song_id_);
    // From tick 1100 (step 2 of the note track): the lyric and the first note are skipped.
    const ProgramRun from = run_program("events " + lib + " " + id + " --from 1100");
    ASSERT_EQ(from.status, 0);
    EXPECT_EQ(from.out,
              "0\ttempo\t140\n"
              "0\ttext\t3\t\"Song\"\n"
              "0\ttext\t2\t\"著作 \\\"K\\\"\"\n"
              "960\tnote-on\t2\t64\t100\t480\n"
              "1440\tnote-on\t1\t48\t100\t480\n"
              "1440\tnote-off\t2\t64\n"
              "1920\tnote-off\t1\t48\n"
              "finish\n"
              "stop\n");

    // The phrase on its own: its channel set-up, then its note.
    const ProgramRun phrase = run_program("events " + lib + " 曲/Riff");
    ASSERT_EQ(phrase.status, 0);
    EXPECT_EQ(phrase.out,
              "0\ttext\t3\t\"Riff\"\n"
              "0\ttext\t2\t\"\"\n"
              "0\tmessage\tC0 00\n"
              "0\tcontrol\t0\t7\t120\n"
              "0\tcontrol\t0\t39\t0\n"
              "0\tcontrol\t0\t10\t64\n"
              "0\tcontrol\t0\t42\t0\n"
              "0\tnote-on\t0\t48\t100\t480\n"
              "480\tnote-off\t0\t48\n"
              "finish\n"
              "stop\n");
}

TEST_F(EventsLibrary, RefusesWhatCannotBePlayed) {
    const std::string lib = "'" + host("library.kvnr") + "'";
    struct Case {
        std::string args;
        int status;
    };
    const Case cases[] = {
        {"events " + lib + " 曲/None", 1},
        {"events " + lib + " 曲", 1},  // a book
        {"events '" + host("none.kvnr") + "' 曲/Song", 1},
        {"events " + lib, 2},
        {"events " + lib + " 曲/Song --from", 2},
        {"events " + lib + " 曲/Song --from -5", 2},
        {"events " + lib + " 曲/Song --from 12x", 2},
    };
    for (const Case& c : cases) {
        const ProgramRun run = run_program(c.args + " 2>/dev/null");
        EXPECT_EQ(run.status, c.status) << c.args;
        EXPECT_EQ(run.out, "") << c.args;
    }
}

}  // namespace events_command_test
