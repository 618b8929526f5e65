#include "app/MFrameAnalysis.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/MAppProblem.h"
#include "app/MAppText.h"
#include "app/MFrame.h"
#include "app/MFrameImport.h"
#include "edit/McmdBookLink.h"
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

namespace {

MedtMusicInvoker* editor_of(const MseqEntity* entity) {
    MgenRef* editor =
        entity ? MseqDesk::instance().editor_of(const_cast<MseqEntity*>(entity)) : nullptr;
    MgenRef* m = editor ? editor->cast(MKIND_EDT_MUSIC_INVOKER) : nullptr;
    return m ? static_cast<MedtMusicInvoker*>(m) : nullptr;
}

// True when a chord map file of that name exists or waits, unsaved, for the next save.
bool file_taken(const CkvString& full) {
    if (kv_fs::path_exists(full.str())) return true;
    MseqDesk& desk = MseqDesk::instance();
    const auto cached = desk.cache.find(full);
    return cached != desk.cache.end() && (cached->second->flags & MEF_MODIFIED);
}

// A file name beside the music's own: "NAME_chord.kvnl" for the first key, "NAME_chord2.kvnl"
// for the second..., numbered "NAME_2_chord.kvnl" when taken. Empty when none of the first
// thousand is free.
std::string free_chord_file(const CkvString& folder, const std::string& stem,
                            const std::string& suffix) {
    for (int n = 1; n <= 1000; ++n) {
        std::string name = stem;
        if (n > 1) {
            name += '_';
            name += std::to_string(n);
        }
        name += suffix + ".kvnl";
        if (!file_taken(mseq_path::append(folder, name))) return name;
    }
    return {};
}

// The chord maps of the window's analysis: each a new leaf at the end of the music's book, added
// by a command of the gesture so that the undo takes it out again; its file is written at the
// next save, as every new leaf's is.
class GestureMaps final : public MplyAnalysisMaps {
public:
    GestureMaps(MedtTransaction& gesture, const MseqBook& book, const MseqEntity& music)
        : gesture_(gesture), book_(book), music_(music) {}

    MseqMapChord* add_map(size_t index, MSEQ_ID* ref) override {
        CkvString stem;
        if (book_.full_path.empty() || !mseq_path::name_from_file_path(music_.full_path, &stem))
            return nullptr;
        const std::string suffix = "_chord" + (index ? std::to_string(index + 1) : std::string());
        const std::string file =
            free_chord_file(mseq_path::remove_file_name(book_.full_path), stem.str(), suffix);
        if (file.empty()) return nullptr;
        ref_ptr<McmdBookLink> link = McmdBookLink::add_new_map(
            CkvString(music_.name.str() + suffix), CkvString("<book>.\\" + file), nullptr);
        link->relate = false;
        if (!gesture_.post(link.get()) || !link->made) return nullptr;
        ref_ptr<MseqEntity> content = mseq_open(link->made);
        auto* map = content ? content->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD) : nullptr;
        if (!map) return nullptr;
        contents_.push_back(content);
        *ref = mseq_with_file_number(link->made->id, MFILE_OWN_BOOK);
        return map;
    }

private:
    MedtTransaction& gesture_;
    const MseqBook& book_;
    const MseqEntity& music_;
    std::vector<ref_ptr<MseqEntity>> contents_;
};

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
    std::set<MSEQ_ID> header;  // the header's tracks
    MSEQ_ID map_chord = 0;
    MSEQ_ID track_chord = 0;
    uint32_t next_id = 0;  // the track identifier counter
};

Contents take_contents(MseqMusic& music) {
    Contents c;
    for (MseqObject* n : changed_kinds(music)) {
        auto copy = std::make_unique<MseqObject>();
        if (mseq_copy_track(n, copy.get())) c.tracks[n->id] = std::move(copy);
    }
    MseqObject* header = music.find_track(MID_TRACK_HEADER);
    for (MseqObject* n = header ? header->first_child() : nullptr; n; n = n->next())
        c.header.insert(n->id);
    c.map_chord = music.m_MapChordID;
    c.track_chord = music.m_TrackChordID;
    c.next_id = music.m_NextID;
    return c;
}

// The header tracks the analysis added (the transposition track, when the key changes, then
// the chord track), as detached copies.
std::vector<std::unique_ptr<MseqObject>> new_tracks(MseqMusic& music, const Contents& before) {
    std::vector<std::unique_ptr<MseqObject>> out;
    MseqObject* header = music.find_track(MID_TRACK_HEADER);
    for (MseqObject* n = header ? header->first_child() : nullptr; n; n = n->next()) {
        if (before.header.count(n->id)) continue;
        auto copy = std::make_unique<MseqObject>();
        if (!mseq_copy_tree(n, copy.get())) return {};
        out.push_back(std::move(copy));
    }
    return out;
}

// Puts the music back as `before` held it, without the new header tracks.
void restore(MseqMusic& music, const Contents& before) {
    for (const auto& [id, content] : before.tracks)
        music.replace_track(id, content.get(), false, nullptr);
    std::vector<MSEQ_ID> added;
    MseqObject* header = music.find_track(MID_TRACK_HEADER);
    for (MseqObject* n = header ? header->first_child() : nullptr; n; n = n->next()) {
        if (!before.header.count(n->id)) added.push_back(n->id);
    }
    for (MSEQ_ID id : added)
        music.remove_track(id);
    music.m_MapChordID = before.map_chord;
    music.m_TrackChordID = before.track_chord;
    music.m_NextID = before.next_id;
}

