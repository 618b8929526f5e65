// The single-instance lock and the shell opener.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Instance.h"
#include "platform/Shell.h"

namespace instance_test {

class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvinst-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string dir_;
};

TEST_F(InstanceTest, OneHolderPerNameAndFolder) {
    kv_instance::instance_lock first, second, other_name;
    ASSERT_TRUE(first.acquire(dir_, "app"));
    EXPECT_TRUE(first.held());
    EXPECT_FALSE(second.acquire(dir_, "app"));
    EXPECT_FALSE(second.held());
    EXPECT_TRUE(other_name.acquire(dir_, "other"));
    first.release();
    EXPECT_FALSE(first.held());
    EXPECT_TRUE(second.acquire(dir_, "app"));
}

TEST_F(InstanceTest, AFailureSaysWhetherAnotherHolderHasTheLockOrWhyTheFileCannotBeMade) {
    kv_instance::instance_lock first, second;
    kv_instance::instance_lock::failure why{"left over", 99};
    ASSERT_TRUE(first.acquire(dir_, "app", &why));
    EXPECT_TRUE(why.path.empty());
    ASSERT_FALSE(second.acquire(dir_, "app", &why));
    EXPECT_TRUE(why.held_by_another());
    EXPECT_EQ(why.path, dir_ + "/app.lock");

    // A file where the folder should be, a folder where the lock file should be, no folder.
    std::ofstream(dir_ + "/file") << "x";
    std::filesystem::create_directories(dir_ + "/dir/app.lock");
    const struct {
        std::string folder;
        int error;
    } cases[] = {
        {dir_ + "/file", ENOTDIR},
        {dir_ + "/file/below", ENOTDIR},
        {dir_ + "/dir", EISDIR},
        {"", ENOENT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        kv_instance::instance_lock lock;
        ASSERT_FALSE(lock.acquire(c.folder, "app", &why));
        EXPECT_FALSE(lock.held());
        EXPECT_FALSE(why.held_by_another());
        EXPECT_EQ(why.system_error, c.error);
        EXPECT_EQ(why.path, c.folder + "/app.lock");
    }
}

TEST_F(InstanceTest, ALaterStartAsksTheHolderToRaise) {
    kv_instance::instance_lock holder;
    EXPECT_FALSE(kv_instance::ask_running_to_raise(dir_, "app"));  // nobody listens
    ASSERT_TRUE(holder.acquire(dir_ + "/made/here", "app"));
    EXPECT_FALSE(holder.take_raise_request());
    EXPECT_TRUE(kv_instance::ask_running_to_raise(dir_ + "/made/here", "app"));
    EXPECT_TRUE(kv_instance::ask_running_to_raise(dir_ + "/made/here", "app"));
    EXPECT_TRUE(holder.take_raise_request());  // both requests at once
    EXPECT_FALSE(holder.take_raise_request());
    holder.release();
    EXPECT_FALSE(kv_instance::ask_running_to_raise(dir_ + "/made/here", "app"));
}

TEST_F(InstanceTest, RuntimeFolderIsUsable) {
    const std::string folder = kv_instance::runtime_folder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST_F(InstanceTest, ShellAnswersFileNotFoundForMissingDocuments) {
    auto shell = kv_shell::make_desktop_shell();
    EXPECT_EQ(shell->open(dir_ + "/missing.html"), kv_shell::kFileNotFound);
    kv_shell::shell_recorder recorder(kv_shell::kNoAssociation);
    std::ofstream(dir_ + "/there.html") << "x";
    EXPECT_EQ(recorder.open(dir_ + "/missing.html"), kv_shell::kFileNotFound);
    EXPECT_EQ(recorder.open(dir_ + "/there.html"), kv_shell::kNoAssociation);
    EXPECT_EQ(recorder.opened.size(), 2u);
}

}  // namespace instance_test
