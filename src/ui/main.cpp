#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ui/Commands.h"
#include "ui/GuiLauncher.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // The window lives in its own program, so that the commands never load the window toolkit.
    if (kv_ui::wants_gui(args)) return kv_ui::launch_gui(args);
    return kv_ui::run_command(args);
}
