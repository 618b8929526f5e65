#include "platform/UserFolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kv_folders {

namespace {

namespace fs = std::filesystem;

bool is_folder(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec);
}

std::string base_folder(const char* variable, const char* below_home) {
    const char* value = std::getenv(variable);
    // The rules ignore a relative value: it would depend on the working folder.
    if (value && value[0] == '/') return value;
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') return {};
    return (fs::path(home) / below_home).string();
}

}  // namespace

app_folder locate_application(const std::string& exe) {
    app_folder out;
    if (exe.empty()) return out;
    const fs::path own = fs::path(exe).parent_path();
    const fs::path shared = own.parent_path() / "share" / "korvante";
    if (!is_folder(own / "define") && own.filename() == "bin" && is_folder(shared)) {
        out.path = shared.lexically_normal().string();
        out.installed = true;
        out.read_only = true;
        return out;
    }
    out.path = own.string();
    out.read_only = !writable(out.path);
    return out;
}

app_folder given_application(const std::string& folder) {
    app_folder out;
    out.path = folder;
    // An installed folder stays one when it is named directly (as the window program does):
    // the process may be allowed to write there, but the files belong to the package.
    const fs::path p = fs::path(folder).lexically_normal();
    const fs::path dir = p.has_filename() ? p : p.parent_path();
    std::error_code ec;
    out.installed = dir.filename() == "korvante" && dir.parent_path().filename() == "share" &&
                    fs::is_regular_file(dir.parent_path().parent_path() / "bin" / "korvante", ec);
    out.read_only = out.installed || !writable(folder);
    return out;
}

bool writable(const std::string& folder) {
    return !folder.empty() && is_folder(folder) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string config_home() {
    return base_folder("XDG_CONFIG_HOME", ".config");
}

std::string data_home() {
    return base_folder("XDG_DATA_HOME", ".local/share");
}

std::string state_home() {
    return base_folder("XDG_STATE_HOME", ".local/state");
}

bool copy_folder(const std::string& from, const std::string& to) {
    std::error_code ec;
    if (!is_folder(from) || fs::exists(fs::symlink_status(to, ec))) return false;
    const fs::path target(to);
    fs::create_directories(target.parent_path(), ec);
    if (ec) return false;
    const fs::path part = target.parent_path() / (target.filename().string() + ".part");
    fs::remove_all(part, ec);
    // The copy belongs to the user: folders and files get the usual permissions, whatever the
    // read-only originals had, so that the user can save into it.
    fs::create_directories(part, ec);
    for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path to = part / fs::relative(it->path(), from, ec);
        if (ec) break;
        if (it->is_directory(ec)) {
            fs::create_directory(to, ec);
        } else if (!ec && fs::copy_file(it->path(), to, ec)) {
            fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write,
                            fs::perm_options::add, ec);
        }
    }
    if (!ec) fs::rename(part, target, ec);
    if (ec) {
        fs::remove_all(part, ec);
        return false;
    }
    return true;
}

file_stamp stamp_of(const std::string& host_path) {
    file_stamp out;
    struct stat st {};
    if (::stat(host_path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return out;
    out.exists = true;
    out.size = static_cast<int64_t>(st.st_size);
    out.modified_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return out;
}

std::vector<std::string> files_in(const std::string& folder, const std::string& suffix) {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code type_ec;
        if (!it->is_regular_file(type_ec) || name.size() < suffix.size()) continue;
        if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            out.push_back(name);
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool remove_file(const std::string& host_path) {
    return ::unlink(host_path.c_str()) == 0 || errno == ENOENT;
}

bool remove_empty_folder(const std::string& folder) {
    return ::rmdir(folder.c_str()) == 0 || errno == ENOENT;
}

}  // namespace kv_folders
