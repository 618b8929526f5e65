// The menu commands of the music view and its track list, and the marker rename of phrase
// tracks: they turn the user's choice into commands and show what went wrong.
#include "edit/MedtMusic.h"

#include <algorithm>
#include <string>

#include "edit/McmdMusic.h"
#include "edit/McmdSeqs.h"
#include "edit/McmdTrack.h"
#include "edit/MedtText.h"
#include "edit/MedtTrackKinds.h"
#include "edit/MedtTransaction.h"
#include "edit/MedtUserPort.h"
#include "edit/MedtViewCommands.h"
#include "model/block/MseqBlockRefer.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqType.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapWord.h"
#include "model/theory/MseqMsgForm.h"
#include "model/track/MseqReplace.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackTree.h"

namespace {

// The track types of the add-track sub-menu, from MVC_ADD_GROUP to MVC_ADD_MESSAGE.
const MSEQ_TYPE kAddTypes[12] = {
    MTYPE_TRACK_GROUP,  MTYPE_TRACK_TEXT,  MTYPE_TRACK_MEMO,       MTYPE_TRACK_LYRIC,
    MTYPE_TRACK_MARKER, MTYPE_TRACK_TEMPO, MTYPE_TRACK_CHORD,      MTYPE_TRACK_CHORD_MAP,
    MTYPE_TRACK_REFER,  MTYPE_TRACK_NOTE,  0 /* rhythm: pop-up */, MTYPE_TRACK_MSG,
};
// The preset messages of MVC_ADD_PRESET_FIRST to MVC_ADD_PRESET_LAST.
const uint32_t kPresetForms[10] = {30, 1, 10, 11, 64, 91, 92, 93, 94, 95};

void warn(MedtUserPort* port, medt_msg text) {
    if (port) port->warn(medt_text(text));
}

}  // namespace

int MedtMusicInvoker::add_track(MSEQ_TYPE type, const MseqBlockWord* preset, int32_t property) {
    if (!music_ || !current_) return 0;
    auto create = mcmd_make<McmdCreateLeaf>(current_->id(), MPLACE_LAST_CHILD, 0, type,
                                            preset ? preset->m_Name : CkvString());
    // The new track and its preset are one gesture.
    MedtTransaction gesture(*this);
    if (!gesture.post(create.get()) || !create->made) {
        warn(port, medt_msg::ADD_TRACK_FAILED);
        return 0;
    }
    // The preset is a property of the new track, set as the property list would set it.
    if (preset) {
        auto set = mcmd_make<McmdSetProperty>(create->made->id, property, *preset);
        execute(set.get());
    }
    return 1;
}

int MedtMusicInvoker::add_rhythm_track(const MseqBlockWord& sound) {
    if (sound.m_Attrib != MWORD_DRUM_SOUND) return 0;
    const MseqBlockWord* known =
        MseqMapWord::builtin().get(MWORD_DRUM_SOUND, sound.m_Group, sound.m_Index);
    return known ? add_track(MTYPE_TRACK_NOTE, known, MROW_NOTE_RHYTHM) : 0;
}

