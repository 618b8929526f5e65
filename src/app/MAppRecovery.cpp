#include "app/MAppRecovery.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "model/core/parse_int.h"
#include "platform/FileSystem.h"
#include "platform/UserFolders.h"

namespace {

constexpr const char* kMagic = "KORVANTE-RECOVERY 1";
constexpr const char* kSuffix = ".kvrec";

int64_t now_seconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A name unique to this run: the process and the start in milliseconds, so that a run never
// writes over the copies an earlier run left for the user to decide on.
std::string run_prefix() {
    const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%013" PRId64 "-%d", ms, static_cast<int>(::getpid()));
    return buffer;
}

bool read_number(const std::string& line, const char* key, int64_t* out) {
    const std::string prefix = std::string(key) + " ";
    if (line.compare(0, prefix.size(), prefix) != 0) return false;
    return parse_int(std::string_view(line).substr(prefix.size()), INT64_MIN, INT64_MAX, out) ==
           parse_int_error::none;
}

}  // namespace

std::string mapp_recovery_key(const CkvString& path) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : path.str()) {
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
        h = (h ^ c) * 1099511628211ull;
    }
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016" PRIx64, h);
    return buffer;
}

MAppRecovery::MAppRecovery(std::string folder) : folder_(std::move(folder)), run_(run_prefix()) {}

std::string MAppRecovery::copy_name(const CkvString& path) const {
    return run_ + "-" + mapp_recovery_key(path) + kSuffix;
}

bool MAppRecovery::keep(const CkvString& path, const std::string& content, std::string* why) {
    if (!enabled()) return true;
    const std::string windows_folder = kv_fs::from_host(folder_);
    if (!kv_fs::create_directories(windows_folder)) {
        if (why) *why = "cannot create the folder " + folder_;
        return false;
    }
    const kv_folders::file_stamp disk = kv_folders::stamp_of(kv_fs::to_host(path.str()));
    std::string text = std::string(kMagic) + "\n";
    text += "path " + path.str() + "\n";
    text += "time " + std::to_string(now_seconds()) + "\n";
    text += "disk " + std::to_string(disk.exists ? 1 : 0) + "\n";
    text += "disk-size " + std::to_string(disk.size) + "\n";
    text += "disk-time " + std::to_string(disk.modified_ns) + "\n";
    text += "size " + std::to_string(content.size()) + "\n\n";
    text += content;
    const std::string name = copy_name(path);
    kv_fs::file_error error;
    if (!kv_fs::write_file_atomic(windows_folder + "\\" + name, text, &error)) {
        if (why) *why = error.text();
        return false;
    }
    if (std::find(written_.begin(), written_.end(), name) == written_.end())
        written_.push_back(name);
    return true;
}

void MAppRecovery::drop_others(const std::vector<CkvString>& still_modified) {
    std::vector<std::string> keep_names;
    for (const CkvString& p : still_modified)
        keep_names.push_back(copy_name(p));
    std::vector<std::string> left;
    for (const std::string& name : written_) {
        if (std::find(keep_names.begin(), keep_names.end(), name) != keep_names.end() ||
            !kv_folders::remove_file(folder_ + "/" + name)) {
            left.push_back(name);
        }
    }
    written_ = left;
}

void MAppRecovery::remove_own() {
    if (!enabled()) return;
    for (const std::string& name : written_)
        kv_folders::remove_file(folder_ + "/" + name);
    written_.clear();
    if (kv_folders::files_in(folder_, "").empty()) kv_folders::remove_empty_folder(folder_);
}

bool MAppRecovery::parse(const std::string& name, const std::string& text, MAppRecoveryEntry* out,
                         size_t* body) const {
    size_t pos = 0;
    std::vector<std::string> lines;
    while (lines.size() < 8) {
        const size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) return false;
        lines.push_back(text.substr(pos, nl - pos));
        pos = nl + 1;
        if (lines.back().empty()) break;
    }
    if (lines.size() != 8 || lines[0] != kMagic || lines[1].compare(0, 5, "path ") != 0)
        return false;
    int64_t existed = 0;
    MAppRecoveryEntry e;
    e.path = CkvString(lines[1].substr(5));
    if (!read_number(lines[2], "time", &e.saved_at) || !read_number(lines[3], "disk", &existed) ||
        !read_number(lines[4], "disk-size", &e.disk_size) ||
        !read_number(lines[5], "disk-time", &e.disk_modified_ns) ||
        !read_number(lines[6], "size", &e.size) || e.size < 0 ||
        static_cast<uint64_t>(e.size) != text.size() - pos) {
        return false;
    }
    e.existed = existed != 0;
    e.copy = folder_ + "/" + name;
    e.own = name.compare(0, run_.size() + 1, run_ + "-") == 0;
    *out = e;
    *body = pos;
    return true;
}

std::vector<MAppRecoveryEntry> MAppRecovery::list(bool include_own) const {
    std::vector<MAppRecoveryEntry> out;
    if (!enabled()) return out;
    for (const std::string& name : kv_folders::files_in(folder_, kSuffix)) {
        std::string text;
        MAppRecoveryEntry e;
        size_t body = 0;
        if (!kv_fs::read_file(kv_fs::from_host(folder_ + "/" + name), &text)) continue;
        if (!parse(name, text, &e, &body) || (e.own && !include_own)) continue;
        out.push_back(e);
    }
    // Names start with the run's start time: the sort by name is oldest run first; within a
    // run, by the time of the copy.
    std::stable_sort(out.begin(), out.end(),
                     [](const MAppRecoveryEntry& a, const MAppRecoveryEntry& b) {
                         return a.saved_at < b.saved_at;
                     });
    return out;
}

bool MAppRecovery::content(const MAppRecoveryEntry& entry, std::string* out) const {
    std::string text;
    MAppRecoveryEntry again;
    size_t body = 0;
    const std::string name = entry.copy.substr(entry.copy.rfind('/') + 1);
    if (!kv_fs::read_file(kv_fs::from_host(entry.copy), &text) ||
        !parse(name, text, &again, &body)) {
        return false;
    }
    *out = text.substr(body);
    return true;
}

bool MAppRecovery::discard(const MAppRecoveryEntry& entry) {
    const bool gone = kv_folders::remove_file(entry.copy);
    if (kv_folders::files_in(folder_, "").empty()) kv_folders::remove_empty_folder(folder_);
    return gone;
}

bool MAppRecovery::changed_on_disk(const MAppRecoveryEntry& entry) {
    const kv_folders::file_stamp now = kv_folders::stamp_of(kv_fs::to_host(entry.path.str()));
    if (now.exists != entry.existed) return true;
    return now.exists && (now.size != entry.disk_size || now.modified_ns != entry.disk_modified_ns);
}
