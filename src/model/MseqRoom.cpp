#include "model/MseqRoom.h"

#include "model/MseqBook.h"
#include "model/MseqObject.h"

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
