// The demo song as a listener meets it: the Standard MIDI File the program exports, measured the
// way an arranger listens to it. Every figure comes from the notes, controls and markers of the
// exported file, section by section as its markers divide it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/TextCodec.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "play/export/MplyExport.h"
#include "tools/AppData.h"
#include "tools/DemoSong.h"

namespace demo_arrangement_test {

using kv_test::AppData;

constexpr int32_t kBar = 1920;
constexpr int32_t kBeat = 480;
constexpr int32_t kEighth = 240;
constexpr int kLead = 0;  // the flute
constexpr int kPiano = 1;
constexpr int kDrums = 9;

// One note of the file, from its note-on to its note-off.
struct Sounding {
    int32_t on;
    int32_t off;
    int channel;
    int key;
    int velocity;
};

struct Section {
    std::string name;  // UTF-8
    int32_t from;
    int32_t to;
};

// What the measurements need from a format-0 file.
struct SongFile {
    bool ok = false;
    std::vector<Sounding> notes;                           // in the order of their note-ons
    std::vector<std::pair<int32_t, std::string>> markers;  // tick, CP932 text
    std::map<int, int> pans;                               // the last pan of each channel
    int32_t end = 0;                                       // tick of the end of track
};

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : b_(bytes) {}
    bool left(size_t n) const { return at_ + n <= b_.size(); }
    uint8_t byte() { return left(1) ? b_[at_++] : (bad_ = true, 0); }
    uint32_t number(int width) {
        uint32_t v = 0;
        for (int i = 0; i < width; ++i)
            v = v << 8 | byte();
        return v;
    }
    uint32_t quantity() {
        uint32_t v = 0;
        for (int i = 0; i < 5; ++i) {
            const uint8_t c = byte();
            v = v << 7 | (c & 0x7F);
            if (!(c & 0x80)) return v;
        }
        bad_ = true;
        return v;
    }
    std::string text(size_t n) {
        if (!left(n)) {
            bad_ = true;
            return {};
        }
        std::string s(b_.begin() + static_cast<long>(at_), b_.begin() + static_cast<long>(at_ + n));
        at_ += n;
        return s;
    }
    size_t at() const { return at_; }
    bool bad() const { return bad_; }

private:
    const std::vector<uint8_t>& b_;
    size_t at_ = 0;
    bool bad_ = false;
};

// Reads the file's one track; running status is accepted although the exporter does not write
// it. A note-off (or a note-on of velocity 0) ends the earliest sounding note of its key.
SongFile read_song(const std::vector<uint8_t>& bytes) {
    SongFile song;
    Reader r(bytes);
    if (r.text(4) != "MThd" || r.number(4) != 6 || r.number(2) != 0 || r.number(2) != 1 ||
        r.number(2) != static_cast<uint32_t>(kBeat) || r.text(4) != "MTrk")
        return song;
    const size_t end = r.at() + 4 + r.number(4);
    std::map<std::pair<int, int>, std::vector<size_t>> sounding;
    int32_t tick = 0;
    uint8_t status = 0;
    while (r.at() < end && !r.bad()) {
        tick += static_cast<int32_t>(r.quantity());
        uint8_t first = r.byte();
        if (first == 0xFF) {
            const uint8_t type = r.byte();
            const std::string data = r.text(r.quantity());
            if (type == 0x06) song.markers.push_back({tick, data});
            if (type == 0x2F) {
                song.end = tick;
                song.ok = !r.bad();
                break;
            }
            continue;
        }
        if (first == 0xF0 || first == 0xF7) {
            r.text(r.quantity());
            continue;
        }
        uint8_t data1 = first;
        if (first & 0x80) {
            status = first;
            data1 = r.byte();
        }
        const int kind = status & 0xF0;
        const int channel = status & 0x0F;
        if (kind == 0xC0 || kind == 0xD0) continue;
        const uint8_t data2 = r.byte();
        const std::pair<int, int> key{channel, data1};
        if (kind == 0x90 && data2 > 0) {
            sounding[key].push_back(song.notes.size());
            song.notes.push_back({tick, -1, channel, data1, data2});
        } else if (kind == 0x80 || kind == 0x90) {
            auto& open = sounding[key];
            if (!open.empty()) {
                song.notes[open.front()].off = tick;
                open.erase(open.begin());
            }
        } else if (kind == 0xB0 && data1 == 10) {
            song.pans[channel] = data2;
        }
    }
    for (const Sounding& n : song.notes)
        song.ok = song.ok && n.off >= n.on;
    return song;
}

bool pitched(const Sounding& n) {
    return n.channel != kDrums;
}