int MedtMusicInvoker::command(int id) {
    if (id >= MVC_CUT && id <= MVC_SPACE) {
        action(MACT_CUT + (id - MVC_CUT));
        return 1;
    }
    if (id == MVC_UNDO) {
        undo();
        return 1;
    }
    if (id == MVC_REDO) {
        redo();
        return 1;
    }
    const bool add = (id >= MVC_ADD_GROUP && id <= MVC_ADD_MESSAGE) ||
                     (id >= MVC_ADD_PRESET_FIRST && id <= MVC_ADD_PRESET_LAST);
    if (!add && (id < MVC_DELETE_TRACK || id > MVC_PASTE_TRACK)) return 0;
    if (id == MVC_ADD_RHYTHM) return 0;  // the rhythm sound is picked in the view's pop-up first
    if (!music_ || !current_) return 1;
    const MSEQ_ID selected = current_->id();
    if (add) {
        const MSEQ_TYPE type =
            id <= MVC_ADD_MESSAGE ? kAddTypes[id - MVC_ADD_GROUP] : MTYPE_TRACK_MSG;
        const MseqMsgForm* form =
            id >= MVC_ADD_PRESET_FIRST
                ? MseqMsgFormMap::builtin().find(kPresetForms[id - MVC_ADD_PRESET_FIRST])
                : nullptr;
        add_track(type, form ? &form->m_Name : nullptr, MROW_MSG_FORM);
        return 1;
    }
    if (id == MVC_DELETE_TRACK) {
        MseqObject* node = current_->node();
        const CkvString question =
            medt_format(medt_text(medt_msg::DELETE_TRACK_QUESTION).c_str(), node->id,
                        node->name.c_str(), mseq_type_name(node->type).c_str());
        if (!port || !port->ask_yes_no(question)) return 1;
        auto remove = mcmd_make<McmdDeleteLeafs>(selected);
        if (!MedtTransaction(*this).post(remove.get())) warn(port, medt_msg::DELETE_TRACK_FAILED);
        return 1;
    }
    if (id == MVC_COPY_TRACK) {
        auto store = mcmd_make<McmdStoreLeafs>(0);
        execute(store.get());
        if (store->state != MCMD_DONE || !store->result) warn(port, medt_msg::COPY_TRACK_REFUSED);
        return 1;
    }
    auto paste = mcmd_make<McmdInsertLeafs>(selected, MPLACE_LAST_CHILD, nullptr, false);
    if (!MedtTransaction(*this).post(paste.get())) warn(port, medt_msg::PASTE_TRACK_FAILED);
    return 1;
}

int MedtMusicInvoker::rename_track(MSEQ_ID id, const CkvString& name) {
    if (!music_ || read_only() || !find_track(id)) return 0;
    MseqBlockWord value;
    value.m_Name = name;
    auto set = mcmd_make<McmdSetProperty>(id, MROW_NAME, value);
    execute(set.get());
    return set->state == MCMD_DONE ? 1 : 0;
}

int MedtMusicInvoker::move_leaf(MSEQ_ID id, MSEQ_ID anchor, int place) {
    if (!music_ || read_only()) return 0;
    // The move is a gesture of its own: it neither joins the previous edit's group nor lets the
    // next edit join its own, so that one undo takes back exactly the move.
    auto move = mcmd_make<McmdMoveLeafs>(id, anchor, place);
    if (!MedtTransaction(*this).post(move.get())) {
        warn(port, medt_msg::MOVE_TRACK_FAILED);
        return 0;
    }
    return 1;
}

int MedtTrackRefer::drop_marker(int32_t position, const CkvString& name, bool all) {
    auto* track = stored() ? stored()->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER) : nullptr;
    const MseqBlockRefer* block = track ? track->block_at(position) : nullptr;
    if (!block) return 0;
    if (!all) {
        MseqBlockRefer renamed = *block;
        renamed.m_StartMarker = name;
        return set_block(position, &renamed);
    }
    MseqReplaceRefer rename;
    rename.m_From = 0;
    rename.m_To =
        static_cast<int32_t>(std::min<int64_t>(track->end_index(track->m_Beat), INT32_MAX));
    rename.m_Match = MREPLACE_PHRASE | MREPLACE_MARKER;
    rename.m_Set = MREPLACE_MARKER;
    rename.m_MatchBlock = *block;
    rename.m_NewBlock.m_StartMarker = name;
    MseqMusic* music = editor_->music();
    MseqObject* phrase = music ? music->find(block->m_PhraseID) : nullptr;
    auto shown = [](const CkvString& marker) {
        return marker.empty() ? medt_text(medt_msg::HOME_MARKER) : marker;
    };
    const CkvString question = medt_format(
        medt_text(medt_msg::REPLACE_MARKER_QUESTION).c_str(), phrase ? phrase->name.c_str() : "",
        block->m_PhraseID, shown(block->m_StartMarker).c_str(), shown(name).c_str());
    if (!editor_->port || !editor_->port->ask_yes_no(question)) return 0;
    auto* invoker = static_cast<MedtMusicInvoker*>(editor_->cast(MKIND_EDT_MUSIC_INVOKER));
    if (!invoker) return 0;
    auto replace = mcmd_make<McmdReplaceSeqs>(id(), rename);
    invoker->execute(replace.get());
    return replace->state == MCMD_DONE ? replace->result : 0;
}
