#include "gui/GuiUserPort.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>

#include <cstdio>

#include "app/MAppScriptPort.h"
#include "app/MAppText.h"
#include "gui/GuiDialogs.h"
#include "gui/GuiMainWindow.h"
#include "gui/GuiText.h"
#include "gui/GuiTransferDialogs.h"
#include "platform/FileSystem.h"

namespace {

// One message box; the answer is the button pressed (Escape gives the Cancel or, without one,
// the only button).
QMessageBox::StandardButton show_box(QWidget* owner, QMessageBox::Icon icon, const CkvString& text,
                                     QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton default_button, bool unattended) {
    if (unattended) {
        std::fprintf(stderr, "korvante: %s\n", mapp_one_line(text).c_str());
        return default_button;
    }
    QMessageBox box(icon, gui_utf8("Korvante"), gui_text(text), buttons, owner);
    box.setObjectName(QStringLiteral("kv_message"));
    box.setDefaultButton(default_button);
    if (buttons & QMessageBox::Yes) box.button(QMessageBox::Yes)->setText(gui_utf8(gui_msg::YES));
    if (buttons & QMessageBox::No) box.button(QMessageBox::No)->setText(gui_utf8(gui_msg::NO));
    if (buttons & QMessageBox::Cancel)
        box.button(QMessageBox::Cancel)->setText(gui_utf8(gui_msg::CANCEL));
    // A box asks for the normal cursor even inside a long operation.
    const bool waiting = QApplication::overrideCursor() != nullptr;
    if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answer = box.exec();
    if (waiting) QApplication::restoreOverrideCursor();
    return static_cast<QMessageBox::StandardButton>(answer);
}

}  // namespace

GuiUserPort::~GuiUserPort() {
    while (wait_depth_ > 0) {
        QApplication::restoreOverrideCursor();
        --wait_depth_;
    }
}

QWidget* GuiUserPort::owner() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return window_;
}

void GuiUserPort::warn(const CkvString& text) {
    show_box(owner(), QMessageBox::Warning, text, QMessageBox::Ok, QMessageBox::Ok, unattended_);
}

void GuiUserPort::inform(const CkvString& text) {
    show_box(owner(), QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok,
             unattended_);
}

bool GuiUserPort::ask_yes_no(const CkvString& text) {
    return show_box(owner(), QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                    QMessageBox::Yes, unattended_) == QMessageBox::Yes;
}

MAppAnswer GuiUserPort::ask_yes_no_cancel(const CkvString& text) {
    switch (show_box(owner(), QMessageBox::Question, text,
                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel,
                     unattended_)) {
        case QMessageBox::Yes:
            return MAppAnswer::yes;
        case QMessageBox::No:
            return MAppAnswer::no;
        default:
            return MAppAnswer::cancel;
    }
}

MedtAnswer GuiUserPort::ask_yes_no_cancel(const CkvString& text, MedtAnswer preset) {
    const QMessageBox::StandardButton def = preset == MedtAnswer::Yes  ? QMessageBox::Yes
                                            : preset == MedtAnswer::No ? QMessageBox::No
                                                                       : QMessageBox::Cancel;
    switch (show_box(owner(), QMessageBox::Question, text,
                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, def, unattended_)) {
        case QMessageBox::Yes:
            return MedtAnswer::Yes;
        case QMessageBox::No:
            return MedtAnswer::No;
        default:
            return MedtAnswer::Cancel;
    }
}

void GuiUserPort::status(const CkvString& text) {
    if (window_) window_->show_status(gui_text(text));
}

