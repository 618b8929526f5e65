#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edit/map/MapTestSupport.h"
#include "edit/map/MedtChordMapView.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapScale.h"

namespace chord_map_view_test {

using Map = ref_ptr<MseqMapChord>;

Map fresh_map() {
    Map map = Map::adopt(new MseqMapChord);
    map->name = CkvString("map");
    return map;
}

// The saved line of palette slot `slot`.
std::string slot_line(MseqMapChord* map, int slot) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "  {%3d;", slot);
    return saved_line(map, prefix);
}

std::string expected_slot(int slot, const char* type, const char* flags, int desc_octave,
                          int octave, int root, std::vector<int> keys) {
    char head[128];
    std::snprintf(head, sizeof head,
                  "  {%3d; \"%s\"; %s; %d; %d; %d; %d; @array; type=\"MSEQ_KEY\"; {", slot, type,
                  flags, desc_octave, slot % 12, octave, root);
    std::string line = head;
    for (int k : keys)
        line += "{0x0;" + std::to_string(k) + ";}";
    return line + "} }";
}

TEST(ChordMapView, MinorFourNoteChordsAskFirstAndRebuildEveryDegree) {
    Map map = fresh_map();
    ModifiedGuard guard(map.get());
    const std::string before = saved(map.get());

    ScriptedQuestions no(false);
    MedtChordMapView refused(map.get(), nullptr, &no);
    EXPECT_FALSE(refused.command(MEDT_CMD_PALETTE_MINOR4));
    ASSERT_EQ(no.asked.size(), 1u);
    EXPECT_EQ(
        no.asked[0],
        "短調４和音のコードマップを作成しますよろしいですか？\n\n※現在のコードマップの内容は失われ"
        "ます。");
    EXPECT_EQ(saved(map.get()), before);
    EXPECT_FALSE(marked_modified(map.get()));

    ScriptedQuestions yes(true);
    MedtChordMapView view(map.get(), nullptr, &yes);
    EXPECT_TRUE(view.command(MEDT_CMD_PALETTE_MINOR4));
    EXPECT_TRUE(marked_modified(map.get()));
    EXPECT_EQ(saved_line(map.get(), " {  0; \"6 - Aeolian"),
              " {  0; \"6 - Aeolian (短調)\"; 2; 3; @array; type=\"MSEQ_KEY\"; "
              "{{0x0;0;}{0x0;2;}{0x0;3;}{0x0;5;}{0x0;7;}{0x0;8;}{0x0;10;}} }");
    // Chord key 0, tone tune 3: the melody key follows to 3.
    EXPECT_EQ(saved_line(map.get(), " 3; 0; 0;"), " 3; 0; 0;");
    // Every degree row of the middle octave holds a four-note chord of the scale; the slots
    // keep their switches (the seventh degree was off).
    EXPECT_EQ(slot_line(map.get(), 12), expected_slot(12, "m7", "0x10", 0, 0, 0, {0, 3, 7, 10}));
    EXPECT_EQ(slot_line(map.get(), 13),
              expected_slot(13, "m7(b5)", "0x10", 0, 0, 2, {0, 3, 6, 10}));
    EXPECT_EQ(slot_line(map.get(), 14), expected_slot(14, "M7", "0x10", 0, 0, 3, {0, 4, 7, 11}));
    EXPECT_EQ(slot_line(map.get(), 15), expected_slot(15, "m7", "0x10", 0, 0, 5, {0, 3, 7, 10}));
    EXPECT_EQ(slot_line(map.get(), 16), expected_slot(16, "m7", "0x10", 0, 0, 7, {0, 3, 7, 10}));
    EXPECT_EQ(slot_line(map.get(), 17), expected_slot(17, "M7", "0x10", 0, 0, 8, {0, 4, 7, 11}));
    EXPECT_EQ(slot_line(map.get(), 18), expected_slot(18, "7", "0x11", 0, 0, 10, {0, 4, 7, 10}));
    EXPECT_EQ(slot_line(map.get(), 4), expected_slot(4, "m7", "0x10", -1, -1, 7, {0, 3, 7, 10}));
    EXPECT_EQ(slot_line(map.get(), 31), expected_slot(31, "", "0x11", 1, 0, 0, {}));
}

