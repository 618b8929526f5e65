#include "play/export/MplyExport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "ExternalTools.h"
#include "model/core/CkvString.h"
#include "play/engine/MplyEvent.h"

namespace export_test {

using Bytes = std::vector<uint8_t>;

Bytes Track(MplyExport& out) {
    Bytes file;
    if (!out.BuildFile(&file)) return {};
    return Bytes(file.begin() + 22, file.end());
}

TEST(Export, OverlappingNotesWriteOffAndOnAndSwallowTheEarlierOff) {
    MplyExport out;
    ASSERT_EQ(out.Open(), 1);
    // On at 0 for 960 ticks, on at 480 for 960 ticks, on the same key and channel.
    EXPECT_EQ(out.SendNoteOn(MplyEventNoteOn(0, 0, 960, 60, 100)), 1);
    EXPECT_EQ(out.SendNoteOn(MplyEventNoteOn(480, 0, 960, 60, 90)), 1);
    EXPECT_EQ(out.SendNoteOff(MplyEventNoteOff(960, 0, 60)), 1);
    EXPECT_EQ(out.SendNoteOff(MplyEventNoteOff(1440, 0, 60)), 1);
    EXPECT_EQ(out.SendNoteOff(MplyEventNoteOff(1500, 0, 60)), 0);  // nothing sounds any more
    EXPECT_EQ(out.Stop(), 1);
    EXPECT_EQ(Track(out), (Bytes{0x00, 0x90, 60,   100,                         // on at 0
                                 0x83, 0x60, 0x80, 60,  0, 0x00, 0x90, 60, 90,  // off and on at 480
                                 0x87, 0x40, 0x80, 60,  0,                      // off at 1440
                                 0x00, 0xFF, 0x2F, 0x00}));
}

TEST(Export, TheCounterStopsAt255) {
    MplyExport out;
    out.Open();
    for (int i = 0; i < 255; ++i)
        ASSERT_EQ(out.SendNoteOn(MplyEventNoteOn(0, 1, 10, 50, 100)), 1);
    EXPECT_EQ(out.SendNoteOn(MplyEventNoteOn(0, 1, 10, 50, 100)), 0);
    // The first note-on, then 254 note-off and note-on pairs; the refused one wrote nothing.
    EXPECT_EQ(Track(out).size(), 4u + 254u * 8u);
}

TEST(Export, TempoTextControlAndExclusive) {
    MplyExport out;
    out.Open();
    const CkvString title("Song"), empty;
    EXPECT_EQ(out.SendTempo(MplyEventTempo(0, 140)), 1);
    EXPECT_EQ(out.SendTempo(MplyEventTempo(0, 0)), 0);
    EXPECT_EQ(out.SendText(MplyEventString(0, 3, &title)), 1);
    EXPECT_EQ(out.SendText(MplyEventString(0, 2, &empty)), 1);  // accepted, nothing written
    EXPECT_EQ(out.SendExclusive(MplyEventExclusive(0, {0x7E, 0x7F, 0x09, 0x01})), 1);
    EXPECT_EQ(out.SendControl(MplyEventControl(120, 2, 7, 120)), 1);
    EXPECT_EQ(out.SendControlPair(2, 6, 38, 0x1F85), 1);  // at the last tick written
    EXPECT_EQ(out.SendRawMessage(MplyEventMsg(240, 2, {0xC2, 5})), 1);
    EXPECT_EQ(out.SendRawMessage(MplyEventMsg(240, 2, {0x92, 60, 100})), 0);
    EXPECT_EQ(Track(out),
              (Bytes{0x00, 0xFF, 0x51, 0x03, 0x06, 0x8A, 0x1B, 0x00, 0xFF, 0x03, 0x04, 'S',  'o',
                     'n',  'g',  0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x78, 0xB2, 7,
                     120,  0x00, 0xB2, 38,   0x05, 0x00, 0xB2, 6,    0x3F, 0x78, 0xC2, 5}));
}

TEST(Export, OpenStartsAFreshFileAndBuildRefusesNothing) {
    MplyExport out;
    Bytes file{9};
    EXPECT_FALSE(out.BuildFile(&file));
    EXPECT_EQ(file, Bytes{9});
    out.Open();
    out.SendNoteOn(MplyEventNoteOn(960, 0, 10, 60, 100));
    out.Open();  // a new run: what the last one left is gone, counters too
    EXPECT_EQ(out.note_count(0, 60), 0);
    EXPECT_EQ(out.SendNoteOff(MplyEventNoteOff(0, 0, 60)), 0);
    out.SendNoteOn(MplyEventNoteOn(0, 0, 10, 60, 100));
    EXPECT_EQ(Track(out), (Bytes{0x00, 0x90, 60, 100}));
    EXPECT_FALSE(out.BuildFile(&file));  // emptied by the build
}

TEST(Export, AMessageDueBeforeTheLastTickIsWrittenThere) {
    MplyExport out;
    out.Open();
    out.SendNoteOn(MplyEventNoteOn(480, 0, 10, 60, 100));
    EXPECT_EQ(out.SendRawMessage(MplyEventMsg(-60, 0, {0xB0, 11, 64})), 1);
    out.Stop();
    EXPECT_EQ(out.LateEvents(), 1u);
    EXPECT_EQ(Track(out),
              (Bytes{0x83, 0x60, 0x90, 60, 100, 0x00, 0xB0, 11, 64, 0x00, 0xFF, 0x2F, 0x00}));
}

// A file of every kind of event, read by programs we did not write.
class ExportedFile : public ::testing::Test {
protected:
    void SetUp() override {
        MplyExport out;
        out.Open();
        const CkvString title("Checked");
        out.SendTempo(MplyEventTempo(0, 140));
        out.SendText(MplyEventString(0, 3, &title));
        out.SendExclusive(MplyEventExclusive(0, {0x7E, 0x7F, 0x09, 0x01}));
        out.SendRawMessage(MplyEventMsg(0, 9, {0xC9, 0}));
        out.SendControl(MplyEventControl(0, 9, 7, 120));
        out.SendControl(MplyEventControl(0, 9, 10, 64));
        out.SendNoteOn(MplyEventNoteOn(0, 9, 960, 36, 100));
        out.SendNoteOn(MplyEventNoteOn(480, 9, 960, 36, 90));
        out.SendRawMessage(MplyEventMsg(600, 9, {0xE9, 0x00, 0x50}));
        out.SendNoteOff(MplyEventNoteOff(960, 9, 36));
        out.SendNoteOff(MplyEventNoteOff(1440, 9, 36));
        out.Stop();
        ASSERT_TRUE(out.BuildFile(&file_));
        char path[] = "/tmp/kvmid-XXXXXX";
        const int fd = ::mkstemp(path);
        ASSERT_GE(fd, 0);
        ::close(fd);
        path_ = path;
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(file_.data()),
                   static_cast<std::streamsize>(file_.size()));
    }
    void TearDown() override {
        if (!path_.empty()) std::remove(path_.c_str());
    }

