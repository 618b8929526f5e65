// The exact bytes of one file of each main record type, pinned in tests/data/golden. The files
// are this writer's own output, checked by hand against the layout rules; set
// KV_UPDATE_GOLDEN=1 to write them anew after an intended change, and review the difference.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "model/block/MseqBlockScale.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapScale.h"
#include "model/theory/MseqMapStage.h"
#include "text/MrecCompiler.h"
#include "text/MrecEntityWriter.h"
#include "text/MrecFileEntity.h"
#include "text/SampleMusic.h"
#include "tools/FileBytes.h"

namespace golden_files_test {

using kv_codec::cp932_from_utf8;

std::string golden_path(const std::string& name) {
    return std::string(KV_TEST_DATA) + "/golden/" + name;
}

// Builds a sample entity of `type` into `out`.
using Builder = std::function<void(MrecFileEntity&)>;

struct Golden {
    const char* file;
    uint32_t type;
    Builder build;
};

void room(MrecFileEntity& f) {
    auto* r = f.entity->cast_to<MseqRoom>(MTYPE_ROOM);
    f.node->name = r->name = CkvString(cp932_from_utf8("マイライブラリ"));
    r->create_book(f.node.get(), MPLACE_LAST_CHILD, MTYPE_BOOK_LIBRARY,
                   CkvString(cp932_from_utf8("標準パターン")),
                   MseqDescPath("<prog>.\\pattern_v01\\pattern.kvnb"));
    r->create_book(f.node.get(), MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC, CkvString("Songs"),
                   MseqDescPath("<room>.\\songs.kvnb"));
}

void book(MrecFileEntity& f) {
    auto* b = f.entity->cast_to<MseqBook>(MTYPE_BOOK);
    f.node->name = b->name = CkvString("Songs");
    MseqObject* folder = b->create_leaf(f.node.get(), MPLACE_LAST_CHILD, MTYPE_LEAF_FOLDER,
                                        CkvString("Maps"), MseqDescPath());
    b->create_leaf(folder, MPLACE_LAST_CHILD, MTYPE_LEAF_CHORD, CkvString("C major"),
                   MseqDescPath("<book>.\\chord.kvnl"));
    b->create_leaf(folder, MPLACE_LAST_CHILD, MTYPE_LEAF_STAGE, CkvString("Band"),
                   MseqDescPath("<book>.\\stage.kvnl"));
    b->create_leaf(f.node.get(), MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC, CkvString("Demo"),
                   MseqDescPath("<book>.\\demo.kvnl"));
    MseqObject* inline_song = b->create_leaf(f.node.get(), MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC,
                                             CkvString("Sketch"), MseqDescPath("<with>"));
    ref_ptr<MseqEntity> sketch = mseq_open(inline_song);
    sketch->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC)->m_Tempo = 100;
}

void music(MrecFileEntity& f) {
    auto* m = f.entity->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    m->name = CkvString("Demo");
    m->m_Copyright = CkvString("(c) 2026");
    m->m_MapChordID = 0x200003;
    m->m_MapStageID = 0x200004;
    fill_sample_music(*m);
}

void phrase(MrecFileEntity& f) {
    auto* m = f.entity->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    m->name = CkvString("Walk");
    m->m_Program = MseqBlockWord(MWORD_PROGRAM, 0, 33, CkvString(cp932_from_utf8("ベース")));
    auto* notes = add_track<MseqTrackNote>(*m, MID_TRACK_DETAIL, MTYPE_TRACK_NOTE, "Bass");
    notes->m_Beat = 8;
    MseqBlockNote n;
    n.m_Type = MNBT_CDEG;
    for (int i = 0; i < 8; ++i) {
        n.m_Whole = static_cast<int8_t>(i % 3);
        notes->put_block(i, n);
    }
    auto* marks = add_track<MseqTrackMarker>(*m, MID_TRACK_HEADER, MTYPE_TRACK_MARKER, "Marks");
    MseqBlockLabel l;
    l.m_Label = CkvString("Main");
    marks->put_block(0, l);
}

void chord_map(MrecFileEntity& f) {
    auto* c = f.entity->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD);
    c->name = CkvString("A minor");
    c->select_preset(6);
    c->set_chord_key(-3);
}

void stage_map(MrecFileEntity& f) {
    auto* s = f.entity->cast_to<MseqMapStage>(MTYPE_LEAF_STAGE);
    s->name = CkvString("Band");
    s->m_Setup = 1;
    s->block(1)->m_Flags |= 1;
    s->block(1)->m_Program = MseqBlockWord(MWORD_PROGRAM, 0, 33);
    s->block(1)->m_Pan = 40;
}

void scale_map(MrecFileEntity& f) {
    auto* s = f.entity->cast_to<MseqMapScale>(MTYPE_LEAF_SCALE);
    s->name = CkvString("scales");
    s->add(*MseqBlockScale::preset(11));
    s->add(*MseqBlockScale::preset(21));
}

void config(MrecFileEntity& f) {
    auto* c = f.entity->cast_to<MseqConfig>(MTYPE_CONFIG);
    c->name = CkvString("config");
    c->add_recent_room(CkvString("Z:\\home\\me\\music\\library.kvnr"));
}

const Golden kGolden[] = {
    {"room.kvnr", MTYPE_ROOM, room},
    {"book.kvnb", MTYPE_BOOK_MUSIC, book},
    {"music.kvnl", MTYPE_LEAF_MUSIC, music},
    {"phrase.kvnl", MTYPE_LEAF_PHRASE, phrase},
    {"chord.kvnl", MTYPE_LEAF_CHORD, chord_map},
    {"stage.kvnl", MTYPE_LEAF_STAGE, stage_map},
    {"mapscale.def", MTYPE_LEAF_SCALE, scale_map},
    {"korvante.cfg", MTYPE_CONFIG, config},
};

TEST(GoldenFiles, WriterOutputMatchesThePinnedBytes) {
    const bool update = std::getenv("KV_UPDATE_GOLDEN") != nullptr;
    for (const Golden& g : kGolden) {
        MrecFileEntity f;
        ASSERT_TRUE(mrec_make_file_entity(g.type, f)) << g.file;
        g.build(f);
        std::string text;
        ASSERT_TRUE(mrec_write_entity(f.entity.get(), &text)) << g.file;
        if (update) {
            std::ofstream(golden_path(g.file), std::ios::binary) << text;
            continue;
        }
        EXPECT_EQ(text, kv_test::read_bytes(golden_path(g.file))) << g.file;
    }
}

TEST(GoldenFiles, EachLoadsAndWritesBackUnchanged) {
    for (const Golden& g : kGolden) {
        const std::string text = kv_test::read_bytes(golden_path(g.file));
        ASSERT_FALSE(text.empty()) << g.file;
        MrecFileEntity f;
        ASSERT_TRUE(mrec_make_file_entity(g.type, f));
        MrecCompiler c;
        ASSERT_TRUE(c.load_text(f.entity.get(), text.c_str(), text.size() + 1))
            << g.file << " error " << c.result.error;
        std::string again;
        ASSERT_TRUE(mrec_write_entity(f.entity.get(), &again));
        EXPECT_EQ(again, text) << g.file;
    }
}

}  // namespace golden_files_test
