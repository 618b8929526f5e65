#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
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
            if (written >= limit) return false;  // the injected fault: a full disk, say
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

void sync_folder(const std::string& host_folder) {
    int fd = ::open(host_folder.empty() ? "/" : host_folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
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

bool file_exists(std::string_view windows_path) {
    std::string host = to_host(windows_path);
    struct stat st;
    return !host.empty() && ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool read_file(std::string_view windows_path, std::string* out) {
    out->clear();
    std::string host = to_host(windows_path);
    if (host.empty()) return false;
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) break;
        out->append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    if (!ok) out->clear();
    return ok;
}

bool create_directories(std::string_view windows_folder) {
    std::string host = to_host(windows_folder);
    if (host.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(host, ec);
    return !ec && std::filesystem::is_directory(host, ec);
}

bool write_file_atomic(std::string_view windows_path, std::string_view data) {
    std::string host = to_host(windows_path);
    if (host.empty() || host.back() == '/') return false;
    std::string folder = host.substr(0, host.rfind('/'));
    std::string temp = host + ".kvtmp-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = write_all(fd, data) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) {
        // Keep the usual permissions of a new file rather than mkstemp's private ones.
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(temp.c_str(), 0666 & ~mask);
        ok = ::rename(temp.c_str(), host.c_str()) == 0;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    sync_folder(folder);
    return true;
}

void set_write_fault_after(size_t bytes) {
    g_write_fault.store(bytes);
}

}  // namespace kv_fs
