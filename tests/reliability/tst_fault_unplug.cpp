// SPDX-License-Identifier: GPL-3.0-or-later
// The sensor's adapter is pulled out: while streaming and recording, and in
// the middle of each kind of exchange. The viewer must not crash or spin, must
// keep every line recorded so far, must disconnect cleanly, and must connect
// again once the device is back.

#include "batch_stream.h"
#include "fault_fixture.h"

#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>

using fault::FaultWindow;

namespace {

// Bounds of the exchanges when nothing answers, plus a margin for slow
// (sanitizer) builds: a handler beyond them is hanging, not slow.
constexpr qint64 kMarginMs = 3000;

QString T(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

} // namespace

class tst_fault_unplug : public QObject
{
    Q_OBJECT

private:
    FaultWindow fw;
    QTemporaryDir *scratch = nullptr;
    QString previousDir;

    void checkNoBusyLoop()
    {
        // The port closes on its own, its error reports run out, and then
        // nothing keeps a core busy.
        double cpu = -1;
        QVERIFY2(fw.idleAfterUnplug(&cpu),
                 qPrintable(QStringLiteral("%1 s of CPU in 0.6 s after the unplug").arg(cpu)));
    }

    void checkDisconnectAndReconnect()
    {
        // The operator presses the button that still reads "disconnect".
        fw.ui()->connectButton->click();
        QVERIFY(!fw.worker()->isPortOpen());
        QCOMPARE(fw.ui()->connectButton->text(), T("连接"));
        QVERIFY(!fw.ui()->tabWidget_cmd->isEnabled());
        QVERIFY(!fw.ui()->groupBox_upgrade->isEnabled());
        QVERIFY(fw.ui()->groupBox_langune->isEnabled());

        // The device comes back as a new pty, streaming again; connecting to
        // it works.
        fw.sensor.setAnswerMode(sim::AnswerMode::Normal);
        fw.sensor.setOutputEnabled(true);
        QVERIFY(fw.sensor.start(500));
        const int before = fw.batches->batches.size();
        QVERIFY(fw.connectTo(fw.sensor));
        QVERIFY2(fw.status().startsWith(T("连接成功 ")), qPrintable(fw.status()));
        QCOMPARE(fw.ui()->connectButton->text(), T("断开"));
        QVERIFY(fw.streamFlows(before));
    }

private slots:
    void init()
    {
        scratch = new QTemporaryDir;
        QVERIFY(scratch->isValid());
        previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(scratch->path()));
    }
    void cleanup()
    {
        fw.close();
        QDir::setCurrent(previousDir);
        delete scratch;
        scratch = nullptr;
    }

    void whileStreamingAndRecording();
    void duringExchange_data();
    void duringExchange();
};

void tst_fault_unplug::whileStreamingAndRecording()
{
    QVERIFY(fw.open(1000));
    QVERIFY(fw.streamFlows(0));

    // The recording starts with the next batch the window takes. The test's
    // own receiver may be a batch or two ahead of the window then (each has
    // its inbox, drained by its own event), so the window's count of samples
    // tells where the recording starts in the stream.
    const auto *stream = fw.window->findChild<BatchStream *>(QStringLiteral("batchStream"));
    QVERIFY(stream);
    const quint64 windowAtClick = stream->samples();
    fw.ui()->saveButton->click();
    QVERIFY(fw.probe().recording());
    const QString path = fw.probe().recordFile().fileName();
    const int afterClick = fw.batches->batches.size();
    QVERIFY(fw.streamFlows(afterClick + 20));

    fw.sensor.unplug();
    checkNoBusyLoop();

    // Every batch has reached both receivers now: the recording is the
    // stream's tail from the window's sample at the click, whole.
    QVector<uint16_t> all;
    for (const auto &b : fw.batches->batches)
        all += b.dist;
    QVector<uint16_t> fromClick;
    for (int i = afterClick; i < fw.batches->batches.size(); ++i)
        fromClick += fw.batches->batches[i].dist;
    QVERIFY(fromClick.size() > 200);
    const quint64 recorded = stream->samples() - windowAtClick;
    QVERIFY2(recorded >= quint64(fromClick.size()) && recorded <= quint64(all.size()),
             qPrintable(QStringLiteral("%1 recorded, %2 after the click").arg(recorded).arg(fromClick.size())));
    const QVector<uint16_t> expected = all.mid(all.size() - int(recorded));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    // Every line ends with a line break, so the last piece is empty.
    QCOMPARE(lines.size(), expected.size() + 1);
    QVERIFY(lines.last().isEmpty());
    for (int i = 0; i < expected.size(); ++i) {
        bool ok = false;
        const double metres = lines[i].toDouble(&ok);
        QVERIFY2(ok, lines[i].constData());
        QCOMPARE(qRound(metres * 100), int(expected[i]));
    }

    checkDisconnectAndReconnect();
}