TEST(ChordMapView, PaletteCommandsPickScaleAndChordSize) {
    struct Case {
        int32_t id;
        const char* scale;  // start of the saved scale name
        int keys;           // keys of the chord on the first degree
        const char* variant;
    } cases[] = {
        {MEDT_CMD_PALETTE_SCALE3, "2 - Dorian", 3, "スケールを元に３和音"},
        {MEDT_CMD_PALETTE_SCALE4, "2 - Dorian", 4, "スケールを元に４和音"},
        {MEDT_CMD_PALETTE_MAJOR3, "1 - Ionian", 3, "長調３和音"},
        {MEDT_CMD_PALETTE_MAJOR4, "1 - Ionian", 4, "長調４和音"},
        {MEDT_CMD_PALETTE_MINOR3, "6 - Aeolian", 3, "短調３和音"},
    };
    for (const Case& c : cases) {
        Map map = fresh_map();
        ModifiedGuard guard(map.get());
        map->select_preset(2);  // the map's own scale: Dorian
        ScriptedQuestions yes(true);
        MedtChordMapView view(map.get(), nullptr, &yes);
        EXPECT_TRUE(view.command(c.id)) << c.id;
        ASSERT_EQ(yes.asked.size(), 1u);
        EXPECT_EQ(yes.asked[0].substr(0, yes.asked[0].find("のコード")), c.variant);
        EXPECT_EQ(map->m_Scale.m_Name.substr(0, std::string(c.scale).size()), c.scale) << c.id;
        EXPECT_EQ(map->m_Blocks[12].key_count, c.keys) << c.id;
    }
    // Building what is already there changes nothing and marks nothing.
    Map map = fresh_map();
    ModifiedGuard guard(map.get());
    ScriptedQuestions yes(true);
    MedtChordMapView view(map.get(), nullptr, &yes);
    EXPECT_TRUE(view.command(MEDT_CMD_PALETTE_MAJOR3));  // empty degrees are switched off
    MseqDesk::instance().clear_modified(map.get());
    EXPECT_FALSE(view.command(MEDT_CMD_PALETTE_MAJOR3));
    EXPECT_FALSE(marked_modified(map.get()));
    EXPECT_EQ(MedtChordMapView::palette_menu(),
              (std::vector<int32_t>{40503, 40504, 40505, 40506, 0, 40501, 40502}));
}

TEST(ChordMapView, KeyNameButtonCyclesBackAfterThreePresses) {
    Map map = fresh_map();
    ModifiedGuard guard(map.get());
    const std::string before = saved(map.get());
    MedtChordMapView view(map.get(), nullptr, nullptr);
    ASSERT_EQ(view.key_name_mode(), 1);  // Ionian shows major keys
    const int32_t seen[3] = {2, 0, 1};
    for (int32_t expected : seen) {
        EXPECT_TRUE(view.command(MEDT_CMD_KEYNAME_CYCLE));
        EXPECT_EQ(view.key_name_mode(), expected);
        EXPECT_EQ(view.checked(MEDT_CMD_KEYNAME_LETTER), expected == 0);
        EXPECT_EQ(view.checked(MEDT_CMD_KEYNAME_MAJOR), expected == 1);
        EXPECT_EQ(view.checked(MEDT_CMD_KEYNAME_MINOR), expected == 2);
    }
    EXPECT_EQ(saved(map.get()), before);
    // The label of a selector follows the display mode.
    EXPECT_EQ(kv_codec::utf8_from_cp932(view.key_choices().front().label), "+12 ハ長");
    EXPECT_TRUE(view.command(MEDT_CMD_KEYNAME_MINOR));
    const std::vector<MedtKeyChoice> choices = view.key_choices();
    ASSERT_EQ(choices.size(), 25u);
    EXPECT_EQ(choices[0].value, 12);
    EXPECT_EQ(kv_codec::utf8_from_cp932(choices[17].label), " -5 ト短");
    EXPECT_EQ(choices[24].value, -12);
    // Choosing the mode it shows already still marks the map.
    MseqDesk::instance().clear_modified(map.get());
    EXPECT_TRUE(view.command(MEDT_CMD_KEYNAME_MINOR));
    EXPECT_TRUE(marked_modified(map.get()));
}

