// The window in either interface language: the window's part of the catalogue, the window's own
// texts shown in English, the settings dialog's language choice, Qt's own dialogs following the
// language and the picture of the settings dialog. The other window tests run in Japanese.
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>
#include <QTreeWidget>
#include <QtTest>
#include <cstring>
#include <set>
#include <string>

#include "GuiHarness.h"
#include "GuiViewSteps.h"
#include "app/MAppCommands.h"
#include "gui/GuiDialogs.h"
#include "gui/GuiEditorPane.h"
#include "gui/GuiStart.h"
#include "gui/GuiText.h"
#include "gui/GuiTexts.h"
#include "gui/GuiTransferDialogs.h"
#include "gui/views/GuiChordEditor.h"
#include "gui/views/GuiMapViews.h"
#include "gui/views/GuiMusicView.h"
#include "gui/views/GuiPropertyList.h"
#include "model/lang/KvLanguage.h"

namespace gui_language_test {

// Texts are shown in `language` while the scope lives, in Japanese again after it.
class LanguageScope {
public:
    explicit LanguageScope(kv_language language) { kv_set_language(language); }
    ~LanguageScope() { kv_set_language(kv_language::japanese); }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;
};

// True when `text` holds a character of the Japanese scripts or a full-width form.
bool has_japanese(const QString& text) {
    for (const QChar c : text) {
        const char16_t v = c.unicode();
        if ((v >= 0x3000 && v <= 0x30FF) || (v >= 0x4E00 && v <= 0x9FFF) ||
            (v >= 0xFF00 && v <= 0xFFEF))
            return true;
    }
    return false;
}

// The mnemonic markers of a label: each '&' that is neither "&&" (an ampersand shown) nor the
// start of an HTML entity such as "&nbsp;".
int mnemonic_count(const char* text) {
    int count = 0;
    for (const char* p = text; *p; ++p) {
        if (*p != '&') continue;
        if (p[1] == '&') {
            ++p;
        } else if (std::strncmp(p, "&nbsp;", 6) != 0) {
            ++count;
        }
    }
    return count;
}

// The shortcut column of a menu label: what follows the tab.
std::string shortcut_column(const char* text) {
    const char* tab = std::strchr(text, '\t');
    return tab ? std::string(tab + 1) : std::string();
}

// Every text the widgets under `root` show as titles, labels, items and headers.
QStringList shown_texts(QWidget* root) {
    QStringList out;
    for (auto* bar : root->findChildren<QToolBar*>())
        out << bar->windowTitle();
    for (auto* label : root->findChildren<QLabel*>())
        out << label->text();
    for (auto* menu : root->findChildren<QMenu*>())
        out << menu->title();
    for (auto* table : root->findChildren<QTableWidget*>()) {
        for (int c = 0; c < table->columnCount(); ++c)
            out << table->horizontalHeaderItem(c)->text();
    }
    return out;
}

// The widgets under `dialog` whose text is cut short: a label narrower than its text, a button
// narrower than its text and a little room, a check box or a list narrower than Qt asks for.
// Empty when every one shows its text whole.
QStringList clipped_texts(QWidget* dialog) {
    QStringList out;
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(dialog)) continue;
        QString text;
        int needed = 0;
        int room = w->contentsRect().width();
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->wordWrap()) {
            text = label->text();
            needed = label->fontMetrics().horizontalAdvance(QString(text).remove(QLatin1Char('&')));
        } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
            text = box->text();
            needed = box->sizeHint().width();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            text = button->text();
            needed =
                button->fontMetrics().horizontalAdvance(QString(text).remove(QLatin1Char('&'))) + 6;
        } else if (auto* list = qobject_cast<QComboBox*>(w)) {
            text = list->currentText();
            needed = list->minimumSizeHint().width();
            room = list->width();
        }
        if (!text.isEmpty() && room < needed)
            out << QStringLiteral("%1 (%2 < %3)").arg(text).arg(room).arg(needed);
    }
    return out;
}

// The texts of `list` that hold Japanese, for a failure's message.
QString japanese_among(const QStringList& list) {
    QStringList found;
    for (const QString& s : list) {
        if (has_japanese(s)) found << s;
    }
    return found.join(QStringLiteral(" | "));
}

}  // namespace gui_language_test

