// The library tree's and the edit list's commands, save and save-all.
#include "app/AppFixture.h"
#include "app/MAppText.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"

namespace tree_test {

class TreeTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        copy_data("template");
        copy_data("pattern_v01");
        ASSERT_TRUE(start());
        // A library of its own, made by the create-library dialog.
        port_.answer(MAppAnswer::no);
        dialog({{"parent", kv_fs::from_host(root_)}, {"folder", "lib"}, {"file", "library.kvnr"}});
        ASSERT_TRUE(frame().run(ID_ROOM_CREATE));
        ASSERT_NE(frame().room(), nullptr);
        port_.log.clear();
    }
};

TEST_F(TreeTest, CreateLibraryLinksTheStandardPatternBook) {
    EXPECT_EQ(frame().room()->full_path, CkvString(kv_fs::from_host(root_ + "/lib/library.kvnr")));
    MseqObject* book = frame().room_node()->first_child();
    ASSERT_NE(book, nullptr);
    EXPECT_EQ(book->type, MTYPE_BOOK_LIBRARY);
    EXPECT_EQ(book->name, cp("パターンブック_標準"));
    MseqFullPath full;
    ASSERT_TRUE(mseq_path::resolve(book, false, &full));
    EXPECT_EQ(full, win("pattern_v01/pattern.kvnb"));
    EXPECT_NE(book->path, full);  // stored relative
    EXPECT_TRUE(frame().room()->flags & MEF_MODIFIED);
}

// The create-library dialog's checks: each refused press keeps the dialog open with a message.
TEST_F(TreeTest, CreateLibraryDialogChecks) {
    struct Case {
        const char* folder;
        const char* file;
        const char* message;
    } cases[] = {
        {"a:b", "library.kvnr", "新しく作るフォルダ名に使えない文字が含まれています。"},
        {"lib2", "", "ライブラリファイル名がありません。"},
        {"lib2", "x?.kvnr", "新しく作るファイル名に使えない文字が含まれています。"},
        {"lib", "library.kvnr", "この位置に同じライブラリファイルが既に存在します。"},
    };
    ASSERT_TRUE(frame().save_all());  // the library exists on disk now
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        port_.log.clear();
        dialog({{"parent", kv_fs::from_host(root_)}, {"folder", c.folder}, {"file", c.file}});
        MseqRoom* before = frame().room();
        EXPECT_TRUE(frame().run(ID_ROOM_CREATE));
        EXPECT_TRUE(shown(c.message));
        EXPECT_EQ(frame().room(), before);  // the dialog was cancelled in the end
    }
    // Blanks around the names are trimmed; an empty folder name asks first.
    dialog({{"parent", kv_fs::from_host(root_)}, {"folder", "\u3000 "}, {"file", " top.kvnr "}});
    port_.answer(MAppAnswer::yes);
    EXPECT_TRUE(frame().run(ID_ROOM_CREATE));
    EXPECT_TRUE(shown("指定した親フォルダに作成しますがよろしいですか？"));
    EXPECT_EQ(frame().room()->full_path, CkvString(kv_fs::from_host(root_ + "/top.kvnr")));
}

TEST_F(TreeTest, NewMusicMakesBookLeavesAndOpensThem) {
    ASSERT_TRUE(new_music("songs", "first"));
    MseqObject* book = find_node(MTYPE_BOOK_MUSIC);
    ASSERT_NE(book, nullptr);
    EXPECT_EQ(frame().selected_node(), book);
    MseqObject* music = find_node(MTYPE_LEAF_MUSIC);
    MseqObject* stage = find_node(MTYPE_LEAF_STAGE);
    MseqObject* chord = find_node(MTYPE_LEAF_CHORD);
    ASSERT_TRUE(music && stage && chord);
    EXPECT_EQ(music->name, cp("ミュージック"));
    ASSERT_EQ(frame().edit_list().size(), 3u);
    EXPECT_EQ(frame().shown_file(), music->entity());
    auto* m = music->entity()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    EXPECT_EQ(m->m_MapStageID, (stage->id & 0xFFFFF) + 0x200000);
    EXPECT_EQ(m->m_MapChordID, (chord->id & 0xFFFFF) + 0x200000);
    // Nothing is written until saved; then every file is.
    EXPECT_FALSE(exists(root_ + "/songs/first/music.kvnl"));
    ASSERT_TRUE(frame().save_all());
    for (const char* f : {"music.kvnb", "music.kvnl", "stage.kvnl", "chord.kvnl"})
        EXPECT_TRUE(exists(root_ + "/songs/first/" + f)) << f;
    EXPECT_TRUE(MseqDesk::instance().modified.empty());
}

