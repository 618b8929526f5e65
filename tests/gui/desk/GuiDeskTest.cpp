// The window as a desktop program: the music view's tool bars fit a 1280-pixel window, every
// tool-bar command has an icon, band captions are drawn at the text size of the names, the
// library tree fits its names and keeps its width, and a phrase of the standard pattern book
// dragged onto a phrase track plays there and is undone with its link; the record toggles and
// the live take's strength, and the settings dialog's lists of the JACK ports of a server
// started while the window is open.
#include <QApplication>
#include <QComboBox>
#include <QMimeData>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <tuple>

#include "../../ExternalTools.h"
#include "../../tools/PrivateJackServer.h"
#include "../GuiHarness.h"
#include "../GuiViewSteps.h"
#include "app/MAppAudition.h"
#include "app/MAppCommands.h"
#include "app/MAppMidiInput.h"
#include "app/MAppTreeWidthSetting.h"
#include "app/MFramePlayback.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTimelineLayout.h"
#include "edit/MedtViewCommands.h"
#include "gui/GuiRoomTree.h"
#include "gui/views/GuiMusicView.h"
#include "gui/views/GuiTimeline.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackInherit.h"
#include "model/track/MseqTrackRefer.h"
#include "platform/FileSystem.h"
#include "play/OfflineNotes.h"
#include "play/engine/MplyEntity.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyOutput.h"
#include "play/engine/MplyPlayer.h"

namespace gui_desk_test {

using gui_steps::read_file;

// The note-ons a run of `music` sends on `channel` from `tick` on.
size_t notes_from(MseqMusic* music, int channel, int64_t tick) {
    size_t n = 0;
    for (const auto& [t, ch, key] : offline_notes::offline_note_ons(music))
        n += t >= tick && ch == channel ? 1 : 0;
    return n;
}

}  // namespace gui_desk_test

using namespace gui_desk_test;

class GuiDeskTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<GuiHarness> h;

    GuiMusicView* view() { return gui_steps::music_view(*h); }
    void open_song() { QVERIFY(gui_steps::open_leaf(*h, "はじまりの朝")); }
    std::vector<QToolBar*> bars() {
        return {h->window().findChild<QToolBar*>(QStringLiteral("kv_room_bar")),
                h->window().findChild<QToolBar*>(QStringLiteral("kv_player_bar")),
                view()->tool_bar(), view()->show_bar()};
    }
    MseqObject* book_of_song() {
        auto* music = view()->editor()->music();
        return music ? mseq_find_book_ancestor(music->owner) : nullptr;
    }
    // The first phrase the tree shows of a book other than the song's, whose file the song's book
    // does not link (the demo song uses some of the standard patterns already).
    MseqObject* standard_phrase() {
        MseqObject* own = book_of_song();
        for (QTreeWidgetItemIterator it(h->window().room_tree()); *it; ++it) {
            MseqObject* n = GuiRoomTree::node_of(*it);
            MseqFullPath full;
            if (n && n->type == MTYPE_LEAF_PHRASE && mseq_find_book_ancestor(n) != own &&
                mseq_path::resolve(n, false, &full) && links_to(own, full) == 0)
                return n;
        }
        return nullptr;
    }
    int links_to(MseqObject* book, const CkvString& file) {
        int n = 0;
        for (MseqObject* c = book->first_child(); c; c = c->next_in(book)) {
            MseqFullPath full;
            if (mseq_path::resolve(c, false, &full) && CkvString::compare_nocase(full, file) == 0)
                ++n;
        }
        return n;
    }

