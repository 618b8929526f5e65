#pragma once

#include <string>
#include <vector>

// The README's main job. Returns the process exit status: 0 on success, 1 when the work fails
// (with a message on stderr), 2 for a usage error. UI thread.
namespace kv_ui {

// `korvante demo [LIBRARY [LEAF]] [--out DIR] [--no-wav]`: exports a music of a library (the
// first music of the demo library "<prog>.\mymusic\library.kvnr" by default) to DIR/demo.mid,
// renders it to DIR/demo.wav when the synthesizer and a sound font are available, and prints
// the paths and a one-line summary: bars, notes and length in seconds.
int run_demo_command(const std::vector<std::string>& args);

}  // namespace kv_ui
