#include "ui/LibraryLeaf.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "app/MAppProblem.h"
#include "model/core/CkvText.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "model/core/MseqType.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "text/MrecCompiler.h"
#include "text/MrecSettings.h"
#include "ui/Terminal.h"

namespace kv_ui {

namespace {

bool playable(const MseqObject* node) {
    return node->type == MTYPE_LEAF_MUSIC || node->type == MTYPE_LEAF_PHRASE;
}

const char* kind_word(const MseqObject* node) {
    return node->type == MTYPE_LEAF_PHRASE ? "phrase" : "music";
}

// The first music or phrase named `name` below `node`, in library order, opening books on the
// way.
MseqObject* search(Library& lib, MseqObject* node, const CkvString& name) {
    for (MseqObject* child = node->first_child(); child; child = child->next()) {
        if (playable(child) && child->name == name) return child;
        if (mseq_type_category(child->type) == MCAT_BOOK) lib.open_node(child);
        if (MseqObject* found = search(lib, child, name)) return found;
    }
    return nullptr;
}

// When `path`, the file of `node`, is already the file of another node of the open library,
// what is wrong, for the user; empty otherwise.
std::string shared_file(Library& lib, MseqObject* node, const MseqFullPath& path) {
    MseqObject* top = lib.room_node();
    const MseqObject* n = mapp_file_owner(top, node, path);
    if (!n) return {};
    const std::string what = "its path " + terminal_quoted(node->path) + " names ";
    if (n == top) return what + "the library file itself, not a file of its own";
    if (mseq_type_category(n->type) == MCAT_BOOK) {
        const bool own = mseq_find_book_ancestor(node) == n;
        return what + "the file of " + (own ? "its own book " : "the book ") +
               terminal_quoted(n->name) + ", not a file of its own";
    }
    return what + "the file of the " + (playable(n) ? kind_word(n) : "leaf") + " " +
           terminal_quoted(n->name) + ", not a file of its own";
}

// Why a book's leaves cannot be listed: its file is missing, empty or unreadable; empty when
// the book was read.
std::string book_problem(Library& lib, MseqObject* book) {
    ref_ptr<MseqEntity> e = lib.open_node(book);
    const auto* read = e->cast_to<MseqBook>(MTYPE_BOOK);
    if (read && !(read->flags & MEF_NEW)) return {};
    MseqFullPath path;
    if (!mseq_path::resolve(book, false, &path))
        return "its path " + terminal_quoted(book->path) + " names no file";
    if (std::string shared = shared_file(lib, book, path); !shared.empty())
        return path_text(path) + ": " + shared;
    return problem_message(lib.problem_of(book, path));
}

}  // namespace

bool LibraryLeaf::open(const std::string& host_path, std::string* error) {
    if (lib_.open(host_path)) return true;
    *error = lib_.problem.absent ? "no library file at " + host_path
                                 : "cannot open the library " + problem_message(lib_.problem);
    return false;
}

MseqMusic* LibraryLeaf::find(const std::string& name, std::string* error) {
    leaf_ = nullptr;
    content_ = nullptr;
    if (!lib_.room_node()) {
        *error = "no library is open";
        return nullptr;
    }
    MseqObject* leaf = lib_.find(name);
    if ((!leaf || !playable(leaf)) && name.find('/') == std::string::npos)
        leaf = search(lib_, lib_.room_node(), ckv_from_utf8(name));
    if (!leaf || !playable(leaf)) {
        *error = not_found(name);
        return nullptr;
    }
    return load(leaf, name, error);
}

MseqMusic* LibraryLeaf::first_music(std::string* error) {
    leaf_ = nullptr;
    content_ = nullptr;
    if (!lib_.room_node()) {
        *error = "no library is open";
        return nullptr;
    }
    lib_.open_books();
    MseqObject* top = lib_.room_node();
    for (MseqObject* n = top; n; n = n->next_in(top)) {
        if (n->type == MTYPE_LEAF_MUSIC) return load(n, terminal_text(n->display_path()), error);
    }
    *error = not_found("");
    return nullptr;
}

std::string LibraryLeaf::not_found(const std::string& name) {
    std::string text = name.empty() ? std::string("no music in the library")
                                    : "no music or phrase named '" + name + "' in the library";
    // A book that cannot be read may well hold the leaf: say so, rather than only "not there".
    const std::string cp932 = kv_codec::cp932_from_utf8(name);
    const size_t slash = cp932.find('/');
    for (MseqObject* b = lib_.room_node()->first_child(); b; b = b->next()) {
        if (slash != std::string::npos && b->name != CkvString(cp932.substr(0, slash))) continue;
        const std::string why = book_problem(lib_, b);
        if (!why.empty())
            text += "; the book " + terminal_quoted(b->name) + " cannot be read: " + why;
    }
    return text;
}

MseqMusic* LibraryLeaf::load(MseqObject* leaf, const std::string& name, std::string* error) {
    content_ = lib_.open_node(leaf);
    auto* music = content_->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    const std::string what =
        std::string("cannot read the ") + kind_word(leaf) + " '" + name + "': ";
    if (leaf->is_with()) {
        // Its content is part of its book's file, which was read.
        if (!music) {
            *error = what + "its content in the book cannot be read";
            return nullptr;
        }
    } else {
        MseqFullPath path;
        if (!mseq_path::resolve(leaf, false, &path)) {
            *error = what + "its path " + terminal_quoted(leaf->path) + " names no file";
            return nullptr;
        }
        // An absent or empty file gives a fresh, empty music: nothing a tool can play.
        if (!music || (music->flags & MEF_NEW)) {
            const std::string shared = shared_file(lib_, leaf, path);
            *error = what + (shared.empty() ? problem_message(lib_.problem_of(leaf, path))
                                            : path_text(path) + ": " + shared);
            return nullptr;
        }
    }
    leaf_ = leaf;
    problems_mark_ = file_store().problems.size();
    return music;
}

bool LibraryLeaf::owns_file(const std::string& host_path) {
    MseqObject* top = lib_.room_node();
    // A path where nothing is yet cannot be one of the library's files; one that is, is looked
    // at once and then compared with each file of the library (device and inode, so that links
    // and other spellings count).
    struct stat target;
    if (!top || ::stat(host_path.c_str(), &target) != 0) return false;
    // Books opened only to list their files are no concern of the music: their notes go.
    std::vector<MrecLoadProblem>& notes = file_store().problems;
    const size_t noted = notes.size();
    lib_.open_books();
    if (notes.size() > noted) notes.resize(noted);
    for (MseqObject* n = top; n; n = n->next_in(top)) {
        if (n->is_with() || n->path.empty()) continue;
        MseqFullPath path;
        struct stat file;
        if (mseq_path::resolve(n, false, &path) &&
            ::stat(kv_fs::to_host(path).c_str(), &file) == 0 && file.st_dev == target.st_dev &&
            file.st_ino == target.st_ino)
            return true;
    }
    return false;
}

std::vector<std::string> LibraryLeaf::problems_since_found() const {
    std::vector<std::string> messages;
    std::set<std::string> seen;
    const std::vector<MrecLoadProblem>& all = file_store().problems;
    for (size_t i = problems_mark_; i < all.size(); ++i) {
        if (seen.insert(all[i].path.str()).second) messages.push_back(problem_message(all[i]));
    }
    return messages;
}

std::string LibraryLeaf::default_midi_name(const MseqObject* leaf) const {
    MseqFullPath full;
    if (!leaf || !mseq_path::resolve(leaf, false, &full) || full.size() >= 260)
        return "default.mid";
    std::string name = full.str();
    const size_t slash = name.find_last_of('\\');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name = name.substr(0, dot);
    return ckv_to_utf8(name) + ".mid";
}

std::string output_refusal(LibraryLeaf& lib, const std::string& output) {
    if (output == "-") return {};
    if (lib.owns_file(output))
        return "refusing to write " + output + ": it is a file of the open library";
    struct stat st;
    if (::lstat(output.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return "refusing to write " + output +
               ": it is not a regular file (a folder, device, FIFO or symbolic link)";
    return {};
}

bool write_tool_output(LibraryLeaf& lib, const std::string& output, std::string_view bytes,
                       std::string* error) {
    if (output == "-") {
        const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
                        std::fflush(stdout) == 0;
        if (!ok) *error = "cannot write to standard output: " + std::string(std::strerror(errno));
        return ok;
    }
    *error = output_refusal(lib, output);
    if (!error->empty()) return false;
    kv_fs::file_error why;
    if (!kv_fs::write_file_atomic(kv_fs::from_host(output), bytes, &why)) {
        *error = "cannot write " + output + ": " + why.text();
        return false;
    }
    return true;
}

void print_warnings(const LibraryLeaf& lib) {
    for (const std::string& message : lib.problems_since_found())
        std::fprintf(stderr, "korvante: warning: %s\n", message.c_str());
}

ref_ptr<MseqConfig> load_program_config() {
    auto config = ref_ptr<MseqConfig>::adopt(new MseqConfig());
    MseqFullPath path, written;
    if (mrec_settings::settings_paths(mrec_settings::kConfigPath, &path, &written) &&
        kv_fs::file_exists(path)) {
        MrecCompiler compiler;
        if (!compiler.load(config.get(), path, true)) config->reset();
    }
    return config;
}

}  // namespace kv_ui
