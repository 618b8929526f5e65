#pragma once

// The harness of the window tests: a temporary application folder with the program's data, the
// real main window over the real application (recorders stand in for the MIDI output, the
// synthesizer and the desktop shell), and a driver that answers the modal windows the flows
// open: message boxes, file dialogs and the application's dialogs.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/MApp.h"
#include "gui/GuiDialogs.h"
#include "gui/GuiMainWindow.h"
#include "gui/GuiUserPort.h"
#include "model/lang/KvLanguage.h"
#include "platform/MidiOut.h"
#include "platform/Shell.h"
#include "platform/SynthPort.h"

// One message box as it was shown.
struct ShownBox {
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButton default_button = QMessageBox::NoButton;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton answer = QMessageBox::NoButton;  // the button pressed
};

// Answers modal windows as they open, in order. A message box without a queued answer gets its
// default button (as a user pressing Enter would); any other unexpected modal window is
// cancelled and counted as a fault, and so is a window left open by its handler for seconds
// (a failed check inside a handler), so that a fault never hangs the tests.
class ModalDriver : public QObject {
public:
    using Handler = std::function<void(QWidget*)>;

    ModalDriver();

    // Queues the button for the next message box.
    void box(QMessageBox::StandardButton button);
    // Queues a path (host form) for the next file or folder dialog; empty cancels it.
    void file(const QString& host_path);
    // Queues what to do with the next application dialog (the handler sets values and presses
    // Enter or Escape).
    void dialog(std::function<void(GuiFieldDialog*)> handler);
    // Queues what to do with the next progress dialog once it shows (press its Cancel, say).
    // A progress dialog is expected: without a queued handler it is left to its work, however
    // long that takes.
    void progress(std::function<void(QProgressDialog*)> handler);

    std::vector<ShownBox> boxes;      // every box shown
    std::vector<std::string> faults;  // unexpected windows and mismatched answers
    int progress_dialogs = 0;         // progress dialogs shown
    size_t pending() const { return handlers_.size(); }

private:
    void poll();
    void on_progress(QProgressDialog* dialog);
    QTimer timer_;
    QPointer<QProgressDialog> progress_;  // the progress dialog last seen
    QPointer<QWidget> last_;
    QElapsedTimer since_;  // how long `last_` has been the modal window
    // Windows whose handler is still running (it may open further windows and come back).
    std::vector<QPointer<QWidget>> handling_;
    std::deque<std::pair<int, Handler>> handlers_;  // kind: 0 box, 1 file, 2 dialog, 3 progress
};

// A fresh application folder and the main window over it.
class GuiHarness {
public:
    GuiHarness();
    ~GuiHarness();

    // Copies the program's data into the application folder (the demo library, pattern book,
    // templates and scale map).
    void copy_data();
    // Starts the application (a Windows-form library path or empty) and shows the window.
    bool start(const std::string& command_line = std::string());
    // Ends the application without its exit flow.
    void stop();

    MFrame& frame() { return *app.frame(); }
    GuiMainWindow& window() { return *window_; }

    // A path under the temporary folder, host and Windows form.
    std::string host(const std::string& rest) const { return root + "/" + rest; }
    std::string win(const std::string& rest) const;

    std::string root, home, run;
    std::string recovery;  // the recovery folder the frame is given; empty: none
    kv_midi::midi_out_recorder midi{std::vector<kv_midi::midi_out_caps>{{"Test Synth", true}}};
    bool system_midi = false;  // true: the system's MIDI output instead of the recorder
    // The language the window is made in, set once the application has started (whatever it
    // chose from its settings) and before the window; empty: the application's choice.
    std::optional<kv_language> language;
    kv_synth::synth_port_recorder synth;
    kv_shell::shell_recorder shell;
    GuiUserPort port;
    MApp app;
    ModalDriver driver;

private:
    std::unique_ptr<GuiMainWindow> window_;
};

// True when a picture has content: at least `min_colours` different colours and no single
// colour covering everything.
bool gui_picture_has_content(const QImage& image, int min_colours = 8);
// Saves a picture under the tests' screenshot folder and returns its path.
QString gui_save_shot(const QImage& image, const QString& name);
// The UTF-8 text as Qt shows it.
inline QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}
