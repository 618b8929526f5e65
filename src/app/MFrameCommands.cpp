// The command table of the main frame: which command runs what, when it is enabled, and the
// menus with their live states.
#include "app/MFrame.h"

#include <algorithm>
#include <cstdint>

#include "app/MAppProblem.h"
#include "app/MAppText.h"
#include "app/MFrameAnalysis.h"
#include "app/MFrameImport.h"
#include "app/MFrameRender.h"
#include "model/core/MseqDesk.h"
#include "model/library/MseqConfig.h"
#include "play/devices/MplyDevice.h"

namespace {

bool playable_type(MSEQ_TYPE t) {
    return t == MTYPE_LEAF_MUSIC || t == MTYPE_LEAF_PHRASE;
}

// The type a creation command inserts; 0 for a link whose type comes from the file.
MSEQ_TYPE created_type(uint32_t id) {
    switch (id) {
        case ID_ADD_PATTERN_BOOK:
            return MTYPE_BOOK_LIBRARY;
        case ID_ADD_MUSIC:
            return MTYPE_BOOK_MUSIC;
        case ID_ADD_STAGE:
            return MTYPE_LEAF_STAGE;
        case ID_ADD_CHORD:
            return MTYPE_LEAF_CHORD;
        case ID_ADD_FOLDER:
            return MTYPE_LEAF_FOLDER;
        default:
            return MTYPE_LEAF_PHRASE;
    }
}

bool is_create_command(uint32_t id) {
    return id >= ID_ADD_FILE_LINK && id <= 40089;
}

}  // namespace

bool MFrame::enabled(uint32_t id) const {
    const bool idle = !playing();
    const MseqEntity* shown = shown_file();
    if (id >= ID_ROOM_RECENT_FIRST && id <= ID_ROOM_RECENT_LAST)
        return mseq_config().recent_room(id - ID_ROOM_RECENT_FIRST) != nullptr;
    if (is_create_command(id) && id != ID_NEW_MUSIC_BUTTON) {
        const MseqObject* n = selected_node();
        if (!n || !room_node()) return false;
        const bool usable = n->type == MTYPE_LEAF_FOLDER || mseq_has_content(n);
        if (!usable) return false;
        if (id == ID_ADD_FILE_LINK) return mseq_can_contain(n, 0);
        if (id == ID_ADD_MUSIC) return mseq_can_contain(room_node(), MTYPE_BOOK_MUSIC);
        return mseq_can_contain(n, created_type(id));
    }
    switch (id) {
        case ID_ROOM_CREATE:
        case ID_ROOM_OPEN:
        case ID_APP_EXIT:
        case ID_TOOL_SETTINGS:
        case ID_TOOL_MANUAL:
        case ID_TOOL_VERSION:
        case ID_STOP:
        case ID_LINK_INFO:
        case ID_AUDITION:
        // Always there to press: without a music or a phrase the status bar says what is missing.
        case ID_AUDITION_PHRASE:
            return true;
        case ID_STEP_RECORD:
            return idle;
        case ID_LIVE_RECORD:
            return midi_input_->mode() == MAppRecordMode::live || (idle && mapp_playable(shown));
        case ID_ROOM_NONE:
            return false;
        case ID_ROOM_CLOSE:
        case ID_NEW_MUSIC_BUTTON:
            return room_node() != nullptr;
        case ID_FILE_SAVE:
            return shown && (shown->flags & MEF_MODIFIED);
        case ID_FILE_SAVE_ALL:
            return !MseqDesk::instance().modified.empty();
        case ID_EXPORT_MIDI:
        case ID_EXPORT_FILE:
        case ID_RENDER_AUDIO:
            return idle && mapp_playable(shown);
        case ID_IMPORT_MIDI:
            return idle && !mapp_music_books(room_node()).empty();
        case ID_ANALYSE_MUSIC:
            return idle && mapp_can_analyse(shown);
        case ID_LINK_DELETE:
            return library_->deletable(selected_node());
        case ID_LINK_OPEN:
        case ID_LINK_RENAME:
            return selected_node() != nullptr;
        case ID_PLAY_LINK:
            return !idle || (selected_node() && playable_type(selected_node()->type));
        case ID_EDIT_CLOSE:
            return true;
        case ID_EDIT_RENAME:
            return edit_selection() >= 0;
        case ID_TOOL_RELEASE:
            return idle && playback_->device_open();
        case ID_PLAY:
            return !idle || mapp_playable(shown);
        case ID_PAUSE:
            return !idle;
        case ID_GO_START:
        case ID_GO_END:
            return mapp_playable(shown);
        case ID_PLAY_FROM_CURSOR:
            return mapp_playable(shown) && playback_->edit_cursor_tick() >= 0;
        default:
            return false;
    }
}

bool MFrame::checked(uint32_t id) const {
    if (id == ID_AUDITION) return playback_->audition_on();
    if (id == ID_STEP_RECORD) return midi_input_->mode() == MAppRecordMode::step;
    if (id == ID_LIVE_RECORD) return midi_input_->mode() == MAppRecordMode::live;
    return id == ID_LINK_INFO && link_info_shown();
}