// The folder's existing files stop the new music in a fixed order.
TEST_F(TreeTest, NewMusicRefusesAFolderWithItsFiles) {
    struct Case {
        std::vector<const char*> files;
        const char* message;
    } cases[] = {
        {{"stage.kvnl"},
         "指定したフォルダに同じ名前のステージマップファイルが既に存在しています。"},
        {{"chord.kvnl", "music.kvnl"},
         "指定したフォルダに同じ名前のミュージックファイルが既に存在しています。"},
        {{"chord.kvnl", "music.kvnb"},
         "指定したフォルダに同じ名前のブックファイルが既に存在しています。"},
        {{"chord.kvnl"}, "指定したフォルダに同じ名前のコードマップファイルが既に存在しています。"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const std::string folder = "m" + std::to_string(n++);
        for (const char* f : c.files)
            write(root_ + "/songs/" + folder + "/" + f, "x");
        port_.log.clear();
        port_.answer(MAppAnswer::yes);  // the folder exists: create anyway
        EXPECT_TRUE(new_music("songs", folder));
        EXPECT_TRUE(shown(c.message));
        EXPECT_EQ(find_node(MTYPE_BOOK_MUSIC), nullptr);
    }
}

TEST_F(TreeTest, NewMusicSecondPageChecksChosenFiles) {
    write(root_ + "/have/book.kvnb", "x");
    dialog({{"page", "2"},
            {"book", kv_fs::from_host(root_ + "/have/book.kvnb")},
            {"music", kv_fs::from_host(root_ + "/p2/music.kvnl")}});
    frame().select_node(frame().room_node());
    EXPECT_TRUE(frame().run(ID_ADD_MUSIC));
    EXPECT_TRUE(shown("ミュージックブック／リーフは新しく作成する必要があります。"));
    // A chord map chosen from a file of another kind is refused.
    ASSERT_TRUE(new_music("songs", "ok"));
    ASSERT_TRUE(frame().save_all());
    port_.log.clear();
    frame().select_node(frame().room_node());
    dialog({{"page", "2"},
            {"book", kv_fs::from_host(root_ + "/p2/music.kvnb")},
            {"music", kv_fs::from_host(root_ + "/p2/music.kvnl")},
            {"chord", kv_fs::from_host(root_ + "/songs/ok/stage.kvnl")}});
    EXPECT_TRUE(frame().run(ID_NEW_MUSIC_BUTTON));
    EXPECT_TRUE(shown("オブジェクトタイプが異なります。"));
}

TEST_F(TreeTest, DuplicateLinkAsksAndNoLeavesTheTreeUnchanged) {
    frame().select_node(frame().room_node());
    const int before = child_count(frame().room_node());
    // The standard pattern book is already linked; linking its file again asks.
    port_.file(win("pattern_v01/pattern.kvnb"));
    port_.answer(MAppAnswer::no);
    ASSERT_TRUE(frame().run(ID_ADD_FILE_LINK));
    EXPECT_TRUE(shown("同じファイルパスが既に存在していますが追加しますか？"));
    EXPECT_EQ(child_count(frame().room_node()), before);
    // Yes keeps the second link, named from the file's header.
    port_.file(win("pattern_v01/pattern.kvnb"));
    port_.answer(MAppAnswer::yes);
    ASSERT_TRUE(frame().run(ID_ADD_FILE_LINK));
    EXPECT_EQ(child_count(frame().room_node()), before + 1);
    EXPECT_EQ(frame().selected_node()->type, MTYPE_BOOK_LIBRARY);
}

TEST_F(TreeTest, LinkToAnUnreadableFileIsRefused) {
    frame().select_node(frame().room_node());
    write(host("junk.kvnb"), "no header here");
    port_.file(win("junk.kvnb"));
    ASSERT_TRUE(frame().run(ID_ADD_FILE_LINK));
    EXPECT_TRUE(shown("ファイル情報を読み込めません。"));
}

TEST_F(TreeTest, PhraseFromTemplateIsOpenedAndWrittenOnlyBySave) {
    ASSERT_TRUE(new_music("songs", "a"));
    MseqObject* book = find_node(MTYPE_BOOK_MUSIC);
    frame().select_node(book);
    ASSERT_TRUE(frame().enabled(ID_ADD_PHRASE_DRUM8));
    port_.file(CkvString(kv_fs::from_host(root_ + "/songs/a/drums.kvnl")));
    ASSERT_TRUE(frame().run(ID_ADD_PHRASE_DRUM8));
    MseqObject* phrase = find_node(MTYPE_LEAF_PHRASE, book);
    ASSERT_NE(phrase, nullptr);
    EXPECT_EQ(frame().selected_node(), phrase);
    EXPECT_EQ(frame().shown_file(), phrase->entity());
    // The template's content, under the new file's own path.
    EXPECT_EQ(phrase->entity()->full_path,
              CkvString(kv_fs::from_host(root_ + "/songs/a/drums.kvnl")));
    EXPECT_FALSE(exists(root_ + "/songs/a/drums.kvnl"));
    ASSERT_TRUE(frame().save_all());
    EXPECT_TRUE(exists(root_ + "/songs/a/drums.kvnl"));
    // A folder needs no dialog.
    frame().select_node(book);
    ASSERT_TRUE(frame().run(ID_ADD_FOLDER));
    EXPECT_EQ(frame().selected_node()->type, MTYPE_LEAF_FOLDER);
}

TEST_F(TreeTest, DeletingAModifiedBookAsksAndCancelKeepsIt) {
    ASSERT_TRUE(new_music("songs", "d"));
    MseqObject* book = find_node(MTYPE_BOOK_MUSIC);
    // Its leaves are open for editing: the link is in use.
    frame().select_node(book);
    EXPECT_FALSE(frame().enabled(ID_LINK_DELETE));
    frame().select_edit(-1);
    ASSERT_TRUE(frame().run(ID_EDIT_CLOSE));  // closes only unmodified entries: none
    EXPECT_EQ(frame().edit_list().size(), 3u);
    while (!frame().edit_list().empty()) {
        frame().select_edit(0);
        port_.answer(MAppAnswer::no);
        ASSERT_TRUE(frame().run(ID_EDIT_CLOSE));
    }
    ASSERT_TRUE(book->entity()->flags & MEF_MODIFIED);
    frame().select_node(book);
    ASSERT_TRUE(frame().enabled(ID_LINK_DELETE));
    port_.answer(MAppAnswer::yes);
    port_.answer(MAppAnswer::cancel);
    ASSERT_TRUE(frame().run(ID_LINK_DELETE));
    EXPECT_TRUE(shown("ブックの変更内容を保存しますか？"));
    EXPECT_EQ(find_node(MTYPE_BOOK_MUSIC), book);
    // No drops its changes and the link; the library is modified, no file is deleted.
    port_.answer(MAppAnswer::yes);
    port_.answer(MAppAnswer::no);
    ASSERT_TRUE(frame().run(ID_LINK_DELETE));
    EXPECT_EQ(find_node(MTYPE_BOOK_MUSIC), nullptr);
    EXPECT_TRUE(frame().room()->flags & MEF_MODIFIED);
}

TEST_F(TreeTest, ClosingTheEditListRootClosesOnlyUnmodifiedEntries) {
    ASSERT_TRUE(new_music("songs", "c"));
    MseqObject* stage = find_node(MTYPE_LEAF_STAGE);
    ASSERT_TRUE(frame().save_file(stage->entity()));
    ASSERT_EQ(frame().edit_list().size(), 3u);
    frame().select_edit(-1);
    ASSERT_TRUE(frame().run(ID_EDIT_CLOSE));
    ASSERT_EQ(frame().edit_list().size(), 2u);
    for (const MAppEditEntry& e : frame().edit_list())
        EXPECT_NE(e.entity.get(), stage->entity());
    EXPECT_TRUE(lines("ask: ").empty());
}

TEST_F(TreeTest, ClosingAModifiedEntryAsksAndNoRollsBackToTheFile) {
    ASSERT_TRUE(new_music("songs", "r"));
    ASSERT_TRUE(frame().save_all());
    MseqObject* music = find_node(MTYPE_LEAF_MUSIC);
    auto* m = music->entity()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    const MSEQ_ID saved = m->m_MapChordID;
    m->m_MapChordID = 0x200999;
    MseqDesk::instance().mark_modified(m);
    frame().select_edit(0);
    ASSERT_EQ(frame().shown_file(), m);
    port_.answer(MAppAnswer::cancel);
    ASSERT_TRUE(frame().run(ID_EDIT_CLOSE));
    EXPECT_EQ(frame().edit_list().size(), 3u);
    frame().select_edit(0);
    port_.answer(MAppAnswer::no);
    ASSERT_TRUE(frame().run(ID_EDIT_CLOSE));
    EXPECT_EQ(frame().edit_list().size(), 2u);
    // Whether dropped or read again, the node's content is the file's.
    ref_ptr<MseqEntity> again = mseq_open(music);
    EXPECT_FALSE(again->flags & MEF_MODIFIED);
    EXPECT_EQ(again->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC)->m_MapChordID, saved);
}

