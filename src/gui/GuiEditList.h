#pragma once

#include <QTreeWidget>

class MFrame;
class MseqEntity;

// The edit list: a root entry (the about view) and one entry per file opened for editing, each
// with its type's icon; a modified file is shown in bold with " *". The entry's index in the
// frame's edit list is its data; the root's is -1. The user-interface thread.
class GuiEditList : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kIndexRole = Qt::UserRole + 1;

    explicit GuiEditList(QWidget* parent);

    // Rebuilds the list from the frame and selects the frame's selection, without signals.
    void fill(MFrame& frame);
    // Redraws the entry of `entity` (name and modified mark); nothing when it has none.
    void update_entity(MFrame& frame, const MseqEntity* entity);
    // The frame's index of an item: -1 for the root.
    static int index_of(const QTreeWidgetItem* item);
    // The item of an index (-1: the root); nullptr when there is none.
    QTreeWidgetItem* item_at(int index) const;
};
