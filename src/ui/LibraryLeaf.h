#pragma once

#include <memory>
#include <string>

#include "model/core/ref_ptr.h"
#include "model/library/MseqConfig.h"
#include "ui/Session.h"

class MseqMusic;
class MseqObject;

namespace kv_ui {

// A library opened by a command-line tool, and the music or phrase the tool works on. Leaves
// are named as the other tools name nodes (the names from a book down to the leaf joined by '/',
// "Songs/Intro/Theme", or the identifier "0x..."), or by the leaf's name alone when that is
// enough: the first music or phrase of that name in library order. Needs init_program. The UI
// thread only.
class LibraryLeaf {
public:
    // Opens the library file (a host path). False with a message for the user in `error`.
    bool open(const std::string& host_path, std::string* error);

    // The music or phrase leaf named `name` (UTF-8 names), loaded; nullptr with a message in
    // `error` when there is none or it cannot be loaded.
    MseqMusic* find(const std::string& name, std::string* error);

    // The leaf's file name without folder and extension followed by ".mid"; "default.mid" when
    // the leaf has no file of its own or its path is too long.
    std::string default_midi_name(const MseqObject* leaf) const;

    // The leaf node found by the last successful find.
    MseqObject* leaf() const { return leaf_; }

private:
    Library lib_;
    MseqObject* leaf_ = nullptr;
    ref_ptr<MseqEntity> content_;
};

// The program's configuration from "<prog>define\korvante.cfg"; the defaults when the file is
// missing or cannot be read. Needs init_program. The UI thread.
ref_ptr<MseqConfig> load_program_config();

}  // namespace kv_ui
