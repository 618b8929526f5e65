#pragma once

#include <string>
#include <vector>

#include "model/core/CkvString.h"
#include "play/import/MplyImportLibrary.h"

class MFrame;
class MseqObject;

// File -> import of a Standard MIDI File into the open library: the file dialog, the dialog of
// the book, the name and the analysis, the import with its progress (the file is read on a
// thread of its own), the summary, and the new music selected in the tree and opened. A refused
// import leaves the library as it was and says which file, where in it and why.

// The music books of the library under `room`, in tree order.
std::vector<MseqObject*> mapp_music_books(MseqObject* room);

// "none", "chord", "scale" or "tone" as the dialog's analysis field holds it: false for "none"
// (no analysis), else true with what the pure notes become in `target`. Unknown words count as
// "none".
bool mapp_import_analysis(const CkvString& word, MplyAnalysisTarget* target);

// The summary the window shows after an import (CP932): the tracks, notes, rounded notes, and
// with an analysis the key, the chords found and the notes converted.
CkvString mapp_import_summary(const CkvString& shown_file, const MplyImportReport& report,
                              const MplyAnalysisReport* analysis);

// Why the MIDI file could not be taken in (CP932): the byte offset and the reason, the file.
CkvString mapp_import_load_problem(const CkvString& shown_file, const MplySmfLoadError& error);

// Why the import into the book was refused (CP932), the file named; the library is unchanged.
CkvString mapp_import_save_problem(const CkvString& shown_file, const MplyImportSaved& saved);

// Runs File -> import on the frame's library. Nothing without a library, or while playing.
void mapp_import_midi(MFrame& frame);
