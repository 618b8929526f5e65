// Files in tests/data/handwritten were written by hand from the record layout rules (magic,
// header, base types, declarations in their order, one-line and multi-line records, number
// formats, escapes, CR LF line ends), not produced by the program. They cannot share a mistake
// with the writer: each must load with the values it spells out, and the writer must give back
// every byte of it.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapStage.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackValue.h"
#include "platform/TextCodec.h"
#include "text/MrecCompiler.h"
#include "text/MrecEntityWriter.h"
#include "text/MrecFileEntity.h"

namespace hand_written_files_test {

using kv_codec::cp932_from_utf8;

std::string read_fixture(const std::string& name) {
    std::ifstream in(std::string(KV_TEST_DATA) + "/handwritten/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The content of a track of `music`, or nullptr.
template <class Track>
Track* track_of(MseqMusic& music, MSEQ_ID id, MSEQ_TYPE type) {
    MseqObject* node = music.find_track(id);
    MseqEntity* e = node ? node->entity() : nullptr;
    return e ? e->cast_to<Track>(type) : nullptr;
}

void check_book(MseqEntity* e) {
    auto* book = e->cast_to<MseqBook>(MTYPE_BOOK);
    ASSERT_NE(book, nullptr);
    EXPECT_EQ(book->name.str(), "Hand Book");
    EXPECT_EQ(book->m_NextID, 0x10007u);
    EXPECT_EQ(book->leafs.size(), 7u);  // the book's own node and six leaves
    struct Leaf {
        uint32_t serial, parent_serial, type;
        std::string name, path;
    };
    const Leaf leaves[] = {
        {0x10001, 0x00001, MTYPE_LEAF_FOLDER, "Maps", ""},
        {0x10002, 0x10001, MTYPE_LEAF_CHORD, "C major", "<book>.\\maps\\chord.kvnl"},
        {0x10003, 0x10001, MTYPE_LEAF_STAGE, "Band", "<book>.\\maps\\stage.kvnl"},
        {0x10004, 0x00001, MTYPE_LEAF_MUSIC, "Song \"One\"", "<book>.\\song.kvnl"},
        {0x10005, 0x00001, MTYPE_LEAF_FOLDER, "Phrases", ""},
        // The second byte of "ソ" in CP932 is 0x5C: part of the character, never an escape.
        {0x10006, 0x10005, MTYPE_LEAF_PHRASE, cp932_from_utf8("ソロ"),
         "<room>.\\phrases\\solo.kvnl"},
    };
    for (const Leaf& l : leaves) {
        MseqObject* node = nullptr;
        for (const auto& [id, n] : book->leafs)
            if ((id & 0xFFFFF) == l.serial) node = n;
        ASSERT_NE(node, nullptr) << std::hex << l.serial;
        EXPECT_EQ(node->type, l.type) << l.name;
        EXPECT_EQ(node->name.str(), l.name);
        EXPECT_EQ(node->path.str(), l.path) << l.name;
        ASSERT_NE(node->parent(), nullptr) << l.name;
        EXPECT_EQ(node->parent()->id & 0xFFFFF, l.parent_serial) << l.name;
    }
}

void check_music(MseqEntity* e) {
    auto* m = e->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->m_Title.str(), "%<book> - %<entity>");
    EXPECT_EQ(m->m_Copyright.str(), "(c) 2026 Hand");
    EXPECT_EQ(m->m_MapStageID, 0x210003u);    // a leaf of the music's book
    EXPECT_EQ(m->m_MapChordID, 0x210002u);    // a leaf of the music's book
    EXPECT_EQ(m->m_TrackChordID, 0x110001u);  // a track of the music
    EXPECT_EQ(m->m_Tempo, 96);
    EXPECT_EQ(m->m_Transpose, -2);
    EXPECT_EQ(m->m_Program.m_Index, 0x18u);
    EXPECT_EQ(m->m_Program.m_Name.str(), "Guitar");
    EXPECT_EQ(m->m_BlankBar, 1);
    EXPECT_EQ(m->m_GpM, 8);
    EXPECT_EQ(m->m_GxB, 4);
    EXPECT_EQ(static_cast<uint32_t>(m->m_ShowState), 0x01000763u);
    EXPECT_EQ(m->tracks.size(), 8u);

    auto* marks = track_of<MseqTrackLabel>(*m, MID_TRACK_MARKER, MTYPE_TRACK_MARKER);
    ASSERT_NE(marks, nullptr);
    EXPECT_EQ(marks->m_Flags, 0u);
    ASSERT_NE(marks->block_at(0), nullptr);
    EXPECT_EQ(marks->block_at(0)->m_Label.str(), "Intro\tslow");
    ASSERT_NE(marks->block_at(4), nullptr);
    EXPECT_EQ(marks->block_at(4)->m_Label.str(), "Verse 'A'");

    auto* tempo = track_of<MseqTrackTempo>(*m, MID_TRACK_TEMPO, MTYPE_TRACK_TEMPO);
    ASSERT_NE(tempo, nullptr);
    EXPECT_EQ(tempo->m_Beat, 4);
    ASSERT_NE(tempo->block_at(16), nullptr);
    EXPECT_EQ(tempo->block_at(16)->m_Value, 120);

    auto* chords = track_of<MseqTrackChord>(*m, 0x110001, MTYPE_TRACK_CHORD);
    ASSERT_NE(chords, nullptr);
    EXPECT_EQ(chords->m_MapID, 0x210002u);
    const MseqBlockChord* seventh = chords->block_at(4);
    ASSERT_NE(seventh, nullptr);
    EXPECT_EQ(seventh->m_Type.str(), "7");
    ASSERT_EQ(seventh->key_count, 4);
    EXPECT_EQ(seventh->keys[3].m_Key, 10);
    EXPECT_EQ(seventh->keys[3].m_Flags, 1u);
    ASSERT_NE(chords->block_at(6), nullptr);
    EXPECT_EQ(chords->block_at(6)->key_count, 0);

    auto* notes = track_of<MseqTrackNote>(*m, 0x110002, MTYPE_TRACK_NOTE);
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(notes->m_NoteType, 0x8000u);
    EXPECT_EQ(notes->m_LRate, 90);
    const MseqBlockNote* pure = notes->block_at(4);
    ASSERT_NE(pure, nullptr);
    EXPECT_EQ(pure->m_Flags, 0x30u);
    EXPECT_EQ(pure->m_Type, static_cast<uint32_t>(MNBT_PURE));
    EXPECT_EQ(pure->m_STime, -10);
    EXPECT_EQ(pure->m_ETime, 20);
    EXPECT_EQ(pure->m_Whole, 4);
    EXPECT_EQ(pure->m_Velocity, 127);
    ASSERT_NE(notes->block_at(8), nullptr);
    EXPECT_EQ(notes->block_at(8)->m_Semi, -1);

    auto* riffs = track_of<MseqTrackRefer>(*m, 0x110003, MTYPE_TRACK_REFER);
    ASSERT_NE(riffs, nullptr);
    EXPECT_EQ(riffs->m_Flags, 3u);
    EXPECT_EQ(riffs->m_Octave, -1);
    const MseqBlockRefer* stretch = riffs->block_at(2);
    ASSERT_NE(stretch, nullptr);
    EXPECT_EQ(stretch->m_PhraseID, 0x210006u);
    EXPECT_EQ(stretch->m_StartMarker.str(), "B");
    EXPECT_EQ(stretch->m_Mode, static_cast<uint32_t>(MRBM_STRETCH));
}

void check_chord_map(MseqEntity* e) {
    auto* c = e->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->m_SDegKey, 9);
    EXPECT_EQ(c->m_CDegKey, 9);
    EXPECT_EQ(c->m_Scale.m_Name.str(), cp932_from_utf8("6 - Aeolian (短調)"));
    EXPECT_EQ(c->m_Scale.key_count, 7);
    EXPECT_EQ(c->m_Scale.m_ToneTune, 3);
    const MseqBlockChord& low_seventh = c->m_Blocks[7];
    EXPECT_EQ(low_seventh.m_Type.str(), "7");
    EXPECT_EQ(low_seventh.m_Octave, -1);
    EXPECT_EQ(low_seventh.key_count, 4);
    EXPECT_EQ(c->m_Blocks[14].m_Type.str(), "m(b5)");
    EXPECT_EQ(c->m_Blocks[13].m_Flags, 0x11u);  // switched off
    EXPECT_EQ(c->m_Blocks[13].key_count, 0);
}

void check_stage_map(MseqEntity* e) {
    auto* s = e->cast_to<MseqMapStage>(MTYPE_LEAF_STAGE);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->name.str(), cp932_from_utf8("バンド"));
    EXPECT_EQ(s->m_Setup, 3u);
    const MseqBlockStage* guitar = s->block(2);
    ASSERT_NE(guitar, nullptr);
    EXPECT_EQ(guitar->m_Flags, 0x10f81u);
    EXPECT_EQ(guitar->m_Program.m_Index, 0x18u);
    EXPECT_EQ(guitar->m_Chorus, 30);
    EXPECT_EQ(guitar->m_BendRange, 12);
    ASSERT_NE(s->block(9), nullptr);
    EXPECT_EQ(s->block(9)->m_Program.m_Attrib, MWORD_DRUM_KIT);
}

