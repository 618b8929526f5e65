#include "model/library/MseqRoom.h"

#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqBook.h"

MseqRoom::MseqRoom(MseqObject* node) {
    owner = node;
}

MseqRoom::~MseqRoom() {
    if (!owner) return;
    while (MseqObject* book = owner->first_child())
        delete book;
}

uint32_t MseqRoom::allocate_book_number() const {
    if (books.size() >= kMaxBooks) return 0;
    // Walk the books in key order; the counter passes every number it meets, so the number it
    // stops at is free even when it is not the smallest free one.
    uint32_t counter = 256;  // book numbers below 256 are never handed out
    for (const auto& [id, node] : books) {
        if (counter < mseq_file_number(id)) break;
        ++counter;
    }
    return counter & 0x7FF;
}

MseqObject* MseqRoom::create_book(MseqObject* anchor, int place, MSEQ_TYPE type,
                                  const CkvString& name, const MseqDescPath& path) {
    if (!owner || books.size() >= kMaxBooks) return nullptr;
    if (mseq_placement_parent(anchor, place) != owner) return nullptr;
    if (!mseq_can_contain(owner, type)) return nullptr;
    const MSEQ_ID id = mseq_book_id(allocate_book_number());
    if (!mseq_id_valid(id, type) || books.count(id)) return nullptr;
    auto* node = new MseqObject(id, type, name, path);
    books.emplace(id, node);
    mseq_link(anchor, node, place);
    return node;
}

MseqObject* MseqRoom::find(MSEQ_ID id) {
    if (id == MID_ROOM) return owner;
    const MSEQ_ID book_id = (id & 0x7FF00000) | 1;
    auto it = books.find(book_id);
    if (it == books.end()) return nullptr;
    if (id == book_id) return it->second;
    ref_ptr<MseqEntity> entity = mseq_open(it->second);
    auto* book = entity->cast_to<MseqBook>(MTYPE_BOOK);
    return book ? book->find(id) : nullptr;
}

bool MseqRoom::remove(MSEQ_ID id) {
    if (id == MID_ROOM) return false;
    const MSEQ_ID book_id = (id & 0x7FF00000) | 1;
    auto it = books.find(book_id);
    if (it == books.end()) return false;
    if (id != book_id) {
        ref_ptr<MseqEntity> entity = mseq_open(it->second);
        auto* book = entity->cast_to<MseqBook>(MTYPE_BOOK);
        return book && book->remove(id);
    }
    MseqObject* node = it->second;
    if (!mseq_subtree_removable(node)) return false;
    books.erase(it);
    delete node;
    return true;
}

namespace {

MseqBook* book_of(MseqObject* book_node) {
    if (!book_node) return nullptr;
    ref_ptr<MseqEntity> e = mseq_open(book_node);
    return e->cast_to<MseqBook>(MTYPE_BOOK);
}

bool linkable(MSEQ_TYPE type) {
    return type == MTYPE_LEAF_PHRASE || type == MTYPE_LEAF_CHORD || type == MTYPE_LEAF_STAGE;
}

}  // namespace

bool MseqRoom::rename(MSEQ_ID id, const CkvString& new_name) {
    MseqObject* node = find(id);
    if (!node) return false;
    node->name = new_name;
    const bool file_entity = id == MID_ROOM || books.count(id);
    if (file_entity && node->entity()) node->entity()->name = new_name;
    if (file_entity && id != MID_ROOM && mseq_has_content(node))
        MseqDesk::instance().mark_modified(node->entity());
    return true;
}

bool MseqRoom::mark_file_modified(MSEQ_ID id) {
    if (id == MID_ROOM || books.count(id)) {
        MseqDesk::instance().mark_modified(this);
        return true;
    }
    auto it = books.find((id & 0x7FF00000) | 1);
    if (it == books.end() || !mseq_has_content(it->second)) return false;
    MseqDesk::instance().mark_modified(it->second->entity());
    return true;
}

MseqObject* MseqRoom::find_book_by_path(const CkvString& path, const MseqObject* after,
                                        const MseqObject* exclude) const {
    if (!owner) return nullptr;
    MseqObject* n = after ? after->next() : owner->first_child();
    for (; n; n = n->next()) {
        if (n == exclude) continue;
        MseqFullPath full;
        if (!mseq_path::resolve(n, false, &full)) continue;
        if (CkvString::compare_nocase(full, path) == 0) return n;
    }
    return nullptr;
}

MseqObject* MseqRoom::link_leaf(MseqObject* source, MseqObject* anchor, int place) {
    if (!source || !anchor || !linkable(source->type) || source->is_with()) return nullptr;
    MseqObject* parent = mseq_placement_parent(anchor, place);
    if (!parent || mseq_is_ancestor_or_self(source, parent)) return nullptr;
    MseqFullPath file;
    if (!mseq_path::resolve(source, false, &file)) return nullptr;
    MseqBook* book = book_of(mseq_find_book_ancestor(anchor));
    if (!book) return nullptr;
    MseqObject* node =
        book->create_leaf(anchor, place, source->type, source->name, MseqDescPath(file));
    if (node) mseq_path::make_relative(node);
    return node;
}
