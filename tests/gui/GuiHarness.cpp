#include "GuiHarness.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <filesystem>

#include "platform/FileSystem.h"

// ---- Modal windows ----

ModalDriver::ModalDriver() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_.start();
}

void ModalDriver::box(QMessageBox::StandardButton button) {
    handlers_.emplace_back(0, [this, button](QWidget* w) {
        auto* b = static_cast<QMessageBox*>(w);
        QAbstractButton* pressed = b->button(button);
        if (!pressed) {
            faults.push_back("a box without the queued button: " + b->text().toStdString());
            pressed = b->defaultButton();
        }
        boxes.back().answer = b->standardButton(pressed);
        pressed->click();
    });
}

void ModalDriver::file(const QString& host_path) {
    handlers_.emplace_back(1, [host_path](QWidget* w) {
        auto* d = static_cast<QFileDialog*>(w);
        if (host_path.isEmpty()) {
            d->reject();
            return;
        }
        // As a user would: type the path into the name field and press Enter (the folder view
        // fills in the background, so selecting in it may come too early).
        if (auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            name->setText(host_path);
        } else {
            d->selectFile(host_path);
        }
        static_cast<QDialog*>(d)->accept();
    });
}

void ModalDriver::dialog(std::function<void(GuiFieldDialog*)> handler) {
    handlers_.emplace_back(2, [handler](QWidget* w) { handler(static_cast<GuiFieldDialog*>(w)); });
}

void ModalDriver::progress(std::function<void(QProgressDialog*)> handler) {
    handlers_.emplace_back(3, [handler](QWidget* w) { handler(static_cast<QProgressDialog*>(w)); });
}

void ModalDriver::on_progress(QProgressDialog* dialog) {
    if (dialog == progress_.data()) return;
    progress_ = dialog;
    ++progress_dialogs;
    if (handlers_.empty() || handlers_.front().first != 3) return;
    Handler h = handlers_.front().second;
    handlers_.pop_front();
    h(dialog);
}

void ModalDriver::poll() {
    QWidget* w = QApplication::activeModalWidget();
    if (auto* p = qobject_cast<QProgressDialog*>(w)) {
        on_progress(p);
        return;
    }
    for (const QPointer<QWidget>& busy : handling_) {
        if (w && busy.data() == w) {
            // Back to a window whose handler opened another one: that handler goes on.
            last_ = w;
            since_.restart();
            return;
        }
    }
    if (w && w == last_.data() && since_.elapsed() > 5000) {
        faults.push_back(std::string("window left open: ") + w->metaObject()->className());
        if (auto* b = qobject_cast<QMessageBox*>(w)) {
            if (QPushButton* d = b->defaultButton()) d->click();
        } else if (auto* d = qobject_cast<QDialog*>(w)) {
            d->reject();
        }
        since_.restart();
        return;
    }
    if (w == last_.data()) return;
    last_ = w;
    since_.restart();
    if (!w) return;
    int kind = -1;
    if (qobject_cast<QMessageBox*>(w)) kind = 0;
    if (qobject_cast<QFileDialog*>(w)) kind = 1;
    if (qobject_cast<GuiFieldDialog*>(w)) kind = 2;
    if (auto* b = qobject_cast<QMessageBox*>(w)) {
        ShownBox shown;
        shown.text = b->text();
        shown.icon = b->icon();
        shown.buttons = b->standardButtons();
        if (QPushButton* d = b->defaultButton()) shown.default_button = b->standardButton(d);
        boxes.push_back(shown);
    }
    // Act once the window's own event loop runs.
    QTimer::singleShot(0, w, [this, w, kind] {
        if (!handlers_.empty() && handlers_.front().first == kind) {
            Handler h = handlers_.front().second;
            handlers_.pop_front();
            handling_.emplace_back(w);
            h(w);
            handling_.pop_back();
            // Still open (a check refused the values): the next handler takes it from here.
            if (QApplication::activeModalWidget() == w) last_ = nullptr;
            return;
        }
        if (auto* b = qobject_cast<QMessageBox*>(w)) {
            // Unanswered boxes take their default button, as Enter would.
            if (QPushButton* d = b->defaultButton()) {
                boxes.back().answer = b->standardButton(d);
                d->click();
            }
            return;
        }
        faults.push_back(std::string("unexpected window ") + w->metaObject()->className());
        if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
    });
}

// ---- Application ----

GuiHarness::GuiHarness() {
    char tmpl[] = "/tmp/kvgui-XXXXXX";
    root = ::mkdtemp(tmpl) ? tmpl : "/tmp";
    home = root + "/app";
    run = root + "/run";
    std::filesystem::create_directories(home + "/define");
    std::filesystem::create_directories(run);
}

GuiHarness::~GuiHarness() {
    stop();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
}

void GuiHarness::copy_data() {
    for (const char* part : {"define", "mymusic", "pattern_v01", "template"}) {
        std::filesystem::copy(std::filesystem::path(KV_APP_DATA) / part,
                              std::filesystem::path(home) / part,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
    }
}

std::string GuiHarness::win(const std::string& rest) const {
    return kv_fs::from_host(host(rest));
}

bool GuiHarness::start(const std::string& command_line) {
    MAppServices s;
    s.port = &port;
    s.midi = system_midi ? nullptr : &midi;
    s.synth = &synth;
    s.shell = &shell;
    s.home = home;
    s.recovery = recovery;
    if (!app.start(s, CkvString(command_line), run)) return false;
    if (language) kv_set_language(*language);
    window_ = std::make_unique<GuiMainWindow>(*app.frame(), port);
    port.attach(window_.get());
    window_->set_raise_poll([this] { return app.take_raise_request(); });
    window_->restore_placement();
    window_->resize(1000, 640);
    window_->show();
    if (!QTest::qWaitForWindowExposed(window_.get())) return false;
    // Keys reach the window's accelerators only while it is the active window: the offscreen
    // platform makes every shown window active, a real display only on request.
    window_->activateWindow();
    return QTest::qWaitForWindowActive(window_.get());
}

void GuiHarness::stop() {
    port.attach(nullptr);
    window_.reset();
    app.end();
}

// ---- Pictures ----

bool gui_picture_has_content(const QImage& image, int min_colours) {
    if (image.isNull() || image.width() < 10 || image.height() < 10) return false;
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    }
    return colours.size() >= min_colours;
}

QString gui_save_shot(const QImage& image, const QString& name) {
    QDir().mkpath(QStringLiteral(KV_SHOTS));
    const QString path =
        QStringLiteral(KV_SHOTS) + QLatin1Char('/') + name + QStringLiteral(".png");
    image.save(path, "PNG");
    return path;
}
