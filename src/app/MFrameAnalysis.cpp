#include "app/MFrameAnalysis.h"

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/MAppProblem.h"
#include "app/MAppText.h"
#include "app/MFrame.h"
#include "app/MFrameImport.h"
#include "edit/McmdKind.h"
#include "edit/McmdMusic.h"
#include "edit/McmdTrack.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTransaction.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "model/core/MseqType.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapChord.h"
#include "model/track/MseqTrackTree.h"
#include "platform/FileSystem.h"
#include "text/MrecCompiler.h"

namespace {

MedtMusicInvoker* editor_of(const MseqEntity* entity) {
    MgenRef* editor =
        entity ? MseqDesk::instance().editor_of(const_cast<MseqEntity*>(entity)) : nullptr;
    MgenRef* m = editor ? editor->cast(MKIND_EDT_MUSIC_INVOKER) : nullptr;
    return m ? static_cast<MedtMusicInvoker*>(m) : nullptr;
}

// A file name beside the music's own for its chord map: "NAME_chord.kvnl", numbered when
// taken. Empty when none of the first thousand is free.
std::string free_chord_file(const CkvString& folder, const std::string& stem) {
    for (int n = 1; n <= 1000; ++n) {
        std::string name = stem;
        if (n > 1) {
            name += '_';
            name += std::to_string(n);
        }
        name += "_chord.kvnl";
        if (!kv_fs::path_exists(mseq_path::append(folder, name).str())) return name;
    }
    return {};
}

// The new chord map leaf at the end of the music's book, not yet written; nullptr when the
// book cannot take it.
MseqObject* add_chord_leaf(MseqObject* book_node, const MseqEntity& music) {
    ref_ptr<MseqEntity> content = mseq_open(book_node);
    auto* book = content ? content->cast_to<MseqBook>(MTYPE_BOOK) : nullptr;
    CkvString stem;
    if (!book || book->full_path.empty() || !mseq_path::name_from_file_path(music.full_path, &stem))
        return nullptr;
    const std::string file =
        free_chord_file(mseq_path::remove_file_name(book->full_path), stem.str());
    if (file.empty()) return nullptr;
    return book->create_leaf(book_node, MPLACE_LAST_CHILD, MTYPE_LEAF_CHORD,
                             CkvString(music.name.str() + "_chord"),
                             MseqDescPath(CkvString("<book>.\\" + file)));
}

// The tracks the analysis changes in place: the groups and note tracks, in pre-order.
std::vector<MseqObject*> changed_kinds(MseqMusic& music) {
    std::vector<MseqObject*> out;
    MseqObject* root = music.find_track(MID_TRACK_ROOT);
    for (MseqObject* n = root; n; n = n->next_in(root)) {
        if (n->type == MTYPE_TRACK_GROUP || n->type == MTYPE_TRACK_NOTE) out.push_back(n);
    }
    return out;
}

// The music's state the analysis changes: the content of its groups and note tracks and the
// two links the music itself holds.
struct Contents {
    std::map<MSEQ_ID, std::unique_ptr<MseqObject>> tracks;
    MSEQ_ID map_chord = 0;
    MSEQ_ID track_chord = 0;
};

Contents take_contents(MseqMusic& music) {
    Contents c;
    for (MseqObject* n : changed_kinds(music)) {
        auto copy = std::make_unique<MseqObject>();
        if (mseq_copy_track(n, copy.get())) c.tracks[n->id] = std::move(copy);
    }
    c.map_chord = music.m_MapChordID;
    c.track_chord = music.m_TrackChordID;
    return c;
}

// Puts the music back as `before` held it, without the new chord track `chords`.
void restore(MseqMusic& music, const Contents& before, MSEQ_ID chords) {
    for (const auto& [id, content] : before.tracks)
        music.replace_track(id, content.get(), false, nullptr);
    music.remove_track(chords);
    music.m_MapChordID = before.map_chord;
    music.m_TrackChordID = before.track_chord;
}

// Posts the analysed state as one gesture: the chord track, then the new content of every
// group and note track. False when the editor refused a command (the gesture is rolled back).
bool post_analysis(MedtMusicInvoker& editor, std::unique_ptr<MseqObject> chord_track,
                   Contents& after) {
    MedtTransaction gesture(editor);
    auto insert =
        mcmd_make<McmdInsertLeafs>(MID_TRACK_HEADER, MPLACE_LAST_CHILD, std::move(chord_track));
    if (!gesture.post(insert.get())) return false;
    for (auto& [id, content] : after.tracks) {
        auto replace = mcmd_make<McmdReplaceLeafs>(id, std::move(content));
        if (!gesture.post(replace.get())) return false;
    }
    gesture.commit();
    return true;
}

const char* fault_text(MplyAnalysisFault fault) {
    switch (fault) {
        case MplyAnalysisFault::none:
            break;
        case MplyAnalysisFault::follows_chords:
            return "曲はすでにコードや調に従っています。(コードトラック、移調トラック、フレーズ、"
                   "コード度数などの音符)";
        case MplyAnalysisFault::music_full:
            return "曲にコードトラックを置く余地がありません。";
        case MplyAnalysisFault::cannot_play:
            return "解析のために曲のトラックを組み立てられませんでした。";
    }
    return "解析できませんでした。";
}

}  // namespace