TEST(ChordMapView, KeySelectorsFollowTheirRules) {
    struct Case {
        MedtKeySelector selector;
        int32_t chord_key;  // set first through the chord selector
        int32_t value;
        const char* keys_line;  // m_ToneKey; m_SDegKey; m_CDegKey;
        int32_t tone_tune;
    } cases[] = {
        {MedtKeySelector::Melody, 2, -5, " -5; 2; 2;", 5},  // -7 plus 12
        {MedtKeySelector::Melody, 0, 6, " 6; 0; 0;", 6},
        {MedtKeySelector::Melody, 0, 7, " 7; 0; 0;", -5},  // 7 minus 12
        {MedtKeySelector::Melody, 9, 0, " 0; 9; 9;", 3},
        {MedtKeySelector::Scale, 2, 40, " 2; 12; 2;", 0},    // clamped, scale key alone
        {MedtKeySelector::Chord, 0, -3, " -3; -3; -3;", 0},  // moves the others along
    };
    for (const Case& c : cases) {
        Map map = fresh_map();
        ModifiedGuard guard(map.get());
        MedtChordMapView view(map.get(), nullptr, nullptr);
        view.select_key(MedtKeySelector::Chord, c.chord_key);
        EXPECT_TRUE(view.select_key(c.selector, c.value)) << c.value;
        EXPECT_TRUE(marked_modified(map.get()));
        EXPECT_EQ(saved_line(map.get(), c.keys_line), c.keys_line) << c.value;
        EXPECT_EQ(map->m_Scale.m_ToneTune, c.tone_tune) << c.value;
    }
    Map map = fresh_map();
    ModifiedGuard guard(map.get());
    MedtChordMapView view(map.get(), nullptr, nullptr);
    // Selecting the value a selector has already marks the map too; a locked view does nothing.
    for (MedtKeySelector selector :
         {MedtKeySelector::Chord, MedtKeySelector::Scale, MedtKeySelector::Melody}) {
        MseqDesk::instance().clear_modified(map.get());
        EXPECT_TRUE(view.select_key(selector, view.key_value(selector)));
        EXPECT_TRUE(marked_modified(map.get()));
    }
    MseqDesk::instance().clear_modified(map.get());
    view.set_locked(true);
    EXPECT_FALSE(view.select_key(MedtKeySelector::Scale, 0));
    EXPECT_FALSE(marked_modified(map.get()));
}

TEST(ChordMapView, ChordListPresses) {
    struct Case {
        int32_t column;
        bool right;
        MedtChordClick result;
        uint32_t flags;  // of slot 12 afterwards (0x10 before)
        int32_t octave;
    } cases[] = {
        {MEDT_CHORD_COL_SLOT, false, MedtChordClick::Nothing, 0x10, 0},
        {MEDT_CHORD_COL_SLOT, true, MedtChordClick::Changed, 0x11, 0},
        {MEDT_CHORD_COL_SWITCH, false, MedtChordClick::Changed, 0x11, 0},
        {MEDT_CHORD_COL_SWITCH, true, MedtChordClick::Changed, 0x11, 0},
        {MEDT_CHORD_COL_OCTAVE, false, MedtChordClick::Changed, 0x10, 1},
        {MEDT_CHORD_COL_OCTAVE, true, MedtChordClick::Changed, 0x10, -1},
        {MEDT_CHORD_COL_RELATIVE, false, MedtChordClick::Changed, 0x00, 0},
        {MEDT_CHORD_COL_NAME, false, MedtChordClick::OpenEditor, 0x10, 0},
        {MEDT_CHORD_COL_KEYS, false, MedtChordClick::OpenEditor, 0x10, 0},
        {MEDT_CHORD_COL_KEYS, true, MedtChordClick::Changed, 0x11, 0},
        {7, false, MedtChordClick::Nothing, 0x10, 0},
    };
    for (const Case& c : cases) {
        Map map = fresh_map();
        ModifiedGuard guard(map.get());
        MedtChordMapView view(map.get(), nullptr, nullptr);
        EXPECT_EQ(view.click(12, c.column, c.right), c.result) << c.column << c.right;
        EXPECT_EQ(map->m_Blocks[12].m_Flags, c.flags) << c.column << c.right;
        EXPECT_EQ(map->m_Blocks[12].m_Octave, c.octave) << c.column << c.right;
        EXPECT_EQ(marked_modified(map.get()), c.result == MedtChordClick::Changed);
    }
}

