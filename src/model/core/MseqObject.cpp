#include "model/core/MseqObject.h"

#include "model/core/MseqDesk.h"

MseqObject::MseqObject(MSEQ_ID id_, MSEQ_TYPE type_, const CkvString& name_,
                       const MseqDescPath& path_)
    : id(id_), type(type_), name(name_.empty() ? mseq_type_name(type_) : name_), path(path_) {}

MseqObject::~MseqObject() {
    release_entity();
    // The children go before the links of this node are undone (dir_unit's destructor), so that
    // each child still finds its ancestors while it releases its content.
    while (MseqObject* child = first_child())
        delete child;
}

bool MseqObject::set(MSEQ_ID id_, MSEQ_TYPE type_, const CkvString& name_,
                     const MseqDescPath& path_) {
    if (!mseq_subtree_removable(this)) return false;
    release_entity();
    id = id_;
    type = type_;
    name = name_.empty() ? mseq_type_name(type_) : name_;
    path = path_;
    return true;
}

bool MseqObject::attach(MseqEntity* entity) {
    if (entity->owner && entity->owner != this) {
        entity->release();
        return false;
    }
    release_entity();
    entity->name = name;
    entity_ = ref_ptr<MseqEntity>::adopt(entity);
    return true;
}

void MseqObject::release_entity() {
    if (!entity_) return;
    if (!is_with()) MseqDesk::instance().forget(entity_.get(), id, entity_->owner == this);
    entity_.reset();
}

CkvString MseqObject::display_path() const {
    CkvString out = name;
    const bool leaf =
        mseq_type_category(type) != MCAT_ROOM && mseq_type_category(type) != MCAT_BOOK;
    for (const MseqObject* p = parent(); p; p = p->parent()) {
        if (leaf && mseq_type_category(p->type) == MCAT_ROOM) break;
        out = CkvString(p->name + "/" + out);
    }
    return out;
}

namespace {

MseqObject* find_ancestor_of_category(MseqObject* node, uint32_t category) {
    for (MseqObject* n = node; n; n = n->parent()) {
        if (mseq_type_category(n->type) == category) return n;
    }
    return nullptr;
}

const MseqObject* tree_top(const MseqObject* node) {
    while (node->parent())
        node = node->parent();
    return node;
}

bool is_any(MSEQ_TYPE t, std::initializer_list<MSEQ_TYPE> list) {
    for (MSEQ_TYPE x : list) {
        if (t == x) return true;
    }
    return false;
}

}  // namespace

MseqObject* mseq_find_room_ancestor(MseqObject* node) {
    return find_ancestor_of_category(node, MCAT_ROOM);
}

MseqObject* mseq_find_book_ancestor(MseqObject* node) {
    return find_ancestor_of_category(node, MCAT_BOOK);
}

bool mseq_is_ancestor_or_self(const MseqObject* candidate, const MseqObject* node) {
    for (const MseqObject* n = node; n; n = n->parent()) {
        if (n == candidate) return true;
    }
    return false;
}