bool MFrame::run(uint32_t id) {
    if (!enabled(id)) return false;
    if (id >= ID_ROOM_RECENT_FIRST && id <= ID_ROOM_RECENT_LAST) {
        open_recent(id - ID_ROOM_RECENT_FIRST);
        return true;
    }
    switch (id) {
        case ID_ROOM_CREATE:
            create_room_dialog();
            return true;
        case ID_ROOM_OPEN:
            open_room_dialog();
            return true;
        case ID_ROOM_CLOSE:
            if (ask_to_save(mapp_text(mapp_msg::CLOSE_LIBRARY))) close_room();
            return true;
        case ID_FILE_SAVE:
            save_selected();
            return true;
        case ID_FILE_SAVE_ALL:
            save_all();
            return true;
        case ID_EXPORT_MIDI:
            playback_->export_midi();
            return true;
        case ID_IMPORT_MIDI:
            mapp_import_midi(*this);
            return true;
        case ID_ANALYSE_MUSIC:
            mapp_analyse_music(*this);
            return true;
        case ID_EXPORT_FILE:
            mapp_export_file(*this);
            return true;
        case ID_RENDER_AUDIO:
            mapp_render_audio(*this);
            return true;
        case ID_APP_EXIT:
            // Without a front end's placement the stored one stays.
            exit(MAppPlacement{});
            return true;
        case ID_LINK_DELETE:
            library_->delete_link();
            return true;
        case ID_LINK_OPEN:
            library_->open_link();
            return true;
        case ID_PLAY_LINK:
            playback_->play_link();
            return true;
        case ID_LINK_RENAME:
        case ID_EDIT_RENAME:
            // Renaming in place is the tree window's own editing; nothing to do here.
            return true;
        case ID_LINK_INFO:
            library_->toggle_link_info();
            port_->refresh(MAppRefresh::menus);
            return true;
        case ID_EDIT_CLOSE:
            edits_->close_selected();
            return true;
        case ID_TOOL_RELEASE:
            playback_->release_device();
            return true;
        case ID_TOOL_SETTINGS:
            settings();
            return true;
        case ID_TOOL_MANUAL:
            manual();
            return true;
        case ID_TOOL_VERSION:
            select_edit(-1);
            return true;
        case ID_PLAY:
            playback_->play_toggle();
            return true;
        case ID_STOP:
            playback_->request_stop(MPE_STOPPED);
            return true;
        case ID_PAUSE:
            playback_->request_stop(MPE_PAUSED);
            return true;
        case ID_PLAY_FROM_CURSOR:
            playback_->play_from_edit_cursor();
            return true;
        case ID_GO_START:
            move_play_cursor(0);
            return true;
        case ID_AUDITION:
            playback_->set_audition(!playback_->audition_on());
            return true;
        case ID_AUDITION_PHRASE:
            playback_->audition_phrase(selected_node());
            return true;
        case ID_STEP_RECORD:
            midi_input_->set_mode(midi_input_->mode() == MAppRecordMode::step
                                      ? MAppRecordMode::off
                                      : MAppRecordMode::step);
            port_->refresh(MAppRefresh::menus);
            return true;
        case ID_LIVE_RECORD:
            toggle_live_record();
            port_->refresh(MAppRefresh::menus);
            return true;
        case ID_GO_END:
            move_play_cursor(static_cast<int32_t>(
                std::min<int64_t>(MFramePlayback::end_tick(shown_file()), INT32_MAX)));
            return true;
        case ID_ADD_MUSIC:
        case ID_NEW_MUSIC_BUTTON:
            library_->new_music();
            return true;
        case ID_ADD_FOLDER:
            library_->create_folder();
            return true;
        default:
            if (is_create_command(id)) {
                library_->create_item(id);
                return true;
            }
            return false;
    }
}

std::vector<MAppMenuEntry> MFrame::menu(MAppMenu which) const {
    std::vector<MAppMenuEntry> entries = mapp_commands::fixed_entries(which);
    const bool recent_menu = which == MAppMenu::file || which == MAppMenu::room_dropdown;
    if (recent_menu) {
        const auto& rooms = mseq_config().m_RecentRooms;
        if (which == MAppMenu::file && !rooms.empty()) {
            MAppMenuEntry sep;
            sep.kind = MAppMenuEntry::separator;
            entries.push_back(sep);
        }
        for (size_t i = 0; i < rooms.size() && i < MseqConfig::kMaxRecentRooms; ++i) {
            MAppMenuEntry e;
            e.id = ID_ROOM_RECENT_FIRST + static_cast<uint32_t>(i);
            e.label =
                mapp_format("%d - %s", static_cast<int>(i + 1), mapp_shown_path(rooms[i]).c_str());
            entries.push_back(e);
        }
        if (which == MAppMenu::room_dropdown && rooms.empty()) {
            MAppMenuEntry e;
            e.id = ID_ROOM_NONE;
            e.label = mapp_commands::label(ID_ROOM_NONE);
            entries.push_back(e);
        }
    }
    for (MAppMenuEntry& e : entries) {
        if (e.kind != MAppMenuEntry::command) continue;
        e.enabled = enabled(e.id);
        e.checked = checked(e.id);
    }
    return entries;
}