private slots:
    void init() {
        h = std::make_unique<GuiHarness>();
        h->copy_data();
        QVERIFY(h->start());
    }
    void cleanup() { h.reset(); }

    // A phrase of the standard pattern book the song's book does not link yet (the demo song
    // links every standard pattern): a copy of one of its files, added to that book.
    MseqObject* add_standard_phrase() {
        const std::string copy = h->host("app/pattern_v01/piano/piano_8beat_copy.kvnl");
        std::filesystem::copy_file(h->host("app/pattern_v01/piano/piano_8beat.kvnl"), copy);
        MseqObject* own = book_of_song();
        for (MseqObject* b = h->frame().room_node()->first_child(); b; b = b->next()) {
            auto* book =
                b != own && b->entity() ? b->entity()->cast_to<MseqBook>(MTYPE_BOOK) : nullptr;
            if (!book) continue;
            MseqObject* leaf =
                book->create_leaf(b, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE, CkvString("copy"),
                                  MseqDescPath(CkvString(kv_fs::from_host(copy))));
            h->window().refresh(MAppRefresh::room_tree, nullptr, nullptr);
            return leaf;
        }
        return nullptr;
    }

    void view_tool_bars_fit_a_1280_pixel_window();
    void tool_bar_commands_have_icons();
    void band_captions_are_drawn_at_the_text_size();
    void library_tree_fits_its_names_and_keeps_its_width();
    void a_standard_phrase_dropped_on_a_phrase_track_plays_and_is_undone_with_its_link();
    void record_toggles_exclude_each_other_and_wait_while_playing();
    void settings_list_the_jack_ports_of_a_server_started_later();
    void shift_f6_sounds_the_selected_phrase_at_the_edit_cursor();

private:
    // The texts of the settings dialog's list `name`, read while it is open.
    QStringList settings_list(const char* name);
    // The action of `id` in the menu bar's menus (refreshed), nullptr when none has it.
    QAction* bar_action(uint32_t id) {
        for (int i = 0; i < 4; ++i) {
            if (QAction* a = h->window().menu_action(h->window().bar_menu(i), id)) return a;
        }
        return nullptr;
    }
};

