#include "gui/GuiDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/MAppProblem.h"
#include "app/MAppText.h"
#include "app/MFrame.h"
#include "gui/GuiText.h"
#include "model/core/MseqPathOps.h"
#include "model/lang/KvLanguage.h"

// ---- Fields ----

GuiFieldDialog::GuiFieldDialog(QWidget* parent, MAppFields& fields, const MAppDialogCheck& check)
    : QDialog(parent), fields_(fields), check_(check) {
    setModal(true);
}

void GuiFieldDialog::bind(const std::string& name, QWidget* widget) {
    widget->setObjectName(QString::fromStdString(name));
    widgets_.emplace_back(name, widget);
}

QWidget* GuiFieldDialog::field_widget(const std::string& name) const {
    for (const auto& [n, w] : widgets_) {
        if (n == name) return w;
    }
    return nullptr;
}

CkvString GuiFieldDialog::value(const std::string& name) const {
    QWidget* w = field_widget(name);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return gui_cp932(edit->text());
    if (auto* box = qobject_cast<QCheckBox*>(w)) return CkvString(box->isChecked() ? "1" : "0");
    if (auto* list = qobject_cast<QComboBox*>(w)) {
        const QVariant data = list->currentData();
        return gui_cp932(data.isValid() ? data.toString() : list->currentText());
    }
    return {};
}

void GuiFieldDialog::set_value(const std::string& name, const CkvString& value) {
    QWidget* w = field_widget(name);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(gui_text(value));
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
        box->setChecked(value != "0" && !value.empty());
    } else if (auto* list = qobject_cast<QComboBox*>(w)) {
        const int i = list->findData(gui_text(value));
        if (i >= 0) {
            list->setCurrentIndex(i);
        } else if (list->isEditable()) {
            list->setEditText(gui_text(value));
        } else if (!value.empty()) {
            // A stored choice that is not offered now (a device unplugged) stays selectable, so
            // that OK does not silently replace it.
            list->addItem(gui_fill(gui_msg::CHOICE_NOT_FOUND, {gui_text(value)}), gui_text(value));
            list->setCurrentIndex(list->count() - 1);
        }
    }
}

void GuiFieldDialog::load_fields() {
    for (const auto& [name, w] : widgets_)
        set_value(name, fields_.get(name));
}

void GuiFieldDialog::store_fields() {
    for (const auto& [name, w] : widgets_)
        fields_.set(name, value(name));
}

void GuiFieldDialog::done(int result) {
    if (result != QDialog::Accepted) {
        QDialog::done(result);
        return;
    }
    // A typed character CP932 cannot hold would be kept as '?': the field is refused first.
    for (const auto& [name, w] : widgets_) {
        QString typed;
        if (auto* edit = qobject_cast<QLineEdit*>(w)) typed = edit->text();
        if (auto* list = qobject_cast<QComboBox*>(w); list && list->isEditable())
            typed = list->currentText();
        if (gui_cp932_accepts(this, typed)) continue;
        w->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->selectAll();
        return;
    }
    store_fields();
    const MAppCheck verdict = check_ ? check_(fields_) : MAppCheck{};
    // The check may have rewritten values (trimmed names, the computed path).
    load_fields();
    if (!verdict.accepted) {
        if (QWidget* w = field_widget(verdict.focus)) {
            w->setFocus(Qt::OtherFocusReason);
            if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->selectAll();
        }
        return;
    }
    QDialog::done(result);
}

QWidget* GuiFieldDialog::make_buttons() {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setText(gui_utf8(gui_msg::CANCEL));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    return buttons;
}

namespace {

// A line with a path field and its browse button.
QWidget* path_row(QWidget* parent, QLineEdit* edit, QPushButton** button) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit, 1);
    *button = new QPushButton(gui_utf8(gui_msg::BROWSE), row);
    layout->addWidget(*button);
    return row;
}

// Leaving a name field trims its half- and full-width blanks.
void trim_on_leave(QLineEdit* edit) {
    QObject::connect(edit, &QLineEdit::editingFinished, edit, [edit] {
        const QString trimmed = gui_text(mapp_trim_blanks(gui_cp932(edit->text())));
        if (trimmed != edit->text()) edit->setText(trimmed);
    });
}