CkvString mapp_analysis_lines(const MplyAnalysisReport& a) {
    const uint32_t converted = a.chord_degrees + a.scale_degrees + a.tones;
    return mapp_format(
        "\n調 : %s\nコード : %u\n変換した音符 : %u (コード度数 %u、スケール度数 %u、音名 %u)\n"
        "そのままの音符 : %u",
        mply_analysis_key_name(a.tonic, a.minor), a.chords, converted, a.chord_degrees,
        a.scale_degrees, a.tones, a.kept_pure);
}

bool mapp_can_analyse(const MseqEntity* shown) {
    const MedtMusicInvoker* editor = editor_of(shown);
    return shown && shown->type() == MTYPE_LEAF_MUSIC && editor && !editor->read_only();
}

void mapp_analyse_music(MFrame& frame) {
    MAppUserPort& port = frame.port();
    MseqEntity* shown = frame.shown_file();
    MedtMusicInvoker* editor = editor_of(shown);
    const int entry = frame.edit_selection();
    if (!mapp_can_analyse(shown) || frame.playing() || entry < 0) return;
    MseqObject* node = frame.edit_list()[static_cast<size_t>(entry)].node;
    MseqObject* book = node ? node->parent() : nullptr;
    auto* music = static_cast<MseqMusic*>(shown);
    MAppFields fields;
    fields.set("analysis", CkvString("chord"));
    if (!port.run_dialog(MAppDialog::analyse_music, fields, MAppDialogCheck())) return;
    MplyAnalysisTarget target = MplyAnalysisTarget::chord_degrees;
    mapp_import_analysis(fields.get("analysis"), &target);

    const CkvString cannot = mapp_text("和声を解析できませんでした。");
    MseqObject* chord_leaf =
        book && book->type == MTYPE_BOOK_MUSIC ? add_chord_leaf(book, *shown) : nullptr;
    if (!chord_leaf) {
        port.warn(mapp_format("%s\n\n※ 曲のミュージックブックにコードマップを追加できません。",
                              cannot.c_str()));
        return;
    }
    ref_ptr<MseqEntity> map_content = mseq_open(chord_leaf);
    auto* map = map_content ? map_content->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD) : nullptr;
    ref_ptr<MseqEntity> book_content = mseq_open(book);
    auto* book_entity = book_content ? book_content->cast_to<MseqBook>(MTYPE_BOOK) : nullptr;
    const auto drop_leaf = [&] {
        map_content = nullptr;
        if (book_entity) book_entity->remove(chord_leaf->id);
    };
    if (!map || !book_entity) {
        drop_leaf();
        port.warn(cannot);
        return;
    }
    map->name = chord_leaf->name;

    // The analysis changes the music in place; what it did is taken, the music put back, and
    // the same change posted to the editor as commands, so that the history holds it.
    Contents before = take_contents(*music);
    MplyAnalysisReport report;
    MplyAnalysisFault fault = MplyAnalysisFault::none;
    port.wait_cursor(true);
    const bool analysed =
        mply_analyse_music(*music, *map, mseq_with_file_number(chord_leaf->id, MFILE_OWN_BOOK),
                           target, &report, &fault);
    port.wait_cursor(false);
    if (!analysed) {
        drop_leaf();
        port.warn(mapp_format("%s\n\n※ %s", cannot.c_str(), mapp_text(fault_text(fault)).c_str()));
        return;
    }
    const MSEQ_ID chord_track_id = music->m_TrackChordID;
    auto chord_track = std::make_unique<MseqObject>();
    MseqObject* chord_node = music->find_track(chord_track_id);
    const bool copied = chord_node && mseq_copy_tree(chord_node, chord_track.get());
    Contents after = take_contents(*music);
    restore(*music, before, chord_track_id);
    if (!copied) {
        drop_leaf();
        port.warn(cannot);
        return;
    }
    // The chord map is written before the music follows it; the book then lists it.
    kv_fs::file_error why;
    MseqEntity* failed = nullptr;
    if (!MrecCompiler::save(map, &why))
        failed = map;
    else if (!MrecCompiler::save(book_entity, &why))
        failed = book_entity;
    if (failed) {
        const CkvString file = mapp_shown_path(failed->full_path);
        if (failed == book_entity) std::remove(kv_fs::to_host(map->full_path.str()).c_str());
        drop_leaf();
        port.warn(mapp_format("%s\n\n※ %s を書き込めません: %s", cannot.c_str(), file.c_str(),
                              why.text().c_str()));
        return;
    }
    port.refresh(MAppRefresh::room_tree);
    if (!post_analysis(*editor, std::move(chord_track), after)) {
        port.warn(mapp_format("%s\n\n※ 編集できませんでした。", cannot.c_str()));
        return;
    }
    port.refresh(MAppRefresh::editor_view);
    port.refresh(MAppRefresh::title);
    port.refresh(MAppRefresh::menus);
    port.inform(
        CkvString(mapp_text("和声を解析しました。").str() + mapp_analysis_lines(report).str()));
}