TEST_F(TreeTest, OpenLinkOfAMissingFileAsksBeforeCreating) {
    ASSERT_TRUE(new_music("songs", "o"));
    ASSERT_TRUE(frame().save_all());
    frame().select_edit(-1);
    ASSERT_TRUE(frame().run(ID_EDIT_CLOSE));
    ASSERT_TRUE(frame().edit_list().empty());
    std::filesystem::remove(root_ + "/songs/o/chord.kvnl");
    MseqObject* chord = find_node(MTYPE_LEAF_CHORD);
    frame().select_node(chord);
    port_.answer(MAppAnswer::no);
    ASSERT_TRUE(frame().run(ID_LINK_OPEN));
    EXPECT_TRUE(shown("このファイルは存在しません。"));
    EXPECT_TRUE(frame().edit_list().empty());
    port_.answer(MAppAnswer::yes);
    ASSERT_TRUE(frame().run(ID_LINK_OPEN));
    ASSERT_EQ(frame().edit_list().size(), 1u);
    EXPECT_EQ(frame().shown_file(), chord->entity());
}

TEST_F(TreeTest, SaveAllCountsTheFilesThatCouldNotBeWritten) {
    // The chord map's folder is blocked by a plain file of that name.
    write(root_ + "/blocked", "a file where a folder should be");
    dialog({{"page", "2"},
            {"book", kv_fs::from_host(root_ + "/s/music.kvnb")},
            {"music", kv_fs::from_host(root_ + "/s/music.kvnl")},
            {"chord", kv_fs::from_host(root_ + "/blocked/chord.kvnl")}});
    ASSERT_TRUE(frame().run(ID_NEW_MUSIC_BUTTON));
    MseqObject* chord = find_node(MTYPE_LEAF_CHORD);
    ASSERT_NE(chord, nullptr);
    EXPECT_FALSE(frame().save_all());
    EXPECT_TRUE(shown("保存に失敗しました。\\n\\n1 ファイル保存しませんでした。"));
    EXPECT_TRUE(chord->entity()->flags & MEF_MODIFIED);
    EXPECT_EQ(MseqDesk::instance().modified.size(), 1u);
    EXPECT_TRUE(exists(root_ + "/s/music.kvnl"));
    EXPECT_FALSE(frame().enabled(ID_FILE_SAVE));  // the music is shown and was saved
}

