#include "edit/McmdBookLink.h"

#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapChord.h"

ref_ptr<McmdBookLink> McmdBookLink::add(MSEQ_TYPE type, const CkvString& name,
                                        const CkvString& path) {
    auto c = ref_ptr<McmdBookLink>::adopt(new McmdBookLink);
    c->type = type;
    c->name = name;
    c->path = path;
    c->relate = true;
    return c;
}

namespace {

void copy_map(const MseqMapChord& from, MseqMapChord* to) {
    to->m_ToneKey = from.m_ToneKey;
    to->m_SDegKey = from.m_SDegKey;
    to->m_CDegKey = from.m_CDegKey;
    to->m_Scale = from.m_Scale;
    to->m_Blocks = from.m_Blocks;
}

// A detached chord map holding a copy of `content` (the reset state without one).
ref_ptr<MseqMapChord> map_copy(const MseqMapChord* content) {
    auto map = ref_ptr<MseqMapChord>::adopt(new MseqMapChord);
    if (content) copy_map(*content, map.get());
    return map;
}

// The content of a link whose file was never written: a new chord map of the book.
MseqMapChord* unwritten_map(MseqObject* node) {
    MseqEntity* e = node->type == MTYPE_LEAF_CHORD ? node->entity() : nullptr;
    return e && (e->flags & MEF_NEW) ? e->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD) : nullptr;
}

}  // namespace

ref_ptr<McmdBookLink> McmdBookLink::add_new_map(const CkvString& name, const CkvString& path,
                                                const MseqMapChord* content) {
    ref_ptr<McmdBookLink> c = add(MTYPE_LEAF_CHORD, name, path);
    c->fresh = map_copy(content);
    return c;
}

ref_ptr<McmdBookLink> McmdBookLink::remove(MSEQ_ID id) {
    auto c = ref_ptr<McmdBookLink>::adopt(new McmdBookLink);
    c->adding = false;
    c->id = id;
    return c;
}

MseqBook* McmdBookLink::book_of(const MseqMusic* music) {
    MseqObject* node = music ? mseq_find_book_ancestor(music->owner) : nullptr;
    MseqEntity* e = node ? node->entity() : nullptr;
    return e ? e->cast_to<MseqBook>(MTYPE_BOOK) : nullptr;
}

int McmdBookLink::run(MseqMusic* music) {
    MseqBook* book = book_of(music);
    if (!book || !book->owner) return 0;
    const int done = adding ? add_link(*book) : remove_link(*book);
    if (done) result = 1;
    return done;
}

int McmdBookLink::add_link(MseqBook& book) {
    if (flags & MCMD_TEST_ONLY) return mseq_can_contain(book.owner, type) ? 1 : 0;
    const uint32_t counter_before = book.m_NextID;
    const bool was_modified = (book.flags & MEF_MODIFIED) != 0;
    made = book.create_leaf(book.owner, MPLACE_LAST_CHILD, type, name, MseqDescPath(path), id);
    if (!made) return 0;
    if (relate) mseq_path::make_relative(made);
    if (counter) book.m_NextID = counter;
    MseqDesk::instance().mark_modified(&book);
    if (fresh) {
        ref_ptr<MseqEntity> content = mseq_open(made);
        auto* map = content ? content->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD) : nullptr;
        if (map) {
            copy_map(*fresh, map);
            map->name = made->name;
            MseqDesk::instance().mark_new_for_save(map);
        }
    }
    if (flags & MCMD_RECORD_UNDO) {
        ref_ptr<McmdBookLink> back = remove(made->id);
        back->counter = counter_before;
        back->book_was_modified = was_modified;
        undo = back;
    }
    return 1;
}

int McmdBookLink::remove_link(MseqBook& book) {
    MseqObject* node = book.find(id);
    if (!node || node == book.owner || !mseq_subtree_removable(node)) return 0;
    if (flags & MCMD_TEST_ONLY) return 1;
    // What gives the link back exactly: its identifier, name, stored path and the counter
    // after it.
    ref_ptr<McmdBookLink> back;
    if (flags & MCMD_RECORD_UNDO) {
        back = ref_ptr<McmdBookLink>::adopt(new McmdBookLink);
        back->id = node->id;
        back->type = node->type;
        back->name = node->name;
        back->path = node->path;
        back->counter = book.m_NextID;
    }
    // A chord map never written leaves the set the save writes; the redo makes it again.
    if (MseqMapChord* map = unwritten_map(node)) {
        if (back) back->fresh = map_copy(map);
        MseqDesk::instance().clear_modified(map);
    }
    removed = node;
    if (!book.remove(id)) return 0;
    if (counter) book.m_NextID = counter;
    if (book_was_modified)
        MseqDesk::instance().mark_modified(&book);
    else
        MseqDesk::instance().clear_modified(&book);
    if (back) undo = back;
    return 1;
}
