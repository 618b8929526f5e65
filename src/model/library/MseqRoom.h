#pragma once

#include <cstdint>
#include <map>

#include "model/core/MseqEntity.h"
#include "model/core/MseqId.h"

class MseqObject;

// The library: the entity of the room node, listing the books under it. Owns the book nodes:
// destroying the room destroys them. User-interface thread only.
class MseqRoom : public MseqEntity {
public:
    static constexpr uint32_t kMaxBooks = 1024;

    // A room whose content is `node` (the room node, identifier 0x80000001).
    explicit MseqRoom(MseqObject* node);
    ~MseqRoom() override;

    MSEQ_TYPE type() const override { return MTYPE_ROOM; }
    MseqEntity* cast(MSEQ_TYPE type) override { return type == MTYPE_ROOM ? this : nullptr; }

    // The file number the next book gets; 0 when the room is full.
    uint32_t allocate_book_number() const;

    // Creates a book node placed relative to `anchor`; nullptr on failure (room full, parent not
    // the room node, type refused, identifier invalid).
    MseqObject* create_book(MseqObject* anchor, int place, MSEQ_TYPE type, const CkvString& name,
                            const MseqDescPath& path);

    // The room node, a book node, or a leaf found in its book (opening the book); nullptr when
    // there is none.
    MseqObject* find(MSEQ_ID id);

    // Deletes a book by identifier, or a leaf through its book; false when it is not found, is
    // a fixed kind, or its content is in use.
    bool remove(MSEQ_ID id);

    // Renames the room (entity and node), a book (entity and node; the book is marked
    // modified) or a leaf node in its book. False when the identifier is not found.
    bool rename(MSEQ_ID id, const CkvString& name);

    // Marks the entity whose file stores this identifier as modified: the room for the room and
    // its books, the book for its leaves. False when there is no such file entity.
    bool mark_file_modified(MSEQ_ID id);

    // The first book node after `after` (from the first book when nullptr), other than
    // `exclude`, whose file resolves to `path` (case-insensitively); nullptr when none does.
    MseqObject* find_book_by_path(const CkvString& path, const MseqObject* after = nullptr,
                                  const MseqObject* exclude = nullptr) const;

    // Links the file of an existing phrase, chord map or stage map leaf at a new place: a new
    // node of the same type and name, pointing at the same file through a relative path.
    // nullptr when the leaf cannot be linked (embedded content, another kind, bad placement).
    MseqObject* link_leaf(MseqObject* source, MseqObject* anchor, int place);

    std::map<MSEQ_ID, MseqObject*> books;  // book identifier to book node
};
