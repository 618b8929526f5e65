#pragma once

#include <QAbstractScrollArea>
#include <functional>
#include <memory>
#include <vector>

#include "edit/MedtNoteValue.h"
#include "edit/MedtTimelineLayout.h"
#include "edit/press/MedtBlockPress.h"

class MedtMusicInvoker;
class MedtNoteEntry;
class MedtTrack;
class MseqObject;
class QLineEdit;
class QMimeData;

// The rows and bands of the timeline are the editor layer's layout (MedtTimelineLayout).
using GuiBand = MedtBand;
using GuiRow = MedtRow;

// The music view's canvas: the track list (names, group indentation, the display rule's
// mismatch text) in a fixed column at the left and the timeline to its right, with bar numbers,
// beat lines, the first phrase line, the blocks of every visible track (one painter per track
// kind, GuiTrackPainter), the cursor and selection and the play cursor. The geometry is the
// editor layer's layout at the editor's view scale; Ctrl+wheel and the zoom commands change that
// scale, Shift+wheel scrolls along the time. Keys run the editor's cursor and edit actions;
// presses go to the editor as gestures (one undo group each). Painting touches only the visible
// rows and the blocks in the visible range. While typing is on (MVC_TYPE_NOTES), the keys of
// typed note entry (MedtNoteEntry: letters, digits, # - , . r n x and Backspace) enter notes at
// the cursor before any other key of the view; Esc ends typing. The user-interface thread.
class GuiTimeline : public QAbstractScrollArea, public MedtPressPort {
    Q_OBJECT
public:
    explicit GuiTimeline(QWidget* parent);
    ~GuiTimeline() override;

    // Shows `editor` (nullptr: nothing). The timeline does not own it.
    void set_editor(MedtMusicInvoker* editor);
    // The editor shown; nullptr for none.
    MedtMusicInvoker* editor() const { return editor_; }
    // Lays the rows out again (tracks or display bits changed) and repaints.
    void relayout();
    // Scrolls so that the cursor is visible.
    void scroll_to_cursor();
    // Scrolls so that bar `bar` (bar 1 begins at the first phrase line) is at the left.
    void scroll_to_bar(int bar);
    // Scrolls so that the play cursor is visible (auto-scroll while playing).
    void follow_play_cursor();
    // The laid-out rows and the layout they come from.
    const std::vector<GuiRow>& rows() const { return layout_.rows(); }
    const MedtTimelineLayout& layout() const { return layout_; }
    // The zoom commands (MVC_ZOOM_IN, MVC_ZOOM_OUT, MVC_ZOOM_FIT, MVC_ROW_TALLER,
    // MVC_ROW_SHORTER): change the editor's view scale; zooming keeps the moment at the middle
    // of the timeline in place, fitting shows the whole music from its start. False for other
    // numbers and without an editor.
    bool run_zoom(int id);
    // `steps` zoom levels in (positive) or out, keeping the moment at viewport x `anchor_x`
    // where it is. Nothing without an editor.
    void zoom_by(int steps, int anchor_x);
    // The view scale changed by `rows` row-height levels. Nothing without an editor.
    void change_row_height(int rows);
    // The row of `track`; nullptr when it has none.
    const GuiRow* row_of(const MedtTrack* track) const;

    // Typed note entry: on or off, and the note value typed notes take (kept across editors).
    bool typing() const { return typing_; }
    void set_typing(bool on);
    const MedtNoteValue& note_value() const { return value_; }
    void set_note_value(const MedtNoteValue& value);
    // Typing was switched on or off (Esc, the command).
    std::function<void()> typing_changed;
    // The widget point (viewport coordinates) of grid position `pos` of `track`, in the middle
    // of band `band` (or of the row when the row has no such band); (-1, -1) when not laid out.
    QPoint point_at(const MedtTrack* track, int32_t pos, GuiBand band) const;
    // Renaming in place (F2 or a double click on a name in the track list): opens the name
    // editor over `track`'s name; Enter renames the track through the editor, Escape cancels.
    // False (nothing opens) without an editor, while the view is read-only or for a track
    // without a row.
    bool start_rename(MedtTrack* track);
    // The open name editor; nullptr when no name is being edited.
    QLineEdit* rename_editor() const { return rename_; }
    // A track of the track list dropped at `at` (viewport coordinates) in the track-list
    // column: moves the dragged track before the row under it (upper half) or after it (lower
    // half); the middle half of a container's row (a group, the header or the part) takes it
    // as its last child. One undo group. False when the data is not a track of this music, the
    // point is on no row or on the dragged track itself, or the editor refused the move (it
    // showed its warning then).
    bool drop_track(const QMimeData* mime, const QPoint& at);
    // A phrase dragged from the library tree, dropped at `at` (viewport coordinates) on a phrase
    // track's row: a block of it starts at the position under the pointer (linked into the
    // music's book first when it belongs to another book), as one undo step. False when nothing
    // was placed; the status bar then says why.
    bool drop_phrase(const QMimeData* mime, const QPoint& at);
    // The full text of the block under `at` (viewport coordinates), shown as its tool tip where
    // the drawn label is cut short (medt_block_text::tip: a note's name, pitch, note value and
    // velocity, a chord's name, a phrase's name, ...). Empty on no block.
    QString tip_at(const QPoint& at) const;
    // Width of the track-list column in pixels.
    static constexpr int kNameWidth = 200;
    // Height of the bar-number ruler in pixels.
    static constexpr int kRulerHeight = 22;

