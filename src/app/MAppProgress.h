#pragma once

#include <functional>

class MAppUserPort;

// Runs `work` on a thread of its own while the user-interface thread keeps the port's progress
// display at `step` and the front end's events going, so that the window stays responsive. The
// work must not touch the desk or anything else of the user-interface thread. Returns when the
// work has ended: true, or false when the user asked to cancel meanwhile (what the work made
// is then the caller's to drop). User-interface thread.
bool mapp_work_with_progress(MAppUserPort& port, int step, const std::function<void()>& work);
