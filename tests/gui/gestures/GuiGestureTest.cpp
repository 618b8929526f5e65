// Gestures as a person makes them, on the offscreen platform: real mouse drags through Qt's own
// drag loop, the player's tool bar and keys, and the chord map's scale list with the mouse and
// the view's menu. Where a gesture changes data, the saved file is checked.
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollBar>
#include <QTableWidget>
#include <QThread>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>
#include <QtTest>

#include "GuiViewSteps.h"
#include "app/MAppCommands.h"
#include "edit/map/MedtChordMapView.h"
#include "gui/GuiRoomTree.h"
#include "gui/GuiText.h"
#include "gui/views/GuiMapViews.h"
#include "gui/views/GuiPropertyList.h"
#include "gui/views/GuiTimeline.h"
#include "model/core/MseqObject.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapScale.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackNote.h"
#include "play/engine/MplyPlayer.h"

using gui_steps::find_track;
using gui_steps::read_file;
using gui_steps::tree_item;

namespace {

// The line of `text` holding `needle`; empty when none does.
std::string line_with(const std::string& text, const std::string& needle) {
    const size_t at = text.find(needle);
    if (at == std::string::npos) return {};
    const size_t begin = text.rfind('\n', at) + 1;
    const size_t end = text.find('\n', at);
    return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

std::string cp932(const char* utf8) {
    return kv_codec::cp932_from_utf8(utf8);
}

// The chord-map link the demo song's chord track is saved with: the second field of its data
// ("2; 0x110001;"); empty when the track is not found.
std::string chord_map_link(const std::string& saved) {
    const size_t track = saved.find(cp932("MTYPE_TRACK_CHORD; \"コード\""));
    if (track == std::string::npos) return {};
    const size_t data = saved.find("{", saved.find("@type=", track));
    const size_t first = saved.find(';', data);
    const size_t second = saved.find(';', first + 1);
    if (data == std::string::npos || first == std::string::npos || second == std::string::npos)
        return {};
    std::string link = saved.substr(first + 1, second - first - 1);
    link.erase(0, link.find_first_not_of(" "));
    return link;
}

}  // namespace

class GuiGestureTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<GuiHarness> h;

    std::string song() const { return h->host("app/mymusic/demo/song.kvnl"); }
    std::string chord_c() const { return h->host("app/mymusic/demo/chord_c.kvnl"); }
    std::string scale_map_file() const { return h->home + "/define/mapscale.def"; }
    GuiMusicView* view() { return gui_steps::music_view(*h); }
    void open(const char* name) { QVERIFY2(gui_steps::open_leaf(*h, name), name); }
    void save() { QVERIFY(h->window().run_command(ID_FILE_SAVE)); }

