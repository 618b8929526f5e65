#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class MedtChordMapView;
class MedtStageMapView;
class MedtUserPort;
class MseqMapChord;
class MseqMapStage;
class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QTableWidget;
class QToolBar;
class QToolButton;

// The chord-map view: the key bar (key-name button and the chord-note, scale-note and
// melody-note key selectors), the scale bar (name and key positions), the chord list with its
// six columns and the scale list, with the view's menu and tool bar (40501 and on). Every
// change goes through the editing layer's chord-map view model, which marks the map modified.
// The user-interface thread.
class GuiChordMapView : public QWidget {
    Q_OBJECT
public:
    explicit GuiChordMapView(QWidget* parent);
    ~GuiChordMapView() override;

    // Shows `map` (nullptr: nothing) beside the installation's scale list, asking through
    // `port`.
    void set_map(MseqMapChord* map, MedtUserPort* port);
    // Runs a view command; false when it did nothing.
    bool run_command(int id);
    // Rebuilds every list and bar from the map.
    void refresh();
    // Locks the view while playing (every command disabled) or unlocks it; nothing without a map.
    void set_locked(bool locked);

    // The view's parts, for the main window and the tests: the model (nullptr without a map),
    // the lists, key selector `which` (0-2) and the menus; the action of a command number,
    // nullptr for one the view does not have.
    MedtChordMapView* model() const { return model_.get(); }
    QTableWidget* chord_list() const { return chords_; }
    QTableWidget* scale_list() const { return scales_; }
    QComboBox* key_selector(int which) const { return keys_[which]; }
    const std::vector<QMenu*>& menus() const { return menus_; }
    QAction* action(int id) const;
    // The table row of palette slot `slot` (higher slots on top).
    static int row_of_slot(int slot) { return 35 - slot; }

    // Receives the status-bar texts (help of the pointed column); may be empty.
    std::function<void(const QString&)> status;
    // Runs the chord editor pop-up; true when closed with "セット". Empty: shown modally.
    std::function<bool(class GuiChordEditor&)> run_chord_editor;

private:
    void build();
    void fit_scale_columns();
    void chord_click(int row, int column, bool right);
    void update_actions();

    std::unique_ptr<MedtChordMapView> model_;
    QToolBar* bar_ = nullptr;
    QToolButton* key_name_ = nullptr;
    QComboBox* keys_[3] = {};
    QLineEdit* scale_name_ = nullptr;
    std::vector<QToolButton*> scale_keys_;
    QTableWidget* chords_ = nullptr;
    QTableWidget* scales_ = nullptr;
    std::vector<QMenu*> menus_;
    std::vector<QAction*> actions_;
    bool filling_ = false;
    bool shown_once_ = false;
};

// The stage-map view: the sixteen parts with their switch, instrument (melodic programs, or
// drum kits on the drum channel), volume, pan, reverb, chorus and the other start values and
// the three start-up switches, edited in place; the set-up menu with the GM 1 and GM 2
// system-on switches. The user-interface thread.
class GuiStageMapView : public QWidget {
    Q_OBJECT
public:
    explicit GuiStageMapView(QWidget* parent);
    ~GuiStageMapView() override;

    // Shows `map` (nullptr: nothing).
    void set_map(MseqMapStage* map);
    // Runs a view command (40401, 40402); false without a map or when it did nothing.
    bool run_command(int id);
    // Rebuilds the part list and the menu from the map.
    void refresh();
    // Locks the view while playing (every command and cell disabled) or unlocks it.
    void set_locked(bool locked);

    // The model (nullptr without a map) and the part list, for the main window and the tests.
    MedtStageMapView* model() const { return model_.get(); }
    QTableWidget* parts() const { return parts_; }
    // The instrument drop-down of part `part` (0-15).
    QComboBox* instrument(int part) const;
    const std::vector<QMenu*>& menus() const { return menus_; }

    // Receives the status-bar texts (column help, refused input); may be empty.
    std::function<void(const QString&)> status;

    // The right click on a value cell (or on a part's instrument): toggles whether the value is
    // sent at the start, which the cell shows greyed when it is not. False for the switch columns
    // and the part number, outside the list, and while locked.
    bool toggle_send_at(int row, int column);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cell_changed(int row, int column);

    std::unique_ptr<MedtStageMapView> model_;
    QTableWidget* parts_ = nullptr;
    std::vector<QMenu*> menus_;
    std::vector<QAction*> actions_;
    bool filling_ = false;
};
