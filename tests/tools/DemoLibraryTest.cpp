// The demo library: its references resolve, its song shows what the program does, and what it
// plays is what its chord track and its phrase references imply.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "model/block/MseqBlockLabel.h"
#include "model/core/MseqPathOps.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapStage.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackValue.h"
#include "platform/TextCodec.h"
#include "tools/AppData.h"
#include "tools/DemoSong.h"

namespace demo_library_test {

using kv_codec::utf8_from_cp932;
using kv_test::AppData;
using kv_test::Chord;
using kv_test::Note;

constexpr int32_t kBar = 1920;
constexpr const char* kSong = "デモソング/はじまりの朝";
constexpr const char* kSampler = "デモソング/パターン見本";

class DemoLibrary : public ::testing::Test {
protected:
    template <class T>
    std::vector<T*> tracks(MseqMusic* m, MSEQ_TYPE type) {
        std::vector<T*> out;
        for (MseqObject* n : AppData::nodes_of(m->root(), type))
            out.push_back(data_.open<T>(n, type));
        return out;
    }

    AppData data_;
};

TEST_F(DemoLibrary, ListsTheStandardPatternBookAndTheDemoBook) {
    MseqObject* first = data_.room_node()->first_child();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->type, MTYPE_BOOK_LIBRARY);
    EXPECT_EQ(utf8_from_cp932(first->name.str()), "パターンブック_標準");
    EXPECT_EQ(first->path.str(), "<prog>.\\pattern_v01\\pattern.kvnb");
    MseqObject* second = first->next();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->type, MTYPE_BOOK_MUSIC);
    EXPECT_EQ(second->next(), nullptr);
    for (MseqObject* book : {first, second})
        EXPECT_TRUE(mseq_has_content(book)) << utf8_from_cp932(book->name.str());
}

TEST_F(DemoLibrary, EveryReferenceOfItsMusicsResolves) {
    for (const char* path : {kSong, kSampler}) {
        SCOPED_TRACE(path);
        MseqMusic* m = data_.music(path);
        ASSERT_NE(m, nullptr);
        MseqObject* stage_node = m->find(m->m_MapStageID);
        ASSERT_NE(stage_node, nullptr);
        auto* stage = data_.open<MseqMapStage>(stage_node, MTYPE_LEAF_STAGE);
        ASSERT_NE(stage, nullptr);
        MseqObject* map_node = m->find(m->m_MapChordID);
        ASSERT_NE(map_node, nullptr);
        EXPECT_NE(data_.open<MseqMapChord>(map_node, MTYPE_LEAF_CHORD), nullptr);

        MseqObject* chord_node = m->find_track(m->m_TrackChordID);
        ASSERT_NE(chord_node, nullptr);
        auto* chords = data_.open<MseqTrackChord>(chord_node, MTYPE_TRACK_CHORD);
        ASSERT_NE(chords, nullptr);
        MseqObject* source = m->find(chords->m_MapID);
        ASSERT_NE(source, nullptr);
        if (source->type == MTYPE_TRACK_CHORD_MAP) {
            auto* key = data_.open<MseqTrackChordMap>(source, MTYPE_TRACK_CHORD_MAP);
            ASSERT_NE(key, nullptr);
            for (const auto& [index, link] : key->blocks()) {
                MseqObject* n = m->find(link.m_LinkID);
                ASSERT_NE(n, nullptr) << "key change at " << index;
                EXPECT_NE(data_.open<MseqMapChord>(n, MTYPE_LEAF_CHORD), nullptr);
            }
        } else {
            EXPECT_NE(data_.open<MseqMapChord>(source, MTYPE_LEAF_CHORD), nullptr);
        }

        std::set<int32_t> channels;
        for (MseqTrackNote* t : tracks<MseqTrackNote>(m, MTYPE_TRACK_NOTE)) {
            EXPECT_EQ(t->m_TrackChordID, m->m_TrackChordID);
            channels.insert(t->m_Channel);
        }
        int blocks = 0;
        for (MseqTrackRefer* t : tracks<MseqTrackRefer>(m, MTYPE_TRACK_REFER)) {
            EXPECT_EQ(t->m_TrackChordID, m->m_TrackChordID);
            channels.insert(t->m_Channel);
            for (const auto& [index, r] : t->blocks()) {
                ++blocks;
                MseqObject* n = m->find(r.m_PhraseID);
                ASSERT_NE(n, nullptr) << "phrase at " << index;
                ASSERT_EQ(n->type, MTYPE_LEAF_PHRASE);
                MseqMusic* phrase = data_.open<MseqMusic>(n, MTYPE_LEAF_PHRASE);
                ASSERT_NE(phrase, nullptr) << utf8_from_cp932(n->name.str());
                if (r.m_StartMarker.empty()) continue;
                auto* marker = data_.open<MseqTrackMarker>(phrase->find_track(MID_TRACK_MARKER),
                                                           MTYPE_TRACK_MARKER);
                ASSERT_NE(marker, nullptr);
                const bool found =
                    std::any_of(marker->blocks().begin(), marker->blocks().end(),
                                [&](const auto& b) { return b.second.m_Label == r.m_StartMarker; });
                EXPECT_TRUE(found) << utf8_from_cp932(r.m_StartMarker.str()) << " in "
                                   << utf8_from_cp932(n->name.str());
            }
        }
        EXPECT_GE(blocks, 20);
        // A channel whose stage part is not in use would silence its tracks.
        for (int32_t c : channels)
            EXPECT_TRUE(stage->block(c)->m_Flags & MSTAGE_USED) << "channel " << c;
    }
}

