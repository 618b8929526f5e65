#include <gtest/gtest.h>

#include <string>

#include "model/MseqBlockChord.h"
#include "model/MseqBlockLabel.h"
#include "model/MseqBlockLink.h"
#include "model/MseqBlockNote.h"
#include "model/MseqBlockRefer.h"
#include "model/MseqBlockValue.h"
#include "model/MseqMsgForm.h"
#include "model/MseqMusic.h"
#include "model/MseqObject.h"
#include "model/MseqTrackChord.h"
#include "model/MseqTrackGroup.h"
#include "model/MseqTrackLabel.h"
#include "model/MseqTrackLink.h"
#include "model/MseqTrackNote.h"
#include "model/MseqTrackRefer.h"
#include "model/MseqTrackText.h"
#include "model/MseqTrackValue.h"
#include "platform/TextCodec.h"
#include "text/MrecCompiler.h"
#include "text/MrecEntityWriter.h"

namespace {

uint32_t load(MseqEntity* e, const std::string& text) {
    MrecCompiler c;
    c.load_text(e, text.c_str(), text.size() + 1);
    return c.result.error;
}

std::string write(MseqEntity* e) {
    std::string text;
    EXPECT_TRUE(mrec_write_entity(e, &text));
    return text;
}

template <class Track>
Track* add(MseqMusic& music, MSEQ_ID parent, MSEQ_TYPE type, const char* name) {
    MseqObject* node = music.create_track(parent, MPLACE_LAST_CHILD, type, CkvString(name));
    EXPECT_NE(node, nullptr) << name;
    ref_ptr<MseqEntity> e = mseq_open(node);
    return e->cast_to<Track>(type);
}

// A music holding every kind of track with blocks in each.
void fill(MseqMusic& m) {
    auto* tempo = add<MseqTrackTempo>(m, MID_TRACK_HEADER, MTYPE_TRACK_TEMPO, "Tempo");
    tempo->m_Beat = 4;
    MseqBlockValue v;
    v.m_Value = 96;
    tempo->put_block(0, v);
    v.m_Value = 140;
    tempo->put_block(5, v);

    auto* lyric = add<MseqTrackLyric>(m, MID_TRACK_HEADER, MTYPE_TRACK_LYRIC, "Words");
    MseqBlockLabel label;
    label.m_Label = CkvString("la\tla\n" + kv_codec::cp932_from_utf8("ソ") + "\"\\");
    lyric->put_block(3, label);
    auto* marker = add<MseqTrackMarker>(m, MID_TRACK_HEADER, MTYPE_TRACK_MARKER, "Marks");
    marker->m_Flags = 3;
    label.m_Label = CkvString("Intro");
    marker->put_block(0, label);

    auto* chords = add<MseqTrackChord>(m, MID_TRACK_HEADER, MTYPE_TRACK_CHORD, "Chords");
    chords->m_Beat = 2;
    chords->m_MapID = 0x200007;
    MseqBlockChord c;
    c.set_type(3);
    chords->put_block(0, c);
    chords->put_block(7, c);
    m.m_TrackChordID = mseq_make_id(1, mseq_serial(chords->owner->id));

    auto* link = add<MseqTrackChordMap>(m, MID_TRACK_HEADER, MTYPE_TRACK_CHORD_MAP, "Key");
    MseqBlockLink l;
    l.m_LinkID = 0x200009;
    link->put_block(8, l);

    auto* text = add<MseqTrackText>(m, MID_TRACK_DETAIL, MTYPE_TRACK_TEXT, "Note");
    text->m_Text = CkvString("free text");

    auto* group = add<MseqTrackGroup>(m, MID_TRACK_DETAIL, MTYPE_TRACK_GROUP, "Band");
    group->m_Channel = 3;
    auto* notes = add<MseqTrackNote>(m, group->owner->id, MTYPE_TRACK_NOTE, "Bass");
    notes->m_Beat = 16;
    notes->m_Flags = 0;
    notes->m_Rhythm = MseqBlockWord(MWORD_DRUM_SOUND, 0, 36, CkvString("kick"));
    MseqBlockNote n;
    n.m_Type = MNBT_CDEG;
    n.m_Length = 4;
    n.m_Octave = -1;
    n.m_Velocity = 200;
    notes->put_block(5, n);
    n.m_Type = 9;
    n.m_Flags = 0x30;
    notes->put_block(12, n);
    auto* refer = add<MseqTrackRefer>(m, group->owner->id, MTYPE_TRACK_REFER, "Riffs");
    MseqBlockRefer r;
    r.m_Length = 8;
    r.m_PhraseID = 0x200004;
    r.m_StartMarker = CkvString("Main");
    r.m_Mode = MRBM_STRETCH;
    refer->put_block(0, r);

    auto* msg = add<MseqTrackMsg>(m, MID_TRACK_DETAIL, MTYPE_TRACK_MSG, "Pan");
    msg->m_Form = *MseqMsgFormMap::builtin().find(10);
    msg->m_Power = 150;
    v.m_Value = 20;
    msg->put_block(2, v);
}

TEST(TrackRecords, EveryKindRoundTripsByteForByte) {
    MseqMusic a(nullptr);
    a.name = CkvString("All");
    fill(a);
    const std::string text = write(&a);
    // Spot checks of the written forms.
    EXPECT_NE(text.find("{  5; 0x00; MNBT_CDEG; 4; 0; 0; -1; 0; 0; 200; }"), std::string::npos);
    EXPECT_NE(text.find("{ 12; 0x30; 0x00000009; "), std::string::npos);
    EXPECT_NE(text.find("MTF_OUTPUT|0x00000002; 1;\r\n"), std::string::npos);
    EXPECT_NE(text.find(" 0; 16; 0; 0x000"), std::string::npos);  // flags 0, its own chord track
    EXPECT_NE(text.find("; { 18; 0; 0x00000024; \"kick\"; } 5; 100; 100; 0; 0; 32768;\r\n"),
              std::string::npos);
    EXPECT_NE(text.find(" 2; 0x200007;\r\n"), std::string::npos);
    EXPECT_NE(text.find("{  0; 8; 0x00000004; \"Main\"; 0; MRBM_STRETCH; }"), std::string::npos);
    EXPECT_NE(text.find("@array; type=\"MSEQ_MSG_VAR\";{{2;0;64;0;127;64;0;}}"), std::string::npos);
    EXPECT_NE(text.find("@array; type=\"NUM\";{0xb0;0x0a;0x00;}"), std::string::npos);
    EXPECT_NE(text.find("@type=\"MSEQ_TRACK_TEXT\";\r\n   { \"free text\"; }\r\n"),
              std::string::npos);
    // Declarations follow the fixed order of track kinds.
    const char* order[] = {"\"MSEQ_TRACK_GROUP\"",    "\"MSEQ_TRACK_TEXT\"",
                           "\"MSEQ_TRACK_LABEL\"",    "\"MSEQ_TRACK_VALUE\"",
                           "\"MSEQ_TRACK_LINK\"",     "\"MSEQ_TRACK_CHORD\"",
                           "\"MSEQ_TRACK_REFER\"",    "\"MSEQ_TRACK_NOTE\"",
                           "\"MSEQ_TRACK_MSG\"",      "define name=\"MSEQ_TRACK_FLAGS\"",
                           "type name=\"MSEQ_MUSIC\""};
    size_t at = 0;
    for (const char* item : order) {
        const size_t found = text.find(std::string("type name=") + item, at);
        const size_t any = found != std::string::npos ? found : text.find(item, at);
        ASSERT_NE(any, std::string::npos) << item;
        at = any;
    }

    MseqMusic b(nullptr);
    ASSERT_EQ(load(&b, text), 0u);
    EXPECT_EQ(b.tracks.size(), a.tracks.size());
    EXPECT_EQ(write(&b), text);

    // The loaded music's blocks are the ones written.
    MseqObject* bass = nullptr;
    for (auto& [id, node] : b.tracks) {
        if (node->name.str() == "Bass") bass = node;
    }
    ASSERT_NE(bass, nullptr);
    auto* notes = bass->entity()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
    ASSERT_NE(notes, nullptr);
    ASSERT_NE(notes->block_at(12), nullptr);
    EXPECT_EQ(notes->block_at(12)->m_Type, 9u);
    EXPECT_EQ(notes->block_at(5)->m_Type, 4u);
    EXPECT_EQ(notes->block_at(5)->m_Velocity, 200);
    EXPECT_EQ(notes->block_at(5)->m_Octave, -1);
}

TEST(TrackRecords, AMusicWithoutNoteTracksDeclaresNoNoteTypes) {
    MseqMusic a(nullptr);
    auto* lyric = add<MseqTrackLyric>(a, MID_TRACK_HEADER, MTYPE_TRACK_LYRIC, "Words");
    ASSERT_NE(lyric, nullptr);
    const std::string text = write(&a);
    EXPECT_EQ(text.find("MSEQ_BLOCK_NOTE"), std::string::npos);
    EXPECT_EQ(text.find("MSEQ_NOTE_BLOCK_TYPE"), std::string::npos);
    EXPECT_NE(text.find("type name=\"MSEQ_TRACK_LABEL\""), std::string::npos);
    MseqMusic b(nullptr);
    ASSERT_EQ(load(&b, text), 0u);
    EXPECT_EQ(write(&b), text);
}

TEST(TrackRecords, ReferencesGetTheirFileNumbers) {
    MseqMusic a(nullptr);
    fill(a);
    MseqMusic b(nullptr);
    ASSERT_EQ(load(&b, write(&a)), 0u);
    for (auto& [id, node] : b.tracks) {
        MseqEntity* e = node->entity();
        if (auto* refer = e->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER)) {
            EXPECT_EQ(refer->block_at(0)->m_PhraseID, 0x200004u);
        }
        if (auto* link = e->cast_to<MseqTrackLink>(MTYPE_TRACK_LINK)) {
            EXPECT_EQ(link->block_at(8)->m_LinkID, 0x200009u);
        }
        if (auto* chord = e->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD)) {
            EXPECT_EQ(chord->m_MapID, 0x200007u);
        }
    }
    EXPECT_EQ(mseq_file_number(b.m_TrackChordID), 1u);
}

TEST(TrackRecords, AnEmbeddedContentOfTheWrongTypeIsRefused) {
    MseqMusic a(nullptr);
    add<MseqTrackText>(a, MID_TRACK_DETAIL, MTYPE_TRACK_TEXT, "Note");
    std::string text = write(&a);
    text.replace(text.find("@type=\"MSEQ_TRACK_TEXT\""), 23, "@type=\"MSEQ_TRACK_NOTE\"");
    MseqMusic b(nullptr);
    EXPECT_EQ(load(&b, text), 0x10042u);
}

}  // namespace
