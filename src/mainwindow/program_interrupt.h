#pragma once

namespace kestrix {

// Makes the window and kestrix-cli end cleanly on SIGINT, SIGTERM and SIGHUP:
// temporary files of saves and transfers in progress are removed and every
// host route the process added is deleted before it ends with 128 + the
// signal's number. Call first in main, before any other thread starts.
void handleProgramInterrupts();

} // namespace kestrix
