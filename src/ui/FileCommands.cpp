#include "ui/FileCommands.h"

#include <cstdio>
#include <string>

#include "model/core/MseqEntity.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "platform/FileSystem.h"
#include "text/AnalyzeErrors.h"
#include "text/MrecCompiler.h"
#include "text/MrecEntityWriter.h"
#include "ui/Session.h"
#include "ui/Terminal.h"

namespace kv_ui {

namespace {

// The state of a node's own file, as the tree shows it.
std::string file_state(const MseqObject* node) {
    if (node->type == MTYPE_LEAF_FOLDER || node->is_with() || node->path.empty()) return "-";
    MseqFullPath path;
    if (!mseq_path::resolve(node, false, &path)) return "error " + code_text(MREC_E_NO_BUFFER);
    if (!kv_fs::path_exists(path)) return "missing";
    MrecFileEntity probe;
    if (!mrec_make_file_entity(node->type, probe)) return "-";
    MrecCompiler compiler;
    if (!compiler.load(probe.entity.get(), path, false)) {
        return "error " + code_text(compiler.result.error);
    }
    return compiler.found == MrecCompiler::Found::empty ? "empty" : "ok";
}

std::string id_text(uint32_t id) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08x", id);
    return buffer;
}

void print_node(const MseqObject* node, const std::string& indent, const std::string& state) {
    std::printf("%s%s\t%s\t%s\t%s\t%s\n", indent.c_str(), id_text(node->id).c_str(),
                type_text(node->type).c_str(), terminal_text(node->display_path()).c_str(),
                terminal_text(node->path).c_str(), state.c_str());
}

void print_tracks(MseqObject* leaf) {
    ref_ptr<MseqEntity> e = mseq_open(leaf);
    auto* music = e->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    if (!music) return;
    MseqObject* root = music->root();
    for (MseqObject* t = root; t; t = t->next_in(root))
        print_node(t, "\t", "-");
}

}  // namespace

int run_check_command(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::fprintf(stderr, "usage: korvante check FILE...\n");
        return 2;
    }
    int status = 0;
    for (const std::string& file : args) {
        MrecFileEntity loaded;
        MrecLoadProblem problem;
        if (!load_file_entity(file, loaded, problem)) {
            std::fflush(stdout);  // keep the lines in order when both go to one place
            std::fprintf(stderr, "%s: %s\n", file.c_str(), problem_reason(problem).c_str());
            status = 1;
            continue;
        }
        const MseqEntity& e = *loaded.entity;
        std::printf("%s: ok %s %s%s%s\n", file.c_str(), type_text(e.type()).c_str(),
                    terminal_quoted(e.name).c_str(), (e.flags & MEF_FUTURE) ? " future" : "",
                    (e.flags & MEF_NEW) ? " new" : "");
    }
    return status;
}

int run_dump_command(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: korvante dump FILE\n");
        return 2;
    }
    MrecFileEntity loaded;
    MrecLoadProblem problem;
    std::string text;
    if (!load_file_entity(args[0], loaded, problem)) {
        std::fprintf(stderr, "%s: %s\n", args[0].c_str(), problem_reason(problem).c_str());
        return 1;
    }
    if (!mrec_write_entity(loaded.entity.get(), &text)) {
        std::fprintf(stderr, "%s: cannot be written\n", args[0].c_str());
        return 1;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

int run_tree_command(const std::vector<std::string>& args) {
    bool tracks = false;
    std::string file;
    for (const std::string& a : args) {
        if (a == "--tracks") {
            tracks = true;
        } else if (file.empty()) {
            file = a;
        } else {
            file.clear();
            break;
        }
    }
    if (file.empty()) {
        std::fprintf(stderr, "usage: korvante tree LIBRARY [--tracks]\n");
        return 2;
    }
    Library library;
    if (!library.open(file)) {
        std::fprintf(stderr, "korvante: cannot open the library %s\n",
                     problem_message(library.problem).c_str());
        return 1;
    }
    library.open_books();
    MseqObject* top = library.room_node();
    for (MseqObject* n = top; n; n = n->next_in(top)) {
        print_node(n, "", file_state(n));
        const bool has_tracks = n->type == MTYPE_LEAF_MUSIC || n->type == MTYPE_LEAF_PHRASE;
        if (tracks && has_tracks) print_tracks(n);
    }
    return 0;
}

}  // namespace kv_ui