using namespace gui_language_test;

class GuiLanguageTest : public QObject {
    Q_OBJECT

    std::unique_ptr<GuiHarness> h;

    void start_on_demo(kv_language language) {
        h->copy_data();
        h->language = language;
        QVERIFY(h->start());
        QVERIFY(h->frame().room());
    }

private slots:
    void init() { h = std::make_unique<GuiHarness>(); }
    void cleanup() {
        h.reset();
        kv_set_language(kv_language::japanese);
    }

    void the_window_part_of_the_catalogue_is_sound();
    void filled_texts_keep_their_arguments_in_either_language();
    void the_english_window_shows_english_texts();
    void the_english_map_views_show_english_headers();
    void the_english_tool_bars_fit_a_1280_pixel_window();
    void settings_offer_each_language_by_its_own_name();
    void the_language_choice_writes_its_code_into_the_field();
    void english_dialogs_show_their_texts_whole();
    void qt_buttons_follow_the_language();
    void the_settings_dialog_is_pictured_over_the_window();
    void options_picture_a_dialog_in_a_language();
};

void GuiLanguageTest::the_window_part_of_the_catalogue_is_sound() {
    const std::vector<std::string> problems = kv_catalogue_problems(gui_text_entries());
    std::string all;
    for (const std::string& p : problems)
        all += p + "\n";
    QVERIFY2(problems.empty(), all.c_str());
    // One entry per identifier, in the enumeration's order, so that kv_text finds its own.
    QCOMPARE(std::string(gui_text_entries()[size_t(gui_msg::CANCEL)].key), std::string("CANCEL"));
    QCOMPARE(std::string(gui_text_entries()[size_t(gui_msg::CHORD_NO_KEYS)].key),
             std::string("CHORD_NO_KEYS"));
    for (const kv_entry& e : gui_text_entries()) {
        // A label keeps its mnemonic and its key in either language.
        QVERIFY2(mnemonic_count(e.ja) == mnemonic_count(e.en), e.key);
        QVERIFY2(mnemonic_count(e.en) <= 1, e.key);
        QVERIFY2(shortcut_column(e.ja) == shortcut_column(e.en), e.key);
        // No Japanese left in the English texts but the name Japanese has for itself.
        if (std::string_view(e.key) != "LANGUAGE_JAPANESE")
            QVERIFY2(!has_japanese(QString::fromUtf8(e.en)), e.key);
    }
}

void GuiLanguageTest::filled_texts_keep_their_arguments_in_either_language() {
    // An argument is shown as it is: its own "%s" and "%%" are not read as the format's.
    const QString odd = QStringLiteral("%s%%7");
    QCOMPARE(gui_fill(gui_msg::CHOICE_NOT_FOUND, {odd}), odd + u(" (見つかりません)"));
    {
        LanguageScope english(kv_language::english);
        QCOMPARE(gui_fill(gui_msg::CHOICE_NOT_FOUND, {odd}), odd + QStringLiteral(" (not found)"));
        // The arguments take the places in order; one missing leaves its place empty.
        const QString info =
            gui_fill(gui_msg::LINK_INFO, {QStringLiteral("0000002a"), QStringLiteral("Song")});
        QVERIFY2(info.startsWith(QStringLiteral("ID 0x0000002a")), qPrintable(info));
        QVERIFY2(info.indexOf(QStringLiteral("Song")) > info.indexOf(QStringLiteral("Name")),
                 qPrintable(info));
        QVERIFY2(!info.contains(QLatin1Char('%')), qPrintable(info));
        // "%%" in the catalogue is one "%" on the screen.
        const QString strength = gui_fill(gui_msg::STRENGTH_STATUS, {});
        QVERIFY2(strength.contains(QStringLiteral("100 % ")) && !strength.contains(u("%%")),
                 qPrintable(strength));
        // The refusal of a typed character names it and its code in English.
        const QString refusal = gui_cp932_refusal(u("a\U0001F3B5"));
        QVERIFY2(refusal.contains(u("\"\U0001F3B5\"")) && refusal.contains(u("U+1F3B5")),
                 qPrintable(refusal));
        QVERIFY2(!has_japanese(refusal), qPrintable(refusal));
    }
    const QString strength = gui_fill(gui_msg::STRENGTH_STATUS, {});
    QVERIFY2(strength.contains(u("100 % で格子の上、0 % で")), qPrintable(strength));
    QVERIFY2(gui_cp932_refusal(u("a\U0001F3B5")).startsWith(u("文字「\U0001F3B5」(U+1F3B5)")),
             qPrintable(gui_cp932_refusal(u("a\U0001F3B5"))));
}

