#pragma once

#include <cstddef>
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

// True when a regular file exists at the Windows-form path.
bool file_exists(std::string_view windows_path);

// Reads the whole file into `out`; false (out cleared) on any error.
bool read_file(std::string_view windows_path, std::string* out);

// Creates the folder and every missing folder above it; false on failure.
bool create_directories(std::string_view windows_folder);

// Writes `data` to the file crash-safe: a temporary file beside the target is written, flushed
// and synced, renamed over the target, and the folder is synced. On any failure the old file
// (if any) is left exactly as it was and false is returned.
bool write_file_atomic(std::string_view windows_path, std::string_view data);

// Test hook: the next atomic writes fail after `bytes` bytes have reached the temporary file
// (std::string::npos switches the fault off).
void set_write_fault_after(size_t bytes);

}  // namespace kv_fs
