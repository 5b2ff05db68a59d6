// window_shot: the README's picture. Starts a simulated sensor, opens the
// window full-screen, connects at 115200, lets the chart fill for a while and
// takes the picture at the X level (the chart's curve is drawn with OpenGL,
// which a widget grab leaves out).
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" bench/window_shot OUT.png [SECONDS]

#include "receiver.h"
#include "simsensor.h"
#include "windowprobe.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.png [SECONDS]\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const int seconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 12;

    sim::SimSensor sensor;
    if (!sensor.start(100)) {
        std::fprintf(stderr, "window_shot: cannot start the simulated sensor\n");
        return 1;
    }
    int rc = 0;
    {
        MainWindow w;
        w.resize(1280, 1024);
        w.show();
        WindowProbe p(w);
        // The operator's choice in the port list.
        p.serialSelected() = QString::fromStdString(sensor.linkPath().empty() ? sensor.devicePath()
                                                                               : sensor.linkPath());
        p.ui()->connectButton->click();
        if (!p.worker()->isPortOpen()) {
            std::fprintf(stderr, "window_shot: cannot connect\n");
            rc = 1;
        } else {
            QTest::qWait(seconds * 1000);
            const int status = QProcess::execute(QStringLiteral("import"),
                                                 {QStringLiteral("-window"), QStringLiteral("root"), out});
            if (status != 0) {
                std::fprintf(stderr, "window_shot: import failed (%d)\n", status);
                rc = 1;
            }
            p.ui()->connectButton->click();
        }
        w.shutdownWorker();
    }
    return rc;
}
