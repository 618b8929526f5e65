#include "platform/Instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace kv_instance {

namespace {

bool make_address(const std::string& path, sockaddr_un* address) {
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (path.size() >= sizeof address->sun_path) return false;
    std::memcpy(address->sun_path, path.data(), path.size());
    return true;
}

}  // namespace

std::string runtime_folder() {
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) return xdg;
    std::string folder = "/tmp/korvante-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    return folder;
}

instance_lock::~instance_lock() {
    release();
}

bool instance_lock::acquire(const std::string& folder, const std::string& name, failure* why) {
    release();
    const std::string lock_path = folder + "/" + name + ".lock";
    const auto fail = [&](int number) {
        if (why) *why = failure{lock_path, number};
        return false;
    };
    // Without a runtime folder there is nowhere to put the lock.
    if (folder.empty()) return fail(ENOENT);
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    const int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int number = errno;
        // A folder that could not be made is the first cause: its error says more.
        return fail(made && number == ENOENT ? made.value() : number);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int number = errno;
        ::close(fd);
        return fail(number == EWOULDBLOCK ? 0 : number);
    }
    if (why) *why = failure{};
    lock_fd_ = fd;
    // The socket is only for raising the window: without it the lock still holds.
    socket_path_ = folder + "/" + name + ".sock";
    sockaddr_un address;
    if (!make_address(socket_path_, &address)) return true;
    ::unlink(socket_path_.c_str());  // left by a copy that ended without cleaning up
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s < 0) return true;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(s, 4) != 0) {
        ::close(s);
        return true;
    }
    listen_fd_ = s;
    return true;
}

void instance_lock::release() {
    if (listen_fd_ >= 0) {
        ::close(listen_fd_);
        ::unlink(socket_path_.c_str());
        listen_fd_ = -1;
    }
    if (lock_fd_ >= 0) {
        ::flock(lock_fd_, LOCK_UN);
        ::close(lock_fd_);
        lock_fd_ = -1;
    }
}

bool instance_lock::take_raise_request() {
    if (listen_fd_ < 0) return false;
    bool asked = false;
    for (;;) {
        const int c = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) break;
        asked = true;
        ::close(c);
    }
    return asked;
}

bool ask_running_to_raise(const std::string& folder, const std::string& name) {
    sockaddr_un address;
    if (!make_address(folder + "/" + name + ".sock", &address)) return false;
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    // The connection itself is the request; the text only makes it readable in a trace.
    if (ok && ::write(s, "raise\n", 6) < 0) {
    }
    ::close(s);
    return ok;
}

}  // namespace kv_instance
