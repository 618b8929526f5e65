#include <gtest/gtest.h>

#include <string>

#include "edit/map/MapTestSupport.h"
#include "edit/map/MedtStageMapView.h"
#include "model/theory/MseqMapStage.h"

namespace stage_map_view_test {

using Map = ref_ptr<MseqMapStage>;

Map fresh_map() {
    Map map = Map::adopt(new MseqMapStage);
    map->name = CkvString("stage");
    return map;
}

TEST(StageMapView, SystemOnSwitchesToggleTheirBits) {
    Map map = fresh_map();
    ModifiedGuard guard(map.get());
    MedtStageMapView view(map.get());
    const std::string before = saved(map.get());
    EXPECT_TRUE(view.command(MEDT_CMD_STAGE_GM2));
    EXPECT_TRUE(view.checked(MEDT_CMD_STAGE_GM2));
    EXPECT_FALSE(view.checked(MEDT_CMD_STAGE_GM1));
    EXPECT_EQ(saved_line(map.get(), " MMS_SETUP_GM2;"), " MMS_SETUP_GM2;");
    EXPECT_TRUE(view.command(MEDT_CMD_STAGE_GM1));
    EXPECT_EQ(saved_line(map.get(), " MMS_SETUP_GM1|MMS_SETUP_GM2;"),
              " MMS_SETUP_GM1|MMS_SETUP_GM2;");
    EXPECT_TRUE(marked_modified(map.get()));
    EXPECT_TRUE(view.command(MEDT_CMD_STAGE_GM1));
    EXPECT_TRUE(view.command(MEDT_CMD_STAGE_GM2));
    EXPECT_EQ(saved(map.get()), before);
    EXPECT_FALSE(view.command(40403));
    view.set_locked(true);
    EXPECT_FALSE(view.enabled(MEDT_CMD_STAGE_GM1));
    EXPECT_FALSE(view.command(MEDT_CMD_STAGE_GM1));
    EXPECT_FALSE(view.checked(MEDT_CMD_STAGE_GM1));
}

TEST(StageMapView, ValuesAreClampedToTheirRanges) {
    struct Case {
        const char* field;
        int64_t value;
        int64_t stored;
    } cases[] = {
        {"volume", 200, 127}, {"volume", -4, 0},           {"pan", 32, 32},
        {"reverb", 128, 127}, {"chorus", 40, 40},          {"bend-range", 30, 24},
        {"bend", -5, 0},      {"bend", 20000, 16383},      {"hold", 127, 127},
        {"modulation", 9, 9}, {"expression", -3, 0},       {"program", 300, 127},
        {"bank", 129, 129},   {"bank", 1 << 20, 16383},    {"switch", 5, 1},
        {"sound-off", 1, 1},  {"reset-controllers", 1, 1},
    };
    for (const Case& c : cases) {
        Map map = fresh_map();
        ModifiedGuard guard(map.get());
        MedtStageMapView view(map.get());
        MedtStageField field;
        ASSERT_TRUE(MedtStageMapView::field_by_name(c.field, &field)) << c.field;
        EXPECT_TRUE(view.set_field(3, field, c.value)) << c.field << c.value;
        EXPECT_EQ(view.field(3, field), c.stored) << c.field << c.value;
        EXPECT_TRUE(marked_modified(map.get()));
        MseqBlockStage copy = *map->block(3);
        copy.normalize();
        EXPECT_EQ(copy, *map->block(3)) << "stored values are already normal";
    }
    MedtStageField field;
    EXPECT_FALSE(MedtStageMapView::field_by_name("loudness", &field));
}

TEST(StageMapView, InstrumentsFollowTheChannel) {
    Map map = fresh_map();
    ModifiedGuard guard(map.get());
    MedtStageMapView view(map.get());
    EXPECT_TRUE(view.set_field(0, MedtStageField::Program, 40));
    EXPECT_EQ(map->block(0)->m_Program.m_Attrib, MWORD_PROGRAM);
    EXPECT_EQ(kv_codec::utf8_from_cp932(map->block(0)->m_Program.m_Name), "バイオリン");
    EXPECT_TRUE(view.set_field(0, MedtStageField::Bank, 130));
    EXPECT_EQ(map->block(0)->m_Program.m_Index, 0x010228u);  // program 40 kept below the bank
    EXPECT_EQ(view.field(0, MedtStageField::Program), 40);
    EXPECT_FALSE(view.set_field(0, MedtStageField::Kit, 8));  // no kits off the drum channel

    EXPECT_FALSE(view.set_field(9, MedtStageField::Program, 8));
    EXPECT_TRUE(view.set_field(9, MedtStageField::Kit, 25));
    EXPECT_EQ(map->block(9)->m_Program.m_Attrib, MWORD_DRUM_KIT);
    EXPECT_EQ(kv_codec::utf8_from_cp932(map->block(9)->m_Program.m_Name), "TR-808 (GM2)");
    EXPECT_FALSE(view.set_field(16, MedtStageField::Volume, 3));
    EXPECT_FALSE(view.set_field(-1, MedtStageField::Volume, 3));
}

TEST(StageMapView, UnchangedValuesMarkNothing) {
    Map map = fresh_map();
    ModifiedGuard guard(map.get());
    MedtStageMapView view(map.get());
    EXPECT_FALSE(view.set_field(2, MedtStageField::Volume, 120));
    EXPECT_FALSE(view.set_field(2, MedtStageField::Pan, 64));
    EXPECT_FALSE(view.set_field(0, MedtStageField::Switch, 1));
    EXPECT_FALSE(view.set_field(2, MedtStageField::Expression, 500));  // 127 already
    EXPECT_FALSE(view.set_field(0, MedtStageField::Program, 0));
    EXPECT_FALSE(marked_modified(map.get()));
}

TEST(StageMapView, SendBitsOfTheValueColumns) {
    Map map = fresh_map();
    ModifiedGuard guard(map.get());
    MedtStageMapView view(map.get());
    EXPECT_TRUE(view.sends(4, MedtStageField::Volume));
    EXPECT_FALSE(view.sends(4, MedtStageField::Bend));
    EXPECT_TRUE(view.toggle_send(4, MedtStageField::Volume));
    EXPECT_TRUE(view.toggle_send(4, MedtStageField::Bend));
    EXPECT_EQ(map->block(4)->m_Flags, 0xF80u ^ 0x100u ^ 0x10000u);
    EXPECT_FALSE(view.toggle_send(4, MedtStageField::Switch));
    EXPECT_TRUE(marked_modified(map.get()));
    EXPECT_EQ(kv_codec::utf8_from_cp932(MedtStageMapView::column_help(3)),
              "プログラムチェンジ - 楽器を選択します。");
    EXPECT_EQ(MedtStageMapView::column_help(5), "");
}

}  // namespace stage_map_view_test
