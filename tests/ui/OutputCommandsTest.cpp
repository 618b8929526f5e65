// The output tools run as the program itself, on a small library written to a temporary folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ExternalTools.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "model/track/MseqTrackNote.h"
#include "platform/FileSystem.h"
#include "platform/SynthPort.h"
#include "text/MrecCompiler.h"

namespace output_commands_test {

// A library "library.kvnr" with the music book "Songs" holding the music "Tune" (tempo 150,
// three quarter notes C D E on channel 1) in "tune.kvnl" and the phrase "Riff" (a drum kit, the
// same notes on the phrase's channel) in "riff.kvnl".
class OutputTools : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvlib-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        host_ = tmpl;
        const std::string lib = kv_fs::from_host(host_ + "/library.kvnr");
        MseqObject room_node(MID_ROOM, MTYPE_ROOM, CkvString("Lib"), MseqDescPath(lib));
        auto* room = new MseqRoom(&room_node);
        room_node.attach(room);
        room->full_path = MseqFullPath(lib);
        MseqObject* book_node =
            room->create_book(&room_node, MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC, CkvString("Songs"),
                              MseqDescPath("<room>songs.kvnb"));
        ASSERT_NE(book_node, nullptr);
        ASSERT_TRUE(mseq_factory(book_node));
        auto* book = book_node->entity()->cast_to<MseqBook>(MTYPE_BOOK);
        book->full_path = MseqFullPath(kv_fs::from_host(host_ + "/songs.kvnb"));
        AddLeaf(book, book_node, MTYPE_LEAF_MUSIC, "Tune", "tune.kvnl", 150);
        AddLeaf(book, book_node, MTYPE_LEAF_PHRASE, "Riff", "riff.kvnl", 120);
        ASSERT_TRUE(MrecCompiler::save(book));
        ASSERT_TRUE(MrecCompiler::save(room));
    }

    void AddLeaf(MseqBook* book, MseqObject* book_node, MSEQ_TYPE type, const char* name,
                 const char* file, int tempo) {
        MseqObject* leaf = book->create_leaf(book_node, MPLACE_LAST_CHILD, type, CkvString(name),
                                             MseqDescPath(std::string("<book>") + file));
        ASSERT_NE(leaf, nullptr);
        ASSERT_TRUE(mseq_factory(leaf));
        auto* music = leaf->entity()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        music->full_path = MseqFullPath(kv_fs::from_host(host_ + "/" + file));
        music->m_Tempo = tempo;
        music->m_Title = "";
        if (type == MTYPE_LEAF_PHRASE) music->m_Program = MseqBlockWord(MWORD_DRUM_KIT, 0, 16);
        MseqObject* node = music->create_track(music->detail()->id, MPLACE_LAST_CHILD,
                                               MTYPE_TRACK_NOTE, CkvString("notes"));
        ASSERT_NE(node, nullptr);
        ASSERT_TRUE(mseq_factory(node));
        auto* track = node->entity()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
        track->m_Beat = 4;
        track->m_Channel = 1;
        for (int i = 0; i < 3; ++i) {
            MseqBlockNote note;
            note.set_type(MNBT_PURE);
            note.m_Whole = static_cast<int8_t>(i);
            track->put_block(i, note);
        }
        ASSERT_TRUE(MrecCompiler::save(music));
    }

    void TearDown() override { std::filesystem::remove_all(host_); }

    // Runs the program in the library's folder; returns its exit status, with stdout and
    // stderr in `out`.
    int Run(const std::string& args, std::string* out) {
        return kv_test::run_capture("cd '" + host_ + "' && " KV_PROGRAM " " + args + " 2>&1", out);
    }

    std::string host_;
};

TEST_F(OutputTools, ExportWritesTheLeafUnderItsOwnName) {
    std::string out;
    ASSERT_EQ(Run("export library.kvnr Tune", &out), 0) << out;
    EXPECT_EQ(out, "tune.mid\n");
    std::string data;
    ASSERT_TRUE(kv_fs::read_file(kv_fs::from_host(host_ + "/tune.mid"), &data));
    // Tempo 150 (400000 microseconds a quarter) comes first.
    EXPECT_EQ(data.substr(0, 4), "MThd");
    EXPECT_EQ(data.substr(22, 7), std::string("\x00\xFF\x51\x03\x06\x1A\x80", 7));
    ASSERT_EQ(Run("export library.kvnr Songs/Riff -o other.mid", &out), 0) << out;
    EXPECT_TRUE(kv_fs::file_exists(kv_fs::from_host(host_ + "/other.mid")));
}

