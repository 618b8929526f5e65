#pragma once

#include <cstddef>

class MedtMusicInvoker;
class MgenCommand;

// One user gesture on a music editor: every command posted while it is open joins one undo
// group, which one undo takes back as a whole. It starts a new group (the one open before is
// closed) or, for a later part of a gesture (a mouse move after its press, the next line of a
// script group), joins the group still open. While it is open the history does not advance on
// its own; when it ends it does again. When a command of the gesture is not carried out, the
// gesture is rolled back: what its group recorded is undone, newest first, so that the music is
// as it was before the gesture. The front ends make every edit through one of these and never
// open or close groups themselves.
//
// Transactions may nest (an editor operation run inside a script's gesture): an inner one always
// joins, and only the outermost one closes the group or lets the history advance again. The
// editor must outlive the transaction. User-interface thread only.
class MedtTransaction {
public:
    enum Start {
        new_group,  // close the group left open: the gesture's commands form one of their own
        join_open,  // add to the group that is open (a new one when the last was closed)
    };

    explicit MedtTransaction(MedtMusicInvoker& editor, Start start = new_group);
    // Ends an open transaction with commit().
    ~MedtTransaction();
    MedtTransaction(const MedtTransaction&) = delete;
    MedtTransaction& operator=(const MedtTransaction&) = delete;

    // Posts `command` to the edited music as part of the gesture. True when it was carried out;
    // otherwise the gesture is rolled back and false. After the end, nothing is posted: the
    // command is declined and false.
    bool post(MgenCommand* command);
    // Ends the gesture and closes its group: the next edit starts a new one.
    void commit();
    // Ends the gesture with its group left open, for a later part that joins it (the release of
    // a press, the next line of a script group). Nothing when already ended.
    void keep_open();
    // Undoes what the open group recorded, newest first, and ends the gesture; the number of
    // entries undone (0 when already ended). A nested transaction undoes only what it recorded
    // itself. What is undone here cannot be redone.
    size_t rollback();

    // True until commit, keep_open or rollback (or a failed post) ended it.
    bool open() const { return open_; }
    // True when the gesture was rolled back.
    bool rolled_back() const { return rolled_back_; }

private:
    void end(bool close);

    MedtMusicInvoker& editor_;
    size_t keep_ = 0;  // history entries below the gesture's own (nested transactions)
    bool open_ = true;
    bool rolled_back_ = false;
};
