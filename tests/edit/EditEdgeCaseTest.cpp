// The edge cases of the sequence, track-tree and property commands, each checked on the bytes a
// save would write: right after the command (against the same music built directly through the
// model) and again after undo (against the bytes before the command). Refusals must leave the
// bytes as they were, record nothing and show their warning word for word.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "edit/EditFixture.h"
#include "edit/McmdMusic.h"
#include "edit/McmdSeqs.h"
#include "model/block/MseqBlockRefer.h"
#include "model/theory/MseqMapWord.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "text/MrecCompiler.h"

namespace edit_edge_case_test {

const char* const kSong = "0:1+2 4:2+1 6:3+3 9:4+1 12:5+1";

class EditEdgeCases : public EditFixture {
protected:
    // Puts "index:whole+length ..." notes on a note track.
    static void put_notes(MseqObject* node, const std::string& layout) {
        std::istringstream in(layout);
        for (std::string item; in >> item;) {
            const size_t colon = item.find(':'), plus = item.find('+');
            note_track(node)->put_block(std::stoi(item.substr(0, colon)),
                                        note(std::stoi(item.substr(colon + 1, plus - colon - 1)),
                                             std::stoi(item.substr(plus + 1))));
        }
    }

    // The bytes of a music that `build` makes in a fresh music, after an editor was opened and
    // closed on it (so that its view settings are those an editor leaves).
    std::string built_bytes(const std::function<void()>& build) {
        MseqMusic* saved = music;
        music = new MseqMusic(nullptr);
        build();
        ref_ptr<MedtMusicInvoker>::adopt(new MedtMusicInvoker(music, nullptr, nullptr));
        const std::string out = bytes();
        music->release();
        music = saved;
        return out;
    }
    // The bytes of a music with one 16-beat note track "lead" holding `layout`.
    std::string song_bytes(const std::string& layout) {
        return built_bytes([&] { put_notes(add_note(16, "lead"), layout); });
    }