TEST_F(OutputTools, ExportReportsWhatIsMissing) {
    std::string out;
    EXPECT_EQ(Run("export library.kvnr Nothing", &out), 1);
    EXPECT_NE(out.find("no music or phrase named 'Nothing'"), std::string::npos) << out;
    EXPECT_EQ(Run("export missing.kvnr Tune", &out), 1);
    EXPECT_NE(out.find("no library file"), std::string::npos) << out;
    EXPECT_EQ(Run("export library.kvnr", &out), 2);
    EXPECT_EQ(Run("export library.kvnr Tune -o /nonexistent/dir/x.mid", &out), 1);
    EXPECT_NE(out.find("cannot write"), std::string::npos) << out;
}

TEST_F(OutputTools, ExportedFilesReadBackInMidicsvAndMido) {
    std::string out;
    ASSERT_EQ(Run("export library.kvnr Riff -o r.mid", &out), 0) << out;
    const std::string file = host_ + "/r.mid";
    if (!kv_test::have_program("midicsv") || !kv_test::have_mido())
        GTEST_SKIP() << "midicsv or python3-mido is not installed (tools/setup.sh)";
    std::string a, b;
    ASSERT_EQ(kv_test::run_capture("midicsv '" + file + "' | csvmidi -x | od -An -tx1", &a), 0);
    ASSERT_EQ(kv_test::run_capture("od -An -tx1 '" + file + "'", &b), 0);
    EXPECT_EQ(a, b);
    const char* script = R"(
import sys, mido
for m in mido.MidiFile(sys.argv[1]).tracks[0]:
    if m.type == "program_change": print(m.time, "program", m.channel, m.program)
    elif m.type == "control_change": print(m.time, "cc", m.channel, m.control, m.value)
    elif m.type in ("note_on", "note_off"):
        assert m.channel == 9
        print(m.time, m.type, m.note, m.velocity)
    else: print(m.time, m.type)
)";
    ASSERT_EQ(kv_test::run_python(script, file, &out), 0) << out;
    EXPECT_EQ(out,
              "0 program 9 16\n"
              "0 cc 9 7 120\n"
              "0 cc 9 39 0\n"
              "0 cc 9 10 64\n"
              "0 cc 9 42 0\n"
              "0 note_on 60 100\n"
              "480 note_off 60 0\n"
              "0 note_on 62 100\n"
              "480 note_off 62 0\n"
              "0 note_on 64 100\n"
              "480 note_off 64 0\n"
              "0 end_of_track\n");
}

TEST_F(OutputTools, RenderMakesAWaveAsLongAsTheMusic) {
    if (!kv_synth::synth_available()) GTEST_SKIP() << "built without FluidSynth";
    if (kv_synth::find_soundfont().empty())
        GTEST_SKIP() << "no GM sound font installed (timgm6mb-soundfont)";
    std::string out;
    ASSERT_EQ(Run("render library.kvnr Tune -o tune.wav", &out), 0) << out;
    if (!kv_test::have_program("sox")) GTEST_SKIP() << "sox is not installed (tools/setup.sh)";
    const std::string wav = host_ + "/tune.wav";
    ASSERT_EQ(kv_test::run_capture(
                  "soxi -r '" + wav + "'; soxi -c '" + wav + "'; soxi -b '" + wav + "'", &out),
              0);
    EXPECT_EQ(out, "44100\n2\n16\n");
    // Three quarters at 150 beats a minute are 1.2 s; one second of fading follows.
    ASSERT_EQ(kv_test::run_capture("soxi -D '" + wav + "'", &out), 0);
    EXPECT_NEAR(std::stod(out), 2.2, 0.01);
    ASSERT_EQ(kv_test::run_capture("sox '" + wav + "' -n stat 2>&1", &out), 0);
    const size_t at = out.find("RMS     amplitude:");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_GT(std::stod(out.substr(at + 18)), 0.01) << out;
    EXPECT_EQ(Run("render library.kvnr Tune -o x.wav --soundfont /nonexistent.sf2", &out), 1);
}