void GuiLanguageTest::the_english_window_shows_english_texts() {
    start_on_demo(kv_language::english);
    GuiMainWindow& w = h->window();
    QStringList bars;
    for (auto* bar : w.findChildren<QToolBar*>())
        bars << bar->windowTitle();
    QVERIFY2(bars.contains(QStringLiteral("Library")) && bars.contains(QStringLiteral("Player")) &&
                 bars.contains(QStringLiteral("Link information")),
             qPrintable(bars.join(QLatin1Char(','))));
    auto* about = w.findChild<QLabel*>(QStringLiteral("kv_about_view"));
    QVERIFY(about);
    QVERIFY2(about->text().contains(QStringLiteral("Version")) && !has_japanese(about->text()),
             qPrintable(about->text()));
    auto* position = w.findChild<QWidget*>(QStringLiteral("kv_position"));
    QVERIFY(position);
    QCOMPARE(position->toolTip(), QStringLiteral("Play position [bar-beat-tick]"));

    // A music: the view's own menus, captions, note values and property headers.
    QVERIFY(gui_steps::open_leaf(*h, "はじまりの朝"));
    GuiMusicView* view = gui_steps::music_view(*h);
    QStringList menus;
    for (QMenu* m : view->menus())
        menus << m->title();
    QCOMPARE(menus, (QStringList{QStringLiteral("&Edit"), QStringLiteral("&View")}));
    QStringList captions;
    for (QToolBar* bar : {view->tool_bar(), view->show_bar()}) {
        for (auto* label : bar->findChildren<QLabel*>())
            captions << label->text();
    }
    QVERIFY2(
        captions.contains(QStringLiteral("Draw:")) && captions.contains(QStringLiteral("Show:")),
        qPrintable(captions.join(QLatin1Char(','))));
    auto* values = view->findChild<QComboBox*>(QStringLiteral("kv_note_value"));
    QVERIFY(values);
    QStringList value_names;
    for (int i = 0; i < values->count(); ++i)
        value_names << values->itemText(i);
    QVERIFY2(value_names.contains(QStringLiteral("Quarter note")) &&
                 value_names.contains(QStringLiteral("Eighth note, dotted")) &&
                 value_names.contains(QStringLiteral("16th note, triplet")),
             qPrintable(value_names.join(QLatin1Char(','))));
    QVERIFY2(japanese_among(value_names).isEmpty(), qPrintable(japanese_among(value_names)));
    QTableWidget* properties = view->properties();
    QCOMPARE(properties->horizontalHeaderItem(0)->text(), QStringLiteral("Property"));
    QCOMPARE(properties->horizontalHeaderItem(1)->text(), QStringLiteral("Value"));
}

