#include "ui/LibraryLeaf.h"

#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "model/core/MseqType.h"
#include "model/library/MseqMusic.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "text/MrecCompiler.h"

namespace kv_ui {

namespace {

bool playable(const MseqObject* node) {
    return node->type == MTYPE_LEAF_MUSIC || node->type == MTYPE_LEAF_PHRASE;
}

// The first music or phrase named `name` below `node`, in library order, opening books on the
// way.
MseqObject* search(MseqObject* node, const CkvString& name) {
    for (MseqObject* child = node->first_child(); child; child = child->next()) {
        if (playable(child) && child->name == name) return child;
        if (mseq_type_category(child->type) == MCAT_BOOK) mseq_open(child);
        if (MseqObject* found = search(child, name)) return found;
    }
    return nullptr;
}

}  // namespace

bool LibraryLeaf::open(const std::string& host_path, std::string* error) {
    if (lib_.open(host_path)) return true;
    *error =
        kv_fs::file_exists(kv_fs::from_host(host_path))
            ? "cannot read the library " + host_path + " (error " + std::to_string(lib_.error) + ")"
            : "no library file at " + host_path;
    return false;
}

MseqMusic* LibraryLeaf::find(const std::string& name, std::string* error) {
    leaf_ = nullptr;
    content_ = nullptr;
    MseqObject* leaf = lib_.room_node() ? lib_.find(name) : nullptr;
    if ((!leaf || !playable(leaf)) && lib_.room_node() && name.find('/') == std::string::npos)
        leaf = search(lib_.room_node(), CkvString(kv_codec::cp932_from_utf8(name)));
    if (!leaf || !playable(leaf)) {
        *error = "no music or phrase named '" + name + "' in the library";
        return nullptr;
    }
    content_ = mseq_open(leaf);
    MseqMusic* music = content_ ? content_->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC) : nullptr;
    if (!music) {
        *error = "cannot load '" + name + "'";
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
    auto config = ref_ptr<MseqConfig>::adopt(new MseqConfig());
    MseqFullPath path;
    if (mseq_path::executable_path("define\\korvante.cfg", &path) && kv_fs::file_exists(path)) {
        MrecCompiler compiler;
        if (!compiler.load(config.get(), path, true)) config->reset();
    }
    return config;
}

}  // namespace kv_ui
