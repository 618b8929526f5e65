#include "tools/AppData.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "play/PlayFixture.h"

namespace kv_test {

std::string app_data(const std::string& relative) {
    return std::string(KV_APP_DATA) + "/" + relative;
}

std::vector<std::string> generated_files(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        if (!it->is_regular_file()) continue;
        const std::string ext = it->path().extension().string();
        if (ext == ".kvnr" || ext == ".kvnb" || ext == ".kvnl" || ext == ".def")
            out.push_back(std::filesystem::relative(it->path(), folder).string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

AppData::AppData() : saved_program_(mseq_path::program_file()) {
    MseqDesk::instance().set_store(&store_);
    mseq_path::set_program_file(CkvString(kv_fs::from_host(KV_APP_DATA) + "\\korvante"));
    const std::string path = kv_fs::from_host(app_data("mymusic/library.kvnr"));
    node_ = std::make_unique<MseqObject>(MID_ROOM, MTYPE_ROOM, CkvString(),
                                         MseqDescPath(CkvString(path)));
    keep_.push_back(mseq_open(node_.get()));
    room_ = keep_.back()->cast_to<MseqRoom>(MTYPE_ROOM);
    if (!room_) return;
    for (MseqObject* b = node_->first_child(); b; b = b->next())
        keep_.push_back(mseq_open(b));
}

AppData::~AppData() {
    keep_.clear();
    MseqDesk::instance().modified.clear();
    MseqDesk::instance().cache.clear();
    node_.reset();
    MseqDesk::instance().set_store(nullptr);
    mseq_path::set_program_file(saved_program_);
}

MseqObject* AppData::find(const std::string& path) {
    MseqObject* node = node_.get();
    std::stringstream parts(kv_codec::cp932_from_utf8(path));
    for (std::string name; node && std::getline(parts, name, '/');) {
        MseqObject* next = nullptr;
        for (MseqObject* c = node->first_child(); c && !next; c = c->next()) {
            if (c->name.str() == name) next = c;
        }
        node = next;
    }
    return node;
}

std::vector<MseqObject*> AppData::nodes_of(MseqObject* top, MSEQ_TYPE type) {
    std::vector<MseqObject*> out;
    for (MseqObject* n = top; n; n = n->next_in(top)) {
        if (n->type == type) out.push_back(n);
    }
    return out;
}

std::vector<Note> played_notes(MseqMusic* music, int32_t start) {
    std::vector<Note> notes;
    for (const std::string& call : run_offline(music, start)) {
        std::istringstream in(call);
        Note n{};
        std::string kind;
        if (in >> n.tick >> kind && kind == "note-on" &&
            in >> n.channel >> n.key >> n.velocity >> n.duration)
            notes.push_back(n);
    }
    return notes;
}

std::vector<Note> notes_between(const std::vector<Note>& notes, int channel, int32_t from,
                                int32_t to) {
    std::vector<Note> out;
    for (const Note& n : notes) {
        if (n.channel == channel && n.tick >= from && n.tick < to) out.push_back(n);
    }
    return out;
}

}  // namespace kv_test
