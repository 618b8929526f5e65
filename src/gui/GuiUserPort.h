#pragma once

#include <QProgressDialog>
#include <QString>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/MAppUserPort.h"

class GuiMainWindow;
class QWidget;

// The user port of the desktop: message boxes owned by the main window with the icon, buttons
// and default button the application asks for, Qt's file and folder dialogs, the application's
// dialogs, the wait cursor, and refresh notices handed to the main window. Every message box has
// the object name "kv_message" so that tests and tools can find it. The user-interface thread.
class GuiUserPort : public MAppUserPort {
public:
    GuiUserPort() = default;
    ~GuiUserPort() override;

    // The window that owns the boxes and receives the refresh notices; nullptr before it exists
    // (boxes then have no owner and notices are dropped: the window reads everything it shows
    // when it is made).
    void attach(GuiMainWindow* window) { window_ = window; }

    // Unattended (screenshots, measurements): no box is shown; each message is written to the
    // error output and answered with the box's default button; file dialogs and dialogs are
    // cancelled.
    void set_unattended(bool on) { unattended_ = on; }

    void warn(const CkvString& text) override;
    void inform(const CkvString& text) override;
    bool ask_yes_no(const CkvString& text) override;
    MAppAnswer ask_yes_no_cancel(const CkvString& text) override;
    // The editors' question, with their own default button.
    MedtAnswer ask_yes_no_cancel(const CkvString& text, MedtAnswer preset) override;
    // The editors' short notices go to the window's status bar.
    void status(const CkvString& text) override;
    bool choose_file(const MAppFileRequest& request, CkvString* path) override;
    // The settings dialog's lists: the frame gives them each time it opens the dialog.
    void offer_devices(const MAppDeviceNames& names) override { devices_ = names; }
    bool run_dialog(MAppDialog dialog, MAppFields& fields, const MAppDialogCheck& check) override;
    void wait_cursor(bool on) override;
    // A modal progress dialog ("kv_progress") over the main window, shown at once; each step
    // takes the window's events, so that it answers and its Cancel button works.
    void progress_begin(const CkvString& text, int steps, bool cancellable) override;
    bool progress_step(int done) override;
    void progress_end() override;
    void refresh(MAppRefresh what, const MseqObject* node, const MseqEntity* entity) override;

    // The Qt name filters of a "label|patterns|...||" filter: one "label (patterns)" each.
    static QStringList name_filters(const CkvString& filter);

private:
    QWidget* owner() const;

    GuiMainWindow* window_ = nullptr;
    int wait_depth_ = 0;
    std::unique_ptr<QProgressDialog> progress_;
    bool unattended_ = false;
    MAppDeviceNames devices_;
};