// Posts the analysed state into the gesture: the music's standard chord map and chord track
// first (so that the undo, ending with it, gives back the track identifier counter too), the new
// header tracks and the new content of every group and note track. False when the editor
// refused a command (the gesture is then rolled back).
bool post_analysis(MedtTransaction& gesture, std::vector<std::unique_ptr<MseqObject>> added,
                   Contents& after) {
    auto links = mcmd_make<McmdSetChordLinks>(after.map_chord, after.track_chord);
    if (!gesture.post(links.get())) return false;
    for (auto& track : added) {
        auto insert =
            mcmd_make<McmdInsertLeafs>(MID_TRACK_HEADER, MPLACE_LAST_CHILD, std::move(track));
        if (!gesture.post(insert.get())) return false;
    }
    for (auto& [id, content] : after.tracks) {
        auto replace = mcmd_make<McmdReplaceLeafs>(id, std::move(content));
        if (!gesture.post(replace.get())) return false;
    }
    return true;
}

}  // namespace

const char* mapp_analysis_fault_text(MplyAnalysisFault fault) {
    switch (fault) {
        case MplyAnalysisFault::none:
            break;
        case MplyAnalysisFault::follows_chords:
            return kv_text(mapp_msg::ANALYSIS_ALREADY_FOLLOWS);
        case MplyAnalysisFault::music_full:
            return kv_text(mapp_msg::ANALYSIS_NO_ROOM_FOR_CHORDS);
        case MplyAnalysisFault::no_map:
            return kv_text(mapp_msg::ANALYSIS_MAP_NOT_ADDED);
        case MplyAnalysisFault::cannot_play:
            return kv_text(mapp_msg::ANALYSIS_TRACKS_FAILED);
    }
    return kv_text(mapp_msg::ANALYSIS_FAILED);
}

CkvString mapp_analysis_lines(const MplyAnalysisReport& a) {
    std::string keys = mply_analysis_key_name(a.tonic, a.minor);
    for (size_t i = 1; i < a.sections.size(); ++i) {
        const MplyAnalysisSection& s = a.sections[i];
        keys +=
            mapp_utf8_format(kv_text(mapp_msg::ANALYSIS_KEY_FROM_BAR), static_cast<int>(s.bar + 1),
                             mply_analysis_key_name(s.tonic, s.minor));
    }
    const uint32_t converted = a.chord_degrees + a.scale_degrees + a.tones;
    const CkvString key_text = mapp_text(keys.c_str());
    return mapp_format(mapp_msg::ANALYSIS_LINES, key_text.c_str(), a.chords, converted,
                       a.chord_degrees, a.scale_degrees, a.tones, a.kept_pure);
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

    const CkvString cannot = mapp_text(mapp_msg::HARMONY_NOT_ANALYSED);
    ref_ptr<MseqEntity> book_content =
        book && book->type == MTYPE_BOOK_MUSIC ? mseq_open(book) : nullptr;
    auto* book_entity = book_content ? book_content->cast_to<MseqBook>(MTYPE_BOOK) : nullptr;
    if (!book_entity) {
        port.warn(mapp_format(mapp_msg::HARMONY_MAP_NOT_ADDED, cannot.c_str()));
        return;
    }

    // The analysis changes the music in place; what it did is taken, the music put back, and
    // the same change posted to the editor as commands, so that the history holds it. The chord
    // maps are commands of the same gesture.
    MedtTransaction gesture(*editor);
    GestureMaps maps(gesture, *book_entity, *shown);
    Contents before = take_contents(*music);
    MplyAnalysisReport report;
    MplyAnalysisFault fault = MplyAnalysisFault::none;
    port.wait_cursor(true);
    const bool analysed = mply_analyse_music(*music, maps, target, &report, &fault);
    port.wait_cursor(false);
    if (!analysed) {
        gesture.rollback();
        port.refresh(MAppRefresh::room_tree);
        port.warn(mapp_format(mapp_msg::HARMONY_WITH_NOTE, cannot.c_str(),
                              mapp_text(mapp_analysis_fault_text(fault)).c_str()));
        return;
    }
    std::vector<std::unique_ptr<MseqObject>> added = new_tracks(*music, before);
    Contents after = take_contents(*music);
    restore(*music, before);
    port.refresh(MAppRefresh::room_tree);
    if (added.empty() || !post_analysis(gesture, std::move(added), after)) {
        gesture.rollback();
        port.warn(mapp_format(mapp_msg::HARMONY_NOT_EDITED, cannot.c_str()));
        return;
    }
    gesture.commit();
    port.refresh(MAppRefresh::editor_view);
    port.refresh(MAppRefresh::title);
    port.refresh(MAppRefresh::menus);
    port.inform(
        CkvString(mapp_text(mapp_msg::HARMONY_ANALYSED).str() + mapp_analysis_lines(report).str()));
}