    // The leaf selected in the library tree (for placing phrase references) and the request to
    // select a phrase there; set by the window.
    std::function<MseqObject*()> selected_leaf;
    std::function<void(MSEQ_ID)> select_leaf;
    // Shows a text in the status bar.
    std::function<void(const QString&)> status;
    // Runs a command of the view (the display keys 1-7 and the note-kind letters E, T, W, Q, R).
    std::function<void(int)> view_command;
    // A press or drag in the bar ruler: the tick under the pointer, for the window to move the
    // play cursor there.
    std::function<void(int32_t tick)> ruler_tick;

    // MedtPressPort: the pop-ups a press needs.
    bool edit_number(int32_t value, CkvString* text) override;
    int32_t choose_marker(const std::vector<CkvString>& items) override;
    void select_phrase(MSEQ_ID id) override;
    int32_t pick_degree(const MedtDegreePicker& picker) override;
    bool edit_chord(MedtChordEditor& editor) override;

    // Runs the chord editor pop-up; true when closed with "セット". Empty: the dialog is shown
    // modally (tests put their clicks here).
    std::function<bool(class GuiChordEditor&)> run_chord_editor;
    // Answers the next pop-up instead of showing it (tests): a text for the number editor, an
    // index for the menus. Empty: the pop-ups are shown.
    std::vector<QString> scripted_answers;

signals:
    // The current track or the cursor moved.
    void cursor_moved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Runs the view command whose table entry names the key of `event`; false when none does.
    bool run_command_key(QKeyEvent* event);
    // The bar ruler at `at` (viewport coordinates; a drag may leave it) tells ruler_tick the
    // tick under it. False when `at` is not in the ruler's bars.
    bool ruler_press(const QPoint& at, bool drag);
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // Ctrl+wheel zooms at the pointer, Ctrl+Shift+wheel changes the row height, Shift+wheel
    // scrolls along the time; a plain wheel scrolls the rows.
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    using Hit = MedtTimelineHit;
    // What the viewport point `p` lands on.
    Hit hit(const QPoint& p) const;
    // The view point of the content's origin (tick 0 at the top of the first row).
    QPoint origin() const;
    // The parts of the picture, in painting order.
    void paint_rows(QPainter& p, size_t first_row, size_t end_row) const;
    void paint_grid(QPainter& p) const;
    void paint_cursor(QPainter& p) const;
    void paint_play_cursor(QPainter& p) const;
    void paint_ruler(QPainter& p) const;
    void paint_track_list(QPainter& p, size_t first_row, size_t end_row) const;
    // Sets the editor's view scale, lays out again and puts content x `keep_x` (in the pixels
    // of the old scale) at viewport x `anchor_x`.
    void apply_scale(const MedtViewScale& scale, int keep_x, int anchor_x);
    void update_scrollbars();
    // Makes the editor's lanes cover the visible ticks, laying the rows out again when they had
    // to be resolved anew; true then.
    bool cover_lanes();
    // The tip of the lane of `row` at content point `at`: the note under it, or the lane's own.
    QString lane_tip(const GuiRow& row, const QPoint& at) const;
    int content_width() const;
    int content_height() const;
    bool press(const Hit& h, bool right, bool move);
    // Makes `t` the current track (a click in the track list).
    void select_track(MedtTrack* t);
    bool take_scripted(QString* answer);
    // A key of typed note entry while typing is on; false for the keys it leaves to the view.
    bool type_key(QKeyEvent* event);
    // Closes the name editor; with `keep` the typed name goes to the editor first.
    void finish_rename(bool keep);
    // The track of this music a drag carries; 0 when none.
    MSEQ_ID dragged_track(const QMimeData* mime) const;
    // The phrase track under `at` that takes the tree's dragged phrase, with the position there;
    // nullptr when the drag carries no phrase (or not the selected one) or `at` is not on the
    // blocks of a phrase track.
    MedtTrack* phrase_target(const QMimeData* mime, const QPoint& at, int32_t* pos) const;
    // Says in the status bar why the tree's dragged item cannot be put down here.
    void refuse_phrase(const QMimeData* mime);

    MedtMusicInvoker* editor_ = nullptr;
    MedtTimelineLayout layout_;
    bool pressing_ = false;
    bool ruler_dragging_ = false;  // the left button went down in the bar ruler
    bool press_right_ = false;
    Hit last_hit_;
    QPoint drag_from_;
    MSEQ_ID drag_track_ = 0;       // the track pressed in the track list, 0 when none
    QLineEdit* rename_ = nullptr;  // the name editor while a name is being edited
    MSEQ_ID rename_track_ = 0;
    std::unique_ptr<MedtNoteEntry> entry_;  // over editor_, while there is one
    MedtNoteValue value_;
    bool typing_ = false;
};

// The mime type of a track dragged from the track list: the track's identifier as decimal text.
extern const char* const kGuiTrackMime;
