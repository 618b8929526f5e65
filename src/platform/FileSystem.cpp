#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/TextCodec.h"

namespace kv_fs {

namespace {

std::atomic<size_t> g_write_fault{std::string::npos};

bool write_all(int fd, std::string_view data) {
    size_t limit = g_write_fault.load();
    size_t written = 0;
    while (written < data.size()) {
        size_t chunk = data.size() - written;
        if (limit != std::string::npos) {
            if (written >= limit) {
                errno = ENOSPC;  // the injected fault: a full disk
                return false;
            }
            chunk = std::min(chunk, limit - written);
        }
        ssize_t n = ::write(fd, data.data() + written, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

file_error fail_with(int number) {
    if (number == ENOENT || number == ENOTDIR) return {file_error::missing, number};
    return {file_error::system, number};
}

void sync_folder(const std::string& host_folder) {
    int fd = ::open(host_folder.empty() ? "/" : host_folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

constexpr std::string_view kTempMark = ".kvtmp-";

// A file-size limit (ulimit -f) would end the process with SIGXFSZ in the middle of a save;
// ignored, the write fails with EFBIG instead and the save can clean up and report it. Only the
// default action is replaced: a handler the program set itself is kept.
void ignore_file_size_signal() {
    static const bool done = [] {
        struct sigaction old {};
        if (::sigaction(SIGXFSZ, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            ::sigemptyset(&ignore.sa_mask);
            ::sigaction(SIGXFSZ, &ignore, nullptr);
        }
        return true;
    }();
    (void)done;
}

// Creates a new temporary file beside `host` (mode 0666 less the umask, as a new file gets)
// and returns its descriptor, or -1 with errno set. The name carries the writer's process id,
// and the file stays locked while it is written, so that a later sweep can tell the file of a
// writer that is gone from one still being written.
int open_temporary(const std::string& host, std::string* temp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[64];
        std::snprintf(
            suffix, sizeof suffix, ".kvtmp-%d-%u-%08x", static_cast<int>(::getpid()),
            counter.fetch_add(1),
            static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
        *temp = host + suffix;
        int fd = ::open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX);  // new and ours alone: cannot block
            return fd;
        }
        if (errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// The writer's process id when `name` is a temporary file of an atomic write
// ("NAME.kvtmp-PID-COUNT-HEX8"), else 0.
long temporary_writer(std::string_view name) {
    const size_t mark = name.rfind(kTempMark);
    if (mark == std::string_view::npos || mark == 0) return 0;
    std::string_view rest = name.substr(mark + kTempMark.size());
    long pid = 0;
    int parts = 0;
    size_t digits = 0;
    for (size_t i = 0; i <= rest.size(); ++i) {
        const char c = i < rest.size() ? rest[i] : '-';
        if (c == '-') {
            if (digits == 0) return 0;
            ++parts;
            digits = 0;
            continue;
        }
        const bool hex = parts == 2 && std::isxdigit(static_cast<unsigned char>(c));
        if (!hex && !std::isdigit(static_cast<unsigned char>(c))) return 0;
        if (parts == 0) {
            if (pid > 99999999) return 0;
            pid = pid * 10 + (c - '0');
        }
        ++digits;
    }
    return parts == 3 && pid > 0 ? pid : 0;
}

// True when the temporary file `name` in the open folder `dir_fd` belongs to no live writer:
// nobody holds its lock, and its writer's process is gone (or, when the number has been given to
// another process since, the file has not changed for a minute; a writer only leaves its file
// unlocked for the moment between creating and locking it).
bool temporary_is_stale(int dir_fd, const char* name, long pid) {
    int fd = ::openat(dir_fd, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st;
    bool stale =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (stale && !(::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH))
        stale = ::time(nullptr) - st.st_mtime > 60;
    ::close(fd);
    return stale;
}

int sweep_folder(const std::string& host_folder) {
    DIR* dir = ::opendir(host_folder.empty() ? "/" : host_folder.c_str());
    if (!dir) return 0;
    int removed = 0;
    const int dir_fd = ::dirfd(dir);
    while (const struct dirent* entry = ::readdir(dir)) {
        const long pid = temporary_writer(entry->d_name);
        if (pid == 0 || !temporary_is_stale(dir_fd, entry->d_name, pid)) continue;
        if (::unlinkat(dir_fd, entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

}  // namespace

int remove_stale_temporaries(std::string_view windows_folder) {
    std::string host = to_host(windows_folder);
    return host.empty() ? 0 : sweep_folder(host);
}

std::string to_host(std::string_view windows_path) {
    if (windows_path.size() < 3 || (windows_path[0] != 'Z' && windows_path[0] != 'z') ||
        windows_path[1] != ':' || windows_path[2] != '\\')
        return {};
    std::string utf8 = kv_codec::utf8_from_cp932(windows_path.substr(2));
    for (char& c : utf8) {
        if (c == '\\') c = '/';
    }
    return utf8;
}

std::string from_host(std::string_view host_path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(host_path), ec);
    if (ec) return {};
    std::string normal = p.lexically_normal().string();
    if (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    for (char& c : normal) {
        if (c == '/') c = '\\';
    }
    return "Z:" + kv_codec::cp932_from_utf8(normal);
}

std::string file_error::text() const {
    switch (kind) {
        case none:
            return "no error";
        case missing:
            return "no such file or folder";
        case not_regular:
            return "not a regular file";
        case too_large:
            return "larger than 1 GiB";
        case system:
            break;
    }
    return std::strerror(number);
}

bool file_exists(std::string_view windows_path) {
    std::string host = to_host(windows_path);
    struct stat st;
    return !host.empty() && ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool path_exists(std::string_view windows_path) {
    std::string host = to_host(windows_path);
    struct stat st;
    return !host.empty() && ::lstat(host.c_str(), &st) == 0;
}

bool read_file(std::string_view windows_path, std::string* out, file_error* why) {
    out->clear();
    file_error ignored;
    file_error& error = why ? *why : ignored;
    error = file_error{};
    std::string host = to_host(windows_path);
    if (host.empty()) {
        error = {file_error::missing, ENOENT};
        return false;
    }
    // Checked before opening: opening a FIFO or a device can block or have effects of its own.
    struct stat st;
    if (::stat(host.c_str(), &st) != 0) {
        error = fail_with(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = {file_error::not_regular, 0};
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) > kMaxReadBytes) {
        error = {file_error::too_large, 0};
        return false;
    }
    // Non-blocking, so that a FIFO swapped in after the check cannot hold the read.
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error = fail_with(errno);
        return false;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = {file_error::not_regular, 0};
        return false;
    }
    out->reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = fail_with(errno);
            break;
        }
        if (n == 0) break;
        if (out->size() + static_cast<size_t>(n) > kMaxReadBytes) {
            error = {file_error::too_large, 0};  // the file grew while it was read
            break;
        }
        out->append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    if (error.kind != file_error::none) {
        out->clear();
        return false;
    }
    return true;
}

bool create_directories(std::string_view windows_folder) {
    std::string host = to_host(windows_folder);
    if (host.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(host, ec);
    return !ec && std::filesystem::is_directory(host, ec);
}

namespace {

// The file a chain of symbolic links at `host` ends in (`host` itself when it is no link); false
// with errno set for a chain that loops or is too long. The end may not exist yet.
bool follow_links(std::string host, std::string* target) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st;
        if (::lstat(host.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            *target = std::move(host);
            return true;
        }
        std::error_code ec;
        const std::filesystem::path next = std::filesystem::read_symlink(host, ec);
        if (ec) {
            errno = ec.value();
            return false;
        }
        const std::filesystem::path here(host);
        host = (next.is_absolute() ? next : here.parent_path() / next).lexically_normal().string();
    }
    errno = ELOOP;
    return false;
}

// Writes a temporary file beside `host`, gives it `mode` when the target exists, and renames
// it over the target; false with errno set (and the temporary file gone) on any failure.
bool replace_file(const std::string& host, std::string_view data, const struct stat* old) {
    std::string temp;
    int fd = open_temporary(host, &temp);
    if (fd < 0) return false;
    bool ok = write_all(fd, data);
    // The replacement keeps the permissions of the file it replaces; a new file was created
    // with 0666 less the umask, as any new file.
    if (ok && old) ok = ::fchmod(fd, old->st_mode & 07777) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    int saved = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(temp.c_str(), host.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        errno = saved ? saved : EIO;
    }
    return ok;
}

}  // namespace

bool write_file_atomic(std::string_view windows_path, std::string_view data, file_error* why,
                       link_rule links) {
    file_error ignored;
    file_error& error = why ? *why : ignored;
    error = file_error{};
    std::string host = to_host(windows_path);
    if (host.empty() || host.back() == '/') {
        error = {file_error::missing, ENOENT};
        return false;
    }
    if (links == link_rule::follow && !follow_links(host, &host)) {
        error = {file_error::system, errno};
        return false;
    }
    // Only a regular file is replaced: renaming over a device, a FIFO or a link (a link to
    // /proc/self/fd/1 is standard output) would swap it for a plain file.
    struct stat old;
    const bool replaces = ::lstat(host.c_str(), &old) == 0;
    if (replaces && !S_ISREG(old.st_mode)) {
        error = {file_error::not_regular, 0};
        return false;
    }
    const std::string folder = host.substr(0, host.rfind('/'));
    ignore_file_size_signal();
    sweep_folder(folder);
    if (!replace_file(host, data, replaces ? &old : nullptr)) {
        error = {file_error::system, errno};
        return false;
    }
    sync_folder(folder);
    return true;
}

bool same_file(const std::string& host_a, const std::string& host_b) {
    struct stat a, b;
    return ::stat(host_a.c_str(), &a) == 0 && ::stat(host_b.c_str(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void set_write_fault_after(size_t bytes) {
    g_write_fault.store(bytes);
}

}  // namespace kv_fs