bool mseq_can_contain(const MseqObject* parent, MSEQ_TYPE child) {
    if (!parent) return false;
    // Chord, lyric, tempo, transposition, group and phrase tracks make sense only in a music,
    // never inside a phrase.
    const bool in_music = tree_top(parent)->type == MTYPE_TRACK_ROOT_MUSIC;
    if (child == 0) {
        // An empty node is accepted wherever anything is.
        switch (parent->type) {
            case MTYPE_ROOM:
            case MTYPE_BOOK_MUSIC:
            case MTYPE_BOOK_LIBRARY:
            case MTYPE_LEAF_FOLDER:
            case MTYPE_TRACK_ROOT_MUSIC:
            case MTYPE_TRACK_ROOT_PHRASE:
            case MTYPE_TRACK_HEADER:
            case MTYPE_TRACK_DETAIL:
            case MTYPE_TRACK_GROUP:
                return true;
            default:
                return false;
        }
    }
    const std::initializer_list<MSEQ_TYPE> leaf_kinds = {MTYPE_LEAF_PHRASE, MTYPE_LEAF_FOLDER,
                                                         MTYPE_LEAF_CHORD, MTYPE_LEAF_STAGE};
    switch (parent->type) {
        case MTYPE_ROOM:
            return is_any(child, {MTYPE_BOOK_LIBRARY, MTYPE_BOOK_MUSIC});
        case MTYPE_BOOK_MUSIC:
            return child == MTYPE_LEAF_MUSIC || is_any(child, leaf_kinds);
        case MTYPE_BOOK_LIBRARY:
        case MTYPE_LEAF_FOLDER:
            return is_any(child, leaf_kinds);
        case MTYPE_TRACK_ROOT_MUSIC:
        case MTYPE_TRACK_ROOT_PHRASE:
            return is_any(child, {MTYPE_TRACK_HEADER, MTYPE_TRACK_DETAIL});
        case MTYPE_TRACK_HEADER:
            if (is_any(child, {MTYPE_TRACK_MARKER, MTYPE_TRACK_TEXT, MTYPE_TRACK_MEMO}))
                return true;
            return in_music && is_any(child, {MTYPE_TRACK_LYRIC, MTYPE_TRACK_CHORD,
                                              MTYPE_TRACK_TEMPO, MTYPE_TRACK_CHORD_MAP});
        case MTYPE_TRACK_DETAIL:
            if (is_any(child,
                       {MTYPE_TRACK_TEXT, MTYPE_TRACK_NOTE, MTYPE_TRACK_MEMO, MTYPE_TRACK_MSG}))
                return true;
            return in_music && is_any(child, {MTYPE_TRACK_GROUP, MTYPE_TRACK_CHORD,
                                              MTYPE_TRACK_REFER, MTYPE_TRACK_CHORD_MAP});
        case MTYPE_TRACK_GROUP:
            if (is_any(child,
                       {MTYPE_TRACK_TEXT, MTYPE_TRACK_NOTE, MTYPE_TRACK_MEMO, MTYPE_TRACK_MSG}))
                return true;
            return in_music &&
                   is_any(child, {MTYPE_TRACK_CHORD, MTYPE_TRACK_REFER, MTYPE_TRACK_CHORD_MAP});
        default:
            return false;
    }
}

MseqObject* mseq_placement_parent(MseqObject* anchor, int place) {
    if (!anchor) return nullptr;
    switch (place) {
        case MPLACE_AFTER:
        case MPLACE_BEFORE:
            return anchor->parent();
        case MPLACE_FIRST_CHILD:
        case MPLACE_LAST_CHILD:
            return anchor;
        default:
            return nullptr;
    }
}

bool mseq_link(MseqObject* anchor, MseqObject* node, int place) {
    if (!anchor || !node || place < MPLACE_AFTER || place > MPLACE_LAST_CHILD) return false;
    if (mseq_is_ancestor_or_self(node, anchor)) return false;
    if ((place == MPLACE_AFTER || place == MPLACE_BEFORE) && !anchor->parent()) return false;
    switch (place) {
        case MPLACE_AFTER:
            if (anchor->next() == node) return true;
            node->unlink();
            node->link_after(anchor);
            break;
        case MPLACE_BEFORE:
            if (anchor->prev() == node) return true;
            node->unlink();
            node->link_before(anchor);
            break;
        case MPLACE_FIRST_CHILD:
            if (anchor->first_child() == node) return true;
            node->unlink();
            node->link_first_child(anchor);
            break;
        case MPLACE_LAST_CHILD:
            if (anchor->last_child() == node) return true;
            node->unlink();
            node->link_last_child(anchor);
            break;
    }
    return true;
}

MseqPosition mseq_position_of(MseqObject* node) {
    if (node->prev()) return {node->prev(), MPLACE_AFTER};
    if (node->parent()) return {node->parent(), MPLACE_FIRST_CHILD};
    return {};
}

ref_ptr<MseqEntity> mseq_open(MseqObject* node) {
    return MseqDesk::instance().open(node);
}

bool mseq_has_content(const MseqObject* node) {
    return node->entity() && node->entity() != MseqEmpty::instance();
}

bool mseq_subtree_removable(const MseqObject* node) {
    if (mseq_file_number(node->id) == MFILE_DETACHED) return true;
    if (node->id == MID_ROOM || node->type == MTYPE_ROOM) return false;
    for (const MseqObject* n = node; n; n = const_cast<MseqObject*>(n)->next_in(node)) {
        const MseqEntity* e = n->entity();
        if (!e || e->owner != n) continue;
        const int32_t count = e->ref_count();
        // The node holds one reference and the cache may hold another; the modified set holds
        // a third. Anything more is an editor or a player using the content.
        const bool in_use =
            !(count == 1 || count == 2 || (count == 3 && (e->flags & MEF_MODIFIED)));
        if (in_use) return false;
    }
    return true;
}