void GuiLanguageTest::the_english_map_views_show_english_headers() {
    start_on_demo(kv_language::english);
    QVERIFY(gui_steps::open_leaf(*h, "ハ長調"));
    GuiChordMapView* chords = h->window().editor_pane()->chord_view();
    QVERIFY(chords->model());
    const QStringList chord_texts = shown_texts(chords);
    QVERIFY2(chord_texts.contains(QStringLiteral("&Chord Map")) &&
                 chord_texts.contains(QStringLiteral("No.")) &&
                 chord_texts.contains(QStringLiteral("Relative")) &&
                 chord_texts.contains(QStringLiteral("Scale")),
             qPrintable(chord_texts.join(QLatin1Char(','))));
    // The key-name button names the style in English, and follows a press.
    auto* style = chords->findChild<QToolButton*>(QStringLiteral("kv_key_name_button"));
    QVERIFY(style);
    const QString before = style->text();
    QTest::mouseClick(style, Qt::LeftButton);
    const std::set<QString> styles{QStringLiteral("Letters"), QStringLiteral("Major"),
                                   QStringLiteral("Minor")};
    QVERIFY2(styles.count(before) && styles.count(style->text()) && style->text() != before,
             qPrintable(before + QLatin1Char('>') + style->text()));

    QVERIFY(gui_steps::open_leaf(*h, "バンド"));
    GuiStageMapView* stage = h->window().editor_pane()->stage_view();
    QVERIFY(stage->model());
    const QStringList stage_texts = shown_texts(stage);
    QVERIFY2(stage_texts.contains(QStringLiteral("&Setup")) &&
                 stage_texts.contains(QStringLiteral("Player")) &&
                 stage_texts.contains(QStringLiteral("Instrument")) &&
                 stage_texts.contains(QStringLiteral("Bend range")),
             qPrintable(stage_texts.join(QLatin1Char(','))));
    // Every header of both views, the scale list's titles of the edit layer too, is English.
    QStringList headers;
    bool scale_list_seen = false;
    for (QTableWidget* t :
         chords->findChildren<QTableWidget*>() + stage->findChildren<QTableWidget*>()) {
        scale_list_seen |= t->objectName() == QLatin1String("kv_scale_list");
        for (int c = 0; c < t->columnCount(); ++c)
            headers << t->horizontalHeaderItem(c)->text();
    }
    QVERIFY(scale_list_seen);
    QVERIFY2(japanese_among(headers).isEmpty(), qPrintable(japanese_among(headers)));
}