    // A real drag with the left button: pressed at `from_at` in `from`, moved past the drag
    // distance, on over the half-way point to `to_at` in `to`, released there. Qt runs the drag
    // in an event loop of its own inside the move that starts it (the first move past the
    // distance for the track list, the second for an item view), watching the mouse through
    // an application event filter; so the later moves and the release come from a timer that
    // waits for that loop. `dragged` tells whether they came inside it (a drag that never
    // started gets them as ordinary mouse events); `at_release` are the keys held when the
    // button is let go.
    void mouse_drag(QWidget* from, QPoint from_at, QWidget* to, QPoint to_at, bool* dragged,
                    Qt::KeyboardModifiers at_release = Qt::NoModifier) {
        QWidget* top = from->window();
        QWindow* window = top->windowHandle();
        QVERIFY(window);
        const QPoint a = from->mapTo(top, from_at);
        const QPoint b = to->mapTo(top, to_at);
        const int outside = QThread::currentThread()->loopLevel();
        *dragged = false;
        bool released = false;
        int waits = 0;
        QTimer rest;
        rest.setInterval(0);
        connect(&rest, &QTimer::timeout, top, [&] {
            const bool inside = QThread::currentThread()->loopLevel() > outside;
            if (!inside && ++waits < 50) return;
            rest.stop();
            *dragged = inside;
            QTest::mouseMove(window, (a + b) / 2);
            QTest::mouseMove(window, b);
            QTest::mouseRelease(window, Qt::LeftButton, at_release, b);
            released = true;
        });
        QTest::mouseMove(window, a);
        QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, a);
        rest.start();
        const int step = QApplication::startDragDistance() + 4;
        QTest::mouseMove(window, a + QPoint(step, 0));
        if (!released) QTest::mouseMove(window, a + QPoint(2 * step, 0));
        QTRY_VERIFY(released);
    }
    // The offscreen platform refuses every drag at once (its drag support is a stub), so real
    // drags run on the minimal platform, whose drag is Qt's in-process one.
    static bool drags_refused() {
        return QGuiApplication::platformName() == QStringLiteral("offscreen");
    }
    // The point of the track list (viewport coordinates) `where` down `t`'s row (0 its top, 1
    // its bottom) at the list's present scroll position; null when `t` has no row.
    QPoint track_list_point(MedtTrack* t, double where) {
        GuiTimeline* tl = view()->timeline();
        const GuiRow* r = t ? tl->row_of(t) : nullptr;
        if (!r) return {};
        return QPoint(60, GuiTimeline::kRulerHeight + r->top - tl->verticalScrollBar()->value() +
                              std::clamp(int(where * r->height), 1, r->height - 2));
    }
    // The names of the children of the track `parent_id`, in order.
    QStringList children(MSEQ_ID parent_id) {
        QStringList names;
        MedtTrack* parent = view()->editor()->find_track(parent_id);
        for (MedtTrack* t = parent ? parent->first_child() : nullptr; t; t = t->next())
            names << gui_text(t->node()->name);
        return names;
    }

    // The player tool bar's button of command `id`.
    QToolButton* tool_button(uint32_t id) {
        QAction* a = h->window().tool_action(id);
        for (QToolBar* bar : h->window().findChildren<QToolBar*>()) {
            if (auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(a))) return b;
        }
        return nullptr;
    }
    void click_tool(uint32_t id) {
        QToolButton* b = tool_button(id);
        QVERIFY(b && b->isVisible());
        QTRY_VERIFY(b->isEnabled());
        QTest::mouseClick(b, Qt::LeftButton);
    }
    int32_t play_position() { return h->frame().play_cursor(h->frame().shown_file()); }

    // The entry of command `id` in the window's menu bar (the shown view's menus included).
    QAction* menu_entry(int id) {
        for (QMenu* menu : h->window().menuBar()->findChildren<QMenu*>()) {
            for (QAction* a : menu->actions()) {
                if (!a->menu() && a->data().toInt() == id) return a;
            }
        }
        for (QAction* top : h->window().menuBar()->actions()) {
            if (!top->menu()) continue;
            for (QAction* a : top->menu()->actions()) {
                if (!a->menu() && a->data().toInt() == id) return a;
            }
        }
        return nullptr;
    }
    // A left click on the name cell of row `row` of the chord-map view's scale list.
    void click_scale_row(GuiChordMapView* v, int row) {
        QTableWidget* list = v->scale_list();
        QVERIFY(row >= 0 && row < list->rowCount());
        list->scrollToItem(list->item(row, 0));
        const QRect cell = list->visualItemRect(list->item(row, 0));
        QVERIFY(!cell.isEmpty());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }
    // The scale bar's name field.
    static QLineEdit* scale_name_field(GuiChordMapView* v) {
        for (QLineEdit* e : v->findChildren<QLineEdit*>()) {
            if (e->toolTip() == u("スケール名を設定します。")) return e;
        }
        return nullptr;
    }
    int scale_row_named(GuiChordMapView* v, const char* name) {
        QTableWidget* list = v->scale_list();
        for (int r = 0; r < list->rowCount(); ++r) {
            if (list->item(r, 0)->text() == u(name)) return r;
        }
        return -1;
    }

