// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"
#include "zn84_version.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    // Answered before QApplication exists, which needs a display: a package
    // check or a user on a text console asks for these.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("zn84-viewer %s\n", ZN84_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("usage: %s [--version] [--help] [Qt options, e.g. -platform NAME]\n"
                        "Host tool for a laser rangefinder on a serial port. See zn84-viewer(1).\n",
                        argv[0]);
            return 0;
        }
    }
    QApplication a(argc, argv);
    MainWindow w;
    w.show();
    return a.exec();
}
