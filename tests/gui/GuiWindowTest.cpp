// The main window driven as a user would: menus, tool bars, trees, the dialogs and the message
// boxes, on the offscreen platform. Pictures of the window and the dialogs are kept in the
// build's gui-shots folder for review.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTranslator>
#include <QTreeWidget>
#include <QtTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "GuiHarness.h"
#include "app/MAppCommands.h"
#include "app/MAppProblem.h"
#include "gui/GuiEditList.h"
#include "gui/GuiEditorPane.h"
#include "gui/GuiRoomTree.h"
#include "gui/GuiStart.h"
#include "gui/GuiText.h"
#include "gui/views/GuiMusicView.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqRoom.h"
#include "platform/FileSystem.h"
#include "platform/SynthPort.h"
#include "platform/TextCodec.h"

namespace {

const char kLibrary[] = "app/mymusic/library.kvnr";

// The items of the library tree by their text, in tree order.
QStringList tree_texts(QTreeWidget* tree) {
    QStringList out;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        out << (*it)->text(0);
    return out;
}

QTreeWidgetItem* tree_item(QTreeWidget* tree, const QString& text) {
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->text(0) == text) return *it;
    }
    return nullptr;
}

// A MIDI file of one track: a C major chord of a bar on channel 0, then the end of the track.
std::string one_chord_file() {
    std::string track;
    for (char key : {60, 64, 67})
        track += std::string{0, '\x90', key, 80};
    track += std::string{'\x8F', 0, '\x80', 60, 64};  // 1920 ticks later
    track += std::string{0, '\x80', 64, 64} + std::string{0, '\x80', 67, 64};
    track += std::string{0, '\xFF', 0x2F, 0};
    auto be32 = [](size_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 8), static_cast<char>(v)};
    };
    return "MThd" + be32(6) + std::string{0, 0, 0, 1, 1, '\xE0'} + "MTrk" + be32(track.size()) +
           track;
}

bool exists(const std::string& path) {
    return std::filesystem::exists(path);
}

}  // namespace

class GuiWindowTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<GuiHarness> h;

    // Starts on a copy of the program's data: the demo library opens as the last library.
    void start_on_demo() {
        h->copy_data();
        QVERIFY(h->start());
        QVERIFY(h->frame().room());
    }
    // Runs a menu entry of menu-bar menu `menu` by triggering its action.
    void trigger(int menu, uint32_t id) {
        QAction* a = h->window().menu_action(h->window().bar_menu(menu), id);
        QVERIFY2(a, qPrintable(QStringLiteral("no menu entry %1").arg(id)));
        QVERIFY2(a->isEnabled(), qPrintable(QStringLiteral("menu entry %1 disabled").arg(id)));
        a->trigger();
        // The command runs once the menu has closed.
        QTest::qWait(30);
    }
    void select(const char* name) {
        QTreeWidgetItem* item = tree_item(h->window().room_tree(), u(name));
        QVERIFY2(item, name);
        h->window().room_tree()->setCurrentItem(item);
    }
    // Renames the tree's item `name` in place as a person does: F2, the new text, Return.
    void rename_in_tree(const char* name, const QString& typed) {
        select(name);
        GuiRoomTree* tree = h->window().room_tree();
        QTest::keyClick(tree, Qt::Key_F2);
        auto* editor = tree->findChild<QLineEdit*>();
        QVERIFY(editor);
        QCOMPARE(editor->text(), u(name));
        editor->setText(typed);
        QTest::keyClick(editor, Qt::Key_Return);
    }
    void expect_no_faults() {
        std::string all;
        for (const std::string& f : h->driver.faults)
            all += f + "; ";
        QVERIFY2(h->driver.faults.empty(), all.c_str());
        QCOMPARE(h->driver.pending(), size_t(0));
    }

private slots:
    void init() { h = std::make_unique<GuiHarness>(); }
    void cleanup() { h.reset(); }

    void menus_show_every_entry_with_its_status_text_data();
    void menus_show_every_entry_with_its_status_text();
    void start_shows_the_demo_library_and_the_about_view();
    void open_through_the_menu_and_reopen_from_the_recent_list();
    void create_library_dialog_checks_and_creates();
    void new_music_dialog_creates_and_save_all_writes();
    void new_music_second_page_refuses_missing_files();
    void exit_question_cancel_keeps_the_window();
    void exit_stores_placement_and_restores_it();
    void message_boxes_have_their_icon_and_default_button_data();
    void message_boxes_have_their_icon_and_default_button();
    void delete_key_asks_and_no_keeps_the_link();
    void add_link_to_a_file_through_the_file_dialog();
    void rename_in_place_renames_the_link();
    void second_page_browse_refuses_an_existing_book();
    void missing_and_damaged_files_are_marked();
    void file_gone_while_listed_asks_before_creating();
    void recent_library_gone_warns();
    void settings_dialog_lists_devices_and_checks_values();
    void settings_keep_a_device_that_is_gone();
    void open_leaf_shows_tracks_and_title();
    void export_refuses_a_file_of_the_open_library();
    void import_midi_through_the_file_menu();
    void export_dialog_writes_the_chosen_format();
    void cancelled_render_leaves_no_file();
    void link_information_bar_follows_selection();
    void playing_moves_the_position_and_stop_returns();
    void second_start_raises_the_running_window();
    void a_lock_that_cannot_be_made_names_its_path_and_reason();
    void damaged_files_are_shown_with_their_place_field_and_hint();
    void a_damaged_autosave_setting_is_named_at_start();
    void typed_characters_cp932_cannot_hold_are_refused();
    void losing_focus_keeps_recovery_copies();
    void screenshots_of_dialogs();
    void launcher_and_screenshot_option();
    void options_are_read_or_refused_data();
    void options_are_read_or_refused();
    void leaves_are_found_by_name_or_path();
    void qt_dialogs_speak_japanese();
};

// ---- Menus ----

