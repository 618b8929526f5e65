// The main frame's edit-list part: the files opened for editing, the shown entry, the play
// cursors, and closing entries.
#include "app/MFrameEditList.h"

#include "app/MAppAudition.h"
#include "app/MAppProblem.h"
#include "app/MAppText.h"
#include "app/MFrame.h"
#include "edit/McmdKind.h"
#include "edit/MedtEntity.h"
#include "edit/MedtMusic.h"
#include "model/core/MseqDesk.h"
#include "text/MrecEntityWriter.h"

MFrameEditList::MFrameEditList(MFrame& frame) : frame_(frame), port_(&frame.port()) {}

MFrameEditList::~MFrameEditList() = default;

MseqEntity* MFrameEditList::shown_file() const {
    if (selection_ < 0 || selection_ >= static_cast<int>(entries_.size())) return nullptr;
    return entries_[static_cast<size_t>(selection_)].entity.get();
}

int MFrameEditList::entry_of(const MseqEntity* entity) const {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].entity.get() == entity) return static_cast<int>(i);
    }
    return -1;
}

void MFrameEditList::select(int index) {
    selection_ = index >= 0 && index < static_cast<int>(entries_.size()) ? index : -1;
    port_->refresh(MAppRefresh::editor_view);
    port_->refresh(MAppRefresh::title);
}

int MFrameEditList::open(MseqEntity* entity, MseqObject* node, bool shown) {
    if (!entity) return -1;
    int index = entry_of(entity);
    if (index < 0) {
        MAppEditEntry entry;
        entry.entity = ref_ptr<MseqEntity>(entity);
        entry.node = node;
        entries_.push_back(std::move(entry));
        index = static_cast<int>(entries_.size()) - 1;
        // The editor object is made through the entity (the editing layer builds it); files
        // without an editor are shown in the about view. A music editor gets the frame's two
        // spare nodes as its clipboards and asks its questions through the frame's port.
        MgenRef* editor = MseqDesk::instance().editor_of(entity);
        if (MgenRef* m = editor ? editor->cast(MKIND_EDT_MUSIC) : nullptr) {
            auto* music = static_cast<MedtMusic*>(m);
            music->sequence_clipboard = &spare_nodes_[0];
            music->leaf_clipboard = &spare_nodes_[1];
            music->port = port_;
            music->edit_observer = frame_.playback().audition();
        }
        // A file that does not exist yet (a link opened after "create it?") is marked modified
        // when it is first opened, so that save-all and the exit question write it. Content kept
        // inside its book's file is the book's to write.
        const bool own_file = node ? !node->is_with() : !entity->full_path.empty();
        if (own_file) MseqDesk::instance().mark_new_for_save(entity);
        note_saved(entity);
        port_->refresh(MAppRefresh::edit_list);
    }
    if (shown) select(index);
    return index;
}

namespace {

// The editor of an entity open in the edit list, as the editing layer's base; nullptr when the
// entity has no editor.
MedtEntity* editor_base(const MseqEntity* entity) {
    MgenRef* editor = MseqDesk::instance().editor_of(const_cast<MseqEntity*>(entity));
    return editor && (editor->kind() & 0xFFFF0000u) == 0x80030000u
               ? static_cast<MedtEntity*>(editor)
               : nullptr;
}

}  // namespace

void MFrameEditList::set_play_cursor(MseqEntity* entity, int32_t tick) {
    const int i = entry_of(entity);
    if (i < 0) return;
    entries_[static_cast<size_t>(i)].play_tick = tick;
    // The editor keeps the cursor in its display units; the entry keeps the tick it was set to,
    // so that a cursor between two pixels returns exactly.
    if (MedtEntity* editor = editor_base(entity)) editor->set_play_tick(tick);
    port_->refresh(MAppRefresh::play_cursor, nullptr, entity);
}

int32_t MFrameEditList::play_cursor(const MseqEntity* entity) const {
    const int i = entry_of(entity);
    return i < 0 ? 0 : entries_[static_cast<size_t>(i)].play_tick;
}

MAppView MFrameEditList::shown_view() const {
    const MseqEntity* file = shown_file();
    MedtEntity* editor = file ? editor_base(file) : nullptr;
    if (!editor) return MAppView::about;
    if (editor->cast(MKIND_EDT_MUSIC)) return MAppView::music;
    if (editor->cast(MKIND_EDT_MAP_STAGE)) return MAppView::stage;
    if (editor->cast(MKIND_EDT_MAP_CHORD)) return MAppView::chord;
    return MAppView::about;
}

