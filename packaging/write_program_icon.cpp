// kestrix-program-icon: writes the program's own icon, as the window draws it,
// into an icon theme folder: DIR/<size>x<size>/apps/kestrix.png for each size
// given. Used by the build for the desktop entry; it draws nothing itself.
#include "ui/product_icons.h"

#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: kestrix-program-icon DIR SIZE...\n");
        return 2;
    }
    QGuiApplication application(argc, argv);
    const QIcon icon = kestrix::programIcon();
    for (int index = 2; index < argc; ++index) {
        const int size = std::atoi(argv[index]);
        const QString folder = QString("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        const QPixmap pixmap = icon.pixmap(size, size);
        if (size <= 0 || pixmap.width() != size || !QDir().mkpath(folder) ||
            !pixmap.save(folder + "/kestrix.png", "PNG")) {
            std::fprintf(stderr, "kestrix-program-icon: the icon of size %s cannot be written into %s\n",
                         argv[index], argv[1]);
            return 1;
        }
    }
    return 0;
}
