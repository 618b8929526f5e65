// The templates and the scale map kept beside the program.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "model/block/MseqBlockScale.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqBook.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapScale.h"
#include "model/theory/MseqMapStage.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackValue.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "text/MrecFileEntity.h"
#include "text/MrecSettings.h"
#include "tools/AppData.h"

namespace templates_test {

using kv_codec::cp932_from_utf8;
using kv_codec::utf8_from_cp932;
using kv_test::app_data;

MseqFullPath windows(const std::string& relative) {
    return MseqFullPath(CkvString(kv_fs::from_host(app_data(relative))));
}

// Loads a template file into a fresh entity of `type`.
ref_ptr<MseqEntity> load(const std::string& relative, uint32_t type, MrecFileEntity& f) {
    if (!mrec_make_file_entity(type, f)) return nullptr;
    MrecCompiler c;
    if (!c.load(f.entity.get(), windows(relative), false)) return nullptr;
    return f.entity;
}

template <class T>
std::vector<T*> tracks_of(MseqMusic* m, MSEQ_TYPE type) {
    std::vector<T*> out;
    for (MseqObject* n : kv_test::AppData::nodes_of(m->root(), type))
        out.push_back(n->entity()->cast_to<T>(type));
    return out;
}

struct PhraseTemplate {
    const char* file;
    size_t note_tracks;
    bool drums;
    bool empty;
};

TEST(Templates, PhraseTemplatesAreReadyToPlay) {
    const std::vector<PhraseTemplate> cases = {
        {"T_piano_16bt_01.kvnl", 4, false, false}, {"T_bass_01.kvnl", 1, false, false},
        {"T_bass_02.kvnl", 4, false, false},       {"T_guitar_01.kvnl", 6, false, false},
        {"T_drum_8bt_01.kvnl", 9, true, false},    {"T_drum_16bt_01.kvnl", 9, true, false},
        {"T_empty_01.kvnl", 1, false, true},
    };
    for (const PhraseTemplate& c : cases) {
        SCOPED_TRACE(c.file);
        MrecFileEntity f;
        ASSERT_TRUE(load(std::string("template/pattern01/") + c.file, MTYPE_LEAF_PHRASE, f));
        auto* phrase = f.entity->cast_to<MseqMusic>(MTYPE_LEAF_PHRASE);
        ASSERT_NE(phrase, nullptr);
        EXPECT_EQ(phrase->flags & MEF_NEW, MEF_NEW) << "a template is loaded without its path";
        EXPECT_EQ(phrase->m_Program.m_Attrib, c.drums ? MWORD_DRUM_KIT : MWORD_PROGRAM);
        auto notes = tracks_of<MseqTrackNote>(phrase, MTYPE_TRACK_NOTE);
        EXPECT_EQ(notes.size(), c.note_tracks);
        for (MseqTrackNote* t : notes)
            EXPECT_EQ(t->m_Rhythm.m_Attrib, c.drums ? MWORD_DRUM_SOUND : MWORD_NONE);
        MseqObject* marker = phrase->find_track(MID_TRACK_MARKER);
        ASSERT_NE(marker, nullptr);
        auto* labels = marker->entity()->cast_to<MseqTrackMarker>(MTYPE_TRACK_MARKER);
        ASSERT_NE(labels->block_at(0), nullptr);
        EXPECT_EQ(utf8_from_cp932(labels->block_at(0)->m_Label.str()), "メイン");
        const std::vector<kv_test::Note> played = kv_test::played_notes(phrase);
        EXPECT_EQ(played.empty(), c.empty);
        for (const kv_test::Note& n : played) {
            EXPECT_EQ(n.channel, c.drums ? 9 : 0);
            EXPECT_LT(n.tick, 1920) << "a template holds one bar";
        }
    }
}

TEST(Templates, MapTemplatesSetUpGeneralMidiAndCMajor) {
    for (const char* file : {"template/pattern01/T_stage_01.kvnl", "template/music01/stage.kvnl"}) {
        SCOPED_TRACE(file);
        MrecFileEntity f;
        ASSERT_TRUE(load(file, MTYPE_LEAF_STAGE, f));
        auto* stage = f.entity->cast_to<MseqMapStage>(MTYPE_LEAF_STAGE);
        EXPECT_EQ(stage->m_Setup, MMS_SETUP_GM1);
        const MseqBlockStage* drums = stage->block(9);
        EXPECT_EQ(drums->m_Program.m_Attrib, MWORD_DRUM_KIT);
        std::set<uint32_t> programs;
        for (int c = 0; c < 16; ++c) {
            if (c != 9) {
                EXPECT_EQ(stage->block(c)->m_Program.m_Attrib, MWORD_PROGRAM) << c;
            }
            programs.insert(stage->block(c)->m_Program.m_Index);
            EXPECT_FALSE(stage->block(c)->m_Program.m_Name.empty()) << c;
        }
        EXPECT_GE(programs.size(), 12u) << "a useful set-up gives channels their own sounds";
    }
    for (const char* file : {"template/pattern01/T_chord_01.kvnl", "template/music01/chord.kvnl"}) {
        SCOPED_TRACE(file);
        MrecFileEntity f;
        ASSERT_TRUE(load(file, MTYPE_LEAF_CHORD, f));
        auto* chords = f.entity->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD);
        EXPECT_EQ(chords->m_CDegKey, 0);
        EXPECT_EQ(chords->m_ToneKey, 0);
        EXPECT_EQ(chords->m_Scale, *MseqBlockScale::preset(1));
        for (int slot = 12; slot <= 18; ++slot)
            EXPECT_EQ(chords->m_Blocks[slot].m_Flags & MCHORD_NO_KEY, 0u) << "degree " << slot - 12;
    }
}

