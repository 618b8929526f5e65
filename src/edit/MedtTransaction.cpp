#include "edit/MedtTransaction.h"

#include "edit/MedtMusic.h"

MedtTransaction::MedtTransaction(MedtMusicInvoker& editor, Start start) : editor_(editor) {
    // Inside another gesture only what this one records is its own to roll back.
    if (editor_.gestures_ > 0) keep_ = editor_.history().size();
    editor_.begin_gesture(start == join_open);
}

MedtTransaction::~MedtTransaction() {
    if (open_) commit();
}

bool MedtTransaction::post(MgenCommand* command) {
    if (!open_) {
        command->state = MCMD_DECLINED;
        return false;
    }
    editor_.execute(command);
    if (command->state == MCMD_DONE) return true;
    rollback();
    return false;
}

void MedtTransaction::commit() {
    end(true);
}

void MedtTransaction::keep_open() {
    end(false);
}

size_t MedtTransaction::rollback() {
    if (!open_) return 0;
    const size_t undone = editor_.undo_open_group(keep_);
    rolled_back_ = true;
    end(true);
    return undone;
}

void MedtTransaction::end(bool close) {
    if (!open_) return;
    open_ = false;
    editor_.end_gesture(close);
}
