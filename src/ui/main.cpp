// kestrix: the maintenance tool's window program.
#include "mainwindow/command_line.h"
#include "mainwindow/program_interrupt.h"
#include "ui/toolbox_app.h"

#include <QApplication>

#include <string>
#include <vector>

int main(int argc, char** argv) {
    // Before Qt starts any thread of its own.
    kestrix::handleProgramInterrupts();
    QApplication application(argc, argv);
    // QApplication has taken its own options out of argv.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    kestrix::CToolBoxApp toolBox(kestrix::parseCommandLine(arguments));
    if (!toolBox.initInstance())
        return 1;
    return QApplication::exec();
}
