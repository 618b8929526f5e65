#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edit/InMemoryLibrary.h"
#include "edit/map/MedtChordEditor.h"
#include "edit/map/MedtDegreePicker.h"
#include "edit/press/MedtBlockPress.h"
#include "edit/press/MedtChordPress.h"
#include "model/block/MseqBlockLabel.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackRefer.h"
#include "platform/TextCodec.h"

namespace chord_press_test {

class Setter : public MedtBlockSetter {
public:
    bool set_block(int32_t pos, const MseqBlock* block) override {
        ++calls;
        return track->set_block(track->m_Beat, pos, block);
    }
    MseqTrack* track = nullptr;
    int calls = 0;
};

class Port : public MedtPressPort {
public:
    int32_t pick_degree(const MedtDegreePicker& picker) override {
        labels.clear();
        for (const MedtDegreeItem& i : picker.items())
            labels.push_back(kv_codec::utf8_from_cp932(i.label));
        preselected = picker.preselected();
        empty = kv_codec::utf8_from_cp932(picker.empty_text());
        return slot;
    }
    bool edit_chord(MedtChordEditor& editor) override {
        opened = editor.chord();
        key = editor.key();
        if (type >= 0) editor.set_type(type);
        return set;
    }
    int32_t choose_marker(const std::vector<CkvString>& items) override {
        for (const CkvString& i : items)
            menu.push_back(kv_codec::utf8_from_cp932(i));
        return marker;
    }
    int32_t slot = -1;
    std::vector<std::string> labels;
    int32_t preselected = -2;
    std::string empty;
    MseqBlockChord opened;
    int32_t key = -99;
    int32_t type = -1;
    bool set = false;
    std::vector<std::string> menu;
    int32_t marker = -1;
};

template <class Track>
Track* add_track(MseqMusic* music, MSEQ_ID parent, MSEQ_TYPE type) {
    MseqObject* node = music->create_track(parent, MPLACE_LAST_CHILD, type, CkvString("t"));
    EXPECT_NE(node, nullptr);
    ref_ptr<MseqEntity> e = mseq_open(node);
    return e->cast_to<Track>(type);
}

struct ChordTrackFixture : ::testing::Test {
    void SetUp() override {
        chords = add_track<MseqTrackChord>(lib.song, MID_TRACK_HEADER, MTYPE_TRACK_CHORD);
        chords->m_Beat = 4;
        chords->m_MapID = InMemoryLibrary::ref(lib.map_node);
        setter.track = chords;
        ctx.music = lib.song;
        ctx.port = &port;
        ctx.setter = &setter;
    }
    InMemoryLibrary lib;
    MseqTrackChord* chords = nullptr;
    Setter setter;
    Port port;
    MedtPressContext ctx;
};

TEST_F(ChordTrackFixture, DegreePickerOffersSwitchedOnSlotsWithKeys) {
    lib.map->m_Blocks[5].m_Flags |= MCHORD_NO_KEY;  // switch the sixth degree off
    port.slot = 16;
    EXPECT_TRUE(MedtChordPress::press(*chords, MedtChordRowKind::Degree, 2, false, ctx));
    // Slots 4 to 17 are on; 5 is switched off and 7 to 11 have no keys.
    EXPECT_EQ(port.labels,
              (std::vector<std::string>{"-5", "-7", " 1", " 2", " 3", " 4", " 5", " 6"}));
    EXPECT_EQ(port.preselected, -1);
    const MseqBlockChord* placed = chords->block_at(2);
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(placed->desc_pitch(), 16);
    EXPECT_EQ(placed->m_Flags & MCHORD_NO_KEY, 0u);
    EXPECT_EQ(placed->m_Type, "maj");

    // The next press on the same chord preselects its slot; by name in the chord-name display.
    lib.song->m_ShowState |= 0x100000;
    port.slot = -1;
    EXPECT_FALSE(MedtChordPress::press(*chords, MedtChordRowKind::Degree, 3, false, ctx));
    EXPECT_EQ(port.preselected, 6);
    EXPECT_EQ(port.labels[6], "Gmaj");
    // Picking what is there already sets nothing.
    EXPECT_FALSE(MedtChordPress::set_degree(*chords, 2, 16, ctx));
    EXPECT_FALSE(MedtChordPress::set_degree(*chords, 3, 5, ctx));  // not offered
    EXPECT_EQ(setter.calls, 1);
    // The right press erases the chord in effect.
    EXPECT_TRUE(MedtChordPress::press(*chords, MedtChordRowKind::Degree, 3, true, ctx));
    EXPECT_EQ(chords->block_count(), 0u);
}

TEST_F(ChordTrackFixture, NoUsableSlotShowsTheMessage) {
    for (MseqBlockChord& c : lib.map->m_Blocks)
        c.m_Flags |= MCHORD_NO_KEY;
    EXPECT_FALSE(MedtChordPress::press(*chords, MedtChordRowKind::Degree, 0, false, ctx));
    EXPECT_TRUE(port.labels.empty());
    EXPECT_EQ(port.empty, "コードマップに有効なコードがない");
    chords->m_MapID = 0;  // no map at all: the same
    EXPECT_FALSE(MedtChordPress::press(*chords, MedtChordRowKind::Degree, 0, false, ctx));
    EXPECT_EQ(port.empty, "コードマップに有効なコードがない");
}

TEST_F(ChordTrackFixture, ChordEditorOpensOnTheChordInEffect) {
    lib.map->set_chord_key(2);
    MseqBlockChord degree;
    ASSERT_TRUE(MedtDegreePicker(lib.map, -1, false).pick(13, &degree));
    chords->put_block(0, degree);
    port.set = true;
    port.type = 2;  // "7"
    EXPECT_TRUE(MedtChordPress::press(*chords, MedtChordRowKind::Chord, 1, false, ctx));
    EXPECT_EQ(port.key, 2);
    EXPECT_EQ(port.opened.m_Type, "m");  // the palette chord the block selects
    const MseqBlockChord* own = chords->block_at(1);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->m_Flags & MCHORD_NO_KEY, MCHORD_NO_KEY);  // a chord of its own
    EXPECT_EQ(own->m_Type, "7");
    MseqBlockChord in_effect;
    ASSERT_TRUE(MedtChordPress::chord_at(*chords, 3, lib.song, &in_effect));
    EXPECT_EQ(in_effect, *own);
    // A chord without keys erases the block.
    EXPECT_TRUE(MedtChordPress::set_chord(*chords, 1, MseqBlockChord(), ctx));
    EXPECT_EQ(chords->block_at(1), nullptr);
    EXPECT_FALSE(MedtChordPress::set_chord(*chords, 1, MseqBlockChord(), ctx));
}