private slots:
    void init() {
        h = std::make_unique<GuiHarness>();
        h->copy_data();
        QVERIFY(h->start());
        h->window().resize(1400, 900);
        QCoreApplication::processEvents();
    }
    void cleanup() { h.reset(); }

    void track_list_mouse_drag_moves_a_track();
    void library_leaf_mouse_drag_links_a_chord_map();
    void track_list_mouse_drag_links_a_chord_track();
    void pause_keeps_the_position_and_play_resumes_from_it();
    void scale_list_click_and_set_give_the_chord_map_its_scale();
    void scale_list_add_and_delete_reach_the_scale_map_at_exit();
    void ruler_click_sets_where_f5_starts();
    void space_plays_and_stops_with_the_focus_in_the_tree();
    void a_play_without_a_device_says_why();
};

void GuiGestureTest::track_list_mouse_drag_moves_a_track() {
    if (drags_refused()) QSKIP("no drags on this platform: gui_gesture_drags runs this one");
    open("はじまりの朝");
    const MSEQ_ID part = 0x12;
    MedtTrack* melody = find_track(*h, "メロディ");
    MedtTrack* celesta = find_track(*h, "セレスタ");
    QVERIFY(melody && celesta);
    const QStringList original = children(part);
    QCOMPARE(original.first(), u("メロディ"));
    QVERIFY(original.indexOf(u("セレスタ")) > 1);
    // The demo song stores the melody before the celesta.
    const std::string melody_line = cp932("0x00000012; 0x00010004; MTYPE_TRACK_NOTE; \"メロディ\"");
    const std::string celesta_line =
        cp932("0x00000012; 0x0001000d; MTYPE_TRACK_NOTE; \"セレスタ\"");
    const std::string before = read_file(song());
    QVERIFY(before.find(melody_line) < before.find(celesta_line));

    // Press on the celesta's name, drag it onto the upper part of the melody's row: it goes
    // before the melody, first in the part.
    GuiTimeline* tl = view()->timeline();
    tl->verticalScrollBar()->setValue(tl->row_of(melody)->top);
    const QPoint from = track_list_point(celesta, 0.5);
    const QPoint to = track_list_point(melody, 0.2);
    QVERIFY(tl->viewport()->rect().contains(from) && tl->viewport()->rect().contains(to));
    bool dragged = false;
    mouse_drag(tl->viewport(), from, tl->viewport(), to, &dragged);
    QVERIFY2(dragged, "the mouse moved on outside a drag");
    QCOMPARE(children(part).mid(0, 2), QStringList({u("セレスタ"), u("メロディ")}));
    QCOMPARE(children(part).size(), original.size());
    QCOMPARE(h->driver.faults, std::vector<std::string>());
    QVERIFY(h->driver.boxes.empty());
    save();
    const std::string saved = read_file(song());
    const size_t celesta_at = saved.find(celesta_line), melody_at = saved.find(melody_line);
    QVERIFY(celesta_at != std::string::npos && melody_at != std::string::npos);
    QVERIFY(celesta_at < melody_at);
    // One undo takes the move back.
    QVERIFY(view()->run_command(40268));
    QCOMPARE(children(part), original);
}

