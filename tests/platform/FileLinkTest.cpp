// Files reached through symbolic links: the library's own files are saved through the link (the
// link stays, its target is replaced crash-safe); outputs keep refusing links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "model/core/MseqDesk.h"
#include "model/library/MseqMusic.h"
#include "platform/FileSystem.h"
#include "text/MrecCompiler.h"

namespace file_link_test {

namespace fs = std::filesystem;

// A fresh temporary folder with a subfolder "real", removed afterwards.
class Folder {
public:
    Folder() {
        char tmpl[] = "/tmp/kvlink-XXXXXX";
        host_ = ::mkdtemp(tmpl);
        fs::create_directory(host_ + "/real");
    }
    ~Folder() { fs::remove_all(host_); }
    std::string host(const std::string& name) const { return host_ + "/" + name; }
    std::string windows(const std::string& name) const { return kv_fs::from_host(host(name)); }
    std::string read(const std::string& name) const {
        std::string data;
        kv_fs::read_file(windows(name), &data);
        return data;
    }
    int entries(const std::string& sub) const {
        int n = 0;
        for (const auto& e : fs::directory_iterator(host(sub))) {
            (void)e;
            ++n;
        }
        return n;
    }

private:
    std::string host_;
};

bool is_link(const std::string& host) {
    struct stat st;
    return ::lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

TEST(FileLinks, FollowingWritesThroughEveryKindOfLink) {
    Folder f;
    ASSERT_TRUE(kv_fs::write_file_atomic(f.windows("real/a.kvnl"), "old"));
    ASSERT_EQ(::chmod(f.host("real/a.kvnl").c_str(), 0604), 0);
    fs::create_symlink(f.host("real/a.kvnl"), f.host("absolute.kvnl"));
    fs::create_symlink("real/a.kvnl", f.host("relative.kvnl"));
    fs::create_symlink("relative.kvnl", f.host("chain.kvnl"));
    fs::create_symlink("new.kvnl", f.host("real/dangling.kvnl"));
    struct Case {
        const char* link;
        const char* target;
    };
    const Case cases[] = {
        {"absolute.kvnl", "real/a.kvnl"},
        {"relative.kvnl", "real/a.kvnl"},
        {"chain.kvnl", "real/a.kvnl"},
        {"real/dangling.kvnl", "real/new.kvnl"},  // the target is created
    };
    for (const Case& c : cases) {
        const std::string text = std::string("through ") + c.link;
        kv_fs::file_error why;
        ASSERT_TRUE(
            kv_fs::write_file_atomic(f.windows(c.link), text, &why, kv_fs::link_rule::follow))
            << c.link << ": " << why.text();
        EXPECT_TRUE(is_link(f.host(c.link))) << c.link;
        EXPECT_EQ(f.read(c.target), text) << c.link;
        EXPECT_EQ(f.read(c.link), text) << c.link;
    }
    struct stat st;
    ASSERT_EQ(::stat(f.host("real/a.kvnl").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);  // the target keeps its permissions
    EXPECT_EQ(f.entries("real"), 3);       // a.kvnl, dangling.kvnl, new.kvnl: no temporary file
}

TEST(FileLinks, LinksToWhatIsNotAFileAreRefusedEvenWhenFollowed) {
    Folder f;
    ASSERT_EQ(::mkfifo(f.host("real/fifo").c_str(), 0600), 0);
    fs::create_symlink(f.host("real/fifo"), f.host("fifo.kvnl"));
    fs::create_symlink(f.host("real"), f.host("folder.kvnl"));
    fs::create_symlink("/proc/self/fd/1", f.host("stdout.kvnl"));
    fs::create_symlink("loop-b.kvnl", f.host("loop-a.kvnl"));
    fs::create_symlink("loop-a.kvnl", f.host("loop-b.kvnl"));
    fs::create_symlink("none/x.kvnl", f.host("nofolder.kvnl"));
    const char* const names[] = {"fifo.kvnl", "folder.kvnl", "stdout.kvnl", "loop-a.kvnl",
                                 "nofolder.kvnl"};
    for (const char* name : names) {
        kv_fs::file_error why;
        EXPECT_FALSE(kv_fs::write_file_atomic(f.windows(name), "x", &why, kv_fs::link_rule::follow))
            << name;
        EXPECT_NE(why.kind, kv_fs::file_error::none) << name;
        EXPECT_TRUE(is_link(f.host(name))) << name;
    }
    struct stat st;
    ASSERT_EQ(::lstat(f.host("real/fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(f.entries("real"), 1);
}

TEST(FileLinks, OutputsStillRefuseLinks) {
    Folder f;
    ASSERT_TRUE(kv_fs::write_file_atomic(f.windows("real/a.mid"), "old"));
    fs::create_symlink(f.host("real/a.mid"), f.host("out.mid"));
    kv_fs::file_error why;
    EXPECT_FALSE(kv_fs::write_file_atomic(f.windows("out.mid"), "new", &why));
    EXPECT_EQ(why.kind, kv_fs::file_error::not_regular);
    EXPECT_EQ(f.read("real/a.mid"), "old");
}

// A music whose file is a link loads, changes and saves: the link stays and the file it points
// at holds the change.
TEST(FileLinks, AMusicReachedThroughALinkSavesThroughIt) {
    Folder f;
    {
        MseqMusic first(nullptr);
        first.full_path = MseqFullPath(f.windows("real/song.kvnl"));
        first.m_Tempo = 100;
        ASSERT_TRUE(MrecCompiler::save(&first));
    }
    fs::create_symlink("real/song.kvnl", f.host("song.kvnl"));
    MseqMusic music(nullptr);
    MrecCompiler c;
    ASSERT_TRUE(c.load(&music, MseqFullPath(f.windows("song.kvnl")), true));
    EXPECT_EQ(music.m_Tempo, 100);
    music.m_Tempo = 150;
    MseqDesk::instance().mark_modified(&music);
    kv_fs::file_error why;
    ASSERT_TRUE(MrecCompiler::save(&music, &why)) << why.text();
    EXPECT_EQ(music.flags & MEF_MODIFIED, 0u);
    EXPECT_TRUE(is_link(f.host("song.kvnl")));
    MseqMusic again(nullptr);
    MrecCompiler c2;
    ASSERT_TRUE(c2.load(&again, MseqFullPath(f.windows("real/song.kvnl")), true));
    EXPECT_EQ(again.m_Tempo, 150);
}

}  // namespace file_link_test
