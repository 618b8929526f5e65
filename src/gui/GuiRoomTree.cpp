#include "gui/GuiRoomTree.h"

#include <QDataStream>
#include <QHeaderView>
#include <QIODevice>
#include <QMimeData>
#include <QPainter>
#include <QSet>
#include <QSignalBlocker>
#include <string_view>

#include "app/MFrame.h"
#include "gui/GuiText.h"
#include "model/core/MseqEntity.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "platform/FileSystem.h"
#include "text/MrecCompiler.h"

namespace {

struct TypeLook {
    QColor colour;
    QChar letter;
};

TypeLook look_of(MSEQ_TYPE type) {
    switch (type) {
        case MTYPE_ROOM:
            return {QColor(0x37, 0x47, 0x8f), QLatin1Char('R')};
        case MTYPE_BOOK_MUSIC:
            return {QColor(0x2e, 0x7d, 0x32), QLatin1Char('B')};
        case MTYPE_BOOK_LIBRARY:
            return {QColor(0x6a, 0x1b, 0x9a), QLatin1Char('P')};
        case MTYPE_LEAF_MUSIC:
            return {QColor(0x15, 0x65, 0xc0), QLatin1Char('M')};
        case MTYPE_LEAF_PHRASE:
            return {QColor(0x00, 0x83, 0x8f), QLatin1Char('F')};
        case MTYPE_LEAF_STAGE:
            return {QColor(0xef, 0x6c, 0x00), QLatin1Char('S')};
        case MTYPE_LEAF_CHORD:
            return {QColor(0xad, 0x14, 0x57), QLatin1Char('C')};
        default:
            return {QColor(0x75, 0x75, 0x75), QLatin1Char('?')};
    }
}

QIcon folder_icon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0xb2, 0x8a, 0x00));
    p.setBrush(QColor(0xff, 0xd5, 0x4f));
    p.drawRect(QRectF(1.5, 4.5, 13, 9));
    p.drawRect(QRectF(1.5, 2.5, 6, 2));
    return QIcon(pixmap);
}

}  // namespace

QIcon gui_type_icon(MSEQ_TYPE type, GuiFileState state) {
    if (type == MTYPE_LEAF_FOLDER && state == GuiFileState::ok) return folder_icon();
    TypeLook look = look_of(type);
    if (state == GuiFileState::missing) look = {QColor(0xb0, 0xb0, 0xb0), QLatin1Char('?')};
    if (state == GuiFileState::damaged) look = {QColor(0xd3, 0x2f, 0x2f), QLatin1Char('!')};
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(look.colour);
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(11);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QString(look.letter));
    return QIcon(pixmap);
}

GuiFileState gui_file_state(MseqObject* node) {
    if (!node || node->type == MTYPE_LEAF_FOLDER || node->is_with() || node->path.empty())
        return GuiFileState::ok;
    MseqFullPath path;
    if (!mseq_path::resolve(node, false, &path)) return GuiFileState::damaged;
    if (!kv_fs::file_exists(path)) return GuiFileState::missing;
    if (MseqEntity* e = node->entity()) {
        return e == MseqEmpty::instance() ? GuiFileState::damaged : GuiFileState::ok;
    }
    // Not opened yet: the header tells whether the file is one of ours.
    MrecCompiler header;
    return header.read_header(path) ? GuiFileState::ok : GuiFileState::damaged;
}

GuiRoomTree::GuiRoomTree(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("kv_room_tree"));
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setUniformRowHeights(true);
    // Leaves are dragged out onto the link rows of the music view's property list; the tree
    // itself takes no drops.
    setDragDropMode(QAbstractItemView::DragOnly);
}

void GuiRoomTree::startDrag(Qt::DropActions) {
    // A dragged leaf is only ever linked: offering a move would let a target that takes the
    // proposed action (Shift held) take the item out of the tree.
    QTreeWidget::startDrag(Qt::CopyAction);
}

MseqObject* GuiRoomTree::node_of(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<MseqObject*>(item->data(0, kNodeRole).value<quintptr>())
                : nullptr;
}