    Bytes file_;
    std::string path_;
};

TEST_F(ExportedFile, MidicsvDecodesItAndCsvmidiRebuildsTheSameBytes) {
    if (!kv_test::have_program("midicsv") || !kv_test::have_program("csvmidi"))
        GTEST_SKIP() << "midicsv is not installed (tools/setup.sh installs it)";
    std::string csv;
    ASSERT_EQ(kv_test::run_capture("midicsv '" + path_ + "'", &csv), 0);
    EXPECT_NE(csv.find("0, 0, Header, 0, 1, 480"), std::string::npos) << csv;
    EXPECT_NE(csv.find("1, 0, Tempo, 428571"), std::string::npos) << csv;
    EXPECT_NE(csv.find("1, 480, Note_off_c, 9, 36, 0"), std::string::npos) << csv;
    EXPECT_NE(csv.find("1, 1440, End_track"), std::string::npos) << csv;
    // csvmidi -x writes every status byte, as the exporter does, instead of running status.
    std::string rebuilt;
    ASSERT_EQ(
        kv_test::run_capture("midicsv '" + path_ + "' | csvmidi -x | od -An -v -tx1", &rebuilt), 0);
    std::string original;
    ASSERT_EQ(kv_test::run_capture("od -An -v -tx1 '" + path_ + "'", &original), 0);
    EXPECT_EQ(rebuilt, original);
}

TEST_F(ExportedFile, MidoReadsTheNotesTicksAndTempo) {
    if (!kv_test::have_mido()) GTEST_SKIP() << "python3-mido is not installed (tools/setup.sh)";
    const char* script = R"(
import sys, mido
f = mido.MidiFile(sys.argv[1])
print(f.type, f.ticks_per_beat, len(f.tracks))
t = 0
for m in f.tracks[0]:
    t += m.time
    if m.type == "set_tempo": print(t, "tempo", m.tempo)
    elif m.type in ("note_on", "note_off"): print(t, m.type, m.channel, m.note, m.velocity)
    elif m.type == "control_change": print(t, "cc", m.channel, m.control, m.value)
    elif m.type == "program_change": print(t, "program", m.channel, m.program)
    elif m.type == "pitchwheel": print(t, "bend", m.channel, m.pitch)
    elif m.type == "track_name": print(t, "name", m.name)
    elif m.type == "sysex": print(t, "sysex", list(m.data))
    elif m.type == "end_of_track": print(t, "end")
)";
    std::string out;
    ASSERT_EQ(kv_test::run_python(script, path_, &out), 0) << out;
    EXPECT_EQ(out,
              "0 480 1\n"
              "0 tempo 428571\n"
              "0 name Checked\n"
              "0 sysex [126, 127, 9, 1]\n"
              "0 program 9 0\n"
              "0 cc 9 7 120\n"
              "0 cc 9 10 64\n"
              "0 note_on 9 36 100\n"
              "480 note_off 9 36 0\n"
              "480 note_on 9 36 90\n"
              "600 bend 9 2048\n"
              "1440 note_off 9 36 0\n"
              "1440 end\n");
}

}  // namespace export_test
