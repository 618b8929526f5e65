#pragma once

#include <cstdint>
#include <map>

#include "model/core/MseqEntity.h"
#include "model/core/MseqId.h"

class MseqObject;

// A book: the entity of a book node, listing its leaves (folders, musics, phrases, chord and
// stage maps). Owns the leaf nodes under its node. User-interface thread only.
class MseqBook : public MseqEntity {
public:
    static constexpr uint32_t kMaxNodes = 4096;

    // A book whose content is `node`; the node is entered in the identifier map.
    explicit MseqBook(MseqObject* node);
    ~MseqBook() override;

    MSEQ_TYPE type() const override { return MTYPE_BOOK; }
    MseqEntity* cast(MSEQ_TYPE type) override { return type == MTYPE_BOOK ? this : nullptr; }

    // The book's file number, taken from its node; 0 without a node.
    uint32_t file_number() const;

    // The identifier a new leaf gets: `requested` with the book's file number, or the next free
    // one from m_NextID (which then moves past it). 0 when none can be had.
    MSEQ_ID allocate_leaf_id(MSEQ_ID requested);

    // Creates a leaf node placed relative to `anchor` (a node of this book); nullptr on failure
    // (bad placement, book full, anchor outside the book, type refused, identifier invalid or
    // taken).
    MseqObject* create_leaf(MseqObject* anchor, int place, MSEQ_TYPE type, const CkvString& name,
                            const MseqDescPath& path, MSEQ_ID requested = 0);

    // The node with this identifier, or nullptr.
    MseqObject* find(MSEQ_ID id) const;

    // Deletes a leaf and its subtree; false when it is not found, is the book itself, or its
    // content is in use.
    bool remove(MSEQ_ID id);

    // The first node of the book's tree in pre-order, from `start` (the book node when
    // nullptr) and other than `exclude`, whose file resolves to `path` (case-insensitively);
    // nullptr when none does or when `start` is not in this book.
    MseqObject* find_by_path(const CkvString& path, MseqObject* start = nullptr,
                             const MseqObject* exclude = nullptr) const;

    std::map<MSEQ_ID, MseqObject*> leafs;  // identifier to node, the book's own node included
    uint32_t m_NextID = 0x10001;           // serial counter of new leaf identifiers
};

class MseqBookLibrary : public MseqBook {
public:
    using MseqBook::MseqBook;
    MSEQ_TYPE type() const override { return MTYPE_BOOK_LIBRARY; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_BOOK_LIBRARY ? this : MseqBook::cast(type);
    }
};

class MseqBookMusic : public MseqBook {
public:
    using MseqBook::MseqBook;
    MSEQ_TYPE type() const override { return MTYPE_BOOK_MUSIC; }
    MseqEntity* cast(MSEQ_TYPE type) override {
        return type == MTYPE_BOOK_MUSIC ? this : MseqBook::cast(type);
    }
};

// Erases every identifier of the subtree of `node` from `map`.
void mseq_erase_subtree_ids(std::map<MSEQ_ID, MseqObject*>& map, MseqObject* node);
