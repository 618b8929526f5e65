#pragma once

#include <string>
#include <vector>

namespace kv_ui {

// `korvante events LIBRARY LEAF [--from TICK]`: plays the music or phrase LEAF (a display path
// "book/folder/leaf" or an identifier "0x...") of the library offline and prints every call
// the player makes on its output, one tab-separated line each, in the order made: the event's
// tick and what it is, then `finish` when the music ran to its end, and `stop`. Returns the exit
// status: 0 on success, 1 when the library, the leaf or the run fails, 2 for a usage error.
// UI thread.
int run_events_command(const std::vector<std::string>& args);

}  // namespace kv_ui