void GuiWindowTest::menus_show_every_entry_with_its_status_text_data() {
    QTest::addColumn<int>("menu");
    QTest::addColumn<uint>("id");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("status");
    auto row = [](const char* name, int menu, uint id, const char* label, const char* status) {
        QTest::newRow(name) << menu << id << u(label) << u(status);
    };
    row("create", 0, 40003, "新しいライブラリを作る(&N) ...",
        "新しいライブラリファイルを作成します。");
    row("open", 0, 40004, "ライブラリを開く(&O) ...\tCtrl+O", "ライブラリファイルを開きます。");
    row("close", 0, 40002, "ライブラリを閉じる(&C)", "現在開いているライブラリを閉じます。");
    row("save", 0, 40043, "保存(&S)\tCtrl+S", "現在表示しているファイルを保存します。[Ctrl]+[S]");
    row("save all", 0, 40044, "すべて保存\tCtrl+Shift+S",
        "編集したファイルを全て保存します。[Ctrl]+[Shift]+[S]");
    row("export", 0, 40105, "MIDI ファイルで保存(&M) ...",
        "MIDI (SMF) 形式でファイルを出力します。");
    row("import", 0, 40120, "MIDI ファイルの取り込み(&I) ...",
        "MIDI (SMF) ファイルを新しい曲としてミュージックブックに取り込みます。");
    row("analyse", 0, 40123, "和声の解析(&H) ...",
        "表示している曲の調とコードを求め、音符をコードに従う音符にします。(元に戻せます)");
    row("export as", 0, 40121, "書き出し(&E) ...",
        "MIDI (フォーマット 0／1) か MusicXML でファイルを出力します。");
    row("render", 0, 40122, "音声ファイルで保存(&A) ...",
        "WAV、FLAC、Ogg の音声ファイルを出力します。");
    row("exit", 0, 57665, "終了(&X)\tCtrl+Q", "");
    row("delete", 1, 40046, "リンクの削除\tDEL",
        "選択しているリンクを削除します。(ファイルは削除しません)");
    row("open link", 1, 40041, "リンクを開く", "選択しているリンクを開きます。");
    row("play link", 1, 40102, "リンクを再生/停止\tF6", "選択しているリンクを再生します。[F6]");
    row("rename", 1, 40045, "リンク名の変更\tF2", "選択しているリンクの名前を変更します。[F2]");
    row("link info", 1, 40051, "リンク情報の表示\tF4",
        "リンク情報画面の表示／非表示を切り替えます。[F4]");
    row("add file", 1, 40060, "ファイルへのリンクを追加", "");
    row("add music", 1, 40062, "新しい曲の作成 ...\tCtrl+N", "");
    row("add phrase", 1, 40082, "モノフォニックベース", "");
    row("add folder", 1, 40070, "フォルダの作成", "");
    row("close entry", 2, 40091, "閉じる\tDEL",
        "編集リストで選択しているリーフの編集を終了します。");
    row("rename entry", 2, 40092, "名前の変更\tF2",
        "編集リストで選択しているリーフの名前を変更します。");
    row("release", 3, 40052, "デバイス一時解放(&R)",
        "デバイスを解放します。再度、再生すればデバイスが有効になります。("
        "音を止める効果があります)");
    row("settings", 3, 40053, "設定(&S) ...", "このソフトウェアの設定をします。");
    row("manual", 3, 40054, "説明書(&H)\tF1", "このソフトウェアの説明書を表示します。[F1]");
    row("version", 3, 40055, "バージョン情報(&V)", "バージョン情報を表示します。");
    row("play", 3, 40101, "再生\tF5", "再生します。[F5] [Space]");
    row("play from cursor", 3, 40106, "カーソル位置から再生\tShift+F5",
        "編集カーソルの位置から再生します。[Shift]+[F5]");
    row("go to start", 3, 40107, "先頭へ\tCtrl+Home",
        "再生位置を曲の先頭に戻します。[Ctrl]+[Home]");
    row("go to end", 3, 40108, "末尾へ\tCtrl+End", "再生位置を曲の末尾に移します。[Ctrl]+[End]");
}

