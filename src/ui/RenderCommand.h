#pragma once

#include <string>
#include <vector>

namespace kv_ui {

// `korvante render LIBRARY LEAF [-o FILE.wav|.flac|.ogg] [--stems DIR] [--soundfont SF2]`:
// renders offline through the software synthesizer into a 16-bit stereo file at 44100 Hz of
// the format its extension names; with --stems also one file per channel part into DIR (made
// when missing), each as the part sounds in the full render.
// Returns the process exit status: 0 on success, 1 when the work fails (with a message on
// stderr), 2 for a usage error. UI thread.
int run_render_command(const std::vector<std::string>& args);

}  // namespace kv_ui
