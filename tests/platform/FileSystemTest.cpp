#include "platform/FileSystem.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/TextCodec.h"

namespace {

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

}  // namespace