void GuiWindowTest::menus_show_every_entry_with_its_status_text() {
    QFETCH(int, menu);
    QFETCH(uint, id);
    QFETCH(QString, label);
    QFETCH(QString, status);
    start_on_demo();
    const QStringList bar = {u("ファイル(&F)"), u("ライブラリ(&R)"), u("編集リスト(&D)"),
                             u("ツール(&T)")};
    QCOMPARE(h->window().menu_count(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(h->window().bar_menu(i)->title(), bar[i]);
    QAction* a = h->window().menu_action(h->window().bar_menu(menu), id);
    QVERIFY(a);
    QCOMPARE(a->text(), label);
    QCOMPARE(a->statusTip(), status);
    // The enabled state is the application's.
    QCOMPARE(a->isEnabled(), h->frame().enabled(id));
}

void GuiWindowTest::start_shows_the_demo_library_and_the_about_view() {
    start_on_demo();
    GuiMainWindow& w = h->window();
    const QStringList items = tree_texts(w.room_tree());
    QVERIFY(items.contains(u("パターンブック_標準")));
    QVERIFY(items.contains(u("デモソング")));
    QVERIFY(items.contains(u("はじまりの朝")));
    QCOMPARE(w.windowTitle(), u("Korvante"));
    QCOMPARE(w.editor_pane()->currentWidget()->objectName(), QStringLiteral("kv_about_view"));
    // Nothing is modified: neither save is possible.
    QVERIFY(!w.tool_action(ID_FILE_SAVE)->isEnabled());
    QVERIFY(!w.tool_action(ID_FILE_SAVE_ALL)->isEnabled());
    QVERIFY(w.tool_action(ID_NEW_MUSIC_BUTTON)->isEnabled());
    QCOMPARE(w.position_label()->text(), QStringLiteral("[001-1-000]"));
    // The recent list holds the library just opened, after a separator.
    QAction* recent = w.menu_action(w.bar_menu(0), ID_ROOM_RECENT_FIRST);
    QVERIFY(recent);
    // The recent list shows the host path.
    QCOMPARE(recent->text(), u("1 - ") + QString::fromStdString(h->host(kLibrary)));
    QImage shot = w.grab().toImage();
    QVERIFY(gui_picture_has_content(shot, 20));
    gui_save_shot(shot, QStringLiteral("main-window"));
    expect_no_faults();
}

void GuiWindowTest::open_through_the_menu_and_reopen_from_the_recent_list() {
    start_on_demo();
    GuiMainWindow& w = h->window();
    trigger(0, ID_ROOM_CLOSE);
    QTRY_VERIFY(!h->frame().room());
    QCOMPARE(w.room_tree()->topLevelItemCount(), 0);

    h->driver.file(QString::fromStdString(h->host(kLibrary)));
    trigger(0, ID_ROOM_OPEN);
    QTRY_VERIFY(h->frame().room());
    QVERIFY(tree_texts(w.room_tree()).contains(u("デモソング")));

    // A second library, made through the dialog, moves the demo library to second place.
    h->driver.dialog([this](GuiFieldDialog* d) {
        d->set_value("parent", CkvString(kv_fs::from_host(h->root)));
        d->set_value("folder", CkvString("other"));
        QTest::keyClick(d, Qt::Key_Return);
    });
    trigger(0, ID_ROOM_CREATE);
    QTRY_COMPARE(gui_text(h->frame().room()->full_path), gui_text(h->win("other/library.kvnr")));
    QAction* second = w.menu_action(w.bar_menu(0), ID_ROOM_RECENT_FIRST + 1);
    QVERIFY(second);
    QCOMPARE(second->text(), u("2 - ") + QString::fromStdString(h->host(kLibrary)));

    // Reopening the demo library asks about the new, unsaved one first: No discards it.
    h->driver.box(QMessageBox::No);
    trigger(0, ID_ROOM_RECENT_FIRST + 1);
    QTRY_COMPARE(gui_text(h->frame().room()->full_path), gui_text(h->win(kLibrary)));
    QCOMPARE(w.menu_action(w.bar_menu(0), ID_ROOM_RECENT_FIRST)->text(),
             u("1 - ") + QString::fromStdString(h->host(kLibrary)));
    QCOMPARE(w.menu_action(w.bar_menu(0), ID_ROOM_RECENT_FIRST + 1)->text(),
             u("2 - ") + QString::fromStdString(h->host("other/library.kvnr")));
    QCOMPARE(h->driver.boxes.size(), size_t(1));
    QVERIFY(h->driver.boxes[0].text.startsWith(
        u("ライブラリを開く\n\nライブラリ／編集リストに保存されていないファイルがありますが、")));
    QCOMPARE(h->driver.boxes[0].default_button, QMessageBox::Cancel);
    QVERIFY(!exists(h->host("other/library.kvnr")));
    expect_no_faults();
}

// ---- Dialogs ----

void GuiWindowTest::create_library_dialog_checks_and_creates() {
    start_on_demo();
    QString focused, full;
    CkvString folder, file;
    h->driver.dialog([&](GuiFieldDialog* d) {
        folder = d->value("folder");
        file = d->value("file");
        d->set_value("parent", CkvString(kv_fs::from_host(h->root)));
        d->set_value("folder", CkvString("bad*name"));
        QTest::keyClick(d, Qt::Key_Return);
    });
    // After the warning the dialog is still open, with the folder name focused.
    h->driver.dialog([&](GuiFieldDialog* d) {
        if (QWidget* f = d->focusWidget()) focused = f->objectName();
        full = static_cast<QLineEdit*>(d->field_widget("full"))->text();
        d->set_value("folder", CkvString("fresh"));
        QTest::keyClick(d, Qt::Key_Return);
    });
    QVERIFY(h->window().run_command(ID_ROOM_CREATE));
    QCOMPARE(folder, CkvString("library"));
    QCOMPARE(file, CkvString("library.kvnr"));
    QCOMPARE(focused, QStringLiteral("folder"));
    QCOMPARE(full, gui_text(h->win("bad*name/library.kvnr")));
    QCOMPARE(h->driver.boxes.size(), size_t(1));
    QCOMPARE(h->driver.boxes[0].text, u("新しく作るフォルダ名に使えない文字が含まれています。"));
    QCOMPARE(h->driver.boxes[0].icon, QMessageBox::Warning);
    QCOMPARE(gui_text(h->frame().room()->full_path), gui_text(h->win("fresh/library.kvnr")));
    // The new library links the standard pattern book and waits for a save.
    QVERIFY(tree_texts(h->window().room_tree()).contains(u("パターンブック_標準")));
    QVERIFY(h->window().tool_action(ID_FILE_SAVE_ALL)->isEnabled());
    h->window().tool_action(ID_FILE_SAVE_ALL)->trigger();
    QVERIFY(exists(h->host("fresh/library.kvnr")));
    expect_no_faults();
}

void GuiWindowTest::new_music_dialog_creates_and_save_all_writes() {
    start_on_demo();
    CkvString page, folder;
    h->driver.dialog([&](GuiFieldDialog* d) {
        page = d->value("page");
        folder = d->value("folder");
        d->set_value("parent", CkvString(kv_fs::from_host(h->root)));
        d->set_value("folder", CkvString("song1"));
        QTest::keyClick(d, Qt::Key_Return);
    });
    QVERIFY(h->window().run_command(ID_NEW_MUSIC_BUTTON));
    QCOMPARE(page, CkvString("1"));
    QCOMPARE(folder, CkvString("music"));
    GuiMainWindow& w = h->window();
    // Music, stage map and chord map are open; the music is shown with its tracks.
    QCOMPARE(h->frame().edit_list().size(), size_t(3));
    QCOMPARE(w.editor_pane()->music_view()->isVisible(), true);
    QVERIFY(w.editor_pane()->track_list()->topLevelItemCount() > 0);
    QVERIFY(w.windowTitle().startsWith(u("ミュージック *")));
    QVERIFY(w.windowTitle().endsWith(u("] - Korvante")));
    QTreeWidgetItem* entry = w.edit_list()->item_at(0);
    QVERIFY(entry && entry->text(0).endsWith(QStringLiteral(" *")));
    QVERIFY(entry->font(0).bold());
    // The new book is selected in the library tree.
    QVERIFY(w.room_tree()->currentItem());
    QCOMPARE(GuiRoomTree::node_of(w.room_tree()->currentItem())->type, uint32_t(MTYPE_BOOK_MUSIC));
    gui_save_shot(w.grab().toImage(), QStringLiteral("main-window-new-music"));

    QVERIFY(!exists(h->host("song1/music.kvnl")));
    QAction* save_all = w.menu_action(w.bar_menu(0), ID_FILE_SAVE_ALL);
    QVERIFY(save_all && save_all->isEnabled());
    save_all->trigger();
    QTRY_VERIFY(exists(h->host("song1/music.kvnl")));
    for (const char* f : {"song1/music.kvnb", "song1/stage.kvnl", "song1/chord.kvnl"})
        QVERIFY2(exists(h->host(f)), f);
    QVERIFY(!w.windowTitle().contains(QStringLiteral(" *")));
    QVERIFY(!w.edit_list()->item_at(0)->text(0).endsWith(QStringLiteral(" *")));
    QVERIFY(!w.tool_action(ID_FILE_SAVE_ALL)->isEnabled());
    expect_no_faults();
}

void GuiWindowTest::new_music_second_page_refuses_missing_files() {
    start_on_demo();
    int page = 0;
    h->driver.dialog([&](GuiFieldDialog* d) {
        auto* dialog = static_cast<GuiNewMusicDialog*>(d);
        dialog->show_page(2);
        page = dialog->page();
        gui_save_shot(d->grab().toImage(), QStringLiteral("dialog-new-music-2"));
        QTest::keyClick(d, Qt::Key_Return);
    });
    h->driver.dialog([&](GuiFieldDialog* d) { QTest::keyClick(d, Qt::Key_Escape); });
    QVERIFY(h->window().run_command(ID_NEW_MUSIC_BUTTON));
    QCOMPARE(page, 2);
    QCOMPARE(h->driver.boxes.size(), size_t(1));
    QCOMPARE(h->driver.boxes[0].text,
             u("ミュージックブック／リーフは新しく作成する必要があります。"));
    QCOMPARE(h->frame().edit_list().size(), size_t(0));
    expect_no_faults();
}

void GuiWindowTest::exit_question_cancel_keeps_the_window() {
    start_on_demo();
    h->driver.dialog([&](GuiFieldDialog* d) {
        d->set_value("parent", CkvString(kv_fs::from_host(h->root)));
        d->set_value("folder", CkvString("song2"));
        QTest::keyClick(d, Qt::Key_Return);
    });
    QVERIFY(h->window().run_command(ID_NEW_MUSIC_BUTTON));
    h->driver.box(QMessageBox::Cancel);
    QVERIFY(!h->window().close());
    QVERIFY(h->window().isVisible());
    QCOMPARE(h->driver.boxes.size(), size_t(1));
    const ShownBox& box = h->driver.boxes[0];
    QVERIFY2(
        box.text.startsWith(
            u("アプリケーションの終了\n\nライブラリ／編集リストに保存されていないファイルがありま"
              "すが、\n全て保存しますか？\n\n「はい」の場合、全て保存します。\n「いいえ」の場合、"
              "全て保存しません。\n個別に保存する場合は「キャンセル」してから保存して下さい。\n\n"
              "保存されていないファイル :\n")),
        qPrintable(box.text));
    // The unsaved files are listed with their host paths.
    QVERIFY2(box.text.contains(QString::fromStdString(h->host("song2/music.kvnl"))),
             qPrintable(box.text));
    QCOMPARE(box.icon, QMessageBox::Question);
    QCOMPARE(box.default_button, QMessageBox::Cancel);
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    // Nothing was written, not even the configuration.
    QVERIFY(!exists(h->home + "/define/korvante.cfg"));
    QVERIFY(!exists(h->host("song2/music.kvnl")));

    // Exit through the menu, this time saying Yes: everything is written, then the window goes.
    h->driver.box(QMessageBox::Yes);
    trigger(0, ID_APP_EXIT);
    QTRY_VERIFY(!h->window().isVisible());
    QVERIFY(exists(h->host("song2/music.kvnl")));
    QVERIFY(exists(h->home + "/define/korvante.cfg"));
    expect_no_faults();
}

void GuiWindowTest::exit_stores_placement_and_restores_it() {
    start_on_demo();
    h->window().setGeometry(40, 50, 900, 600);
    h->window().findChild<QSplitter*>(QStringLiteral("kv_split_h"))->setSizes({300, 600});
    QVERIFY(h->window().close());
    const MseqConfig& c = mseq_config();
    QCOMPARE(c.m_FrmCmd, 1);
    QCOMPARE(c.m_FrmNrmX2 - c.m_FrmNrmX1, 900);
    QCOMPARE(c.m_FrmNrmY2 - c.m_FrmNrmY1, 600);
    QCOMPARE(c.m_SplitFrameH, 300);
    h->stop();

    // The next start reads them back.
    QVERIFY(h->start());
    QCOMPARE(mseq_config().m_SplitFrameH, 300);
    GuiMainWindow& w = h->window();
    w.restore_placement();
    QCOMPARE(w.findChild<QSplitter*>(QStringLiteral("kv_split_h"))->sizes().value(0), 300);
    expect_no_faults();
}

// ---- Message boxes ----

void GuiWindowTest::message_boxes_have_their_icon_and_default_button_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("default_button");
    QTest::newRow("warn") << 0 << int(QMessageBox::Warning) << int(QMessageBox::Ok)
                          << int(QMessageBox::Ok);
    QTest::newRow("inform") << 1 << int(QMessageBox::Information) << int(QMessageBox::Ok)
                            << int(QMessageBox::Ok);
    QTest::newRow("yes/no") << 2 << int(QMessageBox::Question)
                            << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::Yes);
    QTest::newRow("yes/no/cancel") << 3 << int(QMessageBox::Question)
                                   << int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)
                                   << int(QMessageBox::Cancel);
    QTest::newRow("editor's question, No preset")
        << 4 << int(QMessageBox::Question)
        << int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) << int(QMessageBox::No);
    QTest::newRow("editor's question, Yes preset")
        << 5 << int(QMessageBox::Question)
        << int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) << int(QMessageBox::Yes);
}

