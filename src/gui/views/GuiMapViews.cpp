#include "gui/views/GuiMapViews.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QSplitter>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "edit/map/MedtChordMapView.h"
#include "edit/map/MedtStageMapView.h"
#include "gui/GuiText.h"
#include "gui/views/GuiChordEditor.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapStage.h"
#include "model/theory/MseqMapWord.h"
#include "text/MrecSettings.h"

namespace {

// How wide a title of the scale list may be on one line, in letters.
constexpr int kScaleTitleEms = 9;

const gui_msg kSelectorNames[3] = {gui_msg::SELECTOR_CHORD, gui_msg::SELECTOR_SCALE,
                                   gui_msg::SELECTOR_MELODY};
const MedtKeySelector kSelectors[3] = {MedtKeySelector::Chord, MedtKeySelector::Scale,
                                       MedtKeySelector::Melody};
const gui_msg kChordColumns[6] = {gui_msg::CHORD_COLUMN_NUMBER, gui_msg::CHORD_COLUMN_ON,
                                  gui_msg::CHORD_COLUMN_OCTAVE, gui_msg::CHORD_COLUMN_RELATIVE,
                                  gui_msg::CHORD_COLUMN_NAME,   gui_msg::CHORD_COLUMN_KEYS};

QTableWidgetItem* fixed_item(const QString& text) {
    auto* it = new QTableWidgetItem(text);
    it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return it;
}

// A column title wider than `width` broken into two lines of about the same length: at the
// space nearest its middle when it has spaces, otherwise at its middle character, as Japanese
// text breaks anywhere. The header shows two lines whole.
QString wrapped_title(const QString& title, const QFontMetrics& fm, int width) {
    if (fm.horizontalAdvance(title) <= width || title.size() < 2) return title;
    const qsizetype middle = title.size() / 2;
    qsizetype cut = middle;
    bool at_space = false;
    for (qsizetype d = 0; d <= middle; ++d) {
        for (const qsizetype i : {middle - d, middle + d}) {
            if (i > 0 && i < title.size() && title[i] == QLatin1Char(' ')) {
                cut = i;
                at_space = true;
                break;
            }
        }
        if (at_space) break;
    }
    // A small kana, a long-vowel mark or closing punctuation never starts a line.
    static const QString no_start = QString::fromUtf8(
        "\u30A1\u30A3\u30A5\u30A7\u30A9\u30C3\u30E3\u30E5\u30E7\u30FC\u3041\u3043\u3045\u3047"
        "\u3049\u3063\u3083\u3085\u3087\u3001\u3002\uFF09\u300D");
    while (!at_space && cut > 1 && no_start.contains(title[cut]))
        --cut;
    return title.left(cut) + QLatin1Char('\n') + title.mid(at_space ? cut + 1 : cut);
}

}  // namespace

// ---- chord map ---------------------------------------------------------------------------------

GuiChordMapView::GuiChordMapView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("kv_chord_map_view"));
    build();
}

GuiChordMapView::~GuiChordMapView() = default;

QAction* GuiChordMapView::action(int id) const {
    for (QAction* a : actions_) {
        if (a->data().toInt() == id) return a;
    }
    return nullptr;
}

