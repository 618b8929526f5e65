#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edit/EditFixture.h"
#include "edit/MedtMetrics.h"
#include "edit/MedtTrackKinds.h"
#include "edit/MedtViewCommands.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackNote.h"

namespace editor_model_test {

class EditorModel : public EditFixture {
protected:
    // "NO:STYLE:GROUP" of every row of a track's property list.
    std::string rows(MseqObject* node) {
        std::vector<MedtProperty> list;
        editor->find_track(node->id)->build_properties(list);
        std::string out;
        for (const MedtProperty& p : list) {
            if (!out.empty()) out += ' ';
            char buf[32];
            std::snprintf(buf, sizeof buf, "%d:%x:%d", p.number, p.style, p.group);
            out += buf;
        }
        return out;
    }
    std::string text(MseqObject* node, int32_t number) {
        return editor->find_track(node->id)->property_text(number, nullptr).str();
    }
};

TEST_F(EditorModel, TrackWhoseBeatsDoNotDivideTheDisplayShowsTheMismatch) {
    MseqObject* three = add_note(3);
    MseqObject* four = add_note(4);
    open();
    MedtTrack* t3 = editor->find_track(three->id);
    EXPECT_FALSE(t3->shown());
    EXPECT_EQ(t3->unit_width(), 0);
    EXPECT_EQ(t3->mismatch_text().str(),
              sjis("表示拍数 ( 16 ) にトラックの拍数 ( 3 ) が一致しません。"));
    MedtTrack* t4 = editor->find_track(four->id);
    EXPECT_TRUE(t4->shown());
    EXPECT_TRUE(t4->mismatch_text().empty());
    EXPECT_EQ(t4->pos_x(1), 4 * MedtMetrics::shared().beat_width);
}

TEST_F(EditorModel, MovingBetweenTracksKeepsTheTime) {
    MseqObject* sixteen = add_note(16, "a");
    add_note(3, "skipped");  // not drawn at 16 display beats: passed over
    MseqObject* four = add_note(4, "b");
    open();
    ASSERT_TRUE(editor->set_cursor(editor->find_track(sixteen->id), 8, 8));
    EXPECT_EQ(editor->action(MACT_TRACK_NEXT), 1);
    EXPECT_EQ(editor->current()->id(), four->id);
    EXPECT_EQ(editor->cursor(), 2);
    EXPECT_EQ(editor->selection_end(), 2);
    EXPECT_EQ(editor->action(MACT_TRACK_PREV), 1);
    EXPECT_EQ(editor->current()->id(), sixteen->id);
    EXPECT_EQ(editor->cursor(), 8);
}

TEST_F(EditorModel, TimeIsKeptAcrossACoarserRowUntilTheCursorIsSetAgain) {
    MseqObject* fine = add_note(16, "fine");
    MseqObject* group = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 1, "group");
    MseqObject* inner = add(group, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 4, "inner");
    open();
    editor->set_cursor(editor->find_track(fine->id), 8, 8);
    editor->action(MACT_TRACK_NEXT);
    EXPECT_EQ(editor->current()->id(), group->id);
    EXPECT_EQ(editor->cursor(), 0);  // the group's one beat is the bar
    editor->action(MACT_TRACK_NEXT);
    EXPECT_EQ(editor->current()->id(), inner->id);
    EXPECT_EQ(editor->cursor(), 2);
    // A cursor move on the track starts from the new position: 3 of 4 beats is 12 of 16.
    editor->action(MACT_RIGHT);
    editor->action(MACT_TRACK_PREV);
    editor->action(MACT_TRACK_PREV);
    EXPECT_EQ(editor->current()->id(), fine->id);
    EXPECT_EQ(editor->cursor(), 12);
}

TEST_F(EditorModel, EditorTrackSetBlockPostsACommand) {
    MseqObject* n = add_note(16);
    open();
    const MseqBlockNote block = note(2, 3);
    EXPECT_EQ(editor->find_track(n->id)->set_block(6, &block), 1);
    EXPECT_EQ(notes(n), "6:2+3");
    EXPECT_EQ(editor->history().size(), 1u);
    editor->edit_flags |= MEDT_READ_ONLY;
    EXPECT_EQ(editor->find_track(n->id)->set_block(7, &block), 0);
    EXPECT_EQ(notes(n), "6:2+3");
}