void GuiGestureTest::library_leaf_mouse_drag_links_a_chord_map() {
    if (drags_refused()) QSKIP("no drags on this platform: gui_gesture_drags runs this one");
    open("はじまりの朝");
    MedtTrack* t = find_track(*h, "コード");
    QVERIFY(t);
    QVERIFY(view()->editor()->set_cursor(t, 0, 0));
    GuiPropertyList* pl = view()->properties();
    pl->refresh();
    const int row = pl->row_of(16);  // the chord-map link
    QVERIFY(row >= 0);
    auto* chord = t->stored()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
    const MSEQ_ID linked = MSEQ_ID((0x10005 & 0xFFFFF) + 0x200000);  // ニ長調
    QVERIFY(chord->m_MapID != linked);
    QCOMPARE(chord_map_link(read_file(song())), std::string("0x110001"));

    GuiRoomTree* tree = h->window().room_tree();
    QString shown;
    pl->status = [&shown](const QString& text) { shown = text; };
    // Drags an item of the library tree onto the link row, `at_release` held at the end.
    auto drag_leaf = [&](const char* name, Qt::KeyboardModifiers at_release) {
        QTreeWidgetItem* item = tree_item(tree, u(name));
        QVERIFY2(item, name);
        tree->scrollToItem(item);
        pl->scrollToItem(pl->item(row, 1));
        const QPoint from = tree->visualItemRect(item).center();
        const QPoint to = pl->visualItemRect(pl->item(row, 1)).center();
        QVERIFY(tree->viewport()->rect().contains(from) && pl->viewport()->rect().contains(to));
        bool dragged = false;
        mouse_drag(tree->viewport(), from, pl->viewport(), to, &dragged, at_release);
        QVERIFY2(dragged, "the mouse moved on outside a drag");
    };
    const int items =
        int(tree->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive).size());
    // Another music is no chord map: refused with a reason, the link stays.
    drag_leaf("パターン見本", Qt::NoModifier);
    QVERIFY(chord->m_MapID != linked);
    QVERIFY(!shown.isEmpty());
    // The other chord map of the book, let go with Shift held (which asks for a move where one
    // is offered): linked, and the library keeps its item.
    drag_leaf("ニ長調", Qt::ShiftModifier);
    QCOMPARE(chord->m_MapID, linked);
    QCOMPARE(
        int(tree->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive).size()),
        items);
    QVERIFY(tree_item(tree, u("ニ長調")));
    // The music stays in the editor pane.
    QCOMPARE(view()->editor()->find_track(t->id()), t);
    QCOMPARE(h->driver.faults, std::vector<std::string>());
    save();
    QCOMPARE(chord_map_link(read_file(song())), std::string("0x210005"));
}

void GuiGestureTest::track_list_mouse_drag_links_a_chord_track() {
    if (drags_refused()) QSKIP("no drags on this platform: gui_gesture_drags runs this one");
    open("はじまりの朝");
    MedtTrack* t = find_track(*h, "セレスタ");
    MedtTrack* chords = find_track(*h, "コード");
    QVERIFY(t && chords);
    QVERIFY(view()->editor()->set_cursor(t, 0, 0));
    GuiPropertyList* pl = view()->properties();
    pl->refresh();
    const int row = pl->row_of(16);  // the chord-track link
    QVERIFY(row >= 0);
    auto* note = t->stored()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
    const MSEQ_ID linked = MSEQ_ID((chords->id() & 0xFFFFF) + 0x100000);
    QCOMPARE(note->m_TrackChordID, linked);
    // A right click on the link row clears it.
    pl->scrollToItem(pl->item(row, 1));
    const QPoint to = pl->visualItemRect(pl->item(row, 1)).center();
    QTest::mouseClick(pl->viewport(), Qt::RightButton, Qt::NoModifier, to);
    QCOMPARE(note->m_TrackChordID, MSEQ_ID(0));
    save();
    const std::string cleared = read_file(song());
    // Drag the chord track's name from the track list onto the row: linked again.
    GuiTimeline* tl = view()->timeline();
    tl->verticalScrollBar()->setValue(tl->row_of(chords)->top);
    const QPoint from = track_list_point(chords, 0.5);
    QVERIFY(tl->viewport()->rect().contains(from));
    bool dragged = false;
    mouse_drag(tl->viewport(), from, pl->viewport(), to, &dragged);
    QVERIFY2(dragged, "the mouse moved on outside a drag");
    // The dragged track did not become the current one: the list still shows the celesta's.
    QCOMPARE(view()->editor()->current(), t);
    QCOMPARE(note->m_TrackChordID, linked);
    QTest::qWait(10);
    QVERIFY(pl->item(pl->row_of(16), 1)->text().startsWith(u("コード")));
    // A plain click on the chord track's name makes it the current track.
    QTest::mouseClick(tl->viewport(), Qt::LeftButton, Qt::NoModifier, from);
    QCOMPARE(view()->editor()->current(), chords);
    QCOMPARE(h->driver.faults, std::vector<std::string>());
    save();
    QVERIFY(read_file(song()) != cleared);
}