void GuiChordMapView::build() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    // Menu and tool bar.
    auto* menu = new QMenu(gui_utf8(gui_msg::MENU_CHORD_MAP), this);
    menus_.push_back(menu);
    auto make = [this](int id, QMenu* into) {
        auto* a = new QAction(gui_text(MedtChordMapView::command_label(id)), this);
        if (id == MEDT_CMD_KEYNAME_CYCLE) a->setText(gui_utf8(gui_msg::KEY_NAME_STYLE));
        a->setData(id);
        a->setStatusTip(a->text());
        a->setCheckable(id >= MEDT_CMD_KEYNAME_LETTER && id <= MEDT_CMD_KEYNAME_MINOR);
        connect(a, &QAction::triggered, this, [this, id] { run_command(id); });
        actions_.push_back(a);
        if (into) into->addAction(a);
        return a;
    };
    auto* palette = menu->addMenu(gui_text(MedtChordMapView::command_label(MEDT_CMD_PALETTE_MENU)));
    for (int32_t id : MedtChordMapView::palette_menu()) {
        if (id == 0)
            palette->addSeparator();
        else
            make(id, palette);
    }
    menu->addSeparator();
    make(MEDT_CMD_KEYNAME_CYCLE, menu);
    for (int id = MEDT_CMD_KEYNAME_LETTER; id <= MEDT_CMD_KEYNAME_MINOR; ++id)
        make(id, menu);
    menu->addSeparator();
    for (int id = MEDT_CMD_SCALE_SET; id <= MEDT_CMD_SCALE_DELETE; ++id)
        make(id, menu);

    bar_ = new QToolBar(this);
    auto* palette_button = new QToolButton(bar_);
    palette_button->setText(palette->title());
    palette_button->setMenu(palette);
    palette_button->setPopupMode(QToolButton::InstantPopup);
    bar_->addWidget(palette_button);
    bar_->addSeparator();
    key_name_ = new QToolButton(bar_);
    key_name_->setObjectName(QStringLiteral("kv_key_name_button"));
    key_name_->setToolTip(gui_utf8(gui_msg::KEY_NAME_STYLE));
    connect(key_name_, &QToolButton::clicked, this,
            [this] { run_command(MEDT_CMD_KEYNAME_CYCLE); });
    bar_->addWidget(key_name_);
    for (int i = 0; i < 3; ++i) {
        bar_->addWidget(new QLabel(
            QStringLiteral(" ") + gui_utf8(kSelectorNames[i]) + QStringLiteral(" "), bar_));
        keys_[i] = new QComboBox(bar_);
        keys_[i]->setObjectName(QStringLiteral("kv_key_selector_%1").arg(i));
        keys_[i]->setToolTip(gui_text(MedtChordMapView::key_selector_help(kSelectors[i])));
        connect(keys_[i], &QComboBox::activated, this, [this, i](int index) {
            if (filling_ || !model_) return;
            model_->select_key(kSelectors[i], keys_[i]->itemData(index).toInt());
            refresh();
        });
        bar_->addWidget(keys_[i]);
    }
    layout->addWidget(bar_);

    // Scale bar: the map's scale name and its twelve key positions.
    auto* scale_bar = new QWidget(this);
    auto* sl = new QHBoxLayout(scale_bar);
    sl->setContentsMargins(6, 0, 6, 0);
    sl->addWidget(new QLabel(gui_utf8(gui_msg::SCALE_CAPTION), scale_bar));
    scale_name_ = new QLineEdit(scale_bar);
    scale_name_->setToolTip(gui_utf8(gui_msg::SCALE_NAME_TIP));
    scale_name_->setMaximumWidth(220);
    connect(scale_name_, &QLineEdit::editingFinished, this, [this] {
        if (filling_ || !model_) return;
        // A name CP932 cannot hold is refused; the field shows the name kept.
        if (!gui_cp932_accepts(this, scale_name_->text())) {
            scale_name_->setText(gui_text(model_->scale_name()));
            return;
        }
        model_->set_scale_name(gui_cp932(scale_name_->text()));
    });
    sl->addWidget(scale_name_);
    for (int k = 0; k < 12; ++k) {
        auto* b = new QToolButton(scale_bar);
        b->setCheckable(true);
        b->setText(QString::number(k));
        b->setToolTip(gui_utf8(gui_msg::SCALE_KEY_TIP));
        connect(b, &QToolButton::clicked, this, [this, k] {
            if (model_) model_->toggle_scale_key(k);
            refresh();
        });
        scale_keys_.push_back(b);
        sl->addWidget(b);
    }
    sl->addStretch(1);
    layout->addWidget(scale_bar);

    auto* split = new QSplitter(Qt::Horizontal, this);
    chords_ = new QTableWidget(36, 6, split);
    chords_->setObjectName(QStringLiteral("kv_chord_list"));
    QStringList heads;
    for (gui_msg h : kChordColumns)
        heads << gui_utf8(h);
    chords_->setHorizontalHeaderLabels(heads);
    for (int c = 0; c < 6; ++c)
        chords_->horizontalHeaderItem(c)->setToolTip(
            gui_text(MedtChordMapView::chord_column_help(c + 1)));
    chords_->verticalHeader()->hide();
    chords_->horizontalHeader()->setStretchLastSection(true);
    chords_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    chords_->setContextMenuPolicy(Qt::CustomContextMenu);
    chords_->setMouseTracking(true);
    connect(chords_, &QTableWidget::cellClicked, this,
            [this](int r, int c) { chord_click(r, c, false); });
    connect(chords_, &QTableWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        const QModelIndex i = chords_->indexAt(p);
        if (i.isValid()) chord_click(i.row(), i.column(), true);
    });
    connect(chords_, &QTableWidget::cellEntered, this, [this](int, int c) {
        if (status) status(gui_text(MedtChordMapView::chord_column_help(c + 1)));
    });
    scales_ = new QTableWidget(0, 4, split);
    scales_->setObjectName(QStringLiteral("kv_scale_list"));
    // The titles are longer than what the columns need (fit_scale_columns): a long one is
    // broken into two lines, and read whole on one line in its tip.
    QStringList sheads, wrapped;
    const QFontMetrics title_fm = scales_->horizontalHeader()->fontMetrics();
    for (int c = 1; c <= 4; ++c) {
        sheads << gui_text(MedtChordMapView::scale_column_title(c));
        wrapped << wrapped_title(sheads.back(), title_fm,
                                 kScaleTitleEms * title_fm.horizontalAdvance(QLatin1Char('M')));
    }
    scales_->setHorizontalHeaderLabels(wrapped);
    for (int c = 0; c < sheads.size(); ++c)
        scales_->horizontalHeaderItem(c)->setToolTip(sheads[c]);
    scales_->verticalHeader()->hide();
    scales_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    scales_->setSelectionBehavior(QAbstractItemView::SelectRows);
    scales_->setSelectionMode(QAbstractItemView::SingleSelection);
    scales_->horizontalHeader()->setStretchLastSection(true);
    connect(scales_, &QTableWidget::currentCellChanged, this, [this](int r, int, int, int) {
        if (model_ && !filling_) model_->select_scale_row(r);
        update_actions();
    });
    connect(scales_, &QTableWidget::cellDoubleClicked, this,
            [this](int, int) { run_command(MEDT_CMD_SCALE_SET); });
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);
}

