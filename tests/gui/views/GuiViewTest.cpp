// The editor views driven with keys, presses and their lists on the offscreen platform: each
// test edits the demo library through the real windows, saves, and checks the saved file.
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>
#include <QtTest>

#include "../GuiHarness.h"
#include "../GuiViewSteps.h"
#include "app/MAppCommands.h"
#include "app/MAppTreeWidthSetting.h"
#include "edit/MedtMusic.h"
#include "edit/MedtNoteEntry.h"
#include "edit/MedtPropertyRow.h"
#include "edit/map/MedtChordMapView.h"
#include "edit/map/MedtStageMapView.h"
#include "edit/press/MedtBlockPress.h"
#include "gui/GuiEditorPane.h"
#include "gui/GuiRoomTree.h"
#include "gui/GuiText.h"
#include "gui/views/GuiChordEditor.h"
#include "gui/views/GuiMapViews.h"
#include "gui/views/GuiMusicView.h"
#include "gui/views/GuiPropertyList.h"
#include "gui/views/GuiTimeline.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqType.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqNoteTheory.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackInherit.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "platform/TextCodec.h"
#include "play/engine/MplyKeyLane.h"
#include "play/tracks/MplyAudition.h"
#include "text/MrecEntityWriter.h"

namespace {

using gui_steps::read_file;
using gui_steps::tree_item;

// A wheel turn of `notches` (positive away from the user) at viewport point `at`, as the
// window system delivers it.
void wheel(QWidget* viewport, const QPoint& at, int notches, Qt::KeyboardModifiers mods) {
    QWheelEvent event(QPointF(at), QPointF(viewport->mapToGlobal(at)), QPoint(),
                      QPoint(0, 120 * notches), Qt::NoButton, mods, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(viewport, &event);
}

int semitones(const MseqBlockNote& n) {
    return n.m_Octave * 12 + mseq_letter_offset(n.m_Whole) + n.m_Semi;
}

}  // namespace

class GuiViewTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<GuiHarness> h;

    std::string song() const { return h->host("app/mymusic/demo/song.kvnl"); }

    void open(const char* name) { QVERIFY2(gui_steps::open_leaf(*h, name), name); }
    GuiMusicView* view() { return gui_steps::music_view(*h); }
    MedtTrack* track(const char* name) { return gui_steps::find_track(*h, name); }
    const MseqTrackNote* notes(MedtTrack* t) {
        return t->stored()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
    }
    void save() { QVERIFY(h->window().run_command(ID_FILE_SAVE)); }
    void click(GuiTimeline* tl, MedtTrack* t, int32_t pos, GuiBand band,
               Qt::MouseButton button = Qt::LeftButton) {
        tl->scroll_to_cursor();
        const QPoint p = tl->point_at(t, pos, band);
        QVERIFY(p.x() >= GuiTimeline::kNameWidth && p.y() >= GuiTimeline::kRulerHeight);
        QTest::mouseClick(tl->viewport(), button, Qt::NoModifier, p);
    }

    // Drops the track `moved` on the track-list column of `target`'s row, `where` down the row
    // (0 its top, 1 its bottom), as a drag from the track list ends: enter, move, drop.
    void drop_on(MSEQ_ID moved, MedtTrack* target, double where) {
        GuiTimeline* tl = view()->timeline();
        const GuiRow* r = tl->row_of(target);
        QVERIFY(r);
        tl->verticalScrollBar()->setValue(r->top);
        const int y = GuiTimeline::kRulerHeight + r->top - tl->verticalScrollBar()->value() +
                      std::clamp(int(where * r->height), 1, r->height - 2);
        const QPoint at(60, y);
        QMimeData mime;
        mime.setData(QString::fromLatin1(kGuiTrackMime), QByteArray::number(moved));
        const Qt::DropActions actions = Qt::LinkAction | Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tl->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tl->viewport(), &move);
        QVERIFY(move.isAccepted());
        QCOMPARE(move.dropAction(), Qt::MoveAction);
        QDropEvent drop(QPointF(at), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tl->viewport(), &drop);
    }
    // The names of the children of the track `parent_id`, in order.
    QStringList children(MSEQ_ID parent_id) {
        QStringList names;
        MedtTrack* parent = view()->editor()->find_track(parent_id);
        for (MedtTrack* t = parent ? parent->first_child() : nullptr; t; t = t->next())
            names << gui_text(t->node()->name);
        return names;
    }

private slots:
    void init() {
        h = std::make_unique<GuiHarness>();
        h->copy_data();
        QVERIFY(h->start());
        h->window().resize(1400, 900);
    }
    void cleanup() { h.reset(); }

    void keys_move_extend_cut_and_undo();
    void anchor_presses_place_split_and_undo();
    void option_presses_change_octave_and_accidental();
    void phrase_presses_start_marker_shift_and_mode();
    void property_list_sets_values_with_their_ranges();
    void property_list_follows_presses_and_shows_the_title();
    void chord_map_drop_on_a_chord_track();
    void track_list_drop_links_a_chord_track();
    void track_list_renames_in_place();
    void track_list_drag_moves_tracks();
    void track_list_names_carry_the_channel_with_track_information();
    void playing_locks_the_view_and_moves_the_play_cursor();
    void chord_map_view_builds_minor_four_note_chords();
    void scale_list_shows_every_value_whole();
    void chord_editor_sets_a_chord_on_a_chord_track_and_in_a_chord_map();
    void notes_are_named_in_the_key_name_display_of_their_chord_map();
    void stage_map_view_changes_an_instrument();
    void stage_map_right_click_toggles_sending();
    void a_double_click_is_two_presses();
    void redo_keys_and_menu_restore_the_saved_bytes();
    void screenshots_of_the_views();
    void wheel_and_keys_zoom_scroll_and_fit();
    void fit_shows_a_long_music_to_its_last_bar();
    void property_list_fits_its_rows_and_keeps_a_dragged_width();
    void tips_name_pitch_and_note_values();
    void a_press_on_a_note_row_sounds_its_key();
    void typed_notes_on_a_tone_track_in_the_key_of_d();
    void the_lane_shows_what_plays_and_follows_a_chord_change();
};

