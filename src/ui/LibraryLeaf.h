#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/core/ref_ptr.h"
#include "model/library/MseqConfig.h"
#include "ui/Session.h"

class MseqMusic;
class MseqObject;

namespace kv_ui {

// A library opened by a command-line tool, and the music or phrase the tool works on: the one
// lookup of every tool that takes a leaf. Leaves are named as the other tools name nodes (the
// names from a book down to the leaf joined by '/', "Songs/Intro/Theme", or the identifier
// "0x..."), or by the leaf's name alone when that is enough: the first music or phrase of that
// name in library order. Needs init_program. The UI thread only.
class LibraryLeaf {
public:
    // Opens the library file (a host path). False with a message for the user in `error`.
    bool open(const std::string& host_path, std::string* error);

    // The music or phrase leaf named `name` (UTF-8 names), loaded; nullptr with a message in
    // `error` when there is none, a book on the way cannot be read, or the leaf's own file is
    // missing, empty or cannot be read.
    MseqMusic* find(const std::string& name, std::string* error);

    // The first music of the library's books in library order, loaded as find does; nullptr
    // with a message in `error`.
    MseqMusic* first_music(std::string* error);

    // The leaf's file name without folder and extension followed by ".mid"; "default.mid" when
    // the leaf has no file of its own or its path is too long.
    std::string default_midi_name(const MseqObject* leaf) const;

    // True when the host path names a file of the open library (the library file, a book or a
    // leaf file), however it is spelled: an output must never replace one.
    bool owns_file(const std::string& host_path);

    // Messages naming each file the found music could not use since it was found (a chord map,
    // a stage map, a phrase or its book) and why; each file once. Call after a run.
    std::vector<std::string> problems_since_found() const;

    // The leaf node found by the last successful find.
    MseqObject* leaf() const { return leaf_; }

private:
    MseqMusic* load(MseqObject* leaf, const std::string& name, std::string* error);
    // Why no leaf named `name` was found: a book on the way that cannot be read, or none.
    std::string not_found(const std::string& name);

    Library lib_;
    MseqObject* leaf_ = nullptr;
    ref_ptr<MseqEntity> content_;
    size_t problems_mark_ = 0;
};

// Why a tool must not write its output to the host path `output`: it is a file of the open
// library, or something other than a regular file (a folder, device, FIFO or symbolic link);
// empty when it may ("-", standard output, always may). UI thread.
std::string output_refusal(LibraryLeaf& lib, const std::string& output);

// Writes a tool's output: "-" to standard output, anything else crash-safe to that host path
// unless output_refusal forbids it. False with a message naming the file and the reason in
// `error`. UI thread.
bool write_tool_output(LibraryLeaf& lib, const std::string& output, std::string_view bytes,
                       std::string* error);

// Prints on standard error a warning for every file the found music could not use. UI thread.
void print_warnings(const LibraryLeaf& lib);

// The program's configuration from "<prog>define\korvante.cfg"; the defaults when the file is
// missing or cannot be read. Needs init_program. The UI thread.
ref_ptr<MseqConfig> load_program_config();

}  // namespace kv_ui
