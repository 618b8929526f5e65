#include "app/MFrameImport.h"

#include "app/MAppProblem.h"
#include "app/MAppProgress.h"
#include "app/MAppText.h"
#include "app/MFrame.h"
#include "app/MFrameAnalysis.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "model/core/MseqType.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"

namespace {

// The steps the progress display counts: reading the file, the import (and the analysis),
// opening the new music.
enum ImportStep { kRead = 0, kImport = 1, kOpen = 2, kSteps = 3 };

// The dialog's choices, taken from its fields.
struct ImportChoice {
    MseqObject* book = nullptr;
    CkvString name;
    bool analyse = false;
    MplyAnalysisTarget target = MplyAnalysisTarget::chord_degrees;
};

CkvString book_list(const std::vector<MseqObject*>& books) {
    std::string lines;
    for (const MseqObject* b : books)
        lines += (lines.empty() ? "" : "\n") + b->name.str();
    return CkvString(lines);
}

// Takes the choices from accepted fields; false with the refusal (its message shown) when the
// name or the book is not usable.
MAppCheck check_choice(MAppUserPort& port, const std::vector<MseqObject*>& books,
                       MAppFields& fields, ImportChoice* choice) {
    int index = -1;
    const std::string& book = fields.get("book").str();
    if (!book.empty() && book.size() < 4 && book.find_first_not_of("0123456789") == book.npos)
        index = std::stoi(book);
    if (index < 0 || static_cast<size_t>(index) >= books.size()) {
        port.warn(mapp_text(mapp_msg::IMPORT_CHOOSE_BOOK));
        return {false, "book"};
    }
    const CkvString name = fields.get("name");
    if (!mseq_path::valid_name(name.str())) {
        port.warn(mapp_text(mapp_msg::IMPORT_NAME_INVALID));
        return {false, "name"};
    }
    choice->book = books[static_cast<size_t>(index)];
    choice->name = name;
    choice->analyse = mapp_import_analysis(fields.get("analysis"), &choice->target);
    return {};
}

CkvString save_reason(const MplyImportSaved& s) {
    switch (s.fault) {
        case MplyImportSaveFault::none:
            break;
        case MplyImportSaveFault::not_a_music_book:
            return mapp_text(mapp_msg::IMPORT_NOT_A_BOOK);
        case MplyImportSaveFault::invalid_name:
            return mapp_text(mapp_msg::IMPORT_NAME_HAS_BAD_CHARS);
        case MplyImportSaveFault::book_unreadable:
            return mapp_text(mapp_msg::IMPORT_BOOK_UNREADABLE);
        case MplyImportSaveFault::book_full:
            return mapp_text(mapp_msg::IMPORT_BOOK_FULL);
        case MplyImportSaveFault::no_file_name:
            return mapp_text(mapp_msg::IMPORT_NO_FREE_NAME);
        case MplyImportSaveFault::refused:
            if (s.import_fault == MplyImportFault::too_many_tracks)
                return mapp_format(mapp_msg::IMPORT_TOO_MANY_TRACKS, s.tracks_needed);
            return mapp_text(mapp_msg::IMPORT_MUSIC_NOT_EMPTY);
        case MplyImportSaveFault::write_failed:
            return mapp_format(mapp_msg::IMPORT_WRITE_FAILED, mapp_shown_path(s.file).c_str(),
                               s.why.text().c_str());
        case MplyImportSaveFault::analysis_failed:
            return mapp_text(mapp_analysis_fault_text(s.analysis_fault));
    }
    return mapp_text(mapp_msg::IMPORT_FAILED);
}

// Reads the file on a thread of its own (it touches nothing but the file). False when the
// user cancelled; `ok` and `error` say how the read went.
bool read_in_background(MAppUserPort& port, const CkvString& path, MplySmfFile* file,
                        MplySmfLoadError* error, bool* ok) {
    const std::string host = kv_fs::to_host(path);
    return mapp_work_with_progress(port, kRead, [&] { *ok = mply_load_smf(host, file, error); });
}

}  // namespace

std::vector<MseqObject*> mapp_music_books(MseqObject* room) {
    std::vector<MseqObject*> books;
    for (MseqObject* n = room ? room->first_child() : nullptr; n; n = n->next()) {
        if (n->type == MTYPE_BOOK_MUSIC) books.push_back(n);
    }
    return books;
}

