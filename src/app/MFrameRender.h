#pragma once

#include "model/core/CkvString.h"

class MFrame;
class MseqEntity;

// File -> export with its choices (a MIDI file of format 0 or 1 with CP932 or UTF-8 texts, or a
// MusicXML score, compressed for a .mxl name) and File -> render (WAV, FLAC or Ogg, optionally
// one more file per part into a folder) of the shown file. The render runs on a thread of its
// own behind a progress display that can cancel it; everything is rendered and encoded before
// anything is written, so a cancelled render writes no file at all. The status bar says where
// the files were written.

// The name the export dialog proposes for the shown leaf with `extension` (".mid",
// ".musicxml", ".flac"): its file name without folder and extension, then the extension.
CkvString mapp_default_output_name(const MseqEntity* leaf, const char* extension);

// Runs File -> export on the shown file. Nothing without a playable file shown, or while playing.
void mapp_export_file(MFrame& frame);

// Runs File -> render on the shown file. Nothing without a playable file shown, or while
// playing; a build without the synthesizer, or a machine without a sound font, says so.
void mapp_render_audio(MFrame& frame);
