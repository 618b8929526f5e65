#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "edit/MedtEntity.h"
#include "model/core/ref_ptr.h"

class GuiPropertyList;
class GuiTimeline;
class MedtMusicInvoker;
class QAction;
class QComboBox;
class QMenu;
class QSplitter;
class QTimer;
class QToolBar;

// The music view of a music or phrase: two tool-bar rows (the edit commands, typed note entry
// with its switch and note-value selector and the note kinds above, the display switches below),
// the timeline with its track list, and the property list of the current track. It observes the
// editor (as its view) and redraws what the editor reports; the menus "編集(&E)" and "表示(&V)" go
// to the main window's menu bar while it is shown. The user-interface thread.
class GuiMusicView : public QWidget, public MedtView {
    Q_OBJECT
public:
    explicit GuiMusicView(QWidget* parent);
    ~GuiMusicView() override;

    // Shows the editor (nullptr: nothing); the view becomes the editor's view and holds a
    // reference to it until another is shown.
    void set_editor(MedtMusicInvoker* editor);
    MedtMusicInvoker* editor() const { return editor_.get(); }
    // Runs a command of the view's menus (note kinds, display toggles, edit and track
    // commands). False when the number is not the view's or nothing ran.
    bool run_command(int id);
    // The play cursor moved (the frame posted a position) or playing started or ended.
    void play_update();

    // The view's parts, for the main window and the tests; the action of a command number,
    // nullptr for one the view does not have.
    GuiTimeline* timeline() const { return timeline_; }
    GuiPropertyList* properties() const { return properties_; }
    QToolBar* tool_bar() const { return bar_; }
    // The second row: the display switches.
    QToolBar* show_bar() const { return show_bar_; }
    // The note-value selector of typed note entry in the tool bar.
    QComboBox* value_selector() const { return value_box_; }
    const std::vector<QMenu*>& menus() const { return menus_; }
    QAction* action(int id) const;

    // Receives the status-bar texts of the pointed action; may be empty.
    std::function<void(const QString&)> status;
    // The edited file became modified (the edit list shows it).
    std::function<void()> on_modified;
    // An undo has ended (called once after its commands; it may have returned the file to
    // its saved content).
    std::function<void()> on_undone;
    // A link of the music's book came or went (a phrase of another book placed, or that undone
    // or redone); `removed` is the address of a link node just deleted, nullptr for none.
    std::function<void(const void* removed)> on_links_changed;

    // MedtView
    void changed() override;
    void modified() override;
    void finish(MgenCommand* command) override;

private:
    void update_actions();
    void add_value_selector();
    // The property list at the width the user left it at, or fitted to its rows.
    void place_property_list();
    // Typing on or off and the note-value commands: they change the timeline's keys only.
    bool run_entry_command(int id);
    // MVC_ADD_RHYTHM: picks the rhythm sound from a pop-up, then adds the rhythm note track.
    bool add_rhythm_track();

    // Held counted: the edit list may let go of the editor while the view still shows it.
    ref_ptr<MedtMusicInvoker> editor_;
    GuiTimeline* timeline_ = nullptr;
    GuiPropertyList* properties_ = nullptr;
    QSplitter* split_ = nullptr;
    QTimer* keep_width_ = nullptr;  // writes the property list's width once a drag is over
    bool list_placed_ = false;
    bool width_kept_ = false;  // the property list's width is the user's: no more fitting
    QToolBar* bar_ = nullptr;
    QToolBar* show_bar_ = nullptr;
    QComboBox* value_box_ = nullptr;
    std::vector<QMenu*> menus_;
    std::vector<QAction*> actions_;
    QTimer* poll_ = nullptr;
    int32_t last_play_ = -1;
    bool undo_noted_ = false;      // an undo's end is already queued
    bool refresh_queued_ = false;  // the property list's refresh after edits is already queued
    bool last_locked_ = false;
    const void* last_track_ = nullptr;
};