void GuiWindowTest::message_boxes_have_their_icon_and_default_button() {
    QFETCH(int, kind);
    QFETCH(int, icon);
    QFETCH(int, buttons);
    QFETCH(int, default_button);
    start_on_demo();
    const CkvString text(kv_codec::cp932_from_utf8("保存に失敗しました。\n\n1 ファイル"));
    bool yes = false;
    MAppAnswer answer = MAppAnswer::yes;
    // Unanswered, each box takes its default button.
    switch (kind) {
        case 0:
            h->port.warn(text);
            break;
        case 1:
            h->port.inform(text);
            break;
        case 2:
            yes = h->port.ask_yes_no(text);
            QVERIFY(yes);
            break;
        case 3:
            answer = h->port.ask_yes_no_cancel(text);
            QCOMPARE(answer, MAppAnswer::cancel);
            break;
        case 4:
            QCOMPARE(h->port.ask_yes_no_cancel(text, MedtAnswer::No), MedtAnswer::No);
            break;
        default:
            QCOMPARE(h->port.ask_yes_no_cancel(text, MedtAnswer::Yes), MedtAnswer::Yes);
            break;
    }
    QCOMPARE(h->driver.boxes.size(), size_t(1));
    const ShownBox& box = h->driver.boxes[0];
    QCOMPARE(box.text, u("保存に失敗しました。\n\n1 ファイル"));
    QCOMPARE(int(box.icon), icon);
    QCOMPARE(int(box.buttons), buttons);
    QCOMPARE(int(box.default_button), default_button);
    expect_no_faults();
}

void GuiWindowTest::delete_key_asks_and_no_keeps_the_link() {
    start_on_demo();
    select("パターン見本");
    MseqObject* node = h->frame().selected_node();
    QVERIFY(node);
    h->driver.box(QMessageBox::No);
    h->window().room_tree()->setFocus();
    QTest::keyClick(h->window().room_tree(), Qt::Key_Delete);
    QCOMPARE(h->driver.boxes.size(), size_t(1));
    QVERIFY(h->driver.boxes[0].text.startsWith(u(
        "リンクを削除します。よろしいですか？\n※ ファイルは削除しません。リンクだけ削除します。")));
    QCOMPARE(h->driver.boxes[0].default_button, QMessageBox::Yes);
    QVERIFY(tree_item(h->window().room_tree(), u("パターン見本")));

    // Yes removes the link from the tree and marks the book.
    h->driver.box(QMessageBox::Yes);
    QTest::keyClick(h->window().room_tree(), Qt::Key_Delete);
    QVERIFY(!tree_item(h->window().room_tree(), u("パターン見本")));
    QVERIFY(tree_item(h->window().room_tree(), u("デモソング *")));
    expect_no_faults();
}

void GuiWindowTest::add_link_to_a_file_through_the_file_dialog() {
    start_on_demo();
    // A chord map outside the library, linked into the demo book's map folder.
    std::filesystem::copy(h->home + "/mymusic/demo/chord_c.kvnl", h->host("extra.kvnl"));
    select("マップ");
    QString title;
    QStringList filters;
    h->driver.file(QString::fromStdString(h->host("extra.kvnl")));
    QTimer::singleShot(0, [&] {
        if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            title = d->windowTitle();
            filters = d->nameFilters();
        }
    });
    QVERIFY(h->window().run_command(ID_ADD_FILE_LINK));
    QCOMPARE(title, u("ファイルへのリンクを追加"));
    QCOMPARE(filters,
             QStringList({u("Korvante オブジェクト (*.kvnb *.kvnl)"), u("全てのファイル (*)")}));
    MseqObject* link = h->frame().selected_node();
    QVERIFY(link);
    QCOMPARE(link->type, uint32_t(MTYPE_LEAF_CHORD));
    QTreeWidgetItem* item = h->window().room_tree()->currentItem();
    QVERIFY(item);
    QCOMPARE(GuiRoomTree::node_of(item), link);
    QVERIFY(tree_item(h->window().room_tree(), u("デモソング *")));
    expect_no_faults();
}

void GuiWindowTest::rename_in_place_renames_the_link() {
    start_on_demo();
    select("パターン見本");
    MseqObject* node = h->frame().selected_node();
    GuiRoomTree* tree = h->window().room_tree();
    rename_in_tree("パターン見本", u("見本その2"));
    QTRY_COMPARE(gui_text(node->name), u("見本その2"));
    QVERIFY(tree_item(tree, u("見本その2")));
    QVERIFY(tree_item(tree, u("デモソング *")));

    // A name a file could not carry is refused and the old one stays.
    rename_in_tree("見本その2", u("a*b"));
    QTest::qWait(20);
    QCOMPARE(gui_text(node->name), u("見本その2"));
    QVERIFY(tree_item(tree, u("見本その2")));
    expect_no_faults();
}

void GuiWindowTest::second_page_browse_refuses_an_existing_book() {
    start_on_demo();
    QString book;
    h->driver.dialog([&](GuiFieldDialog* d) {
        static_cast<GuiNewMusicDialog*>(d)->show_page(2);
        // The browse button beside the book field.
        QWidget* field = d->field_widget("book");
        for (QPushButton* b : field->parentWidget()->findChildren<QPushButton*>())
            b->click();
        book = d->value("book").empty() ? QStringLiteral("empty") : QStringLiteral("set");
        QTest::keyClick(d, Qt::Key_Escape);
    });
    h->driver.file(QString::fromStdString(h->home + "/mymusic/demo/demo.kvnb"));
    QVERIFY(h->window().run_command(ID_NEW_MUSIC_BUTTON));
    QCOMPARE(book, QStringLiteral("empty"));
    QCOMPARE(h->driver.boxes.size(), size_t(1));
    QCOMPARE(h->driver.boxes[0].text,
             u("ミュージックブック／リーフは新しく作成する必要があります。"));
    expect_no_faults();
}

// ---- Bad files ----

void GuiWindowTest::missing_and_damaged_files_are_marked() {
    h->copy_data();
    std::ofstream(h->home + "/mymusic/demo/chord_c.kvnl", std::ios::trunc) << "not a korvante file";
    std::filesystem::remove(h->home + "/mymusic/demo/sampler.kvnl");
    QVERIFY(h->start());
    GuiRoomTree* tree = h->window().room_tree();
    int damaged = 0, missing = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        const int state = (*it)->data(0, GuiRoomTree::kStateRole).toInt();
        damaged += state == int(GuiFileState::damaged);
        missing += state == int(GuiFileState::missing);
    }
    QCOMPARE(damaged, 1);
    QCOMPARE(missing, 1);
    QVERIFY(tree_item(tree, u("パターン見本 (ファイルなし)")));
    // The picture shows the demo book with both marked files.
    tree_item(tree, u("パターンブック_標準"))->setExpanded(false);
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->data(0, GuiRoomTree::kStateRole).toInt() == int(GuiFileState::damaged)) {
            for (QTreeWidgetItem* up = (*it)->parent(); up; up = up->parent())
                up->setExpanded(true);
            tree->scrollToItem(*it);
        }
    }
    QImage shot = tree->grab().toImage();
    QVERIFY(gui_picture_has_content(shot, 12));
    gui_save_shot(shot, QStringLiteral("library-tree-damaged"));
    expect_no_faults();
}

