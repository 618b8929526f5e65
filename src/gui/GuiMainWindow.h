#pragma once

#include <QMainWindow>
#include <functional>
#include <map>

#include "app/MAppCommands.h"
#include "app/MAppUserPort.h"
#include "app/MFrame.h"

class GuiEditList;
class GuiEditorPane;
class GuiRoomTree;
class QAction;
class QLabel;
class QMenu;
class QSpinBox;
class QSplitter;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class QToolBar;

// The main window: the four menus of the application with the recent libraries, the library,
// player and link-information tool bars, the library tree and edit list beside the editor pane
// in two splitters, and the status bar. Everything it shows comes from the frame; every command
// goes to the frame. Closing the window runs the frame's exit flow. The user-interface thread.
class GuiMainWindow : public QMainWindow {
    Q_OBJECT
public:
    GuiMainWindow(MFrame& frame, MAppUserPort& port);
    ~GuiMainWindow() override;

    // Applies the stored placement and pane sizes of the configuration; the library tree gets
    // the width it was left at, or the width its names need.
    void restore_placement();
    // That width: the stored one, else the widest visible name's, within the bounds.
    int tree_width() const;
    // The placement and pane sizes to store at exit.
    MAppPlacement placement() const;

    // Redraws what the application changed.
    void refresh(MAppRefresh what, const MseqObject* node, const MseqEntity* entity);
    // Runs a command as the menus do (exit closes the window); false when it did not run.
    bool run_command(uint32_t id);
    // Polled with the player's notifications: true when another start asked this window to come
    // to the front.
    void set_raise_poll(std::function<bool()> poll) { raise_poll_ = std::move(poll); }
    // Shows a short notice in the status bar for a few seconds.
    void show_status(const QString& text);
    // Brings the window to the front.
    void bring_to_front();

    // True once the window has painted itself.
    bool painted() const { return painted_; }
    // Called once at the first paint (start-up measurements).
    void on_first_paint(std::function<void()> hook) { first_paint_ = std::move(hook); }

    // The parts tests and screenshots look at.
    GuiRoomTree* room_tree() const { return room_tree_; }
    GuiEditList* edit_list() const { return edit_list_; }
    GuiEditorPane* editor_pane() const { return editor_; }
    QLabel* position_label() const { return position_; }
    QSpinBox* record_strength() const { return strength_; }
    QToolBar* link_bar() const { return link_bar_; }
    // The menu-bar menu at `index` (0-3 the application's), nullptr when none.
    QMenu* bar_menu(int index) const;
    // The action of `id` in `menu` or its sub-menus after refreshing it; nullptr when absent.
    QAction* menu_action(QMenu* menu, uint32_t id);
    // The tool-bar or accelerator action of `id`; nullptr when none.
    QAction* tool_action(uint32_t id) const;
    // The number of menus on the menu bar.
    int menu_count() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Losing the focus to another program keeps a recovery copy of the unsaved files.
    void changeEvent(QEvent* event) override;
    // Delete and F2 in the two trees.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build_menus();
    void fill_menu(QMenu* menu, MAppMenu which);
    void build_toolbars();
    void add_strength_box();
    void build_panes();
    void build_accelerators();
    void update_actions();
    void update_link_info();
    void update_position();
    void show_editor();
    void on_room_selection();
    void on_edit_selection();
    void tick();
    // A phrase being heard has notes due between the timer's ticks: one pump when the next is
    // due, so that they keep their time.
    void pump_audition_on_time();
    // Renaming in place: opens the item's editor on the bare name; the frame renames on commit.
    void start_rename(QTreeWidget* tree, QTreeWidgetItem* item, MseqObject* node);
    void finish_rename(QTreeWidgetItem* item);

    MFrame& frame_;
    MAppUserPort& port_;
    std::map<uint32_t, QAction*> tool_actions_;  // tool bars and accelerators
    QMenu* menus_[4] = {};
    QMenu* room_dropdown_ = nullptr;
    QMenu* create_dropdown_ = nullptr;
    QToolBar* room_bar_ = nullptr;
    QToolBar* player_bar_ = nullptr;
    QToolBar* link_bar_ = nullptr;
    QLabel* link_info_ = nullptr;
    QLabel* position_ = nullptr;
    QSpinBox* strength_ = nullptr;  // how far live recording moves notes onto the grid
    QSplitter* split_h_ = nullptr;
    QSplitter* split_v_ = nullptr;
    GuiRoomTree* room_tree_ = nullptr;
    GuiEditList* edit_list_ = nullptr;
    GuiEditorPane* editor_ = nullptr;
    QTimer* timer_ = nullptr;
    std::function<bool()> raise_poll_;
    std::function<void()> first_paint_;
    bool painted_ = false;
    bool closing_ = false;
    bool audition_pump_ = false;  // a pump for the audition's next note is waiting
    int base_menus_ = 4;
    uint32_t running_ = 0;                 // the command being run, 0 for none
    QTreeWidgetItem* renaming_ = nullptr;  // the item whose name is being edited
    MseqObject* renaming_node_ = nullptr;
};