TEST_F(EditorModel, CursorActionsOnOneTrack) {
    MseqObject* n = add_note(16);
    note_track(n)->put_block(20, note(1, 4));  // length 24
    open();
    MedtTrack* t = editor->find_track(n->id);
    struct Case {
        int32_t pos, end;
        int action;
        int32_t want_pos, want_end;
    };
    const Case cases[] = {
        {5, 5, MACT_LEFT, 4, 4},
        {0, 0, MACT_LEFT, 0, 0},
        {5, 9, MACT_LEFT, 5, 5},
        {9, 5, MACT_RIGHT, 9, 9},
        {5, 5, MACT_RIGHT, 6, 6},
        {5, 5, MACT_EXTEND_LEFT, 5, 4},
        {5, 5, MACT_EXTEND_RIGHT, 5, 6},
        {8, 8, MACT_STEP_LEFT, 4, 4},
        {8, 8, MACT_STEP_RIGHT, 12, 12},
        {8, 8, MACT_EXTEND_STEP_RIGHT, 8, 12},
        {2, 2, MACT_EXTEND_STEP_LEFT, 2, 0},
        {5, 7, MACT_HOME, 0, 0},
        {5, 7, MACT_END, 24, 24},
        {5, 7, MACT_EXTEND_HOME, 5, 0},
        {5, 7, MACT_EXTEND_END, 5, 24},
        {5, 7, MACT_SELECT_ALL, 0, 24},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(editor->set_cursor(t, c.pos, c.end));
        EXPECT_EQ(editor->action(c.action), 1) << c.action;
        EXPECT_EQ(editor->cursor(), c.want_pos) << c.action << " from " << c.pos;
        EXPECT_EQ(editor->selection_end(), c.want_end) << c.action << " from " << c.pos;
    }
    // The cursor box covers the selection in pixels.
    editor->set_cursor(t, 2, 6);
    EXPECT_EQ(editor->cursor_rect().left, 2 * MedtMetrics::shared().beat_width);
    EXPECT_EQ(editor->cursor_rect().right, 6 * MedtMetrics::shared().beat_width);
}

TEST_F(EditorModel, TypedValuesAreClampedIntoTheirRanges) {
    MseqObject* n = add_note(16);
    MseqObject* r = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 16, "r");
    MseqObject* m = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_MSG, 16, "m");
    open();
    struct Case {
        MseqObject* node;
        int32_t number;
        int32_t typed;
        const char* shown;
    };
    const Case cases[] = {
        {n, 20, 2, "4 [%]"},      {n, 20, 500, "120 [%]"},
        {n, 20, 77, "77 [%]"},    {n, 21, -300, "-240 [tick]"},
        {n, 21, 17, "17 [tick]"}, {n, 22, 999, "240 [tick]"},
        {n, 23, -5, "0 [%]"},     {n, 23, 201, "200 [%]"},
        {n, 19, 0, "0"},          {n, 19, 12, "8"},
        {r, 17, -3, "-2"},        {r, 18, 241, "240 [tick]"},
        {r, 19, 300, "200 [%]"},  {m, 17, -241, "-240 [tick]"},
        {m, 18, 300, "200 [%]"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(set_property(c.node, c.number, c.typed), MCMD_DONE);
        EXPECT_EQ(text(c.node, c.number), c.shown) << c.number << " typed " << c.typed;
    }
    EXPECT_EQ(note_track(n)->m_Octave, 9);  // octave 8 is stored as 9
}

TEST_F(EditorModel, NoteKindKeepsEditorChoiceAndClampsTheRest) {
    MseqObject* n = add_note(16);
    open();
    struct Case {
        uint32_t set;
        uint32_t stored;
    };
    const Case cases[] = {{0x8000, 0x8000}, {6, 5}, {0, 1}, {4, 4}, {0x7FFF, 5}};
    for (const Case& c : cases) {
        set_property(n, 17, static_cast<int32_t>(c.set));
        EXPECT_EQ(note_track(n)->m_NoteType, c.stored) << c.set;
    }
}

