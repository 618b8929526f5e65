// `korvante script`'s `print keys` against `korvante events` on the demo song: the keys the
// resolution gives for each note and phrase track are the note-ons playback sends, before and
// after a chord change re-voices the parts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "ExternalTools.h"
#include "tools/AppData.h"

namespace print_keys_test {

namespace fs = std::filesystem;

// One note-on: tick, key, velocity, length.
using Note = std::tuple<int, int, int, int>;
// By channel, every note-on sorted.
using ByChannel = std::map<int, std::vector<Note>>;

struct Track {
    std::string path;  // below the root, as `track` takes it
    int channel = -1;
    std::vector<Note> keys;
};

class PrintKeys : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvkeys-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        home_ = dir_ + "/home";
        fs::copy(kv_test::app_data(""), home_, fs::copy_options::recursive);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Run(const std::string& args, int* status) {
        std::string out;
        *status = kv_test::run_capture("cd '" + dir_ + "' && timeout 60 " KV_PROGRAM " --home '" +
                                           home_ + "' " + args + " 2>/dev/null",
                                       &out);
        return out;
    }

    std::string Script(const std::string& body) {
        const std::string file = dir_ + "/steps.txt";
        std::ofstream(file, std::ios::binary)
            << "open \"" << home_ << "/mymusic/library.kvnr\" \"デモソング/はじまりの朝\"\n"
            << body;
        int status = -1;
        std::string out = Run("script '" + file + "'", &status);
        EXPECT_EQ(status, 0) << out;
        return out;
    }

    // The note and phrase tracks of the song, from `print tracks`.
    std::vector<Track> Tracks() {
        std::istringstream in(Script("print tracks\n"));
        std::vector<Track> tracks;
        std::string line;
        while (std::getline(in, line)) {
            const bool note = line.find(" MTYPE_TRACK_NOTE ") != std::string::npos;
            const bool refer = line.find(" MTYPE_TRACK_REFER ") != std::string::npos;
            if (!note && !refer) continue;
            EXPECT_EQ(line.rfind("    0x", 0), 0u) << "a part below the parts group: " << line;
            const size_t name = line.find(note ? " MTYPE_TRACK_NOTE " : " MTYPE_TRACK_REFER ");
            Track t;
            t.path = "パート/" + line.substr(line.find(' ', name + 1) + 1);
            tracks.push_back(t);
        }
        return tracks;
    }

    // `prefix`, then for every track its properties and its keys; fills channel and keys.
    void ReadKeys(const std::string& prefix, std::vector<Track>& tracks) {
        std::string body = prefix;
        for (const Track& t : tracks)
            body += "track " + t.path + "\nprint properties\nprint keys\n";
        std::istringstream in(Script(body));
        std::string line;
        int current = -1;
        while (std::getline(in, line)) {
            if (line.rfind("1\t名前\t", 0) == 0) {
                ++current;
                ASSERT_LT(current, static_cast<int>(tracks.size()));
                tracks[current].keys.clear();
                continue;
            }
            // The player number is the channel counted from 1.
            if (line.rfind("10\t奏者\t", 0) == 0) {
                tracks[current].channel = std::stoi(line.substr(line.rfind('\t') + 1)) - 1;
                continue;
            }
            int tick = 0, key = 0, velocity = 0, length = 0;
            char rest = 0;
            if (std::sscanf(line.c_str(), "%d %d %d %d%c", &tick, &key, &velocity, &length,
                            &rest) == 4 &&
                current >= 0)
                tracks[current].keys.emplace_back(tick, key, velocity, length);
        }
        ASSERT_EQ(current + 1, static_cast<int>(tracks.size()));
    }