MseqObject* MFrameEditList::node_showing(const MseqEntity* entity) const {
    const int i = entry_of(entity);
    return i < 0 ? nullptr : entries_[static_cast<size_t>(i)].node;
}

// ---- Edit list ----

void MFrameEditList::close_unmodified() {
    MseqDesk& desk = MseqDesk::instance();
    const MseqEntity* keep = shown_file();
    std::vector<MAppEditEntry> kept;
    for (MAppEditEntry& e : entries_) {
        if (e.entity.get() == keep || (e.entity->flags & MEF_MODIFIED)) {
            kept.push_back(std::move(e));
        } else {
            MseqEntity* gone = e.entity.get();
            e.entity = nullptr;
            desk.close_editor(gone);
        }
    }
    entries_ = std::move(kept);
    selection_ = keep ? entry_of(keep) : -1;
    desk.trim_cache();
    port_->refresh(MAppRefresh::edit_list);
    port_->refresh(MAppRefresh::room_tree);
}

void MFrameEditList::close_selected() {
    if (selection_ < 0) {
        close_unmodified();
        return;
    }
    MAppEditEntry& entry = entries_[static_cast<size_t>(selection_)];
    MseqEntity* e = entry.entity.get();
    bool discard = false;
    if (e->flags & MEF_MODIFIED) {
        const CkvString text = mapp_format(mapp_msg::ASK_SAVE_LEAF, e->name.c_str(),
                                           mapp_shown_path(e->full_path).c_str());
        switch (port_->ask_yes_no_cancel(text)) {
            case MAppAnswer::yes:
                if (!frame_.save_file(e)) return;
                break;
            case MAppAnswer::no:
                discard = true;
                break;
            case MAppAnswer::cancel:
                return;
        }
    }
    // The entity outlives the entry while its node or the desk holds it.
    ref_ptr<MseqEntity> hold(e);
    entries_.erase(entries_.begin() + selection_);
    MseqDesk& desk = MseqDesk::instance();
    desk.close_editor(e);
    // Something else (its node, the cache) still holds the entity when it has more than this
    // one reference; otherwise dropping the reference drops the changes with it.
    if (discard && e->ref_count() > 1) {
        hold = nullptr;
        if (!desk.unload(e) && !desk.revert(e, !e->full_path.empty())) {
            port_->warn(mapp_text(mapp_msg::RELOAD_ROLLBACK_FAILED));
        }
    }
    selection_ = -1;
    port_->refresh(MAppRefresh::edit_list);
    port_->refresh(MAppRefresh::editor_view);
    port_->refresh(MAppRefresh::room_tree);
    port_->refresh(MAppRefresh::title);
}

void MFrameEditList::note_saved(const MseqEntity* entity) {
    const int i = entry_of(entity);
    if (i < 0) return;
    MAppEditEntry& e = entries_[static_cast<size_t>(i)];
    e.saved_text.clear();
    if (!(entity->flags & MEF_MODIFIED))
        mrec_write_entity(const_cast<MseqEntity*>(entity), &e.saved_text);
}

const std::string* MFrameEditList::saved_text(const MseqEntity* entity) const {
    const int i = entry_of(entity);
    if (i < 0 || entries_[static_cast<size_t>(i)].saved_text.empty()) return nullptr;
    return &entries_[static_cast<size_t>(i)].saved_text;
}

void MFrameEditList::close_all() {
    selection_ = -1;
    port_->refresh(MAppRefresh::editor_view);
    MseqDesk& desk = MseqDesk::instance();
    for (const MAppEditEntry& e : entries_)
        desk.close_editor(e.entity.get());
    entries_.clear();
}

void MFrameEditList::set_read_only(bool locked) {
    // While a run reads the model without locks, no edit may change it: the music editors
    // decline every command while they are locked.
    for (const MAppEditEntry& e : entries_) {
        MgenRef* editor = MseqDesk::instance().editor_of(e.entity.get());
        MgenRef* m = editor ? editor->cast(MKIND_EDT_MUSIC) : nullptr;
        if (!m) continue;
        auto* music = static_cast<MedtMusic*>(m);
        if (locked) {
            music->edit_flags |= MEDT_READ_ONLY;
        } else {
            music->edit_flags &= ~static_cast<uint32_t>(MEDT_READ_ONLY);
        }
    }
}