TEST_F(DemoLibrary, SongShowsEveryKindOfContent) {
    MseqMusic* m = data_.music(kSong);
    ASSERT_NE(m, nullptr);
    int64_t ticks = 0;
    for (MseqObject* n = m->root(); n; n = n->next_in(m->root())) {
        if (auto* t = data_.open<MseqTrack>(n, MTYPE_TRACK))
            ticks = std::max(ticks, t->length_ticks());
    }
    EXPECT_EQ(ticks, 40 * kBar);

    std::set<uint32_t> note_types;
    for (MseqTrackNote* t : tracks<MseqTrackNote>(m, MTYPE_TRACK_NOTE)) {
        for (const auto& [index, n] : t->blocks())
            note_types.insert(n.m_Type);
    }
    EXPECT_EQ(note_types,
              (std::set<uint32_t>{MNBT_PURE, MNBT_TONE, MNBT_SDEG, MNBT_CDEG, MNBT_RHYTHM}));
    std::set<uint32_t> modes;
    for (MseqTrackRefer* t : tracks<MseqTrackRefer>(m, MTYPE_TRACK_REFER)) {
        for (const auto& [index, r] : t->blocks())
            modes.insert(r.m_Mode);
    }
    EXPECT_EQ(modes,
              (std::set<uint32_t>{MRBM_BLOCK_KEEP, MRBM_BLOCK_CUT, MRBM_SOUND_CUT, MRBM_STRETCH}));

    auto keys = tracks<MseqTrackChordMap>(m, MTYPE_TRACK_CHORD_MAP);
    ASSERT_EQ(keys.size(), 1u);
    std::set<int32_t> chord_keys;
    for (const auto& [index, link] : keys[0]->blocks())
        chord_keys.insert(
            data_.open<MseqMapChord>(m->find(link.m_LinkID), MTYPE_LEAF_CHORD)->m_CDegKey);
    EXPECT_EQ(chord_keys, (std::set<int32_t>{0, 2})) << "C major, then D major";

    std::set<int32_t> tempi;
    for (auto* t : tracks<MseqTrackTempo>(m, MTYPE_TRACK_TEMPO)) {
        for (const auto& [index, v] : t->blocks())
            tempi.insert(v.m_Value);
    }
    EXPECT_GE(tempi.size(), 5u);
    auto lyrics = tracks<MseqTrackLyric>(m, MTYPE_TRACK_LYRIC);
    ASSERT_EQ(lyrics.size(), 1u);
    EXPECT_GE(lyrics[0]->blocks().size(), 100u);
    auto markers = tracks<MseqTrackMarker>(m, MTYPE_TRACK_MARKER);
    ASSERT_EQ(markers.size(), 1u);
    EXPECT_GE(markers[0]->blocks().size(), 6u);
}

