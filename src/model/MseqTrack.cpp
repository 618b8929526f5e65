#include "model/MseqTrack.h"

#include "model/MseqMusic.h"
#include "model/MseqObject.h"
#include "model/MseqTrackRoot.h"

MseqMusic* MseqTrack::owning_music() const {
    if (!owner) return nullptr;
    const MseqObject* top = owner;
    while (top->parent())
        top = top->parent();
    MseqEntity* e = top->entity();
    auto* root = e ? e->cast_to<MseqTrackRootMusic>(MTYPE_TRACK_ROOT_MUSIC) : nullptr;
    return root ? root->music : nullptr;
}

void MseqTrack::execute(MgenCommand* command) {
    if (MseqMusic* music = owning_music()) {
        music->execute(command);
        return;
    }
    MseqEntity::execute(command);
}
