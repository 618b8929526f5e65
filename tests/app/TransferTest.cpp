// File -> import of a MIDI file, File -> export with its choices and File -> render, through
// the frame's commands and the scripted port.
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "app/AppFixture.h"
#include "app/MAppText.h"
#include "app/MFrameImport.h"
#include "edit/McmdKind.h"
#include "edit/MedtMusic.h"
#include "model/core/MseqDesk.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "model/track/MseqTrackNote.h"
#include "platform/AudioFile.h"
#include "platform/SynthPort.h"
#include "play/import/SmfBuilder.h"

namespace transfer_test {

using smf_builder::TrackBytes;

// Three bars of block chords (C, G7, C) on channel 0 and a melody of chord tones in quarters
// on channel 1: 10 + 12 notes in two parts, in C major beyond doubt.
std::string three_bars() {
    TrackBytes conductor;
    conductor.meta(0, 0x03, "Three bars").tempo(0, 500000).end();
    TrackBytes chords;
    chords.meta(0, 0x03, "Chords");
    uint32_t delta = 0;
    for (const auto& chord :
         {std::vector<uint8_t>{60, 64, 67}, std::vector<uint8_t>{55, 59, 62, 65},
          std::vector<uint8_t>{60, 64, 67}}) {
        for (uint8_t k : chord) {
            chords.on(delta, 0, k, 80);
            delta = 0;
        }
        for (size_t i = 0; i < chord.size(); ++i)
            chords.off(i == 0 ? 1920 : 0, 0, chord[i]);
    }
    chords.end();
    TrackBytes tune;
    tune.meta(0, 0x03, "Tune");
    for (uint8_t k : {72, 67, 64, 67, 71, 67, 65, 67, 72, 67, 64, 60})
        tune.on(0, 1, k, 100).off(480, 1, k);
    tune.end();
    return smf_builder::file(1, 480, {conductor, chords, tune});
}

// The names of the files in a folder.
std::set<std::string> listing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

class TransferTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(start_on_demo());
        const std::vector<MseqObject*> books = mapp_music_books(frame().room_node());
        ASSERT_FALSE(books.empty());
        book_ = books[0];
        mseq_open(book_);
        book_folder_ = std::filesystem::path(kv_fs::to_host(book_->entity()->full_path.str()))
                           .parent_path()
                           .string();
        port_.log.clear();
    }
    // Queues the MIDI file `bytes` (written as `name` in the temporary folder) for the file
    // dialog and the import dialog's values.
    void queue_import(const std::string& name, const std::string& bytes,
                      std::vector<std::pair<std::string, std::string>> values) {
        write(root_ + "/" + name, bytes);
        port_.file(CkvString(kv_fs::from_host(root_ + "/" + name)));
        dialog(std::move(values));
    }
    MseqObject* book_ = nullptr;
    std::string book_folder_;
};

