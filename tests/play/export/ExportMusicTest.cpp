// Whole exports: a music or phrase built in memory, compiled by the player and run by the engine
// with the exporter as output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "ExternalTools.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "platform/FileSystem.h"
#include "platform/MidiRender.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "play/export/MplyExport.h"

namespace export_music_test {

using Bytes = std::vector<uint8_t>;

// A note track of `music` on `channel` with a grid of quarter notes; each note is
// {index, length} in quarters, all of the pure pitch `key_octave` C.
MseqTrackNote* AddNotes(MseqMusic& music, int channel,
                        std::vector<std::pair<int32_t, int32_t>> notes) {
    MseqObject* node =
        music.create_track(music.detail()->id, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, "notes");
    if (!node) return nullptr;
    mseq_factory(node);
    if (!node->entity()) return nullptr;
    auto* track = node->entity()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
    track->m_Beat = 4;
    track->m_Channel = channel;
    for (const auto& [index, length] : notes) {
        MseqBlockNote note;
        note.set_type(MNBT_PURE);
        note.m_Length = length;
        track->put_block(index, note);
    }
    return track;
}

struct Exported {
    MplyExportResult result = MplyExportResult::not_started;
    Bytes file;
    std::vector<kv_synth::timed_message> messages;  // decoded, for the checks below
};

Exported Export(MseqMusic& music) {
    MplyPlayer player(nullptr, false);
    MplyExport exporter;
    std::unique_ptr<MplyEntity> run(music.create_player_model());
    Exported out;
    out.result = MplyExportMusic(player, exporter, run, "", &out.file);
    double length = 0;
    kv_synth::decode_midi_file(out.file, &out.messages, &length);
    return out;
}

Bytes Message(const Exported& e, size_t i) {
    return i < e.messages.size() ? e.messages[i].bytes : Bytes{};
}

TEST(ExportMusic, AFasterTempoOpensTheTrack) {
    auto music = ref_ptr<MseqMusic>::adopt(new MseqMusic(nullptr));
    music->m_Tempo = 140;
    music->m_Title = "";
    ASSERT_NE(AddNotes(*music, 0, {{0, 1}}), nullptr);
    const Exported e = Export(*music);
    ASSERT_EQ(e.result, MplyExportResult::ok);
    ASSERT_GE(e.file.size(), 29u);
    EXPECT_EQ(Bytes(e.file.begin() + 22, e.file.begin() + 29),
              (Bytes{0x00, 0xFF, 0x51, 0x03, 0x06, 0x8A, 0x1B}));
}

TEST(ExportMusic, TheDefaultTempoWritesNoTempoEvent) {
    auto music = ref_ptr<MseqMusic>::adopt(new MseqMusic(nullptr));
    music->m_Title = "";
    ASSERT_NE(AddNotes(*music, 0, {{0, 1}}), nullptr);
    const Exported e = Export(*music);
    ASSERT_EQ(e.result, MplyExportResult::ok);
    ASSERT_GE(e.file.size(), 24u);
    EXPECT_NE(e.file[23], 0xFF);  // the first event is the note, not a meta event
    EXPECT_EQ(e.file[23] & 0xF0, 0x90);
}

TEST(ExportMusic, OverlappingNotesOfOneKey) {
    auto music = ref_ptr<MseqMusic>::adopt(new MseqMusic(nullptr));
    music->m_Title = "";
    // On at 0 for 960 ticks and on at 480 for 960 ticks.
    ASSERT_NE(AddNotes(*music, 0, {{0, 2}, {1, 2}}), nullptr);
    const Exported e = Export(*music);
    ASSERT_EQ(e.result, MplyExportResult::ok);
    ASSERT_EQ(e.messages.size(), 4u);
    const uint8_t key = e.messages[0].bytes[1];
    const double q = 0.5;  // seconds a quarter at 120
    const struct {
        double at;
        Bytes bytes;
    } want[] = {
        {0, {0x90, key, 100}}, {q, {0x80, key, 0}}, {q, {0x90, key, 100}}, {3 * q, {0x80, key, 0}}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(e.messages[i].seconds, want[i].at) << i;
        EXPECT_EQ(e.messages[i].bytes, want[i].bytes) << i;
    }
    // The file ends with the end of track at the last note-off.
    EXPECT_EQ(Bytes(e.file.end() - 4, e.file.end()), (Bytes{0x00, 0xFF, 0x2F, 0x00}));
}

TEST(ExportMusic, APhraseSetsUpItsChannelFirst) {
    const struct {
        MseqBlockWord program;
        uint8_t channel;
    } cases[] = {{{MWORD_PROGRAM, 0, 24}, 0}, {{MWORD_DRUM_KIT, 0, 16}, 9}};
    for (const auto& c : cases) {
        auto phrase = ref_ptr<MseqPhrase>::adopt(new MseqPhrase());
        phrase->m_Title = "";
        phrase->m_Program = c.program;
        // A phrase's note tracks take their channel from the phrase.
        ASSERT_NE(AddNotes(*phrase, 3, {{0, 1}}), nullptr);
        const Exported e = Export(*phrase);
        ASSERT_EQ(e.result, MplyExportResult::ok);
        const uint8_t ch = c.channel;
        const std::vector<Bytes> want = {
            {static_cast<uint8_t>(0xC0 | ch), static_cast<uint8_t>(c.program.m_Index)},
            {static_cast<uint8_t>(0xB0 | ch), 7, 120},
            {static_cast<uint8_t>(0xB0 | ch), 39, 0},
            {static_cast<uint8_t>(0xB0 | ch), 10, 64},
            {static_cast<uint8_t>(0xB0 | ch), 42, 0}};
        ASSERT_GE(e.messages.size(), 6u) << int(ch);
        for (size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(Message(e, i), want[i]) << int(ch) << " " << i;
            EXPECT_EQ(e.messages[i].seconds, 0.0);
        }
        EXPECT_EQ(Message(e, 5)[0], 0x90 | ch);
    }
}

TEST(ExportMusic, AFailedWriteLeavesTheOldFile) {
    char folder[] = "/tmp/kvexp-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string host = std::string(folder) + "/song.mid";
    std::ofstream(host) << "old contents";
    const std::string path = kv_fs::from_host(host);
    auto music = ref_ptr<MseqMusic>::adopt(new MseqMusic(nullptr));
    ASSERT_NE(AddNotes(*music, 0, {{0, 4}}), nullptr);
    MplyPlayer player(nullptr, false);
    MplyExport exporter;
    std::unique_ptr<MplyEntity> run(music->create_player_model());
    kv_fs::set_write_fault_after(10);
    EXPECT_EQ(MplyExportMusic(player, exporter, run, path, nullptr),
              MplyExportResult::write_failed);
    kv_fs::set_write_fault_after(std::string::npos);
    std::string data;
    ASSERT_TRUE(kv_fs::read_file(path, &data));
    EXPECT_EQ(data, "old contents");
    run.reset(music->create_player_model());
    ASSERT_EQ(MplyExportMusic(player, exporter, run, path, nullptr), MplyExportResult::ok);
    ASSERT_TRUE(kv_fs::read_file(path, &data));
    EXPECT_EQ(data.substr(0, 4), "MThd");
    std::remove(host.c_str());
    ::rmdir(folder);
}

TEST(ExportMusic, MidoReadsAWholeExport) {
    if (!kv_test::have_mido()) GTEST_SKIP() << "python3-mido is not installed (tools/setup.sh)";
    auto music = ref_ptr<MseqMusic>::adopt(new MseqMusic(nullptr));
    music->m_Title = "";
    music->m_Tempo = 90;
    ASSERT_NE(AddNotes(*music, 2, {{0, 1}, {2, 2}, {8, 1}}), nullptr);
    const Exported e = Export(*music);
    ASSERT_EQ(e.result, MplyExportResult::ok);
    char path[] = "/tmp/kvmid-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, e.file.data(), e.file.size()), static_cast<ssize_t>(e.file.size()));
    ::close(fd);
    const char* script = R"(
import sys, mido
f = mido.MidiFile(sys.argv[1])
t = 0
for m in f.tracks[0]:
    t += m.time
    if m.type == "set_tempo": print(t, "tempo", round(mido.tempo2bpm(m.tempo)))
    elif m.type in ("note_on", "note_off"): print(t, m.type, m.channel)
print("seconds", round(f.length, 3))
)";
    std::string out;
    ASSERT_EQ(kv_test::run_python(script, path, &out), 0) << out;
    EXPECT_EQ(out,
              "0 tempo 90\n"
              "0 note_on 2\n480 note_off 2\n"
              "960 note_on 2\n1920 note_off 2\n"
              "3840 note_on 2\n4320 note_off 2\n"
              "seconds 6.0\n");
    std::remove(path);
}

}  // namespace export_music_test
