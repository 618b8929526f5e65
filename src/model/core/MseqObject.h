#pragma once

#include <cstdint>

#include "model/core/CkvString.h"
#include "model/core/MseqEntity.h"
#include "model/core/MseqId.h"
#include "model/core/MseqPath.h"
#include "model/core/MseqType.h"
#include "model/core/dir_unit.h"
#include "model/core/ref_ptr.h"

// Where a new or moved node goes relative to an anchor node.
enum MseqPlace : int {
    MPLACE_NONE = 0,
    MPLACE_AFTER = 1,
    MPLACE_BEFORE = 2,
    MPLACE_FIRST_CHILD = 3,
    MPLACE_LAST_CHILD = 4,
};

// The descriptive path of content stored inside the file of the container that lists the node.
inline constexpr const char kPathWith[] = "<with>";

// A node of the library tree or of a music's track tree: identity (identifier, type, name,
// descriptive path) and a counted reference to its content entity. A node owns its children.
// User-interface thread only.
class MseqObject : public dir_unit<MseqObject> {
public:
    // An empty node: identifier 0, type 0, empty name and path.
    MseqObject() = default;
    MseqObject(MSEQ_ID id, MSEQ_TYPE type, const CkvString& name, const MseqDescPath& path);
    ~MseqObject() override;

    MseqObject* self() override { return this; }

    // Gives the node a new identity. Fails (false, nothing changed) when the subtree is not
    // removable; otherwise releases the current entity first. An empty name becomes the type's
    // display name.
    bool set(MSEQ_ID id, MSEQ_TYPE type, const CkvString& name, const MseqDescPath& path);

    // Attaches an entity, taking over the caller's reference, and copies the node's name into
    // it. Releases any entity held before. False (the reference released, nothing attached)
    // when the entity is owned by another node.
    bool attach(MseqEntity* entity);

    // Drops the node's entity, telling the desk first when the content has a file of its own.
    void release_entity();

    bool is_with() const { return path == kPathWith; }

    MseqEntity* entity() const { return entity_.get(); }

    // Book ancestor's name/folders/.../name for a leaf, room/book for a book.
    CkvString display_path() const;

    MSEQ_ID id = 0;
    MSEQ_TYPE type = 0;
    CkvString name;
    MseqDescPath path;

private:
    ref_ptr<MseqEntity> entity_;
};

// Free operations on nodes. All run on the user-interface thread.

// The first node from `node` upwards (itself included) of the room, resp. book, category;
// nullptr when there is none.
MseqObject* mseq_find_room_ancestor(MseqObject* node);
MseqObject* mseq_find_book_ancestor(MseqObject* node);

// True when `candidate` is `node` or one of its ancestors.
bool mseq_is_ancestor_or_self(const MseqObject* candidate, const MseqObject* node);

// True when a node of `child_type` may be placed under `parent`.
bool mseq_can_contain(const MseqObject* parent, MSEQ_TYPE child_type);

// The parent a placement relative to `anchor` would give: the anchor's parent for after/before,
// the anchor for first/last child; nullptr for any other code.
MseqObject* mseq_placement_parent(MseqObject* anchor, int place);

// Places `node` relative to `anchor`. False, and no change, when the code is not 1-4, or the
// anchor is the node or lies inside its subtree (or has no parent for after/before). Placing a
// node where it already is succeeds without change.
bool mseq_link(MseqObject* anchor, MseqObject* node, int place);

// The anchor and placement code that would put the node back where it is: (previous sibling,
// after), else (parent, first child), else code 0 with a null anchor.
struct MseqPosition {
    MseqObject* anchor = nullptr;
    int place = MPLACE_NONE;
};
MseqPosition mseq_position_of(MseqObject* node);

// The node's entity with an extra reference and a fresh access stamp, creating it when needed;
// the shared placeholder when the content cannot be had. Never nullptr.
ref_ptr<MseqEntity> mseq_open(MseqObject* node);

// True when the node's entity is present and is not the placeholder.
bool mseq_has_content(const MseqObject* node);

// True when the subtree's contents are not in use elsewhere, so that it may be reset, moved into
// a new content or deleted.
bool mseq_subtree_removable(const MseqObject* node);
