#include "gui/GuiTransferDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "gui/GuiText.h"

namespace {

struct Choice {
    const char* value;
    gui_msg label;
};

QComboBox* choice_list(QWidget* parent, std::initializer_list<Choice> choices) {
    auto* list = new QComboBox(parent);
    for (const Choice& c : choices)
        list->addItem(gui_utf8(c.label), QString::fromLatin1(c.value));
    return list;
}

// What the analysis turns pure notes into, in the order of its preference.
const Choice kTargets[] = {{"chord", gui_msg::TARGET_CHORD},
                           {"scale", gui_msg::TARGET_SCALE},
                           {"tone", gui_msg::TARGET_TONE}};

// The dialog's form above its OK/Cancel row.
void finish(GuiFieldDialog* dialog, QFormLayout* form, QWidget* buttons) {
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

}  // namespace

GuiImportDialog::GuiImportDialog(QWidget* parent, MAppFields& fields, const MAppDialogCheck& check)
    : GuiFieldDialog(parent, fields, check) {
    setWindowTitle(gui_utf8(gui_msg::IMPORT_TITLE));
    auto* form = new QFormLayout;
    auto* book = new QComboBox(this);
    const QStringList books = gui_text(fields.get("books")).split(QLatin1Char('\n'));
    for (int i = 0; i < books.size(); ++i)
        book->addItem(books[i], QString::number(i));
    bind("book", book);
    form->addRow(gui_utf8(gui_msg::FIELD_MUSIC_BOOK), book);
    auto* name = new QLineEdit(this);
    bind("name", name);
    form->addRow(gui_utf8(gui_msg::IMPORT_NAME), name);
    auto* analysis = choice_list(this, {{"none", gui_msg::IMPORT_NO_ANALYSIS},
                                        {"chord", kTargets[0].label},
                                        {"scale", kTargets[1].label},
                                        {"tone", kTargets[2].label}});
    bind("analysis", analysis);
    form->addRow(gui_utf8(gui_msg::IMPORT_ANALYSIS), analysis);
    finish(this, form, make_buttons());
    load_fields();
    name->setFocus();
    name->selectAll();
}

GuiExportDialog::GuiExportDialog(QWidget* parent, MAppFields& fields, const MAppDialogCheck& check)
    : GuiFieldDialog(parent, fields, check) {
    setWindowTitle(gui_utf8(gui_msg::EXPORT_TITLE));
    auto* form = new QFormLayout;
    auto* format = choice_list(this, {{"0", gui_msg::EXPORT_SMF0},
                                      {"1", gui_msg::EXPORT_SMF1},
                                      {"musicxml", gui_msg::EXPORT_MUSICXML}});
    bind("format", format);
    form->addRow(gui_utf8(gui_msg::FIELD_FORMAT), format);
    auto* text =
        choice_list(this, {{"cp932", gui_msg::EXPORT_CP932}, {"utf8", gui_msg::EXPORT_UTF8}});
    bind("text", text);
    form->addRow(gui_utf8(gui_msg::EXPORT_TEXT), text);
    // A score spells its texts in Unicode anyway.
    const auto follow = [format, text] {
        text->setEnabled(format->currentData().toString() != QLatin1String("musicxml"));
    };
    connect(format, &QComboBox::currentIndexChanged, this, follow);
    finish(this, form, make_buttons());
    load_fields();
    follow();
    format->setFocus();
}

GuiAnalyseDialog::GuiAnalyseDialog(QWidget* parent, MAppFields& fields,
                                   const MAppDialogCheck& check)
    : GuiFieldDialog(parent, fields, check) {
    setWindowTitle(gui_utf8(gui_msg::ANALYSIS_TITLE));
    auto* form = new QFormLayout;
    auto* analysis = choice_list(this, {kTargets[0], kTargets[1], kTargets[2]});
    bind("analysis", analysis);
    form->addRow(gui_utf8(gui_msg::ANALYSIS_TARGET), analysis);
    finish(this, form, make_buttons());
    load_fields();
    analysis->setFocus();
}

GuiRenderDialog::GuiRenderDialog(QWidget* parent, MAppFields& fields, const MAppDialogCheck& check)
    : GuiFieldDialog(parent, fields, check) {
    setWindowTitle(gui_utf8(gui_msg::RENDER_TITLE));
    auto* form = new QFormLayout;
    auto* format = choice_list(this, {{"wav", gui_msg::RENDER_WAV},
                                      {"flac", gui_msg::RENDER_FLAC},
                                      {"ogg", gui_msg::RENDER_OGG}});
    bind("format", format);
    form->addRow(gui_utf8(gui_msg::FIELD_FORMAT), format);
    auto* stems = new QCheckBox(gui_utf8(gui_msg::RENDER_STEMS), this);
    bind("stems", stems);
    form->addRow(gui_utf8(gui_msg::RENDER_STEMS_ROW), stems);
    finish(this, form, make_buttons());
    load_fields();
    format->setFocus();
}