TEST_F(EditorModel, ChoicesComeInTableOrderWithTheCurrentMarked) {
    MseqObject* n = add_note(16);
    open();
    MedtTrack* t = editor->find_track(n->id);
    const int32_t beats[16] = {1, 2, 4, 8, 16, 32, 64, 3, 6, 12, 24, 48, 5, 10, 15, 20};
    for (int32_t i = 0; i < 16; ++i) {
        MseqBlockWord v;
        CkvString s;
        EXPECT_EQ(t->property_choice(5, i, &v, &s),
                  beats[i] == 16 ? MCHOICE_CURRENT : MCHOICE_ITEM);
        EXPECT_EQ(static_cast<int32_t>(v.m_Index), beats[i]);
        EXPECT_EQ(s.str(), std::to_string(beats[i]));
    }
    EXPECT_EQ(t->property_choice(5, 16, nullptr, nullptr), MCHOICE_PAST_END);
    const char* kinds[5] = {"エディタで選択した音符", "メロディ音符", "コード音符", "リズム音符",
                            "ピュア音符"};
    const uint32_t values[5] = {0x8000, 2, 4, 5, 1};
    for (int32_t i = 0; i < 5; ++i) {
        MseqBlockWord v;
        CkvString s;
        EXPECT_EQ(t->property_choice(17, i, &v, &s), i == 0 ? MCHOICE_CURRENT : MCHOICE_ITEM);
        EXPECT_EQ(v.m_Index, values[i]);
        EXPECT_EQ(s.str(), sjis(kinds[i]));
    }
    MseqBlockWord octave;
    CkvString shown;
    EXPECT_EQ(t->property_choice(19, 3, &octave, &shown), MCHOICE_ITEM);
    EXPECT_EQ(octave.m_Index, 4u);
    EXPECT_EQ(shown.str(), "3");
    EXPECT_EQ(t->property_choice(19, 4, nullptr, nullptr), MCHOICE_CURRENT);  // default 5
    EXPECT_EQ(t->property_choice(19, 9, nullptr, nullptr), MCHOICE_PAST_END);
    EXPECT_EQ(t->property_choice(20, 0, nullptr, nullptr), MCHOICE_NONE);
}

TEST_F(EditorModel, PropertyListsOfEachFamily) {
    MseqObject* n = add_note(16);
    MseqObject* g = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 1, "g");
    MseqObject* member = add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16, "member");
    MseqObject* chord = add(music->header(), MPLACE_LAST_CHILD, MTYPE_TRACK_CHORD, 4, "c");
    MseqObject* lyric = add(music->header(), MPLACE_LAST_CHILD, MTYPE_TRACK_LYRIC, 4, "l");
    MseqObject* free_text = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_TEXT, 1, "x");
    open();
    const std::string seq = "1:800:1 2:800:1 3:800:1 4:800:1 5:200:1";
    EXPECT_EQ(rows(n), seq +
                           " 10:200:2 11:300:2 12:100:2 13:100:2 16:400:3 17:200:1 18:300:1 "
                           "19:200:1 20:100:1 21:100:1 22:100:1 23:100:1");
    // Inside a group the channel rows are display only: the group's channel rules.
    EXPECT_EQ(rows(member), seq +
                                " 10:800:1 11:800:1 12:800:1 13:800:1 16:400:3 17:200:1 "
                                "18:300:1 19:200:1 20:100:1 21:100:1 22:100:1 23:100:1");
    EXPECT_EQ(rows(g), "1:800:1 2:800:1 3:800:1 10:200:2 11:300:2 12:100:2 13:100:2 16:400:3");
    EXPECT_EQ(rows(chord), seq + " 16:400:3");
    EXPECT_EQ(rows(lyric), seq);
    EXPECT_EQ(rows(free_text), "1:800:1 2:800:1 3:800:1");
    EXPECT_EQ(rows(music->root()),
              "1:800:1 2:800:1 3:800:1 16:100:1 17:100:1 18:400:3 19:400:3 20:400:3 21:100:1 "
              "22:100:1 23:100:1");
    // A member's channel rows show the group's channel and refuse changes.
    mseq_track_of(g)->set_channel(6);
    EXPECT_EQ(text(member, 10), "7");
    EXPECT_EQ(set_property(member, 10, 2), MCMD_FAILED);
    EXPECT_EQ(set_property(n, 10, 2), MCMD_DONE);
    EXPECT_EQ(text(n, 10), "3");
}

