#pragma once

#include <string>
#include <vector>

namespace kv_ui {

// `korvante script [FILE]`: runs a script of editing steps from FILE or standard input.
// Returns the exit status (0 when every line ran, 1 at the first line that cannot run, 2 for a
// bad command line). UI thread.
int run_script_command(const std::vector<std::string>& args);

}  // namespace kv_ui
