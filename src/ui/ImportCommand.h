#pragma once

#include <string>
#include <vector>

namespace kv_ui {

// `korvante import FILE.mid LIBRARY [--book NAME] [--name NAME]`: brings a Standard MIDI File
// into a music book of the library as a new music with its own stage map, and prints what was
// carried and what had to change. Returns the process exit status: 0 on success, 1 when the
// file is refused or the library cannot take it (the library then unchanged, with a message on
// stderr), 2 for a usage error. UI thread.
int run_import_command(const std::vector<std::string>& args);

}  // namespace kv_ui
