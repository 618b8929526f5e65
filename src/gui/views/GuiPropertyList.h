#pragma once

#include <QTableWidget>
#include <functional>

#include "edit/MedtPropertyEdit.h"
#include "model/block/MseqBlockWord.h"

class MedtMusicInvoker;
class MedtTrack;
class MseqObject;

// The property list of the current track: one row per property with its edit style. Typed
// rows are edited in place, choice rows are drop-down lists, link rows take a chord map, stage
// map or chord track dropped on them (from the library tree, or a track dragged from the track
// list) and are cleared by a right click, display-only rows are greyed. Every change is a
// property command posted to the editor; its questions come through the editor's user port.
// The user-interface thread.
class GuiPropertyList : public QTableWidget {
    Q_OBJECT
public:
    explicit GuiPropertyList(QWidget* parent);

    // Shows the properties of the editor's current track (nothing without an editor).
    void set_editor(MedtMusicInvoker* editor);
    // Rebuilds the rows for the current track.
    void refresh();
    // The table row of property `number`; -1 when the track has no such row.
    int row_of(int32_t number) const;
    // Sets property `number` from a typed text, read as the row takes it (MedtPropertyEdit). True
    // when the command was done; a text that is not a number for a number row is refused with a
    // note in the status bar.
    bool set_text(int32_t number, const QString& text);
    // Sets property `number` to choice `index` of its list. True when done.
    bool set_choice(int32_t number, int index);
    // Drops `node` (a library leaf or a track of this music) on property `number`. Refused
    // (false, with the reason in the status bar) for a row that is not a link, a leaf of
    // another book or a track of another music.
    bool drop_node(int32_t number, const MseqObject* node);
    // A drop of drag data `mime` at `at` (viewport coordinates): the row there takes the node the
    // data names. False when there is no row or node, or the drop was refused.
    bool drop_mime(const QMimeData* mime, const QPoint& at);
    // Clears a link or clearable choice row (the right click). True when done.
    bool clear(int32_t number);
    // The width that shows the current rows whole: the names, the widest value (or drop-down
    // list), the frame and a vertical scroll bar.
    int content_width() const;

    // Shows a text in the status bar.
    std::function<void(const QString&)> status;
    // The library leaf being dragged (the one selected in the library tree) when the drag data
    // does not name it.
    std::function<const MseqObject*()> dragged_leaf;
    // Called after a property command ran (done or not).
    std::function<void()> changed;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // Posts `value` to row `number` through the editor (MedtPropertyEdit); true when done.
    bool post(int32_t number, const MseqBlockWord& value);
    // After a property command ran: the rows are rebuilt and `changed` is called. True for a
    // command that was done.
    bool posted(MedtPropertyProblem problem);
    const MseqObject* node_from(const QMimeData* mime) const;
    MedtTrack* track() const;

    MedtMusicInvoker* editor_ = nullptr;
    bool filling_ = false;
};
