#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/core/CkvString.h"

// One recovery copy: the unsaved content of a file, kept apart from the file itself.
struct MAppRecoveryEntry {
    std::string copy;              // host path of the copy in the recovery folder
    CkvString path;                // the file's own path (Windows form)
    int64_t saved_at = 0;          // when the copy was written, seconds since the epoch
    int64_t size = 0;              // bytes of the content kept
    bool existed = false;          // the file existed on disk when the copy was written
    int64_t disk_size = 0;         // its size then
    int64_t disk_modified_ns = 0;  // its modification time then
    bool own = false;              // written by this run (not left by an earlier one)
};

// The recovery folder: crash-safe copies of the modified files' current content, each in one
// file "<run>-<key>.kvrec" (a short header with the file's path, the time and the state of the
// file on disk, then the content), written through the atomic writer so that a copy is either
// the old one or the new one, never a part. Copies are never written over the user's files:
// they live only in this folder. A clean end removes this run's copies; copies left by a run
// that ended otherwise are listed by the next run. User-interface thread.
class MAppRecovery {
public:
    // `folder` is a host path; an empty folder switches everything off (nothing is written and
    // nothing is found).
    explicit MAppRecovery(std::string folder);

    const std::string& folder() const { return folder_; }
    bool enabled() const { return !folder_.empty(); }

    // Keeps a copy of `content` as the current content of the file `path` (Windows form),
    // replacing this run's earlier copy of it. False with the reason in `why` (UTF-8) when the
    // copy could not be written; an earlier copy then stays as it was.
    bool keep(const CkvString& path, const std::string& content, std::string* why);
    // Removes this run's copies of every file not in `still_modified` (saved or discarded since).
    void drop_others(const std::vector<CkvString>& still_modified);
    // Removes every copy this run wrote, and the folder when nothing else is left in it: the end
    // of a run that lost nothing.
    void remove_own();

    // Every readable copy in the folder, oldest first; `include_own` adds this run's.
    std::vector<MAppRecoveryEntry> list(bool include_own) const;
    // The content kept by a copy; false when it cannot be read whole.
    bool content(const MAppRecoveryEntry& entry, std::string* out) const;
    // Deletes one copy (of an earlier run, after it was restored or discarded).
    bool discard(const MAppRecoveryEntry& entry);

    // True when the file on disk is not what it was when the copy was made (saved, replaced or
    // deleted since).
    static bool changed_on_disk(const MAppRecoveryEntry& entry);

private:
    std::string copy_name(const CkvString& path) const;
    bool parse(const std::string& name, const std::string& text, MAppRecoveryEntry* out,
               size_t* body) const;

    std::string folder_;
    std::string run_;  // this run's prefix of the copies' names
    std::vector<std::string> written_;
};

// The key of a file's copies: 16 hexadecimal digits of a hash of its path without regard to
// ASCII case, as the library compares paths. Any thread.
std::string mapp_recovery_key(const CkvString& path);