TEST_F(ChordTrackFixture, MapFollowsTheTranspositionTrack) {
    auto* keys = add_track<MseqTrackChordMap>(lib.song, MID_TRACK_HEADER, MTYPE_TRACK_CHORD_MAP);
    keys->m_Beat = 1;
    MseqBlockLink link;
    link.m_LinkID = InMemoryLibrary::ref(lib.map_node);
    keys->put_block(2, link);  // from bar 3
    chords->m_MapID = mseq_make_id(1, mseq_serial(keys->owner->id));
    EXPECT_FALSE(MedtChordPress::map_at(*chords, 7, lib.song));  // bar 2: none yet
    EXPECT_EQ(MedtChordPress::map_at(*chords, 8, lib.song).get(), lib.map);
}

TEST(PhrasePress, PlacesTheSelectedPhraseOfTheOwnBookAndOffersItsMarkers) {
    InMemoryLibrary lib;
    auto* marks = add_track<MseqTrackMarker>(lib.phrase, MID_TRACK_HEADER, MTYPE_TRACK_MARKER);
    ASSERT_EQ(marks->owner->id, 0x100106u);
    MseqBlockLabel label;
    label.m_Label = CkvString("A");
    marks->put_block(0, label);
    label.m_Label = CkvString("B");
    marks->put_block(8, label);
    auto* refer = add_track<MseqTrackRefer>(lib.song, MID_TRACK_DETAIL, MTYPE_TRACK_REFER);
    refer->m_Beat = 4;
    Setter setter;
    setter.track = refer;
    Port port;
    MedtPressContext ctx;
    ctx.music = lib.song;
    ctx.selected_leaf = lib.phrase_node;
    ctx.port = &port;
    ctx.setter = &setter;
    EXPECT_TRUE(MedtReferPress::press(*refer, MedtPress{MedtPressArea::Anchor, 4}, ctx));
    ASSERT_NE(refer->block_at(4), nullptr);
    EXPECT_EQ(refer->block_at(4)->m_PhraseID, InMemoryLibrary::ref(lib.phrase_node));
    EXPECT_EQ(refer->block_at(4)->m_Mode, MRBM_BLOCK_CUT);
    // A music leaf is not a phrase.
    ctx.selected_leaf = lib.song_node;
    EXPECT_FALSE(MedtReferPress::press(*refer, MedtPress{MedtPressArea::Anchor, 6}, ctx));

    port.marker = 2;
    EXPECT_TRUE(MedtReferPress::press(*refer, MedtPress{MedtPressArea::Pitch, 4}, ctx));
    EXPECT_EQ(port.menu, (std::vector<std::string>{"<ホーム>", "A", "B"}));
    EXPECT_EQ(refer->block_at(4)->m_StartMarker, "B");
}

}  // namespace chord_press_test