void GuiWindowTest::file_gone_while_listed_asks_before_creating() {
    start_on_demo();
    std::filesystem::remove(h->home + "/mymusic/demo/song.kvnl");
    select("はじまりの朝");
    h->driver.box(QMessageBox::No);
    QVERIFY(h->window().run_command(ID_LINK_OPEN));
    QCOMPARE(h->driver.boxes.size(), size_t(1));
    QVERIFY(h->driver.boxes[0].text.endsWith(
        u("\n\nこのファイルは存在しません。\n新しく作成してもよろしいですか？")));
    QCOMPARE(h->frame().edit_list().size(), size_t(0));
    expect_no_faults();
}

void GuiWindowTest::recent_library_gone_warns() {
    start_on_demo();
    h->stop();
    std::filesystem::remove_all(h->home + "/mymusic");
    // The last library is gone: start-up opens an empty one in its place, so the recent entry
    // is still offered and warns.
    QVERIFY(h->start());
    mseq_config().m_RecentRooms.insert(mseq_config().m_RecentRooms.begin() + 1,
                                       CkvString(h->win("gone/library.kvnr")));
    h->window().refresh(MAppRefresh::menus, nullptr, nullptr);
    h->driver.box(QMessageBox::No);  // ask-to-save of the new empty library
    trigger(0, ID_ROOM_RECENT_FIRST + 1);
    QTRY_COMPARE(h->driver.boxes.size(), size_t(2));
    QCOMPARE(h->driver.boxes[1].text, u("ライブラリファイルが存在しません。\n\n") +
                                          gui_text(mapp_shown_path(h->win("gone/library.kvnr"))));
    QCOMPARE(h->driver.boxes[1].icon, QMessageBox::Warning);
    QVERIFY(h->window().isVisible());
    expect_no_faults();
}

// ---- Settings, editor pane, link information ----

void GuiWindowTest::settings_dialog_lists_devices_and_checks_values() {
    start_on_demo();
    QStringList devices;
    h->driver.dialog([&](GuiFieldDialog* d) {
        auto* list = static_cast<QComboBox*>(d->field_widget("m_DeviceID"));
        for (int i = 0; i < list->count(); ++i)
            devices << list->itemText(i);
        gui_save_shot(d->grab().toImage(), QStringLiteral("dialog-settings"));
        d->set_value("m_SeekInterval", CkvString("abc"));
        QTest::keyClick(d, Qt::Key_Return);
    });
    bool focused = false;
    h->driver.dialog([&](GuiFieldDialog* d) {
        focused = d->focusWidget() == d->field_widget("m_SeekInterval");
        d->set_value("m_SeekInterval", CkvString("50"));
        d->set_value("m_DeviceID", CkvString("0"));
        QTest::keyClick(d, Qt::Key_Return);
    });
    QVERIFY(h->window().run_command(ID_TOOL_SETTINGS));
    QVERIFY(devices.contains(QStringLiteral("Test Synth")));
    QCOMPARE(devices.size(), 3);  // none, the mapper, the one port
    QVERIFY(focused);
    QCOMPARE(h->driver.boxes.size(), size_t(1));
    QCOMPARE(h->driver.boxes[0].text, u("設定値が正しくありません。"));
    QCOMPARE(mseq_config().m_SeekInterval, 50);
    QCOMPARE(mseq_config().m_DeviceID, 0u);
    expect_no_faults();
}

void GuiWindowTest::settings_keep_a_device_that_is_gone() {
    start_on_demo();
    mseq_config().m_DeviceID = 7;
    QString shown;
    h->driver.dialog([&](GuiFieldDialog* d) {
        shown = static_cast<QComboBox*>(d->field_widget("m_DeviceID"))->currentText();
        QTest::keyClick(d, Qt::Key_Return);
    });
    QVERIFY(h->window().run_command(ID_TOOL_SETTINGS));
    QCOMPARE(shown, u("7 (見つかりません)"));
    QCOMPARE(mseq_config().m_DeviceID, 7u);
    expect_no_faults();
}

void GuiWindowTest::open_leaf_shows_tracks_and_title() {
    start_on_demo();
    MseqObject* song =
        gui_find_node(h->frame().room_node(), CkvString(kv_codec::cp932_from_utf8("はじまりの朝")));
    QVERIFY(song);
    select("はじまりの朝");
    QTreeWidgetItem* item = h->window().room_tree()->currentItem();
    emit h->window().room_tree()->itemActivated(item, 0);
    GuiMainWindow& w = h->window();
    QVERIFY(h->frame().shown_file());
    QCOMPARE(w.windowTitle(), gui_text(h->frame().title()));
    QVERIFY(w.windowTitle().startsWith(u("はじまりの朝 [")));
    QVERIFY(w.editor_pane()->track_list()->topLevelItemCount() > 0);
    QVERIFY(w.tool_action(ID_PLAY)->isEnabled());
    QVERIFY(w.tool_action(ID_EXPORT_MIDI)->isEnabled());
    // Version information goes back to the about view; the menus stay the application's four.
    QVERIFY(w.run_command(ID_TOOL_VERSION));
    QCOMPARE(w.editor_pane()->currentWidget()->objectName(), QStringLiteral("kv_about_view"));
    QCOMPARE(w.windowTitle(), u("Korvante"));
    QCOMPARE(w.menu_count(), 4);
    expect_no_faults();
}

void GuiWindowTest::export_refuses_a_file_of_the_open_library() {
    start_on_demo();
    select("はじまりの朝");
    QVERIFY(h->window().run_command(ID_LINK_OPEN));
    QVERIFY(h->frame().shown_file());
    auto bytes = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    for (const char* rest : {"mymusic/demo/song.kvnl", "mymusic/library.kvnr"}) {
        const std::string target = h->home + "/" + rest;
        const std::string before = bytes(target);
        const size_t shown = h->driver.boxes.size();
        h->driver.file(QString::fromStdString(target));
        h->driver.box(QMessageBox::Yes);  // the file dialog's own question: replace it
        QVERIFY(h->window().run_command(ID_EXPORT_MIDI));
        QCOMPARE(h->driver.boxes.size(), shown + 2);
        QCOMPARE(h->driver.boxes.back().text,
                 u("エクスポートできませんでした。\n\n※ "
                   "開いているライブラリのファイルです。上書きできません。\n\n") +
                     QString::fromStdString(target));
        QCOMPARE(h->driver.boxes.back().icon, QMessageBox::Warning);
        QVERIFY2(bytes(target) == before, rest);
    }
    // Beside the library the export writes its file.
    const std::string out = h->host("out.mid");
    h->driver.file(QString::fromStdString(out));
    QVERIFY(h->window().run_command(ID_EXPORT_MIDI));
    QCOMPARE(bytes(out).substr(0, 4), std::string("MThd"));
    expect_no_faults();
}