TEST(ChordMapView, OctaveBelowTheLowestWrapsToTheHighest) {
    Map map = fresh_map();
    ModifiedGuard guard(map.get());
    MedtChordMapView view(map.get(), nullptr, nullptr);
    map->m_Blocks[12].m_Octave = -2;
    EXPECT_EQ(view.click(12, MEDT_CHORD_COL_OCTAVE, true), MedtChordClick::Changed);
    EXPECT_EQ(slot_line(map.get(), 12), expected_slot(12, "maj", "0x10", 0, 2, 0, {0, 4, 7}));
    EXPECT_EQ(view.click(12, MEDT_CHORD_COL_OCTAVE, false), MedtChordClick::Changed);
    EXPECT_EQ(slot_line(map.get(), 12), expected_slot(12, "maj", "0x10", 0, -2, 0, {0, 4, 7}));
}

TEST(ChordMapView, RowsShowNamesAndKeysFromTheChordKey) {
    Map map = fresh_map();
    ModifiedGuard guard(map.get());
    MedtChordMapView view(map.get(), nullptr, nullptr);
    view.select_key(MedtKeySelector::Chord, 2);
    map->m_Blocks[16].keys[2].m_Flags = 1;
    const MedtChordRow row = view.chord_row(16);
    EXPECT_TRUE(row.on);
    EXPECT_TRUE(row.relative);
    EXPECT_EQ(row.name, "Amaj");  // G in C is A in D
    EXPECT_EQ(row.keys, "0 4 7*");
    EXPECT_EQ(view.chord_row(7).name, "");
    EXPECT_FALSE(view.chord_row(30).on);
    EXPECT_EQ(kv_codec::utf8_from_cp932(MedtChordMapView::chord_column_help(3)),
              "相対オクターブ - 左右クリックで増減");
    EXPECT_EQ(MedtChordMapView::chord_column_help(7), "");
}

TEST(ChordMapView, LockedViewDoesNothing) {
    Map map = fresh_map();
    ModifiedGuard guard(map.get());
    MseqMapScale scales;
    scales.add(*MseqBlockScale::preset(2));
    ScriptedQuestions yes(true);
    MedtChordMapView view(map.get(), &scales, &yes);
    view.select_scale_row(0);
    view.set_locked(true);
    for (int32_t id : {40501, 40506, 40511, 40512, 40521, 40522, 40523})
        EXPECT_FALSE(view.enabled(id) || view.command(id)) << id;
    EXPECT_EQ(view.click(12, MEDT_CHORD_COL_SWITCH, false), MedtChordClick::Nothing);
    EXPECT_FALSE(view.select_key(MedtKeySelector::Chord, 5));
    EXPECT_FALSE(view.set_chord(12, MseqBlockChord()));
    EXPECT_TRUE(yes.asked.empty());
    EXPECT_FALSE(marked_modified(map.get()));
    EXPECT_EQ(scales.count(), 1);
}

