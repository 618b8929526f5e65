// The application's steps of `korvante script`: the start-up, commands by number, selections in
// the library tree and the edit list, dialog values and file-dialog answers queued ahead,
// printouts of the frame's state, waiting for playback, and exit.
#include "ui/script/ScriptRunner.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/MAppCommands.h"
#include "app/MAppFolders.h"
#include "app/MAppText.h"
#include "app/MFrame.h"
#include "model/core/CkvText.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/core/parse_int.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqRoom.h"
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
    return ckv_from_utf8(utf8);
}

// A file or library named on a script line: a host path, relative to the working folder unless
// it starts with '/'.
CkvString host_value(const std::string& path) {
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
    return CkvString(kv_fs::from_host(absolute.lexically_normal().string()));
}

std::string shown_name(const MseqObject* node) {
    return terminal_text(node->name.empty() ? mseq_type_name(node->type) : node->name);
}

bool modified(const MseqEntity* e) {
    return e && (e->flags & MEF_MODIFIED);
}

bool need_frame(ScriptSession& s, std::string* error) {
    if (s.frame()) return true;
    *error = "the application is not started (use: start)";
    return false;
}

bool step_start(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (line.args.size() > 1) {
        *error = "usage: start [LIBRARY]";
        return false;
    }
    if (s.app) {
        *error = "the application is already started";
        return false;
    }
    s.close();
    MAppServices services;
    services.port = &s.port;
    services.home = program_folder();
    services.recovery = mapp_recovery_folder();
    s.app = std::make_unique<MApp>();
    const CkvString command_line = line.args.empty() ? CkvString() : host_value(line.args[0]);
    if (!s.app->start(services, command_line)) {
        s.app.reset();
        *error = "the application did not start";
        return false;
    }
    return true;
}

bool step_menu(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!need_frame(s, error)) return false;
    int64_t id = 0;
    if (line.args.size() != 1 ||
        parse_int(line.args[0], 1, 0xFFFFFFFF, &id, PARSE_INT_HEX) != parse_int_error::none) {
        *error = "usage: menu ID";
        return false;
    }
    if (!s.frame()->run(static_cast<uint32_t>(id)))
        std::printf("menu %lld: disabled\n", static_cast<long long>(id));
    s.frame()->pump();
    if (s.frame()->exited()) {
        // Exit through the menu: the window closes and the frame goes with it.
        s.app.reset();
        std::printf("exit: done\n");
    }
    const std::string unanswered = s.port.take_failure();
    if (!unanswered.empty()) {
        *error = unanswered;
        return false;
    }
    return true;
}

// The node named by a display path below the library ("Book/Folder/Leaf"; "/" the library).
MseqObject* find_node(MFrame& f, const std::string& path) {
    MseqObject* node = f.room_node();
    const std::string rest = path == "/" ? std::string() : path;
    size_t start = 0;
    while (node && start < rest.size()) {
        const size_t slash = rest.find('/', start);
        const std::string part =
            rest.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (mseq_type_category(node->type) == MCAT_BOOK) mseq_open(node);
        MseqObject* next = nullptr;
        for (MseqObject* c = node->first_child(); c && !next; c = c->next()) {
            if (shown_name(c) == part) next = c;
        }
        node = next;
        start = slash == std::string::npos ? rest.size() : slash + 1;
    }
    return node;
}

bool step_select(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!need_frame(s, error)) return false;
    if (line.args.size() != 1) {
        *error = "usage: select PATH";
        return false;
    }
    MseqObject* node = find_node(*s.frame(), line.args[0]);
    if (!node) {
        *error = "no node '" + line.args[0] + "' in the library";
        return false;
    }
    s.frame()->select_node(node);
    return true;
}

bool step_select_edit(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!need_frame(s, error)) return false;
    if (line.args.size() != 1) {
        *error = "usage: select-edit NAME";
        return false;
    }
    if (line.args[0] == "/") {
        s.frame()->select_edit(-1);
        return true;
    }
    const auto& list = s.frame()->edit_list();
    for (size_t i = 0; i < list.size(); ++i) {
        if (terminal_text(list[i].entity->name) == line.args[0]) {
            s.frame()->select_edit(static_cast<int>(i));
            return true;
        }
    }
    *error = "no edit-list entry '" + line.args[0] + "'";
    return false;
}

