#pragma once

#include "model/core/CkvString.h"
#include "play/import/MplyImportAnalysis.h"

class MFrame;
class MseqEntity;

// The harmony analysis of the shown music, as a command of the window: the user chooses what
// the pure notes become; the keys and chords found go into new chord maps of the music's book
// (one a key, written at the next save like every new leaf), a chord track (and a transposition
// track when the key changes), and the converted notes and the standard chord map and chord
// track into the music, all as one undo group of the music's editor, so that one undo returns
// the pure notes and takes the maps out of the book again, and one redo the analysis. What plays
// never changes.

// The lines of a summary that tell what an analysis found and did (CP932, each after a line
// break): the key, the chords, the notes converted and those kept pure.
CkvString mapp_analysis_lines(const MplyAnalysisReport& report);

// Why an analysis was refused, in UTF-8, for a message.
const char* mapp_analysis_fault_text(MplyAnalysisFault fault);

// True when the shown file is a music whose editor the analysis can post to.
bool mapp_can_analyse(const MseqEntity* shown);

// Runs the analysis on the frame's shown music. Nothing while playing or without a music.
void mapp_analyse_music(MFrame& frame);