void GuiDeskTest::view_tool_bars_fit_a_1280_pixel_window() {
    open_song();
    h->window().resize(1280, 800);
    QTest::qWait(50);
    QCOMPARE(h->window().width(), 1280);
    for (QToolBar* bar : bars()) {
        QVERIFY(bar);
        int shown = 0;
        for (QAction* a : bar->actions()) {
            if (a->isSeparator()) continue;
            QWidget* w = bar->widgetForAction(a);
            const QString what = bar->objectName() + QLatin1Char(' ') + a->text();
            QVERIFY2(w && w->isVisible(), qPrintable(what));
            QVERIFY2(bar->rect().contains(w->geometry()), qPrintable(what));
            ++shown;
        }
        QVERIFY(shown > 0);
        // Nothing waits behind the overflow arrow.
        for (QToolButton* b :
             bar->findChildren<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
            QVERIFY2(!b->isVisible(), qPrintable(bar->objectName()));
    }
    // Typed entry and the audition switch are among them.
    QVERIFY(view()->value_selector()->isVisible());
    QVERIFY(view()->tool_bar()->widgetForAction(view()->tool_bar()->actions().first()));
    QAction* audition = h->window().tool_action(ID_AUDITION);
    QVERIFY(audition && audition->text() == u("試聴"));
    // The short names keep the full name in their tips.
    for (QAction* a : view()->show_bar()->actions()) {
        if (a->data().toInt() == MVC_SHOW_ANCHOR) QCOMPARE(a->toolTip(), u("アンカーを表示"));
    }
}

void GuiDeskTest::tool_bar_commands_have_icons() {
    open_song();
    for (QToolBar* bar : {bars()[0], bars()[1]}) {
        for (QAction* a : bar->actions()) {
            if (a->isSeparator() || !a->data().isValid()) continue;  // the position display
            QVERIFY2(!a->icon().isNull(), qPrintable(a->text()));
        }
    }
    // The view's edit commands and the typing switch are buttons with icons (the note kinds and
    // display switches are words).
    int icons = 0;
    for (QAction* a : view()->tool_bar()->actions()) {
        const int id = a->data().toInt();
        if ((id >= MVC_CUT && id <= MVC_REDO) || id == MVC_TYPE_NOTES) {
            QVERIFY2(!a->icon().isNull(), qPrintable(a->toolTip()));
            ++icons;
        }
    }
    QCOMPARE(icons, 9);
    for (int id : {MVC_ZOOM_IN, MVC_ZOOM_OUT, MVC_ZOOM_FIT})
        QVERIFY(!view()->action(id)->icon().isNull());
}

void GuiDeskTest::band_captions_are_drawn_at_the_text_size() {
    open_song();
    GuiTimeline* tl = view()->timeline();
    // A small band holds a line of the timeline's text.
    QVERIFY(QFontMetrics(tl->font()).height() <= MedtTimelineLayout::kBandSmall + 2);
    // The pitch band of a note track carries its caption: text pixels at the right of the track
    // list, inside the band.
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* note = nullptr;
    for (MedtTrack* t = ed->root(); t && !note; t = t->next_in(ed->root())) {
        if (t->node() && t->node()->type == MTYPE_TRACK_NOTE && t->shown()) note = t;
    }
    QVERIFY(note);
    ed->set_cursor(note, 0, 0);
    tl->scroll_to_cursor();
    const GuiRow* r = tl->row_of(note);
    QVERIFY(r && r->band(GuiBand::Main));
    const QImage image = tl->viewport()->grab().toImage();
    const int top = GuiTimeline::kRulerHeight + r->top - tl->verticalScrollBar()->value() +
                    r->band(GuiBand::Main)->top;
    const QFontMetrics fm(tl->font());
    const int caption_w = fm.horizontalAdvance(u("音高"));
    const QRect caption(GuiTimeline::kNameWidth - 6 - caption_w, top, caption_w,
                        r->band(GuiBand::Main)->height);
    int lit = 0;
    int rows_lit_low = caption.bottom(), rows_lit_high = caption.top();
    for (int y = caption.top(); y <= caption.bottom(); ++y) {
        for (int x = caption.left(); x <= caption.right(); ++x) {
            if (qGray(image.pixel(x * image.width() / tl->viewport()->width(),
                                  y * image.height() / tl->viewport()->height())) > 100) {
                ++lit;
                rows_lit_low = std::min(rows_lit_low, y);
                rows_lit_high = std::max(rows_lit_high, y);
            }
        }
    }
    QVERIFY2(lit > 10, qPrintable(QString::number(lit)));
    // As tall as the names' text, not the three-quarter size of before.
    QVERIFY2(rows_lit_high - rows_lit_low + 1 >= fm.ascent() * 3 / 4,
             qPrintable(QStringLiteral("%1..%2").arg(rows_lit_low).arg(rows_lit_high)));
    gui_save_shot(image, QStringLiteral("desk-band-captions"));
}

void GuiDeskTest::library_tree_fits_its_names_and_keeps_its_width() {
    auto* split = h->window().findChild<QSplitter*>(QStringLiteral("kv_split_h"));
    GuiRoomTree* tree = h->window().room_tree();
    h->window().resize(1280, 800);
    h->window().restore_placement();
    // Without a stored width: the widest visible name fits, within the bounds.
    const std::string file = h->host("app/define/tree-width.cfg");
    QVERIFY(!std::filesystem::exists(file));
    const int fitted = split->sizes().value(0);
    QVERIFY(fitted >= kTreeWidthMin && fitted <= kTreeWidthMax);
    QVERIFY2(fitted >= tree->names_width(), qPrintable(QString::number(fitted)));
    // Every shown name is whole: no item ends past the tree's viewport.
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        const QRect r = tree->visualItemRect(*it);
        if (!r.isEmpty())
            QVERIFY2(r.right() < tree->viewport()->width(), qPrintable((*it)->text(0)));
    }
    // The width the user leaves is read back at the next start.
    split->setSizes({333, 1280 - 333});
    QVERIFY(h->window().close());
    QCOMPARE(QString::fromStdString(read_file(file)),
             QString::fromStdString(mapp_tree_width_setting_text(333)));
    h->stop();
    QVERIFY(h->start());
    h->window().restore_placement();
    QCOMPARE(h->window().findChild<QSplitter*>(QStringLiteral("kv_split_h"))->sizes().value(0),
             333);
}

