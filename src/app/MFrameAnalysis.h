#pragma once

#include "model/core/CkvString.h"
#include "play/import/MplyImportAnalysis.h"

class MFrame;
class MseqEntity;

// The harmony analysis of the shown music, as a command of the window: the user chooses what
// the pure notes become; the key and chords found go into a new chord map beside the music
// (written at once, listed in the music's book) and a chord track, and the converted notes
// into the music, all as one undo group of the music's editor, so that one undo returns the
// pure notes and one redo the analysis. What plays never changes.

// The lines of a summary that tell what an analysis found and did (CP932, each after a line
// break): the key, the chords, the notes converted and those kept pure.
CkvString mapp_analysis_lines(const MplyAnalysisReport& report);

// True when the shown file is a music whose editor the analysis can post to.
bool mapp_can_analyse(const MseqEntity* shown);

// Runs the analysis on the frame's shown music. Nothing while playing or without a music.
void mapp_analyse_music(MFrame& frame);