    int act(MseqObject* node, int32_t pos, int32_t end, int code) {
        editor->set_cursor(editor->find_track(node->id), pos, end);
        return editor->action(code);
    }
    // The warnings shown so far, without the "warn:" label.
    std::vector<std::string> warnings() const {
        std::vector<std::string> out;
        for (const std::string& line : port.log) {
            if (line.rfind("warn:", 0) == 0) out.push_back(line.substr(5));
        }
        return out;
    }
};

TEST_F(EditEdgeCases, SequenceEditsWriteTheExpectedBytesAndUndoRestoresThem) {
    struct Case {
        const char* what;
        int32_t copy_from, copy_to;  // a copy made first; copy_from < 0: none
        int32_t pos, end;
        int action;
        const char* after;
    };
    const Case cases[] = {
        {"cut [4, 8)", -1, 0, 4, 8, MACT_CUT, "0:1+2 4:3+1 5:4+1 8:5+1"},
        {"cut reversed [8, 4)", -1, 0, 8, 4, MACT_CUT, "0:1+2 4:3+1 5:4+1 8:5+1"},
        {"cut reaching past the end", -1, 0, 10, 30, MACT_CUT, "0:1+2 4:2+1 6:3+3 9:4+1"},
        {"paste of four units into [2, 6)", 8, 12, 2, 6, MACT_PASTE,
         "0:1+2 2:3+1 3:4+1 6:3+3 9:4+1 12:5+1"},
        {"paste at a point", 4, 6, 2, 2, MACT_PASTE, "0:1+2 2:2+1 6:2+1 8:3+3 11:4+1 14:5+1"},
        {"paste past the end", 4, 6, 20, 20, MACT_PASTE, "0:1+2 4:2+1 6:3+3 9:4+1 12:5+1 20:2+1"},
        {"overwrite limited to a shorter selection", 0, 8, 12, 14, MACT_OVERWRITE,
         "0:1+2 4:2+1 6:3+3 9:4+1 12:1+2"},
        {"overwrite from a point", 0, 8, 10, 10, MACT_OVERWRITE,
         "0:1+2 4:2+1 6:3+3 9:4+1 10:1+2 14:2+1 16:3+2"},
        {"erase a selection", -1, 0, 5, 7, MACT_DELETE, "0:1+2 4:2+1 7:3+2 9:4+1 12:5+1"},
        {"delete one unit", -1, 0, 4, 4, MACT_DELETE, "0:1+2 5:3+3 8:4+1 11:5+1"},
        {"delete the unit before", -1, 0, 5, 5, MACT_DELETE_BEFORE, "0:1+2 5:3+3 8:4+1 11:5+1"},
        {"space inside a note", -1, 0, 7, 7, MACT_SPACE, "0:1+2 4:2+1 6:3+4 10:4+1 13:5+1"},
        {"cut starting inside a note", -1, 0, 1, 4, MACT_CUT, "0:1+1 1:2+1 3:3+3 6:4+1 9:5+1"},
        {"paste inside a note", 4, 6, 1, 1, MACT_PASTE,
         "0:1+1 1:2+1 3:1+1 6:2+1 8:3+3 11:4+1 14:5+1"},  // the note is cut in two
        {"paste at the start of a note", 4, 6, 4, 4, MACT_PASTE,
         "0:1+2 4:2+1 6:2+1 8:3+3 11:4+1 14:5+1"},
        {"erase starting inside a note", -1, 0, 1, 5, MACT_DELETE, "0:1+1 6:3+3 9:4+1 12:5+1"},
        {"erase inside a note", -1, 0, 7, 8, MACT_DELETE, "0:1+2 4:2+1 6:3+1 8:3+1 9:4+1 12:5+1"},
        {"overwrite starting inside a note", 4, 6, 1, 1, MACT_OVERWRITE,
         "0:1+1 1:2+1 4:2+1 6:3+3 9:4+1 12:5+1"},
        {"overwrite ending inside a note", 0, 8, 4, 7, MACT_OVERWRITE,
         "0:1+2 4:1+2 7:3+2 9:4+1 12:5+1"},
        {"paste over a selection inside notes", 4, 6, 7, 10, MACT_PASTE,
         "0:1+2 4:2+1 6:3+1 7:2+1 11:5+1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MseqObject* n = add_note(16, "lead");
        put_notes(n, kSong);
        open();
        const std::string before = bytes();
        if (c.copy_from >= 0) {
            ASSERT_EQ(act(n, c.copy_from, c.copy_to, MACT_COPY), 1);
        }
        EXPECT_EQ(act(n, c.pos, c.end, c.action), 1);
        EXPECT_EQ(notes(n), c.after);
        EXPECT_EQ(bytes(), song_bytes(c.after));
        EXPECT_EQ(editor->history().group_count(), 1u);
        editor->undo();
        EXPECT_EQ(bytes(), before);
        EXPECT_EQ(editor->nothing_to_undo(), 1);
        editor = nullptr;
        music->remove_track(n->id);
        port.log.clear();
    }
}

TEST_F(EditEdgeCases, EmptySelectionsCopyAndCutNothingAndRecordNothing) {
    MseqObject* n = add_note(16, "lead");
    put_notes(n, kSong);
    open();
    const std::string before = bytes();
    ASSERT_EQ(act(n, 4, 5, MACT_COPY), 1);
    EXPECT_EQ(notes(&seq_clip), "0:2+1");
    for (int code : {MACT_COPY, MACT_CUT}) {
        EXPECT_EQ(act(n, 9, 9, code), 1) << code;  // reported as done
        EXPECT_EQ(notes(&seq_clip), "0:2+1") << code;
        EXPECT_EQ(bytes(), before) << code;
    }
    EXPECT_EQ(editor->nothing_to_undo(), 1);
}

TEST_F(EditEdgeCases, BeatsThatDoNotDivideRefuseEveryEditEvenWithAFittingClipboard) {
    // Two 4-beat groups of the same shape: in "fits" the members' beats (16, 8) are multiples of
    // 4; in "odd" (16, 6) their common divisor 2 is not.
    MseqObject* fits = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 4, "fits");
    MseqObject* f16 = add(fits, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16, "a");
    add(fits, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 8, "b");
    MseqObject* odd = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 4, "odd");
    MseqObject* o16 = add(odd, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16, "a");
    add(odd, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 6, "b");
    put_notes(f16, "1:3+2");
    put_notes(o16, "4:1+2 9:2+1");
    open();
    ASSERT_EQ(act(fits, 0, 1, MACT_COPY), 1);  // a clipboard of the right shape
    ASSERT_EQ(notes(seq_clip.first_child()), "1:3+2");
    const std::string before = bytes();
    for (int code : {MACT_COPY, MACT_CUT, MACT_PASTE, MACT_OVERWRITE, MACT_DELETE,
                     MACT_DELETE_BEFORE, MACT_SPACE}) {
        // An empty copy or cut stores nothing and is done; everything else is refused.
        const bool empty_is_done = code == MACT_COPY || code == MACT_CUT;
        EXPECT_EQ(act(odd, 1, 1, code), empty_is_done ? 1 : 0) << code;
        EXPECT_EQ(act(odd, 0, 1, code), 0) << code;
        EXPECT_EQ(bytes(), before) << code;
    }
    EXPECT_EQ(notes(seq_clip.first_child()), "1:3+2");  // the refused copy kept the clipboard
    EXPECT_EQ(editor->nothing_to_undo(), 1);
    EXPECT_TRUE(warnings().empty());
    // The same clipboard pastes into the group whose beats divide.
    EXPECT_EQ(act(fits, 1, 1, MACT_PASTE), 1);
    EXPECT_EQ(notes(f16), "1:3+2 5:3+2");  // group unit 1 is unit 4 of the member
}