int32_t overlap(const Sounding& a, const Sounding& b, int32_t from, int32_t to) {
    return std::max(0, std::min({a.off, b.off, to}) - std::max({a.on, b.on, from}));
}

// The length of the union of the intervals.
int32_t covered(std::vector<std::pair<int32_t, int32_t>> spans) {
    std::sort(spans.begin(), spans.end());
    int32_t total = 0, reach = INT32_MIN;
    for (const auto& [from, to] : spans) {
        const int32_t start = std::max(from, reach);
        if (to > start) total += to - start;
        reach = std::max(reach, to);
    }
    return total;
}

class DemoArrangement : public ::testing::Test {
protected:
    void SetUp() override {
        MseqMusic* music = data_.music("デモソング/はじまりの朝");
        ASSERT_NE(music, nullptr);
        MplyPlayer player(nullptr, false);
        MplyExport exporter;
        std::unique_ptr<MplyEntity> run(music->create_player_model());
        std::vector<uint8_t> file;
        ASSERT_EQ(MplyExportMusic(player, exporter, run, "", &file), MplyExportResult::ok);
        song_ = read_song(file);
        ASSERT_TRUE(song_.ok) << "the exported file cannot be read back";
        ASSERT_EQ(song_.markers.size(), 7u);
        for (size_t i = 0; i < song_.markers.size(); ++i) {
            const int32_t to =
                i + 1 < song_.markers.size() ? song_.markers[i + 1].first : song_.end;
            sections_.push_back(
                {kv_codec::utf8_from_cp932(song_.markers[i].second), song_.markers[i].first, to});
        }
    }

    std::vector<Sounding> lead_notes(int32_t from, int32_t to) const {
        std::vector<Sounding> out;
        for (const Sounding& n : song_.notes) {
            if (n.channel == kLead && n.on >= from && n.on < to) out.push_back(n);
        }
        return out;
    }

    // Of the lead's sounding time in [from, to), the ticks during which some other pitched part
    // sounds a key of at least `lead key − gap` (or only those of `channel` when it is given).
    std::pair<int32_t, int32_t> crowded(int32_t from, int32_t to, int gap, int channel = -1) const {
        int32_t total = 0, crowded = 0;
        for (const Sounding& lead : lead_notes(from, to)) {
            std::vector<std::pair<int32_t, int32_t>> spans;
            for (const Sounding& o : song_.notes) {
                if (!pitched(o) || o.channel == kLead || (channel >= 0 && o.channel != channel))
                    continue;
                if (o.key >= lead.key - gap && o.on < lead.off && lead.on < o.off)
                    spans.push_back({std::max(o.on, lead.on), std::min(o.off, lead.off)});
            }
            total += lead.off - lead.on;
            crowded += covered(spans);
        }
        return {crowded, total};
    }

    const Section& section(const std::string& name) const {
        for (const Section& s : sections_) {
            if (s.name == name) return s;
        }
        ADD_FAILURE() << "no section " << name;
        return sections_.front();
    }

    AppData data_;
    SongFile song_;
    std::vector<Section> sections_;
};

TEST_F(DemoArrangement, TheLeadIsTheHighestPartInEverySectionItSings) {
    int sung = 0;
    for (const Section& s : sections_) {
        const auto [under, total] = crowded(s.from, s.to, 0);
        if (total == 0) continue;  // the intro belongs to the celesta
        ++sung;
        EXPECT_LE(under * 5, total) << s.name << ": the lead is on top only "
                                    << 100 * (total - under) / total << " % of its time";
    }
    EXPECT_EQ(sung, 6) << "every section but the intro has the tune";
}

TEST_F(DemoArrangement, ThePianoKeepsAThirdBelowTheLead) {
    const auto [close, total] = crowded(0, song_.end, 2, kPiano);
    EXPECT_GT(total, 0);
    EXPECT_EQ(close, 0) << "ticks with the piano less than a minor third below the lead";
}

TEST_F(DemoArrangement, TheLeadShapesEachPhraseWithinARange) {
    // A phrase ends where the flute rests an eighth or more.
    std::vector<std::vector<Sounding>> phrases;
    for (const Sounding& n : lead_notes(0, song_.end)) {
        if (phrases.empty() || n.on - phrases.back().back().off >= kEighth) phrases.emplace_back();
        phrases.back().push_back(n);
    }
    ASSERT_GE(phrases.size(), 8u);
    int loudest = 0;
    int32_t loudest_at = 0;
    for (const auto& phrase : phrases) {
        int low = 127, high = 0;
        for (const Sounding& n : phrase) {
            low = std::min(low, n.velocity);
            high = std::max(high, n.velocity);
            EXPECT_GE(n.velocity, 72) << "at tick " << n.on;
            EXPECT_LE(n.velocity, 110) << "at tick " << n.on;
            if (n.velocity > loudest) {
                loudest = n.velocity;
                loudest_at = n.on;
            }
        }
        if (phrase.size() >= 3) {
            EXPECT_GE(high - low, 6) << "the phrase at tick " << phrase.front().on << " is flat";
        }
    }
    const bool in_chorus = std::any_of(sections_.begin(), sections_.end(), [&](const Section& s) {
        return s.name.find("サビ") != std::string::npos && loudest_at >= s.from &&
               loudest_at < s.to;
    });
    EXPECT_TRUE(in_chorus) << "the loudest note, at tick " << loudest_at;
}

