#pragma once

#include <string>
#include <vector>

namespace kv_ui {

// `korvante export LIBRARY LEAF [-o FILE.mid]`: writes the leaf as a Standard MIDI File.
// Returns the process exit status: 0 on success, 1 when the work fails (with a message on
// stderr), 2 for a usage error. UI thread.
int run_export_command(const std::vector<std::string>& args);

}  // namespace kv_ui