TEST_F(EditEdgeCases, RefusedTrackCommandsKeepTheBytesRecordNothingAndWarnWordForWord) {
    const std::string cannot_add = sjis("選択位置にトラックを追加できませんでした。");
    const std::string cannot_delete = sjis("選択しているトラックを削除できませんでした。");
    const std::string cannot_paste = sjis(
        "選択しているトラックを貼り付けられませんでした。。\n\n※ "
        "コピーされていません。または、この位置に複製できません。");
    MseqObject* group = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 1, "g");
    MseqObject* member = add(group, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16, "m");
    put_notes(member, "2:4+2");
    // Fill the music up to its 256 track nodes.
    while (music->tracks.size() < MseqMusic::kMaxTracks)
        ASSERT_NE(add_note(8, "filler"), nullptr);
    open();
    EXPECT_EQ(editor->command(40274), 1);  // nothing selected yet: ignored
    EXPECT_TRUE(port.log.empty());
    editor->set_cursor(editor->find_track(group->id), 0, 0);
    ASSERT_EQ(editor->command(40274), 1);  // copy the group (never recorded)
    ASSERT_TRUE(warnings().empty());
    const std::string before = bytes();
    struct Case {
        const char* what;
        MseqObject* selected;
        int command;
        const std::string* warning;
    };
    const Case cases[] = {
        {"a 257th track", music->detail(), 40290, &cannot_add},
        {"a 257th group", music->detail(), 40281, &cannot_add},
        {"a group under a note track", member, 40281, &cannot_add},
        {"deleting the part", music->detail(), 40273, &cannot_delete},
        {"deleting the header", music->header(), 40273, &cannot_delete},
        {"pasting a group under a note track", member, 40275, &cannot_paste},
        {"pasting beyond 256 tracks", music->detail(), 40275, &cannot_paste},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        port.log.clear();
        port.answers = {true};
        ASSERT_TRUE(editor->set_cursor(editor->find_track(c.selected->id), 0, 0));
        EXPECT_EQ(editor->command(c.command), 1);
        EXPECT_EQ(warnings(), std::vector<std::string>{*c.warning});
        EXPECT_EQ(bytes(), before);
        EXPECT_EQ(editor->nothing_to_undo(), 1);
    }
    // A deletion answered No asks, changes nothing and warns about nothing.
    port.log.clear();
    port.answers = {false};
    editor->set_cursor(editor->find_track(member->id), 0, 0);
    EXPECT_EQ(editor->command(40273), 1);
    ASSERT_EQ(port.log.size(), 1u);
    EXPECT_EQ(port.log[0],
              "ask:" + sjis("トラックを削除します。よろしいですか？\n\nID\t0x00110002\n"
                            "名前\tm\n種類\t音符トラック"));
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(editor->nothing_to_undo(), 1);
}