void GuiChordMapView::fit_scale_columns() {
    // Each column as wide as its widest value and its title's longest line (long titles are
    // broken in two, so that they do not crowd out the values); the key positions, last, take
    // the rest.
    const QFontMetrics fm = scales_->fontMetrics();
    const int em = fm.horizontalAdvance(QLatin1Char('M'));
    QHeaderView* header = scales_->horizontalHeader();
    for (int c = 0; c + 1 < scales_->columnCount(); ++c) {
        int width = header->sectionSizeHint(c);
        for (int r = 0; r < scales_->rowCount(); ++r)
            width = std::max(width, fm.horizontalAdvance(scales_->item(r, c)->text()) + em);
        scales_->setColumnWidth(c, width);
    }
}

void GuiChordMapView::set_map(MseqMapChord* map, MedtUserPort* port) {
    shown_once_ = false;
    model_ =
        map ? std::make_unique<MedtChordMapView>(map, &mrec_settings::scale_map(), port) : nullptr;
    refresh();
}

void GuiChordMapView::set_locked(bool locked) {
    if (model_ && model_->locked() != locked) {
        model_->set_locked(locked);
        update_actions();
    }
}

bool GuiChordMapView::run_command(int id) {
    if (!model_) return false;
    const bool done = model_->command(id);
    refresh();
    return done;
}

void GuiChordMapView::chord_click(int row, int column, bool right) {
    if (!model_ || filling_) return;
    const int slot = 35 - row;
    const MedtChordClick result = model_->click(slot, column + 1, right);
    if (result == MedtChordClick::OpenEditor) {
        GuiChordEditor dialog(model_->map()->m_Blocks[size_t(slot)], model_->editor_key(), this);
        const bool set =
            run_chord_editor ? run_chord_editor(dialog) : dialog.exec() == QDialog::Accepted;
        if (set) model_->set_chord(slot, dialog.model().chord());
    }
    refresh();
}

