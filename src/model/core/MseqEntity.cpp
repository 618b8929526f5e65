#include "model/core/MseqEntity.h"

MseqEntity::~MseqEntity() = default;

MseqEntity* MseqEntity::cast(MSEQ_TYPE) {
    return nullptr;
}

int32_t MseqEntity::release() {
    int32_t n = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (n == 0) delete this;
    return n;
}

void MseqEntity::execute(MgenCommand* command) {
    ref_ptr<MgenCommand> hold(command);
    command->state = MCMD_PENDING;
    if (validate_command(command) == 0) command->state = MCMD_DECLINED;
    if (command->state != MCMD_DONE && command->state != MCMD_DECLINED) {
        int applied = apply_command(command);
        if (command->state == MCMD_PENDING) command->state = applied ? MCMD_DONE : MCMD_FAILED;
    }
    finish_command(command);
}

int MseqEntity::apply_command(MgenCommand* command) {
    return observer ? observer->execute(command) : 0;
}

int MseqEntity::validate_command(MgenCommand* command) {
    return observer ? observer->validate(command) : 0;
}

void MseqEntity::finish_command(MgenCommand* command) {
    if (observer) observer->finish(command);
}

MseqEmpty* MseqEmpty::instance() {
    // Created once and kept for the life of the process: every node that could not open its
    // content holds a reference to it, so it must never reach a count of 0.
    static MseqEmpty* const empty = new MseqEmpty;
    return empty;
}
