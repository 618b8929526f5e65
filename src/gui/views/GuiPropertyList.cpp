#include "gui/views/GuiPropertyList.h"

#include <QComboBox>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QStyle>
#include <algorithm>

#include "edit/MedtMusic.h"
#include "edit/MedtPropertyEdit.h"
#include "gui/GuiRoomTree.h"
#include "gui/GuiText.h"
#include "gui/views/GuiTimeline.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqTitle.h"
#include "model/library/MseqMusic.h"

namespace {

constexpr int kNumberRole = Qt::UserRole + 1;
constexpr int kStyleRole = Qt::UserRole + 2;
constexpr int kHelpRole = Qt::UserRole + 3;

// A cell that shows one text and edits another: the music's title and copyright show what the
// MIDI file gets ("%<entity>" becomes the music's name), and editing them edits what is stored.
class ShownTextItem : public QTableWidgetItem {
public:
    ShownTextItem(const QString& stored, const QString& shown)
        : QTableWidgetItem(stored), shown_(shown) {
        setToolTip(stored);
    }
    QVariant data(int role) const override {
        if (role == Qt::DisplayRole && !edited_) return shown_;
        return QTableWidgetItem::data(role);
    }
    void setData(int role, const QVariant& value) override {
        if (role == Qt::EditRole || role == Qt::DisplayRole) edited_ = true;
        QTableWidgetItem::setData(role, value);
    }

private:
    QString shown_;
    bool edited_ = false;
};

// The title macros of the row, expanded; empty when the row has none or they change nothing.
QString expanded_title(const MedtMusicInvoker& editor, int32_t number, const CkvString& stored) {
    if (number != MROW_MUSIC_TITLE && number != MROW_MUSIC_COPYRIGHT) return QString();
    const MseqMusic* music = editor.music();
    CkvString shown;
    if (!music || !mseq_expand_title(stored, *music, &shown) || shown == stored) return QString();
    return gui_text(shown);
}

}  // namespace

const char* const kGuiTrackMime = "application/x-korvante-track";

GuiPropertyList::GuiPropertyList(QWidget* parent) : QTableWidget(parent) {
    setObjectName(QStringLiteral("kv_property_list"));
    setColumnCount(2);
    setHorizontalHeaderLabels(
        {gui_utf8(gui_msg::PROPERTY_HEAD_NAME), gui_utf8(gui_msg::PROPERTY_HEAD_VALUE)});
    horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(true);
    connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        QTableWidgetItem* it = row >= 0 ? item(row, 0) : nullptr;
        if (it && status) status(it->data(kHelpRole).toString());
    });
    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* it) {
        if (filling_ || it->column() != 1) return;
        const int32_t number = it->data(kNumberRole).toInt();
        set_text(number, it->data(Qt::EditRole).toString());
    });
}