void GuiViewTest::keys_move_extend_cut_and_undo() {
    open("はじまりの朝");
    const std::string original = read_file(song());
    MedtMusicInvoker* ed = view()->editor();
    QVERIFY(ed);
    MedtTrack* t = track("セレスタ");
    QVERIFY(t);
    QVERIFY(ed->set_cursor(t, 0, 0));
    GuiTimeline* tl = view()->timeline();
    tl->setFocus();
    QTest::keyClick(tl, Qt::Key_Right);
    QTest::keyClick(tl, Qt::Key_Right);
    QCOMPARE(ed->cursor(), 2);
    QTest::keyClick(tl, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(tl, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(ed->cursor(), 2);
    QCOMPARE(ed->selection_end(), 4);
    QTest::keyClick(tl, Qt::Key_Home);
    QCOMPARE(ed->cursor(), 0);
    QCOMPARE(ed->selection_end(), 0);
    // Down and up come back to the same track.
    QTest::keyClick(tl, Qt::Key_Down);
    QVERIFY(ed->current() != t);
    QTest::keyClick(tl, Qt::Key_Up);
    QCOMPARE(ed->current(), t);

    // Cut the first bar: later notes move left; the saved file changes.
    const size_t before = notes(t)->block_count();
    const int32_t bar = t->beats();
    ed->set_cursor(t, 0, bar);
    QTest::keyClick(tl, Qt::Key_X, Qt::ControlModifier);
    QVERIFY(notes(t)->block_count() < before);
    QCOMPARE(ed->cursor(), 0);
    save();
    const std::string cut = read_file(song());
    QVERIFY(cut != original);
    // Undo puts the bar back: the file saved then differs from the cut one, and cutting again
    // saves exactly the cut file.
    QTest::keyClick(tl, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(notes(t)->block_count(), before);
    save();
    const std::string restored = read_file(song());
    QVERIFY(restored != cut);
    ed->set_cursor(t, 0, bar);
    QTest::keyClick(tl, Qt::Key_X, Qt::ControlModifier);
    save();
    QCOMPARE(read_file(song()), cut);
    QTest::keyClick(tl, Qt::Key_Z, Qt::ControlModifier);
    save();
    QCOMPARE(read_file(song()), restored);
    // Paste the clipboard at the start: the bar is there twice.
    ed->set_cursor(t, 0, 0);
    QTest::keyClick(tl, Qt::Key_V, Qt::ControlModifier);
    QVERIFY(notes(t)->block_count() > before);
    QCOMPARE(ed->cursor(), bar);
    save();
    QVERIFY(read_file(song()) != original);
}

void GuiViewTest::anchor_presses_place_split_and_undo() {
    open("はじまりの朝");
    const std::string original = read_file(song());
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* t = track("メロディ");
    QVERIFY(t);
    const MseqTrackNote* n = notes(t);
    // An empty stretch at the start of the melody.
    const int32_t p = 1;
    QVERIFY(!n->block_at(p) && !n->block_at(p + 1) && !n->block_at(p + 2) && !n->block_at(p + 3));
    QVERIFY(n->blocks().empty() || int32_t(n->blocks().begin()->first) > p + 4);
    ed->set_cursor(t, p, p);
    GuiTimeline* tl = view()->timeline();
    click(tl, t, p, GuiBand::Anchor);
    QVERIFY(n->block_at(p));
    QCOMPARE(n->block_at(p)->m_Length, 1);
    // A press in the pitch row after the note lengthens it to end there.
    click(tl, t, p + 3, GuiBand::Main);
    QCOMPARE(n->block_at(p)->m_Length, 4);
    // A press on the anchor inside the note splits it into two of the same pitch.
    click(tl, t, p + 2, GuiBand::Anchor);
    QCOMPARE(n->block_at(p)->m_Length, 2);
    QVERIFY(n->block_at(p + 2));
    QCOMPARE(n->block_at(p + 2)->m_Length, 2);
    QCOMPARE(semitones(*n->block_at(p + 2)), semitones(*n->block_at(p)));
    // A right press erases the second note.
    click(tl, t, p + 2, GuiBand::Anchor, Qt::RightButton);
    QVERIFY(!n->block_at(p + 2));
    save();
    const std::string edited = read_file(song());
    QVERIFY(edited != original);
    // Each gesture is one undo step: four undos leave the melody as it was.
    for (int i = 0; i < 4; ++i)
        QVERIFY(view()->run_command(40268));
    QVERIFY(n->blocks().empty() || int32_t(n->blocks().begin()->first) > p + 4);
    save();
    QVERIFY(read_file(song()) != edited);
}

void GuiViewTest::option_presses_change_octave_and_accidental() {
    open("はじまりの朝");
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* t = track("セレスタ");
    const MseqTrackNote* n = notes(t);
    const int32_t p = int32_t(n->blocks().begin()->first);
    const int before = semitones(n->blocks().begin()->second);
    // The option rows come and go with their display command.
    GuiTimeline* tl = view()->timeline();
    if (view()->action(40232)->isChecked()) QVERIFY(view()->run_command(40232));
    QVERIFY(!view()->action(40232)->isChecked());
    QCOMPARE(tl->point_at(t, p, GuiBand::Third).y(), tl->point_at(t, p, GuiBand::Main).y());
    tl->setFocus();
    QTest::keyClick(tl, Qt::Key_4);  // the key of the option display
    QVERIFY(view()->action(40232)->isChecked());
    QTest::keyClick(tl, Qt::Key_E);  // pure notes
    QCOMPARE(ed->music()->m_NoteState, 1);
    QVERIFY(view()->action(40201)->isChecked());
    QVERIFY(tl->point_at(t, p, GuiBand::Third).y() > tl->point_at(t, p, GuiBand::Main).y());
    ed->set_cursor(t, p, p);
    click(view()->timeline(), t, p, GuiBand::Third);
    QCOMPARE(semitones(*n->block_at(p)), before + 12);
    click(view()->timeline(), t, p, GuiBand::Fourth);
    QCOMPARE(semitones(*n->block_at(p)), before + 13);
    click(view()->timeline(), t, p, GuiBand::Fourth, Qt::RightButton);
    click(view()->timeline(), t, p, GuiBand::Third, Qt::RightButton);
    QCOMPARE(semitones(*n->block_at(p)), before);
    // The lag editor: 300 is stored as 240 with the note's own start lag; a right press goes
    // back to the track's lag.
    if (!view()->action(40234)->isChecked()) QVERIFY(view()->run_command(40234));
    tl->scripted_answers = {QStringLiteral("300")};
    click(tl, t, p, GuiBand::StartLag);
    QVERIFY(tl->scripted_answers.empty());
    QCOMPARE(n->block_at(p)->m_STime, 240);
    QVERIFY(n->block_at(p)->m_Flags & MNBF_OWN_STIME);
    click(tl, t, p, GuiBand::StartLag, Qt::RightButton);
    QVERIFY(!(n->block_at(p)->m_Flags & MNBF_OWN_STIME));
    save();
    const std::string saved = read_file(song());
    QVERIFY(!saved.empty());
}

void GuiViewTest::phrase_presses_start_marker_shift_and_mode() {
    open("パターン見本");
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* t = nullptr;
    const MseqTrackRefer* refer = nullptr;
    for (MedtTrack* k = ed->root(); k && !t; k = k->next_in(ed->root())) {
        auto* r = k->stored() ? k->stored()->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER) : nullptr;
        if (r && !r->blocks().empty() && k->shown()) {
            t = k;
            refer = r;
        }
    }
    QVERIFY(t);
    const int32_t p = int32_t(refer->blocks().begin()->first);
    ed->set_cursor(t, p, p);
    GuiTimeline* tl = view()->timeline();
    // The start-marker menu: the chosen marker becomes the block's start.
    MedtPressContext ctx;
    ctx.music = ed->music();
    const std::vector<CkvString> items = MedtReferPress::marker_items(*refer, p, ctx);
    QVERIFY(items.size() >= 2);
    const CkvString marker = refer->block_at(p)->m_StartMarker;
    tl->scripted_answers = {QStringLiteral("1")};
    click(tl, t, p, GuiBand::Main);
    QVERIFY(tl->scripted_answers.empty());
    QCOMPARE(refer->block_at(p)->m_StartMarker, items[1]);
    // The menu's first entry is the phrase's beginning by its place in the menu: a marker that
    // happens to be named like that entry stays a marker.
    {
        ref_ptr<MseqEntity> phrase_entity =
            mseq_open(ed->music()->find(refer->block_at(p)->m_PhraseID));
        auto* phrase = phrase_entity->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        QVERIFY(phrase);
        MseqObject* marker_track = phrase->find_track(0x100106);
        QVERIFY(marker_track && marker_track->entity());
        auto* labels = marker_track->entity()->cast_to<MseqTrackLabel>(MTYPE_TRACK_MARKER);
        QVERIFY(labels && !labels->blocks().empty());
        auto [index, label] = *labels->blocks().begin();
        label.m_Label = items[0];
        labels->put_block(index, label);
    }
    tl->scripted_answers = {QStringLiteral("1")};
    click(tl, t, p, GuiBand::Main);
    QCOMPARE(refer->block_at(p)->m_StartMarker, items[0]);
    tl->scripted_answers = {QStringLiteral("0")};
    click(tl, t, p, GuiBand::Main);
    QCOMPARE(refer->block_at(p)->m_StartMarker, CkvString());
    // Degree shift and mode step with the option rows.
    if (!view()->action(40232)->isChecked()) QVERIFY(view()->run_command(40232));
    const int32_t rotation = refer->block_at(p)->m_Rotation;
    const uint32_t mode = refer->block_at(p)->m_Mode;
    click(tl, t, p, GuiBand::Third);
    QCOMPARE(refer->block_at(p)->m_Rotation, rotation == 8 ? -8 : rotation + 1);
    click(tl, t, p, GuiBand::Fourth);
    QCOMPARE(refer->block_at(p)->m_Mode, mode % 4 + 1);
    // One undo step per gesture: the three start markers, the shift and the mode.
    for (int i = 0; i < 5; ++i)
        QVERIFY(view()->run_command(40268));
    QCOMPARE(refer->block_at(p)->m_StartMarker, marker);
    QCOMPARE(refer->block_at(p)->m_Mode, mode);
}

void GuiViewTest::property_list_sets_values_with_their_ranges() {
    open("はじまりの朝");
    const std::string original = read_file(song());
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* t = track("セレスタ");
    QVERIFY(ed->set_cursor(t, 0, 0));
    GuiPropertyList* pl = view()->properties();
    pl->refresh();
    const int row = pl->row_of(20);  // 音長比
    QVERIFY(row >= 0);
    QVERIFY(pl->item(row, 1)->flags() & Qt::ItemIsEditable);
    // Typing in the cell, as the user would: 500 is stored as 120.
    pl->item(row, 1)->setText(QStringLiteral("500"));
    QCOMPARE(notes(t)->m_LRate, 120);
    QTest::qWait(10);
    QVERIFY(pl->set_text(20, QStringLiteral("2")));
    QCOMPARE(notes(t)->m_LRate, 4);
    // Display-only rows are not editable.
    QVERIFY(!(pl->item(pl->row_of(4), 1)->flags() & Qt::ItemIsEditable));
    // The octave choice list: choice 3 is octave 3 (stored 4).
    QTest::qWait(10);
    auto* box = pl->findChild<QComboBox*>(QStringLiteral("kv_property_19"));
    QVERIFY(box);
    QVERIFY(pl->set_choice(19, 3));
    QCOMPARE(int(notes(t)->m_Octave), 4);
    // Fewer beats would move notes: the question comes first, and No keeps the track.
    QTest::qWait(10);
    const int32_t beats = t->beats();
    int coarse = -1;
    for (int i = 0; i < 16 && coarse < 0; ++i) {
        MseqBlockWord w;
        if (t->property_choice(5, i, &w, nullptr) >= MCHOICE_ITEM && int32_t(w.m_Index) == 1)
            coarse = i;
    }
    QVERIFY(coarse >= 0);
    h->driver.box(QMessageBox::No);
    QVERIFY(!pl->set_choice(5, coarse));
    QCOMPARE(t->beats(), beats);
    QVERIFY(!h->driver.boxes.empty());
    QVERIFY(h->driver.boxes.back().text.startsWith(u("拍数を変更すると以下の影響が発生します。")));
    save();
    QVERIFY(read_file(song()) != original);
    // Adding a rhythm track asks for its sound first; a cancelled pop-up adds nothing.
    MedtTrack* part = track("パート");
    QVERIFY(part);
    QVERIFY(ed->set_cursor(part, 0, 0));
    const size_t tracks = ed->track_count();
    view()->timeline()->scripted_answers = {QStringLiteral("0")};
    QVERIFY(view()->run_command(40291));
    QCOMPARE(ed->track_count(), tracks + 1);
    view()->timeline()->scripted_answers = {QStringLiteral("-1")};  // the pop-up cancelled
    QVERIFY(!view()->run_command(40291));
    QCOMPARE(ed->track_count(), tracks + 1);
}

void GuiViewTest::property_list_follows_presses_and_shows_the_title() {
    open("はじまりの朝");
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* t = track("メロディ");
    QVERIFY(t);
    GuiPropertyList* pl = view()->properties();
    const int32_t p = 1;
    QVERIFY(!notes(t)->block_at(p));
    ed->set_cursor(t, p, p);
    pl->refresh();
    // The count row reads "[ N 個 ]".
    auto count = [pl] {
        const int row = pl->row_of(MROW_COUNT);
        return row < 0 ? -1 : pl->item(row, 1)->text().split(QLatin1Char(' '))[1].toInt();
    };
    const int before = count();
    QCOMPARE(size_t(before), notes(t)->blocks().size());
    // A press on the timeline places a note: the count in the list follows without a click.
    click(view()->timeline(), t, p, GuiBand::Anchor);
    QVERIFY(notes(t)->block_at(p));
    QTest::qWait(10);
    QCOMPARE(count(), before + 1);
    QVERIFY(view()->run_command(40268));  // undo
    QTest::qWait(10);
    QCOMPARE(count(), before);

    // The music's title shows what its macros make; editing it edits the stored text.
    QVERIFY(ed->set_cursor(ed->root(), 0, 0));
    pl->refresh();
    QVERIFY(pl->set_text(MROW_MUSIC_TITLE, QStringLiteral("%<entity> (%%)")));
    QTest::qWait(10);
    QTableWidgetItem* title = pl->item(pl->row_of(MROW_MUSIC_TITLE), 1);
    QVERIFY(title);
    QCOMPARE(title->text(), u("はじまりの朝 (%)"));
    QCOMPARE(title->data(Qt::EditRole).toString(), QStringLiteral("%<entity> (%%)"));
    // Typing in the cell stores the text typed, macros and all.
    title->setData(Qt::EditRole, QStringLiteral("%<entity>!"));
    QCOMPARE(ed->music()->m_Title, CkvString("%<entity>!"));
    QTest::qWait(10);
    QCOMPARE(pl->item(pl->row_of(MROW_MUSIC_TITLE), 1)->text(), u("はじまりの朝!"));
}

void GuiViewTest::chord_map_drop_on_a_chord_track() {
    open("はじまりの朝");
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* t = track("コード");
    QVERIFY(t);
    QVERIFY(ed->set_cursor(t, 0, 0));
    GuiPropertyList* pl = view()->properties();
    pl->refresh();
    pl->resize(400, 600);
    const int row = pl->row_of(16);
    QVERIFY(row >= 0);
    auto* chord = t->stored()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
    const MSEQ_ID before = chord->m_MapID;
    GuiRoomTree* tree = h->window().room_tree();
    auto drop = [&](const char* name) {
        QTreeWidgetItem* item = tree_item(tree, u(name));
        QVERIFY(item);
        // A drag starts with a press that selects the item.
        tree->setCurrentItem(item);
        std::unique_ptr<QMimeData> mime(tree->model()->mimeData({tree->indexFromItem(item, 0)}));
        QVERIFY(mime);
        const QPoint at = pl->visualItemRect(pl->item(row, 1)).center();
        pl->drop_mime(mime.get(), at);
    };
    QString shown;
    pl->status = [&shown](const QString& text) { shown = text; };
    // Another music is not a chord map, a leaf of the pattern book is not in the music's book:
    // both refused with a reason, the link stays.
    drop("パターン見本");
    QCOMPARE(chord->m_MapID, before);
    QVERIFY(!shown.isEmpty());
    shown.clear();
    drop("ピアノ・キーボード");
    QCOMPARE(chord->m_MapID, before);
    QVERIFY(!shown.isEmpty());
    drop("ニ長調");
    QCOMPARE(chord->m_MapID, MSEQ_ID((0x10005 & 0xFFFFF) + 0x200000));
    save();
    QVERIFY(read_file(song()).find("210005") != std::string::npos ||
            read_file(song()).find("0x00210005") != std::string::npos);
    // A right click clears the link.
    pl->refresh();
    QTest::mouseClick(pl->viewport(), Qt::RightButton, Qt::NoModifier,
                      pl->visualItemRect(pl->item(pl->row_of(16), 1)).center());
    QCOMPARE(chord->m_MapID, MSEQ_ID(0));
}

void GuiViewTest::track_list_drop_links_a_chord_track() {
    open("はじまりの朝");
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* t = track("セレスタ");
    MedtTrack* chords = track("コード");
    QVERIFY(t && chords);
    QVERIFY(ed->set_cursor(t, 0, 0));
    GuiPropertyList* pl = view()->properties();
    pl->refresh();
    const QPoint at = pl->visualItemRect(pl->item(pl->row_of(16), 1)).center();
    auto* note = t->stored()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
    note->m_TrackChordID = 0;
    QMimeData mime;
    // A track that is not in this music is refused.
    mime.setData(QString::fromLatin1(kGuiTrackMime), QByteArray::number(0x1000FFFu));
    QVERIFY(!pl->drop_mime(&mime, at));
    QCOMPARE(note->m_TrackChordID, MSEQ_ID(0));
    mime.setData(QString::fromLatin1(kGuiTrackMime), QByteArray::number(chords->id()));
    QVERIFY(pl->drop_mime(&mime, at));
    QCOMPARE(note->m_TrackChordID, MSEQ_ID((chords->id() & 0xFFFFF) + 0x100000));
    // The link row shows the linked track by name.
    QTest::qWait(10);
    QVERIFY(pl->item(pl->row_of(16), 1)->text().startsWith(u("コード")));
}

void GuiViewTest::track_list_renames_in_place() {
    open("はじまりの朝");
    MedtMusicInvoker* ed = view()->editor();
    GuiTimeline* tl = view()->timeline();
    MedtTrack* celesta = track("セレスタ");
    MedtTrack* melody = track("メロディ");
    QVERIFY(celesta && melody);
    const MSEQ_ID celesta_id = celesta->id(), melody_id = melody->id();
    // F2 on the current track opens the name editor over its name; Enter renames.
    QVERIFY(ed->set_cursor(celesta, 0, 0));
    tl->setFocus();
    QTest::keyClick(tl, Qt::Key_F2);
    QLineEdit* edit = tl->rename_editor();
    QVERIFY(edit);
    QCOMPARE(edit->text(), u("セレスタ"));
    QTest::keyClicks(edit, QStringLiteral("Celesta 2"));  // typing replaces the selected name
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY(!tl->rename_editor());
    QCOMPARE(ed->find_track(celesta_id)->node()->name, CkvString("Celesta 2"));
    // The property list's name row follows.
    GuiPropertyList* pl = view()->properties();
    QCOMPARE(pl->item(pl->row_of(1), 1)->text(), QStringLiteral("Celesta 2"));
    // A name is not undoable: the history stays empty.
    QVERIFY(ed->nothing_to_undo());
    // A double click on a name opens the editor too; Escape keeps the old name.
    const GuiRow* r = tl->row_of(ed->find_track(melody_id));
    QVERIFY(r);
    tl->verticalScrollBar()->setValue(r->top);
    const QPoint name_at(40, GuiTimeline::kRulerHeight + r->top - tl->verticalScrollBar()->value() +
                                 std::min(r->height, 20) / 2);
    QTest::mouseDClick(tl->viewport(), Qt::LeftButton, Qt::NoModifier, name_at);
    edit = tl->rename_editor();
    QVERIFY(edit);
    QCOMPARE(edit->text(), u("メロディ"));
    QTest::keyClicks(edit, QStringLiteral("Lead"));
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(!tl->rename_editor());
    QCOMPARE(ed->find_track(melody_id)->node()->name,
             CkvString(kv_codec::cp932_from_utf8("メロディ")));
    // An emptied name gives the track its type's name, as the editor renames.
    QTest::mouseDClick(tl->viewport(), Qt::LeftButton, Qt::NoModifier, name_at);
    QVERIFY(tl->rename_editor());
    QTest::keyClick(tl->rename_editor(), Qt::Key_Delete);
    QTest::keyClick(tl->rename_editor(), Qt::Key_Enter);
    const CkvString type_name = mseq_type_name(MTYPE_TRACK_NOTE);
    QCOMPARE(ed->find_track(melody_id)->node()->name, type_name);
    save();
    const std::string saved = read_file(song());
    QVERIFY(saved.find("\"Celesta 2\"") != std::string::npos);
    QVERIFY(saved.find("Lead") == std::string::npos);
    QVERIFY(saved.find(kv_codec::cp932_from_utf8("\"セレスタ\"")) == std::string::npos);
    QVERIFY(saved.find("0x00010004; MTYPE_TRACK_NOTE; \"" + std::string(type_name.c_str()) +
                       "\"") != std::string::npos);
}

void GuiViewTest::track_list_drag_moves_tracks() {
    open("はじまりの朝");
    MedtMusicInvoker* ed = view()->editor();
    const MSEQ_ID part = 0x12, header = 0x11, melody = track("メロディ")->id(),
                  celesta = track("セレスタ")->id(), tambourine = track("タンバリン")->id();
    const QStringList original = children(part);
    QCOMPARE(original.first(), u("メロディ"));
    // Upper half of a row: before it. One undo takes the move back.
    drop_on(celesta, ed->find_track(melody), 0.2);
    QCOMPARE(children(part).mid(0, 2), QStringList({u("セレスタ"), u("メロディ")}));
    QCOMPARE(children(part).size(), original.size());
    QVERIFY(view()->run_command(40268));
    QCOMPARE(children(part), original);
    QVERIFY(ed->nothing_to_undo());
    // Lower half: after it.
    drop_on(celesta, ed->find_track(melody), 0.8);
    QCOMPARE(children(part).mid(0, 2), QStringList({u("メロディ"), u("セレスタ")}));
    // The middle of a group's row: its last child.
    QVERIFY(ed->set_cursor(ed->find_track(part), 0, 0));
    QVERIFY(view()->run_command(40281));
    const MSEQ_ID group = ed->find_track(part)->last_child()->id();
    QCOMPARE(ed->find_track(group)->node()->type, MSEQ_TYPE(MTYPE_TRACK_GROUP));
    drop_on(tambourine, ed->find_track(group), 0.5);
    QCOMPARE(children(group), QStringList({u("タンバリン")}));
    // Refusals warn and change nothing: a group into its own member, the header, the part, a
    // note track into the header (its containment refuses it).
    const size_t boxes = h->driver.boxes.size();
    const QStringList before_part = children(part), before_header = children(header);
    drop_on(group, ed->find_track(tambourine), 0.8);
    drop_on(header, ed->find_track(melody), 0.8);
    drop_on(part, ed->find_track(header), 0.1);
    drop_on(melody, ed->find_track(header), 0.5);
    QCOMPARE(h->driver.boxes.size(), boxes + 4);
    for (size_t i = boxes; i < h->driver.boxes.size(); ++i) {
        QCOMPARE(h->driver.boxes[i].icon, QMessageBox::Warning);
        QVERIFY(h->driver.boxes[i].text.contains(u("移動できませんでした")));
    }
    QCOMPARE(children(part), before_part);
    QCOMPARE(children(header), before_header);
    QCOMPARE(children(group), QStringList({u("タンバリン")}));
    // Dropping a track on itself does nothing and says nothing.
    drop_on(celesta, ed->find_track(celesta), 0.2);
    QCOMPARE(h->driver.boxes.size(), boxes + 4);
    QCOMPARE(children(part), before_part);
    // The saved file keeps the new order and the new parent.
    save();
    const std::string saved = read_file(song());
    auto at = [&](const char* line) { return saved.find(kv_codec::cp932_from_utf8(line)); };
    const size_t melody_line = at("0x00000012; 0x00010004; MTYPE_TRACK_NOTE; \"メロディ\"");
    const size_t celesta_line = at("0x00000012; 0x0001000d; MTYPE_TRACK_NOTE; \"セレスタ\"");
    const size_t piano_line = at("0x00000012; 0x00010005; MTYPE_TRACK_NOTE; \"ピアノ 右手 下\"");
    QVERIFY(melody_line != std::string::npos && celesta_line != std::string::npos &&
            piano_line != std::string::npos);
    QVERIFY(melody_line < celesta_line && celesta_line < piano_line);
    const std::string in_group =
        QString::asprintf("0x%08x; 0x0001000e; MTYPE_TRACK_NOTE;", group & 0xFFFFF).toStdString();
    QVERIFY2(saved.find(in_group) != std::string::npos, in_group.c_str());
}

void GuiViewTest::track_list_names_carry_the_channel_with_track_information() {
    open("はじまりの朝");
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* melody = track("メロディ");
    MedtTrack* bass = track("ベース");
    QVERIFY(melody && bass);
    const int32_t channel = melody->stored()->get_channel();
    QVERIFY(channel >= 0);
    QVERIFY(ed->set_cursor(melody, 0, 0));
    GuiPropertyList* pl = view()->properties();
    auto name_row = [&] {
        pl->refresh();
        return pl->item(pl->row_of(1), 1)->text();
    };
    // The demo song shows track information: the note track's name carries its channel, a
    // phrase track's does not; the property list's name row keeps the plain name.
    QVERIFY(view()->action(40223)->isChecked());
    QCOMPARE(gui_text(melody->display_name()), u("メロディ [奏者%1]").arg(channel + 1));
    QCOMPARE(gui_text(bass->display_name()), u("ベース"));
    QCOMPARE(name_row(), u("メロディ"));
    QVERIFY(!view()->timeline()->viewport()->grab().isNull());
    // 40223 turns it off: the plain names, and the setting is saved with the music.
    QVERIFY(view()->run_command(40223));
    QCOMPARE(gui_text(track("メロディ")->display_name()), u("メロディ"));
    QCOMPARE(name_row(), u("メロディ"));
    QVERIFY(!view()->timeline()->viewport()->grab().isNull());
    // Renaming changes the name, not the channel text after it.
    QVERIFY(view()->run_command(40223));
    QVERIFY(ed->rename_track(track("メロディ")->id(), CkvString("Lead")));
    QCOMPARE(gui_text(track("Lead")->display_name()), u("Lead [奏者%1]").arg(channel + 1));
    QVERIFY(view()->run_command(40223));
    save();
    const std::string saved = read_file(song());
    QVERIFY(saved.find("0x00000763; 2;") != std::string::npos);
    QVERIFY(saved.find("\"Lead\"") != std::string::npos);
    QVERIFY(saved.find(kv_codec::cp932_from_utf8("奏者")) == std::string::npos);
}

void GuiViewTest::playing_locks_the_view_and_moves_the_play_cursor() {
    open("はじまりの朝");
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* t = track("セレスタ");
    QVERIFY(ed->set_cursor(t, 0, t->beats()));
    QVERIFY(h->window().run_command(ID_PLAY));
    QTRY_VERIFY_WITH_TIMEOUT(h->frame().playing(), 5000);
    QVERIFY(ed->read_only());
    // While playing, nothing edits: keys, commands and the property list.
    const size_t before = notes(t)->block_count();
    QTest::keyClick(view()->timeline(), Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(notes(t)->block_count(), before);
    QTRY_VERIFY_WITH_TIMEOUT(!view()->action(40261)->isEnabled(), 2000);
    QVERIFY(!(view()->properties()->item(view()->properties()->row_of(20), 1)->flags() &
              Qt::ItemIsEditable));
    // The play cursor follows the posted positions.
    QTRY_VERIFY_WITH_TIMEOUT(ed->play_cursor > 0, 5000);
    QVERIFY(h->window().run_command(ID_PLAY));  // F5 again stops
    QVERIFY(h->frame().wait_play_end(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!ed->read_only(), 2000);
    QTRY_VERIFY_WITH_TIMEOUT(view()->action(40261)->isEnabled(), 2000);
}

void GuiViewTest::chord_map_view_builds_minor_four_note_chords() {
    open("ハ長調");
    GuiChordMapView* v = h->window().editor_pane()->chord_view();
    QVERIFY(v->model());
    const std::string path = h->host("app/mymusic/demo/chord_c.kvnl");
    const std::string original = read_file(path);
    // No keeps the map.
    h->driver.box(QMessageBox::No);
    QVERIFY(!v->run_command(MEDT_CMD_PALETTE_MINOR4));
    QVERIFY(!(v->model()->map()->flags & MEF_MODIFIED));
    QVERIFY(!h->window().run_command(ID_FILE_SAVE));
    QCOMPARE(read_file(path), original);
    h->driver.box(QMessageBox::Yes);
    QAction* a = v->action(MEDT_CMD_PALETTE_MINOR4);
    QVERIFY(a && a->isEnabled());
    a->trigger();
    QVERIFY(h->driver.boxes.size() >= 2);
    QVERIFY(h->driver.boxes.back().text.startsWith(u("短調４和音のコードマップを作成します")));
    // Every degree of the middle octave holds a four-note chord, shown in the list.
    for (int degree = 0; degree < 7; ++degree) {
        const MedtChordRow r = v->model()->chord_row(12 + degree);
        QCOMPARE(gui_text(r.keys).split(QLatin1Char(' '), Qt::SkipEmptyParts).size(), 4);
        QCOMPARE(v->chord_list()->item(GuiChordMapView::row_of_slot(12 + degree), 5)->text(),
                 gui_text(r.keys));
    }
    save();
    QVERIFY(read_file(path) != original);
    // The key-name button goes round in three presses.
    const int mode = v->model()->key_name_mode();
    for (int i = 0; i < 3; ++i)
        v->run_command(MEDT_CMD_KEYNAME_CYCLE);
    QCOMPARE(v->model()->key_name_mode(), mode);
    QCOMPARE(h->driver.faults, std::vector<std::string>());
}

void GuiViewTest::scale_list_shows_every_value_whole() {
    open("ハ長調");
    QTableWidget* list = h->window().editor_pane()->chord_view()->scale_list();
    QVERIFY(list->rowCount() > 10);
    QApplication::processEvents();
    // Every name, key and count fits its column, and the key positions fit what is left of the
    // list's width, so no value is cut short at the window's usual size.
    const QFontMetrics fm = list->fontMetrics();
    int left = list->viewport()->width();
    for (int c = 0; c < list->columnCount(); ++c) {
        const int width = c + 1 < list->columnCount() ? list->columnWidth(c) : left;
        for (int r = 0; r < list->rowCount(); ++r)
            QVERIFY2(fm.horizontalAdvance(list->item(r, c)->text()) < width,
                     qPrintable(list->item(r, c)->text()));
        left -= width;
        // A long title is broken into lines that each fit the column, and is read on one line
        // in its tip.
        const QTableWidgetItem* title = list->horizontalHeaderItem(c);
        const QString shown = title->text();
        QCOMPARE(QString(shown).remove(QLatin1Char('\n')).remove(QLatin1Char(' ')),
                 QString(title->toolTip()).remove(QLatin1Char(' ')));
        QVERIFY2(shown.count(QLatin1Char('\n')) <= 1, qPrintable(shown));
        const QFontMetrics title_fm = list->horizontalHeader()->fontMetrics();
        for (const QString& line : shown.split(QLatin1Char('\n')))
            QVERIFY2(title_fm.horizontalAdvance(line) < list->horizontalHeader()->sectionSize(c),
                     qPrintable(line));
    }
}

void GuiViewTest::notes_are_named_in_the_key_name_display_of_their_chord_map() {
    // The melody's first pitched note, as its tool tip names it.
    const auto first_note_tip = [&]() -> QString {
        open("はじまりの朝");
        if (QTest::currentTestFailed()) return QStringLiteral("not opened");
        MedtTrack* t = track("メロディ");
        if (!t) return QStringLiteral("no melody");
        for (const auto& [pos, n] : notes(t)->blocks()) {
            if (n.m_Type != MNBT_PURE && n.m_Type != MNBT_TONE) continue;
            GuiTimeline* tl = view()->timeline();
            tl->horizontalScrollBar()->setValue(0);
            tl->verticalScrollBar()->setValue(tl->row_of(t)->top);
            tl->horizontalScrollBar()->setValue(std::max(
                0, tl->point_at(t, pos, GuiBand::Main).x() - GuiTimeline::kNameWidth - 50));
            return tl->tip_at(tl->point_at(t, pos, GuiBand::Main));
        }
        return QStringLiteral("no pitched note");
    };
    // The demo's C major map shows its keys as major keys: the melody reads ハ, ニ, ホ...
    const QString major = first_note_tip();
    QVERIFY2(u("ハニホへトイロ変嬰").contains(major.left(1)), qPrintable(major));
    QVERIFY(major.contains(u("ベロシティ")));

    open("ハ長調");
    GuiChordMapView* v = h->window().editor_pane()->chord_view();
    QVERIFY(v->model());
    QVERIFY(v->action(MEDT_CMD_KEYNAME_MAJOR)->isChecked());
    v->action(MEDT_CMD_KEYNAME_LETTER)->trigger();
    QCOMPARE(v->model()->key_name_mode(), 0);
    QVERIFY(v->action(MEDT_CMD_KEYNAME_LETTER)->isChecked());
    save();
    const std::string saved = read_file(h->host("app/mymusic/demo/chord_c.kvnl"));
    QVERIFY(saved.find(kv_codec::cp932_from_utf8("Ionian (長調)\"; 0; 0;")) != std::string::npos);
    // The same note by letter now, in the same octave.
    const QString letters = first_note_tip();
    QVERIFY2(QStringLiteral("CDEFGAB").contains(letters.left(1)), qPrintable(letters));
    const auto octave_and_rest = [](const QString& tip) {
        const int space = tip.indexOf(QLatin1Char(' '));
        QString octave;
        for (QChar c : tip.left(space))
            if (c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-')) octave += c;
        return octave + tip.mid(space);
    };
    QCOMPARE(octave_and_rest(letters), octave_and_rest(major));
    QCOMPARE(h->driver.faults, std::vector<std::string>());
}

void GuiViewTest::chord_editor_sets_a_chord_on_a_chord_track_and_in_a_chord_map() {
    open("はじまりの朝");
    const std::string original = read_file(song());
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* t = track("コード");
    QVERIFY(t);
    if (!view()->action(40237)->isChecked()) QVERIFY(view()->run_command(40237));
    auto* chords = t->stored()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
    const int32_t p = int32_t(chords->blocks().begin()->first);
    ed->set_cursor(t, p, p);
    GuiTimeline* tl = view()->timeline();
    int opened = 0;
    int keys_before = 0;
    // The editor opens on the chord in effect; adding the minor seventh and "セット" makes the
    // block a chord of its own with one key more.
    tl->run_chord_editor = [&](GuiChordEditor& dialog) {
        ++opened;
        keys_before = dialog.model().chord().key_count;
        QTest::mouseClick(dialog.key_cell(10), Qt::LeftButton);
        return dialog.model().chord().key_count == keys_before + 1;
    };
    click(tl, t, p, GuiBand::ChordName);
    QCOMPARE(opened, 1);
    const MseqBlockChord* b = chords->block_at(p);
    QVERIFY(b);
    QVERIFY(b->m_Flags & MCHORD_NO_KEY);
    QCOMPARE(b->key_count, keys_before + 1);
    save();
    QVERIFY(read_file(song()) != original);
    // Undo brings back the palette chord.
    QVERIFY(view()->run_command(40268));
    QVERIFY(!(chords->block_at(p)->m_Flags & MCHORD_NO_KEY));

    open("ハ長調");
    GuiChordMapView* v = h->window().editor_pane()->chord_view();
    const int before = int(gui_text(v->model()->chord_row(12).keys)
                               .split(QLatin1Char(' '), Qt::SkipEmptyParts)
                               .size());
    v->run_chord_editor = [&](GuiChordEditor& dialog) {
        QTest::mouseClick(dialog.key_cell(10), Qt::LeftButton);
        return true;
    };
    QTableWidget* list = v->chord_list();
    const int row = GuiChordMapView::row_of_slot(12);
    list->scrollToItem(list->item(row, 4));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(list->item(row, 4)).center());
    QCOMPARE(int(gui_text(v->model()->chord_row(12).keys)
                     .split(QLatin1Char(' '), Qt::SkipEmptyParts)
                     .size()),
             before + 1);
    QVERIFY(v->model()->map()->flags & MEF_MODIFIED);
}

void GuiViewTest::stage_map_view_changes_an_instrument() {
    open("バンド");
    GuiStageMapView* v = h->window().editor_pane()->stage_view();
    QVERIFY(v->model());
    const std::string path = h->host("app/mymusic/demo/stage.kvnl");
    const std::string original = read_file(path);
    QComboBox* box = v->instrument(0);
    QVERIFY(box && box->count() >= 128);
    const int index = box->findData(40);
    QVERIFY(index >= 0);
    QVERIFY(v->model()->field(0, MedtStageField::Program) != 40);
    box->setCurrentIndex(index);
    emit box->activated(index);
    QCOMPARE(v->model()->field(0, MedtStageField::Program), int64_t(40));
    // Typing a volume in place; out of range is clamped.
    v->parts()->item(0, 3)->setText(QStringLiteral("300"));
    QCOMPARE(v->model()->field(0, MedtStageField::Volume), int64_t(127));
    // The drum part lists kits, not melodic programs.
    QVERIFY(v->instrument(9)->count() < box->count());
    save();
    QVERIFY(read_file(path) != original);
}

void GuiViewTest::stage_map_right_click_toggles_sending() {
    open("バンド");
    GuiStageMapView* v = h->window().editor_pane()->stage_view();
    QVERIFY(v->model());
    QTableWidget* parts = v->parts();
    const std::string path = h->host("app/mymusic/demo/stage.kvnl");
    auto right_click = [&](int row, int column) {
        const QRect cell = parts->visualItemRect(parts->item(row, column));
        QVERIFY(!cell.isEmpty());
        QTest::mouseClick(parts->viewport(), Qt::RightButton, Qt::NoModifier, cell.center());
    };
    // Volume (column 3) of part 1 and reverb (column 5) of part 2 stop being sent; the
    // instrument of part 3, a right click on its drop-down, too; the drum part's kit as well.
    QVERIFY(v->model()->sends(0, MedtStageField::Volume));
    right_click(0, 3);
    QVERIFY(!v->model()->sends(0, MedtStageField::Volume));
    right_click(1, 5);
    QVERIFY(!v->model()->sends(1, MedtStageField::Reverb));
    QTest::mouseClick(v->instrument(2), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    QVERIFY(!v->model()->sends(2, MedtStageField::Program));
    QTest::mouseClick(v->instrument(9), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    QVERIFY(!v->model()->sends(9, MedtStageField::Kit));
    // A second right click sends it again; the switch columns and the part number do nothing.
    right_click(1, 5);
    QVERIFY(v->model()->sends(1, MedtStageField::Reverb));
    right_click(1, 1);
    right_click(1, 12);
    right_click(1, 0);
    QVERIFY(!v->toggle_send_at(1, 1));
    // A locked view (playing) changes nothing.
    v->set_locked(true);
    right_click(4, 3);
    QVERIFY(v->model()->sends(4, MedtStageField::Volume));
    v->set_locked(false);
    save();
    const std::string saved = read_file(path);
    // Part 1 lost the volume bit, part 3 the program bit, part 10 the kit's; part 2 is as it was.
    QVERIFY(saved.find("{  0; 0x00000ec1;") != std::string::npos);
    QVERIFY(saved.find("{  1; 0x00000fc1;") != std::string::npos);
    QVERIFY(saved.find("{  2; 0x00000f41;") != std::string::npos);
    QVERIFY(saved.find("{  4; 0x00000fc1;") != std::string::npos);
    QVERIFY(saved.find("{  9; 0x00000f41;") != std::string::npos);
}

void GuiViewTest::a_double_click_is_two_presses() {
    open("はじまりの朝");
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* t = track("セレスタ");
    QVERIFY(t);
    const MseqTrackNote* n = notes(t);
    const int32_t p = int32_t(n->blocks().begin()->first);
    const MseqBlockNote before = n->blocks().begin()->second;
    GuiTimeline* tl = view()->timeline();
    ed->set_cursor(t, p, p);
    tl->scroll_to_cursor();
    // The pitch row of the note's start: each press steps its letter up.
    const QPoint at = tl->viewport()->mapTo(tl->window(), tl->point_at(t, p, GuiBand::Main));
    QWindow* window = tl->window()->windowHandle();
    QVERIFY(window);
    // Two clicks far apart in time.
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, at);
    const int once = semitones(*n->block_at(p));
    QVERIFY(once != semitones(before));
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, at);
    const MseqBlockNote twice = *n->block_at(p);
    QVERIFY(semitones(twice) != once);
    const size_t groups = ed->history().group_count();
    QVERIFY(view()->run_command(40268));
    QVERIFY(view()->run_command(40268));
    QCOMPARE(semitones(*n->block_at(p)), semitones(before));
    // The same two clicks in quick succession, which the window reports as a press and a double
    // click: two presses, two undo steps.
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(semitones(*n->block_at(p)), semitones(twice));
    QCOMPARE(n->block_at(p)->m_Whole, twice.m_Whole);
    QCOMPARE(n->block_at(p)->m_Octave, twice.m_Octave);
    QCOMPARE(ed->history().group_count(), groups);
    QVERIFY(view()->run_command(40268));
    QCOMPARE(semitones(*n->block_at(p)), once);
    // A double click on a track's name still renames it.
    const QPoint name_at =
        tl->viewport()->mapTo(tl->window(), QPoint(40, tl->point_at(t, p, GuiBand::Main).y()));
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, name_at);
    QVERIFY(tl->rename_editor() && tl->rename_editor()->isVisible());
    QTest::keyClick(tl->rename_editor(), Qt::Key_Escape);
    QCOMPARE(semitones(*n->block_at(p)), once);
}

void GuiViewTest::redo_keys_and_menu_restore_the_saved_bytes() {
    open("はじまりの朝");
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* drums = track("タンバリン");
    QVERIFY(drums);
    const MseqTrackNote* n = notes(drums);
    QVERIFY(!n->blocks().empty());
    GuiTimeline* tl = view()->timeline();
    // First gesture: the first drum block is erased (a right press on its anchor).
    const int32_t first = int32_t(n->blocks().begin()->first);
    ed->set_cursor(drums, first, first);
    click(tl, drums, first, GuiBand::Anchor, Qt::RightButton);
    QVERIFY(!n->block_at(first));
    save();
    const std::string erased = read_file(song());
    // Second gesture: a drum note placed where there is none.
    int32_t free = first;
    while (n->block_at(free) || n->block_at(free + 1))
        ++free;
    ed->set_cursor(drums, free, free);
    click(tl, drums, free, GuiBand::Anchor);
    QVERIFY(n->block_at(free));
    save();
    const std::string placed = read_file(song());
    QVERIFY(placed != erased);

    tl->setFocus();
    QAction* redo = view()->action(40269);
    QVERIFY(redo);
    for (int round = 0; round < 2; ++round) {
        QTest::keyClick(tl, Qt::Key_Z, Qt::ControlModifier);
        save();
        QCOMPARE(read_file(song()), erased);
        // Ctrl+Shift+Z redoes the placement; it never takes back the erased drum block as a
        // second undo would.
        if (round == 0)
            QTest::keyClick(tl, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        else
            QTest::keyClick(tl, Qt::Key_Y, Qt::ControlModifier);
        save();
        QCOMPARE(read_file(song()), placed);
        QVERIFY(!n->block_at(first));
    }
    // The menu entry redoes as the keys do.
    QTest::keyClick(tl, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(redo->isEnabled());
    redo->trigger();
    save();
    QCOMPARE(read_file(song()), placed);
    // Nothing is left to redo: the key changes nothing, the music stays as saved.
    QTest::keyClick(tl, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!(ed->music()->flags & MEF_MODIFIED));
    QCOMPARE(ed->history().redo_group_count(), size_t(0));
    QVERIFY(n->block_at(free));
}

void GuiViewTest::screenshots_of_the_views() {
    h->window().resize(1600, 1000);
    open("はじまりの朝");
    QTest::qWait(50);
    QImage music = h->window().grab().toImage();
    QVERIFY(gui_picture_has_content(music, 30));
    gui_save_shot(music, QStringLiteral("music_view"));
    open("ハ長調");
    QTest::qWait(50);
    QImage chord = h->window().grab().toImage();
    QVERIFY(gui_picture_has_content(chord, 12));
    gui_save_shot(chord, QStringLiteral("chord_map_view"));
    open("バンド");
    QTest::qWait(50);
    QImage stage = h->window().grab().toImage();
    QVERIFY(gui_picture_has_content(stage, 12));
    gui_save_shot(stage, QStringLiteral("stage_map_view"));
}

void GuiViewTest::wheel_and_keys_zoom_scroll_and_fit() {
    h->window().resize(1600, 1000);
    open("はじまりの朝");
    const std::string original = read_file(song());
    MedtMusicInvoker* ed = view()->editor();
    QVERIFY(ed);
    GuiTimeline* tl = view()->timeline();
    tl->setFocus();
    QTest::qWait(20);
    QImage before = h->window().grab().toImage();
    gui_save_shot(before, QStringLiteral("music_view_before_zoom"));
    std::string unzoomed;
    QVERIFY(mrec_write_entity(ed->music(), &unzoomed));
    constexpr auto px = MedtViewScale::pixels;
    const int beat = int(ed->view_scale().beat_pixels());
    QCOMPARE(ed->view_scale().beat_units, px(12));
    // Ctrl+wheel zooms in at the pointer: the moment under it stays there.
    tl->horizontalScrollBar()->setValue(400);
    const QPoint at(GuiTimeline::kNameWidth + 300, GuiTimeline::kRulerHeight + 40);
    const double tick_before = double(at.x() - GuiTimeline::kNameWidth + 400) / beat;
    wheel(tl->viewport(), at, 1, Qt::ControlModifier);
    QCOMPARE(ed->view_scale().beat_units, px(16));
    const double tick_after =
        double(at.x() - GuiTimeline::kNameWidth + tl->horizontalScrollBar()->value()) / 16;
    QVERIFY2(std::abs(tick_after - tick_before) < 0.1,
             qPrintable(QStringLiteral("%1 %2").arg(tick_before).arg(tick_after)));
    wheel(tl->viewport(), at, -2, Qt::ControlModifier);
    QCOMPARE(ed->view_scale().beat_units, px(8));
    // Shift+wheel scrolls along the time, neither zooming nor scrolling the rows.
    tl->verticalScrollBar()->setValue(0);
    const int x = tl->horizontalScrollBar()->value();
    wheel(tl->viewport(), at, -1, Qt::ShiftModifier);
    QVERIFY(tl->horizontalScrollBar()->value() > x);
    QCOMPARE(tl->verticalScrollBar()->value(), 0);
    QCOMPARE(ed->view_scale().beat_units, px(8));
    // Keys: Ctrl+plus (with or without Shift, or as Ctrl+=) and Ctrl+minus.
    QTest::keyClick(tl, Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(ed->view_scale().beat_units, px(12));
    QTest::keyClick(tl, Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(ed->view_scale().beat_units, px(16));
    QTest::keyClick(tl, Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(ed->view_scale().beat_units, px(24));
    QTest::keyClick(tl, Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(tl, Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(ed->view_scale().beat_units, px(12));
    // Ctrl+0 fits the whole music into the timeline, from its start.
    QTest::keyClick(tl, Qt::Key_0, Qt::ControlModifier);
    const int room = tl->viewport()->width() - GuiTimeline::kNameWidth;
    const MedtTimelineLayout& lay = tl->layout();
    const int32_t fit = ed->view_scale().beat_units;
    QVERIFY(fit < px(12));
    QCOMPARE(tl->horizontalScrollBar()->value(), 0);
    QVERIFY2(lay.music_width() > 0 && lay.music_width() <= room,
             qPrintable(QStringLiteral("%1 of %2").arg(lay.music_width()).arg(room)));
    // One step of a beat's width more and the music to the end of its last bar would pass the
    // room, counted in those steps.
    QVERIFY2(lay.last_bar_end() * ed->display_beats * (fit + 1) >
                 int64_t{room} * MedtViewScale::kBeatFraction * MseqTrack::kTicksPerBar,
             qPrintable(QStringLiteral("%1 units").arg(fit)));
    QTest::qWait(20);
    QImage fitted = h->window().grab().toImage();
    QVERIFY(gui_picture_has_content(fitted, 30));
    gui_save_shot(fitted, QStringLiteral("music_view_fit"));
    // The menu's entries run the same commands; Ctrl+Shift+wheel makes the rows taller.
    QVERIFY(view()->action(MVC_ZOOM_IN));
    view()->action(MVC_ZOOM_IN)->trigger();
    QCOMPARE(ed->view_scale().beat_units, MedtViewScale::zoom_beat_width(fit, 1));
    MedtTrack* t = track("メロディ");
    QVERIFY(t);
    wheel(tl->viewport(), at, 1, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(ed->view_scale().row_height, 32);
    QCOMPARE(tl->row_of(t)->band(GuiBand::Main)->height, 32);
    view()->action(MVC_ROW_SHORTER)->trigger();
    QCOMPARE(ed->view_scale().row_height, 24);
    wheel(tl->viewport(), at, 1, Qt::ControlModifier | Qt::ShiftModifier);
    // A click still lands where the zoomed picture shows the track.
    const QPoint p = tl->point_at(t, 2, GuiBand::Main);
    QTest::mouseClick(tl->viewport(), Qt::LeftButton, Qt::NoModifier, p);
    QCOMPARE(ed->current(), t);
    QCOMPARE(ed->cursor(), 2);
    // Each music keeps its own zoom: another file and back.
    const MedtViewScale kept = ed->view_scale();
    open("ハ長調");
    open("はじまりの朝");
    QCOMPARE(view()->editor()->view_scale(), kept);
    // Zooming changed nothing of the music: not modified, and the bytes it would be saved as
    // are those of before the zoom.
    QCOMPARE(view()->editor()->music()->flags & MEF_MODIFIED, 0u);
    std::string written;
    QVERIFY(mrec_write_entity(view()->editor()->music(), &written));
    QVERIFY(written == unzoomed);
    QVERIFY(read_file(song()) == original);
    QCOMPARE(h->driver.faults, std::vector<std::string>());
}

void GuiViewTest::tips_name_pitch_and_note_values() {
    open("はじまりの朝");
    MedtTrack* t = track("メロディ");
    QVERIFY(t);
    GuiTimeline* tl = view()->timeline();
    tl->verticalScrollBar()->setValue(tl->row_of(t)->top);
    const auto& [pos, n] = *notes(t)->blocks().begin();
    tl->horizontalScrollBar()->setValue(
        std::max(0, tl->point_at(t, pos, GuiBand::Main).x() - GuiTimeline::kNameWidth - 50));
    const QString tip = tl->tip_at(tl->point_at(t, pos, GuiBand::Main));
    QVERIFY2(tip.contains(u("音高 ")) && tip.contains(u("(ノート番号 ")), qPrintable(tip));
    QVERIFY2(tip.contains(u("分音符")) || tip.contains(u("小節")), qPrintable(tip));
    QVERIFY2(tip.contains(u("ベロシティ %1").arg(n.m_Velocity)), qPrintable(tip));
}

void GuiViewTest::fit_shows_a_long_music_to_its_last_bar() {
    h->window().resize(1920, 1080);
    open("はじまりの朝");
    MedtMusicInvoker* ed = view()->editor();
    GuiTimeline* tl = view()->timeline();
    const MedtTimelineLayout& lay = tl->layout();
    tl->setFocus();
    MedtTrack* t = track("メロディ");
    QVERIFY(t);
    // After a fit, the end of the last bar is inside the viewport and a click on the music's
    // last block lands on it.
    auto fits = [&](int32_t last_block) {
        QTest::keyClick(tl, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(tl->horizontalScrollBar()->value(), 0);
        const int end_x = GuiTimeline::kNameWidth + lay.tick_x(lay.last_bar_end());
        QVERIFY2(end_x > tl->viewport()->width() * 9 / 10 && end_x < tl->viewport()->width(),
                 qPrintable(QStringLiteral("%1 of %2").arg(end_x).arg(tl->viewport()->width())));
        const QPoint at = tl->point_at(t, last_block, GuiBand::Main);
        QVERIFY(at.x() >= GuiTimeline::kNameWidth && at.x() < tl->viewport()->width());
        QTest::mouseClick(tl->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(ed->current(), t);
        QCOMPARE(ed->cursor(), last_block);
    };
    const MseqTrackNote* n = notes(t);
    QVERIFY(!n->blocks().empty());
    const int32_t demo_last = int32_t(std::prev(n->blocks().end())->first);
    fits(demo_last);
    QVERIFY(ed->view_scale().beat_units < MedtViewScale::pixels(12));
    // The same music made 1000 bars long by a note in its last unit: many beats to a pixel.
    const int32_t last = 1000 * t->beats() - 1;
    MseqBlockNote note;
    note.m_Length = 1;
    QVERIFY(t->set_block(last, &note));
    QVERIFY(lay.music_ticks() >= 1000 * MseqTrack::kTicksPerBar);
    fits(last);
    QVERIFY(ed->view_scale().beat_units < MedtViewScale::kBeatFraction / 4);
    QTest::qWait(20);
    QImage fitted = h->window().grab().toImage();
    QVERIFY(gui_picture_has_content(fitted, 30));
    gui_save_shot(fitted, QStringLiteral("music_view_fit_1000_bars"));
    // Zooming in at the pointer from there keeps working: the tick under it stays.
    const QPoint pointer(GuiTimeline::kNameWidth + 700, GuiTimeline::kRulerHeight + 10);
    const int64_t tick = lay.x_tick(pointer.x() - GuiTimeline::kNameWidth);
    wheel(tl->viewport(), pointer, 3, Qt::ControlModifier);
    const int64_t after =
        lay.x_tick(pointer.x() - GuiTimeline::kNameWidth + tl->horizontalScrollBar()->value());
    QVERIFY2(std::abs(after - tick) <= MseqTrack::kTicksPerBar,
             qPrintable(QStringLiteral("%1 %2").arg(tick).arg(after)));
}

void GuiViewTest::property_list_fits_its_rows_and_keeps_a_dragged_width() {
    h->window().resize(1920, 1080);
    h->window().restore_placement();
    open("はじまりの朝");
    MedtTrack* t = track("メロディ");
    QVERIFY(t);
    view()->editor()->set_cursor(t, 0, 0);
    QTest::qWait(20);
    auto* split = view()->findChild<QSplitter*>(QStringLiteral("kv_music_split"));
    QVERIFY(split);
    GuiPropertyList* list = view()->properties();
    // Wide enough for the melody's rows, within the bounds, the timeline taking the rest.
    const int width = split->sizes().value(1);
    QVERIFY2(width >= std::min(list->content_width(), kPropertyWidthMax) &&
                 width >= kPropertyWidthMin && width <= kPropertyWidthMax,
             qPrintable(QStringLiteral("%1 for %2").arg(width).arg(list->content_width())));
    QVERIFY(split->sizes().value(0) > 1920 - kTreeWidthMax - kPropertyWidthMax - 40);
    // A widening of the window goes to the timeline.
    h->window().resize(1800, 1000);
    QTest::qWait(20);
    QCOMPARE(split->sizes().value(1), width);
    // Dragged wider by the handle, the width is kept in its setting file.
    QSplitterHandle* handle = split->handle(1);
    const QPoint mid = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, mid);
    QTest::mouseMove(handle, mid - QPoint(40, 0));
    QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, mid - QPoint(40, 0));
    const int dragged = split->sizes().value(1);
    QVERIFY2(dragged > width, qPrintable(QStringLiteral("%1 %2").arg(dragged).arg(width)));
    const std::string file = h->host("app/define/property-width.cfg");
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(read_file(file)),
                              QString::fromStdString(mapp_property_width_setting_text(dragged)),
                              3000);
    // Other tracks no longer change it.
    MedtTrack* chords = track("コード");
    QVERIFY(chords);
    view()->editor()->set_cursor(chords, 0, 0);
    QTest::qWait(20);
    QCOMPARE(split->sizes().value(1), dragged);
}

void GuiViewTest::a_press_on_a_note_row_sounds_its_key() {
    open("はじまりの朝");
    MedtTrack* t = track("メロディ");
    QVERIFY(t);
    const MseqTrackNote* n = notes(t);
    const int32_t p = 1;
    QVERIFY(!n->block_at(p));
    view()->editor()->set_cursor(t, p, p);
    h->midi.clear_log();
    click(view()->timeline(), t, p, GuiBand::Anchor);
    QVERIFY(n->block_at(p));
    // The key playback resolves for the new note, on the track's channel.
    MplyAudition expected;
    QVERIFY(expected.resolve_note(view()->editor()->music(), t->id(), p));
    QCOMPARE(expected.notes().size(), size_t{1});
    const int channel = mseq_effective_channel(t->stored());
    QCOMPARE(int(expected.notes()[0].channel), channel);
    auto heard = [this](int status, int key) {
        for (const auto& r : h->midi.log()) {
            if (r.what == kv_midi::midi_out_recorder::kind::short_message && r.bytes.size() >= 2 &&
                r.bytes[0] == status && r.bytes[1] == key)
                return true;
        }
        return false;
    };
    const int key = expected.notes()[0].key;
    QVERIFY(heard(0x90 | channel, key));
    // The window's timer sends the note-off once its time is up.
    QTRY_VERIFY_WITH_TIMEOUT(heard(0x80 | channel, key), 3000);
}

// Typing with real keys: N starts typing, letters enter notes with the selector's value, Esc
// ends it and the view's own keys (E, Backspace) are theirs again.
void GuiViewTest::typed_notes_on_a_tone_track_in_the_key_of_d() {
    open("はじまりの朝");
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* t = track("メロディ");
    QVERIFY(t);
    const MseqTrackNote* n = notes(t);
    // The demo changes into D major later on: the first bar start of the melody in D.
    int32_t at = 0;
    while (MedtNoteEntry::tone_key_at(*n, at) != 2 && at < 4096)
        at += t->beats();
    QCOMPARE(MedtNoteEntry::tone_key_at(*n, at), 2);
    ed->set_cursor(t, at, at);
    GuiTimeline* tl = view()->timeline();
    tl->setFocus();
    QTest::keyClick(tl, Qt::Key_T);  // tone notes
    QCOMPARE(ed->music()->m_NoteState, int32_t(MNBT_TONE));
    QTest::keyClick(tl, Qt::Key_N);
    QVERIFY(tl->typing());
    QVERIFY(view()->action(MVC_TYPE_NOTES)->isChecked());
    QCOMPARE(view()->value_selector()->currentText(), u("4分音符"));
    QTest::keyClick(tl, Qt::Key_E);
    QTest::keyClick(tl, Qt::Key_G);
    // A quarter is two steps of the melody's eighths; E and G in D are its second and fourth.
    QCOMPARE(ed->cursor(), at + 4);
    const MseqBlockNote* e = n->block_at(at);
    const MseqBlockNote* g = n->block_at(at + 2);
    QVERIFY(e && g);
    QCOMPARE(int(e->m_Type), int(MNBT_TONE));
    QCOMPARE(int(e->m_Whole), 1);
    QCOMPARE(int(g->m_Whole), 3);
    // As they sound: the letter above the key's D plus the track's octave 6.
    QCOMPARE(mseq_letter_offset(e->m_Whole) + 12 * (e->m_Octave + n->m_Octave) + e->m_Semi + 2, 76);
    QCOMPARE(mseq_letter_offset(g->m_Whole) + 12 * (g->m_Octave + n->m_Octave) + g->m_Semi + 2, 79);
    // An eighth from its key, then a sharp after it: F# is the key's third, E.
    QTest::keyClick(tl, Qt::Key_4, Qt::AltModifier);
    QCOMPARE(view()->value_selector()->currentText(), u("8分音符"));
    QTest::keyClick(tl, 'f');
    QTest::keyClick(tl, '#');
    const MseqBlockNote* f_sharp = n->block_at(at + 4);
    QVERIFY(f_sharp);
    QCOMPARE(f_sharp->m_Length, 1);
    QCOMPARE(int(f_sharp->m_Whole), 2);
    QCOMPARE(int(f_sharp->m_Semi), 0);
    // Backspace takes that note away (the view's delete-before would move the notes after it).
    const MseqBlockNote* after = n->block_at(at + 8);
    const int32_t after_length = after ? after->m_Length : -1;
    QTest::keyClick(tl, Qt::Key_Backspace);
    QVERIFY(!n->block_at(at + 4));
    QCOMPARE(ed->cursor(), at + 4);
    QCOMPARE(n->block_at(at + 8) ? n->block_at(at + 8)->m_Length : -1, after_length);
    save();
    const std::string bytes = read_file(song());
    const QString saved = QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    for (const auto& [pos, whole] : {std::pair{at, 1}, std::pair{at + 2, 3}}) {
        const QRegularExpression line(
            QStringLiteral("\\{\\s*%1; 0x00; MNBT_TONE; 2; 0; 0; 0; %2; 0; 100; \\}")
                .arg(pos)
                .arg(whole));
        QVERIFY2(saved.contains(line), qPrintable(line.pattern()));
    }
    // Esc ends typing: E is the pure-note key of the view again.
    QTest::keyClick(tl, Qt::Key_Escape);
    QVERIFY(!tl->typing());
    QVERIFY(!view()->action(MVC_TYPE_NOTES)->isChecked());
    QTest::keyClick(tl, Qt::Key_E);
    QCOMPARE(ed->music()->m_NoteState, int32_t(MNBT_PURE));
    QVERIFY(!n->block_at(at + 4));
    QCOMPARE(h->driver.faults, std::vector<std::string>());
}

// The resolved-pitch lane of a chord-degree track: its bars are the player's keys for the
// visible range, painted under the row; a chord erased by a right press re-voices the lane at
// once; hiding it gives the row its height back.
void GuiViewTest::the_lane_shows_what_plays_and_follows_a_chord_change() {
    open("はじまりの朝");
    MedtMusicInvoker* ed = view()->editor();
    MedtTrack* piano = track("ピアノ 右手 下");
    MedtTrack* chords = track("コード");
    QVERIFY(piano && chords);
    if (!view()->action(MVC_SHOW_CHORD)->isChecked()) QVERIFY(view()->run_command(MVC_SHOW_CHORD));
    GuiTimeline* tl = view()->timeline();
    const int height_before = tl->row_of(piano)->height;
    QVERIFY(!tl->row_of(piano)->band(GuiBand::Lane));
    ed->set_cursor(piano, 32, 32);
    emit tl->cursor_moved();
    QVERIFY(!view()->action(MVC_LANE)->isChecked());
    view()->action(MVC_LANE)->trigger();
    QVERIFY(view()->action(MVC_LANE)->isChecked());
    QVERIFY(tl->row_of(piano)->band(GuiBand::Lane));
    QVERIFY(tl->row_of(piano)->height > height_before);
    // Bar 4 of the music, where the piano starts, at the left of the timeline.
    const MedtTimelineLayout& layout = tl->layout();
    tl->horizontalScrollBar()->setValue(layout.tick_x(4 * MseqTrack::kTicksPerBar) - 20);
    tl->verticalScrollBar()->setValue(tl->row_of(piano)->top);

    // The lane's bars against the player's keys for the visible ticks, laid out the same way.
    auto check = [&](const char* when, std::vector<MedtLaneBar>* out) {
        const GuiRow* row = tl->row_of(piano);
        QVERIFY2(row && row->band(GuiBand::Lane), when);
        const int sx = tl->horizontalScrollBar()->value();
        const int w = tl->viewport()->width() - GuiTimeline::kNameWidth;
        const MplyResolvedKeys expected =
            MplyKeyLane::resolve_track(*ed->music(), piano->id(), int32_t(layout.x_tick(sx)),
                                       int32_t(layout.x_tick(sx + w)) + 1);
        QVERIFY2(!expected.notes.empty(), when);
        QVERIFY2(!expected.map_missing, when);
        const auto want = layout.lane_bars(expected, MedtTimelineLayout::lane_axis(*row),
                                           MedtTimelineLayout::lane_top(*row), sx, sx + w);
        const auto got = layout.lane_bars(*row, sx, sx + w);
        QCOMPARE(got.size(), want.size());
        for (size_t i = 0; i < got.size(); ++i) {
            QVERIFY2(got[i].box == want[i].box, when);
            QCOMPARE(got[i].key, want[i].key);
            QCOMPARE(got[i].chord_tone, want[i].chord_tone);
            QCOMPARE(got[i].block_type, want[i].block_type);
        }
        // Painted: the middle of each bar is in its colour, not the lane's background.
        const QImage shot = tl->viewport()->grab().toImage();
        const QPoint o(GuiTimeline::kNameWidth - sx,
                       GuiTimeline::kRulerHeight - tl->verticalScrollBar()->value());
        const QColor back =
            shot.pixelColor(o + QPoint(sx + w - 2, MedtTimelineLayout::lane_top(*row)));
        int painted = 0;
        for (const MedtLaneBar& b : got) {
            const QPoint mid = o + QPoint((b.box.left + b.box.right) / 2, b.box.top + 1);
            if (!shot.rect().contains(mid)) continue;
            QVERIFY2(shot.pixelColor(mid) != back, when);
            ++painted;
        }
        QVERIFY2(painted > 0, when);
        *out = got;
    };
    std::vector<MedtLaneBar> before;
    check("shown", &before);
    if (QTest::currentTestFailed()) return;
    // The tip of a bar names its key.
    const QPoint o(GuiTimeline::kNameWidth - tl->horizontalScrollBar()->value(),
                   GuiTimeline::kRulerHeight - tl->verticalScrollBar()->value());
    const MedtLaneBar& first = before.front();
    const QString tip = tl->tip_at(o + QPoint(first.box.left, first.box.top + 1));
    QVERIFY2(tip.startsWith(gui_text(MedtLaneSet::key_name(first.key))), qPrintable(tip));
    QVERIFY2(!tip.contains(u("コードマップが見つからない")), qPrintable(tip));

    // A right press on the chord of bar 4 erases it: the chord before it sounds on.
    // (The chord track has two chords a bar: bar 4 starts at its position 8.)
    auto* chord_track = chords->stored()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
    QVERIFY(chord_track->block_at(8));
    ed->set_cursor(chords, 8, 8);
    click(tl, chords, 8, GuiBand::ChordName, Qt::RightButton);
    QVERIFY(!chord_track->block_at(8));
    tl->horizontalScrollBar()->setValue(layout.tick_x(4 * MseqTrack::kTicksPerBar) - 20);
    tl->verticalScrollBar()->setValue(tl->row_of(piano)->top);
    std::vector<MedtLaneBar> after;
    check("after the chord was erased", &after);
    if (QTest::currentTestFailed()) return;
    bool moved = after.size() != before.size();
    for (size_t i = 0; !moved && i < after.size(); ++i)
        moved = after[i].key != before[i].key;
    QVERIFY(moved);

    // A chord map that is nowhere: the lane shows what playback then plays, and its tip says so.
    const MSEQ_ID map = chord_track->m_MapID;
    chord_track->m_MapID = mseq_with_file_number(0x7777, 2);
    tl->relayout();
    const MplyResolvedKeys* lost = ed->lanes.keys(piano->id());
    QVERIFY(lost && lost->map_missing);
    const int sx = tl->horizontalScrollBar()->value();
    const MplyResolvedKeys played =
        MplyKeyLane::resolve_track(*ed->music(), piano->id(), int32_t(layout.x_tick(sx)),
                                   int32_t(layout.x_tick(sx + 100)) + 1);
    QVERIFY(played.map_missing);
    const GuiRow* lane_row = tl->row_of(piano);
    const QPoint lane_at(GuiTimeline::kNameWidth + 100,
                         GuiTimeline::kRulerHeight - tl->verticalScrollBar()->value() +
                             lane_row->top + lane_row->band(GuiBand::Lane)->top + 1);
    const QString lost_tip = tl->tip_at(lane_at);
    QVERIFY2(lost_tip.contains(u("コードマップが見つからない")), qPrintable(lost_tip));
    chord_track->m_MapID = map;
    tl->relayout();
    QVERIFY(!ed->lanes.keys(piano->id())->map_missing);

    // Hidden again from the menu, on the piano's lane: the row as it was.
    ed->set_cursor(piano, 32, 32);
    emit tl->cursor_moved();
    QVERIFY(view()->action(MVC_LANE)->isChecked());
    view()->action(MVC_LANE)->trigger();
    QVERIFY(!view()->action(MVC_LANE)->isChecked());
    QVERIFY(!tl->row_of(piano)->band(GuiBand::Lane));
    QCOMPARE(tl->row_of(piano)->height, height_before);
    QCOMPARE(h->driver.faults, std::vector<std::string>());
}

QTEST_MAIN(GuiViewTest)
#include "GuiViewTest.moc"
