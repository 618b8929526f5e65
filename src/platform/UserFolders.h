#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Where the program finds its own files and where it may write: the application folder (a build
// folder beside the program, or the installed one under <prefix>/share/korvante) and the user's
// folders of the XDG base-directory rules. Host paths throughout. Any thread.
namespace kv_folders {

// The application folder and whether the program may write into it.
struct app_folder {
    std::string path;        // host path; empty when the program file is unknown
    bool installed = false;  // found as <prefix>/share/korvante beside <prefix>/bin
    // True when what the program writes (settings, scale map, copies of the demo) must go to the
    // user's folders: an installed folder, or one the process cannot write into.
    bool read_only = false;
};

// The application folder of the program file `exe`: its own folder when the data lies beside it
// (a build folder has "define" there), else "<prefix>/share/korvante" when the program lies in
// "<prefix>/bin" and that folder exists, else its own folder. An empty `exe` gives an empty
// path.
app_folder locate_application(const std::string& exe);

// The application folder named by `--home DIR`, taken as it is: installed when it is a
// "<prefix>/share/korvante" with the program in "<prefix>/bin"; read-only then or when the
// process cannot write into it.
app_folder given_application(const std::string& folder);

// True when the process may create files in the existing folder `folder`.
bool writable(const std::string& folder);

// The user's folders: the variable when it holds an absolute path, else the default below
// $HOME ("~/.config", "~/.local/share", "~/.local/state"); empty when neither is known.
std::string config_home();  // XDG_CONFIG_HOME
std::string data_home();    // XDG_DATA_HOME
std::string state_home();   // XDG_STATE_HOME

// Copies the folder `from` with everything in it to `to`, which must not exist: the copy is made
// beside it under a temporary name and renamed into place, so that an interrupted copy never
// looks like a finished one. False (and nothing at `to`) on any failure.
bool copy_folder(const std::string& from, const std::string& to);

// The size and modification time of a file, to tell later whether it changed.
struct file_stamp {
    bool exists = false;
    int64_t size = 0;
    int64_t modified_ns = 0;  // modification time, nanoseconds since the epoch
};
// The stamp of the regular file at `host_path` (exists false when there is none).
file_stamp stamp_of(const std::string& host_path);

// The names (not paths) of the regular files in `folder` that end with `suffix`, sorted; empty
// when the folder cannot be read.
std::vector<std::string> files_in(const std::string& folder, const std::string& suffix);

// Removes the file; true when it is gone afterwards (also when it never was there).
bool remove_file(const std::string& host_path);

// Removes the folder when it holds nothing; false when it is still there.
bool remove_empty_folder(const std::string& folder);

}  // namespace kv_folders