TEST_F(TransferTest, ImportAddsTheMusicOpensItAndSumsUpWhatItCarried) {
    ASSERT_TRUE(frame().enabled(ID_IMPORT_MIDI));
    const int before = child_count(book_);
    queue_import("three bars.mid", three_bars(), {{"name", "取り込んだ曲"}, {"analysis", "chord"}});
    ASSERT_TRUE(frame().run(ID_IMPORT_MIDI));
    // The dialog proposed the file's stem and the first music book.
    EXPECT_EQ(port_.last_fields.get("book"), CkvString("0"));
    EXPECT_NE(port_.last_fields.get("books").str().find(book_->name.str()), std::string::npos);
    ASSERT_EQ(child_count(book_), before + 3);  // music, stage map, chord map
    MseqObject* music = frame().selected_node();
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->type, MTYPE_LEAF_MUSIC);
    EXPECT_EQ(music->name, cp("取り込んだ曲"));
    EXPECT_EQ(music->parent(), book_);
    ASSERT_NE(frame().shown_file(), nullptr);
    EXPECT_EQ(frame().shown_file(), music->entity());
    // The progress went through its three steps, then the summary.
    const std::vector<std::string> progress = lines("progress: ");
    ASSERT_GE(progress.size(), 5u);
    EXPECT_EQ(progress[1], "progress: 0/3");
    EXPECT_EQ(progress[2], "progress: 1/3");
    EXPECT_EQ(progress[3], "progress: 2/3");
    EXPECT_EQ(progress.back(), "progress: end");
    const std::vector<std::string> info = lines("info: ");
    ASSERT_EQ(info.size(), 1u);
    EXPECT_NE(info[0].find("MIDI ファイルを取り込みました。"), std::string::npos) << info[0];
    EXPECT_NE(info[0].find("音符 : 22\\n丸めた音符 : 0"), std::string::npos) << info[0];
    EXPECT_NE(info[0].find("(パート 2)"), std::string::npos) << info[0];
    EXPECT_NE(info[0].find("調 : C major"), std::string::npos) << info[0];
    EXPECT_NE(info[0].find("コード : 3"), std::string::npos) << info[0];
    EXPECT_NE(info[0].find("変換した音符 : "), std::string::npos) << info[0];
    EXPECT_TRUE(lines("warn: ").empty());
}

TEST_F(TransferTest, ImportWithoutAnalysisSaysNothingOfChords) {
    queue_import("plain.mid", three_bars(), {{"analysis", "none"}});
    ASSERT_TRUE(frame().run(ID_IMPORT_MIDI));
    EXPECT_EQ(port_.last_fields.get("name"), CkvString("plain"));
    const std::vector<std::string> info = lines("info: ");
    ASSERT_EQ(info.size(), 1u);
    EXPECT_NE(info[0].find("音符 : 22"), std::string::npos) << info[0];
    EXPECT_EQ(info[0].find("コード"), std::string::npos) << info[0];
    EXPECT_EQ(frame().selected_node()->name, cp("plain"));
}

TEST_F(TransferTest, ARefusedFileNamesItsOffsetAndLeavesTheLibraryAsItWas) {
    const std::string book_bytes = read(kv_fs::to_host(book_->entity()->full_path.str()));
    const std::set<std::string> files = listing(book_folder_);
    const int before = child_count(book_);
    // A track chunk whose length runs past the end of the file.
    std::string bytes = three_bars();
    bytes.resize(bytes.size() - 10);
    queue_import("cut.mid", bytes, {});
    ASSERT_TRUE(frame().run(ID_IMPORT_MIDI));
    const std::vector<std::string> warn = lines("warn: ");
    ASSERT_EQ(warn.size(), 1u);
    EXPECT_NE(warn[0].find("MIDI ファイルを取り込めませんでした。"), std::string::npos);
    EXPECT_NE(
        warn[0].find("バイト目: " + std::string(mply_smf_fault_text(MplySmfFault::chunk_past_end))),
        std::string::npos)
        << warn[0];
    EXPECT_NE(warn[0].find(root_ + "/cut.mid"), std::string::npos) << warn[0];
    EXPECT_EQ(child_count(book_), before);
    EXPECT_EQ(listing(book_folder_), files);
    EXPECT_EQ(read(kv_fs::to_host(book_->entity()->full_path.str())), book_bytes);
    EXPECT_TRUE(lines("info: ").empty());
}

TEST_F(TransferTest, TheDialogRefusesAnUnusableNameAndACancelChangesNothing) {
    const int before = child_count(book_);
    write(root_ + "/a.mid", three_bars());
    port_.file(CkvString(kv_fs::from_host(root_ + "/a.mid")));
    dialog({{"name", "bad:name"}});
    dialog({{"name", "good"}});
    // Cancelled once the file has been read: nothing is imported.
    port_.cancel_progress_at = 1;
    ASSERT_TRUE(frame().run(ID_IMPORT_MIDI));
    EXPECT_EQ(port_.last_fields.get("name"), CkvString("good"));
    ASSERT_EQ(lines("warn: ").size(), 1u);
    EXPECT_NE(lines("warn: ")[0].find("曲の名前"), std::string::npos);
    EXPECT_EQ(child_count(book_), before);
    EXPECT_TRUE(shown("MIDI ファイルの取り込みを取り消しました。"));
}

