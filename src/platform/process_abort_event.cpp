#include "platform/process_abort_event.h"

namespace kestrix {

Event& processAbortEvent() {
    static Event event(false);
    return event;
}

} // namespace kestrix
