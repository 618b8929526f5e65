#include "model/library/MseqMusic.h"

#include <algorithm>

#include <unordered_map>
#include <vector>

#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqBook.h"
#include "model/track/MseqTrackRoot.h"
#include "model/track/MseqTrackTree.h"

namespace {

const CkvString kNoName;

bool is_fixed_track(MSEQ_TYPE type) {
    return type == MTYPE_TRACK_ROOT_MUSIC || type == MTYPE_TRACK_ROOT_PHRASE ||
           type == MTYPE_TRACK_HEADER || type == MTYPE_TRACK_DETAIL;
}

}  // namespace

MseqMusic::MseqMusic(MseqObject* node) : MseqMusic(node, MTYPE_TRACK_ROOT_MUSIC) {}

MseqMusic::MseqMusic(MseqObject* node, MSEQ_TYPE root_type) {
    owner = node;
    root_ =
        std::make_unique<MseqObject>(MID_TRACK_ROOT, root_type, kNoName, MseqDescPath(kPathWith));
    header_ =
        new MseqObject(MID_TRACK_HEADER, MTYPE_TRACK_HEADER, kNoName, MseqDescPath(kPathWith));
    detail_ =
        new MseqObject(MID_TRACK_DETAIL, MTYPE_TRACK_DETAIL, kNoName, MseqDescPath(kPathWith));
    mseq_link(root_.get(), header_, MPLACE_LAST_CHILD);
    mseq_link(root_.get(), detail_, MPLACE_LAST_CHILD);
    tracks.emplace(MID_TRACK_ROOT, root_.get());
    tracks.emplace(MID_TRACK_HEADER, header_);
    tracks.emplace(MID_TRACK_DETAIL, detail_);
    // The root track leads commands posted to any track back to this music; a phrase's root
    // points nowhere, so the tracks of a phrase run their commands themselves.
    MseqTrackRootMusic* root_track;
    if (root_type == MTYPE_TRACK_ROOT_PHRASE) {
        root_track = new MseqTrackRootPhrase(nullptr);
    } else {
        root_track = new MseqTrackRootMusic(this);
    }
    root_track->owner = root_.get();
    root_->attach(root_track);
    // Header and part have their (empty) contents from the start, as a music read from its
    // file has them, so that a new music and a loaded one are written alike.
    mseq_factory(header_);
    mseq_factory(detail_);
}

MseqMusic::~MseqMusic() = default;

int MseqMusic::reset() {
    m_NextID = 0x10001;
    m_MapStageID = m_MapChordID = m_TrackChordID = 0;
    m_Tempo = 120;
    m_Transpose = 0;
    m_Program = MseqBlockWord(MWORD_PROGRAM, 0, 0);
    m_Title = CkvString("%<entity>");
    m_Copyright.clear();
    m_BlankBar = m_GpM = m_GxB = m_ShowState = 0;
    m_NoteState = 2;
    for (MseqObject* fixed : {header_, detail_}) {
        while (MseqObject* child = fixed->first_child())
            delete child;
        fixed->release_entity();
        mseq_factory(fixed);
    }
    tracks.clear();
    tracks.emplace(MID_TRACK_ROOT, root_.get());
    tracks.emplace(MID_TRACK_HEADER, header_);
    tracks.emplace(MID_TRACK_DETAIL, detail_);
    mseq_link(root_.get(), header_, MPLACE_LAST_CHILD);
    mseq_link(root_.get(), detail_, MPLACE_LAST_CHILD);
    return 1;
}

int MseqMusic::validate() {
    // A music plays a melodic program or a drum kit; anything else becomes a program.
    if (m_Program.m_Attrib != MWORD_DRUM_KIT) m_Program.m_Attrib = MWORD_PROGRAM;
    m_Program.normalize();
    m_Tempo = kTempoRange.clamp(m_Tempo);
    m_Transpose = kTransposeRange.clamp(m_Transpose);
    m_BlankBar = kBlankBarRange.clamp(m_BlankBar);
    return mseq_validate_tracks(root_.get()) ? 1 : 0;
}