QStringList GuiUserPort::name_filters(const CkvString& filter) {
    const QStringList parts = gui_text(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // "*.*" stands for every file, with or without an extension.
        if (patterns == QLatin1String("*.*")) patterns = QStringLiteral("*");
        QString label = parts[i];
        const qsizetype paren = label.lastIndexOf(QLatin1Char('('));
        if (paren > 0) label = label.left(paren).trimmed();
        out << label + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out;
}

bool GuiUserPort::choose_file(const MAppFileRequest& request, CkvString* path) {
    if (unattended_) return false;
    QFileDialog dialog(owner(), gui_text(request.title));
    dialog.setObjectName(QStringLiteral("kv_file_dialog"));
    // Qt's own dialog: the same on every desktop, and drivable by the tests.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (!request.initial_folder.empty())
        dialog.setDirectory(QString::fromStdString(kv_fs::to_host(request.initial_folder)));
    switch (request.kind) {
        case MAppFileKind::folder:
            dialog.setFileMode(QFileDialog::Directory);
            dialog.setOption(QFileDialog::ShowDirsOnly, true);
            break;
        case MAppFileKind::save:
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirm_overwrite);
            break;
        case MAppFileKind::open:
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(request.must_exist ? QFileDialog::ExistingFile
                                                  : QFileDialog::AnyFile);
            break;
    }
    if (!request.filter.empty()) dialog.setNameFilters(name_filters(request.filter));
    if (!request.default_ext.empty())
        dialog.setDefaultSuffix(QString::fromStdString(request.default_ext));
    if (!request.initial_name.empty()) dialog.selectFile(gui_text(request.initial_name));
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
        const QString chosen = dialog.selectedFiles().first();
        // A name that does not exist is taken only after the user agreed to create it.
        if (request.kind == MAppFileKind::open && request.prompt_create &&
            !QFileInfo::exists(chosen)) {
            const CkvString question = mapp_format(kv_text(gui_msg::FILE_MISSING_CREATE),
                                                   gui_cp932(QFileInfo(chosen).fileName()).c_str());
            if (!ask_yes_no(question)) continue;
        }
        const QByteArray host = QFile::encodeName(chosen);
        *path = CkvString(kv_fs::from_host(std::string_view(host.data(), host.size())));
        return true;
    }
}

bool GuiUserPort::run_dialog(MAppDialog dialog, MAppFields& fields, const MAppDialogCheck& check) {
    if (unattended_) return false;
    std::unique_ptr<GuiFieldDialog> window;
    switch (dialog) {
        case MAppDialog::create_room:
            window = std::make_unique<GuiCreateRoomDialog>(owner(), *this, fields, check);
            break;
        case MAppDialog::new_music:
            window = std::make_unique<GuiNewMusicDialog>(owner(), *this, fields, check);
            break;
        case MAppDialog::import_midi:
            window = std::make_unique<GuiImportDialog>(owner(), fields, check);
            break;
        case MAppDialog::export_file:
            window = std::make_unique<GuiExportDialog>(owner(), fields, check);
            break;
        case MAppDialog::render_audio:
            window = std::make_unique<GuiRenderDialog>(owner(), fields, check);
            break;
        case MAppDialog::analyse_music:
            window = std::make_unique<GuiAnalyseDialog>(owner(), fields, check);
            break;
        case MAppDialog::settings:
            window =
                std::make_unique<GuiSettingsDialog>(owner(), fields, check, devices_.midi_outputs,
                                                    devices_.synth_ports, devices_.midi_inputs);
            break;
    }
    if (!window) return false;
    window->setObjectName(QStringLiteral("kv_dialog"));
    return window->exec() == QDialog::Accepted;
}

void GuiUserPort::wait_cursor(bool on) {
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++wait_depth_;
    } else if (wait_depth_ > 0) {
        QApplication::restoreOverrideCursor();
        --wait_depth_;
    }
}

void GuiUserPort::progress_begin(const CkvString& text, int steps, bool cancellable) {
    progress_.reset();
    if (unattended_) return;
    progress_ = std::make_unique<QProgressDialog>(
        gui_text(text), cancellable ? gui_utf8(gui_msg::CANCEL) : QString(), 0, steps, owner());
    progress_->setObjectName(QStringLiteral("kv_progress"));
    progress_->setWindowTitle(gui_utf8("Korvante"));
    // Modal for the whole program: the events taken while the work runs reach no other window.
    progress_->setWindowModality(Qt::ApplicationModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoReset(false);
    progress_->setAutoClose(false);
    progress_->setValue(0);
    progress_->show();
}

bool GuiUserPort::progress_step(int done) {
    if (!progress_) return true;
    progress_->setValue(done);
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    return !progress_->wasCanceled();
}

void GuiUserPort::progress_end() {
    progress_.reset();
}

void GuiUserPort::refresh(MAppRefresh what, const MseqObject* node, const MseqEntity* entity) {
    if (window_) window_->refresh(what, node, entity);
}