// Asks for a folder, starting at the one in `edit`; the answer replaces it.
void browse_folder(MAppUserPort& port, QLineEdit* edit, gui_msg title) {
    MAppFileRequest request;
    request.kind = MAppFileKind::folder;
    request.title = mapp_text(kv_text(title));
    request.initial_folder = mapp_entered_path(gui_cp932(edit->text()));
    CkvString chosen;
    if (port.choose_file(request, &chosen)) edit->setText(gui_path(chosen));
}

}  // namespace

// ---- Create library ----

GuiCreateRoomDialog::GuiCreateRoomDialog(QWidget* parent, MAppUserPort& port, MAppFields& fields,
                                         const MAppDialogCheck& check)
    : GuiFieldDialog(parent, fields, check) {
    setWindowTitle(gui_utf8(gui_msg::CREATE_ROOM_TITLE));
    parent_ = new QLineEdit(this);
    folder_ = new QLineEdit(this);
    file_ = new QLineEdit(this);
    full_ = new QLineEdit(this);
    full_->setReadOnly(true);
    full_->setFocusPolicy(Qt::NoFocus);
    bind("parent", parent_);
    bind("folder", folder_);
    bind("file", file_);
    bind("full", full_);
    QPushButton* browse = nullptr;
    auto* form = new QFormLayout;
    form->addRow(gui_utf8(gui_msg::FIELD_PARENT), path_row(this, parent_, &browse));
    form->addRow(gui_utf8(gui_msg::FIELD_FOLDER), folder_);
    form->addRow(gui_utf8(gui_msg::FIELD_FILE), file_);
    form->addRow(gui_utf8(gui_msg::FIELD_FULL), full_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(make_buttons());
    setTabOrder(parent_, browse);
    setTabOrder(browse, folder_);
    setTabOrder(folder_, file_);
    trim_on_leave(folder_);
    trim_on_leave(file_);
    connect(browse, &QPushButton::clicked, this,
            [this, &port] { browse_folder(port, parent_, gui_msg::CREATE_ROOM_BROWSE); });
    for (QLineEdit* e : {parent_, folder_, file_})
        connect(e, &QLineEdit::textChanged, this, [this] { update_full(); });
    load_fields();
    update_full();
    resize(560, sizeHint().height());
    folder_->setFocus();
}

void GuiCreateRoomDialog::update_full() {
    // In the form the folder is typed in: a host path stays one.
    CkvString path = gui_cp932(parent_->text());
    const CkvString folder = gui_cp932(folder_->text());
    if (!folder.empty()) path = mapp_shown_append(path, folder);
    full_->setText(gui_text(mapp_shown_append(path, gui_cp932(file_->text()))));
}

// ---- New music ----

namespace {

struct FileField {
    const char* name;
    gui_msg label;
    gui_msg title;
    const char* initial;
    bool book;
};

const FileField kMusicFiles[] = {
    {"book", gui_msg::FIELD_MUSIC_BOOK, gui_msg::BROWSE_MUSIC_BOOK, "music.kvnb", true},
    {"music", gui_msg::FIELD_MUSIC_LEAF, gui_msg::BROWSE_MUSIC_LEAF, "music.kvnl", false},
    {"stage", gui_msg::FIELD_STAGE_MAP, gui_msg::BROWSE_STAGE_MAP, "stage.kvnl", false},
    {"chord", gui_msg::FIELD_CHORD_MAP, gui_msg::BROWSE_CHORD_MAP, "chord.kvnl", false},
};

}  // namespace

GuiNewMusicDialog::GuiNewMusicDialog(QWidget* parent, MAppUserPort& port, MAppFields& fields,
                                     const MAppDialogCheck& check)
    : GuiFieldDialog(parent, fields, check) {
    setWindowTitle(gui_utf8(gui_msg::NEW_MUSIC_TITLE));
    pages_ = new QStackedWidget(this);
    page_field_ = new QLineEdit(this);
    page_field_->hide();
    bind("page", page_field_);

    // Page 1: a new folder that receives the four files.
    auto* one = new QWidget(pages_);
    auto* parent_edit = new QLineEdit(one);
    auto* folder_edit = new QLineEdit(one);
    bind("parent", parent_edit);
    bind("folder", folder_edit);
    trim_on_leave(folder_edit);
    QPushButton* browse = nullptr;
    auto* form1 = new QFormLayout(one);
    form1->addRow(new QLabel(gui_utf8(gui_msg::NEW_MUSIC_FOLDER_INTRO), one));
    form1->addRow(gui_utf8(gui_msg::FIELD_PARENT), path_row(one, parent_edit, &browse));
    form1->addRow(gui_utf8(gui_msg::FIELD_FOLDER), folder_edit);
    auto* to_two = new QPushButton(gui_utf8(gui_msg::NEW_MUSIC_TO_FILES), one);
    form1->addRow(to_two);
    connect(browse, &QPushButton::clicked, this,
            [&port, parent_edit] { browse_folder(port, parent_edit, gui_msg::NEW_MUSIC_BROWSE); });
    connect(to_two, &QPushButton::clicked, this, [this] { show_page(2); });
    pages_->addWidget(one);

    // Page 2: each file chosen on its own.
    auto* two = new QWidget(pages_);
    auto* form2 = new QFormLayout(two);
    form2->addRow(new QLabel(gui_utf8(gui_msg::NEW_MUSIC_FILES_INTRO), two));
    // The first browse starts in the library's folder; later ones where the last one ended.
    auto start = std::make_shared<CkvString>(mapp_entered_path(fields.get("parent")));
    for (const FileField& f : kMusicFiles) {
        auto* edit = new QLineEdit(two);
        bind(f.name, edit);
        QPushButton* button = nullptr;
        form2->addRow(gui_utf8(f.label), path_row(two, edit, &button));
        connect(button, &QPushButton::clicked, this, [&port, edit, f, start] {
            MAppFileRequest request;
            request.kind = MAppFileKind::open;
            request.title = mapp_text(kv_text(f.title));
            request.initial_name = f.initial;
            request.initial_folder = *start;
            request.default_ext = f.book ? "kvnb" : "kvnl";
            request.filter =
                mapp_text(kv_text(f.book ? gui_msg::FILTER_BOOKS : gui_msg::FILTER_LEAVES));
            CkvString chosen;
            if (!port.choose_file(request, &chosen)) {
                edit->clear();
                return;
            }
            *start = mseq_path::remove_file_name(chosen);
            // The application refuses an existing book or music and a map of another kind.
            MFrame* frame = MFrame::get();
            if (frame && !frame->check_browsed(f.name, chosen)) {
                edit->clear();
                return;
            }
            edit->setText(gui_path(chosen));
        });
    }
    auto* to_one = new QPushButton(gui_utf8(gui_msg::NEW_MUSIC_TO_FOLDER), two);
    form2->addRow(to_one);
    connect(to_one, &QPushButton::clicked, this, [this] { show_page(1); });
    pages_->addWidget(two);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    layout->addWidget(make_buttons());
    load_fields();
    show_page(fields.get("page") == "2" ? 2 : 1);
    resize(600, sizeHint().height());
}

void GuiNewMusicDialog::show_page(int page) {
    pages_->setCurrentIndex(page == 2 ? 1 : 0);
    page_field_->setText(page == 2 ? QStringLiteral("2") : QStringLiteral("1"));
    if (QWidget* first = field_widget(page == 2 ? "book" : "folder")) first->setFocus();
}

int GuiNewMusicDialog::page() const {
    return pages_->currentIndex() + 1;
}

// ---- Settings ----

namespace {

enum class SettingKind { check, number };

struct SettingRow {
    const char* name;
    gui_msg label;
    SettingKind kind;
};

const SettingRow kSettingRows[] = {
    {"m_PlayMode", gui_msg::SETTING_PLAY_MODE, SettingKind::number},
    {"m_StopClose", gui_msg::SETTING_STOP_CLOSE, SettingKind::check},
    {"m_StopResetMsg", gui_msg::SETTING_STOP_RESET, SettingKind::check},
    {"m_CacheLevel", gui_msg::SETTING_CACHE_LEVEL, SettingKind::number},
    {"m_SeekInterval", gui_msg::SETTING_SEEK_INTERVAL, SettingKind::number},
    {"m_ShowMenuBar", gui_msg::SETTING_MENU_BAR, SettingKind::check},
    {"m_ShowStatusBar", gui_msg::SETTING_STATUS_BAR, SettingKind::check},
    {"m_VertTrackList", gui_msg::SETTING_VERT_TRACK_LIST, SettingKind::check},
    {"m_VertTrackProp", gui_msg::SETTING_VERT_TRACK_PROP, SettingKind::check},
    {"m_MouseWheel", gui_msg::SETTING_MOUSE_WHEEL, SettingKind::check},
    {"m_LClickDelete", gui_msg::SETTING_LCLICK_DELETE, SettingKind::check},
    {"m_DownSemiFlat", gui_msg::SETTING_DOWN_FLAT, SettingKind::check},
};

}  // namespace

GuiSettingsDialog::GuiSettingsDialog(QWidget* parent, MAppFields& fields,
                                     const MAppDialogCheck& check,
                                     const std::vector<std::string>& devices,
                                     const std::vector<std::string>& synth_ports,
                                     const std::vector<std::string>& inputs)
    : GuiFieldDialog(parent, fields, check) {
    setWindowTitle(gui_utf8(gui_msg::SETTINGS_TITLE));
    auto* form = new QFormLayout;

    auto* device = new QComboBox(this);
    device->addItem(gui_utf8(gui_msg::NONE), QStringLiteral("-2"));
    device->addItem(gui_utf8(gui_msg::SETTING_MIDI_MAPPER), QStringLiteral("-1"));
    for (size_t i = 0; i < devices.size(); ++i)
        device->addItem(gui_text(devices[i]), QString::number(i));
    bind("m_DeviceID", device);
    form->addRow(gui_utf8(gui_msg::SETTING_DEVICE), device);

    auto* input = new QComboBox(this);
    input->addItem(gui_utf8(gui_msg::NONE), QString());
    for (const std::string& name : inputs)
        input->addItem(gui_text(name), gui_text(name));
    // A port chosen before and not there now (unplugged) stays chosen unless changed.
    const QString chosen = gui_text(fields.get("midi_input"));
    if (!chosen.isEmpty() && input->findData(chosen) < 0) input->addItem(chosen, chosen);
    bind("midi_input", input);
    form->addRow(gui_utf8(gui_msg::SETTING_INPUT), input);

    auto* synth = new QCheckBox(gui_utf8(gui_msg::SETTING_SYNTH), this);
    bind("m_DirectMusic", synth);
    form->addRow(gui_utf8(gui_msg::SETTING_SYNTH_ROW), synth);
    auto* synth_port = new QComboBox(this);
    synth_port->setEditable(true);
    for (const std::string& p : synth_ports)
        synth_port->addItem(gui_text(p), gui_text(p));
    bind("m_DmPortName", synth_port);
    form->addRow(gui_utf8(gui_msg::SETTING_SYNTH_PORT), synth_port);

    for (const SettingRow& row : kSettingRows) {
        if (row.kind == SettingKind::check) {
            auto* box = new QCheckBox(gui_utf8(row.label), this);
            bind(row.name, box);
            form->addRow(QString(), box);
        } else {
            auto* edit = new QLineEdit(this);
            bind(row.name, edit);
            form->addRow(gui_utf8(row.label), edit);
        }
    }
    // The recovery copies' interval, kept by the application in a file of its own.
    auto* autosave = new QLineEdit(this);
    bind("autosave_seconds", autosave);
    form->addRow(gui_utf8(gui_msg::SETTING_AUTOSAVE), autosave);
    // The interface language, kept by the application in a file of its own and taken at the
    // next start. Each language is named in its own words, so that a user who cannot read the
    // one shown still finds theirs.
    auto* language = new QComboBox(this);
    for (const auto& [shown, name] : {std::pair{kv_language::japanese, gui_msg::LANGUAGE_JAPANESE},
                                      std::pair{kv_language::english, gui_msg::LANGUAGE_ENGLISH}}) {
        const std::string_view code = kv_language_code(shown);
        language->addItem(gui_utf8(name),
                          QString::fromLatin1(code.data(), static_cast<qsizetype>(code.size())));
        // Without a stored choice the dialog shows the language in use.
        if (shown == kv_current_language()) language->setCurrentIndex(language->count() - 1);
    }
    bind("language", language);
    form->addRow(gui_utf8(gui_msg::SETTING_LANGUAGE), language);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(make_buttons());
    load_fields();
    device->setFocus();
}