TEST_F(OutputTools, ExportChoosesLayoutTextsAndScoresByOptionAndExtension) {
    const struct {
        const char* args;
        int status;
        const char* file;
        std::string starts;  // the first bytes of the file written
    } cases[] = {
        {"-o one.mid --format 1", 0, "one.mid", std::string("MThd\0\0\0\x06\0\x01\0\x02", 12)},
        {"-o zero.mid --format 0 --text utf8", 0, "zero.mid",
         std::string("MThd\0\0\0\x06\0\0\0\x01", 12)},
        {"-o tune.musicxml", 0, "tune.musicxml", "<?xml version=\"1.0\" encoding=\"UTF-8\""},
        {"-o tune.MXL", 0, "tune.MXL", std::string("PK\x03\x04", 4)},
        {"-o bad.mid --format 2", 2, "bad.mid", ""},
        {"-o bad.mid --text latin1", 2, "bad.mid", ""},
        {"-o library.kvnr", 1, "", ""},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(Run(std::string("export library.kvnr Tune ") + c.args, &out), c.status)
            << c.args << "\n"
            << out;
        if (!*c.file) continue;
        std::string data;
        kv_fs::read_file(kv_fs::from_host(host_ + "/" + c.file), &data);
        EXPECT_EQ(data.substr(0, c.starts.size()), c.starts) << c.args;
        if (c.status != 0) {
            EXPECT_TRUE(data.empty()) << c.args;
        }
    }
}

TEST_F(OutputTools, RenderWritesFlacOggAndStems) {
    if (!kv_synth::synth_available()) GTEST_SKIP() << "built without FluidSynth";
    if (kv_synth::find_soundfont().empty()) GTEST_SKIP() << "no GM sound font installed";
    if (!kv_test::have_program("sox")) GTEST_SKIP() << "sox is not installed (tools/setup.sh)";
    std::string out;
    ASSERT_EQ(Run("render library.kvnr Tune -o tune.flac --stems parts", &out), 0) << out;
    // The tune plays on channel 2 only, without a stage map: one stem, named after the channel.
    EXPECT_NE(out.find("parts/02 Channel 2.flac: 2.200 s"), std::string::npos) << out;
    for (const std::string file : {"tune.flac", "parts/02 Channel 2.flac"}) {
        ASSERT_EQ(
            kv_test::run_capture(
                "soxi -t '" + host_ + "/" + file + "'; soxi -D '" + host_ + "/" + file + "'", &out),
            0)
            << file;
        EXPECT_EQ(out.substr(0, 5), "flac\n") << file;
        EXPECT_NEAR(std::stod(out.substr(5)), 2.2, 0.01) << file;
    }
    ASSERT_EQ(Run("render library.kvnr Tune -o tune.ogg", &out), 0) << out;
    ASSERT_EQ(kv_test::run_capture("soxi -t '" + host_ + "/tune.ogg'", &out), 0);
    EXPECT_EQ(out, "vorbis\n");
    EXPECT_EQ(Run("render library.kvnr Tune -o tune.mp3", &out), 2);
    EXPECT_NE(out.find("tune.mp3: the sound format comes from the extension"), std::string::npos)
        << out;
    EXPECT_EQ(Run("render library.kvnr Tune", &out), 2);
    // A stems folder that is a file is refused with its name.
    std::ofstream(host_ + "/taken") << "x";
    EXPECT_EQ(Run("render library.kvnr Tune --stems taken", &out), 1);
    EXPECT_NE(out.find("cannot write stems into taken"), std::string::npos) << out;
}

TEST_F(OutputTools, PlayWithoutADeviceFailsCleanly) {
    std::string out;
    // No sequencer port numbered 99 exists here or on any ordinary machine.
    EXPECT_EQ(Run("play library.kvnr Tune --device 99", &out), 1);
    EXPECT_NE(out.find("cannot be opened"), std::string::npos) << out;
    EXPECT_EQ(Run("play library.kvnr Tune --device 1 --synth", &out), 2);
    EXPECT_EQ(Run("play library.kvnr Tune --from x", &out), 2);
}

TEST(DevicesCommand, ListsBothKindsOfPort) {
    std::string out;
    ASSERT_EQ(kv_test::run_capture(KV_PROGRAM " devices 2>&1", &out), 0) << out;
    EXPECT_NE(out.find("MIDI output ports (--device N):\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Synthesizer ports (--synth):\n"), std::string::npos) << out;
    EXPECT_EQ(kv_test::run_capture(KV_PROGRAM " devices extra 2>&1", &out), 2);
}

}  // namespace output_commands_test
