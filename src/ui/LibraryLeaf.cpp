#include "ui/LibraryLeaf.h"

#include <unistd.h>

#include <vector>

#include "model/MseqDesk.h"
#include "model/MseqMusic.h"
#include "model/MseqObject.h"
#include "model/MseqPathOps.h"
#include "model/MseqRoom.h"
#include "model/MseqType.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"

namespace kv_ui {

namespace {

// Tells the path macros where the program lives, once.
void set_program_folder() {
    static bool done = false;
    if (done) return;
    done = true;
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return;
    mseq_path::set_program_file(CkvString(kv_fs::from_host(std::string(buf, size_t(n)))));
}

std::vector<std::string> split(const std::string& spec) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : spec) {
        if (c == '/') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

bool playable(const MseqObject* node) {
    return node->type == MTYPE_LEAF_MUSIC || node->type == MTYPE_LEAF_PHRASE;
}

// Depth-first search below `node` for a path of names; with one name, any depth will do.
MseqObject* search(MseqObject* node, const std::vector<std::string>& names, size_t at) {
    for (MseqObject* child = node->first_child(); child; child = child->next()) {
        const bool match = child->name.str() == names[at];
        if (match && at + 1 == names.size() && playable(child)) return child;
        if (mseq_type_category(child->type) == MCAT_BOOK) mseq_open(child);
        if (match && at + 1 < names.size()) {
            if (MseqObject* found = search(child, names, at + 1)) return found;
        }
        if (names.size() == 1) {
            if (MseqObject* found = search(child, names, 0)) return found;
        }
    }
    return nullptr;
}

}  // namespace

LibraryLeaf::LibraryLeaf() {
    set_program_folder();
    MseqDesk::instance().set_store(&store_);
}

LibraryLeaf::~LibraryLeaf() {
    content_ = nullptr;
    node_.reset();
    MseqDesk::instance().set_store(nullptr);
}

bool LibraryLeaf::open(const std::string& host_path, std::string* error) {
    const std::string path = kv_fs::from_host(host_path);
    if (path.empty() || !kv_fs::file_exists(path)) {
        *error = "no library file at " + host_path;
        return false;
    }
    node_ = std::make_unique<MseqObject>(MID_ROOM, MTYPE_ROOM, CkvString(), MseqDescPath(path));
    room_ = new MseqRoom(node_.get());
    node_->attach(room_);
    MrecCompiler compiler;
    if (!compiler.load(room_, MseqFullPath(path), true)) {
        *error = "cannot read the library " + host_path + " (error " +
                 std::to_string(compiler.result.error) + ")";
        return false;
    }
    return true;
}

MseqMusic* LibraryLeaf::find(const std::string& spec, std::string* error) {
    leaf_ = nullptr;
    content_ = nullptr;
    if (!node_) {
        *error = "no library is open";
        return nullptr;
    }
    const std::vector<std::string> names = split(kv_codec::cp932_from_utf8(spec));
    MseqObject* leaf = search(node_.get(), names, 0);
    if (!leaf) {
        *error = "no music or phrase named '" + spec + "' in the library";
        return nullptr;
    }
    content_ = mseq_open(leaf);
    MseqMusic* music = content_ ? content_->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC) : nullptr;
    if (!music) {
        *error = "cannot load '" + spec + "'";
        return nullptr;
    }
    leaf_ = leaf;
    return music;
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
    return kv_codec::utf8_from_cp932(name) + ".mid";
}

ref_ptr<MseqConfig> load_program_config() {
    set_program_folder();
    auto config = ref_ptr<MseqConfig>::adopt(new MseqConfig());
    MseqFullPath path;
    if (mseq_path::executable_path("define\\korvante.cfg", &path) && kv_fs::file_exists(path)) {
        MrecCompiler compiler;
        if (!compiler.load(config.get(), path, true)) config->reset();
    }
    return config;
}

}  // namespace kv_ui
