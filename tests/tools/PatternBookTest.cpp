// The standard pattern book: what a composer finds in it and how each phrase plays.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "model/block/MseqBlockLabel.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackNote.h"
#include "platform/TextCodec.h"
#include "play/PlayFixture.h"
#include "tools/AppData.h"

namespace pattern_book_test {

using kv_codec::cp932_from_utf8;
using kv_codec::utf8_from_cp932;
using kv_test::AppData;

constexpr int32_t kBar = 1920;

bool is_drum_phrase(const MseqMusic* phrase) {
    return phrase->m_Program.m_Attrib == MWORD_DRUM_KIT;
}

std::vector<MseqTrackNote*> note_tracks(AppData& data, MseqMusic* music) {
    std::vector<MseqTrackNote*> out;
    for (MseqObject* n : AppData::nodes_of(music->root(), MTYPE_TRACK_NOTE))
        out.push_back(data.open<MseqTrackNote>(n, MTYPE_TRACK_NOTE));
    return out;
}

// The sections of a phrase: name and first tick, in order.
std::vector<std::pair<std::string, int32_t>> sections(AppData& data, MseqMusic* phrase) {
    std::vector<std::pair<std::string, int32_t>> out;
    MseqObject* node = phrase->find_track(MID_TRACK_MARKER);
    auto* marker = data.open<MseqTrackMarker>(node, MTYPE_TRACK_MARKER);
    if (!marker) return out;
    for (const auto& [index, label] : marker->blocks())
        out.push_back({utf8_from_cp932(label.m_Label.str()), index * kBar / marker->m_Beat});
    return out;
}

class PatternBook : public ::testing::Test {
protected:
    void SetUp() override {
        book_ = data_.find("パターンブック_標準");
        ASSERT_NE(book_, nullptr);
        for (MseqObject* n : AppData::nodes_of(book_, MTYPE_LEAF_PHRASE)) {
            MseqMusic* m = data_.open<MseqMusic>(n, MTYPE_LEAF_PHRASE);
            ASSERT_NE(m, nullptr) << utf8_from_cp932(n->name.str());
            phrases_.push_back({n, m});
        }
    }