bool step_dialog(ScriptSession& s, const ScriptLine& line, std::string* error) {
    std::vector<std::pair<std::string, CkvString>> values;
    for (const std::string& a : line.args) {
        const size_t eq = a.find('=');
        if (eq == std::string::npos || eq == 0) {
            *error = "usage: dialog FIELD=VALUE...";
            return false;
        }
        values.emplace_back(a.substr(0, eq), app_value(a.substr(eq + 1)));
    }
    s.port.dialog(values);
    return true;
}

bool step_file(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (line.args.size() != 1) {
        *error = "usage: file PATH|-";
        return false;
    }
    if (line.args[0] == "-") {
        s.port.cancel_file();
    } else {
        s.port.file(host_value(line.args[0]));
    }
    return true;
}

void print_tree(const MFrame& f, const MseqObject* node, const MseqObject* selected, int depth) {
    if (mseq_type_category(node->type) == MCAT_BOOK) mseq_open(const_cast<MseqObject*>(node));
    const std::string mark = f.file_mark(node);
    std::printf("%s%s%s\t%s%s%s\n", node == selected ? "> " : "  ",
                std::string(static_cast<size_t>(depth) * 2, ' ').c_str(), shown_name(node).c_str(),
                type_text(node->type).c_str(), modified(node->entity()) ? "\t*" : "",
                mark.empty() ? "" : ("\t" + mark).c_str());
    for (const MseqObject* c = node->first_child(); c; c = c->next())
        print_tree(f, c, selected, depth + 1);
}

bool print_recent(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!need_frame(s, error)) return false;
    const auto& rooms = mseq_config().m_RecentRooms;
    for (size_t i = 0; i < rooms.size(); ++i)
        std::printf("%zu - %s\n", i + 1, terminal_text(rooms[i]).c_str());
    return true;
}

bool print_room_tree(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!need_frame(s, error)) return false;
    MFrame& f = *s.frame();
    if (f.room_node()) {
        print_tree(f, f.room_node(), f.selected_node(), 0);
    } else {
        std::printf("(no library)\n");
    }
    return true;
}

bool print_edit_list(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!need_frame(s, error)) return false;
    MFrame& f = *s.frame();
    std::printf("%s[root]\n", f.edit_selection() < 0 ? "> " : "  ");
    const auto& list = f.edit_list();
    for (size_t i = 0; i < list.size(); ++i) {
        const MseqEntity* e = list[i].entity.get();
        std::printf("%s%s%s\t%s\n", static_cast<int>(i) == f.edit_selection() ? "> " : "  ",
                    terminal_text(e->name).c_str(), modified(e) ? " *" : "",
                    terminal_text(e->full_path).c_str());
    }
    return true;
}

bool print_title(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!need_frame(s, error)) return false;
    std::printf("%s\n", terminal_text(s.frame()->title()).c_str());
    return true;
}

// A command's menu label and status-bar text as the window shows them, in the language shown.
bool print_menu(ScriptSession&, const ScriptLine& line, std::string* error) {
    int64_t id = 0;
    if (line.args.size() != 1 ||
        parse_int(line.args[0], 1, 0xFFFFFFFF, &id, PARSE_INT_HEX) != parse_int_error::none) {
        *error = "usage: print menu ID";
        return false;
    }
    const CkvString label = mapp_commands::label(static_cast<uint32_t>(id));
    if (label.empty()) {
        *error = "command " + line.args[0] + " has no menu label";
        return false;
    }
    std::printf("menu %s: %s | %s\n", line.args[0].c_str(), terminal_text(label).c_str(),
                terminal_text(mapp_commands::status_text(static_cast<uint32_t>(id))).c_str());
    return true;
}

bool print_modified(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!need_frame(s, error)) return false;
    std::vector<std::string> paths;
    for (const auto& [e, ref] : MseqDesk::instance().modified)
        paths.push_back(terminal_text(e->full_path));
    std::sort(paths.begin(), paths.end());
    std::printf("modified: %zu\n", paths.size());
    for (const std::string& p : paths)
        std::printf("  %s\n", p.c_str());
    return true;
}

