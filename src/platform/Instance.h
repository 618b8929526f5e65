#pragma once

#include <string>

// One running copy of the program per user: an exclusive lock on a lock file in the user's
// runtime folder, named after the instance name, and a local socket beside it on which the
// running copy hears a later start ask it to come to the front.
namespace kv_instance {

// The user's runtime folder: $XDG_RUNTIME_DIR, else "/tmp/korvante-<uid>" (created with mode
// 0700). Empty when neither can be had. Any thread.
std::string runtime_folder();

// The lock of the running copy. Not copyable; the lock and the socket are given up when it is
// destroyed. The thread that owns it.
class instance_lock {
public:
    instance_lock() = default;
    instance_lock(const instance_lock&) = delete;
    instance_lock& operator=(const instance_lock&) = delete;
    ~instance_lock();

    // Why acquire failed: another holder has the lock (`system_error` 0), or the lock file
    // `path` could not be made or locked (`system_error` holds the errno).
    struct failure {
        std::string path;
        int system_error = 0;
        bool held_by_another() const { return system_error == 0; }
    };

    // Takes the lock "<folder>/<name>.lock" (creating the folder and the file) and listens on
    // "<folder>/<name>.sock". False when another holder has the lock or the file cannot be made,
    // with which of the two in `why` (may be null).
    bool acquire(const std::string& folder, const std::string& name, failure* why = nullptr);
    // True while the lock is held.
    bool held() const { return lock_fd_ >= 0; }
    // Gives up the lock and the socket; nothing when not held.
    void release();
    // True (once per request) when a later start has asked this copy to come to the front since
    // the last call. Never blocks; false when not held.
    bool take_raise_request();

private:
    int lock_fd_ = -1;
    int listen_fd_ = -1;
    std::string socket_path_;
};

// Asks the copy holding the lock `name` in `folder` to come to the front; false when nobody
// listens. Any thread.
bool ask_running_to_raise(const std::string& folder, const std::string& name);

}  // namespace kv_instance