// The music's tracks of `type` and its note blocks that are not pure notes.
struct Shape {
    int tracks = 0;
    int converted = 0;
};
Shape shape_of(MseqEntity* entity, MSEQ_TYPE type) {
    Shape out;
    auto* music = static_cast<MseqMusic*>(entity);
    MseqObject* root = music->find_track(MID_TRACK_ROOT);
    for (MseqObject* n = root; n; n = n->next_in(root)) {
        out.tracks += n->type == type;
        if (n->type != MTYPE_TRACK_NOTE || !n->entity()) continue;
        for (const auto& [index, block] : static_cast<MseqTrackNote*>(n->entity())->blocks())
            out.converted += block.m_Type != MNBT_PURE;
    }
    return out;
}

TEST_F(TransferTest, AnalysingTheShownMusicIsOneUndoStepAndPlaysTheSame) {
    queue_import("tune.mid", three_bars(), {{"analysis", "none"}});
    ASSERT_TRUE(frame().run(ID_IMPORT_MIDI));
    MseqEntity* music = frame().shown_file();
    ASSERT_NE(music, nullptr);
    ASSERT_TRUE(frame().enabled(ID_ANALYSE_MUSIC));
    const int leaves = child_count(book_);
    auto exported = [&](const std::string& name) {
        port_.file(CkvString(kv_fs::from_host(root_ + "/" + name)));
        EXPECT_TRUE(frame().run(ID_EXPORT_MIDI));
        return read(root_ + "/" + name);
    };
    const std::string before = exported("before.mid");
    ASSERT_EQ(before.substr(0, 4), "MThd");
    EXPECT_EQ(shape_of(music, MTYPE_TRACK_CHORD).tracks, 0);
    EXPECT_EQ(shape_of(music, MTYPE_TRACK_NOTE).converted, 0);
    port_.log.clear();

    dialog({{"analysis", "scale"}});
    ASSERT_TRUE(frame().run(ID_ANALYSE_MUSIC));
    const std::vector<std::string> info = lines("info: ");
    ASSERT_EQ(info.size(), 1u) << (port_.log.empty() ? "" : port_.log.back());
    EXPECT_NE(info[0].find("和声を解析しました。\\n調 : C major\\nコード : 3"), std::string::npos)
        << info[0];
    EXPECT_NE(info[0].find("コード度数 0、"), std::string::npos) << info[0];
    EXPECT_EQ(shape_of(music, MTYPE_TRACK_CHORD).tracks, 1);
    const int converted = shape_of(music, MTYPE_TRACK_NOTE).converted;
    EXPECT_GT(converted, 0);
    EXPECT_TRUE(music->flags & MEF_MODIFIED);
    // The chord map is listed in the book and written at the next save; the music's standard
    // chord map and chord track are the new ones, as an import with analysis sets them.
    ASSERT_EQ(child_count(book_), leaves + 1);
    MseqObject* map = book_->last_child();
    EXPECT_EQ(map->type, MTYPE_LEAF_CHORD);
    EXPECT_EQ(map->name, cp("tune_chord"));
    ASSERT_NE(map->entity(), nullptr);
    EXPECT_FALSE(exists(kv_fs::to_host(map->entity()->full_path.str())));
    EXPECT_TRUE(map->entity()->flags & MEF_MODIFIED);
    auto* analysed = static_cast<MseqMusic*>(music);
    EXPECT_EQ(analysed->m_MapChordID, mseq_with_file_number(map->id, MFILE_OWN_BOOK));
    MseqObject* chord_track = analysed->find_track(analysed->m_TrackChordID);
    ASSERT_NE(chord_track, nullptr);
    EXPECT_EQ(chord_track->type, MTYPE_TRACK_CHORD);
    // What plays is the same.
    EXPECT_EQ(exported("analysed.mid"), before);

    // One undo returns the pure notes and no chord track; one redo the analysis.
    MgenRef* ref = MseqDesk::instance().editor_of(music)->cast(MKIND_EDT_MUSIC_INVOKER);
    ASSERT_NE(ref, nullptr);
    auto* editor = static_cast<MedtMusicInvoker*>(ref);
    editor->undo();
    EXPECT_EQ(shape_of(music, MTYPE_TRACK_CHORD).tracks, 0);
    EXPECT_EQ(shape_of(music, MTYPE_TRACK_NOTE).converted, 0);
    EXPECT_EQ(exported("undone.mid"), before);
    EXPECT_EQ(editor->nothing_to_undo(), 1);
    EXPECT_EQ(child_count(book_), leaves);
    EXPECT_EQ(analysed->m_MapChordID, 0u);
    EXPECT_EQ(analysed->m_TrackChordID, 0u);
    editor->redo();
    EXPECT_EQ(shape_of(music, MTYPE_TRACK_CHORD).tracks, 1);
    EXPECT_EQ(shape_of(music, MTYPE_TRACK_NOTE).converted, converted);
    EXPECT_EQ(exported("redone.mid"), before);
    ASSERT_EQ(child_count(book_), leaves + 1);
    EXPECT_EQ(book_->last_child()->type, MTYPE_LEAF_CHORD);
    EXPECT_EQ(analysed->m_MapChordID,
              mseq_with_file_number(book_->last_child()->id, MFILE_OWN_BOOK));
    EXPECT_EQ(analysed->find_track(analysed->m_TrackChordID)->type, MTYPE_TRACK_CHORD);

    // A music that follows chords already is refused, and nothing is added to the book.
    port_.log.clear();
    dialog({{"analysis", "chord"}});
    ASSERT_TRUE(frame().run(ID_ANALYSE_MUSIC));
    ASSERT_EQ(lines("warn: ").size(), 1u);
    EXPECT_NE(lines("warn: ")[0].find("曲はすでにコードや調に従っています。"), std::string::npos)
        << lines("warn: ")[0];
    EXPECT_EQ(child_count(book_), leaves + 1);
}