bool step_wait(ScriptSession& s, const ScriptLine& line, std::string* error) {
    if (!need_frame(s, error)) return false;
    int64_t ms = 600000;
    if (!line.args.empty() &&
        parse_int(line.args[0], 0, UINT32_MAX, &ms) != parse_int_error::none) {
        *error = "usage: wait [MS]";
        return false;
    }
    if (!s.frame()->wait_play_end(static_cast<uint32_t>(ms))) std::printf("wait: still playing\n");
    return true;
}

bool step_exit(ScriptSession& s, const ScriptLine&, std::string* error) {
    if (!need_frame(s, error)) return false;
    const bool done = s.frame()->exit(MAppPlacement{});
    const std::string unanswered = s.port.take_failure();
    if (!unanswered.empty()) {
        *error = unanswered;
        return false;
    }
    if (!done) {
        std::printf("exit: cancelled\n");
        return true;
    }
    s.app.reset();
    std::printf("exit: done\n");
    return true;
}

}  // namespace

bool script_open_in_app(ScriptSession& s, const std::string& library, const std::string& leaf,
                        std::string* error) {
    MFrame& f = *s.frame();
    const CkvString path = host_value(library);
    const bool same = f.room() && CkvString::compare_nocase(f.room()->full_path, path) == 0;
    if (!same) {
        // Another library replaces the open one: unsaved changes are asked about first.
        if (!f.ask_to_save(mapp_text(mapp_msg::OPEN_LIBRARY))) {
            *error = s.port.take_failure();
            if (error->empty()) *error = "opening " + library + " was cancelled";
            return false;
        }
        if (!f.open_room(path, false)) {
            *error = "the library " + library + " cannot be opened";
            return false;
        }
    }
    MseqObject* node = find_node(f, leaf);
    if (!node) {
        *error = "no node '" + leaf + "' in the library";
        return false;
    }
    f.select_node(node);
    f.run(ID_LINK_OPEN);
    const std::string unanswered = s.port.take_failure();
    if (!unanswered.empty()) {
        *error = unanswered;
        return false;
    }
    return true;
}

const std::vector<ScriptVerb>& script_app_verbs() {
    static const std::vector<ScriptVerb> verbs = {
        {"start", step_start, "[LIBRARY]: start the application (--home DIR is its folder)"},
        {"menu", step_menu,
         "ID: run a command of the main window, the library tree (on the selected node) or the "
         "edit list (on the selected entry)"},
        {"select", step_select,
         "PATH: select a library-tree node (\"/\" the library, "
         "\"Book/Folder/Leaf\" by the names shown)"},
        {"select-edit", step_select_edit, "NAME: select an edit-list entry (\"/\" the root entry)"},
        {"dialog", step_dialog,
         "FIELD=VALUE...: values for the next dialog, one line per press of OK. Create "
         "library: parent folder file. New music: page=1 parent folder, or page=2 book music "
         "stage chord. Settings: m_DeviceID (-1 mapper, -2 none) m_DmPortName m_DirectMusic "
         "m_PlayMode m_StopClose m_StopResetMsg m_CacheLevel m_SeekInterval m_ShowMenuBar "
         "m_ShowStatusBar m_VertTrackList m_VertTrackProp m_MouseWheel m_LClickDelete "
         "m_DownSemiFlat autosave_seconds language (ja or en; both kept for the next start). "
         "Values starting with / "
         "are host paths"},
        {"file", step_file, "PATH|-: the answer of the next file or folder dialog (- cancels)"},
        {"print recent", print_recent, ": the recent libraries, newest first"},
        {"print tree", print_room_tree, ": the library tree (> marks the selection, * modified)"},
        {"print editlist", print_edit_list, ": the edit list (> marks the selection)"},
        {"print title", print_title, ": the window title"},
        {"print menu", print_menu, "ID: the menu label and status-bar text of command ID"},
        {"print modified", print_modified, ": the files waiting to be saved"},
        {"wait", step_wait, "[MS]: wait until playback has ended"},
        {"exit", step_exit, ": the exit flow (ask to save, write the configuration)"},
    };
    return verbs;
}

}  // namespace kv_ui