void GuiWindowTest::import_midi_through_the_file_menu() {
    start_on_demo();
    const std::string midi = h->host("chord.mid");
    std::ofstream(midi, std::ios::binary) << one_chord_file();
    QStringList books;
    h->driver.file(QString::fromStdString(midi));
    h->driver.dialog([&](GuiFieldDialog* d) {
        auto* list = qobject_cast<QComboBox*>(d->field_widget("book"));
        for (int i = 0; list && i < list->count(); ++i)
            books << list->itemText(i);
        QCOMPARE(d->value("name"), CkvString("chord"));
        // The name as typed, the analysis chosen with the keyboard: chord degrees come next.
        auto* name = qobject_cast<QLineEdit*>(d->field_widget("name"));
        name->selectAll();
        QTest::keyClicks(name, QStringLiteral("imported"));
        d->field_widget("analysis")->setFocus();
        QTest::keyClick(d->field_widget("analysis"), Qt::Key_Down);
        QCOMPARE(d->value("analysis"), CkvString("chord"));
        QTest::keyClick(d, Qt::Key_Return);
    });
    trigger(0, ID_IMPORT_MIDI);
    QTRY_VERIFY(!h->driver.boxes.empty());
    QCOMPARE(books, QStringList{u("デモソング")});
    QCOMPARE(h->driver.progress_dialogs, 1);
    const ShownBox& summary = h->driver.boxes.back();
    QCOMPARE(summary.icon, QMessageBox::Information);
    QVERIFY2(summary.text.startsWith(u("MIDI ファイルを取り込みました。\n\n") +
                                     QString::fromStdString(midi) +
                                     u("\n\nトラック : 3 (パート 1)\n音符 : 3\n丸めた音符 : 0")),
             qPrintable(summary.text));
    QVERIFY2(summary.text.contains(u("\nコード : 1\n")), qPrintable(summary.text));
    // The new music is selected in the tree and shown with its tracks.
    GuiMainWindow& w = h->window();
    QTRY_VERIFY(w.room_tree()->currentItem());
    QCOMPARE(w.room_tree()->currentItem()->text(0), QStringLiteral("imported"));
    QVERIFY(w.editor_pane()->music_view()->isVisible());
    QCOMPARE(gui_text(h->frame().shown_file()->full_path).endsWith(QStringLiteral("chord.kvnl")),
             true);
    QVERIFY(!h->window().findChild<QProgressDialog*>(QStringLiteral("kv_progress")));
    expect_no_faults();
}

void GuiWindowTest::export_dialog_writes_the_chosen_format() {
    start_on_demo();
    select("はじまりの朝");
    QVERIFY(h->window().run_command(ID_LINK_OPEN));
    const std::string out = h->host("parts.mid");
    h->driver.dialog([&](GuiFieldDialog* d) {
        QCOMPARE(d->value("format"), CkvString("0"));
        QVERIFY(d->field_widget("text")->isEnabled());
        d->set_value("format", CkvString("musicxml"));
        // A score has no choice of text encoding.
        QVERIFY(!d->field_widget("text")->isEnabled());
        d->set_value("format", CkvString("1"));
        d->set_value("text", CkvString("utf8"));
        QTest::keyClick(d, Qt::Key_Return);
    });
    h->driver.file(QString::fromStdString(out));
    trigger(0, ID_EXPORT_FILE);
    QTRY_VERIFY(exists(out));
    std::ifstream in(out, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    QCOMPARE(bytes.substr(0, 4), std::string("MThd"));
    QCOMPARE(bytes.substr(8, 2), std::string("\0\1", 2));
    QCOMPARE(h->window().statusBar()->currentMessage(),
             u("MIDI ファイルを書き出しました : ") + QString::fromStdString(out));
    expect_no_faults();
}

void GuiWindowTest::cancelled_render_leaves_no_file() {
    if (!kv_synth::synth_available() || kv_synth::find_soundfont().empty())
        QSKIP("no synthesizer or no GM sound font");
    start_on_demo();
    select("はじまりの朝");
    QVERIFY(h->window().run_command(ID_LINK_OPEN));
    const std::string folder = h->host("rendered");
    std::filesystem::create_directories(folder);
    h->driver.dialog([&](GuiFieldDialog* d) {
        d->set_value("format", CkvString("flac"));
        QTest::keyClick(d, Qt::Key_Return);
    });
    h->driver.file(QString::fromStdString(folder + "/song.flac"));
    bool had_cancel = false;
    h->driver.progress([&](QProgressDialog* p) {
        // The user presses Cancel while the render runs.
        for (QPushButton* b : p->findChildren<QPushButton*>()) {
            if (b->text() != u("キャンセル")) continue;
            had_cancel = true;
            QTest::mouseClick(b, Qt::LeftButton);
        }
    });
    trigger(0, ID_RENDER_AUDIO);
    QTRY_COMPARE(h->window().statusBar()->currentMessage(),
                 u("音声ファイルの書き出しを取り消しました。"));
    QVERIFY(had_cancel);
    QCOMPARE(h->driver.progress_dialogs, 1);
    QVERIFY(std::filesystem::is_empty(folder));
    QVERIFY(!h->window().findChild<QProgressDialog*>(QStringLiteral("kv_progress")));
    expect_no_faults();
}

void GuiWindowTest::link_information_bar_follows_selection() {
    start_on_demo();
    GuiMainWindow& w = h->window();
    QVERIFY(!w.link_bar()->isVisible());
    QTest::keyClick(&w, Qt::Key_F4);
    QVERIFY(w.link_bar()->isVisible());
    QVERIFY(w.tool_action(ID_LINK_INFO)->isChecked());
    select("デモソング");
    auto* info = w.findChild<QLabel*>(QStringLiteral("kv_link_info"));
    QVERIFY(info->text().contains(u("名前 デモソング")));
    QVERIFY(info->text().contains(u("種類 ")));
    // The status bar shows an entry's text while the pointer is on it.
    QAction* save_all = w.tool_action(ID_FILE_SAVE_ALL);
    save_all->showStatusText(&w);
    QCOMPARE(w.statusBar()->currentMessage(),
             u("編集したファイルを全て保存します。[Ctrl]+[Shift]+[S]"));
    expect_no_faults();
}

void GuiWindowTest::playing_moves_the_position_and_stop_returns() {
    start_on_demo();
    select("はじまりの朝");
    GuiMainWindow& w = h->window();
    QVERIFY(w.run_command(ID_LINK_OPEN));
    QVERIFY(!w.tool_action(ID_PAUSE)->isEnabled());
    QTest::keyClick(&w, Qt::Key_F5);
    QTRY_VERIFY(h->frame().playing());
    QVERIFY(w.tool_action(ID_PAUSE)->isEnabled());
    // The position follows the player while the window keeps taking events.
    QTRY_VERIFY_WITH_TIMEOUT(w.position_label()->text() != QStringLiteral("[001-1-000]"), 10000);
    QVERIFY(w.position_label()->text().startsWith(QStringLiteral("[001-")));
    QVERIFY(w.run_command(ID_STOP));
    QTRY_VERIFY(!h->frame().playing());
    // Stopping returns the play cursor to where playback started.
    QTRY_COMPARE(w.position_label()->text(), QStringLiteral("[001-1-000]"));
    QVERIFY(!h->midi.log().empty());
    expect_no_faults();
}

// ---- Single instance ----

void GuiWindowTest::second_start_raises_the_running_window() {
    start_on_demo();
    QWidget other;
    other.show();
    other.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &other);

    GuiUserPort second_port;
    MApp second;
    MAppServices s;
    s.port = &second_port;
    s.midi = &h->midi;
    s.synth = &h->synth;
    s.shell = &h->shell;
    s.home = h->home;
    QVERIFY(!second.start(s, CkvString(), h->run));
    QCOMPARE(h->driver.boxes.size(), size_t(1));
    QCOMPARE(h->driver.boxes[0].text,
             u("このソフトは既に起動しています。\n\nこのアプリケーションを複数起動させることは"
               "できません。"));
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&h->window()));
    expect_no_faults();
}