TEST_F(EditEdgeCases, AGroupNeverMovesIntoItselfOrItsMembers) {
    MseqObject* group = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 1, "g");
    MseqObject* member = add(group, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16, "m");
    MseqObject* other = add_note(4, "o");
    open();
    const std::string before = bytes();
    struct Case {
        MseqObject* anchor;
        int place;
    };
    const Case cases[] = {{group, MPLACE_FIRST_CHILD}, {group, MPLACE_LAST_CHILD},
                          {member, MPLACE_AFTER},      {member, MPLACE_BEFORE},
                          {member, MPLACE_LAST_CHILD}, {other, MPLACE_LAST_CHILD}};
    for (const Case& c : cases) {
        auto move = mcmd_make<McmdMoveLeafs>(group->id, c.anchor->id, c.place);
        editor->execute(move.get());
        EXPECT_EQ(move->state, MCMD_FAILED) << c.anchor->name.str() << " " << c.place;
        EXPECT_EQ(bytes(), before);
        EXPECT_EQ(editor->nothing_to_undo(), 1);
    }
    // The root, the header and the part never move.
    const MseqObject* fixed[][2] = {{music->detail(), music->header()},
                                    {music->header(), music->detail()},
                                    {music->root(), music->detail()}};
    for (const auto& [node, anchor] : fixed) {
        for (int place = MPLACE_AFTER; place <= MPLACE_LAST_CHILD; ++place) {
            auto refused = mcmd_make<McmdMoveLeafs>(node->id, anchor->id, place);
            editor->execute(refused.get());
            EXPECT_EQ(refused->state, MCMD_FAILED) << node->id << " " << place;
        }
    }
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(editor->nothing_to_undo(), 1);
    // A move the rules allow: the bytes are those of the music built in the new order.
    auto move = mcmd_make<McmdMoveLeafs>(other->id, member->id, MPLACE_BEFORE);
    editor->execute(move.get());
    ASSERT_EQ(move->state, MCMD_DONE);
    const std::string moved = built_bytes([&] {
        MseqObject* g = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 1, "g");
        MseqObject* m = add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16, "m");
        MseqObject* o = add_note(4, "o");
        ASSERT_TRUE(music->move_track(o->id, m->id, MPLACE_BEFORE, false, nullptr));
    });
    EXPECT_EQ(bytes(), moved);
    editor->undo();
    EXPECT_EQ(bytes(), before);
}

TEST_F(EditEdgeCases, DeletingAGroupWritesTheMusicWithoutItAndUndoBringsItBack) {
    auto build = [&](bool with_group) {
        MseqObject* g = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_GROUP, 1, "g");
        put_notes(add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, 16, "a"), "3:2+2");
        add(g, MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 8, "b");
        put_notes(add_note(4, "after"), "1:1+1");
        if (!with_group) music->remove_track(g->id);
        return g;
    };
    MseqObject* g = build(true);
    open();
    const std::string before = bytes();
    editor->set_cursor(editor->find_track(g->id), 0, 0);
    port.answers = {true};
    EXPECT_EQ(editor->command(40273), 1);
    EXPECT_TRUE(warnings().empty());
    EXPECT_EQ(bytes(), built_bytes([&] { build(false); }));
    editor->undo();
    EXPECT_EQ(bytes(), before);  // members back with their identifiers
}

