#include "ui/ImportCommand.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "model/core/MseqObject.h"
#include "model/core/MseqType.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "play/import/MplyImportLibrary.h"
#include "ui/Session.h"
#include "ui/Terminal.h"

namespace kv_ui {

namespace {

struct ImportArgs {
    std::string midi, library, book, name;
    bool analyse = false;
    MplyAnalysisTarget target = MplyAnalysisTarget::chord_degrees;
};

// `--analyse` (chord degrees first) or `--analyse=chord|scale|tone`; false for anything else.
bool parse_analyse(const std::string& arg, ImportArgs* out) {
    static const struct {
        const char* arg;
        MplyAnalysisTarget target;
    } kForms[] = {{"--analyse", MplyAnalysisTarget::chord_degrees},
                  {"--analyse=chord", MplyAnalysisTarget::chord_degrees},
                  {"--analyse=scale", MplyAnalysisTarget::scale_degrees},
                  {"--analyse=tone", MplyAnalysisTarget::tones}};
    for (const auto& f : kForms) {
        if (arg != f.arg) continue;
        out->analyse = true;
        out->target = f.target;
        return true;
    }
    return false;
}

bool parse_args(const std::vector<std::string>& args, ImportArgs* out) {
    std::vector<std::string> plain;
    for (size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "--book" || args[i] == "--name") && i + 1 < args.size()) {
            (args[i] == "--book" ? out->book : out->name) = args[i + 1];
            ++i;
        } else if (args[i].rfind("--analyse", 0) == 0) {
            if (!parse_analyse(args[i], out)) return false;
        } else if (!args[i].empty() && args[i][0] == '-') {
            return false;
        } else {
            plain.push_back(args[i]);
        }
    }
    if (plain.size() != 2) return false;
    out->midi = plain[0];
    out->library = plain[1];
    return true;
}

// Reads the MIDI file; false with a message naming it, the byte offset and the reason.
bool read_midi(const std::string& host, MplySmfFile* file, std::string* error) {
    MplySmfLoadError why;
    if (mply_load_smf(host, file, &why)) return true;
    *error = why.unreadable ? "cannot read " + host + ": " + why.why.text()
                            : host + ": byte " + std::to_string(why.smf.offset) + ": " +
                                  mply_smf_fault_text(why.smf.fault);
    return false;
}

MseqObject* find_book(Library& lib, const std::string& name) {
    const CkvString wanted(kv_codec::cp932_from_utf8(name));
    for (MseqObject* b = lib.room_node()->first_child(); b; b = b->next()) {
        if (b->type != MTYPE_BOOK_MUSIC) continue;
        if (name.empty() || b->name == wanted) return b;
    }
    return nullptr;
}

std::string analysis_problem(MplyAnalysisFault fault) {
    switch (fault) {
        case MplyAnalysisFault::none:
            return {};
        case MplyAnalysisFault::follows_chords:
            return "the music already follows chords";
        case MplyAnalysisFault::music_full:
            return "the music has no room for a chord track";
        case MplyAnalysisFault::no_map:
            return "the book cannot take a chord map for every key found";
        case MplyAnalysisFault::cannot_play:
            return "the player cannot build the music's tracks for the analysis";
    }
    return "the analysis failed";
}

std::string save_problem(const MplyImportSaved& s) {
    switch (s.fault) {
        case MplyImportSaveFault::none:
            return {};
        case MplyImportSaveFault::not_a_music_book:
            return "the book is not a music book";
        case MplyImportSaveFault::invalid_name:
            return "the name is not a usable leaf name (empty, or with \\ / : * ? \" < > | or "
                   "spaces at an end)";
        case MplyImportSaveFault::book_unreadable:
            return "the book's file cannot be read";
        case MplyImportSaveFault::book_full:
            return "the book cannot take two more leaves";
        case MplyImportSaveFault::no_file_name:
            return "no free file name beside the book";
        case MplyImportSaveFault::refused:
            if (s.import_fault == MplyImportFault::too_many_tracks)
                return "the music would need " + std::to_string(s.tracks_needed) +
                       " tracks; a music holds at most 256";
            return "the new music is not empty";
        case MplyImportSaveFault::write_failed:
            return "cannot write " + path_text(s.file) + ": " + s.why.text();
        case MplyImportSaveFault::analysis_failed:
            return analysis_problem(s.analysis_fault);
    }
    return "unknown failure";
}

