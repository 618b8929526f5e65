// Every test program runs with user folders of its own: the recovery copies, the single-instance
// lock and the settings of the person running the tests (or of a Korvante they have open) must
// neither reach a test nor be touched by one. The folders are made before the first test runs,
// handed to every program a test starts through the environment, and removed at the end.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace private_user_folders {

class PrivateUserFolders {
public:
    PrivateUserFolders() {
        char tmpl[] = "/tmp/kvtest-user-XXXXXX";
        if (!::mkdtemp(tmpl)) return;
        root_ = tmpl;
        use("XDG_CONFIG_HOME", "config");
        use("XDG_DATA_HOME", "data");
        use("XDG_STATE_HOME", "state");
        use("XDG_RUNTIME_DIR", "run");
        ::chmod((root_ + "/run").c_str(), 0700);  // the runtime folder's rule
    }
    ~PrivateUserFolders() {
        // Only the process that made them removes them: a forked child that exits must not.
        if (root_.empty() || ::getpid() != owner_) return;
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

private:
    void use(const char* variable, const char* folder) {
        const std::string path = root_ + "/" + folder;
        std::error_code ec;
        std::filesystem::create_directories(path, ec);
        ::setenv(variable, path.c_str(), 1);
    }

    std::string root_;
    pid_t owner_ = ::getpid();
};

const PrivateUserFolders folders;

}  // namespace private_user_folders
