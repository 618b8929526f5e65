#include "ui/script/ScriptCommand.h"

#include <cstdio>
#include <fstream>
#include <iostream>

#include "ui/script/ScriptRunner.h"

namespace kv_ui {

int run_script_command(const std::vector<std::string>& args) {
    if (args.size() > 1) {
        std::fprintf(stderr, "usage: korvante script [--home DIR] [FILE]\n");
        return 2;
    }
    ScriptRunner runner;
    runner.add(script_common_verbs());
    runner.add(script_edit_verbs());
    ScriptSession session;
    if (args.empty() || args[0] == "-") return runner.run(std::cin, session);
    std::ifstream file(args[0], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "%s: cannot read the script\n", args[0].c_str());
        return 1;
    }
    return runner.run(file, session);
}

}  // namespace kv_ui