TEST_F(EditEdgeCases, OnlyTheBeatsChangeIsUndoable) {
    struct Case {
        const char* what;
        bool on_root;
        int32_t property;
        MseqBlockWord value;
        std::function<void(MseqMusic*, MseqTrackNote*)> expect;
        bool undoable;
    };
    const Case cases[] = {
        {"rename", false, 1, MseqBlockWord(0, 0, 0, CkvString("solo")),
         [](MseqMusic* m, MseqTrackNote* t) {
             m->find_track(t->owner->id)->name = CkvString("solo");
             t->name = CkvString("solo");
         },
         false},
        {"start lag", false, 21, MseqBlockWord(0, 0, 100),
         [](MseqMusic*, MseqTrackNote* t) { t->m_STime = 100; }, false},
        {"end lag", false, 22, MseqBlockWord(0, 0, static_cast<uint32_t>(-50)),
         [](MseqMusic*, MseqTrackNote* t) { t->m_ETime = -50; }, false},
        {"tempo", true, 21, MseqBlockWord(0, 0, 150),
         [](MseqMusic* m, MseqTrackNote*) { m->m_Tempo = 150; }, false},
        {"beats", false, 5, MseqBlockWord(0, 0, 8),
         [](MseqMusic*, MseqTrackNote* t) {
             MseqGridCounts counts;
             t->change_grid(8, false, &counts);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MseqObject* n = add_note(16, "lead");
        put_notes(n, "0:1+2 4:2+2 8:3+4");  // on even positions: halving asks nothing
        open();
        const std::string before = bytes();
        auto command =
            mcmd_make<McmdSetProperty>(c.on_root ? music->root()->id : n->id, c.property, c.value);
        editor->execute(command.get());
        EXPECT_EQ(command->state, MCMD_DONE);
        EXPECT_TRUE(port.log.empty());
        const std::string expected = built_bytes([&] {
            MseqObject* e = add_note(16, "lead");
            put_notes(e, "0:1+2 4:2+2 8:3+4");
            c.expect(music, note_track(e));
        });
        EXPECT_EQ(bytes(), expected);
        EXPECT_TRUE(music->flags & MEF_MODIFIED);
        EXPECT_EQ(editor->nothing_to_undo(), c.undoable ? 0 : 1);
        editor->undo();
        EXPECT_EQ(bytes(), c.undoable ? before : expected);
        editor = nullptr;
        music->remove_track(n->id);
        MseqDesk::instance().modified.erase(music);
        music->flags &= ~MEF_MODIFIED;
        music->m_Tempo = 120;
    }
}

TEST_F(EditEdgeCases, ClipboardsOutliveTheMusicTheyWereFilledFrom) {
    // Copy a range and a track in a first music, close it, then paste both into this one.
    {
        auto* first = new MseqMusic(nullptr);
        std::swap(first, music);
        MseqObject* lead = add_note(16, "lead");
        put_notes(lead, kSong);
        open();
        editor->set_cursor(editor->find_track(lead->id), 4, 10);
        ASSERT_EQ(editor->action(MACT_COPY), 1);
        ASSERT_EQ(editor->command(40274), 1);
        editor = nullptr;
        std::swap(first, music);
        first->release();  // the nodes the copies came from are gone
    }
    MseqObject* n = add_note(16, "mine");
    put_notes(n, "0:7+1");
    open();
    const std::string before = bytes();
    EXPECT_EQ(act(n, 1, 1, MACT_PASTE), 1);
    editor->set_cursor(editor->find_track(music->detail()->id), 0, 0);
    EXPECT_EQ(editor->command(40275), 1);
    EXPECT_TRUE(warnings().empty());
    const std::string expected = built_bytes([&] {
        put_notes(add_note(16, "mine"), "0:7+1 1:2+1 3:3+3 6:4+1");
        put_notes(add_note(16, "lead"), kSong);
    });
    EXPECT_EQ(bytes(), expected);
    const uint32_t next_id = music->m_NextID;
    editor->undo();
    editor->undo();
    music->m_NextID = next_id - 1;  // undo does not give the pasted track's identifier back
    EXPECT_EQ(bytes(), before);
}

TEST_F(EditEdgeCases, QuestionsAreAskedWordForWordAndNoChangesNothing) {
    MseqObject* n = add_note(16, "lead");
    put_notes(n, "1:1+1 2:2+3 8:3+1");
    MseqObject* r = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 16, "r");
    MseqBlockRefer ref;
    ref.m_PhraseID = 0x210005;
    dynamic_cast<MseqTrackRefer*>(mseq_track_of(r))->put_block(4, ref);
    open();
    const std::string before = bytes();
    port.answers = {false, false};
    EXPECT_EQ(set_property(n, 5, 4), MCMD_FAILED);
    EXPECT_EQ(editor->find_track(r->id)->drop_marker(4, CkvString("B"), true), 0);
    const std::vector<std::string> asked = {
        "ask:" +
            sjis("拍数を変更すると以下の影響が発生します。\n拍数を変更してもよろしいですか？\n\n"
                 "・拍数に収まるように、以下のブロック操作を行います。\n\n"
                 "\t1 個のブロックを削除します。\n\t1 個のブロックを移動させます。\n"
                 "\t2 個のブロックの長さが変わります。\n"),
        "ask:" + sjis("このトラックに貼り付けたフレーズ\n\n\"\"\n(ID:h00210005)\n\nのマーカー名 "
                      "\"<ホーム>\" を全て \"B\" に置き換えます。\nよろしいですか？\n\n")};
    EXPECT_EQ(port.log, asked);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(editor->nothing_to_undo(), 1);
}

TEST_F(EditEdgeCases, TracksMadeFromTheMenuReadBackAsTheyWereSaved) {
    music->m_MapChordID = 0x200004;
    open();
    struct Case {
        MseqObject* place;
        int command;
    };
    const Case cases[] = {{music->header(), 40287},   // chord: links the standard chord map
                          {music->detail(), 40292},   // message track without a preset form
                          {music->detail(), 40301},   // message track with preset 30
                          {music->detail(), 40290}};  // note
    for (const Case& c : cases) {
        editor->set_cursor(editor->find_track(c.place->id), 0, 0);
        EXPECT_EQ(editor->command(c.command), 1);
    }
    EXPECT_TRUE(warnings().empty());
    auto* chords = dynamic_cast<MseqTrackChord*>(mseq_track_of(music->header()->last_child()));
    ASSERT_NE(chords, nullptr);
    EXPECT_EQ(chords->m_MapID, 0x200004u);
    const std::string saved = bytes();
    auto* loaded = new MseqMusic(nullptr);
    MrecCompiler compiler;
    ASSERT_TRUE(compiler.load_text(loaded, saved.c_str(), saved.size() + 1));
    std::string again;
    EXPECT_TRUE(mrec_write_entity(loaded, &again));
    EXPECT_EQ(again, saved);
    loaded->release();
}

TEST_F(EditEdgeCases, RhythmTrackIsNamedAfterItsDrumSoundAndUndoRemovesIt) {
    MseqObject* lead = add_note(16, "lead");
    open();
    const std::string before = bytes();
    const MseqBlockWord* tambourine = MseqMapWord::builtin().get(MWORD_DRUM_SOUND, 0, 54);
    ASSERT_NE(tambourine, nullptr);
    EXPECT_EQ(editor->command(40291), 0);  // the sound comes from the view's pop-up
    // Refused: nothing selected, a word that is no drum sound, a place that holds no tracks.
    EXPECT_EQ(editor->add_rhythm_track(*tambourine), 0);
    editor->set_cursor(editor->find_track(music->detail()->id), 0, 0);
    EXPECT_EQ(editor->add_rhythm_track(MseqBlockWord(MWORD_PROGRAM, 0, 54)), 0);
    EXPECT_EQ(editor->add_rhythm_track(MseqBlockWord(MWORD_DRUM_SOUND, 0, 200)), 0);
    EXPECT_TRUE(port.log.empty());
    editor->set_cursor(editor->find_track(lead->id), 0, 0);
    EXPECT_EQ(editor->add_rhythm_track(*tambourine), 0);
    EXPECT_EQ(warnings(),
              std::vector<std::string>{sjis("選択位置にトラックを追加できませんでした。")});
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(editor->nothing_to_undo(), 1);

    editor->set_cursor(editor->find_track(music->detail()->id), 0, 0);
    EXPECT_EQ(editor->add_rhythm_track(*tambourine), 1);
    const std::string expected = built_bytes([&] {
        add_note(16, "lead");
        MseqObject* drum = add_note(16, "");
        drum->name = tambourine->m_Name;
        mseq_track_of(drum)->name = tambourine->m_Name;
        note_track(drum)->m_Rhythm = *tambourine;
    });
    EXPECT_EQ(bytes(), expected);
    const uint32_t next_id = music->m_NextID;
    editor->undo();
    music->m_NextID = next_id - 1;  // undo does not give the identifier back
    EXPECT_EQ(bytes(), before);
}

TEST_F(EditEdgeCases, WithoutClipboardsTrackCopyAndPasteWarnAndChangeNothing) {
    MseqObject* lead = add_note(16, "lead");
    editor = ref_ptr<MedtMusicInvoker>::adopt(new MedtMusicInvoker(music, nullptr, nullptr));
    editor->port = &port;
    editor->set_cursor(editor->find_track(lead->id), 0, 0);
    const std::string before = bytes();
    EXPECT_EQ(editor->command(40274), 1);
    editor->set_cursor(editor->find_track(music->detail()->id), 0, 0);
    EXPECT_EQ(editor->command(40275), 1);
    EXPECT_EQ(warnings(), (std::vector<std::string>{
                              sjis("選択しているトラックはコピーできません。"),
                              sjis("選択しているトラックを貼り付けられませんでした。。\n\n※ "
                                   "コピーされていません。または、この位置に複製できません。")}));
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(editor->nothing_to_undo(), 1);
}

TEST_F(EditEdgeCases, BeatsChangeAndMarkerRenameWriteTheExpectedBytesAndUndo) {
    auto build = [&](const char* markers) {
        put_notes(add_note(16, "lead"), "1:1+1 2:2+3 8:3+1");
        MseqObject* r = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 16, "r");
        auto* refs = dynamic_cast<MseqTrackRefer*>(mseq_track_of(r));
        for (int i = 0; i < 4; ++i) {
            MseqBlockRefer ref;
            ref.m_PhraseID = i == 2 ? 0x210006 : 0x210005;
            ref.m_Length = 2;
            ref.m_StartMarker = CkvString(std::string(1, markers[i]));
            refs->put_block(i * 4, ref);
        }
        return r;
    };
    MseqObject* r = build("ABAA");
    MseqObject* n = music->detail()->first_child();
    open();
    const std::string before = bytes();
    // 16 to 4 beats with blocks on odd positions: asked, Yes.
    port.answers = {true};
    EXPECT_EQ(set_property(n, 5, 4), MCMD_DONE);
    EXPECT_EQ(port.log.size(), 1u);
    EXPECT_EQ(
        bytes(), built_bytes([&] {
            build("ABAA");
            MseqGridCounts counts;
            ASSERT_TRUE(
                mseq_track_of(music->detail()->first_child())->change_grid(4, false, &counts));
        }));
    editor->undo();
    EXPECT_EQ(bytes(), before);
    // Renaming every "A" of phrase 0x210005 to "C": the other phrase's "A" stays.
    port.answers = {true};
    EXPECT_EQ(editor->find_track(r->id)->drop_marker(0, CkvString("C"), true), 1);
    EXPECT_EQ(bytes(), built_bytes([&] { build("CBAC"); }));
    editor->undo();
    EXPECT_EQ(bytes(), before);
}

}  // namespace edit_edge_case_test