void print_report(const MplyImportReport& r) {
    const struct {
        uint32_t count;
        const char* what;
    } lines[] = {
        {r.notes_with_lags, "notes off their track's grid, carried by their own start/end lags"},
        {r.notes_scaled, "notes whose ticks were scaled to 480 a quarter to the nearest tick"},
        {r.notes_lengthened, "notes of no length, given one tick"},
        {r.hanging_notes, "notes never switched off, ended at the end of their track"},
        {r.stray_offs, "note-offs of keys not sounding, ignored"},
        {r.tempo_changes, "tempo changes on the tempo track"},
        {r.tempo_rounded, "tempi rounded to whole beats a minute"},
        {r.tempo_clamped, "tempi outside 4-1024 beats a minute, clamped"},
        {r.tempo_moved, "tempo changes moved to the nearest 64th"},
        {r.labels, "markers, lyrics and texts"},
        {r.labels_moved, "texts moved to the nearest 64th"},
        {r.labels_joined, "texts joined with another at the same position"},
        {r.chars_replaced, "characters CP932 cannot hold, replaced by '?'"},
        {r.signatures, "time and key signatures kept on the memo track"},
        {r.messages, "later program and controller changes as message blocks"},
        {r.messages_moved, "message blocks moved to the nearest 64th"},
        {r.messages_merged, "messages replaced by a later one at the same position"},
        {r.dropped,
         "events no track can hold (key pressure, exclusives, other metas, changes of channels "
         "without notes), left out"},
        {r.repairs.missing_end, "tracks without an end-of-track event"},
        {r.repairs.events_after_end, "events after an end-of-track event, ignored"},
        {r.repairs.track_count, "header with a wrong number of tracks"},
        {r.repairs.foreign_chunks, "chunks of unknown type, skipped"},
        {r.repairs.status_after_meta, "running status taken across a meta or exclusive event"},
    };
    for (const auto& l : lines) {
        if (l.count) std::printf("  %u %s\n", l.count, l.what);
    }
}

void print_analysis(const MplyAnalysisReport& r, const MplyImportSaved& saved) {
    for (const MseqFullPath& file : saved.chord_files)
        std::printf("  chord map: %s\n", path_text(file).c_str());
    std::printf("  analysis: key %s", mply_analysis_key_name(r.tonic, r.minor));
    for (size_t i = 1; i < r.sections.size(); ++i) {
        const MplyAnalysisSection& s = r.sections[i];
        std::printf(", from bar %d %s", s.bar + 1, mply_analysis_key_name(s.tonic, s.minor));
    }
    std::printf("; %u chords on the chord track", r.chords);
    if (r.chords_added) std::printf(", %u chords added to the chord map", r.chords_added);
    if (r.chords_own) std::printf(", %u chords held by their blocks", r.chords_own);
    std::printf("\n  notes converted: %u chord degrees, %u scale degrees, %u tones; %u kept pure\n",
                r.chord_degrees, r.scale_degrees, r.tones, r.kept_pure);
}

}  // namespace

int run_import_command(const std::vector<std::string>& args) {
    ImportArgs a;
    if (!parse_args(args, &a)) {
        std::fprintf(stderr,
                     "usage: korvante import FILE.mid LIBRARY [--book NAME] [--name NAME] "
                     "[--analyse[=chord|scale|tone]]\n");
        return 2;
    }
    MplySmfFile file;
    std::string error;
    if (!read_midi(a.midi, &file, &error)) {
        std::fprintf(stderr, "korvante: %s\n", error.c_str());
        return 1;
    }
    Library lib;
    if (!lib.open(a.library)) {
        std::fprintf(stderr, "korvante: cannot open the library %s\n",
                     problem_message(lib.problem).c_str());
        return 1;
    }
    MseqObject* book = find_book(lib, a.book);
    if (!book) {
        std::fprintf(stderr, "korvante: %s\n",
                     a.book.empty() ? "the library has no music book"
                                    : ("no music book named '" + a.book + "'").c_str());
        return 1;
    }
    const std::string stem = mply_import_file_stem(a.midi);
    const CkvString name(
        kv_codec::cp932_from_utf8(a.name.empty() ? mply_import_leaf_name(stem) : a.name));
    MplyImportReport report;
    MplyImportSaved saved;
    MplyImportAnalysis analysis;
    analysis.target = a.target;
    if (!mply_import_into_book(book, file, name, stem, &report, &saved,
                               a.analyse ? &analysis : nullptr)) {
        std::fprintf(stderr, "korvante: cannot import %s: %s (the library is unchanged)\n",
                     a.midi.c_str(), save_problem(saved).c_str());
        return 1;
    }
    std::printf("imported %s as %s into the book %s: %u notes, %u note tracks in %u groups\n",
                a.midi.c_str(), terminal_quoted(name).c_str(), terminal_quoted(book->name).c_str(),
                report.notes, report.note_tracks, report.parts);
    std::printf("  music: %s\n  stage map: %s\n", path_text(saved.music_file).c_str(),
                path_text(saved.stage_file).c_str());
    print_report(report);
    if (a.analyse) print_analysis(analysis.report, saved);
    return 0;
}

}  // namespace kv_ui