TEST_F(DemoLibrary, SongPlaysTheChordsOfItsChordTrack) {
    // Every note of the accompaniment (piano, bass, both guitars, choir) and of the celesta is a
    // tone of the chord in effect when it starts, across the key change.
    MseqMusic* m = data_.music(kSong);
    ASSERT_NE(m, nullptr);
    const std::vector<Chord> chords = kv_test::song_chords();
    const std::vector<Note> notes = kv_test::played_notes(m);
    std::map<int, int> checked;
    for (const Note& n : notes) {
        if (n.channel != 1 && n.channel != 2 && n.channel != 3 && n.channel != 4 &&
            n.channel != 6 && n.channel != 7)
            continue;
        const size_t half = static_cast<size_t>(n.tick / (kBar / 2));
        ASSERT_LT(half, chords.size()) << "a note after the end at " << n.tick;
        const Chord& c = chords[half];
        EXPECT_TRUE(c.tones.count(((n.key - c.root) % 12 + 12) % 12))
            << "channel " << n.channel << " key " << n.key << " at " << n.tick;
        ++checked[n.channel];
    }
    for (int channel : {1, 2, 3, 4, 6, 7})
        EXPECT_GE(checked[channel], 10) << "channel " << channel;
}

struct BarCase {
    const char* what;
    int channel;
    int32_t from;  // tick
    int32_t to;
    std::vector<std::pair<int32_t, int>> notes;  // tick after `from`, key
};

TEST_F(DemoLibrary, SongBarsNoteByNote) {
    const std::vector<BarCase> cases = {
        {"melody, bar 5 (tones in C major, in the flute's bright octave)",
         0,
         4 * kBar,
         5 * kBar,
         {{240, 76}, {480, 79}, {720, 81}, {960, 79}, {1680, 76}}},
        {"melody, bar 25 (the same tones in D major)",
         0,
         24 * kBar,
         25 * kBar,
         {{0, 86}, {720, 83}, {960, 86}, {1440, 88}}},
        {"bass, bar 5 (root and fifth below over C)",
         2,
         4 * kBar,
         5 * kBar,
         {{0, 36}, {720, 36}, {960, 31}, {1680, 31}}},
        {"4-string bass, bar 26 (A major in D: palette degree V)",
         2,
         25 * kBar,
         26 * kBar,
         {{0, 45},
          {240, 52},
          {360, 45},
          {480, 57},
          {840, 57},
          {960, 45},
          {1200, 52},
          {1320, 61},
          {1440, 52},
          {1440, 57},
          {1680, 45},
          {1800, 57}}},
        {"piano over A7: G, C# and E voiced above the root in the left hand",
         1,
         23 * kBar + 960,
         24 * kBar,
         {{0, 45}, {0, 67}, {0, 73}, {0, 76}, {480, 45}, {480, 67}, {480, 73}, {480, 76}}},
        {"celesta, bar 1 (pure pitches, after a beat)", 6, 0, kBar, {{480, 76}, {960, 72}}},
    };
    MseqMusic* m = data_.music(kSong);
    ASSERT_NE(m, nullptr);
    const std::vector<Note> notes = kv_test::played_notes(m);
    for (const BarCase& c : cases) {
        std::vector<std::pair<int32_t, int>> got;
        for (const Note& n : kv_test::notes_between(notes, c.channel, c.from, c.to))
            got.push_back({n.tick - c.from, n.key});
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, c.notes) << c.what;
    }
}

