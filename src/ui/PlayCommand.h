#pragma once

#include <string>
#include <vector>

namespace kv_ui {

// `korvante play LIBRARY LEAF [--from TICK] [--device N | --synth]`: plays in real time,
// showing the position, until the end or Ctrl+C.
// Returns the process exit status: 0 on success, 1 when the work fails (with a message on
// stderr), 2 for a usage error. UI thread.
int run_play_command(const std::vector<std::string>& args);

}  // namespace kv_ui
