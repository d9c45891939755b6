#include "mainwindow/program_interrupt.h"

#include "platform/file_replacement.h"
#include "platform/interrupt.h"
#include "terminal/terminal.h"

namespace kestrix {

void handleProgramInterrupts() {
    startInterruptHandling([] {
        removeAllTemporaryFiles();
        Terminal::deleteAllOwnRoutes();
    });
}

} // namespace kestrix