TEST_F(DemoArrangement, TheOutroHasNoLongSemitoneClash) {
    const Section& outro = section("アウトロ");
    std::vector<Sounding> notes;
    for (const Sounding& n : song_.notes) {
        if (pitched(n) && n.on < outro.to && n.off > outro.from) notes.push_back(n);
    }
    ASSERT_GE(notes.size(), 40u);
    for (size_t i = 0; i < notes.size(); ++i) {
        for (size_t j = i + 1; j < notes.size(); ++j) {
            const int interval = std::abs(notes[i].key - notes[j].key) % 12;
            if (interval != 1 && interval != 11) continue;
            EXPECT_LE(overlap(notes[i], notes[j], outro.from, outro.to), kEighth)
                << "channel " << notes[i].channel << " key " << notes[i].key << " at "
                << notes[i].on << " against channel " << notes[j].channel << " key " << notes[j].key
                << " at " << notes[j].on;
        }
    }
}

TEST_F(DemoArrangement, ThePianoVoicesItsChordsSmoothlyOverTheirRootsOrFifths) {
    // From the first verse to the end of the second chorus the right hand (three keys from G3
    // up) moves by small steps from chord to chord, and the left hand plays the root or fifth.
    const int32_t from = section("Aメロ").from;
    const int32_t to = section("アウトロ").from;
    std::map<int32_t, std::vector<int>> onsets;
    for (const Sounding& n : song_.notes) {
        if (n.channel == kPiano && n.on >= from && n.on < to) onsets[n.on].push_back(n.key);
    }
    ASSERT_GE(onsets.size(), 80u);
    const std::vector<kv_test::Chord> chords = kv_test::song_chords();
    std::vector<int> last;
    int changes = 0, left_hand = 0;
    for (auto& [tick, keys] : onsets) {
        std::sort(keys.begin(), keys.end());
        const kv_test::Chord& chord = chords[static_cast<size_t>(tick / (kBar / 2))];
        if (keys.front() < 55) {  // the left hand plays
            const int bottom = ((keys.front() - chord.root) % 12 + 12) % 12;
            EXPECT_TRUE(bottom == 0 || bottom == 7)
                << "left hand " << keys.front() << " at " << tick;
            ++left_hand;
        }
        std::vector<int> right;
        for (int k : keys) {
            if (k >= 55) right.push_back(k);
        }
        if (right.size() != 3) continue;
        if (!last.empty() && right != last) {
            int moved = 0;
            for (size_t v = 0; v < 3; ++v)
                moved += std::abs(right[v] - last[v]);
            EXPECT_LE(moved, 9) << "the right hand jumps at tick " << tick;
            ++changes;
        }
        last = right;
    }
    EXPECT_GE(changes, 24);
    EXPECT_GE(left_hand, 40);
}

TEST_F(DemoArrangement, ThePartsAreSpreadAcrossTheStereoField) {
    int left = 127, right = 0;
    for (const auto& [channel, pan] : song_.pans) {
        left = std::min(left, pan);
        right = std::max(right, pan);
    }
    EXPECT_LE(left, 24);
    EXPECT_GE(right, 104);
}

TEST_F(DemoArrangement, TheSongStartsAfterABeatAndEndsWithItsFortiethBar) {
    ASSERT_FALSE(song_.notes.empty());
    int32_t first = INT32_MAX, last = 0;
    for (const Sounding& n : song_.notes) {
        first = std::min(first, n.on);
        last = std::max(last, n.off);
    }
    EXPECT_GE(first, kBeat) << "the set-up is sent before the first note";
    EXPECT_LE(first, 2 * kBeat);
    EXPECT_EQ((song_.end + kBar - 1) / kBar, 40);
    EXPECT_EQ(last, song_.end) << "the file ends with its last note";
    EXPECT_GT(last, 39 * kBar + kBar / 2) << "the last chord sounds through the last bar";
}

}  // namespace demo_arrangement_test