void GuiDeskTest::a_standard_phrase_dropped_on_a_phrase_track_plays_and_is_undone_with_its_link() {
    open_song();
    MedtMusicInvoker* ed = view()->editor();
    MseqMusic* music = ed->music();
    MseqObject* own_book = book_of_song();
    QVERIFY(own_book);
    auto* book = own_book->entity()->cast_to<MseqBook>(MTYPE_BOOK);
    const std::string book_file = kv_fs::to_host(book->full_path.str());
    const std::string book_bytes = read_file(book_file);
    QVERIFY(!book_bytes.empty());
    QVERIFY(add_standard_phrase());
    MseqObject* phrase = standard_phrase();
    QVERIFY(phrase);
    MseqFullPath file;
    QVERIFY(mseq_path::resolve(phrase, false, &file));
    QCOMPARE(links_to(own_book, file), 0);
    // The phrase track and a free position after its blocks.
    MedtTrack* track = nullptr;
    for (MedtTrack* t = ed->root(); t && !track; t = t->next_in(ed->root())) {
        if (t->node() && t->node()->type == MTYPE_TRACK_REFER && t->shown()) track = t;
    }
    QVERIFY(track);
    auto* refer = track->stored()->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER);
    int32_t pos = 0;
    if (!refer->blocks().empty()) {
        const auto last = std::prev(refer->blocks().end());
        pos = last->first + last->second.m_Length + 2;
    }
    const int channel = mseq_effective_channel(refer);
    const int64_t tick = int64_t{pos} * (MseqTrack::kTicksPerBar / refer->m_Beat);
    const size_t before = notes_from(music, channel, tick);

    // The drag: the tree's own drag data of its current item, over the track's blocks.
    GuiRoomTree* tree = h->window().room_tree();
    QTreeWidgetItem* item = tree->item_of(phrase);
    QVERIFY(item);
    tree->setCurrentItem(item);
    tree->setFocus();  // where a drag from the tree leaves it
    QCOMPARE(h->frame().selected_node(), phrase);
    std::unique_ptr<QMimeData> mime(tree->model()->mimeData({tree->currentIndex()}));
    QVERIFY(mime);
    GuiTimeline* tl = view()->timeline();
    ed->set_cursor(track, pos, pos);
    tl->scroll_to_cursor();
    const QPoint at = tl->point_at(track, pos, GuiBand::Main);
    const Qt::DropActions actions = Qt::CopyAction;
    QDragEnterEvent enter(at, actions, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tl->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDragMoveEvent move(at, actions, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tl->viewport(), &move);
    QVERIFY(move.isAccepted());
    QDropEvent drop(QPointF(at), actions, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tl->viewport(), &drop);
    QVERIFY(drop.isAccepted());

    // Placed, linked into the song's book (the tree shows the link) and heard in a run.
    const MseqBlockRefer* placed = refer->block_at(pos);
    QVERIFY(placed);
    MseqObject* link = music->find(placed->m_PhraseID);
    QVERIFY(link && link->parent() == own_book);
    QCOMPARE(links_to(own_book, file), 1);
    QVERIFY(tree->item_of(link));
    QVERIFY(notes_from(music, channel, tick) > before);
    QCOMPARE(h->driver.boxes.size(), size_t(0));  // no question about the linked path

    // The focus followed the drop, so one Ctrl+Z takes back the block and the link.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(tl));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(!refer->block_at(pos));
    QCOMPARE(links_to(own_book, file), 0);
    QCOMPARE(notes_from(music, channel, tick), before);
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        QVERIFY(GuiRoomTree::node_of(*it) != nullptr);
    // Saved: the book's bytes are the original ones.
    QVERIFY(h->window().run_command(ID_FILE_SAVE_ALL));
    QCOMPARE(read_file(book_file), book_bytes);

    // Over any other track the drag is refused, and the status bar says why.
    tree->setCurrentItem(tree->item_of(phrase));
    std::unique_ptr<QMimeData> again(tree->model()->mimeData({tree->currentIndex()}));
    QCOMPARE(GuiRoomTree::node_of_drag(again.get()), phrase);
    MedtTrack* note = nullptr;
    for (MedtTrack* t = ed->root(); t && !note; t = t->next_in(ed->root())) {
        if (t->node() && t->node()->type == MTYPE_TRACK_NOTE && t->shown()) note = t;
    }
    QVERIFY(note);
    ed->set_cursor(note, 0, 0);
    tl->scroll_to_cursor();
    const QPoint off = tl->point_at(note, 0, GuiBand::Main);
    QVERIFY(off.x() >= GuiTimeline::kNameWidth);
    QDragEnterEvent enter_note(off, actions, again.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tl->viewport(), &enter_note);
    QDragMoveEvent refused(off, actions, again.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tl->viewport(), &refused);
    QVERIFY(!refused.isAccepted());
    QVERIFY2(h->window().statusBar()->currentMessage().contains(u("フレーズトラック")),
             qPrintable(h->window().statusBar()->currentMessage()));
    QCOMPARE(links_to(own_book, file), 0);
    QCOMPARE(h->driver.faults, std::vector<std::string>());
}

