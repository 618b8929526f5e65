#include "play/import/MplyImportLibrary.h"

#include <sys/stat.h>

#include <cstdio>
#include <string_view>
#include <vector>

#include "model/core/MseqId.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "model/core/MseqType.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapStage.h"
#include "text/MrecCompiler.h"

namespace {

std::string safe_stem(const std::string& stem) {
    std::string out;
    for (char c : stem) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        out += plain ? c : '_';
    }
    if (out.empty()) out = "import";
    if (out.size() > 64) out.resize(64);
    return out;
}

// A file base beside the book whose music and stage files (and chord files, with `chord`) do
// not exist yet; empty when none of the first thousand is free.
std::string free_base(const CkvString& folder, const std::string& stem, bool chord) {
    auto taken = [&](const std::string& name) {
        return kv_fs::path_exists(mseq_path::append(folder, name).str());
    };
    for (int n = 1; n <= 1000; ++n) {
        const std::string base = n == 1 ? stem : stem + "_" + std::to_string(n);
        bool free = !taken(base + ".kvnl") && !taken(base + "_stage.kvnl");
        // The chord maps: one for each of the keys the analysis may find.
        for (int m = 1; free && chord && m <= 24; ++m)
            free = !taken(base + "_chord" + (m > 1 ? std::to_string(m) : "") + ".kvnl");
        if (free) return base;
    }
    return {};
}

// Takes the new leaves out of the book again and removes the files written for them.
void undo(MseqBook* book, std::vector<MseqObject*> leaves,
          const std::vector<MseqFullPath>& written) {
    for (const MseqFullPath& p : written) {
        if (!p.empty()) std::remove(kv_fs::to_host(p.str()).c_str());
    }
    for (MseqObject* leaf : leaves) {
        if (leaf) book->remove(leaf->id);
    }
}

// The chord maps of the analysis: new leaves at the end of the book, "NAME_chord", then
// "NAME_chord2"..., in files named the same way beside the music's.
class BookMaps final : public MplyAnalysisMaps {
public:
    BookMaps(MseqBook& book, MseqObject* book_node, const CkvString& name, const CkvString& folder,
             const std::string& base)
        : book_(book), book_node_(book_node), name_(name), folder_(folder), base_(base) {}

    MseqMapChord* add_map(size_t index, MSEQ_ID* ref) override {
        const std::string suffix = "_chord" + (index ? std::to_string(index + 1) : std::string());
        const std::string file = base_ + suffix + ".kvnl";
        if (kv_fs::path_exists(mseq_path::append(folder_, file).str())) return nullptr;
        MseqObject* leaf =
            book_.create_leaf(book_node_, MPLACE_LAST_CHILD, MTYPE_LEAF_CHORD,
                              CkvString(name_.str() + suffix), MseqDescPath("<book>.\\" + file));
        if (!leaf) return nullptr;
        leaves.push_back(leaf);
        ref_ptr<MseqEntity> content = mseq_open(leaf);
        auto* map = content ? content->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD) : nullptr;
        if (!map) return nullptr;
        contents.push_back(content);
        map->name = leaf->name;
        *ref = mseq_with_file_number(leaf->id, MFILE_OWN_BOOK);
        return map;
    }

    std::vector<MseqObject*> leaves;
    std::vector<ref_ptr<MseqEntity>> contents;

private:
    MseqBook& book_;
    MseqObject* book_node_;
    CkvString name_, folder_;
    std::string base_;
};

bool fail(MplyImportSaved* saved, MplyImportSaveFault fault) {
    saved->fault = fault;
    saved->music = nullptr;
    return false;
}

}  // namespace

bool mply_load_smf(const std::string& host, MplySmfFile* file, MplySmfLoadError* error) {
    *error = MplySmfLoadError{};
    struct stat st;
    if (::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<uint64_t>(st.st_size) > kMplySmfMaxBytes) {
        error->smf = {MplySmfFault::too_large, kMplySmfMaxBytes};
        return false;
    }
    std::string bytes;
    if (!kv_fs::read_file(kv_fs::from_host(host), &bytes, &error->why)) {
        error->unreadable = true;
        return false;
    }
    return mply_read_smf(std::move(bytes), file, &error->smf);
}