void GuiWindowTest::a_lock_that_cannot_be_made_names_its_path_and_reason() {
    h->copy_data();
    // The runtime folder is a file: no lock can be made below it, and nothing else runs.
    std::ofstream(h->root + "/runfile") << "x";
    h->run = h->root + "/runfile";
    QVERIFY(!h->start());
    QCOMPARE(h->driver.boxes.size(), size_t(1));
    const QString text = h->driver.boxes[0].text;
    QVERIFY2(!text.contains(u("既に起動")), qPrintable(text));
    QVERIFY2(text.contains(u("ファイル : ") + QString::fromStdString(h->run) + QStringLiteral("/") +
                           QString::fromLatin1(MFrame::kInstanceName) + QStringLiteral(".lock")),
             qPrintable(text));
    QVERIFY2(text.contains(u("理由 : Not a directory")), qPrintable(text));
    QCOMPARE(h->driver.boxes[0].icon, QMessageBox::Warning);
    expect_no_faults();
}

void GuiWindowTest::damaged_files_are_shown_with_their_place_field_and_hint() {
    h->copy_data();
    // The demo song's tempo written as a text, and the pattern book converted to UTF-8.
    const std::string song = h->home + "/mymusic/demo/song.kvnl";
    std::string bytes;
    {
        std::ifstream in(song, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const size_t tempo = bytes.find("\n 104; 0; {");
    QVERIFY(tempo != std::string::npos);
    bytes.replace(tempo, 5, "\n \"fast\"");
    std::ofstream(song, std::ios::binary | std::ios::trunc) << bytes;
    const std::string book = h->home + "/pattern_v01/pattern.kvnb";
    QCOMPARE(std::system(("iconv -f CP932 -t UTF-8 '" + book + "' > '" + book + ".u8' && mv '" +
                          book + ".u8' '" + book + "'")
                             .c_str()),
             0);
    QVERIFY(h->start());

    select("はじまりの朝");
    QVERIFY(h->window().run_command(ID_LINK_OPEN));
    QTRY_COMPARE(h->driver.boxes.size(), size_t(1));
    QString text = h->driver.boxes[0].text;
    QVERIFY2(text.contains(u("ファイル : ") + QString::fromStdString(song)), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("error 0x10052 (a field of the wrong kind, out of range "
                                          "or missing)")),
             qPrintable(text));

    // The book is marked and, opened, says what its bytes look like.
    QTreeWidgetItem* item = nullptr;
    for (QTreeWidgetItemIterator it(h->window().room_tree()); *it && !item; ++it) {
        if ((*it)->data(0, GuiRoomTree::kStateRole).toInt() == int(GuiFileState::damaged))
            item = *it;
    }
    QVERIFY(item);
    h->window().room_tree()->setCurrentItem(item);
    QVERIFY(h->window().run_command(ID_LINK_OPEN));
    QTRY_COMPARE(h->driver.boxes.size(), size_t(2));
    text = h->driver.boxes[1].text;
    QVERIFY2(text.contains(u("ファイル : ") + QString::fromStdString(book)), qPrintable(text));
    QVERIFY2(text.contains(
                 QStringLiteral("(hint: the file is UTF-8; Korvante files are CP932 (Shift-JIS))")),
             qPrintable(text));
    expect_no_faults();
}

void GuiWindowTest::a_damaged_autosave_setting_is_named_at_start() {
    h->copy_data();
    const std::string file = h->home + "/define/autosave.cfg";
    std::ofstream(file) << "autosave_seconds = soon\n";
    QVERIFY(h->start());
    QCOMPARE(h->driver.boxes.size(), size_t(1));
    const QString text = h->driver.boxes[0].text;
    QVERIFY2(text.contains(u("自動保存の設定ファイルを読めません。")), qPrintable(text));
    QVERIFY2(text.contains(u("ファイル : ") + QString::fromStdString(file)), qPrintable(text));
    QVERIFY2(text.contains(u("理由 : line 1: ")), qPrintable(text));
    QCOMPARE(h->frame().autosave_interval(), 60u);

    // The settings dialog offers the interval and keeps a new one in the file.
    h->driver.dialog([](GuiFieldDialog* d) {
        auto* edit = qobject_cast<QLineEdit*>(d->field_widget("autosave_seconds"));
        QVERIFY(edit);
        QCOMPARE(edit->text(), QStringLiteral("60"));
        edit->setText(QStringLiteral("20"));
        QTest::keyClick(d, Qt::Key_Return);
    });
    QVERIFY(h->window().run_command(ID_TOOL_SETTINGS));
    QTRY_COMPARE(h->driver.pending(), size_t(0));
    QCOMPARE(h->frame().autosave_interval(), 20u);
    std::ifstream in(file);
    const std::string kept((std::istreambuf_iterator<char>(in)), {});
    QVERIFY2(kept.find("autosave_seconds = 20\n") != std::string::npos, kept.c_str());
    expect_no_faults();
}

void GuiWindowTest::typed_characters_cp932_cannot_hold_are_refused() {
    start_on_demo();
    select("パターン見本");
    MseqObject* node = h->frame().selected_node();
    GuiRoomTree* tree = h->window().room_tree();
    rename_in_tree("パターン見本", u("見本é"));
    QTRY_COMPARE(h->driver.boxes.size(), size_t(1));
    QVERIFY2(h->driver.boxes[0].text.startsWith(u("文字「é」(U+00E9) は使えません。")),
             qPrintable(h->driver.boxes[0].text));
    QCOMPARE(h->driver.boxes[0].icon, QMessageBox::Warning);
    QCOMPARE(gui_text(node->name), u("パターン見本"));
    QVERIFY(tree_item(tree, u("パターン見本")));
    QVERIFY(!(h->frame().room()->flags & MEF_MODIFIED));

    // A dialog field is refused on OK and the dialog stays open on it until it can be kept.
    bool reopened = false;
    h->driver.dialog([&reopened](GuiFieldDialog* d) {
        auto* edit = qobject_cast<QLineEdit*>(d->field_widget("folder"));
        QVERIFY(edit);
        edit->setText(u("曲🎵"));
        QTest::keyClick(d, Qt::Key_Return);
        reopened = d->isVisible();
        QCOMPARE(d->focusWidget(), static_cast<QWidget*>(edit));
        QTest::keyClick(d, Qt::Key_Escape);
    });
    QVERIFY(h->window().run_command(ID_ROOM_CREATE));
    QTRY_COMPARE(h->driver.pending(), size_t(0));
    QVERIFY(reopened);
    QCOMPARE(h->driver.boxes.size(), size_t(2));
    QVERIFY2(h->driver.boxes[1].text.startsWith(u("文字「🎵」(U+1F3B5) は使えません。")),
             qPrintable(h->driver.boxes[1].text));
    expect_no_faults();
}

// ---- Recovery ----

void GuiWindowTest::losing_focus_keeps_recovery_copies() {
    h->recovery = h->root + "/state/recovery";
    start_on_demo();
    const auto copies = [this] {
        size_t n = 0;
        std::error_code ec;
        for (std::filesystem::directory_iterator it(h->recovery, ec), end; !ec && it != end;
             it.increment(ec))
            ++n;
        return n;
    };
    MseqDesk::instance().mark_modified(h->frame().room());
    QCOMPARE(copies(), size_t(0));
    // Another program's window takes the focus: the unsaved library is copied.
    QWidget other;
    other.show();
    other.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &other);
    QTRY_COMPARE(copies(), size_t(1));
    QCOMPARE(h->frame().autosave_runs(), 1u);
    // The end without a crash removes the copy.
    h->stop();
    QVERIFY(!std::filesystem::exists(h->recovery));
    expect_no_faults();
}

// ---- Pictures ----