TEST(Templates, NewMusicTemplateFollowsTheMapsCreatedWithIt) {
    // The new-music command creates a book with the music, stage-map and chord-map leaves in
    // this order and loads music01/music.kvnl into the music: its chord track must then play
    // through the new chord map, and its parts sound on channels the new stage map uses.
    MseqObject book_node(mseq_book_id(16), MTYPE_BOOK_MUSIC, CkvString("music"),
                         MseqDescPath(CkvString("Z:\\nowhere\\music.kvnb")));
    ASSERT_TRUE(mseq_factory(&book_node));
    auto* book = book_node.entity()->cast_to<MseqBook>(MTYPE_BOOK);
    const MseqDescPath with{CkvString(kPathWith)};
    MseqObject* music_node = book->create_leaf(&book_node, MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC,
                                               CkvString("music"), with);
    MseqObject* stage_node = book->create_leaf(&book_node, MPLACE_LAST_CHILD, MTYPE_LEAF_STAGE,
                                               CkvString("stage"), with);
    MseqObject* chord_node = book->create_leaf(&book_node, MPLACE_LAST_CHILD, MTYPE_LEAF_CHORD,
                                               CkvString("chord"), with);
    ASSERT_TRUE(music_node && stage_node && chord_node);
    ref_ptr<MseqEntity> e = mseq_open(music_node);
    auto* music = e->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    ASSERT_NE(music, nullptr);
    MrecCompiler c;
    ASSERT_TRUE(c.load(music, windows("template/music01/music.kvnl"), false));

    EXPECT_EQ(music->find(music->m_MapStageID), stage_node);
    EXPECT_EQ(music->find(music->m_MapChordID), chord_node);
    MseqObject* chord_track = music->find_track(music->m_TrackChordID);
    ASSERT_NE(chord_track, nullptr);
    auto* chords = chord_track->entity()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
    ASSERT_NE(chords, nullptr);
    EXPECT_EQ(music->find(chords->m_MapID), chord_node);
    EXPECT_FALSE(chords->blocks().empty());

    auto tempo = tracks_of<MseqTrackTempo>(music, MTYPE_TRACK_TEMPO);
    ASSERT_EQ(tempo.size(), 1u);
    ASSERT_NE(tempo[0]->block_at(0), nullptr);
    EXPECT_EQ(tempo[0]->block_at(0)->m_Value, 120);

    std::set<int32_t> channels;
    for (MseqTrackNote* t : tracks_of<MseqTrackNote>(music, MTYPE_TRACK_NOTE)) {
        EXPECT_EQ(t->m_TrackChordID, music->m_TrackChordID);
        channels.insert(t->m_Channel);
    }
    for (MseqTrackRefer* t : tracks_of<MseqTrackRefer>(music, MTYPE_TRACK_REFER)) {
        EXPECT_EQ(t->m_TrackChordID, music->m_TrackChordID);
        channels.insert(t->m_Channel);
    }
    EXPECT_EQ(channels, (std::set<int32_t>{0, 1, 2, 3, 9}));
    MrecFileEntity stage_file;
    ASSERT_TRUE(load("template/music01/stage.kvnl", MTYPE_LEAF_STAGE, stage_file));
    auto* stage = stage_file.entity->cast_to<MseqMapStage>(MTYPE_LEAF_STAGE);
    for (int32_t ch : channels)
        EXPECT_TRUE(stage->block(ch)->m_Flags & MSTAGE_USED) << "channel " << ch;
    e = nullptr;
    MseqDesk::instance().cache.clear();
}