TEST(ChordMapView, ScaleListSetAddRenameAndDelete) {
    Map map = fresh_map();
    ModifiedGuard guard(map.get());
    MseqMapScale scales;
    scales.name = CkvString("scales");
    scales.add(*MseqBlockScale::preset(2));
    scales.add(*MseqBlockScale::preset(22));
    scales.flags = 0;
    ScriptedQuestions no(false);
    MedtChordMapView view(map.get(), &scales, &no);

    EXPECT_FALSE(view.enabled(MEDT_CMD_SCALE_SET));  // no row selected
    view.select_scale_row(1);
    map->set_chord_key(2);
    EXPECT_TRUE(view.command(MEDT_CMD_SCALE_SET));
    EXPECT_EQ(map->m_Scale, *MseqBlockScale::preset(22));
    EXPECT_TRUE(marked_modified(map.get()));
    EXPECT_EQ(scales.flags & MEF_MODIFIED, 0u);  // the list itself is unchanged

    const MedtScaleRow row = view.scale_row(0);
    EXPECT_EQ(row.name, "2 - Dorian");
    EXPECT_EQ(row.melody_key, "-2");
    EXPECT_EQ(row.key_count, 7);
    EXPECT_EQ(row.keys, "0 2 3 5 7 9 10");

    // Deleting asks with the scale's name; No keeps the list and its saved bytes.
    const std::string before = saved(&scales);
    EXPECT_FALSE(view.command(MEDT_CMD_SCALE_DELETE));
    ASSERT_EQ(no.asked.size(), 1u);
    EXPECT_EQ(no.asked[0], "スケールを削除してもよろしいですか？\n\nPentatonic minor");
    EXPECT_EQ(saved(&scales), before);
    EXPECT_EQ(scales.flags & MEF_MODIFIED, 0u);

    no.answer = true;
    EXPECT_TRUE(view.command(MEDT_CMD_SCALE_DELETE));
    EXPECT_EQ(scales.flags & MEF_MODIFIED, MEF_MODIFIED);
    EXPECT_EQ(saved_line(&scales, "  {  1;"), "");
    EXPECT_EQ(saved_line(&scales, "  {  0;").substr(0, 20), "  {  0; \"2 - Dorian\"");
    EXPECT_EQ(view.selected_scale_row(), 0);

    scales.flags = 0;
    EXPECT_TRUE(view.command(MEDT_CMD_SCALE_ADD));
    EXPECT_EQ(scales.count(), 2);
    EXPECT_EQ(*scales.get(1), map->m_Scale);
    EXPECT_EQ(scales.flags & MEF_MODIFIED, MEF_MODIFIED);

    scales.flags = 0;
    EXPECT_FALSE(view.rename_scale(1, map->m_Scale.m_Name));
    EXPECT_EQ(scales.flags & MEF_MODIFIED, 0u);
    EXPECT_TRUE(view.rename_scale(1, CkvString("mine")));
    EXPECT_EQ(scales.get(1)->m_Name, "mine");
    EXPECT_EQ(scales.flags & MEF_MODIFIED, MEF_MODIFIED);
    EXPECT_FALSE(view.rename_scale(5, CkvString("x")));
}

TEST(ChordMapView, ScaleBarEditsTheMapsScale) {
    Map map = fresh_map();
    ModifiedGuard guard(map.get());
    MedtChordMapView view(map.get(), nullptr, nullptr);
    EXPECT_EQ(view.scale_keys(), "0 2 4 5 7 9 11");
    EXPECT_TRUE(view.toggle_scale_key(6));
    EXPECT_EQ(view.scale_keys(), "0 2 4 5 6 7 9 11");
    EXPECT_FALSE(view.toggle_scale_key(0));  // the tonic stays
    EXPECT_FALSE(view.toggle_scale_key(12));
    EXPECT_TRUE(view.set_scale_name(CkvString("mine")));
    EXPECT_FALSE(view.set_scale_name(CkvString("mine")));
    EXPECT_EQ(view.scale_name(), "mine");
    EXPECT_TRUE(marked_modified(map.get()));
    // A scale of five keys keeps them all.
    ASSERT_TRUE(map->m_Scale.select_preset(21));
    EXPECT_FALSE(view.toggle_scale_key(2));
}

TEST(ChordMapView, ChordEditorResultReplacesTheSlot) {
    Map map = fresh_map();
    ModifiedGuard guard(map.get());
    MedtChordMapView view(map.get(), nullptr, nullptr);
    EXPECT_FALSE(view.set_chord(12, map->m_Blocks[12]));
    EXPECT_FALSE(marked_modified(map.get()));
    MseqBlockChord chord;
    chord.set_type(2);
    chord.m_Flags = MCHORD_RELATIVE_ROOT;
    chord.m_Root = 5;
    EXPECT_TRUE(view.set_chord(12, chord));
    EXPECT_EQ(slot_line(map.get(), 12), expected_slot(12, "7", "0x10", 0, 0, 5, {0, 4, 7, 10}));
    // An empty chord switches the slot off.
    EXPECT_TRUE(view.set_chord(13, MseqBlockChord()));
    EXPECT_EQ(map->m_Blocks[13].m_Flags & MCHORD_NO_KEY, MCHORD_NO_KEY);
    EXPECT_FALSE(view.set_chord(36, chord));
}

}  // namespace chord_map_view_test
