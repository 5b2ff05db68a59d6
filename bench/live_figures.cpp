// SPDX-License-Identifier: GPL-3.0-or-later
// live_figures: the figures an operator sees, measured on the real window
// against the simulated sensor on a pseudo-terminal.
//
//  1. The frame rate the readout shows while the simulator streams at 100,
//     1000 and 10,000 frames per second (sampled once a second for 5 s after
//     a 2-s settling time).
//  2. The time a 100 KiB firmware image takes to upload with serial framing
//     (255-byte frames) at 115200 baud, from the button press to the result,
//     with the sensor streaming around its acknowledgements. A pty does not
//     pace bytes at the baud rate; the time a real line needs for the same
//     bytes is printed next to it.
//
// Run under a display (xvfb-run) from the build directory:  bench/live_figures

#include "receiver.h"
#include "simsensor.h"
#include "windowprobe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

bool connectWindow(MainWindow &w, const sim::SimSensor &s, int baud)
{
    WindowProbe p(w);
    p.choosePort(QString::fromStdString(s.devicePath()));
    p.chooseBaudRate(baud);
    p.ui()->connectButton->click();
    return p.worker()->isPortOpen();
}

void disconnectWindow(MainWindow &w)
{
    WindowProbe p(w);
    if (p.worker()->isPortOpen())
        p.ui()->connectButton->click();
}

int shownRates(MainWindow &w, int fps)
{
    sim::SimSensor sensor;
    if (!sensor.start(fps) || !connectWindow(w, sensor, 115200)) {
        std::printf("rate %5d fps: cannot connect\n", fps);
        return 1;
    }
    QTest::qWait(2000);
    QStringList samples;
    for (int i = 0; i < 5; ++i) {
        QTest::qWait(1000);
        samples << WindowProbe(w).ui()->freqLabel->text();
    }
    std::printf("rate %5d fps: readout %s\n", fps, qPrintable(samples.join(QStringLiteral(", "))));
    disconnectWindow(w);
    return 0;
}

int upload(MainWindow &w)
{
    const int size = 100 * 1024;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("image.bin"));
    QFile f(path);
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i)
        image[i] = char((i * 131 + 7) & 0xFF);
    if (!f.open(QIODevice::WriteOnly) || f.write(image) != size)
        return 1;
    f.close();

    sim::SimSensor sensor;
    sensor.setStreamDuringUpgrade(true);
    if (!sensor.start(100) || !connectWindow(w, sensor, 115200)) {
        std::printf("upload: cannot connect\n");
        return 1;
    }
    WindowProbe p(w);
    p.ui()->radioButton_upgrade_serial->setChecked(true);
    p.ui()->lineEdit_image_full_path->setText(path);
    QElapsedTimer t;
    t.start();
    WindowProbe::answerNextQuestion(QMessageBox::Yes);   // the upgrade's confirmation
    p.ui()->pushButton_upgrade->click();
    const QString busy = p.ui()->statusBar->currentMessage();
    if (!QTest::qWaitFor([&] { return p.ui()->statusBar->currentMessage() != busy; }, 120000)) {
        std::printf("upload: no result in 120 s\n");
        return 1;
    }
    const qint64 ms = t.elapsed();
    const bool same = QByteArray(reinterpret_cast<const char *>(sensor.upgradeImage().data()),
                                 int(sensor.upgradeImage().size())) == image;
    // Serial framing: 249 payload bytes per 255-byte frame, plus the header
    // frame; a 5-byte acknowledgement for every frame but the last.
    const int frames = (size + 248) / 249;
    const double lineBytes = 255.0 * (frames + 1) + 5.0 * frames;
    std::printf("upload 100 KiB: %lld ms against the simulator, status \"%s\", image %s; "
                "%d frames, %.0f bytes on the line = %.1f s at 115200 baud (10 bits a byte)\n",
                static_cast<long long>(ms), qPrintable(p.ui()->statusBar->currentMessage()),
                same ? "identical" : "DIFFERENT", frames, lineBytes, lineBytes * 10 / 115200);
    disconnectWindow(w);
    return same ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int failures = 0;
    {
        MainWindow w;
        w.show();
        for (int fps : {100, 1000, 10000})
            failures += shownRates(w, fps);
        failures += upload(w);
        w.shutdownWorker();
    }
    return failures == 0 ? 0 : 1;
}
