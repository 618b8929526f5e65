#include "text/MrecSettings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "model/block/MseqBlockScale.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqConfig.h"
#include "model/theory/MseqMapScale.h"
#include "platform/FileSystem.h"

namespace settings_test {

// Points the application folder at a temporary folder and restores the settings afterwards.
class SettingsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvset-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        mseq_path::set_program_file(CkvString(kv_fs::from_host(dir_ + "/korvante")));
        mseq_config().reset();
        mrec_settings::scale_map().reset();
    }
    void TearDown() override {
        mseq_config().reset();
        mseq_config().flags = MEF_NEW;
        mrec_settings::scale_map().reset();
        mseq_path::set_program_file(CkvString());
        std::filesystem::remove_all(dir_);
    }
    std::string dir_;
};

TEST_F(SettingsFiles, MissingConfigurationKeepsDefaultsAndIsWrittenAtExit) {
    uint32_t error = 1;
    ASSERT_TRUE(mrec_settings::load_config(mrec_settings::kConfigPath, &error));
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(mseq_config().m_DeviceID, 0xFFFFFFFFu);
    EXPECT_NE(mseq_config().flags & MEF_NEW, 0u);
    mseq_config().m_CacheLevel = 3;
    mseq_config().add_recent_room(CkvString("Z:\\x\\library.kvnr"));
    ASSERT_TRUE(mrec_settings::save_config());  // creates the define folder
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/define/korvante.cfg"));

    mseq_config().reset();
    ASSERT_TRUE(mrec_settings::load_config(mrec_settings::kConfigPath));
    EXPECT_EQ(mseq_config().m_CacheLevel, 3);
    ASSERT_NE(mseq_config().recent_room(0), nullptr);
    EXPECT_EQ(mseq_config().recent_room(0)->str(), "Z:\\x\\library.kvnr");
}

TEST_F(SettingsFiles, UnreadableConfigurationFails) {
    std::filesystem::create_directories(dir_ + "/define");
    ASSERT_TRUE(kv_fs::write_file_atomic(kv_fs::from_host(dir_ + "/define/korvante.cfg"),
                                         "KORVANTE-TEXT-TYPE\r\nnot a header"));
    uint32_t error = 0;
    EXPECT_FALSE(mrec_settings::load_config(mrec_settings::kConfigPath, &error));
    EXPECT_NE(error, 0u);
}

TEST_F(SettingsFiles, ScaleMapRoundTrip) {
    ASSERT_TRUE(mrec_settings::load_scale_map(mrec_settings::kScaleMapPath));  // none yet
    EXPECT_EQ(mrec_settings::scale_map().count(), 0);
    mrec_settings::scale_map().add(*MseqBlockScale::preset(11));
    ASSERT_TRUE(mrec_settings::save_scale_map());
    mrec_settings::scale_map().reset();
    ASSERT_TRUE(mrec_settings::load_scale_map(mrec_settings::kScaleMapPath));
    ASSERT_EQ(mrec_settings::scale_map().count(), 1);
    EXPECT_EQ(*mrec_settings::scale_map().get(0), *MseqBlockScale::preset(11));
}

TEST(OutputDevice, CheckedAgainstTheDevicesOnOffer) {
    struct Case {
        uint32_t id;
        const char* name;
        std::vector<CkvString> devices;
        int32_t direct_music;
        int result;
        uint32_t id_after;
    };
    const Case cases[] = {
        {0xFFFFFFFF, "", {CkvString("Synth")}, 0, 1, 0xFFFFFFFF},
        {0xFFFFFFFF, "", {}, 0, 0, 0xFFFFFFFE},
        {1, "Port B", {CkvString("Port A"), CkvString("Port B")}, 0, 1, 1},
        {1, "Old port", {CkvString("Port A"), CkvString("Port B")}, 0, 0, 0xFFFFFFFE},
        {1, "Old port", {CkvString("Port A"), CkvString("Port B")}, 1, 1, 0xFFFFFFFE},
        {5, "Port B", {CkvString("Port A")}, 0, 0, 0xFFFFFFFE},
    };
    for (const Case& c : cases) {
        mseq_config().m_DeviceID = c.id;
        mseq_config().m_DeviceName = CkvString(c.name);
        mseq_config().m_DirectMusic = c.direct_music;
        EXPECT_EQ(mrec_settings::check_output_device(c.devices), c.result) << c.name;
        EXPECT_EQ(mseq_config().m_DeviceID, c.id_after) << c.name;
    }
    mseq_config().reset();
}

}  // namespace settings_test
