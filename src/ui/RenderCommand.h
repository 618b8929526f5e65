#pragma once

#include <string>
#include <vector>

namespace kv_ui {

// `korvante render LIBRARY LEAF -o FILE.wav [--soundfont SF2]`: renders offline through the
// software synthesizer into a 16-bit stereo WAV at 44100 Hz.
// Returns the process exit status: 0 on success, 1 when the work fails (with a message on
// stderr), 2 for a usage error. UI thread.
int run_render_command(const std::vector<std::string>& args);

}  // namespace kv_ui
