// The command tables the stored objects answer: a track runs the track commands on its node, a
// music hands track commands to the named track and runs the leaf commands on its track tree.
// They live here, beside the command classes they dispatch to.
#include "model/library/MseqMusic.h"

#include <new>

#include "edit/McmdMusic.h"
#include "edit/McmdTrack.h"
#include "edit/MedtMusic.h"
#include "model/core/MseqObject.h"
#include "model/track/MseqTrack.h"
#include "model/track/MseqTrackTree.h"

int MseqTrack::apply_command(MgenCommand* command) {
    auto* t = static_cast<McmdTrack*>(command->cast(MKIND_CMD_TRACK));
    return t && owner ? t->run(owner, t->editor) : 0;
}

int MseqMusic::apply_command(MgenCommand* command) {
    // An attached editor decides alone: a command it did not carry out has failed there, and
    // running it a second time here could ask the user twice.
    if (observer) return observer->execute(command);
    if (auto* t = static_cast<McmdTrack*>(command->cast(MKIND_CMD_TRACK))) {
        MseqTrack* track = mseq_track_of(find_track(t->track));
        return track ? track->apply_command(command) : 0;
    }
    if (auto* m = static_cast<McmdMusic*>(command->cast(MKIND_CMD_MUSIC))) return m->run(this);
    return 0;
}

MgenRef* MseqMusic::create_editor_model() {
    // The application hands the editor its two clipboards after creation.
    return new (std::nothrow) MedtMusicInvoker(this, nullptr, nullptr);
}
