#include "ui/AppScript.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/MAppCommands.h"
#include "app/MFrame.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqConfig.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "ui/Session.h"
#include "ui/Terminal.h"

namespace kv_ui {

namespace {

// A value as the application takes it: host paths (starting with '/') in Windows form, every
// text in CP932.
CkvString app_value(const std::string& utf8) {
    if (!utf8.empty() && utf8[0] == '/') return CkvString(kv_fs::from_host(utf8));
    return CkvString(kv_codec::cp932_from_utf8(utf8));
}

std::string shown_name(const MseqObject* node) {
    return terminal_text(node->name.empty() ? mseq_type_name(node->type) : node->name);
}

bool modified(const MseqEntity* e) {
    return e && (e->flags & MEF_MODIFIED);
}

void print_tree(const MseqObject* node, const MseqObject* selected, int depth) {
    std::printf("%s%s%s\t%s%s\n", node == selected ? "> " : "  ",
                std::string(static_cast<size_t>(depth) * 2, ' ').c_str(), shown_name(node).c_str(),
                type_text(node->type).c_str(), modified(node->entity()) ? "\t*" : "");
    if (mseq_type_category(node->type) == MCAT_BOOK) mseq_open(const_cast<MseqObject*>(node));
    for (const MseqObject* c = node->first_child(); c; c = c->next())
        print_tree(c, selected, depth + 1);
}

bool need_frame(MFrame* frame, std::string* error) {
    if (frame) return true;
    *error = "the application is not started (use start)";
    return false;
}

}  // namespace

const std::vector<AppScript::Help>& AppScript::help() {
    static const std::vector<Help> lines = {
        {"start", "[LIBRARY]: start the application (with --home DIR as its folder)"},
        {"menu", "ID: run a command of the main window, the library tree or the edit list"},
        {"select", "PATH: select a library-tree node (\"/\" the library, \"Book/Folder/Leaf\")"},
        {"select-edit", "NAME: select an edit-list entry by its name (\"/\" the root entry)"},
        {"dialog",
         "FIELD=VALUE...: values for the next dialog, one line per OK press (create library: "
         "parent folder file; new music: page=1 parent folder | page=2 book music stage "
         "chord; settings: m_DeviceID m_DmPortName m_DirectMusic m_PlayMode m_StopClose "
         "m_StopResetMsg m_CacheLevel m_SeekInterval m_ShowMenuBar ...)"},
        {"file", "PATH|-: the answer of the next file or folder dialog (- cancels)"},
        {"answer", "yes|no|cancel...: the answers of the next questions"},
        {"print", "recent|tree|editlist|title|modified: print the application's state"},
        {"wait", "[MS]: wait until playback has ended (at most MS, default 600000)"},
        {"exit", "run the exit flow (ask to save, write the configuration)"},
        {"open", "LIBRARY LEAF: start (or open LIBRARY) and open the leaf for editing"},
    };
    return lines;
}

AppScript::AppScript()
    : port_([](const std::string& line) {
          std::printf("%s\n", line.c_str());
          std::fflush(stdout);
      }) {}

AppScript::~AppScript() = default;

bool AppScript::handles(const std::string& verb) {
    for (const Help& h : help()) {
        if (verb == h.verb) return true;
    }
    return false;
}

bool AppScript::run(const std::string& verb, const std::vector<std::string>& args,
                    std::string* error) {
    bool ok = false;
    if (verb == "start") {
        ok = start(args, error);
    } else if (verb == "menu") {
        ok = menu(args, error);
    } else if (verb == "select") {
        ok = select(args, error);
    } else if (verb == "select-edit") {
        ok = select_edit(args, error);
    } else if (verb == "dialog") {
        ok = dialog(args, error);
    } else if (verb == "file") {
        ok = file(args, error);
    } else if (verb == "answer") {
        ok = answer(args, error);
    } else if (verb == "print") {
        ok = print(args, error);
    } else if (verb == "wait") {
        ok = wait(args, error);
    } else if (verb == "exit") {
        ok = exit(error);
    } else if (verb == "open") {
        ok = open(args, error);
    } else {
        *error = "unknown line '" + verb + "'";
    }
    if (MFrame* f = frame()) f->pump();
    return ok;
}

bool AppScript::start(const std::vector<std::string>& args, std::string* error) {
    if (args.size() > 1) {
        *error = "usage: start [LIBRARY]";
        return false;
    }
    if (app_) {
        *error = "the application is already started";
        return false;
    }
    MAppServices services;
    services.port = &port_;
    services.home = program_folder();
    app_ = std::make_unique<MApp>();
    const CkvString line = args.empty() ? CkvString() : app_value(args[0]);
    if (!app_->start(services, line)) {
        app_.reset();
        std::printf("start: failed\n");
        return true;
    }
    return true;
}

bool AppScript::menu(const std::vector<std::string>& args, std::string* error) {
    if (!need_frame(frame(), error)) return false;
    char* end = nullptr;
    const unsigned long id = args.size() == 1 ? std::strtoul(args[0].c_str(), &end, 0) : 0;
    if (args.size() != 1 || *end || id == 0) {
        *error = "usage: menu ID";
        return false;
    }
    if (!frame()->run(static_cast<uint32_t>(id))) std::printf("menu %lu: disabled\n", id);
    return true;
}

bool AppScript::select(const std::vector<std::string>& args, std::string* error) {
    if (!need_frame(frame(), error)) return false;
    if (args.size() != 1) {
        *error = "usage: select PATH";
        return false;
    }
    MseqObject* node = frame()->room_node();
    if (!node) {
        *error = "no library is open";
        return false;
    }
    const std::string path = args[0] == "/" ? std::string() : args[0];
    size_t start = 0;
    while (node && start < path.size()) {
        const size_t slash = path.find('/', start);
        const std::string part =
            path.substr(start, slash == std::string::npos ? slash : slash - start);
        if (mseq_type_category(node->type) == MCAT_BOOK) mseq_open(node);
        MseqObject* next = nullptr;
        for (MseqObject* c = node->first_child(); c && !next; c = c->next()) {
            if (shown_name(c) == part) next = c;
        }
        node = next;
        start = slash == std::string::npos ? path.size() : slash + 1;
    }
    if (!node) {
        *error = "no node '" + args[0] + "' in the library";
        return false;
    }
    frame()->select_node(node);
    return true;
}

bool AppScript::select_edit(const std::vector<std::string>& args, std::string* error) {
    if (!need_frame(frame(), error)) return false;
    if (args.size() != 1) {
        *error = "usage: select-edit NAME";
        return false;
    }
    if (args[0] == "/") {
        frame()->select_edit(-1);
        return true;
    }
    const auto& list = frame()->edit_list();
    for (size_t i = 0; i < list.size(); ++i) {
        if (terminal_text(list[i].entity->name) == args[0]) {
            frame()->select_edit(static_cast<int>(i));
            return true;
        }
    }
    *error = "no edit-list entry '" + args[0] + "'";
    return false;
}

bool AppScript::dialog(const std::vector<std::string>& args, std::string* error) {
    std::vector<std::pair<std::string, CkvString>> values;
    for (const std::string& a : args) {
        const size_t eq = a.find('=');
        if (eq == std::string::npos || eq == 0) {
            *error = "usage: dialog FIELD=VALUE...";
            return false;
        }
        values.emplace_back(a.substr(0, eq), app_value(a.substr(eq + 1)));
    }
    port_.dialog(values);
    return true;
}

bool AppScript::file(const std::vector<std::string>& args, std::string* error) {
    if (args.size() != 1) {
        *error = "usage: file PATH|-";
        return false;
    }
    if (args[0] == "-") {
        port_.cancel_file();
    } else {
        port_.file(app_value(args[0]));
    }
    return true;
}

bool AppScript::answer(const std::vector<std::string>& args, std::string* error) {
    if (args.empty()) {
        *error = "usage: answer yes|no|cancel...";
        return false;
    }
    for (const std::string& a : args) {
        if (a == "yes") {
            port_.answer(MAppAnswer::yes);
        } else if (a == "no") {
            port_.answer(MAppAnswer::no);
        } else if (a == "cancel") {
            port_.answer(MAppAnswer::cancel);
        } else {
            *error = "usage: answer yes|no|cancel...";
            return false;
        }
    }
    return true;
}

bool AppScript::print(const std::vector<std::string>& args, std::string* error) {
    if (!need_frame(frame(), error)) return false;
    const std::string what = args.size() == 1 ? args[0] : std::string();
    MFrame& f = *frame();
    if (what == "recent") {
        const auto& rooms = mseq_config().m_RecentRooms;
        for (size_t i = 0; i < rooms.size(); ++i)
            std::printf("%zu - %s\n", i + 1, terminal_text(rooms[i]).c_str());
    } else if (what == "tree") {
        if (f.room_node()) {
            print_tree(f.room_node(), f.selected_node(), 0);
        } else {
            std::printf("(no library)\n");
        }
    } else if (what == "editlist") {
        std::printf("%s[root]\n", f.edit_selection() < 0 ? "> " : "  ");
        const auto& list = f.edit_list();
        for (size_t i = 0; i < list.size(); ++i) {
            const MseqEntity* e = list[i].entity.get();
            std::printf("%s%s%s\t%s\n", static_cast<int>(i) == f.edit_selection() ? "> " : "  ",
                        terminal_text(e->name).c_str(), modified(e) ? " *" : "",
                        terminal_text(e->full_path).c_str());
        }
    } else if (what == "title") {
        std::printf("%s\n", terminal_text(f.title()).c_str());
    } else if (what == "modified") {
        std::vector<std::string> paths;
        for (const auto& [e, ref] : MseqDesk::instance().modified)
            paths.push_back(terminal_text(e->full_path));
        std::sort(paths.begin(), paths.end());
        std::printf("modified: %zu\n", paths.size());
        for (const std::string& p : paths)
            std::printf("  %s\n", p.c_str());
    } else {
        *error = "usage: print recent|tree|editlist|title|modified";
        return false;
    }
    return true;
}

bool AppScript::wait(const std::vector<std::string>& args, std::string* error) {
    if (!need_frame(frame(), error)) return false;
    const unsigned long ms = args.empty() ? 600000ul : std::strtoul(args[0].c_str(), nullptr, 10);
    if (!frame()->wait_play_end(static_cast<uint32_t>(ms))) std::printf("wait: still playing\n");
    return true;
}

bool AppScript::exit(std::string* error) {
    if (!need_frame(frame(), error)) return false;
    if (!frame()->exit(MAppPlacement{})) {
        std::printf("exit: cancelled\n");
        return true;
    }
    app_.reset();
    std::printf("exit: done\n");
    return true;
}

bool AppScript::open(const std::vector<std::string>& args, std::string* error) {
    if (args.size() != 2) {
        *error = "usage: open LIBRARY LEAF";
        return false;
    }
    if (!frame()) {
        if (!start({args[0]}, error)) return false;
        if (!frame()) {
            *error = "the application did not start";
            return false;
        }
    } else if (!frame()->open_room(app_value(args[0]), false)) {
        *error = "the library cannot be opened";
        return false;
    }
    if (!select({args[1]}, error)) return false;
    frame()->run(ID_LINK_OPEN);
    return true;
}

int run_app_script(const std::vector<std::string>& lines) {
    AppScript script;
    int number = 0;
    for (const std::string& raw : lines) {
        ++number;
        std::istringstream in(raw);
        std::vector<std::string> words;
        std::string w;
        while (in >> w)
            words.push_back(w);
        if (words.empty() || words[0][0] == '#') continue;
        const std::string verb = words[0];
        words.erase(words.begin());
        if (!AppScript::handles(verb)) {
            std::fprintf(stderr, "line %d: unknown line '%s'\n", number, verb.c_str());
            return 2;
        }
        std::string error;
        if (!script.run(verb, words, &error)) {
            std::fprintf(stderr, "line %d: %s\n", number, error.c_str());
            return 1;
        }
    }
    return 0;
}

int run_script_command(const std::vector<std::string>& args) {
    if (args.size() == 1 && args[0] == "--help") {
        std::printf("usage: korvante script [FILE]   (lines from FILE or standard input)\n\n");
        for (const AppScript::Help& h : AppScript::help())
            std::printf("  %-12s %s\n", h.verb, h.usage);
        return 0;
    }
    if (args.size() > 1) {
        std::fprintf(stderr, "usage: korvante script [FILE]\n");
        return 2;
    }
    std::vector<std::string> lines;
    std::string line;
    if (args.empty() || args[0] == "-") {
        while (std::getline(std::cin, line))
            lines.push_back(line);
    } else {
        std::ifstream in(args[0]);
        if (!in) {
            std::fprintf(stderr, "korvante: cannot read %s\n", args[0].c_str());
            return 1;
        }
        while (std::getline(in, line))
            lines.push_back(line);
    }
    return run_app_script(lines);
}

}  // namespace kv_ui
