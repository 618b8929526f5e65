#pragma once

#include <memory>
#include <string>

#include "app/MFrame.h"
#include "model/core/CkvString.h"
#include "platform/Instance.h"

// The process: the check that CP932 text can be converted, the single-instance lock and the
// main frame. One per process; the user-interface thread.
class MApp {
public:
    MApp() = default;
    MApp(const MApp&) = delete;
    MApp& operator=(const MApp&) = delete;
    // Destroys the frame, then gives up the lock.
    ~MApp();

    // The start of the process: warns when the CP932 converter is missing (and goes on), takes
    // the lock named MFrame::kInstanceName in `runtime_folder` (the user's runtime folder when
    // empty), creates the frame and runs its start-up with `command_line`. False when the
    // process must end: another copy runs (it is asked to come to the front after the message)
    // or the start-up failed; no frame exists then.
    bool start(const MAppServices& services, const CkvString& command_line,
               const std::string& runtime_folder = std::string());

    // The frame after a successful start; nullptr otherwise.
    MFrame* frame() const { return frame_.get(); }
    // Destroys the frame (after its exit flow) and gives up the lock; nothing without one.
    void end();
    // True (once per request) when a later start asked this copy to come to the front.
    bool take_raise_request() { return lock_.take_raise_request(); }
    // The front end's idle step: tells the port to raise the window when a later start asked
    // for it, and lets the frame handle the player's notices.
    void pump();

private:
    kv_instance::instance_lock lock_;
    std::unique_ptr<MFrame> frame_;
};
