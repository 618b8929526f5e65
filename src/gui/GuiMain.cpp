// The desktop program: the main window over the application, started by `korvante` (no command
// or `korvante gui`) so that the command-line tools never load the window toolkit.
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPixmap>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/MApp.h"
#include "app/MAppCommands.h"
#include "app/MAppFolders.h"
#include "app/MAppMidiInput.h"
#include "app/MAppProgram.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "edit/MedtViewCommands.h"
#include "gui/GuiEditorPane.h"
#include "gui/GuiMainWindow.h"
#include "gui/GuiRoomTree.h"
#include "gui/GuiStart.h"
#include "gui/GuiText.h"
#include "gui/GuiUserPort.h"
#include "gui/views/GuiMusicView.h"
#include "gui/views/GuiTimeline.h"
#include "model/core/CkvText.h"
#include "model/core/MseqObject.h"
#include "model/lang/KvLanguage.h"
#include "platform/FileSystem.h"
#include "platform/Instance.h"
#include "platform/MidiOut.h"
#include "platform/SynthPort.h"
#include "platform/UserFolders.h"

namespace {

// Monotonic nanoseconds; the measurement of the start-up counts from the launcher's value.
int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const int64_t g_main_entered = now_ns();

// The application folder: beside the program in a build folder, <prefix>/share/korvante when
// installed.
std::string program_folder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : kv_folders::locate_application(exe.string()).path;
}

bool has_display() {
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") ||
           std::getenv("QT_QPA_PLATFORM");
}

// A private runtime folder, so that pictures and measurements run beside a working copy.
std::string private_runtime_folder() {
    char tmpl[] = "/tmp/korvante-shot-XXXXXX";
    return ::mkdtemp(tmpl) ? std::string(tmpl) : std::string();
}

// Processes events until the window has painted (at most `limit_ms`).
bool wait_painted(GuiMainWindow& window, int limit_ms) {
    QElapsedTimer clock;
    clock.start();
    while (!window.painted() && clock.elapsed() < limit_ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    // One more round: the children's paint and the flush follow the window's own.
    QApplication::processEvents();
    return window.painted();
}

// Step recording on at the opened bar of the first note track shown, and `options.step_keys`
// entered one after another as keys played on the MIDI input would be.
void step_record(MFrame& frame, GuiMainWindow& window, const GuiOptions& options) {
    MedtMusicInvoker* editor = window.editor_pane()->music_view()->editor();
    if (!editor) return;
    for (MedtTrack* t = editor->root(); t; t = t->next_in(editor->root())) {
        if (!t->node() || t->node()->type != MTYPE_TRACK_NOTE || !t->shown()) continue;
        const int32_t at = std::max(0, options.bar - 1) * t->beats();
        editor->set_cursor(t, at, at);
        break;
    }
    window.run_command(ID_STEP_RECORD);
    for (int32_t key : options.step_keys) {
        const auto k = static_cast<uint8_t>(key);
        frame.midi_input().take({0, 0x90, k, 100});
        frame.midi_input().take({0, 0x80, k, 0});
    }
    window.editor_pane()->music_view()->timeline()->scroll_to_cursor();
    // A picture is made without a sound device: the audition's notice of that is not its subject.
    window.statusBar()->clearMessage();
}

// The settings dialog as the menu opens it over the window, painted and then cancelled; a null
// picture when it did not open.
QPixmap dialog_picture(GuiMainWindow& window, GuiUserPort& port) {
    QPixmap picture;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&picture, &poll] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        poll.stop();
        QApplication::processEvents();
        picture = dialog->grab();
        dialog->reject();
    });
    poll.start();
    // An unattended port refuses dialogs; this one is opened to be pictured and cancelled.
    port.set_unattended(false);
    window.run_command(ID_TOOL_SETTINGS);
    port.set_unattended(true);
    return picture;
}

}  // namespace