TEST_F(EditorModel, TextsOfCountsIdentifiersAndLinks) {
    MseqObject* n = add_note(16, "melody");
    MseqObject* chord = add(music->header(), MPLACE_LAST_CHILD, MTYPE_TRACK_CHORD, 4, "chords");
    note_track(n)->put_block(0, note(1));
    note_track(n)->put_block(5, note(1));
    open();
    EXPECT_EQ(text(n, 1), "melody");
    EXPECT_EQ(text(n, 2), [&] {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%08xh", n->id);
        return std::string(buf);
    }());
    EXPECT_EQ(text(n, 3), mseq_type_name(MTYPE_TRACK_NOTE).str());
    EXPECT_EQ(text(n, 4), sjis("[ 2 個 ]"));
    EXPECT_EQ(text(n, 16), "");
    auto link = mcmd_make<McmdSetProperty>(n->id, 16, MseqBlockWord(0, 0, chord->id));
    editor->execute(link.get());
    EXPECT_EQ(link->state, MCMD_DONE);
    char want[64];
    std::snprintf(want, sizeof want, "chords [ID: %08xh]", (chord->id & 0xFFFFF) + 0x100000);
    EXPECT_EQ(text(n, 16), want);
    // Only a chord track of the music can be linked.
    auto wrong = mcmd_make<McmdSetProperty>(n->id, 16, MseqBlockWord(0, 0, n->id));
    editor->execute(wrong.get());
    EXPECT_EQ(wrong->state, MCMD_FAILED);
}

TEST_F(EditorModel, TreeMirrorsTheMusicWithOneEditorTrackPerStoredTrack) {
    MseqObject* g = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 1, "g");
    add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16, "a");
    add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 16, "b");
    add(music->header(), MPLACE_LAST_CHILD, MTYPE_TRACK_TEMPO, 4, "t");
    add(music->header(), MPLACE_LAST_CHILD, MTYPE_TRACK_CHORD_MAP, 4, "k");
    open();
    EXPECT_EQ(editor->track_count(), music->tracks.size());
    MseqObject* s = music->root();
    MedtTrack* e = editor->root();
    for (; s && e; s = s->next_in(music->root()), e = e->next_in(editor->root())) {
        EXPECT_EQ(e->id(), s->id);
        EXPECT_EQ(e->node(), s);
        const int depth_s = [&] {
            int d = 0;
            for (auto* p = s; p->parent(); p = p->parent())
                ++d;
            return d;
        }();
        const int depth_e = [&] {
            int d = 0;
            for (auto* p = e; p->parent(); p = p->parent())
                ++d;
            return d;
        }();
        EXPECT_EQ(depth_e, depth_s);
    }
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(e, nullptr);
    EXPECT_NE(dynamic_cast<MedtTrackGroup*>(editor->find_track(g->id)), nullptr);
    EXPECT_NE(dynamic_cast<MedtTrackRoot*>(editor->root()), nullptr);
}

TEST_F(EditorModel, ViewSettingsAreBroughtIntoRangeAtAttachment) {
    struct Case {
        int32_t gxb, gpm, note, show;
        int32_t want_gxb, want_gpm, want_note, want_show;
    };
    const Case cases[] = {
        {7, 3, 0, 0, 16, 16, 1, 0x1000763},
        {4, 0, 9, 0x800, 4, 1, 5, 0xB02},
        {4, 100, 3, 0x1, 4, 7, 3, 0x703},
        {12, 12, 2, 0x400, 12, 12, 2, 0x702},
    };
    for (const Case& c : cases) {
        music->m_GxB = c.gxb;
        music->m_GpM = c.gpm;
        music->m_NoteState = c.note;
        music->m_ShowState = c.show;
        open();
        EXPECT_EQ(editor->display_beats, c.want_gxb);
        EXPECT_EQ(music->m_GxB, c.want_gxb);
        EXPECT_EQ(music->m_GpM, c.want_gpm);
        EXPECT_EQ(editor->bar_grid, c.want_gpm);
        EXPECT_EQ(music->m_NoteState, c.want_note);
        EXPECT_EQ(music->m_ShowState, c.want_show) << std::hex << c.show;
        editor = nullptr;
    }
}

TEST_F(EditorModel, PlayCursorInBarsBeatsAndTicks) {
    music->m_BlankBar = 1;
    open();
    editor->set_play_tick(1920 * 3 + 480 + 60);
    int32_t bar = 0, beat = 0, tick = 0;
    editor->play_position(&bar, &beat, &tick);
    EXPECT_EQ(bar, 3);    // bar 4 counted from 1, less one blank bar
    EXPECT_EQ(beat, 5);   // 16 display beats a bar: a quarter note is four beats
    EXPECT_EQ(tick, 60);  // one display beat is 120 ticks
    editor->set_play_range(1920 + 700, 1920 * 5 - 1);
    EXPECT_EQ(editor->play_range[0], 16 * 12);
    EXPECT_EQ(editor->play_range[1], 4 * 16 * 12);
}

