#include "ui/script/ScriptCommand.h"

#include <cstdio>
#include <fstream>
#include <iostream>

#include "app/MFrame.h"
#include "ui/script/ScriptMapLines.h"
#include "ui/script/ScriptRunner.h"

namespace kv_ui {

int run_script_command(const std::vector<std::string>& args) {
    if (args.size() > 1) {
        std::fprintf(stderr, "usage: korvante script [--home DIR] [FILE]\n");
        return 2;
    }
    ScriptRunner runner;
    runner.add(script_common_verbs());
    // The map steps come first: their `open` also opens chord maps and stage maps.
    runner.add(script_map_verbs());
    runner.add(script_edit_verbs());
    runner.add(script_app_verbs());
    if (args.size() == 1 && args[0] == "--help") {
        std::printf(
            "usage: korvante script [--home DIR] [FILE]   (lines from FILE or standard "
            "input; # starts a comment)\n\n");
        for (const ScriptVerb& v : runner.verbs())
            std::printf("  %s %s\n", v.name, v.usage ? v.usage : "");
        return 0;
    }
    ScriptSession session;
    if (args.empty() || args[0] == "-") {
        const int status = runner.run(std::cin, session);
        script_map_end(session);
        // A file the application could not save fails the script, whatever followed.
        return MFrame::failed_saves() != 0 ? 1 : status;
    }
    std::ifstream file(args[0], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "%s: cannot read the script\n", args[0].c_str());
        return 1;
    }
    const int status = runner.run(file, session);
    script_map_end(session);
    return MFrame::failed_saves() != 0 ? 1 : status;
}

}  // namespace kv_ui
