#include "ui/GuiLauncher.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace kv_ui {

namespace {

// The arguments without `--home DIR` and `--lang ja|en`, which every command takes.
std::vector<std::string> without_home(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    for (size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "--home" || args[i] == "--lang") && i + 1 < args.size()) {
            ++i;
        } else {
            out.push_back(args[i]);
        }
    }
    return out;
}

}  // namespace

bool wants_gui(const std::vector<std::string>& args) {
    const std::vector<std::string> rest = without_home(args);
    return rest.empty() || rest[0] == "gui";
}

int launch_gui(const std::vector<std::string>& args) {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string gui = (ec ? std::filesystem::path(".") : exe.parent_path()) / "korvante-gui";
    std::vector<std::string> pass = {gui};
    bool dropped = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "--home" || args[i] == "--lang") && i + 1 < args.size()) {
            pass.push_back(args[i]);
            pass.push_back(args[++i]);
        } else if (!dropped && args[i] == "gui") {
            dropped = true;
        } else {
            pass.push_back(args[i]);
        }
    }
    std::vector<char*> argv;
    for (std::string& a : pass)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(gui.c_str(), argv.data());
    std::fprintf(stderr,
                 "korvante: the desktop program %s cannot be started (it is built with Qt 6; "
                 "see tools/setup.sh). The commands work without it: korvante --help\n",
                 gui.c_str());
    return 1;
}

}  // namespace kv_ui
