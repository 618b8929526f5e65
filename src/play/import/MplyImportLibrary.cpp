#include "play/import/MplyImportLibrary.h"

#include <sys/stat.h>

#include <cstdio>
#include <string_view>

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

// A file base beside the book whose music and stage files (and chord file, with `chord`) do
// not exist yet; empty when none of the first thousand is free.
std::string free_base(const CkvString& folder, const std::string& stem, bool chord) {
    auto taken = [&](const std::string& name) {
        return kv_fs::path_exists(mseq_path::append(folder, name).str());
    };
    for (int n = 1; n <= 1000; ++n) {
        const std::string base = n == 1 ? stem : stem + "_" + std::to_string(n);
        if (!taken(base + ".kvnl") && !taken(base + "_stage.kvnl") &&
            !(chord && taken(base + "_chord.kvnl")))
            return base;
    }
    return {};
}

// Takes the new leaves out of the book again and removes the files written for them.
void undo(MseqBook* book, std::initializer_list<MseqObject**> leaves,
          std::initializer_list<const MseqFullPath*> written) {
    for (const MseqFullPath* p : written) {
        if (!p->empty()) std::remove(kv_fs::to_host(p->str()).c_str());
    }
    for (MseqObject** leaf : leaves) {
        if (*leaf) book->remove((*leaf)->id);
        *leaf = nullptr;
    }
}

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
    MseqObject* chord_leaf = stage_leaf && analysis ? leaf(MTYPE_LEAF_CHORD, "_chord") : nullptr;
    if (!stage_leaf || (analysis && !chord_leaf)) {
        undo(book, {&music_leaf, &stage_leaf, &chord_leaf}, {});
        return fail(saved, MplyImportSaveFault::book_full);
    }
    bool ok = false;
    {
        ref_ptr<MseqEntity> music_content = mseq_open(music_leaf);
        ref_ptr<MseqEntity> stage_content = mseq_open(stage_leaf);
        ref_ptr<MseqEntity> chord_content = chord_leaf ? mseq_open(chord_leaf) : nullptr;
        auto* music = music_content->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        auto* stage = stage_content->cast_to<MseqMapStage>(MTYPE_LEAF_STAGE);
        auto* chord =
            chord_content ? chord_content->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD) : nullptr;
        if (!music || !stage || (analysis && !chord)) {
            music_content = nullptr;
            stage_content = nullptr;
            chord_content = nullptr;
            undo(book, {&music_leaf, &stage_leaf, &chord_leaf}, {});
            return fail(saved, MplyImportSaveFault::book_unreadable);
        }
        music->name = name;
        stage->name = stage_leaf->name;
        if (chord) chord->name = chord_leaf->name;
        if (!mply_import_music(file, *music, *stage, report, &saved->import_fault,
                               &saved->tracks_needed)) {
            saved->fault = MplyImportSaveFault::refused;
        } else {
            music->m_MapStageID = mseq_with_file_number(stage_leaf->id, MFILE_OWN_BOOK);
            ok = true;
            if (analysis &&
                !mply_analyse_music(*music, *chord,
                                    mseq_with_file_number(chord_leaf->id, MFILE_OWN_BOOK),
                                    analysis->target, &analysis->report, &saved->analysis_fault)) {
                saved->fault = MplyImportSaveFault::analysis_failed;
                ok = false;
            }
        }
        if (ok) {
            saved->music_file = music->full_path;
            saved->stage_file = stage->full_path;
            if (chord) saved->chord_file = chord->full_path;
            // New files first: until the book lists them nothing refers to them.
            MseqEntity* order[] = {chord, stage, music, book};
            for (MseqEntity* e : order) {
                if (!e || MrecCompiler::save(e, &saved->why)) continue;
                saved->file = e->full_path;
                saved->fault = MplyImportSaveFault::write_failed;
                ok = false;
                break;
            }
        }
    }
    if (!ok) {
        const MseqFullPath music_file = saved->music_file, stage_file = saved->stage_file,
                           chord_file = saved->chord_file;
        undo(book, {&music_leaf, &stage_leaf, &chord_leaf},
             {&music_file, &stage_file, &chord_file});
        saved->music_file = saved->stage_file = saved->chord_file = MseqFullPath();
        saved->music = nullptr;
        return false;
    }
    saved->music = music_leaf;
    return true;
}