// Every file under a folder with its bytes.
std::map<std::string, std::string> folder_bytes(const std::string& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
        if (!e.is_regular_file()) continue;
        std::ifstream in(e.path(), std::ios::binary);
        out[e.path().string()] = std::string(std::istreambuf_iterator<char>(in), {});
    }
    return out;
}

// The files that differ between two listings of bytes, or that only one has.
std::vector<std::string> changed_files(const std::map<std::string, std::string>& a,
                                       const std::map<std::string, std::string>& b) {
    std::vector<std::string> out;
    for (const auto& [name, bytes] : a) {
        const auto other = b.find(name);
        if (other == b.end() || other->second != bytes) out.push_back(name);
    }
    for (const auto& [name, bytes] : b) {
        if (!a.count(name)) out.push_back(name);
    }
    return out;
}

TEST_F(TransferTest, AnAnalysisUndoneBeforeTheSaveLeavesTheLibraryAsItWas) {
    queue_import("tune.mid", three_bars(), {{"analysis", "none"}});
    ASSERT_TRUE(frame().run(ID_IMPORT_MIDI));
    MseqEntity* music = frame().shown_file();
    ASSERT_NE(music, nullptr);
    // The music's editor, as the window's view has it: the view settings it takes go into the
    // music's file with any save, so the music is saved once with them first.
    MgenRef* ref = MseqDesk::instance().editor_of(music)->cast(MKIND_EDT_MUSIC_INVOKER);
    ASSERT_NE(ref, nullptr);
    MseqDesk::instance().mark_modified(music);
    ASSERT_TRUE(frame().save_all());
    const std::string library =
        std::filesystem::path(kv_fs::to_host(frame().room()->full_path.str()))
            .parent_path()
            .string();
    const std::map<std::string, std::string> saved = folder_bytes(library);
    const int leaves = child_count(book_);

    dialog({{"analysis", "chord"}});
    ASSERT_TRUE(frame().run(ID_ANALYSE_MUSIC));
    ASSERT_EQ(child_count(book_), leaves + 1);
    // Nothing is written before the save.
    EXPECT_EQ(changed_files(folder_bytes(library), saved), std::vector<std::string>());
    static_cast<MedtMusicInvoker*>(ref)->undo();
    EXPECT_EQ(child_count(book_), leaves);
    ASSERT_TRUE(frame().save_all());
    EXPECT_EQ(changed_files(folder_bytes(library), saved), std::vector<std::string>());

    // Redone and saved, the map is written and the book lists it.
    static_cast<MedtMusicInvoker*>(ref)->redo();
    ASSERT_TRUE(frame().save_all());
    const std::map<std::string, std::string> analysed = folder_bytes(library);
    const std::string map_file = kv_fs::to_host(book_->last_child()->entity()->full_path.str());
    ASSERT_EQ(analysed.count(map_file), 1u) << map_file;
    EXPECT_NE(analysed.at(map_file).find("MSEQ_MAP_CHORD"), std::string::npos);
    EXPECT_EQ(changed_files(analysed, saved).size(), 3u);  // the map, the book, the music
}

