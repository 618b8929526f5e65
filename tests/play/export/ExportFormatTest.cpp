// The layouts and text spellings of an exported file: format 1 (a conductor track and one track
// per channel part) against format 0 of the same run, and texts in UTF-8 against CP932. The
// demo song is the music: it has a stage map, a chord map, markers and a drum part.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ExternalTools.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "platform/TextCodec.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "play/export/MplyExport.h"
#include "tools/AppData.h"

namespace export_format_test {

using Bytes = std::vector<uint8_t>;

Bytes Export(MseqMusic& music, MplyExportFormat format) {
    MplyPlayer player(nullptr, false);
    MplyExport exporter;
    exporter.SetFormat(format);
    std::unique_ptr<MplyEntity> run(music.create_player_model());
    Bytes file;
    if (MplyExportMusic(player, exporter, run, "", &file) != MplyExportResult::ok) file.clear();
    return file;
}

// Writes `bytes` to a new temporary file and returns its path; empty on failure.
std::string TempFile(const Bytes& bytes) {
    char path[] = "/tmp/kvfmt-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) return {};
    const bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::close(fd);
    return ok ? path : std::string();
}

bool Contains(const Bytes& file, const std::string& text) {
    const Bytes bytes(text.begin(), text.end());
    return std::search(file.begin(), file.end(), bytes.begin(), bytes.end()) != file.end();
}

// Reads both files with mido and prints, for format 0 and for the merged tracks of format 1,
// every event as "tick message" with its channel's events, its system events and its meta
// events kept apart, so that the comparison below names what differs. Format 1's own additions
// (time and key signature, the parts' track names) and the ends of track are listed separately.
constexpr const char* kCompare = R"(
import sys, mido
f0 = mido.MidiFile(sys.argv[1].split(",")[0])
f1 = mido.MidiFile(sys.argv[1].split(",")[1])
def absolute(track):
    t = 0
    for m in track:
        t += m.time
        yield t, m
def key(m):
    return "ch%d" % m.channel if hasattr(m, "channel") else "system"
def events(track, out, ends):
    for t, m in absolute(track):
        if m.type == "end_of_track": ends.append(t); continue
        out.setdefault(key(m), []).append((t, str(m.copy(time=0))))
ends0, ends1, a, b, extra = [], [], {}, {}, []
events(f0.tracks[0], a, ends0)
print("format", f1.type, "tracks", len(f1.tracks), "division", f1.ticks_per_beat)
print("format 0 channels", sorted(int(k[2:]) for k in a if k != "system"))
for i, track in enumerate(f1.tracks):
    channels = set()
    for t, m in absolute(track):
        if hasattr(m, "channel"): channels.add(m.channel)
        if i and m.type == "track_name": print("name", i, m.name.encode("latin1").hex())
        if m.type in ("time_signature", "key_signature") or (i and m.type == "track_name"):
            extra.append((i, t, str(m.copy(time=0))))
            continue
        if m.type == "end_of_track": ends1.append(t); continue
        b.setdefault(key(m), []).append((t, str(m.copy(time=0))))
    print("track", i, "channels", sorted(channels))
for k in sorted(set(a) | set(b)):
    if a.get(k) != b.get(k):
        print("differs", k, len(a.get(k, [])), len(b.get(k, [])))
parts = [f1.tracks[0]] + [mido.MidiTrack(m for m in tr if m.type != "track_name") for tr in f1.tracks[1:]]
merged = sorted((t, str(m.copy(time=0))) for t, m in absolute(mido.merge_tracks(parts))
                if m.type not in ("end_of_track", "time_signature", "key_signature"))
plain = sorted((t, str(m.copy(time=0))) for t, m in absolute(f0.tracks[0]) if m.type != "end_of_track")
print("merged equal", merged == plain, len(plain))
print("ends", ends0 == [max(ends0)] and set(ends1) == set(ends0), len(ends1))
for e in extra: print("extra", *e)
)";

class ExportFormat : public ::testing::Test {
protected:
    void SetUp() override {
        music_ = data_.music("デモソング/はじまりの朝");
        ASSERT_NE(music_, nullptr);
    }

    kv_test::AppData data_;
    MseqMusic* music_ = nullptr;
};