std::string mply_import_file_stem(const std::string& host) {
    std::string name = host.substr(host.find_last_of('/') + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name = name.substr(0, dot);
    return name;
}

std::string mply_import_leaf_name(const std::string& stem) {
    std::string name;
    for (char c : stem) {
        const bool bad = static_cast<unsigned char>(c) < 0x20 ||
                         std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos;
        name += bad ? '_' : c;
    }
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    while (!name.empty() && name.front() == ' ')
        name.erase(name.begin());
    return name.empty() ? "import" : name;
}

bool mply_import_into_book(MseqObject* book_node, const MplySmfFile& file, const CkvString& name,
                           const std::string& file_stem, MplyImportReport* report,
                           MplyImportSaved* saved) {
    return mply_import_into_book(book_node, file, name, file_stem, report, saved, nullptr);
}

bool mply_import_into_book(MseqObject* book_node, const MplySmfFile& file, const CkvString& name,
                           const std::string& file_stem, MplyImportReport* report,
                           MplyImportSaved* saved, MplyImportAnalysis* analysis) {
    *saved = MplyImportSaved{};
    if (!book_node || book_node->type != MTYPE_BOOK_MUSIC)
        return fail(saved, MplyImportSaveFault::not_a_music_book);
    if (!mseq_path::valid_name(name.str())) return fail(saved, MplyImportSaveFault::invalid_name);
    ref_ptr<MseqEntity> book_content = mseq_open(book_node);
    auto* book = book_content->cast_to<MseqBook>(MTYPE_BOOK);
    if (!book || (book->flags & MEF_NEW) || book->full_path.empty())
        return fail(saved, MplyImportSaveFault::book_unreadable);
    const CkvString folder = mseq_path::remove_file_name(book->full_path);
    const std::string base = free_base(folder, safe_stem(file_stem), analysis != nullptr);
    if (base.empty()) return fail(saved, MplyImportSaveFault::no_file_name);

    auto leaf = [&](MSEQ_TYPE type, const std::string& suffix) {
        return book->create_leaf(book_node, MPLACE_LAST_CHILD, type, CkvString(name.str() + suffix),
                                 MseqDescPath(CkvString("<book>.\\" + base + suffix + ".kvnl")));
    };
    MseqObject* music_leaf = leaf(MTYPE_LEAF_MUSIC, "");
    MseqObject* stage_leaf = music_leaf ? leaf(MTYPE_LEAF_STAGE, "_stage") : nullptr;
    if (!stage_leaf) {
        undo(book, {music_leaf}, {});
        return fail(saved, MplyImportSaveFault::book_full);
    }
    BookMaps maps(*book, book_node, name, folder, base);
    std::vector<MseqFullPath> written;
    bool ok = false;
    {
        ref_ptr<MseqEntity> music_content = mseq_open(music_leaf);
        ref_ptr<MseqEntity> stage_content = mseq_open(stage_leaf);
        auto* music = music_content->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        auto* stage = stage_content->cast_to<MseqMapStage>(MTYPE_LEAF_STAGE);
        if (!music || !stage) {
            music_content = nullptr;
            stage_content = nullptr;
            undo(book, {music_leaf, stage_leaf}, {});
            return fail(saved, MplyImportSaveFault::book_unreadable);
        }
        music->name = name;
        stage->name = stage_leaf->name;
        if (!mply_import_music(file, *music, *stage, report, &saved->import_fault,
                               &saved->tracks_needed)) {
            saved->fault = MplyImportSaveFault::refused;
        } else {
            music->m_MapStageID = mseq_with_file_number(stage_leaf->id, MFILE_OWN_BOOK);
            ok = true;
            if (analysis && !mply_analyse_music(*music, maps, analysis->target, &analysis->report,
                                                &saved->analysis_fault)) {
                saved->fault = MplyImportSaveFault::analysis_failed;
                ok = false;
            }
        }
        if (ok) {
            // New files first: until the book lists them nothing refers to them.
            std::vector<MseqEntity*> order;
            for (const ref_ptr<MseqEntity>& map : maps.contents)
                order.push_back(map.get());
            order.insert(order.end(), {stage, music, book});
            for (MseqEntity* e : order) {
                if (MrecCompiler::save(e, &saved->why)) {
                    if (e != book) written.push_back(e->full_path);
                    continue;
                }
                saved->file = e->full_path;
                saved->fault = MplyImportSaveFault::write_failed;
                ok = false;
                break;
            }
        }
        if (ok) {
            saved->music_file = music->full_path;
            saved->stage_file = stage->full_path;
            for (const ref_ptr<MseqEntity>& map : maps.contents)
                saved->chord_files.push_back(map->full_path);
            if (!saved->chord_files.empty()) saved->chord_file = saved->chord_files[0];
        }
        maps.contents.clear();
    }
    if (!ok) {
        std::vector<MseqObject*> leaves = {music_leaf, stage_leaf};
        leaves.insert(leaves.end(), maps.leaves.begin(), maps.leaves.end());
        undo(book, leaves, written);
        saved->music = nullptr;
        return false;
    }
    saved->music = music_leaf;
    return true;
}