void tst_fault_unplug::duringExchange_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("modbus");     // the sensor is in Modbus mode
    QTest::addColumn<bool>("streaming");  // the sensor streams (else trigger mode)
    QTest::addColumn<qint64>("boundMs");  // the exchange's bound without an answer

    QTest::newRow("acknowledged command") << "pushButton_fps" << false << true << qint64(4000);
    QTest::newRow("version query") << "pushButton_version" << false << false << qint64(6000);
    QTest::newRow("full version query") << "pushButton_full_version" << false << false << qint64(6000);
    QTest::newRow("triggered measurement") << "pushButton_trig" << false << false << qint64(22000);
    QTest::newRow("modbus enable") << "pushButton_modbus_enable" << false << true << qint64(10000);
    QTest::newRow("modbus read distance") << "pushButton_mb_read_dist_once" << true << false << qint64(6000);
    QTest::newRow("modbus read version") << "pushButton_mb_get_version" << true << false << qint64(6000);
    QTest::newRow("modbus reboot") << "pushButton_mb_reboot" << true << false << qint64(4000);
}

void tst_fault_unplug::duringExchange()
{
    QFETCH(QString, button);
    QFETCH(bool, modbus);
    QFETCH(bool, streaming);
    QFETCH(qint64, boundMs);

    // The simulated sensor keeps its settings across restarts, as a real one
    // does; every row starts from a streaming sensor that answers.
    fw.sensor.setAnswerMode(sim::AnswerMode::Normal);
    fw.sensor.setOutputEnabled(true);
    QVERIFY(fw.open(200));
    QVERIFY(fw.streamFlows(0));
    fw.sensor.setOutputEnabled(streaming);
    fw.sensor.setModbusEnabled(modbus);
    // Without the stream, frames still on the way would answer a trigger.
    if (!streaming)
        QVERIFY2(fw.lineDrained(), "frames still on the way");
    // Nothing answers, so the exchange is still waiting when the cable goes:
    // the moment the sensor takes the request.
    fw.sensor.setAnswerMode(sim::AnswerMode::Silent);
    fw.ui()->statusBar->showMessage(QStringLiteral("before"), 0);
    const int requestsBefore = fw.sensor.requestsTaken();
    fw.sensor.unplugOnNextRequest();

    const qint64 took = fw.clickTimed(button);
    QVERIFY(took >= 0);
    // On a silent line the exchange waits out seconds, so the sensor has
    // long taken the request and gone. With the stream running the waits end
    // on the frames, yet the sensor reads the request before it writes
    // another frame; only a very loaded machine could hold the request back
    // until the exchange is over, and then the device goes right after it.
    QTRY_VERIFY2_WITH_TIMEOUT(!fw.sensor.running(), "the request never reached the sensor", 5000);
    QCOMPARE(fw.sensor.requestsTaken(), requestsBefore + 1);
    QVERIFY2(took < boundMs + kMarginMs, qPrintable(QStringLiteral("handler took %1 ms").arg(took)));
    QVERIFY2(fw.status().contains(T("失败")), qPrintable(fw.status()));

    checkNoBusyLoop();
    checkDisconnectAndReconnect();
}

QTEST_MAIN(tst_fault_unplug)
#include "tst_fault_unplug.moc"
