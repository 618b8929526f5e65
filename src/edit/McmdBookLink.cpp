#include "edit/McmdBookLink.h"

#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"

ref_ptr<McmdBookLink> McmdBookLink::add(MSEQ_TYPE type, const CkvString& name,
                                        const CkvString& path) {
    auto c = ref_ptr<McmdBookLink>::adopt(new McmdBookLink);
    c->type = type;
    c->name = name;
    c->path = path;
    c->relate = true;
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