TEST(ScaleMapFile, OffersScalesBeyondThePresets) {
    struct Saved {
        CkvString program = mseq_path::program_file();
        ~Saved() {
            mseq_path::set_program_file(program);
            mrec_settings::scale_map().reset();
        }
    } saved;
    mseq_path::set_program_file(CkvString(kv_fs::from_host(KV_APP_DATA) + "\\korvante"));
    uint32_t error = 0;
    ASSERT_TRUE(mrec_settings::load_scale_map(mrec_settings::kScaleMapPath, &error)) << error;
    const MseqMapScale& scales = mrec_settings::scale_map();
    EXPECT_EQ(scales.flags & MEF_NEW, 0u) << "the file is there";
    ASSERT_GE(scales.count(), 12);

    auto semitones = [](const MseqBlockScale& s) {
        std::vector<int32_t> out;
        for (int32_t i = 0; i < s.key_count; ++i)
            out.push_back(s.keys[static_cast<size_t>(i)].m_Key);
        return out;
    };
    std::set<std::vector<int32_t>> presets;
    for (int32_t p = 1; p <= MseqBlockScale::kPresetCount; ++p) {
        if (const MseqBlockScale* s = MseqBlockScale::preset(p)) presets.insert(semitones(*s));
    }
    std::map<std::string, std::vector<int32_t>> by_name;
    for (const MseqBlockScale& s : scales.m_Blocks) {
        const std::string name = utf8_from_cp932(s.m_Name.str());
        EXPECT_TRUE(by_name.insert({name, semitones(s)}).second) << name << " twice";
        EXPECT_FALSE(presets.count(semitones(s))) << name << " repeats a preset";
        EXPECT_GE(s.key_count, 5) << name;
    }
    const std::map<std::string, std::vector<int32_t>> expected = {
        {"ブルース", {0, 3, 5, 6, 7, 10}},
        {"ホールトーン", {0, 2, 4, 6, 8, 10}},
        {"ハーモニックメジャー", {0, 2, 4, 5, 7, 8, 11}},
        {"ヨナ抜き短音階", {0, 2, 3, 7, 8}},
        {"陰音階", {0, 1, 5, 7, 10}},
        {"都節音階", {0, 1, 5, 7, 8}},
        {"琉球音階", {0, 4, 5, 7, 11}},
    };
    for (const auto& [name, keys] : expected) {
        ASSERT_TRUE(by_name.count(name)) << name;
        EXPECT_EQ(by_name[name], keys) << name;
    }
}

}  // namespace templates_test
