// Saves that are killed or cut short leave nothing behind: the temporary file of a writer that
// is gone is removed by the next save into its folder, and a file-size limit fails the save
// instead of killing the process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/FileSystem.h"

namespace file_litter_test {

// A fresh temporary folder, removed afterwards.
class Folder {
public:
    Folder() {
        char tmpl[] = "/tmp/kvlitter-XXXXXX";
        host_ = ::mkdtemp(tmpl);
    }
    ~Folder() { std::filesystem::remove_all(host_); }
    std::string host(const std::string& name) const { return host_ + "/" + name; }
    std::string windows(const std::string& name) const { return kv_fs::from_host(host(name)); }

    // The names in the folder that are temporary files of atomic writes.
    std::vector<std::string> temporaries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(host_)) {
            const std::string name = e.path().filename().string();
            if (name.find(".kvtmp-") != std::string::npos) names.push_back(name);
        }
        return names;
    }

private:
    std::string host_;
};

// A child process, killed and reaped when the test ends however it ends.
class Child {
public:
    explicit Child(pid_t pid) : pid_(pid) {}
    ~Child() { kill_now(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    pid_t pid() const { return pid_; }
    void kill_now() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_;
};

// Waits (up to ten seconds) until a temporary file appears in the folder.
bool wait_for_temporary(const Folder& folder) {
    for (int i = 0; i < 10000; ++i) {
        if (!folder.temporaries().empty()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// The id of a process that has ended (forked, exited and reaped).
pid_t ended_process() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return pid;
}

TEST(FileLitter, AKilledSaveIsClearedByTheNextSaveButALiveOneIsNot) {
    Folder folder;
    const std::string big(8 << 20, 'x');
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Saves the big file over and over until it is killed.
        for (;;)
            kv_fs::write_file_atomic(folder.windows("music.kvnl"), big);
    }
    Child writer(pid);
    ASSERT_TRUE(wait_for_temporary(folder));
    // Stopped in the middle of its save, the writer is still alive: its file stays.
    std::vector<std::string> live;
    for (int attempt = 0; attempt < 1000 && live.empty(); ++attempt) {
        ASSERT_EQ(::kill(pid, SIGSTOP), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
        live = folder.temporaries();
        if (live.empty()) ::kill(pid, SIGCONT);  // caught between two saves
    }
    ASSERT_FALSE(live.empty());
    ASSERT_TRUE(kv_fs::write_file_atomic(folder.windows("other.kvnl"), "other"));
    for (const std::string& name : live)
        EXPECT_TRUE(std::filesystem::exists(folder.host(name))) << name;
    // Killed, its file is litter; the next save into the folder removes it.
    writer.kill_now();
    ASSERT_FALSE(folder.temporaries().empty());
    ASSERT_TRUE(kv_fs::write_file_atomic(folder.windows("other.kvnl"), "again"));
    EXPECT_EQ(folder.temporaries(), std::vector<std::string>{});
    std::string data;
    ASSERT_TRUE(kv_fs::read_file(folder.windows("other.kvnl"), &data));
    EXPECT_EQ(data, "again");
}

// What the sweep at start-up removes: the temporary files of this program whose writer is gone,
// and nothing else.
TEST(FileLitter, TheSweepRemovesOnlyTemporariesOfWritersThatAreGone) {
    Folder folder;
    const std::string dead = std::to_string(ended_process());
    const std::string self = std::to_string(::getpid());
    struct Case {
        std::string name;
        bool old;  // unchanged for two minutes
        bool removed;
    };
    const Case cases[] = {
        {"a.kvnl.kvtmp-" + dead + "-0-0000abcd", false, true},
        {"b.kvnb.kvtmp-" + dead + "-17-DEADbeef", false, true},
        // A live process with that number: still being written, unless untouched for long
        // (the number was given to another process since).
        {"c.kvnl.kvtmp-" + self + "-3-01234567", false, false},
        {"d.kvnl.kvtmp-" + self + "-4-01234567", true, true},
        // Names that are not this program's temporary files.
        {"e.kvnl", true, false},
        {"f.kvtmp-" + dead + "-1-0000abcd", true, true},
        {".kvtmp-" + dead + "-1-0000abcd", true, false},
        {"g.kvnl.kvtmp-" + dead + "-1", true, false},
        {"h.kvnl.kvtmp-" + dead + "-1-0000abcd-2", true, false},
        {"i.kvnl.kvtmp-" + dead + "-x-0000abcd", true, false},
        {"j.kvnl.kvtmp--1-0000abcd", true, false},
        {"k.kvnl.kvtmp-" + dead + "-1-0000abcg", true, false},
    };
    for (const Case& c : cases) {
        std::ofstream(folder.host(c.name)) << "part";
        if (c.old) {
            const auto then =
                std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
            std::filesystem::last_write_time(folder.host(c.name), then);
        }
    }
    // A folder with a temporary file's name is not a file to remove.
    std::filesystem::create_directory(folder.host("l.kvnl.kvtmp-" + dead + "-1-0000abcd"));
    int expected = 0;
    for (const Case& c : cases)
        expected += c.removed ? 1 : 0;
    EXPECT_EQ(kv_fs::remove_stale_temporaries(kv_fs::from_host(folder.host(""))), expected);
    for (const Case& c : cases)
        EXPECT_EQ(std::filesystem::exists(folder.host(c.name)), !c.removed) << c.name;
    EXPECT_TRUE(std::filesystem::is_directory(folder.host("l.kvnl.kvtmp-" + dead + "-1-0000abcd")));
    EXPECT_EQ(kv_fs::remove_stale_temporaries(kv_fs::from_host(folder.host("none"))), 0);
}

// Under `ulimit -f` the save fails with the system's reason, the old file stays and the
// temporary file goes; the process lives on.
TEST(FileLitter, AFileSizeLimitFailsTheSaveInsteadOfKillingTheProcess) {
    Folder folder;
    ASSERT_TRUE(kv_fs::write_file_atomic(folder.windows("music.kvnl"), "old"));
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        struct rlimit limit = {4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        kv_fs::file_error why;
        const bool saved =
            kv_fs::write_file_atomic(folder.windows("music.kvnl"), std::string(100000, 'x'), &why);
        ::_exit(saved ? 10 : why.kind == kv_fs::file_error::system && why.number == EFBIG ? 0 : 11);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(folder.temporaries(), std::vector<std::string>{});
    std::string data;
    ASSERT_TRUE(kv_fs::read_file(folder.windows("music.kvnl"), &data));
    EXPECT_EQ(data, "old");
}

}  // namespace file_litter_test
