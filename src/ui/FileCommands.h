#pragma once

#include <string>
#include <vector>

namespace kv_ui {

// `korvante check FILE...`: loads each file into an entity of the type its header names and
// prints `FILE: ok TYPE "NAME"` (with ` future` / ` new`), or on standard error `FILE: error
// CODE (what it means)` with the place and a hint. Exit status 1
// when any file failed, 2 for a usage error. UI thread.
int run_check_command(const std::vector<std::string>& args);

// `korvante dump FILE`: loads the file as check does and writes exactly the bytes that saving
// the entity would write. Exit status 1 on failure. UI thread.
int run_dump_command(const std::vector<std::string>& args);

// `korvante tree LIBRARY [--tracks]`: opens the library and every book and lists each node:
// identifier, type, display path, descriptive path and the state of its file. UI thread.
int run_tree_command(const std::vector<std::string>& args);

}  // namespace kv_ui