    ByChannel Events() {
        int status = -1;
        std::istringstream in(
            Run("events '" + home_ + "/mymusic/library.kvnr' 'デモソング/はじまりの朝'", &status));
        EXPECT_EQ(status, 0);
        ByChannel out;
        std::string line;
        while (std::getline(in, line)) {
            int tick = 0, channel = 0, key = 0, velocity = 0, length = 0;
            if (std::sscanf(line.c_str(), "%d\tnote-on\t%d\t%d\t%d\t%d", &tick, &channel, &key,
                            &velocity, &length) == 5)
                out[channel].emplace_back(tick, key, velocity, length);
        }
        for (auto& [channel, notes] : out)
            std::sort(notes.begin(), notes.end());
        return out;
    }

    // Every track's lines are sorted by tick then key and sound something; the tracks of each
    // channel together hold exactly the note-ons playback sends there.
    static void ExpectSame(const std::vector<Track>& tracks, const ByChannel& events) {
        ByChannel resolved;
        for (const Track& t : tracks) {
            EXPECT_FALSE(t.keys.empty()) << t.path;
            EXPECT_TRUE(std::is_sorted(t.keys.begin(), t.keys.end())) << t.path;
            ASSERT_GE(t.channel, 0) << t.path;
            auto& notes = resolved[t.channel];
            notes.insert(notes.end(), t.keys.begin(), t.keys.end());
        }
        for (auto& [channel, notes] : resolved)
            std::sort(notes.begin(), notes.end());
        EXPECT_EQ(resolved.size(), events.size());
        for (const auto& [channel, notes] : events) {
            auto it = resolved.find(channel);
            ASSERT_NE(it, resolved.end()) << "channel " << channel;
            EXPECT_EQ(it->second, notes) << "channel " << channel;
        }
    }

    std::string dir_, home_;
};

TEST_F(PrintKeys, EveryPartSoundsWhatPlaybackSendsBeforeAndAfterAChordChange) {
    std::vector<Track> tracks = Tracks();
    ASSERT_GE(tracks.size(), 10u);
    ReadKeys("", tracks);
    ExpectSame(tracks, Events());
    size_t notes = 0;
    for (const Track& t : tracks)
        notes += t.keys.size();
    EXPECT_GT(notes, 1000u);

    // The chord of bar 5 becomes F major: the parts that follow the chords move there.
    const std::vector<Track> before = tracks;
    ReadKeys("track ヘッダ/コード\nblock 8 m_Type=maj m_Flags=16 m_DescDegree=5 m_Root=5\nsave\n",
             tracks);
    ExpectSame(tracks, Events());
    int moved = 0;
    for (size_t i = 0; i < tracks.size(); ++i)
        moved += tracks[i].keys != before[i].keys ? 1 : 0;
    EXPECT_GE(moved, 3);
    EXPECT_LT(moved, static_cast<int>(tracks.size()));  // the drums do not follow chords
}

// A range keeps the notes sounding in it, a note begun before it included; lines out of order
// or a range that is not one are refused.
TEST_F(PrintKeys, ARangeKeepsTheNotesSoundingInIt) {
    const std::string all = Script("track パート/ピアノ 左手\nprint keys\n");
    const std::string part = Script("track パート/ピアノ 左手\nprint keys 8000 12000\n");
    std::istringstream in(all);
    std::string expected, line;
    while (std::getline(in, line)) {
        int tick = 0, key = 0, velocity = 0, length = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d %d %d %d", &tick, &key, &velocity, &length), 4);
        if (tick < 12000 && tick + length > 8000) expected += line + "\n";
    }
    EXPECT_EQ(part, expected);
    EXPECT_EQ(part.rfind("7680 ", 0), 0u);  // sounds from before the range into it

    int status = -1;
    const std::string file = dir_ + "/bad.txt";
    std::ofstream(file, std::ios::binary)
        << "open \"" << home_ << "/mymusic/library.kvnr\" \"デモソング/はじまりの朝\"\n"
        << "track ヘッダ/コード\nprint keys\n";
    Run("script '" + file + "'", &status);
    EXPECT_NE(status, 0);
}

}  // namespace print_keys_test