struct Fixture {
    const char* file;
    uint32_t type;
    std::function<void(MseqEntity*)> check;
};

const Fixture kFixtures[] = {
    {"book.kvnb", MTYPE_BOOK_MUSIC, check_book},
    {"music.kvnl", MTYPE_LEAF_MUSIC, check_music},
    {"chord.kvnl", MTYPE_LEAF_CHORD, check_chord_map},
    {"stage.kvnl", MTYPE_LEAF_STAGE, check_stage_map},
};

TEST(HandWrittenFiles, AreCrLfThroughout) {
    for (const Fixture& f : kFixtures) {
        const std::string text = read_fixture(f.file);
        ASSERT_FALSE(text.empty()) << f.file;
        size_t lines = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '\n') continue;
            ++lines;
            EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << f.file << ": bare LF at byte " << i;
        }
        EXPECT_GT(lines, 20u) << f.file;
        EXPECT_EQ(text.substr(text.size() - 3), "}\r\n") << f.file;
    }
}

TEST(HandWrittenFiles, LoadWithTheValuesTheySpellOut) {
    for (const Fixture& f : kFixtures) {
        SCOPED_TRACE(f.file);
        const std::string text = read_fixture(f.file);
        MrecFileEntity loaded;
        ASSERT_TRUE(mrec_make_file_entity(f.type, loaded));
        MrecCompiler c;
        ASSERT_TRUE(c.load_text(loaded.entity.get(), text.c_str(), text.size() + 1))
            << "error " << std::hex << c.result.error;
        f.check(loaded.entity.get());
    }
}

TEST(HandWrittenFiles, WriterGivesBackEveryByte) {
    for (const Fixture& f : kFixtures) {
        SCOPED_TRACE(f.file);
        const std::string text = read_fixture(f.file);
        MrecFileEntity loaded;
        ASSERT_TRUE(mrec_make_file_entity(f.type, loaded));
        MrecCompiler c;
        ASSERT_TRUE(c.load_text(loaded.entity.get(), text.c_str(), text.size() + 1));
        std::string written;
        ASSERT_TRUE(mrec_write_entity(loaded.entity.get(), &written));
        EXPECT_EQ(written, text);
    }
}

}  // namespace hand_written_files_test