MSEQ_ID MseqMusic::allocate_track_id(MSEQ_TYPE type, MSEQ_ID requested) {
    if (requested) return mseq_make_id(MFILE_TRACKS, mseq_serial(requested));
    if (uint32_t fixed = mseq_fixed_serial(type)) return mseq_make_id(MFILE_TRACKS, fixed);
    if (m_NextID < 0x10001 || m_NextID > 0xF0000) m_NextID = 0x10001;
    for (uint32_t start : {m_NextID, 0x10001u}) {
        uint32_t i = mseq_own_track_id(start);
        while (tracks.count(i))
            ++i;
        if (i <= 0x1F0000) {
            // The next allocation starts on this serial and steps past it.
            m_NextID = mseq_serial(i);
            return i;
        }
    }
    return 0;
}

MSEQ_ID MseqMusic::check_create_track(MSEQ_ID anchor, int place, MSEQ_TYPE type,
                                      MSEQ_ID requested) {
    if (tracks.size() >= kMaxTracks || mseq_type_category(type) != MCAT_LEAF) return 0;
    auto it = tracks.find(mseq_own_track_id(anchor));
    if (it == tracks.end()) return 0;
    MseqObject* parent = mseq_placement_parent(it->second, place);
    if (!parent || !mseq_can_contain(parent, type)) return 0;
    const uint32_t saved_next = m_NextID;
    const MSEQ_ID id = allocate_track_id(type, requested);
    m_NextID = saved_next;
    if (!id || !mseq_id_valid(id, type) || tracks.count(id)) return 0;
    return id;
}

MseqObject* MseqMusic::create_track(MSEQ_ID anchor, int place, MSEQ_TYPE type,
                                    const CkvString& name, MSEQ_ID requested) {
    if (!check_create_track(anchor, place, type, requested)) return nullptr;
    const MSEQ_ID id = allocate_track_id(type, requested);
    auto* node = new MseqObject(id, type, name, MseqDescPath(kPathWith));
    tracks.emplace(id, node);
    mseq_link(tracks.at(mseq_own_track_id(anchor)), node, place);
    return node;
}

MseqObject* MseqMusic::find_track(MSEQ_ID id) const {
    auto it = tracks.find(mseq_with_file_number(id, MFILE_TRACKS));
    return it == tracks.end() ? nullptr : it->second;
}

int64_t MseqMusic::length_ticks() const {
    int64_t longest = 0;
    for (const auto& [id, node] : tracks) {
        if (const MseqTrack* track = mseq_track_of(node))
            longest = std::max(longest, track->length_ticks());
    }
    return longest;
}

MseqObject* MseqMusic::find(MSEQ_ID id) const {
    if (mseq_file_number(id) == MFILE_TRACKS) return find_track(id);
    if (mseq_file_number(id) != MFILE_OWN_BOOK || !owner) return nullptr;
    MseqObject* book_node = mseq_find_book_ancestor(owner);
    if (!book_node) return nullptr;
    auto* book = book_node->entity() ? book_node->entity()->cast_to<MseqBook>(MTYPE_BOOK) : nullptr;
    if (!book) return nullptr;
    return book->find(mseq_with_file_number(id, mseq_file_number(book_node->id)));
}

bool MseqMusic::remove_track(MSEQ_ID id) {
    MseqObject* node = find_track(id);
    if (!node || is_fixed_track(node->type)) return false;
    if (!mseq_subtree_removable(node)) return false;
    mseq_erase_subtree_ids(tracks, node);
    delete node;
    return true;
}

