#include "ui/script/ScriptCommand.h"

#include <cstdio>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

#include "platform/FileSystem.h"

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
    runner.add(script_recovery_verbs());
    runner.add(script_type_verbs());
    runner.add(script_midi_verbs());
    if (args.size() == 1 && args[0] == "--help") {
        std::printf(
            "usage: korvante script [--home DIR] [FILE]   (lines from FILE or standard "
            "input; # starts a comment)\n\n");
        // A name two areas share ("open", "command") is one step: the first table's is shown.
        std::set<std::string> shown;
        for (const ScriptVerb& v : runner.verbs()) {
            if (shown.insert(v.name).second)
                std::printf("  %s %s\n", v.name, v.usage ? v.usage : "");
        }
        return 0;
    }
    ScriptSession session;
    if (args.empty() || args[0] == "-") {
        const int status = runner.run(std::cin, session);
        script_map_end(session);
        // A file the application could not save fails the script, whatever followed.
        return MFrame::failed_saves() != 0 ? 1 : status;
    }
    // Read whole and through the file layer: a folder, a device (/dev/zero) or a FIFO is refused
    // as every other input of the program is.
    std::string text;
    kv_fs::file_error why;
    if (!kv_fs::read_file(kv_fs::from_host(args[0]), &text, &why)) {
        std::fprintf(stderr, "%s: cannot read the script: %s\n", args[0].c_str(),
                     why.text().c_str());
        return 1;
    }
    std::istringstream file(std::move(text));
    const int status = runner.run(file, session);
    script_map_end(session);
    return MFrame::failed_saves() != 0 ? 1 : status;
}

}  // namespace kv_ui
