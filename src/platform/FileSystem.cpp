#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
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

// Creates a new temporary file beside `host` (mode 0666 less the umask, as a new file gets)
// and returns its descriptor, or -1 with errno set.
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
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

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

bool write_file_atomic(std::string_view windows_path, std::string_view data, file_error* why) {
    file_error ignored;
    file_error& error = why ? *why : ignored;
    error = file_error{};
    std::string host = to_host(windows_path);
    if (host.empty() || host.back() == '/') {
        error = {file_error::missing, ENOENT};
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
    std::string folder = host.substr(0, host.rfind('/'));
    std::string temp;
    int fd = open_temporary(host, &temp);
    if (fd < 0) {
        error = {file_error::system, errno};
        return false;
    }
    bool ok = write_all(fd, data);
    // The replacement keeps the permissions of the file it replaces; a new file was created
    // with 0666 less the umask, as any new file.
    if (ok && replaces) ok = ::fchmod(fd, old.st_mode & 07777) == 0;
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
        error = {file_error::system, saved ? saved : EIO};
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
