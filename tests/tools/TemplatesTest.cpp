// The templates and the scale map kept beside the program.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "model/block/MseqBlockScale.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqPathOps.h"
#include "model/lang/KvLanguage.h"
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
#include "text/MrecEntityWriter.h"
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

// Sets a language for one test and puts Japanese back after it.
class LanguageScope {
public:
    explicit LanguageScope(kv_language language) { kv_set_language(language); }
    ~LanguageScope() { kv_set_language(kv_language::japanese); }
};

const char* const kTemplateFiles[] = {
    "pattern01/T_piano_16bt_01.kvnl",
    "pattern01/T_bass_01.kvnl",
    "pattern01/T_bass_02.kvnl",
    "pattern01/T_guitar_01.kvnl",
    "pattern01/T_drum_8bt_01.kvnl",
    "pattern01/T_drum_16bt_01.kvnl",
    "pattern01/T_empty_01.kvnl",
    "pattern01/T_stage_01.kvnl",
    "pattern01/T_chord_01.kvnl",
    "music01/music.kvnl",
    "music01/stage.kvnl",
    "music01/chord.kvnl",
};

bool ascii_only(const std::string& s) {
    for (unsigned char c : s) {
        if (c > 0x7F) return false;
    }
    return true;
}

// The file's kind as its header names it; 0 when it cannot be read.
uint32_t file_type(const std::string& relative) {
    MrecCompiler header;
    if (!header.read_header(windows(relative))) return 0;
    return header.result.header.type;
}

// What a template holds apart from its names: one line a node and a line for each word and
// scale, with the names collected separately.
struct Shape {
    std::vector<std::string> lines;
    std::vector<std::string> names;  // CP932
};

void add_word(Shape& shape, const MseqBlockWord& w) {
    shape.lines.push_back("word " + std::to_string(w.m_Attrib) + " " + std::to_string(w.m_Index));
    if (w.m_Attrib != MWORD_NONE) shape.names.push_back(w.m_Name);
}

Shape shape_of(MseqEntity* e, uint32_t type) {
    Shape shape;
    shape.names.push_back(e->name);
    if (type == MTYPE_LEAF_PHRASE || type == MTYPE_LEAF_MUSIC) {
        auto* music = e->cast_to<MseqMusic>(type);
        add_word(shape, music->m_Program);
        shape.lines.push_back("tempo " + std::to_string(music->m_Tempo));
        for (MseqObject* n = music->root(); n; n = n->next_in(music->root())) {
            std::string line = "node " + std::to_string(n->id) + " " + std::to_string(n->type);
            shape.names.push_back(n->name);
            if (MseqEntity* content = n->entity()) {
                if (n->type == MTYPE_TRACK_NOTE) {
                    auto* note = content->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
                    line += " blocks " + std::to_string(note->block_count());
                    add_word(shape, note->m_Rhythm);
                }
                if (n->type == MTYPE_TRACK_MARKER) {
                    auto* labels = content->cast_to<MseqTrackMarker>(MTYPE_TRACK_MARKER);
                    for (const auto& [index, block] : labels->blocks()) {
                        line += " label " + std::to_string(index);
                        shape.names.push_back(block.m_Label);
                    }
                }
            }
            shape.lines.push_back(line);
        }
        std::vector<std::string> played;
        for (const kv_test::Note& n : kv_test::played_notes(music))
            played.push_back(std::to_string(n.tick) + " " + std::to_string(n.channel) + " " +
                             std::to_string(n.key));
        shape.lines.insert(shape.lines.end(), played.begin(), played.end());
    }
    if (type == MTYPE_LEAF_STAGE) {
        auto* stage = e->cast_to<MseqMapStage>(type);
        for (int c = 0; c < 16; ++c) {
            add_word(shape, stage->block(c)->m_Program);
            shape.lines.push_back("flags " + std::to_string(stage->block(c)->m_Flags));
        }
    }
    if (type == MTYPE_LEAF_CHORD) {
        auto* chords = e->cast_to<MseqMapChord>(type);
        shape.lines.push_back("key " + std::to_string(chords->m_CDegKey));
        shape.lines.push_back("scale keys " + std::to_string(chords->m_Scale.key_count));
        shape.names.push_back(chords->m_Scale.m_Name);
    }
    return shape;
}

