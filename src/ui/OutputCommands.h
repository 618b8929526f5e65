#pragma once

#include <string>
#include <vector>

// The command-line tools of playback output. Each returns the process exit status: 0 on
// success, 1 when the work fails (with a message on stderr), 2 for a usage error. UI thread.
namespace kv_ui {

// `korvante export LIBRARY LEAF [-o FILE.mid]`: writes the leaf as a Standard MIDI File.
int run_export_command(const std::vector<std::string>& args);

// `korvante play LIBRARY LEAF [--from TICK] [--device N | --synth]`: plays in real time,
// showing the position, until the end or Ctrl+C.
int run_play_command(const std::vector<std::string>& args);

// `korvante render LIBRARY LEAF -o FILE.wav [--soundfont SF2]`: renders offline through the
// software synthesizer into a 16-bit stereo WAV at 44100 Hz.
int run_render_command(const std::vector<std::string>& args);

// `korvante devices`: lists the MIDI output ports and the synthesizer ports.
int run_devices_command(const std::vector<std::string>& args);

}  // namespace kv_ui
