#pragma once

#include "platform/sync.h"

namespace kestrix {

// The process-wide abort event: one auto-reset event, not set at first, that
// the TCL connection thread sets and the TCL console polls. Start-up creates it
// by the first call; it lives until the process ends and is never closed
// before. It is not the abort event of a worker (platform/worker_thread.h):
// each worker has one of its own.
//
// The first call creates the event and throws std::system_error when the
// system cannot create one (a later call then tries again); every further call
// answers the same event.
Event& processAbortEvent();

} // namespace kestrix
