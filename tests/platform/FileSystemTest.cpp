#include "platform/FileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/TextCodec.h"

namespace file_system_test {

// A fresh temporary folder, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        char tmpl[] = "/tmp/kvfs-XXXXXX";
        host_ = ::mkdtemp(tmpl);
    }
    ~TempFolder() { std::filesystem::remove_all(host_); }
    const std::string& host() const { return host_; }
    std::string windows(const std::string& rest = "") const {
        return kv_fs::from_host(host_ + (rest.empty() ? "" : "/" + rest));
    }

private:
    std::string host_;
};

TEST(HostPaths, DriveZIsTheHostRoot) {
    EXPECT_EQ(kv_fs::to_host("Z:\\home\\me\\lib\\library.kvnr"), "/home/me/lib/library.kvnr");
    EXPECT_EQ(kv_fs::to_host("z:\\"), "/");
    EXPECT_EQ(kv_fs::to_host("C:\\x"), "");
    EXPECT_EQ(kv_fs::to_host("x"), "");
    EXPECT_EQ(kv_fs::from_host("/home/me/lib/../x.kvnr"), "Z:\\home\\me\\x.kvnr");
    // Names cross the boundary as UTF-8 on the host and CP932 inside; "ソ" has trail byte 5C.
    const std::string so = kv_codec::cp932_from_utf8("ソ");
    EXPECT_EQ(kv_fs::from_host("/tmp/ソ/a"), "Z:\\tmp\\" + so + "\\a");
    EXPECT_EQ(kv_fs::to_host("Z:\\tmp\\" + so + "\\a"), "/tmp/ソ/a");
}

TEST(AtomicWrite, WritesReadsAndCreatesFolders) {
    TempFolder tmp;
    const std::string file = tmp.windows("sub\\dir\\a.kvnl");
    ASSERT_TRUE(kv_fs::create_directories(tmp.windows("sub\\dir")));
    ASSERT_TRUE(kv_fs::write_file_atomic(file, "first\r\n"));
    EXPECT_TRUE(kv_fs::file_exists(file));
    std::string data;
    ASSERT_TRUE(kv_fs::read_file(file, &data));
    EXPECT_EQ(data, "first\r\n");
    ASSERT_TRUE(kv_fs::write_file_atomic(file, "second"));
    ASSERT_TRUE(kv_fs::read_file(file, &data));
    EXPECT_EQ(data, "second");
    EXPECT_FALSE(kv_fs::read_file(tmp.windows("missing.kvnl"), &data));
    EXPECT_FALSE(kv_fs::file_exists(tmp.windows("sub")));  // a folder is not a file
}

TEST(AtomicWrite, AFailureHalfWayLeavesTheOldFile) {
    TempFolder tmp;
    const std::string file = tmp.windows("a.kvnl");
    ASSERT_TRUE(kv_fs::write_file_atomic(file, "old contents"));
    kv_fs::set_write_fault_after(5);
    EXPECT_FALSE(kv_fs::write_file_atomic(file, std::string(100000, 'x')));
    kv_fs::set_write_fault_after(std::string::npos);
    std::string data;
    ASSERT_TRUE(kv_fs::read_file(file, &data));
    EXPECT_EQ(data, "old contents");
    // No temporary file is left behind.
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(tmp.host())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
    // A write into a folder that does not exist fails without creating anything.
    EXPECT_FALSE(kv_fs::write_file_atomic(tmp.windows("none\\b.kvnl"), "x"));
    EXPECT_FALSE(kv_fs::write_file_atomic("C:\\elsewhere.kvnl", "x"));
}