// Step and live record from the tool bar and the menu: each shows its state in both, turning one
// on turns the other off (the input has one mode), and while a run plays (the music locked)
// step entry cannot be switched and a key played enters nothing. The spin box beside them sets
// the strength the next take is quantised with.
void GuiDeskTest::record_toggles_exclude_each_other_and_wait_while_playing() {
    open_song();
    GuiMainWindow& w = h->window();
    MedtMusicInvoker* ed = view()->editor();
    QVERIFY(ed);
    MedtTrack* melody = gui_steps::find_track(*h, "メロディ");
    QVERIFY(melody);
    const int32_t start = 6 * melody->beats();
    QVERIFY(ed->set_cursor(melody, start, start));
    MAppMidiInput& input = h->frame().midi_input();
    QAction* step = w.tool_action(ID_STEP_RECORD);
    QAction* live = w.tool_action(ID_LIVE_RECORD);
    QVERIFY(step && live && step->isCheckable() && live->isCheckable());

    step->trigger();
    QCOMPARE(input.mode(), MAppRecordMode::step);
    QTRY_VERIFY(step->isChecked());
    QVERIFY(bar_action(ID_STEP_RECORD) && bar_action(ID_STEP_RECORD)->isChecked());
    // A key played enters a note at the cursor, which advances.
    input.take({0, 0x90, 62, 100});
    input.take({0, 0x80, 62, 0});
    QCOMPARE(input.last_result(), MedtEntryResult::entered);
    QVERIFY(ed->cursor() > start);

    // Live record turns step entry off and starts its run (the count-in bar first).
    live->trigger();
    QCOMPARE(input.mode(), MAppRecordMode::live);
    QTRY_VERIFY(live->isChecked());
    QVERIFY(!step->isChecked());
    QTRY_VERIFY(h->frame().playing());
    // While it plays the music is locked: step entry is not offered and refuses.
    QTRY_VERIFY(!step->isEnabled());
    QVERIFY(!bar_action(ID_STEP_RECORD)->isEnabled());
    QVERIFY(!w.run_command(ID_STEP_RECORD));
    QCOMPARE(input.mode(), MAppRecordMode::live);
    // Live record again stops the run; its end enters the take and the mode goes off.
    live->trigger();
    QTRY_VERIFY(!h->frame().playing());
    QTRY_COMPARE(input.mode(), MAppRecordMode::off);
    QTRY_VERIFY(!live->isChecked());
    QVERIFY(step->isEnabled());

    // Step entry switched on before a plain run: the keys of that run enter nothing.
    step->trigger();
    QCOMPARE(input.mode(), MAppRecordMode::step);
    const int32_t before = ed->cursor();
    QVERIFY(w.run_command(ID_PLAY));
    QTRY_VERIFY(h->frame().playing());
    input.take({0, 0x90, 64, 100});
    input.take({0, 0x80, 64, 0});
    QCOMPARE(input.last_result(), MedtEntryResult::read_only);
    QCOMPARE(ed->cursor(), before);
    QVERIFY(w.run_command(ID_STOP));
    QTRY_VERIFY(!h->frame().playing());
    QTRY_VERIFY(step->isEnabled());
    step->trigger();
    QCOMPARE(input.mode(), MAppRecordMode::off);
    QTRY_VERIFY(!step->isChecked());

    // The strength, typed into its box as a user does.
    QSpinBox* strength = w.record_strength();
    QVERIFY(strength);
    QCOMPARE(strength->value(), input.strength());
    strength->setFocus();
    strength->selectAll();
    QTest::keyClicks(strength, QStringLiteral("40"));
    QTest::keyClick(strength, Qt::Key_Return);
    QCOMPARE(input.strength(), 40);
    QCOMPARE(h->driver.faults, std::vector<std::string>());
}

QStringList GuiDeskTest::settings_list(const char* name) {
    QStringList items;
    h->driver.dialog([&](GuiFieldDialog* d) {
        if (auto* box = qobject_cast<QComboBox*>(d->field_widget(name))) {
            for (int i = 0; i < box->count(); ++i)
                items << box->itemText(i);
        }
        QTest::keyClick(d, Qt::Key_Escape);
    });
    h->window().run_command(ID_TOOL_SETTINGS);
    return items;
}