TEST(ImportAnalysisWord, NamesTheTargets) {
    MplyAnalysisTarget t = MplyAnalysisTarget::tones;
    EXPECT_TRUE(mapp_import_analysis(CkvString("chord"), &t));
    EXPECT_EQ(t, MplyAnalysisTarget::chord_degrees);
    EXPECT_TRUE(mapp_import_analysis(CkvString("scale"), &t));
    EXPECT_EQ(t, MplyAnalysisTarget::scale_degrees);
    EXPECT_TRUE(mapp_import_analysis(CkvString("tone"), &t));
    EXPECT_EQ(t, MplyAnalysisTarget::tones);
    EXPECT_FALSE(mapp_import_analysis(CkvString("none"), &t));
    EXPECT_FALSE(mapp_import_analysis(CkvString(""), &t));
}

// The export and the render work on the demo song, open in the editor pane.
class OutputTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        MseqObject* song = find_node(MTYPE_LEAF_MUSIC);
        ASSERT_NE(song, nullptr);
        frame().select_node(song);
        ASSERT_TRUE(frame().run(ID_LINK_OPEN));
        ASSERT_NE(frame().shown_file(), nullptr);
        std::filesystem::create_directories(root_ + "/out");
        port_.log.clear();
    }
    CkvString out(const std::string& name) const {
        return CkvString(kv_fs::from_host(root_ + "/out/" + name));
    }
};