MseqObject* GuiRoomTree::node_of_drag(const QMimeData* mime) {
    const QString model_mime = QStringLiteral("application/x-qabstractitemmodeldatalist");
    if (!mime || !mime->hasFormat(model_mime)) return nullptr;
    QByteArray bytes = mime->data(model_mime);
    QDataStream in(&bytes, QIODevice::ReadOnly);
    while (!in.atEnd()) {
        int row = 0, col = 0;
        QMap<int, QVariant> roles;
        in >> row >> col >> roles;
        if (roles.contains(kNodeRole))
            return reinterpret_cast<MseqObject*>(roles.value(kNodeRole).value<quintptr>());
    }
    return nullptr;
}

QTreeWidgetItem* GuiRoomTree::item_of(const MseqObject* node) const {
    if (!node) return nullptr;
    for (QTreeWidgetItemIterator it(const_cast<GuiRoomTree*>(this)); *it; ++it) {
        if (node_of(*it) == node) return *it;
    }
    return nullptr;
}

void GuiRoomTree::decorate(QTreeWidgetItem* item, MseqObject* node) {
    const GuiFileState state = gui_file_state(node);
    QString name = gui_text(node->name);
    if (node->type == MTYPE_ROOM) {
        CkvString file;
        mseq_path::name_from_file_path(node->path, &file);
        name = gui_text(file);
    }
    QString tip = gui_link_path(node);
    if (state == GuiFileState::missing) {
        tip = gui_fill(gui_msg::TIP_FILE_MISSING, {tip});
        name = gui_fill(gui_msg::MARK_FILE_MISSING, {name});
    } else if (state == GuiFileState::damaged) {
        tip = gui_fill(gui_msg::TIP_FILE_DAMAGED, {tip});
        name = gui_fill(gui_msg::MARK_FILE_DAMAGED, {name});
    } else if (const MFrame* frame = MFrame::get();
               frame && std::string_view(frame->file_mark(node)) == "empty") {
        // A file is there but gave no content: the first save asks before it writes over it.
        tip = gui_fill(gui_msg::TIP_FILE_EMPTY, {tip});
        name = gui_fill(gui_msg::MARK_FILE_EMPTY, {name});
    }
    if (MseqEntity* e = node->entity(); e && (e->flags & MEF_MODIFIED))
        name += QStringLiteral(" *");
    item->setText(0, name);
    item->setToolTip(0, tip);
    item->setIcon(0, gui_type_icon(node->type, state));
    item->setData(0, kStateRole, static_cast<int>(state));
    item->setForeground(0, state == GuiFileState::ok        ? palette().text()
                           : state == GuiFileState::missing ? QBrush(Qt::gray)
                                                            : QBrush(QColor(0xc6, 0x28, 0x28)));
}

QTreeWidgetItem* GuiRoomTree::add(QTreeWidgetItem* parent, MseqObject* node) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
    item->setData(0, kIdRole, node->id);
    // A book lists its leaves only once its file is read.
    if (mseq_type_category(node->type) == MCAT_BOOK) mseq_open(node);
    decorate(item, node);
    item->setFlags(item->flags() | Qt::ItemIsDragEnabled);
    for (MseqObject* c = node->first_child(); c; c = c->next())
        add(item, c);
    return item;
}

void GuiRoomTree::fill(MFrame& frame) {
    QSignalBlocker quiet(this);
    QSet<quint32> expanded;
    const bool first = topLevelItemCount() == 0;
    // The nodes of the old items may be gone (a closed library): only their identifiers count.
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if ((*it)->isExpanded()) expanded.insert((*it)->data(0, kIdRole).toUInt());
    }
    clear();
    MseqObject* root = frame.room_node();
    if (!root) return;
    QTreeWidgetItem* top = add(nullptr, root);
    top->setExpanded(true);
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        const MseqObject* n = node_of(*it);
        // At first the books stand open, so that the library shows what it holds.
        const bool open =
            expanded.contains(n->id) || (first && mseq_type_category(n->type) == MCAT_BOOK);
        if (open) (*it)->setExpanded(true);
    }
    select_node(frame.selected_node());
}

void GuiRoomTree::update_node(const MseqObject* node) {
    if (QTreeWidgetItem* item = item_of(node)) decorate(item, const_cast<MseqObject*>(node));
}

void GuiRoomTree::select_node(const MseqObject* node) {
    QSignalBlocker quiet(this);
    QTreeWidgetItem* item = item_of(node);
    setCurrentItem(item);
    if (item) scrollToItem(item);
}
