#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "ui/Commands.h"
#include "ui/GuiLauncher.h"

int main(int argc, char** argv) {
    // Past a file-size limit a write fails like one on a full disk, with its message, instead of
    // ending the program while unsaved work is open.
    std::signal(SIGXFSZ, SIG_IGN);
    // The last boundary: anything that escapes the commands (setting up the program, building
    // the argument list) is reported rather than left to abort the process.
    try {
        std::vector<std::string> args(argv + 1, argv + argc);
        // The window lives in its own program, so that the commands never load the window
        // toolkit.
        if (kv_ui::wants_gui(args)) return kv_ui::launch_gui(args);
        return kv_ui::run_command(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "korvante: %s\n", kv_ui::system_failure_text(e));
        return 1;
    }
}