int GuiPropertyList::content_width() const {
    const QFontMetrics fm(font());
    int names = fm.horizontalAdvance(horizontalHeaderItem(0)->text());
    int values = fm.horizontalAdvance(horizontalHeaderItem(1)->text());
    for (int r = 0; r < rowCount(); ++r) {
        if (const QTableWidgetItem* it = item(r, 0))
            names = std::max(names, fm.horizontalAdvance(it->text()));
        if (const QWidget* w = cellWidget(r, 1)) values = std::max(values, w->sizeHint().width());
        if (const QTableWidgetItem* it = item(r, 1))
            values = std::max(values, fm.horizontalAdvance(it->text()));
    }
    // Each cell's padding on both sides, the frame, and room for a scroll bar.
    const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 12;
    return names + values + 2 * padding + 2 * frameWidth() +
           style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

MedtTrack* GuiPropertyList::track() const {
    return editor_ ? editor_->current() : nullptr;
}

void GuiPropertyList::set_editor(MedtMusicInvoker* editor) {
    editor_ = editor;
    refresh();
}

void GuiPropertyList::refresh() {
    filling_ = true;
    const int keep = currentRow();
    clearContents();
    setRowCount(0);
    MedtTrack* t = track();
    if (!t) {
        filling_ = false;
        return;
    }
    std::vector<MedtProperty> props;
    t->build_properties(props);
    setRowCount(int(props.size()));
    const bool locked = editor_->read_only();
    for (int r = 0; r < int(props.size()); ++r) {
        const MedtProperty& p = props[size_t(r)];
        uint32_t style = p.style;
        const CkvString stored = t->property_text(p.number, &style);
        const QString value = gui_text(stored);
        const QString shown = expanded_title(*editor_, p.number, stored);
        auto* name = new QTableWidgetItem(gui_text(p.name));
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        name->setData(kNumberRole, p.number);
        name->setData(kStyleRole, p.style);
        name->setData(kHelpRole, gui_text(p.help));
        auto* cell =
            shown.isEmpty() ? new QTableWidgetItem(value) : new ShownTextItem(value, shown);
        cell->setData(kNumberRole, p.number);
        cell->setData(kStyleRole, p.style);
        cell->setData(kHelpRole, gui_text(p.help));
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (p.style == MPS_TYPED && !locked) flags |= Qt::ItemIsEditable;
        if (p.style == MPS_LINK) flags |= Qt::ItemIsDropEnabled;
        cell->setFlags(flags);
        if (p.style == MPS_DISPLAY || locked) {
            name->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            cell->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
        }
        if (p.group == MPG_CHANNEL) name->setText(QStringLiteral("  ") + name->text());
        setItem(r, 0, name);
        setItem(r, 1, cell);
        if ((p.style == MPS_CHOICE || p.style == MPS_CHOICE_CLEAR) && !locked) {
            auto* box = new QComboBox(this);
            box->setObjectName(QStringLiteral("kv_property_%1").arg(p.number));
            int current = -1;
            for (int32_t i = 0; i < 4096; ++i) {
                CkvString text;
                const int answer = t->property_choice(p.number, i, nullptr, &text);
                if (answer == MCHOICE_PAST_END || answer == MCHOICE_NONE) break;
                box->addItem(gui_text(text));
                if (answer == MCHOICE_CURRENT) current = i;
            }
            box->setCurrentIndex(current);
            if (current < 0) box->setEditText(value);
            const int32_t number = p.number;
            connect(box, &QComboBox::activated, this,
                    [this, number](int index) { set_choice(number, index); });
            setCellWidget(r, 1, box);
        }
    }
    if (keep >= 0 && keep < rowCount()) setCurrentCell(keep, 1);
    filling_ = false;
}

int GuiPropertyList::row_of(int32_t number) const {
    for (int r = 0; r < rowCount(); ++r) {
        if (item(r, 0) && item(r, 0)->data(kNumberRole).toInt() == number) return r;
    }
    return -1;
}

bool GuiPropertyList::post(int32_t number, const MseqBlockWord& value) {
    MedtTrack* t = track();
    if (!t) return false;
    return posted(MedtPropertyEdit::set_value(*editor_, *t, number, value));
}

bool GuiPropertyList::posted(MedtPropertyProblem problem) {
    // The refresh replaces the cell widgets, one of which may be sending this signal.
    QMetaObject::invokeMethod(
        this, [this] { refresh(); }, Qt::QueuedConnection);
    if (changed) changed();
    return problem == MedtPropertyProblem::None;
}

bool GuiPropertyList::set_text(int32_t number, const QString& text) {
    MedtTrack* t = track();
    if (!t) return false;
    // A character CP932 cannot hold is refused, naming it, and the cell goes back to the value.
    if (t->property_is_text(number) && !gui_cp932_accepts(this, text)) {
        QMetaObject::invokeMethod(
            this, [this] { refresh(); }, Qt::QueuedConnection);
        return false;
    }
    const MedtPropertyProblem problem =
        MedtPropertyEdit::set_text(*editor_, *t, number, gui_cp932(text));
    switch (problem) {
        case MedtPropertyProblem::None:
        case MedtPropertyProblem::Declined:
        case MedtPropertyProblem::Failed:
            return posted(problem);
        case MedtPropertyProblem::NoRow:
        case MedtPropertyProblem::DisplayOnly:
            return false;
        default:
            // The text was not what the row takes: the cell goes back to the value.
            if (status) status(gui_utf8(gui_msg::ENTER_A_NUMBER));
            QMetaObject::invokeMethod(
                this, [this] { refresh(); }, Qt::QueuedConnection);
            return false;
    }
}

bool GuiPropertyList::set_choice(int32_t number, int index) {
    MedtTrack* t = track();
    if (!t || index < 0) return false;
    const MedtPropertyProblem problem = MedtPropertyEdit::set_choice(*editor_, *t, number, index);
    if (problem == MedtPropertyProblem::NoRow || problem == MedtPropertyProblem::DisplayOnly ||
        problem == MedtPropertyProblem::NoSuchChoice)
        return false;
    return posted(problem);
}

bool GuiPropertyList::clear(int32_t number) {
    const int r = row_of(number);
    if (r < 0) return false;
    const uint32_t style = item(r, 0)->data(kStyleRole).toUInt();
    if (style != MPS_LINK && style != MPS_CHOICE_CLEAR) return false;
    return post(number, MseqBlockWord());
}

bool GuiPropertyList::drop_node(int32_t number, const MseqObject* node) {
    MedtTrack* t = track();
    if (!t || !node) return false;
    const MedtLink result = editor_->link_node(t->id(), number, node);
    if (result == MedtLink::linked || result == MedtLink::refused)
        posted(MedtPropertyProblem::None);
    gui_msg why = gui_msg::LINK_REFUSED;
    switch (result) {
        case MedtLink::linked:
            return true;
        case MedtLink::not_a_link_row:
            return false;
        case MedtLink::other_music:
            why = gui_msg::LINK_OTHER_MUSIC;
            break;
        case MedtLink::other_book:
            why = gui_msg::LINK_OTHER_BOOK;
            break;
        case MedtLink::refused:
            why = gui_msg::LINK_REFUSED;
            break;
    }
    if (status) status(gui_utf8(why));
    return false;
}

const MseqObject* GuiPropertyList::node_from(const QMimeData* mime) const {
    if (!mime) return nullptr;
    if (mime->hasFormat(QString::fromLatin1(kGuiTrackMime))) {
        const MSEQ_ID id = mime->data(QString::fromLatin1(kGuiTrackMime)).toUInt();
        MedtTrack* t = editor_ ? editor_->find_track(id) : nullptr;
        return t ? t->node() : nullptr;
    }
    return GuiRoomTree::node_of_drag(mime);
}

void GuiPropertyList::dragEnterEvent(QDragEnterEvent* event) {
    if (node_from(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void GuiPropertyList::dragMoveEvent(QDragMoveEvent* event) {
    const int r = rowAt(event->position().toPoint().y());
    if (r >= 0 && item(r, 0)->data(kStyleRole).toUInt() == MPS_LINK && node_from(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

bool GuiPropertyList::drop_mime(const QMimeData* mime, const QPoint& at) {
    const int r = rowAt(at.y());
    const MseqObject* node = node_from(mime);
    if (r < 0 || !node) return false;
    return drop_node(item(r, 0)->data(kNumberRole).toInt(), node);
}

void GuiPropertyList::dropEvent(QDropEvent* event) {
    if (drop_mime(event->mimeData(), event->position().toPoint()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void GuiPropertyList::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        const int r = rowAt(event->position().toPoint().y());
        if (r >= 0 && editor_ && !editor_->read_only()) {
            clear(item(r, 0)->data(kNumberRole).toInt());
            return;
        }
    }
    QTableWidget::mousePressEvent(event);
}
