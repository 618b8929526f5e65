#include "model/library/MseqBook.h"

#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"

MseqBook::MseqBook(MseqObject* node) {
    owner = node;
    if (node) leafs.emplace(node->id, node);
}

MseqBook::~MseqBook() {
    if (!owner) return;
    while (MseqObject* leaf = owner->first_child())
        delete leaf;
}

uint32_t MseqBook::file_number() const {
    return owner ? mseq_file_number(owner->id) : 0;
}

MSEQ_ID MseqBook::allocate_leaf_id(MSEQ_ID requested) {
    const uint32_t book = file_number();
    if (requested) return mseq_with_file_number(requested, book);
    if (m_NextID < 0x10001 || m_NextID > 0xF0000) m_NextID = 0x10001;
    // Step over the identifiers already taken; running past the last serial leaves serial 0,
    // which no leaf may have, and creation fails.
    uint32_t i = mseq_make_id(book, m_NextID);
    while (leafs.count(i))
        ++i;
    if (mseq_file_number(i) != book) return mseq_make_id(book, 0);
    m_NextID = mseq_serial(i) + 1;
    return i;
}

MseqObject* MseqBook::create_leaf(MseqObject* anchor, int place, MSEQ_TYPE type,
                                  const CkvString& name, const MseqDescPath& path,
                                  MSEQ_ID requested) {
    MseqObject* parent = mseq_placement_parent(anchor, place);
    if (!parent || !owner || leafs.size() >= kMaxNodes) return nullptr;
    if (mseq_file_number(anchor->id) != file_number()) return nullptr;
    if (mseq_find_book_ancestor(anchor) != owner) return nullptr;
    if (!mseq_can_contain(parent, type)) return nullptr;
    const MSEQ_ID id = allocate_leaf_id(requested);
    if (!mseq_id_valid(id, type) || leafs.count(id)) return nullptr;
    auto* node = new MseqObject(id, type, name, path);
    leafs.emplace(id, node);
    mseq_link(anchor, node, place);
    return node;
}

MseqObject* MseqBook::find(MSEQ_ID id) const {
    auto it = leafs.find(id);
    return it == leafs.end() ? nullptr : it->second;
}

bool MseqBook::remove(MSEQ_ID id) {
    MseqObject* node = find(id);
    if (!node || node == owner) return false;
    if (!mseq_subtree_removable(node)) return false;
    mseq_erase_subtree_ids(leafs, node);
    delete node;
    return true;
}

void mseq_erase_subtree_ids(std::map<MSEQ_ID, MseqObject*>& map, MseqObject* node) {
    for (MseqObject* n = node; n; n = n->next_in(node)) {
        auto it = map.find(n->id);
        if (it != map.end() && it->second == n) map.erase(it);
    }
}

MseqObject* MseqBook::find_by_path(const CkvString& path, MseqObject* start,
                                   const MseqObject* exclude) const {
    if (!owner) return nullptr;
    if (!start) start = owner;
    if (mseq_find_book_ancestor(start) != owner) return nullptr;
    for (MseqObject* n = start; n; n = n->next_in(owner)) {
        if (n == exclude) continue;
        MseqFullPath full;
        if (!mseq_path::resolve(n, false, &full)) continue;
        if (CkvString::compare_nocase(full, path) == 0) return n;
    }
    return nullptr;
}