bool mapp_import_analysis(const CkvString& word, MplyAnalysisTarget* target) {
    const std::string& w = word.str();
    if (w == "chord")
        *target = MplyAnalysisTarget::chord_degrees;
    else if (w == "scale")
        *target = MplyAnalysisTarget::scale_degrees;
    else if (w == "tone")
        *target = MplyAnalysisTarget::tones;
    else
        return false;
    return true;
}

CkvString mapp_import_summary(const CkvString& shown_file, const MplyImportReport& r,
                              const MplyAnalysisReport* a) {
    std::string text = mapp_format(mapp_msg::IMPORT_DONE, shown_file.c_str(), r.note_tracks,
                                   r.parts, r.notes, r.notes_scaled)
                           .str();
    if (a) text += mapp_analysis_lines(*a).str();
    return CkvString(text);
}

CkvString mapp_import_load_problem(const CkvString& shown_file, const MplySmfLoadError& e) {
    if (e.unreadable) {
        return mapp_format(mapp_msg::IMPORT_UNREADABLE, e.why.text().c_str(), shown_file.c_str());
    }
    return mapp_format(mapp_msg::IMPORT_BAD_BYTE, static_cast<unsigned long long>(e.smf.offset),
                       mply_smf_fault_text(e.smf.fault), shown_file.c_str());
}

CkvString mapp_import_save_problem(const CkvString& shown_file, const MplyImportSaved& saved) {
    return mapp_format(mapp_msg::IMPORT_REFUSED, save_reason(saved).c_str(), shown_file.c_str());
}

void mapp_import_midi(MFrame& frame) {
    MAppUserPort& port = frame.port();
    const std::vector<MseqObject*> books = mapp_music_books(frame.room_node());
    if (books.empty() || frame.playing()) return;
    MAppFileRequest request;
    request.kind = MAppFileKind::open;
    request.title = mapp_text(mapp_msg::IMPORT_TITLE);
    request.filter = mapp_text(mapp_msg::FILTER_MIDI_IN);
    request.must_exist = true;
    CkvString path;
    if (!port.choose_file(request, &path)) return;
    const std::string host = kv_fs::to_host(path);
    const std::string stem = mply_import_file_stem(host);
    MAppFields fields;
    fields.set("books", book_list(books));
    fields.set("book", CkvString("0"));
    fields.set("name", CkvString(kv_codec::cp932_from_utf8(mply_import_leaf_name(stem))));
    fields.set("analysis", CkvString("none"));
    ImportChoice choice;
    const auto check = [&](MAppFields& f) { return check_choice(port, books, f, &choice); };
    if (!port.run_dialog(MAppDialog::import_midi, fields, check)) return;

    const CkvString shown = mapp_shown_path(path);
    port.progress_begin(mapp_format(mapp_msg::IMPORTING, shown.c_str()), kSteps, true);
    MplySmfFile file;
    MplySmfLoadError load_error;
    bool loaded = false;
    if (!read_in_background(port, path, &file, &load_error, &loaded) ||
        !port.progress_step(kImport)) {
        port.progress_end();
        port.status(mapp_text(mapp_msg::IMPORT_CANCELLED));
        return;
    }
    if (!loaded) {
        port.progress_end();
        port.warn(mapp_import_load_problem(shown, load_error));
        return;
    }
    MplyImportReport report;
    MplyImportSaved saved;
    MplyImportAnalysis analysis;
    analysis.target = choice.target;
    const bool imported = mply_import_into_book(choice.book, file, choice.name, stem, &report,
                                                &saved, choice.analyse ? &analysis : nullptr);
    port.progress_step(kOpen);
    if (!imported) {
        port.progress_end();
        port.warn(mapp_import_save_problem(shown, saved));
        return;
    }
    frame.select_node(saved.music);
    port.refresh(MAppRefresh::room_tree);
    frame.library().open_link();
    port.progress_step(kSteps);
    port.progress_end();
    port.refresh(MAppRefresh::menus);
    port.inform(mapp_import_summary(shown, report, choice.analyse ? &analysis.report : nullptr));
}
