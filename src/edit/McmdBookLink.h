#pragma once

#include <cstdint>

#include "edit/McmdMusic.h"
#include "model/core/CkvString.h"
#include "model/core/MseqId.h"
#include "model/core/MseqType.h"
#include "model/core/ref_ptr.h"

class MseqBook;
class MseqMapChord;
class MseqObject;

// Adds a link to a file as the last leaf of the book that holds the music, or removes such a
// link: a phrase of another book becomes one the music's blocks can name. Each is the other's
// inverse and gives back the identifier, the book's identifier counter and its modified mark as
// they were, so that undoing and redoing it in the music's history leaves the book's bytes as
// they were. A phrase (a music without a node) has no book: the command fails there. The tree
// shows nothing of it by itself: the front end refills the library tree when one finishes.
// A link may also be a new chord map whose file does not exist yet: it is written at the next
// save like every new leaf, and its removal takes it out of the set the save writes (keeping its
// content for the redo), so that an undo before the save leaves no file behind.
// User-interface thread.
class McmdBookLink final : public McmdMusicOf<MKIND_CMD_BOOK_LINK> {
public:
    // A new link of `type` named `name` to the file `path` (absolute, Windows form), stored
    // relative to the library as the library's own add-link command stores it.
    static ref_ptr<McmdBookLink> add(MSEQ_TYPE type, const CkvString& name, const CkvString& path);
    // A new chord map leaf named `name` for the file `path` (absolute, Windows form, not yet
    // existing) with the content of `content` (copied; nullptr: a map in its reset state).
    static ref_ptr<McmdBookLink> add_new_map(const CkvString& name, const CkvString& path,
                                             const MseqMapChord* content);
    // Removing the link `id` of the music's book.
    static ref_ptr<McmdBookLink> remove(MSEQ_ID id);

    int run(MseqMusic* music) override;
    // The music's tracks stay as they are.
    int refresh(MedtMusic*) override { return 1; }

    // The book that holds `music`; nullptr for a phrase or a music outside any book.
    static MseqBook* book_of(const MseqMusic* music);

    bool adding = true;
    MSEQ_ID id = 0;  // adding: the identifier to give (0: the book's next); removing: the link
    MSEQ_TYPE type = 0;
    CkvString name;
    CkvString path;
    bool relate = false;   // store `path` relative to the library (a first addition)
    uint32_t counter = 0;  // the identifier counter to leave behind; 0: as the addition leaves it
    bool book_was_modified = true;  // removing: whether the book stays marked modified
    ref_ptr<MseqMapChord> fresh;    // adding a new chord map: its content
    MseqObject* made = nullptr;     // the link an addition made
    const void* removed = nullptr;  // the node a removal deleted (its address only)

private:
    int add_link(MseqBook& book);
    int remove_link(MseqBook& book);
};