TEST_F(TreeTest, LaterDataVersionAsksAndNoWritesNothing) {
    ASSERT_TRUE(new_music("songs", "f"));
    ASSERT_TRUE(frame().save_all());
    // The book as a later version of the program would have written it.
    const std::string book_file = root_ + "/songs/f/music.kvnb";
    std::string text = read(book_file);
    const size_t at = text.find("data_version = 0x0100000d;");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 26, "data_version = 0x0100000e;");
    write(book_file, text);
    port_.answer(MAppAnswer::no);
    // Reopening the library from its own path.
    ASSERT_TRUE(frame().open_room(frame().room()->full_path, false));
    MseqObject* book = find_node(MTYPE_BOOK_MUSIC);
    ASSERT_NE(book, nullptr);
    ASSERT_TRUE(mseq_open(book)->flags & MEF_FUTURE);
    MseqDesk::instance().mark_modified(book->entity());
    MseqDesk::instance().mark_modified(frame().room());
    const std::string room_before = read(root_ + "/lib/library.kvnr");
    port_.answer(MAppAnswer::no);
    EXPECT_FALSE(frame().save_all());
    EXPECT_TRUE(shown("上書き保存する 1 件のファイルが未来のデータ形式を含んでいます。"));
    EXPECT_EQ(read(book_file), text);
    EXPECT_EQ(read(root_ + "/lib/library.kvnr"), room_before);
    EXPECT_EQ(MseqDesk::instance().modified.size(), 2u);
    // One file: its own question, with the name and path.
    port_.answer(MAppAnswer::no);
    EXPECT_FALSE(frame().save_file(book->entity()));
    EXPECT_TRUE(shown("このファイルは未来のデータ形式を含んでいます。"));
    EXPECT_EQ(read(book_file), text);
}

