#pragma once

#include <string>
#include <vector>

namespace kv_ui {

// `korvante parse FILE`: reads one file of the text format (statements and header check, no
// compiling) and prints `ok`, the header and every item of the main record, or `error N`.
// Returns the exit status: 0 on success, 1 when the read fails, 2 for a usage error. UI thread.
int run_parse_command(const std::vector<std::string>& args);

}  // namespace kv_ui
