// SPDX-License-Identifier: GPL-3.0-or-later
// window_shot: the README's picture. Starts a simulated sensor, opens the
// window full-screen, connects at 115200, lets the chart fill for a while and
// takes the picture at the X level (what the screen shows, whatever draws
// the curve).
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" bench/window_shot OUT.png [SECONDS]
//
// With --window S it takes the picture of a chart with an S-second time
// window filled with the same data every time (the simulator's slowly moving
// target at 100 frames a second, with a little noise and a few spikes), without
// a sensor: pictures of two builds can be compared.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" bench/window_shot OUT.png --window 3600
//
// ZN84_SHOT_SIZE=WxH (e.g. 1024x600) takes the picture of a window of that
// size instead of the full screen; ZN84_SHOT_LANGUAGE=en shows the window in
// English; ZN84_SHOT_TRAFFIC=1 opens the command traffic panel and reads the
// version once, so that the panel has a line; ZN84_SHOT_JUDGE=1 judges the
// run: the judge's dock with limits, a moving median drawn over the curve,
// and lone spikes from the simulator that only the judge sees in full;
// ZN84_SHOT_SIGNAL=HZ:CM gives
// the simulator a vibration (at 1000 frames a second about 3 m) and opens the
// spectrum, histogram and capture views beside the chart.

#include "judge_panel.h"
#include "receiver.h"
#include "signal_panel.h"
#include "simsensor.h"
#include "windowprobe.h"

#include <QApplication>
#include <QProcess>
#include <QLineEdit>
#include <QGroupBox>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QSize>
#include <QTest>

#include <cmath>
#include <cstdio>

// The window's size: the screen's, or ZN84_SHOT_SIZE.
static QSize shotSize()
{
    const QStringList wh = qEnvironmentVariable("ZN84_SHOT_SIZE").split(QLatin1Char('x'));
    if (wh.size() == 2 && wh.at(0).toInt() > 0 && wh.at(1).toInt() > 0)
        return QSize(wh.at(0).toInt(), wh.at(1).toInt());
    return QSize(1280, 1024);
}

static int takePicture(const QString &out)
{
    const int status = QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), out});
    if (status != 0)
        std::fprintf(stderr, "window_shot: import failed (%d)\n", status);
    return status == 0 ? 0 : 1;
}

static int filledShot(const QString &out, int windowSeconds)
{
    MainWindow w;
    w.resize(shotSize());
    w.show();
    WindowProbe p(w);
    QTest::qWait(500);
    p.ui()->groupBox_ctrl->setEnabled(true);
    p.ui()->timeRangeEdit->setText(QString::number(windowSeconds));
    emit p.ui()->timeRangeEdit->editingFinished();
    // One batch a second at 100 frames a second: every frame is plotted.
    const int rate = 100;
    quint32 noise = 12345;
    QVector<uint16_t> second(rate);
    for (int s = 0; s < windowSeconds + 20; ++s) {
        for (int i = 0; i < rate; ++i) {
            const double t = s + double(i) / rate;
            noise = noise * 1664525u + 1013904223u;
            double cm = 2050.0 + 1950.0 * std::sin(2.0 * M_PI * t / 20.0) + (noise >> 24) % 40;
            if ((s * rate + i) % 4999 == 777)
                cm = 4500;   // a single-sample spike
            second[i] = uint16_t(cm);
        }
        p.display(second, rate);
    }
    QTest::qWait(1500);
    const int rc = takePicture(out);
    w.shutdownWorker();
    return rc;
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.png [SECONDS]\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (argc > 3 && QString::fromLocal8Bit(argv[2]) == QLatin1String("--window"))
        return filledShot(out, QString::fromLocal8Bit(argv[3]).toInt());
    const int seconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 12;
    // "--zoom" after the seconds: a held zoom into the newest seconds, the
    // statistics of it and the value under the cursor.
    const bool zoom = argc > 3 && QString::fromLocal8Bit(argv[3]) == QLatin1String("--zoom");

    sim::SimSensor sensor;
    const QStringList vibration = qEnvironmentVariable("ZN84_SHOT_SIGNAL").split(QLatin1Char(':'));
    const bool signal = vibration.size() == 2;
    if (signal) {
        sensor.setDistanceCm(300);
        sensor.setVibration(vibration.at(0).toDouble(), vibration.at(1).toDouble());
    }
    if (!sensor.start(signal ? 1000 : 100)) {
        std::fprintf(stderr, "window_shot: cannot start the simulated sensor\n");
        return 1;
    }
    int rc = 0;
    {
        MainWindow w;
        w.resize(shotSize());
        w.show();
        WindowProbe p(w);
        if (qEnvironmentVariable("ZN84_SHOT_LANGUAGE") == QLatin1String("en"))
            p.ui()->radioButton_english->setChecked(true);
        // The operator's choice in the port list.
        p.ui()->serialComboBox->showPopup();
        p.ui()->serialComboBox->hidePopup();
        p.choosePort(QString::fromStdString(sensor.linkPath().empty() ? sensor.devicePath() : sensor.linkPath()));
        p.ui()->connectButton->click();
        if (!p.worker()->isPortOpen()) {
            std::fprintf(stderr, "window_shot: cannot connect\n");
            rc = 1;
        } else {
            if (qEnvironmentVariableIsSet("ZN84_SHOT_JUDGE")) {
                w.findChild<QCheckBox *>(QStringLiteral("checkBox_judge_show"))->setChecked(true);
                w.findChild<QLineEdit *>(QStringLiteral("lineEdit_judge_lower"))->setText(QStringLiteral("5"));
                w.findChild<QLineEdit *>(QStringLiteral("lineEdit_judge_upper"))->setText(QStringLiteral("36"));
                w.findChild<QLineEdit *>(QStringLiteral("lineEdit_judge_hysteresis"))->setText(QStringLiteral("0.5"));
                w.findChild<QPushButton *>(QStringLiteral("pushButton_judge_apply"))->click();
                w.findChild<QComboBox *>(QStringLiteral("comboBox_judge_filter"))->setCurrentIndex(2);
                w.findChild<QSpinBox *>(QStringLiteral("spinBox_judge_filter_length"))->setValue(9);
                w.findChild<QPushButton *>(QStringLiteral("pushButton_judge_reset"))->click();
                sensor.setSpikes(97, 1200);
            }
            if (qEnvironmentVariableIsSet("ZN84_SHOT_TRAFFIC")) {
                w.findChild<QPushButton *>(QStringLiteral("pushButton_show_traffic"))->click();
                p.ui()->pushButton_version->click();
            }
            if (signal)
                w.findChild<SignalPanel *>(QStringLiteral("signalPanel"))->showViews(true);
            QTest::qWait(seconds * 1000);
            if (zoom) {
                const double newest = p.timeCursor();
                p.zoomTo(newest - 6, newest - 1);
                QTest::qWait(1500);   // the zoom holds while the stream goes on
                // The cursor on the curve, a third of the way across.
                const QVector<QPointF> shown = p.displayPoints();
                QPointF target;
                for (const QPointF &pt : shown)
                    if (pt.x() >= newest - 6 + 5.0 / 3) {
                        target = pt;
                        break;
                    }
                QChart *chart = p.chartView()->chart();
                const QPoint at = p.chartView()->mapFromScene(chart->mapToScene(chart->mapToPosition(target, p.series())));
                QTest::mouseMove(p.chartView()->viewport(), at);
                QTest::qWait(500);
            }
            rc = takePicture(out);
            p.ui()->connectButton->click();
        }
        w.shutdownWorker();
    }
    return rc;
}
