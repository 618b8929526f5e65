#include "ui/Session.h"

#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "app/MAppFolders.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
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

std::string executable_path() {
    std::vector<char> buffer(PATH_MAX + 1);
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return {};
    return std::string(buffer.data(), static_cast<size_t>(n));
}

// The children of `parent` in order whose name is `name`.
MseqObject* child_named(MseqObject* parent, const CkvString& name) {
    for (MseqObject* c = parent->first_child(); c; c = c->next()) {
        if (c->name == name) return c;
    }
    return nullptr;
}

}  // namespace

void init_program(const std::string& home) {
    const kv_folders::app_folder app = home.empty()
                                           ? kv_folders::locate_application(executable_path())
                                           : kv_folders::given_application(home);
    const std::string folder = app.path;
    program_folder_storage() = kv_fs::to_host(kv_fs::from_host(folder));
    // The "<prog>" macro counts from the folder of the program file.
    const std::string windows = kv_fs::from_host(folder);
    mseq_path::set_program_file(CkvString(windows + "\\korvante"));
    MseqDesk::instance().set_store(&file_store());
    // An installed program keeps its settings in the user's configuration folder.
    mrec_settings::set_user_folder(app.read_only ? mapp_user_settings_folder() : CkvString());
}

std::string program_folder() {
    return program_folder_storage();
}

MrecFileStore& file_store() {
    static MrecFileStore s;
    return s;
}

MrecLoadProblem file_problem(const MseqFullPath& path) {
    const std::vector<MrecLoadProblem>& all = file_store().problems;
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (CkvString::compare_nocase(it->path, path) == 0) return *it;
    }
    MrecLoadProblem absent;
    absent.path = path;
    absent.absent = true;
    return absent;
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
    file_store().last_error = 0;
    ref_ptr<MseqEntity> e = mseq_open(node_.get());
    room_ = e->cast_to<MseqRoom>(MTYPE_ROOM);
    if (!room_ || (room_->flags & MEF_NEW)) {
        // A library that does not exist yet (or is an empty file) has nothing to show.
        problem = file_problem(path);
        error = problem.error ? problem.error : MREC_E_NO_FILE;
        room_ = nullptr;
        return false;
    }
    return true;
}

void Library::open_books() {
    if (!room_) return;
    for (MseqObject* b = node_->first_child(); b; b = b->next())
        mseq_open(b);
}

MseqObject* Library::find(const std::string& name) {
    if (!room_) return nullptr;
    if (name.size() > 2 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X')) {
        char* end = nullptr;
        unsigned long id = std::strtoul(name.c_str() + 2, &end, 16);
        if (*end || id > 0xFFFFFFFFul) return nullptr;
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
            mseq_open(node);
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