TEST(EnglishTemplates, HoldTheJapaneseTemplatesWithEnglishNames) {
    for (const char* file : kTemplateFiles) {
        SCOPED_TRACE(file);
        const std::string ja_path = std::string("template/") + file;
        const std::string en_path = std::string("template/en/") + file;
        const uint32_t type = file_type(ja_path);
        ASSERT_NE(type, 0u);
        ASSERT_EQ(file_type(en_path), type);
        MrecFileEntity ja_file, en_file;
        ASSERT_TRUE(load(ja_path, type, ja_file));
        Shape ja, en;
        ja = shape_of(ja_file.entity.get(), type);
        {
            // A music made in English is started from it while the program speaks English.
            LanguageScope english(kv_language::english);
            ASSERT_TRUE(load(en_path, type, en_file));
            en = shape_of(en_file.entity.get(), type);
        }
        EXPECT_GT(ja.lines.size(), 1u);
        EXPECT_EQ(en.lines, ja.lines) << "the same structure, notes and sounds";
        ASSERT_EQ(en.names.size(), ja.names.size());
        for (size_t i = 0; i < en.names.size(); ++i) {
            EXPECT_EQ(en.names[i].empty(), ja.names[i].empty()) << i;
            EXPECT_TRUE(ascii_only(en.names[i])) << utf8_from_cp932(en.names[i]);
        }
        EXPECT_NE(en.names, ja.names);
        // Apart from the writer's own header comment, the file holds no Japanese at all.
        const std::string bytes = kv_test::read_bytes(app_data(en_path));
        size_t non_ascii_lines = 0;
        size_t start = 0;
        while (start < bytes.size()) {
            size_t end = bytes.find('\n', start);
            if (end == std::string::npos) end = bytes.size();
            const std::string line = bytes.substr(start, end - start);
            if (line.rfind("//", 0) != 0 && !ascii_only(line)) ++non_ascii_lines;
            start = end + 1;
        }
        EXPECT_EQ(non_ascii_lines, 0u);
    }
}

TEST(EnglishTemplates, TheEnglishChordMapsHoldTheEnglishScaleOfCMajor) {
    LanguageScope english(kv_language::english);
    for (const char* file :
         {"template/en/pattern01/T_chord_01.kvnl", "template/en/music01/chord.kvnl"}) {
        SCOPED_TRACE(file);
        MrecFileEntity f;
        ASSERT_TRUE(load(file, MTYPE_LEAF_CHORD, f));
        auto* chords = f.entity->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD);
        EXPECT_EQ(chords->m_Scale, *MseqBlockScale::preset(1));
        EXPECT_EQ(chords->name, CkvString("C major"));
    }
}

TEST(EnglishTemplates, FilesReadInEnglishAreWrittenBackByteForByte) {
    // Every generated file, the Japanese ones above all, keeps its bytes when the program
    // speaking English reads and saves it: no stored name is replaced by an English one.
    LanguageScope english(kv_language::english);
    const std::vector<std::string> files = kv_test::generated_files(KV_APP_DATA);
    ASSERT_FALSE(files.empty());
    size_t japanese_files = 0;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const std::string text = kv_test::read_bytes(app_data(file));
        japanese_files += file.rfind("template/en/", 0) != 0 && !ascii_only(text);
        const uint32_t type = file_type(file);
        MrecFileEntity f;
        ASSERT_TRUE(mrec_make_file_entity(type, f));
        MrecCompiler c;
        ASSERT_TRUE(c.load_text(f.entity.get(), text.c_str(), text.size() + 1));
        EXPECT_NE(f.entity->validate(), 0);
        std::string again;
        ASSERT_TRUE(mrec_write_entity(f.entity.get(), &again));
        EXPECT_TRUE(again == text) << "written back differently";
    }
    EXPECT_GT(japanese_files, 30u);
}

}  // namespace templates_test