bool MseqMusic::insert_tracks(MSEQ_ID anchor, int place, MseqObject* source, bool keep_ids,
                              bool test_only, MseqObject** first) {
    if (first) *first = nullptr;
    if (!source || !mseq_track_of(source)) return false;
    if (!check_create_track(anchor, place, source->type, keep_ids ? source->id : 0)) return false;
    if (test_only) return true;
    // The source nodes are listed before anything is made, so that a source inside this very
    // music never sees its own copies.
    std::vector<MseqObject*> sources;
    for (MseqObject* n = source; n; n = n->next_in(source))
        sources.push_back(n);
    const uint32_t saved_next = m_NextID;
    std::unordered_map<MseqObject*, MseqObject*> copies;
    MseqObject* top = nullptr;
    for (MseqObject* s : sources) {
        MSEQ_ID at = anchor;
        int how = place;
        if (s != source) {
            // Each further copy goes after the copy of its previous sibling, or first under the
            // copy of its parent: the copies keep the source's shape.
            at = s->prev() ? copies.at(s->prev())->id : copies.at(s->parent())->id;
            how = s->prev() ? MPLACE_AFTER : MPLACE_FIRST_CHILD;
        }
        MseqObject* copy = create_track(at, how, s->type, s->name, keep_ids ? s->id : 0);
        bool ok = copy != nullptr;
        if (ok) {
            copies[s] = copy;
            if (!top) top = copy;
            MseqTrack* from = mseq_track_of(s);
            MseqTrack* to = mseq_track_of(copy);
            ok = from && to && from->copy_to(to);
        }
        if (!ok) {
            if (top) {
                mseq_erase_subtree_ids(tracks, top);
                delete top;
            }
            m_NextID = saved_next;
            return false;
        }
    }
    if (first) *first = top;
    return true;
}

bool MseqMusic::delete_tracks(MSEQ_ID id, bool test_only, MseqObject* snapshot,
                              MseqTrackPlace* old_place) {
    MseqObject* node = find_track(id);
    if (!node || is_fixed_track(node->type) || !mseq_subtree_removable(node)) return false;
    if (test_only) return true;
    if (snapshot && !mseq_copy_tree(node, snapshot)) return false;
    if (old_place) {
        const MseqPosition at = mseq_position_of(node);
        *old_place = {at.anchor ? at.anchor->id : 0, at.place};
    }
    return remove_track(node->id);
}

bool MseqMusic::move_track(MSEQ_ID id, MSEQ_ID anchor, int place, bool test_only,
                           MseqTrackPlace* old_place) {
    MseqObject* node = find_track(id);
    MseqObject* at = find_track(anchor);
    if (!node || !at) return false;
    MseqObject* parent = mseq_placement_parent(at, place);
    if (!parent || !mseq_can_contain(parent, node->type)) return false;
    if (mseq_is_ancestor_or_self(node, parent) || mseq_is_ancestor_or_self(node, at)) return false;
    if (test_only) return true;
    if (old_place) {
        const MseqPosition before = mseq_position_of(node);
        *old_place = {before.anchor ? before.anchor->id : 0, before.place};
    }
    return mseq_link(at, node, place);
}

bool MseqMusic::replace_track(MSEQ_ID id, MseqObject* source, bool test_only,
                              MseqObject* snapshot) {
    MseqObject* node = find_track(id);
    MseqTrack* target = mseq_track_of(node);
    MseqTrack* from = mseq_track_of(source);
    if (!target || !from || target == from || !target->cast(from->type())) return false;
    if (test_only) return true;
    if (snapshot && !mseq_copy_track(node, snapshot)) return false;
    return from->copy_to(target);
}

bool MseqMusic::toggle_output() {
    std::vector<MseqTrack*> sounding;
    bool all_on = true;
    for (const auto& [id, node] : tracks) {
        switch (node->type) {
            case MTYPE_TRACK_REFER:
            case MTYPE_TRACK_NOTE:
            case MTYPE_TRACK_LYRIC:
            case MTYPE_TRACK_MARKER:
            case MTYPE_TRACK_TEMPO:
            case MTYPE_TRACK_MSG:
                if (MseqTrack* t = mseq_track_of(node)) {
                    sounding.push_back(t);
                    all_on = all_on && (t->m_Flags & MTF_OUTPUT);
                }
                break;
            default:
                break;
        }
    }
    for (MseqTrack* t : sounding) {
        if (all_on) {
            t->m_Flags &= ~MTF_OUTPUT;
        } else {
            t->m_Flags |= MTF_OUTPUT;
        }
    }
    return !all_on;
}

MseqPhrase::MseqPhrase() : MseqMusic(nullptr, MTYPE_TRACK_ROOT_PHRASE) {}
