#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "play/export/MplyExport.h"
#include "play/export/MplyExportParts.h"
#include "ui/LibraryLeaf.h"

class MseqMusic;

namespace kv_ui {

// The steps every tool that works on one music takes before its own work (export, render,
// play, demo, events): open the library, find the music, check where the output goes, compile
// the music into a Standard MIDI File. Each reports a failure on standard error in the tools'
// one form ("korvante: ...") and leaves the exit status to the caller. UI thread only.

// Prints "korvante: `message`" on standard error; returns 1, the tools' exit status for a
// failure.
int tool_failure(const std::string& message);

// Prints the command's usage `lines` (each ending in a new line) on standard error; returns 2,
// the tools' exit status for a command line they cannot use.
int tool_usage(const char* lines);

// Opens the library at the host path `library` into `lib` and finds the leaf named `*leaf` (see
// LibraryLeaf::find), or the library's first music when `leaf` is null. The music, or nullptr
// after printing the reason.
MseqMusic* open_tool_music(LibraryLeaf& lib, const std::string& library, const std::string* leaf);

// True when the tool may write `output` (see output_refusal); false after printing why not.
bool tool_output_allowed(LibraryLeaf& lib, const std::string& output);

// Runs the music through `exporter` into the bytes of a Standard MIDI File, as the player of a
// file export does (no device, no worker of its own). With `parts`, the part names and key of
// the run are described into it first. The result of the export.
MplyExportResult tool_export_midi(MseqMusic* music, MplyExport& exporter,
                                  std::vector<uint8_t>* midi, MplyExportParts* parts = nullptr);

}  // namespace kv_ui
