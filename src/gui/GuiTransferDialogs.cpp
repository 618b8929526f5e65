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
    const char* label;  // UTF-8
};

QComboBox* choice_list(QWidget* parent, std::initializer_list<Choice> choices) {
    auto* list = new QComboBox(parent);
    for (const Choice& c : choices)
        list->addItem(gui_utf8(c.label), QString::fromLatin1(c.value));
    return list;
}

// What the analysis turns pure notes into, in the order of its preference.
const Choice kTargets[] = {{"chord", "コード度数に変換する"},
                           {"scale", "スケール度数に変換する"},
                           {"tone", "調の中の音名に変換する"}};

// The dialog's form above its OK/Cancel row.
void finish(GuiFieldDialog* dialog, QFormLayout* form, QWidget* buttons) {
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

}  // namespace

GuiImportDialog::GuiImportDialog(QWidget* parent, MAppFields& fields, const MAppDialogCheck& check)
    : GuiFieldDialog(parent, fields, check) {
    setWindowTitle(gui_utf8("MIDI ファイルの取り込み"));
    auto* form = new QFormLayout;
    auto* book = new QComboBox(this);
    const QStringList books = gui_text(fields.get("books")).split(QLatin1Char('\n'));
    for (int i = 0; i < books.size(); ++i)
        book->addItem(books[i], QString::number(i));
    bind("book", book);
    form->addRow(gui_utf8("ミュージックブック(&B)"), book);
    auto* name = new QLineEdit(this);
    bind("name", name);
    form->addRow(gui_utf8("曲の名前(&N)"), name);
    auto* analysis = choice_list(this, {{"none", "解析しない (音符はそのまま)"},
                                        {"chord", kTargets[0].label},
                                        {"scale", kTargets[1].label},
                                        {"tone", kTargets[2].label}});
    bind("analysis", analysis);
    form->addRow(gui_utf8("和声の解析(&A)"), analysis);
    finish(this, form, make_buttons());
    load_fields();
    name->setFocus();
    name->selectAll();
}

GuiExportDialog::GuiExportDialog(QWidget* parent, MAppFields& fields, const MAppDialogCheck& check)
    : GuiFieldDialog(parent, fields, check) {
    setWindowTitle(gui_utf8("書き出し"));
    auto* form = new QFormLayout;
    auto* format = choice_list(this, {{"0", "MIDI フォーマット 0 (1 トラック)"},
                                      {"1", "MIDI フォーマット 1 (パートごとのトラック)"},
                                      {"musicxml", "MusicXML (楽譜: .musicxml、圧縮 .mxl)"}});
    bind("format", format);
    form->addRow(gui_utf8("形式(&F)"), format);
    auto* text = choice_list(this, {{"cp932", "CP932 (曲のまま)"}, {"utf8", "UTF-8"}});
    bind("text", text);
    form->addRow(gui_utf8("MIDI の文字(&T)"), text);
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
    setWindowTitle(gui_utf8("和声の解析"));
    auto* form = new QFormLayout;
    auto* analysis = choice_list(this, {kTargets[0], kTargets[1], kTargets[2]});
    bind("analysis", analysis);
    form->addRow(gui_utf8("音符の変換(&A)"), analysis);
    finish(this, form, make_buttons());
    load_fields();
    analysis->setFocus();
}

GuiRenderDialog::GuiRenderDialog(QWidget* parent, MAppFields& fields, const MAppDialogCheck& check)
    : GuiFieldDialog(parent, fields, check) {
    setWindowTitle(gui_utf8("音声ファイルで保存"));
    auto* form = new QFormLayout;
    auto* format =
        choice_list(this, {{"wav", "WAV"}, {"flac", "FLAC (可逆圧縮)"}, {"ogg", "Ogg Vorbis"}});
    bind("format", format);
    form->addRow(gui_utf8("形式(&F)"), format);
    auto* stems = new QCheckBox(gui_utf8("パートごとのファイルもフォルダに書き出す"), this);
    bind("stems", stems);
    form->addRow(gui_utf8("パート(&S)"), stems);
    finish(this, form, make_buttons());
    load_fields();
    format->setFocus();
}
