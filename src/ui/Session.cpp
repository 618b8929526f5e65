#include "ui/Session.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/MAppProgram.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "model/core/parse_int.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "platform/UserFolders.h"
#include "text/AnalyzeErrors.h"
#include "text/MrecCompiler.h"
#include "text/MrecFileStore.h"
#include "text/MrecSettings.h"

namespace kv_ui {

namespace {

std::string& program_folder_storage() {
    static std::string folder;
    return folder;
}

// The children of `parent` in order whose name is `name`.
MseqObject* child_named(MseqObject* parent, const CkvString& name) {
    for (MseqObject* c = parent->first_child(); c; c = c->next()) {
        if (c->name == name) return c;
    }
    return nullptr;
}

}  // namespace

void init_program(const std::string& home, std::optional<kv_language> language) {
    program_folder_storage() = mapp_init_program(home).path;
    const MAppLanguageSetting setting = mapp_start_language(language);
    // A damaged setting is said once; the tools still run, in the language the locale asks for.
    if (!setting.damage.empty())
        std::fprintf(stderr, "korvante: the language setting is not used: %s\n",
                     setting.damage.c_str());
}

std::string program_folder() {
    return program_folder_storage();
}

MrecFileStore& file_store() {
    return mapp_file_store();
}

Library::~Library() {
    // Drop the cached contents first, so that nothing outlives the nodes it belongs to.
    MseqDesk::instance().modified.clear();
    MseqDesk::instance().cache.clear();
}

bool Library::open(const std::string& host_path) {
    const std::string windows = kv_fs::from_host(host_path);
    const MseqFullPath path{CkvString(windows)};
    node_ = std::make_unique<MseqObject>(MID_ROOM, MTYPE_ROOM, CkvString(),
                                         MseqDescPath(CkvString(windows)));
    ref_ptr<MseqEntity> e = open_node(node_.get());
    room_ = e->cast_to<MseqRoom>(MTYPE_ROOM);
    if (!room_ || (room_->flags & MEF_NEW)) {
        // A library that does not exist yet (or is an empty file) has nothing to show.
        problem = problem_of(node_.get(), path);
        error = problem.error ? problem.error : MREC_E_NO_FILE;
        room_ = nullptr;
        return false;
    }
    return true;
}

void Library::open_books() {
    if (!room_) return;
    for (MseqObject* b = node_->first_child(); b; b = b->next())
        open_node(b);
}

ref_ptr<MseqEntity> Library::open_node(MseqObject* node) {
    const bool reads = !node->entity();
    MseqLoadProblem why;
    ref_ptr<MseqEntity> e = MseqDesk::instance().open(node, &why);
    if (reads) {
        problems_.erase(node);
        if (why.reported()) problems_.emplace(node, why);
    }
    return e;
}

MrecLoadProblem Library::problem_of(const MseqObject* node, const MseqFullPath& path) const {
    auto it = problems_.find(node);
    if (it != problems_.end()) return it->second;
    // Nothing was reported when the node was opened: its file was not read then (a file that
    // belongs to another node of the library, or a path that names no file).
    MrecLoadProblem none;
    none.path = path;
    none.absent = !kv_fs::path_exists(path);
    return none;
}

MseqObject* Library::find(const std::string& name) {
    if (!room_) return nullptr;
    if (name.size() > 2 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X')) {
        int64_t id = 0;
        if (parse_int(name, 0, 0xFFFFFFFF, &id, PARSE_INT_HEX) != parse_int_error::none)
            return nullptr;
        return room_->find(static_cast<MSEQ_ID>(id));
    }
    const std::string cp932 = kv_codec::cp932_from_utf8(name);
    MseqObject* node = node_.get();
    size_t start = 0;
    while (node) {
        const size_t slash = cp932.find('/', start);
        const CkvString part(
            cp932.substr(start, slash == std::string::npos ? slash : slash - start));
        if (mseq_type_category(node->type) == MCAT_BOOK || node->type == MTYPE_ROOM)
            open_node(node);
        node = child_named(node, part);
        if (slash == std::string::npos) return node;
        start = slash + 1;
    }
    return nullptr;
}

bool load_file_entity(const std::string& host_path, MrecFileEntity& out, MrecLoadProblem& problem) {
    const MseqFullPath path(CkvString(kv_fs::from_host(host_path)));
    MrecCompiler header;
    if (!header.read_header(path)) {
        problem = header.problem(path);
        return false;
    }
    if (!mrec_make_file_entity(header.result.header.type, out)) {
        problem = header.problem(path);
        problem.error = MREC_E_NO_RECORD_TYPE;
        return false;
    }
    MrecCompiler compiler;
    if (!compiler.load(out.entity.get(), path, true)) {
        problem = compiler.problem(path);
        return false;
    }
    problem = MrecLoadProblem{};
    return true;
}

}  // namespace kv_ui