// The settings dialog lists the JACK output and input ports of the server there when it opens:
// none before a server runs, the recorder's input among the outputs and the sequencer's output
// among the inputs once one was started while the window stayed open.
void GuiDeskTest::settings_list_the_jack_ports_of_a_server_started_later() {
    if (!kv_test::have_program("jack_midi_dump") || !kv_test::have_program("jack_midiseq"))
        QSKIP("jack_midi_dump and jack_midiseq come with jackd2 (tools/setup.sh)");
    // The window over the system's MIDI output and input, not the recorders.
    h.reset();
    h = std::make_unique<GuiHarness>();
    h->system_midi = true;
    h->copy_data();
    kv_test::private_jack_server server("korvante-gui-test");
    ::setenv("JACK_DEFAULT_SERVER", server.name().c_str(), 1);
    QVERIFY(h->start());
    QVERIFY(!settings_list("m_DeviceID").join('|').contains(QStringLiteral("JACK")));
    QVERIFY(!settings_list("midi_input").join('|').contains(QStringLiteral("JACK")));

    std::string why;
    QVERIFY2(server.start(&why), why.c_str());
    pid_t dump = kv_test::spawn_program({"jack_midi_dump", "-a", "kvdump"});
    pid_t seq = kv_test::spawn_program({"jack_midiseq", "kvseq", "48000", "0", "60", "4800"});
    QVERIFY(server.wait_for_port("kvdump:input") && server.wait_for_port("kvseq:out"));
    const QStringList outputs = settings_list("m_DeviceID");
    const QStringList inputs = settings_list("midi_input");
    kv_test::end_program(&seq);
    kv_test::end_program(&dump, SIGINT);
    QVERIFY2(outputs.contains(QStringLiteral("JACK kvdump:input")), qPrintable(outputs.join('|')));
    QVERIFY2(inputs.contains(QStringLiteral("JACK kvseq:out")), qPrintable(inputs.join('|')));
    // Our own client's ports are not offered: the program never plays into itself.
    QVERIFY(!outputs.join('|').contains(QStringLiteral("korvante:")));
    QVERIFY(!inputs.join('|').contains(QStringLiteral("korvante:")));
    QCOMPARE(h->driver.faults, std::vector<std::string>());
    h.reset();
}

// With a phrase selected in the tree and the focus there, Shift+F6 sounds it on the song's
// phrase track at the edit cursor through the recording output, and every note ends again.
void GuiDeskTest::shift_f6_sounds_the_selected_phrase_at_the_edit_cursor() {
    open_song();
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* track = nullptr;
    for (MedtTrack* t = ed->root(); t && !track; t = t->next_in(ed->root())) {
        if (t->node() && t->node()->type == MTYPE_TRACK_REFER && t->shown()) track = t;
    }
    QVERIFY(track);
    QVERIFY(ed->set_cursor(track, 0, 0));
    QVERIFY(add_standard_phrase());
    MseqObject* phrase = standard_phrase();
    QVERIFY(phrase);
    GuiRoomTree* tree = h->window().room_tree();
    tree->setCurrentItem(tree->item_of(phrase));
    tree->setFocus();
    QTRY_VERIFY(tree->hasFocus());
    QCOMPARE(h->frame().selected_node(), phrase);
    h->midi.clear_log();
    const int channel = mseq_effective_channel(track->stored());
    QTest::keyClick(tree, Qt::Key_F6, Qt::ShiftModifier);
    // Note-ons on the phrase track's channel, then as many note-offs once it has played.
    const auto notes = [&](bool on) {
        int n = 0;
        for (const auto& r : h->midi.log()) {
            if (r.what != kv_midi::midi_out_recorder::kind::short_message || r.bytes.size() < 3)
                continue;
            const int high = r.bytes[0] & 0xF0;
            const bool is_on = high == 0x90 && r.bytes[2] > 0;
            const bool is_off = high == 0x80 || (high == 0x90 && r.bytes[2] == 0);
            if ((r.bytes[0] & 0x0F) == channel && (on ? is_on : is_off)) ++n;
        }
        return n;
    };
    QTRY_VERIFY_WITH_TIMEOUT(notes(true) > 0, 2000);
    QVERIFY(!h->frame().playing());
    QTRY_VERIFY_WITH_TIMEOUT(!h->frame().playback().audition()->sounding(), 20000);
    QVERIFY(notes(true) > 1);
    QCOMPARE(notes(false), notes(true));
    QVERIFY(!(ed->music()->flags & MEF_MODIFIED));
    QCOMPARE(h->driver.faults, std::vector<std::string>());
}

QTEST_MAIN(GuiDeskTest)
#include "GuiDeskTest.moc"