TEST_F(ExportFormat, FormatOneMergesIntoExactlyTheEventsOfFormatZero) {
    if (!kv_test::have_mido()) GTEST_SKIP() << "python3-mido is not installed (tools/setup.sh)";
    const Bytes zero = Export(*music_, {});
    const Bytes one = Export(*music_, {1, false});
    ASSERT_FALSE(zero.empty());
    ASSERT_FALSE(one.empty());
    const std::string p0 = TempFile(zero), p1 = TempFile(one);
    ASSERT_FALSE(p0.empty() || p1.empty());
    std::string out;
    ASSERT_EQ(kv_test::run_python(kCompare, p0 + "," + p1, &out), 0) << out;
    std::remove(p0.c_str());
    std::remove(p1.c_str());
    // The conductor holds no channel event; every part track exactly one channel, in channel
    // order. The demo song plays channels 1 to 8 and the drums (10).
    EXPECT_NE(out.find("format 1 tracks 10 division 480\n"), std::string::npos) << out;
    EXPECT_NE(out.find("format 0 channels [0, 1, 2, 3, 4, 5, 6, 7, 9]\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("track 0 channels []\n"), std::string::npos) << out;
    const int channels[] = {0, 1, 2, 3, 4, 5, 6, 7, 9};
    for (int track = 1; track <= 9; ++track) {
        const std::string want = "track " + std::to_string(track) + " channels [" +
                                 std::to_string(channels[track - 1]) + "]\n";
        EXPECT_NE(out.find(want), std::string::npos) << want << out;
    }
    // Each part is named after the program its stage map gives it: the flute first, the drum
    // kit last.
    auto hex = [](const std::string& utf8) {
        std::string h;
        char two[3];
        for (unsigned char c : kv_codec::cp932_from_utf8(utf8)) {
            std::snprintf(two, sizeof two, "%02x", c);
            h += two;
        }
        return h;
    };
    EXPECT_NE(out.find("name 1 " + hex("フルート") + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("name 9 " + hex("スタンダードドラム") + "\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("differs"), std::string::npos) << out;
    EXPECT_NE(out.find("merged equal True"), std::string::npos) << out;
    EXPECT_NE(out.find("ends True 10\n"), std::string::npos) << out;
    // What format 1 adds: bars of 4/4 and the C major of the song's chord map at its start, and
    // one name for each part track at tick 0.
    EXPECT_NE(out.find("extra 0 0 MetaMessage('time_signature', numerator=4, denominator=4, "
                       "clocks_per_click=24, notated_32nd_notes_per_beat=8, time=0)\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("extra 0 0 MetaMessage('key_signature', key='C', time=0)\n"),
              std::string::npos)
        << out;
    for (int track = 1; track <= 9; ++track) {
        EXPECT_NE(out.find("extra " + std::to_string(track) + " 0 MetaMessage('track_name'"),
                  std::string::npos)
            << track << "\n"
            << out;
    }
}

TEST_F(ExportFormat, FormatZeroIsTheDefaultAndComesBackUnchangedAfterAFormatOneRun) {
    MplyPlayer player(nullptr, false);
    MplyExport exporter;
    std::unique_ptr<MplyEntity> run(music_->create_player_model());
    Bytes untouched;
    ASSERT_EQ(MplyExportMusic(player, exporter, run, "", &untouched), MplyExportResult::ok);
    // The same exporter, set to format 1 for one run and back, writes the same bytes again.
    EXPECT_FALSE(Export(*music_, {1, true}).empty());
    exporter.SetFormat({1, false});
    run.reset(music_->create_player_model());
    Bytes one;
    ASSERT_EQ(MplyExportMusic(player, exporter, run, "", &one), MplyExportResult::ok);
    exporter.SetFormat({});
    run.reset(music_->create_player_model());
    Bytes again;
    ASSERT_EQ(MplyExportMusic(player, exporter, run, "", &again), MplyExportResult::ok);
    EXPECT_EQ(again, untouched);
    ASSERT_GE(untouched.size(), 14u);
    EXPECT_EQ(Bytes(untouched.begin() + 8, untouched.begin() + 12), (Bytes{0, 0, 0, 1}));
    EXPECT_EQ(Bytes(one.begin() + 8, one.begin() + 10), (Bytes{0, 1}));
}

TEST_F(ExportFormat, TextsAreSpeltInTheChosenEncoding) {
    // The song's title (the conductor's track name), its copyright and one of its markers.
    const std::vector<std::string> texts = {"はじまりの朝", "Korvante デモソング", "転調サビ"};
    const struct {
        MplyExportFormat format;
        bool utf8;
    } cases[] = {{{0, false}, false}, {{0, true}, true}, {{1, false}, false}, {{1, true}, true}};
    for (const auto& c : cases) {
        const Bytes file = Export(*music_, c.format);
        ASSERT_FALSE(file.empty());
        for (const std::string& utf8 : texts) {
            const std::string cp932 = kv_codec::cp932_from_utf8(utf8);
            ASSERT_NE(cp932, utf8);
            EXPECT_EQ(Contains(file, utf8), c.utf8) << c.format.smf_format << " " << utf8;
            EXPECT_EQ(Contains(file, cp932), !c.utf8) << c.format.smf_format << " " << utf8;
        }
    }
}

TEST(ExportKey, MajorKeysBySharpsAndFlats) {
    const struct {
        int semitones;
        int fifths;
    } cases[] = {{0, 0},   {7, 1},  {2, 2},  {9, 3},  {4, 4},   {11, 5}, {6, 6},  {5, -1},
                 {10, -2}, {3, -3}, {8, -4}, {1, -5}, {-12, 0}, {-5, 1}, {12, 0}, {14, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(mply_key_fifths(c.semitones), c.fifths) << c.semitones;
}

}  // namespace export_format_test
