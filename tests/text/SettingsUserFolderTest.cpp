// The two settings files of an application folder that is only read: written to the user's
// folder, read from there first and else from the application folder, which is never written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "model/core/MseqPathOps.h"
#include "model/library/MseqConfig.h"
#include "model/theory/MseqMapScale.h"
#include "platform/FileSystem.h"
#include "text/MrecSettings.h"

namespace settings_user_folder_test {

class UserSettings : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvuserset-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        mseq_path::set_program_file(CkvString(kv_fs::from_host(dir_ + "/app/korvante")));
        mrec_settings::set_user_folder(CkvString(kv_fs::from_host(dir_ + "/user/korvante")));
        mseq_config().reset();
        mrec_settings::scale_map().reset();
    }
    void TearDown() override {
        mrec_settings::set_user_folder(CkvString());
        mseq_config().reset();
        mseq_config().flags = MEF_NEW;
        mrec_settings::scale_map().reset();
        mrec_settings::scale_map().flags = MEF_NEW;
        mseq_path::set_program_file(CkvString());
        std::filesystem::remove_all(dir_);
    }
    // Writes a configuration with the cache level `level` through the program's own writer.
    void write_config(const std::string& host, int level) {
        mseq_config().reset();
        mseq_config().m_CacheLevel = level;
        mseq_config().full_path = MseqFullPath(CkvString(kv_fs::from_host(host)));
        ASSERT_TRUE(mrec_settings::save_config());
        mseq_config().reset();
    }
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string dir_;
};

}  // namespace settings_user_folder_test

using settings_user_folder_test::UserSettings;

TEST_F(UserSettings, PathsMapTheDefineFolderToTheUserFolder) {
    struct Case {
        const char* name;
        bool user_file;  // a file exists in the user's folder
        const char* read;
        const char* write;
    };
    const std::vector<Case> cases = {
        {"first start", false, "/app/define/korvante.cfg", "/user/korvante/korvante.cfg"},
        {"later starts", true, "/user/korvante/korvante.cfg", "/user/korvante/korvante.cfg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.user_file) {
            std::filesystem::create_directories(dir_ + "/user/korvante");
            std::ofstream(dir_ + "/user/korvante/korvante.cfg") << "x";
        }
        MseqFullPath read, write;
        ASSERT_TRUE(mrec_settings::settings_paths(mrec_settings::kConfigPath, &read, &write));
        EXPECT_EQ(kv_fs::to_host(read.str()), dir_ + c.read);
        EXPECT_EQ(kv_fs::to_host(write.str()), dir_ + c.write);
    }
    // Without a user folder both stay beside the application, as in a build folder.
    mrec_settings::set_user_folder(CkvString());
    MseqFullPath read, write;
    ASSERT_TRUE(mrec_settings::settings_paths(mrec_settings::kScaleMapPath, &read, &write));
    EXPECT_EQ(kv_fs::to_host(read.str()), dir_ + "/app/define/mapscale.def");
    EXPECT_EQ(read, write);
    // A user folder so deep that the file's path passes the path limit fails.
    mrec_settings::set_user_folder(CkvString("Z:\\" + std::string(250, 'a')));
    EXPECT_FALSE(mrec_settings::settings_paths(mrec_settings::kConfigPath, &read, &write));
}

TEST_F(UserSettings, TheInstalledSettingsAreReadAndTheUsersWrittenBeside) {
    write_config(dir_ + "/app/define/korvante.cfg", 3);
    const std::string installed = read(dir_ + "/app/define/korvante.cfg");

    ASSERT_TRUE(mrec_settings::load_config(mrec_settings::kConfigPath));
    EXPECT_EQ(mseq_config().m_CacheLevel, 3);  // the installed settings are the start
    mseq_config().m_CacheLevel = 4;
    ASSERT_TRUE(mrec_settings::save_config());  // creates the user's folder
    EXPECT_EQ(read(dir_ + "/app/define/korvante.cfg"), installed);
    ASSERT_TRUE(std::filesystem::exists(dir_ + "/user/korvante/korvante.cfg"));

    // The next start reads the user's file, the same bytes a build folder would hold.
    mseq_config().reset();
    ASSERT_TRUE(mrec_settings::load_config(mrec_settings::kConfigPath));
    EXPECT_EQ(mseq_config().m_CacheLevel, 4);
}

TEST_F(UserSettings, TheScaleMapStartsFromTheInstalledOneAndIsSavedToTheUser) {
    ASSERT_TRUE(mrec_settings::load_scale_map(mrec_settings::kScaleMapPath));
    EXPECT_NE(mrec_settings::scale_map().flags & MEF_NEW, 0u);  // neither file exists
    EXPECT_EQ(kv_fs::to_host(mrec_settings::scale_map().full_path.str()),
              dir_ + "/user/korvante/mapscale.def");
    ASSERT_TRUE(mrec_settings::save_scale_map());
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/user/korvante/mapscale.def"));
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/app/define"));
}
