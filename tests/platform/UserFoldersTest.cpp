// Where the program finds its application folder (a build folder or an installed prefix), the
// user's folders of the XDG rules, and the copy of a folder that is never seen half made.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/UserFolders.h"

namespace user_folders_test {

namespace fs = std::filesystem;

class Folders : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvfolders-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        root_ = tmpl;
    }
    void TearDown() override { fs::remove_all(root_); }
    void touch(const std::string& rel, const std::string& text = "x") {
        fs::create_directories(fs::path(root_ + "/" + rel).parent_path());
        std::ofstream(root_ + "/" + rel) << text;
    }
    std::string root_;
};

// Sets an environment variable for one scope and restores it afterwards.
class Env {
public:
    Env(const char* name, const char* value) : name_(name) {
        const char* old = ::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~Env() {
        if (had_) {
            ::setenv(name_, old_.c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

}  // namespace user_folders_test

using user_folders_test::Env;
using user_folders_test::Folders;
namespace fs = std::filesystem;

TEST_F(Folders, TheApplicationFolderIsBesideTheProgramOrTheInstalledShareFolder) {
    struct Case {
        const char* name;
        std::vector<const char*> files;  // made below the temporary folder
        const char* exe;
        const char* folder;  // expected, relative to the temporary folder
        bool installed;
    };
    const std::vector<Case> cases = {
        {"build folder",
         {"build/define/mapscale.def", "build/korvante"},
         "build/korvante",
         "build",
         false},
        {"installed prefix",
         {"usr/bin/korvante", "usr/share/korvante/define/mapscale.def"},
         "usr/bin/korvante",
         "usr/share/korvante",
         true},
        // A build folder that happens to be called bin keeps its data beside it.
        {"build folder named bin",
         {"bin/define/mapscale.def", "share/korvante/define/mapscale.def"},
         "bin/korvante",
         "bin",
         false},
        {"bin without share", {"opt/bin/korvante"}, "opt/bin/korvante", "opt/bin", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root_);
        fs::create_directories(root_);
        for (const char* f : c.files)
            touch(f);
        const kv_folders::app_folder app = kv_folders::locate_application(root_ + "/" + c.exe);
        EXPECT_EQ(app.path, root_ + "/" + c.folder);
        EXPECT_EQ(app.installed, c.installed);
        EXPECT_EQ(app.read_only, c.installed);  // the test folders are writable
    }
    EXPECT_EQ(kv_folders::locate_application("").path, "");
}

TEST_F(Folders, AnInstalledFolderNamedDirectlyStaysReadOnly) {
    touch("usr/bin/korvante");
    touch("usr/share/korvante/define/mapscale.def");
    touch("home/app/define/mapscale.def");
    const kv_folders::app_folder installed =
        kv_folders::given_application(root_ + "/usr/share/korvante");
    EXPECT_TRUE(installed.installed);
    EXPECT_TRUE(installed.read_only);
    const kv_folders::app_folder own = kv_folders::given_application(root_ + "/home/app");
    EXPECT_FALSE(own.installed);
    EXPECT_FALSE(own.read_only);
    // A folder that does not exist cannot be written into.
    EXPECT_TRUE(kv_folders::given_application(root_ + "/nowhere").read_only);
}

TEST_F(Folders, UserFoldersFollowTheVariablesElseTheHomeFolder) {
    struct Case {
        const char* value;  // of the XDG variable; nullptr: unset
        const char* home;
        std::string config, data, state;
    };
    const std::vector<Case> cases = {
        {"/x/conf", "/h", "/x/conf", "/x/conf", "/x/conf"},
        {nullptr, "/h", "/h/.config", "/h/.local/share", "/h/.local/state"},
        // A relative value is ignored, as the rules say.
        {"relative/dir", "/h", "/h/.config", "/h/.local/share", "/h/.local/state"},
        {nullptr, nullptr, "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(unset)");
        Env home("HOME", c.home);
        Env config("XDG_CONFIG_HOME", c.value);
        Env data("XDG_DATA_HOME", c.value);
        Env state("XDG_STATE_HOME", c.value);
        EXPECT_EQ(kv_folders::config_home(), c.config);
        EXPECT_EQ(kv_folders::data_home(), c.data);
        EXPECT_EQ(kv_folders::state_home(), c.state);
    }
}

TEST_F(Folders, CopyFolderCopiesEverythingOnceAndLeavesNothingHalfMade) {
    touch("from/library.kvnr", "library");
    touch("from/demo/song.kvnl", "song");
    // An installed folder may be read-only through and through; the user's copy is not.
    fs::permissions(root_ + "/from/demo/song.kvnl", fs::perms(0444));
    fs::permissions(root_ + "/from/demo", fs::perms(0555));
    ASSERT_TRUE(kv_folders::copy_folder(root_ + "/from", root_ + "/user/mymusic"));
    fs::permissions(root_ + "/from/demo", fs::perms(0755));
    for (const char* p : {"/user/mymusic/demo", "/user/mymusic/demo/song.kvnl"}) {
        EXPECT_NE(fs::status(root_ + p).permissions() & fs::perms::owner_write, fs::perms::none)
            << p;
    }
    std::ifstream song(root_ + "/user/mymusic/demo/song.kvnl");
    std::string text;
    song >> text;
    EXPECT_EQ(text, "song");
    EXPECT_FALSE(fs::exists(root_ + "/user/mymusic.part"));
    // An existing target is never copied over, and a missing source makes nothing.
    touch("from/library.kvnr", "changed");
    EXPECT_FALSE(kv_folders::copy_folder(root_ + "/from", root_ + "/user/mymusic"));
    std::ifstream lib(root_ + "/user/mymusic/library.kvnr");
    lib >> text;
    EXPECT_EQ(text, "library");
    EXPECT_FALSE(kv_folders::copy_folder(root_ + "/none", root_ + "/user/other"));
    EXPECT_FALSE(fs::exists(root_ + "/user/other"));
    EXPECT_FALSE(fs::exists(root_ + "/user/other.part"));
}

TEST_F(Folders, StampsListingsAndRemovals) {
    touch("f/a.kvrec", "12345");
    touch("f/b.kvrec", "1");
    touch("f/c.txt", "1");
    const kv_folders::file_stamp a = kv_folders::stamp_of(root_ + "/f/a.kvrec");
    EXPECT_TRUE(a.exists);
    EXPECT_EQ(a.size, 5);
    EXPECT_GT(a.modified_ns, 0);
    EXPECT_FALSE(kv_folders::stamp_of(root_ + "/f").exists);  // a folder is no file
    EXPECT_FALSE(kv_folders::stamp_of(root_ + "/f/none").exists);
    EXPECT_EQ(kv_folders::files_in(root_ + "/f", ".kvrec"),
              (std::vector<std::string>{"a.kvrec", "b.kvrec"}));
    EXPECT_TRUE(kv_folders::files_in(root_ + "/none", "").empty());
    EXPECT_FALSE(kv_folders::remove_empty_folder(root_ + "/f"));
    for (const char* n : {"a.kvrec", "b.kvrec", "c.txt", "c.txt"})
        EXPECT_TRUE(kv_folders::remove_file(root_ + "/f/" + n));
    EXPECT_TRUE(kv_folders::remove_empty_folder(root_ + "/f"));
    EXPECT_FALSE(fs::exists(root_ + "/f"));
}