TEST_F(DemoLibrary, SongFitsItsPhrasesByTheirModes) {
    MseqMusic* m = data_.music(kSong);
    ASSERT_NE(m, nullptr);
    const std::vector<Note> notes = kv_test::played_notes(m);

    // Stretch: the two-bar intro of the 8th-note arpeggio fills four bars, at half speed; it
    // starts after an eighth, a beat in the song.
    const auto intro = kv_test::notes_between(notes, 1, 0, 2 * kBar);
    ASSERT_GE(intro.size(), 4u);
    std::map<int32_t, std::vector<Note>> at;
    for (const Note& n : intro)
        at[n.tick].push_back(n);
    EXPECT_EQ(at.begin()->first, 480);
    ASSERT_EQ(at[480].size(), 2u) << "both hands enter together";
    for (const Note& n : at[480]) {
        if (n.key == 36) {
            EXPECT_EQ(n.duration, 1440) << "the left hand's three eighths, twice as long";
        } else {
            EXPECT_EQ(n.duration, 720) << "240 ticks at 150 %, twice as long";
        }
    }
    ASSERT_EQ(at.count(960), 1u) << "the next 8th note, a quarter later";
    EXPECT_EQ(at.count(720), 0u);

    // Sound cut: the piano's two-bar ending chord is cut at the end of its one-beat block.
    const auto stab = kv_test::notes_between(notes, 1, 15 * kBar, 16 * kBar);
    ASSERT_EQ(stab.size(), 4u);
    for (const Note& n : stab)
        EXPECT_EQ(n.duration, 480) << n.key;

    // Block cut: the cutting guitar stops with its block at bar 23 and does not go on.
    const auto cutting = kv_test::notes_between(notes, 4, 20 * kBar, 23 * kBar);
    ASSERT_FALSE(cutting.empty());
    for (const Note& n : cutting)
        EXPECT_LE(n.tick + n.duration, 23 * kBar) << n.tick;
    EXPECT_TRUE(kv_test::notes_between(notes, 4, 23 * kBar, 24 * kBar).empty());

    // Block keep: the last strum rings past its one-bar block.
    const auto last = kv_test::notes_between(notes, 3, 38 * kBar, 39 * kBar);
    ASSERT_EQ(last.size(), 6u);
    for (const Note& n : last)
        EXPECT_GT(n.tick + n.duration, 39 * kBar + kBar / 2) << n.key;
}

TEST_F(DemoLibrary, SamplerPlaysEveryPhraseOfThePatternBook) {
    MseqMusic* m = data_.music(kSampler);
    ASSERT_NE(m, nullptr);
    std::set<std::string> played_files;
    const std::vector<Note> notes = kv_test::played_notes(m);
    for (MseqTrackRefer* t : tracks<MseqTrackRefer>(m, MTYPE_TRACK_REFER)) {
        const int32_t unit = kBar / t->m_Beat;
        for (const auto& [index, r] : t->blocks()) {
            MseqObject* n = m->find(r.m_PhraseID);
            ASSERT_NE(n, nullptr);
            MseqFullPath file;
            ASSERT_TRUE(mseq_path::resolve(n, false, &file));
            played_files.insert(file.str());
            const auto inside = kv_test::notes_between(notes, t->m_Channel, index * unit,
                                                       (index + r.m_Length) * unit);
            EXPECT_FALSE(inside.empty()) << utf8_from_cp932(n->name.str()) << " at " << index;
        }
    }
    std::set<std::string> book_files;
    for (MseqObject* n : AppData::nodes_of(data_.find("パターンブック_標準"), MTYPE_LEAF_PHRASE)) {
        MseqFullPath file;
        ASSERT_TRUE(mseq_path::resolve(n, false, &file));
        book_files.insert(file.str());
    }
    EXPECT_EQ(played_files, book_files);
}

}  // namespace demo_library_test