// A view that records the protocol and can veto or carry out commands itself.
class RecordingView : public MedtView {
public:
    int validate(MgenCommand*) override {
        log += "v";
        return veto ? 0 : 1;
    }
    int execute(MgenCommand*) override {
        log += "x";
        return take_over ? 1 : 0;
    }
    void finish(MgenCommand*) override { log += "f"; }
    void modified() override { log += "m"; }
    bool veto = false;
    bool take_over = false;
    std::string log;
};

class EditorView : public EditFixture {};

TEST_F(EditorView, TheViewMayVetoOrCarryOutACommandAndHearsTheRest) {
    MseqObject* n = add_note(16);
    open();
    RecordingView view;
    editor->view = &view;
    const MseqBlockNote a = note(1);
    view.veto = true;
    EXPECT_EQ(set_block(n, 0, &a), MCMD_DECLINED);
    EXPECT_EQ(view.log, "vf");
    view.veto = false;
    view.take_over = true;
    view.log.clear();
    EXPECT_EQ(set_block(n, 0, &a), MCMD_DONE);
    EXPECT_EQ(view.log, "vxf");
    EXPECT_EQ(notes(n), "");  // the view carried it out: the editor did nothing
    view.take_over = false;
    view.log.clear();
    EXPECT_EQ(set_block(n, 0, &a), MCMD_DONE);
    EXPECT_EQ(view.log, "vxmf");  // the first change marks the music modified
    view.log.clear();
    EXPECT_EQ(set_block(n, 1, &a), MCMD_DONE);
    EXPECT_EQ(view.log, "vxf");
    editor->view = nullptr;
}

TEST_F(EditorModel, MusicRootValuesAreClamped) {
    open();
    struct Case {
        int32_t number;
        int32_t typed;
        const char* shown;
    };
    const Case cases[] = {{21, 2, "4"},     {21, 2000, "1024"}, {21, 96, "96"}, {22, 20, "12"},
                          {22, -13, "-12"}, {23, 9, "4"},       {23, -1, "0"}};
    for (const Case& c : cases) {
        EXPECT_EQ(set_property(music->root(), c.number, c.typed), MCMD_DONE);
        EXPECT_EQ(text(music->root(), c.number), c.shown) << c.number << " " << c.typed;
    }
    auto title = mcmd_make<McmdSetProperty>(music->root()->id, 16,
                                            MseqBlockWord(0, 0, 0, CkvString("%<book> 1")));
    editor->execute(title.get());
    EXPECT_EQ(music->m_Title, "%<book> 1");
    EXPECT_TRUE(editor->root()->property_is_text(16));
    EXPECT_FALSE(editor->root()->property_is_text(21));
    // Links to what the music cannot reach are refused.
    EXPECT_EQ(set_property(music->root(), 18, 0x10110009), MCMD_FAILED);
    EXPECT_EQ(set_property(music->root(), 20, 0x110001), MCMD_FAILED);
}

TEST_F(EditorModel, NoteTrackNamesCarryTheirChannelWhileTrackInformationIsShown) {
    MseqObject* solo = add_note(16, "solo");
    note_track(solo)->m_Channel = 2;
    MseqObject* group = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 1, "drums");
    dynamic_cast<MseqTrackGroup*>(mseq_track_of(group))->m_Channel = 9;
    MseqObject* member = add(group, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16, "kick");
    note_track(member)->m_Channel = 4;  // inside a group the group's channel is the one played
    MseqObject* phrase = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 4, "bass");
    open();
    struct Case {
        MseqObject* node;
        const char* shown;  // the display name with track information on
    };
    const Case cases[] = {
        {solo, "solo [奏者3]"},
        {member, "kick [奏者10]"},
        {group, "drums"},  // only note tracks carry the channel in their name
        {phrase, "bass"},
    };
    for (const uint32_t show : {0x1000763u, 0x763u}) {
        music->m_ShowState = static_cast<int32_t>(show);
        for (const Case& c : cases) {
            MedtTrack* t = editor->find_track(c.node->id);
            const std::string plain = c.node->name.str();
            EXPECT_EQ(t->display_name().str(), (show & MSHOW_TRACK_INFO) ? sjis(c.shown) : plain)
                << plain;
            // The name itself and the property list's name row never carry it.
            EXPECT_EQ(t->name().str(), plain);
            EXPECT_EQ(text(c.node, 1), plain);
        }
    }
}

}  // namespace editor_model_test
