#include "gui/views/GuiChordEditor.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/GuiText.h"
#include "model/theory/MseqKeyName.h"

namespace {

constexpr int kLowest = -24;  // the key grid starts two octaves below the root
constexpr int kCells = 60;

QToolButton* cell(const QString& text, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setCheckable(true);
    b->setMinimumWidth(28);
    return b;
}

}  // namespace

GuiChordEditor::GuiChordEditor(const MseqBlockChord& chord, int32_t key, QWidget* parent)
    : QDialog(parent), model_(chord, key) {
    setObjectName(QStringLiteral("kv_chord_editor"));
    setWindowTitle(gui_utf8(gui_msg::CHORD_EDITOR_TITLE));
    auto* layout = new QVBoxLayout(this);
    name_ = new QLabel(this);
    QFont big = name_->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    name_->setFont(big);
    layout->addWidget(name_);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    int row = 0;
    const auto caption = [&](gui_msg text) {
        grid->addWidget(new QLabel(gui_utf8(text), this), row, 0, Qt::AlignRight | Qt::AlignTop);
    };
    const auto line = [&](std::vector<QToolButton*>& out, int count, int per_line,
                          const std::function<QString(int)>& text,
                          const std::function<void(int)>& act) {
        auto* box = new QGridLayout;
        box->setSpacing(2);
        for (int i = 0; i < count; ++i) {
            QToolButton* b = cell(text(i), this);
            connect(b, &QToolButton::clicked, this, [this, act, i] {
                act(i);
                refresh();
            });
            box->addWidget(b, i / per_line, i % per_line);
            out.push_back(b);
        }
        grid->addLayout(box, row++, 1);
    };
    caption(gui_msg::CHORD_OCTAVE);
    line(
        octaves_, 5, 5, [](int i) { return QString::asprintf("%+d", i - 2); },
        [this](int i) { model_.set_octave(i - 2); });
    caption(gui_msg::CHORD_RELATIVE);
    line(
        relative_, 2, 2, [](int i) { return gui_utf8(i ? gui_msg::MARK_YES : gui_msg::MARK_NO); },
        [this](int i) { model_.set_relative(i == 1); });
    caption(gui_msg::CHORD_ROOT);
    line(
        roots_, 12, 12, [](int i) { return gui_text(mseq_key_name(i, MKEYNAME_LETTER)); },
        [this](int i) { model_.set_root(i); });
    caption(gui_msg::CHORD_TYPE);
    line(
        types_, kMseqChordTypeCount, 7,
        [](int i) { return QString::fromLatin1(mseq_chord_type(i)->name); },
        [this](int i) { model_.set_type(i); });
    caption(gui_msg::CHORD_INVERSION);
    auto* inv = new QHBoxLayout;
    for (int step : {-1, 1}) {
        auto* b = new QToolButton(this);
        b->setText(gui_utf8(step < 0 ? gui_msg::CHORD_INVERT_DOWN : gui_msg::CHORD_INVERT_UP));
        connect(b, &QToolButton::clicked, this, [this, step] {
            model_.invert(step);
            refresh();
        });
        inv->addWidget(b);
    }
    inv->addStretch(1);
    grid->addLayout(inv, row++, 1);
    caption(gui_msg::CHORD_KEYS);
    auto* keys = new QGridLayout;
    keys->setSpacing(1);
    for (int i = 0; i < kCells; ++i) {
        const int distance = kLowest + i;
        QToolButton* b = cell(QString::number(distance), this);
        b->setEnabled(distance >= -23 && distance <= 23);
        b->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(b, &QToolButton::clicked, this, [this, distance] {
            model_.toggle_key(distance, false);
            refresh();
        });
        connect(b, &QToolButton::customContextMenuRequested, this, [this, distance] {
            model_.toggle_key(distance, true);
            refresh();
        });
        keys->addWidget(b, i / 12, i % 12);
        keys_.push_back(b);
    }
    grid->addLayout(keys, row++, 1);

    auto* buttons = new QHBoxLayout;
    auto* set = new QPushButton(gui_utf8(gui_msg::CHORD_SET), this);
    set->setDefault(true);
    connect(set, &QPushButton::clicked, this, &QDialog::accept);
    auto* copy = new QPushButton(gui_utf8(gui_msg::CHORD_COPY), this);
    connect(copy, &QPushButton::clicked, this, [this] { model_.copy(); });
    auto* paste = new QPushButton(gui_utf8(gui_msg::CHORD_PASTE), this);
    connect(paste, &QPushButton::clicked, this, [this] {
        model_.paste();
        refresh();
    });
    auto* clear = new QPushButton(gui_utf8(gui_msg::CHORD_CLEAR), this);
    connect(clear, &QPushButton::clicked, this, [this] {
        model_.clear();
        refresh();
    });
    auto* cancel = new QPushButton(gui_utf8(gui_msg::CANCEL), this);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    for (QPushButton* b : {set, copy, paste, clear, cancel})
        buttons->addWidget(b);
    layout->addLayout(buttons);
    refresh();
}

QAbstractButton* GuiChordEditor::button(const QString& text) const {
    for (QAbstractButton* b : findChildren<QAbstractButton*>()) {
        if (b->text() == text) return b;
    }
    return nullptr;
}

QToolButton* GuiChordEditor::key_cell(int distance) const {
    const int i = distance - kLowest;
    return i >= 0 && i < kCells ? keys_[size_t(i)] : nullptr;
}

void GuiChordEditor::refresh() {
    const MseqBlockChord& c = model_.chord();
    name_->setText(c.key_count ? gui_text(c.m_Type) : gui_utf8(gui_msg::CHORD_NO_KEYS));
    for (int i = 0; i < 5; ++i)
        octaves_[size_t(i)]->setChecked(c.m_Octave == i - 2);
    const bool relative = (c.m_Flags & MCHORD_RELATIVE_ROOT) != 0;
    relative_[0]->setChecked(!relative);
    relative_[1]->setChecked(relative);
    const int root = c.effective_root(model_.key());
    for (int i = 0; i < 12; ++i)
        roots_[size_t(i)]->setChecked(c.key_count > 0 && root == i);
    for (int i = 0; i < kMseqChordTypeCount; ++i)
        types_[size_t(i)]->setChecked(
            c.key_count > 0 && gui_text(c.m_Type) == QString::fromLatin1(mseq_chord_type(i)->name));
    for (int i = 0; i < kCells; ++i) {
        const int distance = kLowest + i;
        bool on = false, skipped = false;
        for (int k = 0; k < c.key_count; ++k) {
            if (c.keys[size_t(k)].m_Key == distance) {
                on = true;
                skipped = (c.keys[size_t(k)].m_Flags & 1) != 0;
            }
        }
        QToolButton* b = keys_[size_t(i)];
        b->setChecked(on);
        b->setStyleSheet(skipped ? QStringLiteral("QToolButton{color:#d98c3a;font-weight:bold}")
                                 : QString());
    }
}