TEST_F(TreeTest, PathsTooLongFromDialogsAreRefusedWithTheirMessages) {
    const std::string longer(250, 'x');
    // A library path past 260 bytes cannot be opened: none is open afterwards.
    dialog({{"parent", kv_fs::from_host(root_)}, {"folder", longer}, {"file", "library.kvnr"}});
    port_.answer(MAppAnswer::no);
    EXPECT_TRUE(frame().run(ID_ROOM_CREATE));
    EXPECT_TRUE(shown("ライブラリファイルにエラーがあります。"));
    EXPECT_EQ(frame().room(), nullptr);
}

TEST_F(TreeTest, NewMusicInAFolderTooLongLeavesNoBook) {
    const std::string longer(240, 'y');
    frame().select_node(frame().room_node());
    const int before = child_count(frame().room_node());
    EXPECT_TRUE(new_music("songs", longer));
    EXPECT_TRUE(shown("ミュージックブック"));
    EXPECT_EQ(child_count(frame().room_node()), before);
    EXPECT_EQ(frame().edit_list().size(), 0u);
}

TEST_F(TreeTest, RenameMarksTheFileThatStoresTheName) {
    ASSERT_TRUE(new_music("songs", "n"));
    ASSERT_TRUE(frame().save_all());
    MseqObject* music = find_node(MTYPE_LEAF_MUSIC);
    EXPECT_FALSE(frame().rename_node(music, cp(" bad")));
    ASSERT_TRUE(frame().rename_node(music, cp("テーマ")));
    EXPECT_EQ(music->name, cp("テーマ"));
    MseqObject* book = find_node(MTYPE_BOOK_MUSIC);
    EXPECT_TRUE(book->entity()->flags & MEF_MODIFIED);
    EXPECT_FALSE(frame().room()->flags & MEF_MODIFIED);
    ASSERT_TRUE(frame().rename_node(book, cp("曲集")));
    EXPECT_TRUE(frame().room()->flags & MEF_MODIFIED);
}

TEST_F(TreeTest, BrowseRequestsOfTheNewMusicDialog) {
    MAppFields f;
    const MAppFileRequest parent = frame().browse_request(MAppDialog::new_music, "parent", f);
    EXPECT_EQ(parent.kind, MAppFileKind::folder);
    EXPECT_EQ(parent.title, cp("新しい曲フォルダの親フォルダ"));
    const MAppFileRequest book = frame().browse_request(MAppDialog::new_music, "book", f);
    EXPECT_EQ(book.kind, MAppFileKind::open);
    EXPECT_EQ(book.initial_name, CkvString("music.kvnb"));
    EXPECT_EQ(book.initial_folder, CkvString(kv_fs::from_host(root_ + "/lib")));
    EXPECT_EQ(frame().browse_request(MAppDialog::create_room, "parent", f).title,
              cp("新しいライブラリの作成先となる親フォルダ"));
    // Chosen files: a new book or music must not exist; maps must be of their kind.
    write(root_ + "/x.kvnb", "x");
    EXPECT_FALSE(frame().check_browsed("book", CkvString(kv_fs::from_host(root_ + "/x.kvnb"))));
    EXPECT_TRUE(frame().check_browsed("book", CkvString(kv_fs::from_host(root_ + "/y.kvnb"))));
    EXPECT_FALSE(frame().check_browsed("stage", CkvString(kv_fs::from_host(root_ + "/x.kvnb"))));
    EXPECT_TRUE(shown("ファイル情報を読み込めません。"));
}

