#pragma once

#include <string>
#include <vector>

namespace kv_ui {

// True when the arguments ask for the desktop application: no command at all, or `gui`
// (`--home DIR` may come anywhere). Any thread.
bool wants_gui(const std::vector<std::string>& args);

// Replaces this process by the desktop program beside it (korvante-gui), handing on every
// argument but the word `gui`. Returns only when it cannot be started: 1 after a message.
int launch_gui(const std::vector<std::string>& args);

}  // namespace kv_ui
