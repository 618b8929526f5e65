#include "gui/GuiEditList.h"

#include <QSignalBlocker>

#include "app/MFrame.h"
#include "gui/GuiRoomTree.h"
#include "gui/GuiText.h"
#include "model/core/MseqEntity.h"
#include "model/core/MseqPathOps.h"

namespace {

void decorate(QTreeWidgetItem* item, const MseqEntity& e) {
    CkvString name = e.name;
    if (name.empty()) mseq_path::name_from_file_path(e.full_path, &name);
    const bool modified = (e.flags & MEF_MODIFIED) != 0;
    item->setText(0, gui_text(name) + (modified ? QStringLiteral(" *") : QString()));
    item->setToolTip(0, gui_path(e.full_path));
    item->setIcon(0, gui_type_icon(e.type()));
    QFont font = item->font(0);
    font.setBold(modified);
    item->setFont(0, font);
}

}  // namespace

GuiEditList::GuiEditList(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("kv_edit_list"));
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setRootIsDecorated(false);
}

int GuiEditList::index_of(const QTreeWidgetItem* item) {
    return item ? item->data(0, kIndexRole).toInt() : -1;
}

QTreeWidgetItem* GuiEditList::item_at(int index) const {
    QTreeWidgetItem* root = topLevelItem(0);
    if (!root || index < 0) return root;
    return index < root->childCount() ? root->child(index) : nullptr;
}

void GuiEditList::fill(MFrame& frame) {
    QSignalBlocker quiet(this);
    clear();
    auto* root = new QTreeWidgetItem(this);
    root->setText(0, gui_utf8(gui_msg::EDIT_LIST));
    root->setToolTip(0, gui_utf8(gui_msg::VERSION_INFO));
    root->setIcon(0, gui_type_icon(MTYPE_ROOM));
    root->setData(0, kIndexRole, -1);
    const auto& entries = frame.edit_list();
    for (size_t i = 0; i < entries.size(); ++i) {
        auto* item = new QTreeWidgetItem(root);
        item->setData(0, kIndexRole, static_cast<int>(i));
        decorate(item, *entries[i].entity);
    }
    root->setExpanded(true);
    setCurrentItem(item_at(frame.edit_selection()));
}

void GuiEditList::update_entity(MFrame& frame, const MseqEntity* entity) {
    const auto& entries = frame.edit_list();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].entity.get() != entity) continue;
        if (QTreeWidgetItem* item = item_at(static_cast<int>(i))) decorate(item, *entity);
    }
}