// Which commands the menus offer where: the containment rule decides the creation menu.
TEST_F(TreeTest, EnabledStatesFollowTheSelection) {
    ASSERT_TRUE(new_music("songs", "e"));
    ASSERT_TRUE(frame().save_all());
    MseqObject* book = find_node(MTYPE_BOOK_MUSIC);
    MseqObject* music = find_node(MTYPE_LEAF_MUSIC);
    struct Case {
        MseqObject* node;
        uint32_t id;
        bool enabled;
    } cases[] = {
        {frame().room_node(), ID_ADD_PATTERN_BOOK, true},
        {frame().room_node(), ID_ADD_STAGE, false},  // leaves belong in books
        {frame().room_node(), ID_LINK_DELETE, false},
        {book, ID_ADD_STAGE, true},
        {book, ID_ADD_PHRASE_EMPTY, true},
        {book, ID_ADD_PATTERN_BOOK, false},  // books belong in the library
        {music, ID_ADD_FOLDER, false},       // nothing goes under a music
        {music, ID_PLAY_LINK, true},
        {book, ID_PLAY_LINK, false},
        {nullptr, ID_ADD_FILE_LINK, false},
    };
    for (const Case& c : cases) {
        frame().select_node(c.node);
        EXPECT_EQ(frame().enabled(c.id), c.enabled) << c.id;
    }
    // Save follows the shown file's flag, save-all the modified set.
    frame().select_edit(0);
    EXPECT_FALSE(frame().enabled(ID_FILE_SAVE));
    EXPECT_FALSE(frame().enabled(ID_FILE_SAVE_ALL));
    MseqDesk::instance().mark_modified(frame().shown_file());
    EXPECT_TRUE(frame().enabled(ID_FILE_SAVE));
    EXPECT_TRUE(frame().enabled(ID_FILE_SAVE_ALL));
    EXPECT_TRUE(frame().run(ID_FILE_SAVE));
    EXPECT_FALSE(frame().enabled(ID_FILE_SAVE_ALL));
    // The menus carry the states; the link-information entry its check mark.
    ASSERT_TRUE(frame().run(ID_LINK_INFO));
    for (const MAppMenuEntry& e : frame().menu(MAppMenu::library)) {
        if (e.id == ID_LINK_INFO) {
            EXPECT_TRUE(e.checked);
        }
    }
    EXPECT_EQ(mapp_commands::bar_labels().size(), kMAppFixedBarMenus);
}

TEST_F(TreeTest, DeletingALeafLinkMarksItsBookAndKeepsTheFile) {
    ASSERT_TRUE(new_music("songs", "l"));
    ASSERT_TRUE(frame().save_all());
    MseqObject* chord = find_node(MTYPE_LEAF_CHORD);
    frame().select_node(chord);
    // Open for editing: in use, so it cannot go.
    EXPECT_FALSE(frame().enabled(ID_LINK_DELETE));
    frame().select_edit(-1);
    ASSERT_TRUE(frame().run(ID_EDIT_CLOSE));
    ASSERT_TRUE(frame().edit_list().empty());
    frame().select_node(chord);
    ASSERT_TRUE(frame().enabled(ID_LINK_DELETE));
    port_.answer(MAppAnswer::no);
    ASSERT_TRUE(frame().run(ID_LINK_DELETE));
    EXPECT_NE(find_node(MTYPE_LEAF_CHORD), nullptr);  // No keeps it
    port_.answer(MAppAnswer::yes);
    ASSERT_TRUE(frame().run(ID_LINK_DELETE));
    EXPECT_TRUE(shown("リンクを削除します。よろしいですか？"));
    EXPECT_EQ(find_node(MTYPE_LEAF_CHORD), nullptr);
    EXPECT_EQ(frame().selected_node(), nullptr);
    MseqObject* book = find_node(MTYPE_BOOK_MUSIC);
    EXPECT_TRUE(book->entity()->flags & MEF_MODIFIED);
    EXPECT_TRUE(exists(root_ + "/songs/l/chord.kvnl"));
}

// A book whose path names the library file finds a file that is there but is the library's:
// opening it says whose file it is instead of the bare message or "no such file".
class SharedFileTest : public AppTest {};

TEST_F(SharedFileTest, OpeningABookWhosePathNamesTheLibrarySaysSo) {
    copy_data("mymusic");
    const std::string library = host("mymusic/library.kvnr");
    std::string bytes = read(library);
    const std::string from = "<room>.\\\\demo\\\\demo.kvnb", to = "<room>.\\\\library.kvnr";
    const size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos);
    write(library, bytes.replace(at, from.size(), to));
    ASSERT_TRUE(start());
    MseqObject* book = find_node(MTYPE_BOOK_MUSIC);
    ASSERT_NE(book, nullptr);
    frame().select_node(book);
    port_.log.clear();
    ASSERT_TRUE(frame().run(ID_LINK_OPEN));
    EXPECT_TRUE(shown("ファイル : " + library)) << port_.log.size();
    EXPECT_TRUE(
        shown("理由 : its path \"<room>.\\library.kvnr\" names the library file "
              "itself, not a file of its own"));
    EXPECT_FALSE(shown("no such file"));
    EXPECT_EQ(read(library), bytes);  // nothing was written over it
}

}  // namespace tree_test
