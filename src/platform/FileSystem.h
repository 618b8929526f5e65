#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The file-system boundary. The program works with Windows-form CP932 paths; here they meet the
// host: drive Z: is the host root, backslashes become slashes and the bytes become UTF-8.
// Any thread, but callers keep one file to one thread at a time.
namespace kv_fs {

// The host path of a Windows-form path on drive Z: ("Z:\home\me\x" -> "/home/me/x"); empty
// when the path is on another drive or not absolute.
std::string to_host(std::string_view windows_path);

// The Windows-form path of a host path, made absolute against the working folder and
// normalised ("/home/me/x" -> "Z:\home\me\x"); empty when the working folder is unknown.
std::string from_host(std::string_view host_path);

// The largest file the program reads: far above any real library, configuration or MIDI
// file, and low enough that a hostile file cannot run the process out of memory.
inline constexpr uint64_t kMaxReadBytes = uint64_t{1} << 30;

// Why a file could not be read or written.
struct file_error {
    enum kind_t {
        none,
        missing,      // nothing exists at the path
        not_regular,  // a folder, device, FIFO, socket (or, for writes, a symbolic link)
        too_large,    // larger than kMaxReadBytes
        system,       // the system refused; `number` holds its errno
    };
    kind_t kind = none;
    int number = 0;

    // A short English text for the user ("not a regular file", the system's error text, ...).
    // Any thread.
    std::string text() const;
};

// True when a regular file (or a symbolic link to one) exists at the Windows-form path.
bool file_exists(std::string_view windows_path);

// True when anything at all (file, folder, device, dangling link) exists at the path.
bool path_exists(std::string_view windows_path);

// Reads a whole regular file (or a file a symbolic link points at) into `out`. Folders, devices,
// FIFOs and sockets are refused without being read, and so is a file larger than
// kMaxReadBytes. False (out cleared, the reason in `why` when given) on any error. Every read of
// a library, book, leaf, configuration or scale-map file goes through here.
bool read_file(std::string_view windows_path, std::string* out, file_error* why = nullptr);

// Creates the folder and every missing folder above it; false on failure.
bool create_directories(std::string_view windows_folder);

// What an atomic write does with a symbolic link at the path.
enum class link_rule {
    refuse,  // the link is left untouched and the write fails (outputs of export and render)
    follow,  // the file the link points at is replaced and the link stays (the library's files)
};

// Writes `data` to the file crash-safe: a temporary file beside the target is written, flushed
// and synced, renamed over the target, and the folder is synced. Only a regular file is
// replaced, keeping its permissions; a new file gets the usual permissions of the process's
// umask. A folder, device, FIFO or socket at the path is refused untouched, and so is a symbolic
// link unless `links` says to follow it: then the link's target (found through every link of a
// chain; a target that does not exist yet is created) is written the same way. A file-size limit
// fails the write with EFBIG instead of ending the process. On any failure the old file (if any)
// is left exactly as it was, no temporary file stays, and false is returned with the reason in
// `why` when given.
bool write_file_atomic(std::string_view windows_path, std::string_view data,
                       file_error* why = nullptr, link_rule links = link_rule::refuse);

// Removes the temporary files that atomic writes of this program left in the folder when their
// writer was killed (a writer still at work keeps its file locked and it is left alone). Every
// atomic write sweeps its own folder first; start-up sweeps the program's folders. Returns how
// many were removed; 0 also when the folder cannot be read. Any thread.
int remove_stale_temporaries(std::string_view windows_folder);

// True when both host paths name the same existing file (same device and inode, so links and
// other spellings count). Any thread.
bool same_file(const std::string& host_a, const std::string& host_b);

// Test hook: the next atomic writes fail after `bytes` bytes have reached the temporary file
// (std::string::npos switches the fault off).
void set_write_fault_after(size_t bytes);

}  // namespace kv_fs