    AppData data_;
    MseqObject* book_ = nullptr;
    std::vector<std::pair<MseqObject*, MseqMusic*>> phrases_;
};

TEST_F(PatternBook, PhrasesAreGroupedInAFolderPerInstrument) {
    ASSERT_GE(phrases_.size(), 24u);
    std::map<std::string, int> per_folder;
    for (const auto& [node, phrase] : phrases_) {
        const std::string name = utf8_from_cp932(node->name.str());
        ASSERT_EQ(node->parent()->type, MTYPE_LEAF_FOLDER) << name;
        EXPECT_EQ(node->parent()->parent(), book_) << name;
        const std::string folder = utf8_from_cp932(node->parent()->name.str());
        ++per_folder[folder];
        // The drum folder holds exactly the drum phrases.
        EXPECT_EQ(folder == "ドラム", is_drum_phrase(phrase)) << name;
        EXPECT_EQ(node->name, phrase->name) << "the link shows the phrase's own name";
    }
    const std::map<std::string, int> expected = {
        {"ピアノ・キーボード", 7}, {"ベース", 7}, {"ギター", 5}, {"ドラム", 7}};
    EXPECT_EQ(per_folder, expected);
}

TEST_F(PatternBook, PitchedPhrasesWriteDegreesAndDrumPhrasesRhythmNotes) {
    int scale_degree_phrases = 0;
    for (const auto& [node, phrase] : phrases_) {
        const std::string name = utf8_from_cp932(node->name.str());
        const bool drums = is_drum_phrase(phrase);
        std::set<uint32_t> types;
        std::vector<MseqTrackNote*> tracks = note_tracks(data_, phrase);
        ASSERT_FALSE(tracks.empty()) << name;
        for (MseqTrackNote* t : tracks) {
            EXPECT_FALSE(t->blocks().empty()) << name << ": a track without notes";
            if (drums) {
                EXPECT_EQ(t->m_Rhythm.m_Attrib, MWORD_DRUM_SOUND) << name;
                EXPECT_GE(t->m_Rhythm.m_Index, 35u) << name;
                EXPECT_LE(t->m_Rhythm.m_Index, 81u) << name;
            }
            for (const auto& [index, note] : t->blocks())
                types.insert(note.m_Type);
        }
        if (drums) {
            EXPECT_EQ(types, std::set<uint32_t>{MNBT_RHYTHM}) << name;
        } else {
            EXPECT_TRUE(types.count(MNBT_CDEG)) << name;
            for (uint32_t t : types)
                EXPECT_TRUE(t == MNBT_CDEG || t == MNBT_SDEG) << name << " type " << t;
            scale_degree_phrases += types.count(MNBT_SDEG) ? 1 : 0;
        }
        // Bass and guitar phrases played on strings have one track per string.
        if (name.find("4弦") != std::string::npos) {
            EXPECT_EQ(tracks.size(), 4u) << name;
        }
        if (utf8_from_cp932(node->parent()->name.str()) == "ギター" &&
            name.find("パワーコード") == std::string::npos) {
            EXPECT_EQ(tracks.size(), 6u) << name;
        }
    }
    EXPECT_GE(scale_degree_phrases, 2);
}

TEST_F(PatternBook, EveryPhraseNamesItsSectionsOnTheMarkerTrack) {
    for (const auto& [node, phrase] : phrases_) {
        const std::string name = utf8_from_cp932(node->name.str());
        const auto s = sections(data_, phrase);
        ASSERT_GE(s.size(), 4u) << name;
        EXPECT_EQ(s.front().second, 0) << name;
        std::set<std::string> names;
        for (const auto& [label, tick] : s)
            EXPECT_TRUE(names.insert(label).second) << name << ": " << label << " twice";
        EXPECT_TRUE(names.count("メイン") || names.count("フィル1")) << name;
        EXPECT_TRUE(names.count("エンディング")) << name;
    }
}

TEST_F(PatternBook, EveryPhrasePlaysOnItsOwnInCMajor) {
    const std::set<int> c_major = {0, 2, 4, 5, 7, 9, 11};
    for (const auto& [node, phrase] : phrases_) {
        const std::string name = utf8_from_cp932(node->name.str());
        const bool drums = is_drum_phrase(phrase);
        // On its own a phrase has no chord track: chord degrees follow C major's triad and
        // scale degrees its scale; drums play on the tenth channel.
        std::set<int> drum_notes;
        for (MseqTrackNote* t : note_tracks(data_, phrase))
            drum_notes.insert(static_cast<int>(t->m_Rhythm.m_Index & 0x7F));
        const std::vector<kv_test::Note> notes = kv_test::played_notes(phrase);
        ASSERT_GE(notes.size(), 20u) << name;
        for (const kv_test::Note& n : notes) {
            ASSERT_EQ(n.channel, drums ? 9 : 0) << name;
            EXPECT_GT(n.velocity, 0) << name;
            if (drums) {
                EXPECT_TRUE(drum_notes.count(n.key)) << name << " key " << n.key;
            } else {
                EXPECT_TRUE(c_major.count(n.key % 12)) << name << " key " << n.key;
                EXPECT_GE(n.key, 28) << name;
                EXPECT_LE(n.key, 96) << name;
            }
        }
        // The phrase's program is sent first on its channel.
        const std::vector<std::string> calls = kv_test::run_offline(phrase);
        char program[16];
        std::snprintf(program, sizeof program, "0 message C%X %02X", drums ? 9 : 0,
                      phrase->m_Program.m_Index & 0x7F);
        EXPECT_NE(std::find(calls.begin(), calls.end(), program), calls.end()) << name;
    }
}

TEST_F(PatternBook, EverySectionHasNotesOfItsOwn) {
    for (const auto& [node, phrase] : phrases_) {
        const std::string name = utf8_from_cp932(node->name.str());
        const auto s = sections(data_, phrase);
        for (size_t i = 0; i < s.size(); ++i) {
            const int32_t from = s[i].second;
            const int32_t to = i + 1 < s.size() ? s[i + 1].second : INT32_MAX;
            const std::vector<kv_test::Note> notes = kv_test::played_notes(phrase, from);
            const bool inside = std::any_of(notes.begin(), notes.end(), [&](const auto& n) {
                return n.tick >= from && n.tick < to;
            });
            EXPECT_TRUE(inside) << name << ": section " << s[i].first << " is silent";
            EXPECT_TRUE(std::none_of(notes.begin(), notes.end(),
                                     [&](const auto& n) { return n.tick < from; }))
                << name << ": played from " << s[i].first << " it starts early";
        }
    }
}

}  // namespace pattern_book_test
