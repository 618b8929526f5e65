#pragma once

#include <cstdint>

#include "edit/McmdKind.h"
#include "model/core/MgenRef.h"

class MseqEntity;

// The view's side of an editor: it may veto a command, carry one out itself, and hears when a
// command has finished and when the editor's state changed. Every operation has a do-nothing
// default. User-interface thread only.
class MedtView {
public:
    virtual ~MedtView() = default;
    // Zero vetoes (declines) the command.
    virtual int validate(MgenCommand* command) {
        (void)command;
        return 1;
    }
    // Non-zero when the view carried the command out itself.
    virtual int execute(MgenCommand* command) {
        (void)command;
        return 0;
    }
    virtual void finish(MgenCommand* command) { (void)command; }
    // The rows, the cursor or the properties changed: redraw.
    virtual void changed() {}
    // The edited entity became modified: refresh its entry in the edit list.
    virtual void modified() {}
};

// Base of every editor: reference counted, with the view that observes it. The editor pane
// picks its view by the kind. User-interface thread only.
class MedtEntity : public MgenRef {
public:
    // The stored entity this editor edits; nullptr in the base.
    virtual MseqEntity* edited_entity() { return nullptr; }
    // Moves the play cursor to a tick position; nothing in the base.
    virtual void set_play_tick(int32_t tick) { (void)tick; }
    // The play cursor as a tick position; 0 in the base.
    virtual int32_t play_tick() const { return 0; }
    // The play cursor as bar (from 1), beat (from 1) and tick (from 0); all 0 in the base.
    virtual void play_position(int32_t* bar, int32_t* beat, int32_t* tick) const {
        *bar = *beat = *tick = 0;
    }
    // Sets the play range from two tick positions; nothing in the base.
    virtual void set_play_range(int32_t from_tick, int32_t to_tick) {
        (void)from_tick;
        (void)to_tick;
    }

    MedtView* view = nullptr;  // the outer observer; not owned
};