void GuiChordMapView::update_actions() {
    for (QAction* a : actions_) {
        const int id = a->data().toInt();
        a->setEnabled(model_ && (id == MEDT_CMD_PALETTE_MENU || model_->enabled(id)));
        a->setChecked(model_ && model_->checked(id));
    }
    setEnabled(model_ != nullptr);
}

void GuiChordMapView::refresh() {
    filling_ = true;
    if (model_) {
        const int mode = model_->key_name_mode();
        static const gui_msg kModes[3] = {gui_msg::KEY_NAMES_LETTER, gui_msg::KEY_NAMES_MAJOR,
                                          gui_msg::KEY_NAMES_MINOR};
        key_name_->setText(gui_utf8(kModes[std::clamp(mode, 0, 2)]));
        const std::vector<MedtKeyChoice> choices = model_->key_choices();
        for (int i = 0; i < 3; ++i) {
            keys_[i]->clear();
            for (const MedtKeyChoice& c : choices)
                keys_[i]->addItem(gui_text(c.label), c.value);
            keys_[i]->setCurrentIndex(keys_[i]->findData(model_->key_value(kSelectors[i])));
        }
        scale_name_->setText(gui_text(model_->scale_name()));
        const QStringList on =
            gui_text(model_->scale_keys()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (int k = 0; k < 12; ++k)
            scale_keys_[size_t(k)]->setChecked(on.contains(QString::number(k)));
        for (int slot = 35; slot >= 0; --slot) {
            const MedtChordRow r = model_->chord_row(slot);
            const int row = row_of_slot(slot);
            chords_->setItem(row, 0,
                             fixed_item(QStringLiteral("%1%2")
                                            .arg(slot / 12 == 0   ? QStringLiteral("-")
                                                 : slot / 12 == 2 ? QStringLiteral("+")
                                                                  : QStringLiteral(" "))
                                            .arg(slot % 12 + 1)));
            chords_->setItem(row, 1,
                             fixed_item(r.on ? QStringLiteral("ON") : QStringLiteral("OFF")));
            chords_->setItem(row, 2, fixed_item(QString::asprintf("%+d", r.octave)));
            chords_->setItem(
                row, 3, fixed_item(gui_utf8(r.relative ? gui_msg::MARK_YES : gui_msg::MARK_NO)));
            chords_->setItem(row, 4, fixed_item(gui_text(r.name)));
            chords_->setItem(row, 5, fixed_item(gui_text(r.keys)));
            const QColor fg = r.on ? palette().color(QPalette::Active, QPalette::Text)
                                   : palette().color(QPalette::Disabled, QPalette::Text);
            for (int c = 0; c < 6; ++c)
                chords_->item(row, c)->setForeground(fg);
        }
        const int keep = model_->selected_scale_row();
        scales_->setRowCount(model_->scale_count());
        for (int i = 0; i < model_->scale_count(); ++i) {
            const MedtScaleRow s = model_->scale_row(i);
            scales_->setItem(i, 0, fixed_item(gui_text(s.name)));
            scales_->setItem(i, 1, fixed_item(gui_text(s.melody_key)));
            scales_->setItem(i, 2, fixed_item(QString::number(s.key_count)));
            scales_->setItem(i, 3, fixed_item(gui_text(s.keys)));
        }
        if (keep >= 0 && keep < scales_->rowCount()) scales_->setCurrentCell(keep, 0);
        chords_->resizeColumnsToContents();
        fit_scale_columns();
        if (!shown_once_) {
            // The middle octave, where the palette's degrees are, first.
            chords_->scrollToItem(chords_->item(row_of_slot(23), 0),
                                  QAbstractItemView::PositionAtTop);
            shown_once_ = true;
        }
    } else {
        chords_->clearContents();
        scales_->setRowCount(0);
    }
    filling_ = false;
    update_actions();
}

// ---- stage map ---------------------------------------------------------------------------------

namespace {

struct StageColumn {
    gui_msg title;
    MedtStageField field;
    bool check;
};

const StageColumn kStageColumns[] = {
    {gui_msg::STAGE_SWITCH, MedtStageField::Switch, true},
    {gui_msg::STAGE_INSTRUMENT, MedtStageField::Program, false},
    {gui_msg::STAGE_VOLUME, MedtStageField::Volume, false},
    {gui_msg::STAGE_PAN, MedtStageField::Pan, false},
    {gui_msg::STAGE_REVERB, MedtStageField::Reverb, false},
    {gui_msg::STAGE_CHORUS, MedtStageField::Chorus, false},
    {gui_msg::STAGE_BEND_RANGE, MedtStageField::BendRange, false},
    {gui_msg::STAGE_BEND, MedtStageField::Bend, false},
    {gui_msg::STAGE_HOLD, MedtStageField::Hold, false},
    {gui_msg::STAGE_MODULATION, MedtStageField::Modulation, false},
    {gui_msg::STAGE_EXPRESSION, MedtStageField::Expression, false},
    {gui_msg::STAGE_SOUND_OFF, MedtStageField::SoundOff, true},
    {gui_msg::STAGE_NOTES_OFF, MedtStageField::NotesOff, true},
    {gui_msg::STAGE_RESET, MedtStageField::ResetControllers, true},
};
constexpr int kStageColumnCount = int(sizeof(kStageColumns) / sizeof(kStageColumns[0]));
constexpr int kDrumPart = 9;

}  // namespace

GuiStageMapView::GuiStageMapView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("kv_stage_map_view"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* menu = new QMenu(gui_utf8(gui_msg::MENU_SETUP), this);
    menus_.push_back(menu);
    auto* bar = new QToolBar(this);
    for (int id : {MEDT_CMD_STAGE_GM1, MEDT_CMD_STAGE_GM2}) {
        auto* a = new QAction(gui_text(MedtStageMapView::command_label(id)), this);
        a->setData(id);
        a->setCheckable(true);
        a->setStatusTip(a->text());
        connect(a, &QAction::triggered, this, [this, id] { run_command(id); });
        menu->addAction(a);
        bar->addAction(a);
        actions_.push_back(a);
    }
    layout->addWidget(bar);
    parts_ = new QTableWidget(16, kStageColumnCount + 1, this);
    parts_->setObjectName(QStringLiteral("kv_stage_list"));
    QStringList heads{gui_utf8(gui_msg::STAGE_PLAYER)};
    for (const StageColumn& c : kStageColumns)
        heads << gui_utf8(c.title);
    parts_->setHorizontalHeaderLabels(heads);
    for (int c = 0; c <= kStageColumnCount; ++c) {
        const int help = c <= 2 ? c + 1 : c <= 11 ? c + 1 : c + 1;
        parts_->horizontalHeaderItem(c)->setToolTip(gui_text(MedtStageMapView::column_help(help)));
    }
    parts_->verticalHeader()->hide();
    parts_->setMouseTracking(true);
    connect(parts_, &QTableWidget::cellEntered, this, [this](int, int c) {
        if (status) status(gui_text(MedtStageMapView::column_help(c + 1)));
    });
    connect(parts_, &QTableWidget::cellChanged, this, [this](int r, int c) { cell_changed(r, c); });
    parts_->viewport()->installEventFilter(this);
    layout->addWidget(parts_, 1);
    for (int part = 0; part < 16; ++part) {
        auto* box = new QComboBox(parts_);
        box->setObjectName(QStringLiteral("kv_stage_instrument_%1").arg(part));
        const uint16_t kind = part == kDrumPart ? MWORD_DRUM_KIT : MWORD_PROGRAM;
        for (const auto& [key, word] : MseqMapWord::builtin().words()) {
            if (word.m_Attrib != kind || word.m_Group != 0) continue;
            box->addItem(
                QStringLiteral("%1 %2").arg(word.m_Index & 0x7F, 3).arg(gui_text(word.m_Name)),
                int(word.m_Index & 0x7F));
        }
        connect(box, &QComboBox::activated, this, [this, part, box, kind](int index) {
            if (filling_ || !model_) return;
            model_->set_field(
                part, kind == MWORD_DRUM_KIT ? MedtStageField::Kit : MedtStageField::Program,
                box->itemData(index).toInt());
            refresh();
        });
        box->installEventFilter(this);
        parts_->setCellWidget(part, 2, box);
    }
}

bool GuiStageMapView::toggle_send_at(int row, int column) {
    if (!model_ || row < 0 || row >= 16 || column < 1 || column > kStageColumnCount) return false;
    const StageColumn& c = kStageColumns[column - 1];
    if (c.check) return false;
    // The instrument column stands for the kit on the drum part; both share one send bit.
    const MedtStageField field =
        c.field == MedtStageField::Program && row == kDrumPart ? MedtStageField::Kit : c.field;
    const bool done = model_->toggle_send(row, field);
    refresh();
    return done;
}

bool GuiStageMapView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonPress ||
        static_cast<QMouseEvent*>(event)->button() != Qt::RightButton)
        return QWidget::eventFilter(watched, event);
    if (watched == parts_->viewport()) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        toggle_send_at(parts_->rowAt(at.y()), parts_->columnAt(at.x()));
        return true;
    }
    for (int part = 0; part < 16; ++part) {
        if (watched == instrument(part)) {
            toggle_send_at(part, 2);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

GuiStageMapView::~GuiStageMapView() = default;

QComboBox* GuiStageMapView::instrument(int part) const {
    return qobject_cast<QComboBox*>(parts_->cellWidget(part, 2));
}

void GuiStageMapView::set_map(MseqMapStage* map) {
    model_ = map ? std::make_unique<MedtStageMapView>(map) : nullptr;
    refresh();
}

void GuiStageMapView::set_locked(bool locked) {
    if (model_ && model_->locked() != locked) {
        model_->set_locked(locked);
        refresh();
    }
}

bool GuiStageMapView::run_command(int id) {
    const bool done = model_ && model_->command(id);
    refresh();
    return done;
}

void GuiStageMapView::cell_changed(int row, int column) {
    if (filling_ || !model_ || column < 1) return;
    const StageColumn& c = kStageColumns[column - 1];
    QTableWidgetItem* it = parts_->item(row, column);
    if (c.check) {
        model_->set_field(row, c.field, it->checkState() == Qt::Checked ? 1 : 0);
    } else {
        bool ok = false;
        const int v = it->text().trimmed().toInt(&ok);
        if (ok) {
            model_->set_field(row, c.field, v);
        } else if (status) {
            status(gui_utf8(gui_msg::ENTER_A_NUMBER));
        }
    }
    refresh();
}

void GuiStageMapView::refresh() {
    filling_ = true;
    const bool usable = model_ && !model_->locked();
    for (QAction* a : actions_) {
        a->setEnabled(model_ && model_->enabled(a->data().toInt()));
        a->setChecked(model_ && model_->checked(a->data().toInt()));
    }
    for (int part = 0; part < 16; ++part) {
        parts_->setItem(part, 0, fixed_item(QString::number(part + 1)));
        for (int col = 1; col <= kStageColumnCount; ++col) {
            const StageColumn& c = kStageColumns[col - 1];
            if (c.field == MedtStageField::Program) {
                QComboBox* box = instrument(part);
                const MedtStageField f =
                    part == kDrumPart ? MedtStageField::Kit : MedtStageField::Program;
                const int v = model_ ? int(model_->field(part, f)) : 0;
                box->setCurrentIndex(box->findData(v));
                box->setEnabled(usable);
                continue;
            }
            const int64_t v = model_ ? model_->field(part, c.field) : 0;
            auto* it = new QTableWidgetItem();
            Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
            if (c.check) {
                if (usable) flags |= Qt::ItemIsUserCheckable;
                it->setCheckState(v ? Qt::Checked : Qt::Unchecked);
            } else {
                if (usable) flags |= Qt::ItemIsEditable;
                it->setText(QString::number(v));
                it->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                if (model_ && !model_->sends(part, c.field))
                    it->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            }
            it->setFlags(flags);
            parts_->setItem(part, col, it);
        }
    }
    parts_->resizeColumnsToContents();
    filling_ = false;
}