int main(int argc, char** argv) {
    const GuiOptions options = gui_parse_options(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        std::fprintf(stderr,
                     "korvante gui: %s\nusage: korvante gui [LIBRARY] [--lang ja|en] [--open LEAF] "
                     "[--screenshot FILE.png] [--size WxH] [--bar N] [--zoom fit|LEVELS] [--lanes] "
                     "[--view-only] [--step-keys KEY,...] [--dialog settings]\n",
                     options.error.c_str());
        return 2;
    }
    // The language is chosen before the first text is made (Qt's translations included); the
    // setting is read from the folder the application's start-up picks.
    mapp_init_program(options.home.empty() ? program_folder() : options.home);
    mapp_start_language(options.language);
    const bool unattended = !options.screenshot.empty() || options.report_first_paint;
    if (!has_display()) {
        if (!unattended) {
            std::fprintf(stderr,
                         "korvante: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); the "
                         "window cannot open.\nThe command-line tools work without one, for "
                         "example: korvante demo\n");
            return 1;
        }
        // Pictures and measurements are made off the screen.
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvante"));
    QApplication::setApplicationVersion(QStringLiteral(KV_VERSION_STRING));
    GuiUserPort port;
    port.set_unattended(unattended);
    std::unique_ptr<kv_midi::midi_out> midi = kv_midi::make_system_midi_out();
    std::unique_ptr<kv_synth::synth_port> synth = kv_synth::make_fluidsynth_port("", false);

    MAppServices services;
    services.port = &port;
    services.midi = midi.get();
    services.synth = synth.get();
    services.home = options.home.empty() ? program_folder() : options.home;
    // Pictures and measurements leave no recovery copies behind.
    if (!unattended) services.recovery = mapp_recovery_folder();

    CkvString command_line;
    if (!options.library.empty()) {
        std::error_code ec;
        const std::string absolute = std::filesystem::absolute(options.library, ec).string();
        command_line = CkvString(kv_fs::from_host(ec ? options.library : absolute));
    }
    const std::string runtime = unattended ? private_runtime_folder() : std::string();
    MApp korvante;
    if (!korvante.start(services, command_line, runtime)) return 1;
    MFrame& frame = *korvante.frame();
    // The start-up has chosen the language; Qt's own dialogs follow it.
    gui_install_qt_translations(app);

    int status = 0;
    {
        GuiMainWindow window(frame, port);
        port.attach(&window);
        window.set_raise_poll([&korvante] { return korvante.take_raise_request(); });
        window.restore_placement();
        if (options.width > 0) window.resize(options.width, options.height);
        if (options.report_first_paint) {
            window.on_first_paint([] {
                const char* spawned = std::getenv("KV_SPAWN_NS");
                const int64_t from = spawned ? std::atoll(spawned) : g_main_entered;
                std::printf("first paint after %.1f ms\n", (now_ns() - from) / 1e6);
                std::fflush(stdout);
                QApplication::exit(0);
            });
        }
        window.show();
        if (!options.open_leaf.empty()) {
            MseqObject* node = gui_find_node(frame.room_node(), ckv_from_utf8(options.open_leaf));
            if (!node) {
                std::fprintf(stderr, "korvante gui: no leaf named '%s' in the library\n",
                             options.open_leaf.c_str());
                status = 1;
            } else {
                frame.select_node(node);
                window.room_tree()->select_node(node);
                window.run_command(ID_LINK_OPEN);
                GuiMusicView* view = window.editor_pane()->music_view();
                if (options.lanes) view->run_command(MVC_LANES_SHOW_ALL);
                GuiTimeline* timeline = view->timeline();
                if (options.zoom_fit) timeline->run_zoom(MVC_ZOOM_FIT);
                if (options.zoom) timeline->zoom_by(options.zoom, GuiTimeline::kNameWidth);
                if (options.bar > 0) timeline->scroll_to_bar(options.bar);
                if (!options.step_keys.empty()) step_record(frame, window, options);
            }
        }
        if (status == 0 && !options.screenshot.empty()) {
            const bool painted = wait_painted(window, 10000);
            const QPixmap picture = !painted                  ? QPixmap()
                                    : !options.dialog.empty() ? dialog_picture(window, port)
                                    : options.view_only
                                        ? window.editor_pane()->currentWidget()->grab()
                                        : window.grab();
            if (!painted) {
                std::fprintf(stderr, "korvante gui: the window did not paint\n");
                status = 1;
            } else if (picture.isNull()) {
                std::fprintf(stderr, "korvante gui: the %s dialog did not open\n",
                             options.dialog.c_str());
                status = 1;
            } else if (!picture.save(QString::fromStdString(options.screenshot), "PNG")) {
                std::fprintf(stderr, "korvante gui: cannot write %s\n", options.screenshot.c_str());
                status = 1;
            } else {
                std::printf("%s\n", options.screenshot.c_str());
            }
        } else if (status == 0) {
            status = QApplication::exec();
        }
        port.attach(nullptr);
    }
    korvante.end();
    if (!runtime.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(runtime, ec);
    }
    return status;
}
