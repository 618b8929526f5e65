#pragma once

#include <QIcon>
#include <QTreeWidget>

#include "model/core/MseqType.h"

class MFrame;
class QMimeData;
class MseqObject;

// The state of a library-tree item's file, as the tree shows it.
enum class GuiFileState { ok = 0, missing = 1, damaged = 2 };

// The icon of a node or file type in the given state: a coloured tile with the type's letter
// (library R, books B/P, music M, phrase F, stage S, chord C, folder as a folder); missing files
// grey with "?", damaged files red with "!". The user-interface thread.
QIcon gui_type_icon(MSEQ_TYPE type, GuiFileState state = GuiFileState::ok);

// The library tree: the open library, its books (opened to show their leaves), folders and leaf
// links, each with its type's icon, missing and damaged files marked. Items carry their node;
// the window turns selection and commands into the frame's. The user-interface thread.
class GuiRoomTree : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kNodeRole = Qt::UserRole + 1;   // the MseqObject* as quintptr
    static constexpr int kStateRole = Qt::UserRole + 2;  // GuiFileState as int
    static constexpr int kIdRole = Qt::UserRole + 3;     // the node's identifier

    explicit GuiRoomTree(QWidget* parent);

    // Rebuilds the tree from the frame's open library, keeping the expanded items and selecting
    // the frame's selected node. Books are opened on the way.
    void fill(MFrame& frame);
    // Redraws one item (its name and state); nothing when the node has no item.
    void update_node(const MseqObject* node);
    // The node of an item; nullptr for none.
    static MseqObject* node_of(const QTreeWidgetItem* item);
    // The node of the item a drag from the tree carries (Qt's item-model drag data, whose roles
    // hold it); nullptr for other data.
    static MseqObject* node_of_drag(const QMimeData* mime);
    // The item of a node; nullptr when not shown.
    QTreeWidgetItem* item_of(const MseqObject* node) const;
    // The width the widest visible item needs (indent, icon and name), in pixels.
    int names_width() const { return sizeHintForColumn(0); }
    // Selects (and scrolls to) the node's item without telling anyone.
    void select_node(const MseqObject* node);

protected:
    void startDrag(Qt::DropActions supported) override;

private:
    QTreeWidgetItem* add(QTreeWidgetItem* parent, MseqObject* node);
    void decorate(QTreeWidgetItem* item, MseqObject* node);
};

// The state of a node's file: missing when its path names no file, damaged when its content
// cannot be read. Folders and contents stored inside their container are ok. The user-interface
// thread.
GuiFileState gui_file_state(MseqObject* node);
