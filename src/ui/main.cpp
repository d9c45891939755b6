// kestrix: the maintenance tool's window program.
#include "mainwindow/command_line.h"
#include "mainwindow/program_interrupt.h"
#include "messages/product.h"
#include "ui/toolbox_app.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    // The version is told before Qt starts: it needs no display.
    for (int index = 1; index < argc; ++index)
        if (std::string_view(argv[index]) == "--version") {
            std::printf("%s %s\n", kestrix::kProductCaption, kestrix::kProductVersion);
            return 0;
        }
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