// Reads take regular files only, and never block on a FIFO or a device.
TEST(RegularFiles, ReadsRefuseWhatIsNotARegularFile) {
    TempFolder tmp;
    ASSERT_EQ(::mkfifo((tmp.host() + "/fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(tmp.host() + "/folder");
    std::filesystem::create_symlink("/dev/zero", tmp.host() + "/zero");
    ASSERT_TRUE(kv_fs::write_file_atomic(tmp.windows("real"), "text"));
    std::filesystem::create_symlink(tmp.host() + "/real", tmp.host() + "/link");
    {
        std::ofstream(tmp.host() + "/huge");
        std::filesystem::resize_file(tmp.host() + "/huge", kv_fs::kMaxReadBytes + 1);
    }
    struct Case {
        std::string path;
        kv_fs::file_error::kind_t kind;
    };
    const Case cases[] = {
        {tmp.windows("fifo"), kv_fs::file_error::not_regular},
        {tmp.windows("folder"), kv_fs::file_error::not_regular},
        {tmp.windows("zero"), kv_fs::file_error::not_regular},
        {kv_fs::from_host("/dev/urandom"), kv_fs::file_error::not_regular},
        {tmp.windows("huge"), kv_fs::file_error::too_large},
        {tmp.windows("none"), kv_fs::file_error::missing},
        {tmp.windows("none\\deeper"), kv_fs::file_error::missing},
    };
    for (const Case& c : cases) {
        std::string data = "old";
        kv_fs::file_error why;
        EXPECT_FALSE(kv_fs::read_file(c.path, &data, &why)) << c.path;
        EXPECT_EQ(why.kind, c.kind) << c.path;
        EXPECT_EQ(data, "") << c.path;
    }
    std::string data;
    kv_fs::file_error why;
    EXPECT_TRUE(kv_fs::read_file(tmp.windows("link"), &data, &why));  // a link to a file is read
    EXPECT_EQ(data, "text");
    EXPECT_EQ(why.kind, kv_fs::file_error::none);
    EXPECT_EQ(kv_fs::file_error{kv_fs::file_error::not_regular}.text(), "not a regular file");
    EXPECT_EQ((kv_fs::file_error{kv_fs::file_error::system, EACCES}.text()), "Permission denied");
}

// Writes replace only regular files, keep their permissions and leave the umask alone.
TEST(RegularFiles, WritesReplaceOnlyRegularFiles) {
    TempFolder tmp;
    ASSERT_EQ(::mkfifo((tmp.host() + "/fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(tmp.host() + "/folder");
    ASSERT_TRUE(kv_fs::write_file_atomic(tmp.windows("real"), "real"));
    std::filesystem::create_symlink(tmp.host() + "/real", tmp.host() + "/link");
    std::filesystem::create_symlink("/proc/self/fd/1", tmp.host() + "/stdout");
    for (const char* name : {"fifo", "folder", "link", "stdout"}) {
        kv_fs::file_error why;
        EXPECT_FALSE(kv_fs::write_file_atomic(tmp.windows(name), "new", &why)) << name;
        EXPECT_EQ(why.kind, kv_fs::file_error::not_regular) << name;
    }
    struct stat st;
    ASSERT_EQ(::lstat((tmp.host() + "/fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(::lstat((tmp.host() + "/link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    std::string data;
    ASSERT_TRUE(kv_fs::read_file(tmp.windows("real"), &data));
    EXPECT_EQ(data, "real");
    EXPECT_FALSE(kv_fs::write_file_atomic(kv_fs::from_host("/dev/null"), "x"));

    // Permissions: a replaced file keeps its own, a new one gets 0666 less the umask, and the
    // process's umask is the same afterwards.
    const mode_t mask = ::umask(027);
    ASSERT_EQ(::chmod((tmp.host() + "/real").c_str(), 0604), 0);
    ASSERT_TRUE(kv_fs::write_file_atomic(tmp.windows("real"), "again"));
    ASSERT_EQ(::stat((tmp.host() + "/real").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    ASSERT_TRUE(kv_fs::write_file_atomic(tmp.windows("new"), "new"));
    ASSERT_EQ(::stat((tmp.host() + "/new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(::umask(mask), 027u);

    // The reason of a failed write is the system's.
    kv_fs::file_error why;
    EXPECT_FALSE(kv_fs::write_file_atomic(tmp.windows("none\\x"), "x", &why));
    EXPECT_EQ(why.text(), "No such file or directory");
    kv_fs::set_write_fault_after(1);
    EXPECT_FALSE(kv_fs::write_file_atomic(tmp.windows("real"), "full disk", &why));
    kv_fs::set_write_fault_after(std::string::npos);
    EXPECT_EQ(why.text(), "No space left on device");
}

TEST(RegularFiles, SameFileSeesThroughSpellingsAndLinks) {
    TempFolder tmp;
    ASSERT_TRUE(kv_fs::write_file_atomic(tmp.windows("a"), "a"));
    std::filesystem::create_symlink(tmp.host() + "/a", tmp.host() + "/b");
    std::filesystem::create_directory(tmp.host() + "/sub");
    EXPECT_TRUE(kv_fs::same_file(tmp.host() + "/a", tmp.host() + "/./sub/../a"));
    EXPECT_TRUE(kv_fs::same_file(tmp.host() + "/a", tmp.host() + "/b"));
    EXPECT_FALSE(kv_fs::same_file(tmp.host() + "/a", tmp.host() + "/none"));
}

}  // namespace file_system_test