TEST_F(OutputTest, ExportWritesFormatOneFormatZeroAndScores) {
    ASSERT_TRUE(frame().enabled(ID_EXPORT_FILE));
    dialog({{"format", "1"}, {"text", "utf8"}});
    port_.file(out("one.mid"));
    ASSERT_TRUE(frame().run(ID_EXPORT_FILE));
    EXPECT_EQ(port_.last_request.default_ext, CkvString("mid"));
    const std::string one = read(root_ + "/out/one.mid");
    ASSERT_GE(one.size(), 14u);
    EXPECT_EQ(one.substr(0, 4), "MThd");
    EXPECT_EQ(one.substr(8, 2), std::string("\0\1", 2));
    EXPECT_EQ(lines("status: ").back(),
              "status: " + mapp_one_line(cp("MIDI ファイルを書き出しました : ")) + root_ +
                  "/out/one.mid");
    dialog({});
    port_.file(out("zero.mid"));
    ASSERT_TRUE(frame().run(ID_EXPORT_FILE));
    const std::string zero = read(root_ + "/out/zero.mid");
    EXPECT_EQ(zero.substr(8, 4), std::string("\0\0\0\1", 4));  // format 0, one track
    // The same format-0 file as File -> export MIDI writes.
    port_.file(out("classic.mid"));
    ASSERT_TRUE(frame().run(ID_EXPORT_MIDI));
    EXPECT_EQ(read(root_ + "/out/classic.mid"), zero);

    dialog({{"format", "musicxml"}});
    port_.file(out("score.musicxml"));
    ASSERT_TRUE(frame().run(ID_EXPORT_FILE));
    EXPECT_EQ(port_.last_request.default_ext, CkvString("musicxml"));
    EXPECT_NE(read(root_ + "/out/score.musicxml").find("<score-partwise"), std::string::npos);
    dialog({{"format", "musicxml"}});
    port_.file(out("score.mxl"));
    ASSERT_TRUE(frame().run(ID_EXPORT_FILE));
    EXPECT_EQ(read(root_ + "/out/score.mxl").substr(0, 2), "PK");
    EXPECT_TRUE(lines("warn: ").empty());
}

TEST_F(OutputTest, ExportRefusesAFileOfTheOpenLibrary) {
    const std::string song = kv_fs::to_host(frame().shown_file()->full_path.str());
    const std::string bytes = read(song);
    dialog({});
    port_.file(frame().shown_file()->full_path);
    ASSERT_TRUE(frame().run(ID_EXPORT_FILE));
    ASSERT_EQ(lines("warn: ").size(), 1u);
    EXPECT_NE(lines("warn: ")[0].find("開いているライブラリのファイルです。"), std::string::npos);
    EXPECT_EQ(read(song), bytes);
}

bool can_render() {
    return kv_synth::synth_available() && !kv_synth::find_soundfont().empty();
}

TEST_F(OutputTest, ACancelledRenderLeavesNoFileBehind) {
    if (!can_render()) GTEST_SKIP() << "no synthesizer or no GM sound font";
    ASSERT_TRUE(frame().enabled(ID_RENDER_AUDIO));
    dialog({{"format", "wav"}, {"stems", "1"}});
    port_.file(out("song.wav"));
    port_.file(out("stems"));
    // Cancelled once the full render is done, before the first part's.
    port_.cancel_progress_at = 1;
    ASSERT_TRUE(frame().run(ID_RENDER_AUDIO));
    EXPECT_TRUE(shown("音声ファイルの書き出しを取り消しました。"));
    const std::vector<std::string> progress = lines("progress: ");
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress[1], "progress: 0/" + progress[1].substr(progress[1].find('/') + 1));
    EXPECT_EQ(progress[2].substr(0, 12), "progress: 1/");
    EXPECT_EQ(progress.back(), "progress: end");
    // Neither the file, nor a stem, nor a temporary file of either.
    EXPECT_TRUE(listing(root_ + "/out").empty());
}

TEST_F(OutputTest, RenderWritesTheChosenFormatAndSaysWhere) {
    if (!can_render()) GTEST_SKIP() << "no synthesizer or no GM sound font";
    dialog({{"format", "wav"}});
    port_.file(out("song.wav"));
    ASSERT_TRUE(frame().run(ID_RENDER_AUDIO));
    EXPECT_EQ(port_.last_request.default_ext, CkvString("wav"));
    const std::string wav = read(root_ + "/out/song.wav");
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(lines("status: ").back(),
              "status: " + mapp_one_line(cp("音声ファイルを書き出しました : ")) + root_ +
                  "/out/song.wav");
    EXPECT_EQ(listing(root_ + "/out"), std::set<std::string>{"song.wav"});
    // An unknown format word keeps the dialog open until a known one comes.
    dialog({{"format", "mp3"}});
    ASSERT_TRUE(frame().run(ID_RENDER_AUDIO));
    EXPECT_EQ(port_.last_fields.get("format"), CkvString("mp3"));
}

}  // namespace transfer_test