void GuiLanguageTest::the_english_tool_bars_fit_a_1280_pixel_window() {
    start_on_demo(kv_language::english);
    QVERIFY(gui_steps::open_leaf(*h, "はじまりの朝"));
    h->window().resize(1280, 800);
    QTest::qWait(50);
    QCOMPARE(h->window().width(), 1280);
    GuiMusicView* view = gui_steps::music_view(*h);
    for (QToolBar* bar : {h->window().findChild<QToolBar*>(QStringLiteral("kv_room_bar")),
                          h->window().findChild<QToolBar*>(QStringLiteral("kv_player_bar")),
                          view->tool_bar(), view->show_bar()}) {
        QVERIFY(bar);
        for (QAction* a : bar->actions()) {
            if (a->isSeparator()) continue;
            QWidget* w = bar->widgetForAction(a);
            const QString what = bar->objectName() + QLatin1Char(' ') + a->text();
            QVERIFY2(w && w->isVisible() && bar->rect().contains(w->geometry()), qPrintable(what));
        }
        // Nothing waits behind the overflow arrow.
        for (QToolButton* b :
             bar->findChildren<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
            QVERIFY2(!b->isVisible(), qPrintable(bar->objectName()));
    }
    // The note-value list shows its longest English value whole.
    auto* values = view->findChild<QComboBox*>(QStringLiteral("kv_note_value"));
    QVERIFY(values);
    int widest = 0;
    for (int i = 0; i < values->count(); ++i)
        widest = std::max(widest, values->fontMetrics().horizontalAdvance(values->itemText(i)));
    QVERIFY2(values->width() > widest, qPrintable(QString::number(values->width())));
}

void GuiLanguageTest::settings_offer_each_language_by_its_own_name() {
    for (const kv_language language : {kv_language::english, kv_language::japanese}) {
        h.reset();
        h = std::make_unique<GuiHarness>();
        start_on_demo(language);
        QStringList names, codes;
        QString current, title;
        h->driver.dialog([&](GuiFieldDialog* d) {
            title = d->windowTitle();
            auto* list = qobject_cast<QComboBox*>(d->field_widget("language"));
            QVERIFY(list);
            for (int i = 0; i < list->count(); ++i) {
                names << list->itemText(i);
                codes << list->itemData(i).toString();
            }
            current = list->currentData().toString();
            QTest::keyClick(d, Qt::Key_Escape);
        });
        h->window().run_command(ID_TOOL_SETTINGS);
        QCOMPARE(names, (QStringList{u("日本語"), QStringLiteral("English")}));
        QCOMPARE(codes, (QStringList{QStringLiteral("ja"), QStringLiteral("en")}));
        // Without a stored choice the language shown is the one chosen.
        QCOMPARE(current,
                 language == kv_language::english ? QStringLiteral("en") : QStringLiteral("ja"));
        QCOMPARE(title, language == kv_language::english ? QStringLiteral("Settings") : u("設定"));
        QVERIFY(h->driver.faults.empty());
    }
}

void GuiLanguageTest::the_language_choice_writes_its_code_into_the_field() {
    LanguageScope english(kv_language::english);
    MAppFields fields;
    fields.set("language", CkvString("ja"));
    fields.set("m_PlayMode", CkvString("1"));
    std::vector<std::string> checked;
    const MAppDialogCheck check = [&checked](MAppFields& f) {
        checked.push_back(f.get("language").str());
        return MAppCheck{};
    };
    for (const auto& [key, code] : {std::pair{Qt::Key_Down, "en"}, std::pair{Qt::Key_Up, "ja"}}) {
        GuiSettingsDialog dialog(nullptr, fields, check, {"Synth"}, {}, {});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* list = qobject_cast<QComboBox*>(dialog.field_widget("language"));
        QVERIFY(list);
        // The stored choice is shown, the other one is a key press away.
        QCOMPARE(list->currentData().toString(),
                 QString::fromLatin1(key == Qt::Key_Down ? "ja" : "en"));
        list->setFocus();
        QTest::keyClick(list, key);
        QTest::keyClick(&dialog, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(fields.get("language").str(), std::string(code));
        QCOMPARE(checked.back(), std::string(code));
    }
}

void GuiLanguageTest::english_dialogs_show_their_texts_whole() {
    start_on_demo(kv_language::english);
    MAppFields fields;
    fields.set("books", CkvString("demo"));
    const MAppDialogCheck check = [](MAppFields&) { return MAppCheck{}; };
    QWidget* owner = &h->window();
    std::vector<std::pair<QString, std::unique_ptr<QDialog>>> dialogs;
    dialogs.emplace_back("create-library",
                         std::make_unique<GuiCreateRoomDialog>(owner, h->port, fields, check));
    dialogs.emplace_back("new-music-1",
                         std::make_unique<GuiNewMusicDialog>(owner, h->port, fields, check));
    MAppFields second = fields;
    second.set("page", CkvString("2"));
    dialogs.emplace_back("new-music-2",
                         std::make_unique<GuiNewMusicDialog>(owner, h->port, second, check));
    dialogs.emplace_back("settings", std::make_unique<GuiSettingsDialog>(
                                         owner, fields, check, std::vector<std::string>{"Synth"},
                                         std::vector<std::string>{}, std::vector<std::string>{}));
    dialogs.emplace_back("import", std::make_unique<GuiImportDialog>(owner, fields, check));
    dialogs.emplace_back("export", std::make_unique<GuiExportDialog>(owner, fields, check));
    dialogs.emplace_back("analysis", std::make_unique<GuiAnalyseDialog>(owner, fields, check));
    dialogs.emplace_back("render", std::make_unique<GuiRenderDialog>(owner, fields, check));
    dialogs.emplace_back("chord-editor",
                         std::make_unique<GuiChordEditor>(MseqBlockChord(), 0, owner));
    for (auto& [name, dialog] : dialogs) {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        gui_save_shot(dialog->grab().toImage(), QStringLiteral("en-dialog-") + name);
        const QStringList clipped = clipped_texts(dialog.get());
        QVERIFY2(clipped.isEmpty(), qPrintable(name + QStringLiteral(": ") + clipped.join(u", ")));
        QStringList texts = shown_texts(dialog.get());
        for (auto* b : dialog->findChildren<QAbstractButton*>())
            texts << b->text();
        texts << dialog->windowTitle();
        QVERIFY2(japanese_among(texts).isEmpty(),
                 qPrintable(name + QStringLiteral(": ") + japanese_among(texts)));
        dialog->hide();
    }
}

void GuiLanguageTest::qt_buttons_follow_the_language() {
    QCoreApplication& app = *QCoreApplication::instance();
    const auto cancel_text = [] {
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        return box.button(QMessageBox::Cancel)->text() + QLatin1Char('|') +
               box.button(QMessageBox::Yes)->text();
    };
    {
        LanguageScope english(kv_language::english);
        QVERIFY(!gui_install_qt_translations(app));
        QCOMPARE(QLocale().language(), QLocale::English);
        QVERIFY2(cancel_text().contains(QStringLiteral("Cancel")), qPrintable(cancel_text()));
    }
    QTranslator* japanese = gui_install_qt_translations(app);
    QVERIFY2(japanese, "qtbase_ja.qm not found: install qt6-translations-l10n");
    QCOMPARE(QLocale().language(), QLocale::Japanese);
    QVERIFY2(cancel_text().contains(u("キャンセル")) && cancel_text().contains(u("はい")),
             qPrintable(cancel_text()));
    // Installed again, the translation is not doubled; in English it is taken out.
    QVERIFY(gui_install_qt_translations(app));
    QCOMPARE(app.findChildren<QTranslator*>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
    {
        LanguageScope english(kv_language::english);
        QVERIFY(!gui_install_qt_translations(app));
        QVERIFY2(!has_japanese(cancel_text()), qPrintable(cancel_text()));
        QVERIFY(app.findChildren<QTranslator*>(QString(), Qt::FindDirectChildrenOnly).isEmpty());
    }
}

void GuiLanguageTest::the_settings_dialog_is_pictured_over_the_window() {
    h->copy_data();
    // The dialog in each language the command line asks for.
    std::vector<QImage> shots;
    for (const char* language : {"ja", "en"}) {
        const QString png =
            QString::fromStdString(h->host(std::string("settings-") + language + ".png"));
        QProcess gui;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        gui.setProcessEnvironment(env);
        gui.start(
            QStringLiteral(KV_GUI_PROGRAM),
            {QStringLiteral("--home"), QString::fromStdString(h->home), QStringLiteral("--lang"),
             QString::fromLatin1(language), QStringLiteral("--dialog"), QStringLiteral("settings"),
             QStringLiteral("--screenshot"), png, QStringLiteral("--size"),
             QStringLiteral("1200x800")});
        QVERIFY(gui.waitForFinished(60000));
        QVERIFY2(gui.exitCode() == 0, gui.readAllStandardError().constData());
        const QImage shot(png);
        QVERIFY(!shot.isNull());
        // The dialog, not the window it opened over.
        QVERIFY2(shot.width() < 1200 && shot.height() < 800,
                 qPrintable(QStringLiteral("%1x%2").arg(shot.width()).arg(shot.height())));
        QVERIFY(gui_picture_has_content(shot));
        gui_save_shot(shot, QStringLiteral("dialog-settings-") + QString::fromLatin1(language));
        shots.push_back(shot);
    }
    // The words differ, so the pictures do.
    QVERIFY(shots[0] != shots[1]);
}

void GuiLanguageTest::options_picture_a_dialog_in_a_language() {
    const GuiOptions plain = gui_parse_options({"--screenshot", "a.png"});
    QVERIFY(plain.error.empty());
    QVERIFY(plain.dialog.empty());
    QVERIFY(!plain.language);
    const GuiOptions english = gui_parse_options({"--lang", "en", "--dialog", "settings"});
    QVERIFY2(english.error.empty(), english.error.c_str());
    QCOMPARE(english.dialog, std::string("settings"));
    QVERIFY(english.language && *english.language == kv_language::english);
    const GuiOptions japanese = gui_parse_options({"--lang", "ja"});
    QVERIFY(japanese.language && *japanese.language == kv_language::japanese);
    // Only the languages and dialogs the program knows.
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--lang", "de"}, std::vector<std::string>{"--lang", "EN"},
          std::vector<std::string>{"--dialog", "about"}}) {
        const GuiOptions o = gui_parse_options(wrong);
        QVERIFY2(o.error.rfind(wrong[0] + " wants", 0) == 0, o.error.c_str());
    }
}

QTEST_MAIN(GuiLanguageTest)
#include "GuiLanguageTest.moc"
