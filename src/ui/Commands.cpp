#include "ui/Commands.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <optional>

#include "ui/DemoCommand.h"
#include "ui/DevicesCommand.h"
#include "ui/EventsCommand.h"
#include "ui/ExportCommand.h"
#include "ui/FileCommands.h"
#include "ui/ImportCommand.h"
#include "ui/ParseCommand.h"
#include "ui/PlayCommand.h"
#include "ui/RenderCommand.h"
#include "ui/Session.h"
#include "ui/script/ScriptCommand.h"

namespace kv_ui {

const char* system_failure_text(const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e)) return "out of memory";
    return e.what();
}

namespace {

int print_help(const std::vector<std::string>&) {
    std::printf("Korvante %s - music composition with typed note blocks\n\n", KV_VERSION_STRING);
    std::printf("usage: korvante COMMAND [ARGS...]\n");
    std::printf("Without a command, or with 'gui [LIBRARY]', korvante opens the desktop window.\n");
    std::printf("\noptions of every command:\n");
    std::printf("  %-12s the application folder to use instead of the program's own\n",
                "--home DIR");
    std::printf(
        "  %-12s the language of the program's texts; without it the settings dialog's\n"
        "  %-12s choice, else Japanese under a Japanese, C or POSIX locale, else English\n",
        "--lang ja|en", "");
    std::printf("\ncommands:\n");
    for (const Command& c : commands())
        std::printf("  %-10s %s\n", c.name, c.usage);
    return 0;
}

int print_version(const std::vector<std::string>&) {
    std::printf("korvante %s\n", KV_VERSION_STRING);
    return 0;
}

}  // namespace

const std::vector<Command>& commands() {
    static const std::vector<Command> list = {
        {"--help", "show this help", print_help},
        {"--version", "show the program version", print_version},
        {"parse", "FILE: read a text-format file and list its main record", run_parse_command},
        {"check", "FILE...: load each file and report its type and name", run_check_command},
        {"dump", "FILE: load a file and print the bytes saving it would write", run_dump_command},
        {"tree", "LIBRARY [--tracks]: list every node of a library", run_tree_command},
        {"events", "LIBRARY LEAF [--from TICK]: list what a music or phrase plays",
         run_events_command},
        {"export",
         "LIBRARY LEAF [-o FILE.mid|.musicxml|.mxl | -o -] [--format 0|1] [--text cp932|utf8]: "
         "write a music as a Standard MIDI File or a MusicXML score",
         run_export_command},
        {"import",
         "FILE.mid LIBRARY [--book NAME] [--name NAME] [--analyse[=chord|scale|tone]]: bring a "
         "MIDI file in as a music (--analyse: with its keys and chords)",
         run_import_command},
        {"play", "LIBRARY LEAF [--from TICK] [--device N | --synth]: play in real time",
         run_play_command},
        {"render",
         "LIBRARY LEAF [-o FILE.wav|.flac|.ogg|-] [--stems DIR] [--soundfont SF2]: render "
         "through the synthesizer",
         run_render_command},
        {"devices", "list the MIDI output ports and the synthesizer ports", run_devices_command},
        {"demo", "[LIBRARY [LEAF]] [--out DIR] [--no-wav]: export and render the demo song",
         run_demo_command},
        {"script", "[FILE]: run editing steps from FILE or standard input", run_script_command},
    };
    return list;
}

int run_command(const std::vector<std::string>& all) {
    // `--home DIR` anywhere selects another application folder (tests use a temporary one);
    // `--lang ja|en` anywhere the language of the application's texts.
    std::vector<std::string> args;
    std::string home;
    std::optional<kv_language> language;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] == "--home" && i + 1 < all.size()) {
            home = all[++i];
        } else if (all[i] == "--home") {
            std::fprintf(stderr, "korvante: --home needs a folder\n");
            return 2;
        } else if (all[i] == "--lang") {
            kv_language asked = kv_language::japanese;
            if (i + 1 >= all.size() || !kv_parse_language(all[i + 1], &asked)) {
                std::fprintf(stderr, "korvante: --lang wants ja or en%s%s\n",
                             i + 1 < all.size() ? ", not " : "",
                             i + 1 < all.size() ? all[i + 1].c_str() : "");
                return 2;
            }
            language = asked;
            ++i;
        } else {
            args.push_back(all[i]);
        }
    }
    // A folder that is not there (or is a file) would make every file of the program "missing"
    // and the first save create the folders somewhere unintended: refused before anything runs.
    struct stat st;
    if (!home.empty() && (::stat(home.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
        std::fprintf(stderr, "korvante: --home %s: %s\n", home.c_str(),
                     ::stat(home.c_str(), &st) != 0 ? std::strerror(errno) : "not a folder");
        return 2;
    }
    init_program(home, language);
    if (args.empty()) return print_help(args);
    for (const Command& c : commands()) {
        if (args[0] != c.name) continue;
        // Each command is one entry point: what the system throws inside it (memory running
        // out) ends the command with a message instead of an abort.
        try {
            return c.run(std::vector<std::string>(args.begin() + 1, args.end()));
        } catch (const std::exception& e) {
            std::fflush(stdout);
            std::fprintf(stderr, "korvante: %s failed: %s\n", c.name, system_failure_text(e));
            return 1;
        }
    }
    std::fprintf(stderr, "korvante: unknown command '%s' (see korvante --help)\n", args[0].c_str());
    return 2;
}

}  // namespace kv_ui