void GuiWindowTest::screenshots_of_dialogs() {
    start_on_demo();
    QImage create, music;
    h->driver.dialog([&](GuiFieldDialog* d) {
        create = d->grab().toImage();
        QTest::keyClick(d, Qt::Key_Escape);
    });
    h->driver.dialog([&](GuiFieldDialog* d) {
        music = d->grab().toImage();
        QTest::keyClick(d, Qt::Key_Escape);
    });
    QVERIFY(h->window().run_command(ID_ROOM_CREATE));
    QVERIFY(h->window().run_command(ID_NEW_MUSIC_BUTTON));
    QVERIFY(gui_picture_has_content(create));
    QVERIFY(gui_picture_has_content(music));
    gui_save_shot(create, QStringLiteral("dialog-create-library"));
    gui_save_shot(music, QStringLiteral("dialog-new-music-1"));
    // Cancel left everything as it was.
    QCOMPARE(gui_text(h->frame().room()->full_path), gui_text(h->win(kLibrary)));
    QCOMPARE(h->frame().edit_list().size(), size_t(0));
    expect_no_faults();
}

void GuiWindowTest::launcher_and_screenshot_option() {
    h->copy_data();
    // The command-line program does not link the window toolkit.
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {QStringLiteral(KV_PROGRAM)});
    QVERIFY(ldd.waitForFinished(20000));
    QVERIFY(!QString::fromLocal8Bit(ldd.readAllStandardOutput()).contains(QStringLiteral("Qt6")));

    // `korvante gui` hands on to the window program, which paints off the screen and writes
    // the picture.
    const QString png = QString::fromStdString(h->host("shot.png"));
    QProcess gui;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    gui.setProcessEnvironment(env);
    gui.start(QStringLiteral(KV_PROGRAM),
              {QStringLiteral("gui"), QStringLiteral("--home"), QString::fromStdString(h->home),
               QStringLiteral("--open"), u("はじまりの朝"), QStringLiteral("--screenshot"), png,
               QStringLiteral("--size"), QStringLiteral("900x600")});
    QVERIFY(gui.waitForFinished(60000));
    QCOMPARE(gui.exitCode(), 0);
    QImage shot(png);
    QCOMPARE(shot.size(), QSize(900, 600));
    QVERIFY(gui_picture_has_content(shot, 20));
    // Without a display and without a picture to make, the window program says why it ends.
    QProcess plain;
    plain.setProcessEnvironment(env);
    plain.start(QStringLiteral(KV_GUI_PROGRAM),
                {QStringLiteral("--home"), QString::fromStdString(h->home)});
    QVERIFY(plain.waitForFinished(30000));
    QCOMPARE(plain.exitCode(), 1);
    QVERIFY(QString::fromLocal8Bit(plain.readAllStandardError())
                .contains(QStringLiteral("no display")));
}

void GuiWindowTest::options_are_read_or_refused_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("library");
    QTest::addColumn<QString>("size");  // "WxH", or the start of the error
    QTest::newRow("nothing") << QStringList() << QString() << QStringLiteral("0x0");
    QTest::newRow("library and picture")
        << QStringList{"lib/library.kvnr", "--screenshot", "a.png", "--size", "800x600"}
        << QStringLiteral("lib/library.kvnr") << QStringLiteral("800x600");
    QTest::newRow("opened at a bar")
        << QStringList{"--bar", "9", "--size", "800x600"} << QString() << QStringLiteral("800x600");
    QTest::newRow("bar zero") << QStringList{"--bar", "0"} << QString()
                              << QStringLiteral("--bar wants");
    QTest::newRow("bar not a number")
        << QStringList{"--bar", "9a"} << QString() << QStringLiteral("--bar wants");
    QTest::newRow("zoomed out") << QStringList{"--zoom", "-3", "--size", "800x600"} << QString()
                                << QStringLiteral("800x600");
    QTest::newRow("fitted") << QStringList{"--zoom", "fit"} << QString() << QStringLiteral("0x0");
    QTest::newRow("the view only") << QStringList{"--view-only", "--size", "1280x800"} << QString()
                                   << QStringLiteral("1280x800");
    QTest::newRow("zoom not a number")
        << QStringList{"--zoom", "x"} << QString() << QStringLiteral("--zoom wants");
    QTest::newRow("zoom too far") << QStringList{"--zoom", "21"} << QString()
                                  << QStringLiteral("--zoom wants");
    QTest::newRow("size too small")
        << QStringList{"--size", "100x600"} << QString() << QStringLiteral("--size wants");
    QTest::newRow("size without height")
        << QStringList{"--size", "800"} << QString() << QStringLiteral("--size wants");
    QTest::newRow("two libraries") << QStringList{"a.kvnr", "b.kvnr"} << QStringLiteral("a.kvnr")
                                   << QStringLiteral("only one library");
    QTest::newRow("unknown option")
        << QStringList{"--fast"} << QString() << QStringLiteral("unknown option --fast");
}

void GuiWindowTest::options_are_read_or_refused() {
    QFETCH(QStringList, args);
    QFETCH(QString, library);
    QFETCH(QString, size);
    std::vector<std::string> list;
    for (const QString& a : args)
        list.push_back(a.toStdString());
    const GuiOptions o = gui_parse_options(list);
    if (o.error.empty()) {
        QCOMPARE(QString::fromStdString(o.library), library);
        QCOMPARE(QStringLiteral("%1x%2").arg(o.width).arg(o.height), size);
        const int bar = args.indexOf(QStringLiteral("--bar"));
        QCOMPARE(o.bar, bar < 0 ? 0 : args[bar + 1].toInt());
        const int zoom = args.indexOf(QStringLiteral("--zoom"));
        const QString level = zoom < 0 ? QStringLiteral("0") : args[zoom + 1];
        QCOMPARE(o.zoom_fit, level == QStringLiteral("fit"));
        QCOMPARE(o.zoom, o.zoom_fit ? 0 : level.toInt());
        QCOMPARE(o.view_only, args.contains(QStringLiteral("--view-only")));
    } else {
        QVERIFY2(QString::fromStdString(o.error).startsWith(size), o.error.c_str());
    }
}

void GuiWindowTest::leaves_are_found_by_name_or_path() {
    start_on_demo();
    MseqObject* room = h->frame().room_node();
    auto find = [room](const char* utf8) {
        return gui_find_node(room, CkvString(kv_codec::cp932_from_utf8(utf8)));
    };
    MseqObject* by_name = find("はじまりの朝");
    QVERIFY(by_name);
    QCOMPARE(by_name->type, uint32_t(MTYPE_LEAF_MUSIC));
    QCOMPARE(find("デモソング/はじまりの朝"), by_name);
    QVERIFY(!find("デモソング/ない"));
    QVERIFY(!find("ない/はじまりの朝"));
    QVERIFY(!find(""));
}

void GuiWindowTest::qt_dialogs_speak_japanese() {
    // Qt's own buttons (a question's Yes and No, a dialog's Cancel) come from its translations.
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    const QString english = box.button(QMessageBox::Cancel)->text();
    QTranslator* translator = gui_install_qt_translations(*QCoreApplication::instance());
    QVERIFY2(translator, "qtbase_ja.qm not found: install qt6-translations-l10n");
    QMessageBox translated;
    translated.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    const QString cancel = translated.button(QMessageBox::Cancel)->text();
    const QString yes = translated.button(QMessageBox::Yes)->text();
    // The other tests find buttons by their English texts.
    QCoreApplication::removeTranslator(translator);
    delete translator;
    QVERIFY2(cancel != english, qPrintable(cancel));
    QVERIFY2(cancel.contains(u("キャンセル")), qPrintable(cancel));
    QVERIFY2(yes.contains(u("はい")), qPrintable(yes));
}

QTEST_MAIN(GuiWindowTest)
#include "GuiWindowTest.moc"
