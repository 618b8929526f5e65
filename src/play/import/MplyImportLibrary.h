#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/core/CkvString.h"
#include "model/core/MseqPath.h"
#include "platform/FileSystem.h"
#include "play/import/MplyImport.h"
#include "play/import/MplyImportAnalysis.h"

class MseqObject;

// Why a MIDI file could not be taken in: it could not be read (`why`), or the reader refused
// it (`smf`: the fault and the byte offset; a file over the size limit is refused at byte
// kMplySmfMaxBytes before it is read).
struct MplySmfLoadError {
    bool unreadable = false;
    kv_fs::file_error why;
    MplySmfError smf;
};

// Reads the MIDI file at the host path `host` into `file`. False with the reason in `error`.
// Touches nothing but the file: any thread.
bool mply_load_smf(const std::string& host, MplySmfFile* file, MplySmfLoadError* error);

// The UTF-8 file name without folder and extension ("song" of "/x/song.mid").
std::string mply_import_file_stem(const std::string& host);

// The leaf name a file's stem proposes (UTF-8): the characters a leaf name cannot hold become
// '_', the spaces at its ends go; "import" when nothing is left. Any thread.
std::string mply_import_leaf_name(const std::string& stem);

// Why an import into a book was refused. The library is then as it was, on disk and in memory.
enum class MplyImportSaveFault : uint8_t {
    none,
    not_a_music_book,  // the node is not a music book
    invalid_name,      // the name is no usable leaf name
    book_unreadable,   // the book's file is missing or cannot be read
    book_full,         // the book cannot take the music and its stage map
    no_file_name,      // no free file name beside the book
    refused,           // the conversion refused the file (the reason in `import_fault`)
    write_failed,      // a file could not be written (`file` and `why` say which and why)
    analysis_failed,   // the analysis refused the music (the reason in `analysis_fault`)
};

// The outcome of an import into a book.
struct MplyImportSaved {
    MplyImportSaveFault fault = MplyImportSaveFault::none;
    MplyImportFault import_fault = MplyImportFault::none;
    MplyAnalysisFault analysis_fault = MplyAnalysisFault::none;
    uint32_t tracks_needed = 0;
    MseqObject* music = nullptr;            // the new music leaf
    MseqFullPath music_file;                // where it was written
    MseqFullPath stage_file;                // where its stage map was written
    MseqFullPath chord_file;                // where its first chord map was written (with analysis)
    std::vector<MseqFullPath> chord_files;  // every chord map written, one per key found
    MseqFullPath file;                      // the file that could not be written
    kv_fs::file_error why;
};

// Imports the file as a new music named `name` (CP932) at the end of the music book
// `book_node` (the name must be a usable leaf name), with a stage map of its own beside it: both
// are written into new files next to the book's file, named after `file_stem` (host characters
// other than letters, digits, '-' and '_' become '_'), and then the book is saved listing them.
// When anything fails the new files are removed and the leaves taken out again, so the library
// stays as it was. True with `saved` filled; false with the reason in it. `report` receives what
// the import carried. User-interface thread.
bool mply_import_into_book(MseqObject* book_node, const MplySmfFile& file, const CkvString& name,
                           const std::string& file_stem, MplyImportReport* report,
                           MplyImportSaved* saved);

// What an import with analysis asks for and receives.
struct MplyImportAnalysis {
    MplyAnalysisTarget target = MplyAnalysisTarget::chord_degrees;
    MplyAnalysisReport report;  // filled by the import
};

// The same import followed by the harmony analysis of the new music: a chord map of its own for
// each key found (named after the music with "_chord", "_chord2"..., in files beside the others)
// holds the key and chords found, and the music gets its chord track, transposition track when
// the key changes, and converted notes before anything is written.
// Everything else as above; a refused analysis refuses the import. User-interface thread.
bool mply_import_into_book(MseqObject* book_node, const MplySmfFile& file, const CkvString& name,
                           const std::string& file_stem, MplyImportReport* report,
                           MplyImportSaved* saved, MplyImportAnalysis* analysis);