void GuiGestureTest::pause_keeps_the_position_and_play_resumes_from_it() {
    open("はじまりの朝");
    const std::string original = read_file(song());
    GuiMainWindow& w = h->window();
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* t = find_track(*h, "セレスタ");
    QVERIFY(t);
    QVERIFY(ed->set_cursor(t, 0, t->beats()));
    const size_t notes = t->stored()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE)->block_count();
    auto editable = [&] {
        return !ed->read_only() && view()->action(40261)->isEnabled() &&
               (view()->properties()->item(view()->properties()->row_of(20), 1)->flags() &
                Qt::ItemIsEditable);
    };
    QVERIFY(editable());
    QCOMPARE(play_position(), 0);

    // F5 plays; the views are read-only while the player runs.
    QTest::keyClick(&w, Qt::Key_F5);
    QTRY_VERIFY_WITH_TIMEOUT(h->frame().playing(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!editable(), 2000);
    QTRY_VERIFY_WITH_TIMEOUT(play_position() > 0, 10000);
    // The pause button of the player tool bar: the run ends where it was, the position stays
    // there (shown and stored) and the views take edits again.
    click_tool(ID_PAUSE);
    QTRY_VERIFY_WITH_TIMEOUT(!h->frame().playing(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(editable(), 2000);
    const int32_t paused = play_position();
    QVERIFY(paused > 0);
    const QString shown = w.position_label()->text();
    QVERIFY(shown != QStringLiteral("[001-1-000]"));
    QTest::qWait(300);
    QCOMPARE(play_position(), paused);
    QCOMPARE(w.position_label()->text(), shown);
    QVERIFY(!tool_button(ID_PAUSE)->isEnabled());

    // The play button goes on from there; while playing nothing edits.
    click_tool(ID_PLAY);
    QTRY_VERIFY_WITH_TIMEOUT(h->frame().playing(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!editable(), 2000);
    QTest::keyClick(view()->timeline(), Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(t->stored()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE)->block_count(), notes);
    QTRY_VERIFY_WITH_TIMEOUT(play_position() > paused, 10000);
    // F6 while playing pauses too, later than the first pause.
    QTest::keyClick(&w, Qt::Key_F6);
    QTRY_VERIFY_WITH_TIMEOUT(!h->frame().playing(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(editable(), 2000);  // the end of the run has been taken in
    const int32_t paused_again = play_position();
    QVERIFY(paused_again > paused);
    QTest::qWait(300);
    QCOMPARE(play_position(), paused_again);

    // F5 resumes; the stop button returns to where that run started: the second pause.
    QTest::keyClick(&w, Qt::Key_F5);
    QTRY_VERIFY_WITH_TIMEOUT(h->frame().playing(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(play_position() > paused_again, 10000);
    click_tool(ID_STOP);
    QTRY_VERIFY_WITH_TIMEOUT(!h->frame().playing(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(play_position(), paused_again, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(editable(), 2000);

    // Editable again: a cut of the first bar reaches the saved file.
    QVERIFY(ed->set_cursor(t, 0, t->beats()));
    view()->timeline()->setFocus();
    QTest::keyClick(view()->timeline(), Qt::Key_X, Qt::ControlModifier);
    QVERIFY(t->stored()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE)->block_count() < notes);
    save();
    QVERIFY(read_file(song()) != original);
    QVERIFY(!h->midi.log().empty());
    QCOMPARE(h->driver.faults, std::vector<std::string>());
}

void GuiGestureTest::ruler_click_sets_where_f5_starts() {
    open("はじまりの朝");
    GuiMainWindow& w = h->window();
    GuiTimeline* tl = view()->timeline();
    tl->horizontalScrollBar()->setValue(0);
    MedtMusicInvoker* ed = view()->editor();
    // A click in the bar ruler, 300 pixels into the bars: the play cursor goes there.
    const int x = 300;
    const int32_t tick = ed->tick_of_pixels(x);
    QVERIFY(tick > 0);
    QTest::mouseClick(tl->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(GuiTimeline::kNameWidth + x, GuiTimeline::kRulerHeight / 2));
    QCOMPARE(play_position(), tick);
    QVERIFY(!h->frame().playing());
    // F5 plays from there.
    QTest::keyClick(&w, Qt::Key_F5);
    QTRY_VERIFY_WITH_TIMEOUT(h->frame().playing(), 5000);
    QCOMPARE(h->frame().player().start_tick(), tick);
    // A click while playing: the run goes on from the new place.
    const int32_t later = ed->tick_of_pixels(2 * x);
    QTest::mouseClick(tl->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(GuiTimeline::kNameWidth + 2 * x, GuiTimeline::kRulerHeight / 2));
    QVERIFY(h->frame().playing());
    QCOMPARE(h->frame().player().start_tick(), later);
    // The tool bar's start button: back to bar 1 while playing.
    click_tool(ID_GO_START);
    QTRY_COMPARE_WITH_TIMEOUT(h->frame().player().start_tick(), 0, 2000);
    click_tool(ID_STOP);
    QTRY_VERIFY_WITH_TIMEOUT(!h->frame().playing(), 5000);
    QCOMPARE(play_position(), 0);
    QCOMPARE(h->driver.faults, std::vector<std::string>());
}

void GuiGestureTest::space_plays_and_stops_with_the_focus_in_the_tree() {
    open("はじまりの朝");
    GuiMainWindow& w = h->window();
    QTreeWidget* tree = w.room_tree();
    tree->setFocus();
    QTRY_VERIFY(tree->hasFocus());
    QTest::keyClick(tree, Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(h->frame().playing(), 5000);
    QTest::keyClick(tree, Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(!h->frame().playing(), 5000);
    // F8 (the music view's auto-scroll) acts from the tree as well.
    const bool autoscroll = view()->action(ID_MUSIC_F8)->isChecked();
    QTest::keyClick(tree, Qt::Key_F8);
    QTRY_COMPARE(view()->action(ID_MUSIC_F8)->isChecked(), !autoscroll);
    // In the timeline, Space plays too; the blank insert is on Insert now.
    MedtTrack* t = find_track(*h, "セレスタ");
    QVERIFY(t);
    const size_t notes = t->stored()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE)->block_count();
    QVERIFY(view()->editor()->set_cursor(t, 0, 0));
    view()->timeline()->setFocus();
    QTest::keyClick(view()->timeline(), Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(h->frame().playing(), 5000);
    QTest::keyClick(view()->timeline(), Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(!h->frame().playing(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!view()->editor()->read_only(), 2000);
    QVERIFY(!(h->frame().shown_file()->flags & MEF_MODIFIED));
    QTest::keyClick(view()->timeline(), Qt::Key_Insert);
    QVERIFY(h->frame().shown_file()->flags & MEF_MODIFIED);
    QCOMPARE(t->stored()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE)->block_count(), notes);
    QCOMPARE(h->driver.faults, std::vector<std::string>());
}

void GuiGestureTest::a_play_without_a_device_says_why() {
    open("はじまりの朝");
    GuiMainWindow& w = h->window();
    h->midi.fail_open(true);
    w.room_tree()->setFocus();
    QTest::keyClick(w.room_tree(), Qt::Key_F5);
    QTRY_COMPARE_WITH_TIMEOUT(h->driver.boxes.size(), size_t(1), 5000);
    const QString text = h->driver.boxes[0].text;
    QVERIFY2(text.contains(QStringLiteral("Test Synth")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("refused")), qPrintable(text));
    QVERIFY2(text.contains(u("設定")), qPrintable(text));
    QVERIFY(!h->frame().playing());
    // The box is answered (Enter); then the device works again and the next F5 plays.
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 5000);
    // The window shortcuts need the window active again, as the desktop makes it after a box.
    w.activateWindow();
    QTRY_VERIFY(w.isActiveWindow());
    h->midi.fail_open(false);
    QTest::keyClick(w.room_tree(), Qt::Key_F5);
    QTRY_VERIFY_WITH_TIMEOUT(h->frame().playing(), 5000);
    click_tool(ID_STOP);
    QTRY_VERIFY_WITH_TIMEOUT(!h->frame().playing(), 5000);
    QCOMPARE(h->driver.faults, std::vector<std::string>());
}

void GuiGestureTest::scale_list_click_and_set_give_the_chord_map_its_scale() {
    open("ハ長調");
    GuiChordMapView* v = h->window().editor_pane()->chord_view();
    QVERIFY(v->model());
    const std::string original = read_file(chord_c());
    QVERIFY(original.find(cp932("\"1 - Ionian (長調)\"")) != std::string::npos);
    QAction* set = menu_entry(MEDT_CMD_SCALE_SET);
    QVERIFY(set);
    // Nothing selected yet: the command waits for a row.
    QVERIFY(!set->isEnabled());

    const int blues = scale_row_named(v, "ブルース");
    QVERIFY(blues >= 0);
    click_scale_row(v, blues);
    QCOMPARE(v->model()->selected_scale_row(), blues);
    QVERIFY(set->isEnabled());
    set->trigger();
    // The scale bar shows the list's scale: its name and its six keys.
    QLineEdit* name = scale_name_field(v);
    QVERIFY(name);
    QCOMPARE(name->text(), u("ブルース"));
    QCOMPARE(gui_text(v->model()->scale_keys()), QStringLiteral("0 3 5 6 7 10"));
    QVERIFY(v->model()->map()->flags & MEF_MODIFIED);
    save();
    const std::string saved = read_file(chord_c());
    QVERIFY(saved.find(cp932("\"1 - Ionian (長調)\"")) == std::string::npos);
    const std::string scale = line_with(saved, cp932("\"ブルース\""));
    QVERIFY2(!scale.empty(), "the chord map saved without its new scale");
    QVERIFY2(scale.find("{{0x0;0;}{0x0;3;}{0x0;5;}{0x0;6;}{0x0;7;}{0x0;10;}}") != std::string::npos,
             scale.c_str());

    // A double click on another row sets that one at once.
    const int whole = scale_row_named(v, "ホールトーン");
    QVERIFY(whole >= 0);
    QTableWidget* list = v->scale_list();
    const QPoint at = list->visualItemRect(list->item(whole, 0)).center();
    // Through the window, as the platform sends it: press, release, press, release.
    QWindow* window = h->window().windowHandle();
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier,
                       list->viewport()->mapTo(&h->window(), at));
    QCOMPARE(name->text(), u("ホールトーン"));
    save();
    const std::string again = read_file(chord_c());
    QVERIFY(line_with(again, cp932("\"ブルース\"")).empty());
    QVERIFY(line_with(again, cp932("\"ホールトーン\""))
                .find("{{0x0;0;}{0x0;2;}{0x0;4;}{0x0;6;}{0x0;8;}{0x0;10;}}") != std::string::npos);
    // The scale list itself was not touched: nothing is written for it at exit.
    QVERIFY(!(v->model()->scales()->flags & MEF_MODIFIED));
    QCOMPARE(h->driver.faults, std::vector<std::string>());
}

void GuiGestureTest::scale_list_add_and_delete_reach_the_scale_map_at_exit() {
    const std::string original = read_file(scale_map_file());
    QVERIFY(original.find(cp932("\"ブルース\"")) != std::string::npos);
    open("ハ長調");
    GuiChordMapView* v = h->window().editor_pane()->chord_view();
    QVERIFY(v->model());
    QTableWidget* list = v->scale_list();
    const int rows = list->rowCount();
    QVERIFY(rows >= 3);
    // One row per scale of the file, each scale once.
    int in_file = 0;
    for (size_t at = original.find("type=\"MSEQ_KEY\""); at != std::string::npos;
         at = original.find("type=\"MSEQ_KEY\"", at + 1))
        ++in_file;
    QCOMPARE(rows, in_file);

    // Rename the chord map's scale in the scale bar, then add it to the list.
    QLineEdit* name = scale_name_field(v);
    QVERIFY(name);
    QTest::mouseDClick(name, Qt::LeftButton);
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("Blue Seven"));
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(gui_text(v->model()->scale_name()), QStringLiteral("Blue Seven"));
    QAction* add = menu_entry(MEDT_CMD_SCALE_ADD);
    QVERIFY(add && add->isEnabled());
    add->trigger();
    QCOMPARE(list->rowCount(), rows + 1);
    QCOMPARE(list->item(rows, 0)->text(), QStringLiteral("Blue Seven"));
    QCOMPARE(list->item(rows, 3)->text(), gui_text(v->model()->scale_keys()));
    // The scale map is written at exit, not before.
    QCOMPARE(read_file(scale_map_file()), original);

    // Delete "ブルース": No keeps it, Yes takes the row away.
    const int blues = scale_row_named(v, "ブルース");
    QVERIFY(blues >= 0);
    click_scale_row(v, blues);
    QAction* remove = menu_entry(MEDT_CMD_SCALE_DELETE);
    QVERIFY(remove && remove->isEnabled());
    h->driver.box(QMessageBox::No);
    remove->trigger();
    QCOMPARE(h->driver.boxes.size(), size_t(1));
    QCOMPARE(h->driver.boxes[0].text, u("スケールを削除してもよろしいですか？\n\nブルース"));
    QCOMPARE(h->driver.boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(h->driver.boxes[0].answer, QMessageBox::No);
    QCOMPARE(list->rowCount(), rows + 1);
    QCOMPARE(list->item(blues, 0)->text(), u("ブルース"));
    h->driver.box(QMessageBox::Yes);
    remove->trigger();
    QCOMPARE(h->driver.boxes.size(), size_t(2));
    QCOMPARE(h->driver.boxes[1].answer, QMessageBox::Yes);
    QCOMPARE(list->rowCount(), rows);
    QCOMPARE(scale_row_named(v, "ブルース"), -1);
    QVERIFY(scale_row_named(v, "Blue Seven") >= 0);

    // Save the renamed chord map, then leave through the window: the scale map is written with
    // the added scale and without the deleted one.
    save();
    QVERIFY(h->window().close());
    const std::string written = read_file(scale_map_file());
    QVERIFY(written != original);
    QVERIFY(written.find(std::string("\"Blue Seven\"")) != std::string::npos);
    QVERIFY(written.find(cp932("\"ブルース\"")) == std::string::npos);
    QVERIFY(written.find(cp932("\"メジャーブルース\"")) != std::string::npos);
    QCOMPARE(h->driver.faults, std::vector<std::string>());

    // The next start lists what was written.
    h->stop();
    QVERIFY(h->start());
    open("ハ長調");
    v = h->window().editor_pane()->chord_view();
    QCOMPARE(v->scale_list()->rowCount(), rows);
    QCOMPARE(scale_row_named(v, "ブルース"), -1);
    QCOMPARE(v->scale_list()->item(rows - 1, 0)->text(), QStringLiteral("Blue Seven"));
}

QTEST_MAIN(GuiGestureTest)
#include "GuiGestureTest.moc"
