// SPDX-License-Identifier: GPL-3.0-or-later
// The window's link panel against simulated sensors on pseudo-terminals: a
// device that vanishes while recording and comes back under the same name is
// reopened and the recording goes on in the same file with every frame; with
// reconnect off, or after a disconnect while waiting, it stays closed. The
// line-health counters, the command traffic view, the reason of a failed
// connect and the one-click connect of "find the sensor".

#include "find_dialog.h"
#include "link_panel.h"
#include "mainwindow.h"
#include "mycombobox.h"
#include "port_connector.h"
#include "link_events.h"
#include "receiver.h"
#include "cross_thread.h"
#include "simsensor.h"
#include "traffic_panel.h"
#include "windowprobe.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString T(const char *context, const char *source)
{
    return QCoreApplication::translate(context, source);
}

QString linkOf(const sim::SimSensor &s)
{
    return QString::fromStdString(s.linkPath());
}

QVector<uint16_t> recordedDistances(const QString &path)
{
    QFile file(path);
    QVector<uint16_t> values;
    if (!file.open(QIODevice::ReadOnly))
        return values;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            values << uint16_t(qRound(line.toDouble() * 100));
    }
    return values;
}

QByteArray frameBytes(uint16_t cm)
{
    QByteArray f;
    f.append(char(0x59)).append(char(0x59)).append(char(cm & 0xFF)).append(char(cm >> 8));
    f.append(char(0x10)).append(char(0x20)).append(char(0x30)).append(char(0x40));
    unsigned sum = 0;
    for (char c : f)
        sum += uint8_t(c);
    f.append(char(sum & 0xFF));
    return f;
}

} // namespace

class tst_window_link : public QObject
{
    Q_OBJECT

private:
    MainWindow *window = nullptr;
    sim::SimSensor *sensor = nullptr;
    QTemporaryDir *scratch = nullptr;
    QString previousDir;

    WindowProbe probe() const { return WindowProbe(*window); }
    Ui::MainWindow *ui() const { return probe().ui(); }
    LinkPanel *panel() const { return window->findChild<LinkPanel *>(); }
    QString status() const { return ui()->statusBar->currentMessage(); }
    QString label(const char *name) const { return window->findChild<QLabel *>(name)->text(); }
    template <typename W> W *child(const char *name) const { return window->findChild<W *>(name); }

private slots:
    void init()
    {
        scratch = new QTemporaryDir;
        QVERIFY(scratch->isValid());
        previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(scratch->path()));
        sensor = new sim::SimSensor;
        window = new MainWindow;
        window->show();
    }
    void cleanup()
    {
        probe().disconnectAndStop();
        delete window;
        window = nullptr;
        delete sensor;
        sensor = nullptr;
        QDir::setCurrent(previousDir);
        delete scratch;
        scratch = nullptr;
    }

    void reconnectKeepsRecording_data();
    void reconnectKeepsRecording();
    void chartSkipsTheWorkersTimeAway_data();
    void chartSkipsTheWorkersTimeAway();
    void disconnectKeepsEveryArrivedFrame();
    void lostAndNotReopened_data();
    void lostAndNotReopened();
    void healthCountersAndPoorLine();
    void trafficShowsTheExchangeBytes_data();
    void trafficShowsTheExchangeBytes();
    void trafficKeepsTheLastThousand();
    void trafficNamesTheExchange_data();
    void trafficNamesTheExchange();
    void failedConnectNamesTheReason_data();
    void failedConnectNamesTheReason();
    void findConnectsInOneClick();
};

void tst_window_link::reconnectKeepsRecording_data()
{
    QTest::addColumn<bool>("midStream");
    // Everything the device wrote has been read when it goes: the file must
    // hold exactly every frame sent.
    QTest::newRow("quiet moment") << false;
    // Pulled while frames flow: what was still in the line is lost with the
    // cable, everything the viewer had read is in the file, in order.
    QTest::newRow("mid-stream") << true;
}

void tst_window_link::reconnectKeepsRecording()
{
    QFETCH(bool, midStream);
    sensor->pauseStream(true);
    QVERIFY(sensor->start(200));
    QVERIFY(child<QCheckBox>("checkBox_auto_reconnect")->isChecked());
    LinkEvents events(probe().worker());
    QVERIFY(probe().connectTo(linkOf(*sensor)));
    QCOMPARE(label("label_reconnect_count"), QString("0"));
    ui()->saveButton->click();
    QVERIFY(probe().recording());
    const QString path = probe().recordFile().fileName();

    sensor->clearSentLog();
    sensor->pauseStream(false);
    QTRY_VERIFY_WITH_TIMEOUT(recordedDistances(path).size() > 150 && probe().displayPointCount() > 0, 20000);
    if (!midStream) {
        // The device goes with the viewer's port open, once the viewer has
        // read everything it wrote: two bytes after the last frame let the
        // parser examine it.
        sensor->pauseStream(true);
        sensor->writeRaw({0x00, 0x00});
        QTRY_COMPARE_WITH_TIMEOUT(probe().worker()->lineHealth().goodFrames, quint64(sensor->framesSent()), 15000);
    }
    const double cursorBefore = probe().timeCursor();
    sensor->unplug();
    QTRY_COMPARE_WITH_TIMEOUT(events.lost, 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(label("label_link_state"), T("LinkPanel", "设备丢失，正在等待"), 15000);
    QVERIFY(probe().worker()->isWaitingForDevice());
    QVERIFY(!probe().worker()->isPortOpen());
    // Every frame the viewer read before the loss is in the file already (the
    // last batch went out before the loss was reported, through the same
    // hand-over).
    const std::vector<uint16_t> before = sensor->sentDistances();
    const QVector<uint16_t> beforeSent(before.begin(), before.end());
    const QVector<uint16_t> recordedBefore = recordedDistances(path);
    const int kept = recordedBefore.size();
    QVERIFY(recordedBefore == beforeSent.mid(0, kept));
    if (midStream) {
        // At most what the simulator had written in its last few steps
        // (every 5 ms at 200 frames a second) was still in the line.
        QVERIFY2(beforeSent.size() - kept <= 50, qPrintable(QString("%1 of %2").arg(kept).arg(beforeSent.size())));
    } else {
        QCOMPARE(kept, beforeSent.size());
    }

    QVERIFY(sensor->replug());
    sensor->pauseStream(false);
    QTRY_COMPARE_WITH_TIMEOUT(events.back, 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(label("label_reconnect_count"), QString("1"), 15000);
    QCOMPARE(status(), T("LinkPanel", "已重新连接") + " " + linkOf(*sensor) + " 115200");
    QCOMPARE(label("label_link_state"), QString());
    QCOMPARE(ui()->connectButton->text(), T("MainWindow", "断开"));
    QTRY_VERIFY_WITH_TIMEOUT(recordedDistances(path).size() > kept + 150, 20000);
    sensor->pauseStream(true);
    // A last burst of frames pushes out the distances the worker still
    // gathers for its next batch.
    const std::vector<uint16_t> sent = sensor->sentDistances();
    const QVector<uint16_t> after = QVector<uint16_t>(sent.begin(), sent.end()).mid(beforeSent.size());
    QByteArray tail;
    for (int i = 0; i < 15; ++i)
        tail += frameBytes(4321);
    tail += QByteArray(2, '\0');
    sensor->writeRaw(sim::Bytes(tail.begin(), tail.end()));
    QTRY_VERIFY_WITH_TIMEOUT(recordedDistances(path).size() >= kept + after.size() + 10, 10000);

    // One file: the frames from before the loss, then every frame after it.
    const QVector<uint16_t> recorded = recordedDistances(path);
    QVERIFY(recorded.mid(0, kept) == recordedBefore);
    QVERIFY(recorded.mid(kept, after.size()) == after);
    for (int i = kept + after.size(); i < recorded.size(); ++i)
        QCOMPARE(recorded[i], uint16_t(4321));
    QCOMPARE(probe().worker()->reconnectCount(), 1);

    // The chart's time ran on across the gap (at least the second before the
    // first check for the device): one step of the curve spans it.
    auto widestStep = [this] {
        const QVector<QPointF> points = probe().displayPoints();
        double widest = 0;
        for (int i = 1; i < points.size(); ++i)
            widest = qMax(widest, points[i].x() - points[i - 1].x());
        return widest;
    };
    // The worker looked for the device first a second after the loss (a
    // coarse timer may fire 5 % early).
    QVERIFY2(events.backAtMs - events.lostAtMs >= 950, qPrintable(QString::number(events.backAtMs - events.lostAtMs)));
    QTRY_VERIFY_WITH_TIMEOUT(widestStep() >= 0.9, 15000);
    QVERIFY(probe().timeCursor() > cursorBefore + 0.9);
}

void tst_window_link::chartSkipsTheWorkersTimeAway_data()
{
    QTest::addColumn<QString>("events");   // lost@ms, back@ms: when the worker saw them
    QTest::addColumn<double>("skipped");
    QTest::newRow("away 2.5 s") << "lost@1000 back@3500" << 2.5;
    QTest::newRow("away a quarter second") << "lost@1000 back@1250" << 0.25;
    QTest::newRow("back twice after one loss") << "lost@0 back@1500 back@9000" << 1.5;
    QTest::newRow("back without a loss") << "back@4000" << 0.0;
}

// The chart's time runs on by the time the worker saw the device away, not
// by the time between this thread's taking the two news: a window busy when
// the loss came took it late and drew the gap too short. Here both news come
// to the window at once.
void tst_window_link::chartSkipsTheWorkersTimeAway()
{
    QFETCH(QString, events);
    QFETCH(double, skipped);
    receiver *worker = probe().worker();
    const double before = probe().timeCursor();
    const qint64 base = receiver::steadyMs();
    int backs = 0;
    for (const QString &e : events.split(QLatin1Char(' '))) {
        const qint64 at = base + e.section(QLatin1Char('@'), 1).toLongLong();
        if (e.startsWith(QLatin1String("lost")))
            emit worker->signalDeviceLost(true, at);
        else
            emit worker->signalReconnected(++backs, at);
    }
    QTRY_COMPARE(label("label_reconnect_count"), QString::number(backs));
    QCOMPARE(probe().timeCursor() - before, skipped);
}

// The operator disconnects while recording: the distances still gathering
// for the worker's next batch, and the last frame (which the parser holds
// until two more bytes come), reach the file too.
void tst_window_link::disconnectKeepsEveryArrivedFrame()
{
    sensor->pauseStream(true);
    QVERIFY(sensor->start(200));
    QVERIFY(probe().connectTo(linkOf(*sensor)));
    ui()->saveButton->click();
    const QString path = probe().recordFile().fileName();
    sensor->clearSentLog();
    sensor->pauseStream(false);
    QTRY_VERIFY_WITH_TIMEOUT(recordedDistances(path).size() > 50, 20000);
    sensor->pauseStream(true);
    const quint64 sent = sensor->framesSent();
    // Every frame has arrived once the parser has taken all but the last,
    // and the last one's bytes are in.
    receiver *worker = probe().worker();
    auto allArrived = [worker, sent] {
        quint64 parsed = 0;
        int buffered = 0;
        worker->runInWorkerThread([&] {
            parsed = worker->lineHealth().goodFrames;
            buffered = worker->streamState().bufferedBytes;
        });
        return parsed + 1 >= sent && buffered >= 9;
    };
    QTRY_VERIFY_WITH_TIMEOUT(allArrived(), 15000);
    ui()->connectButton->click();
    QVERIFY(!probe().worker()->isPortOpen());
    const std::vector<uint16_t> all = sensor->sentDistances();
    QTRY_COMPARE_WITH_TIMEOUT(recordedDistances(path).size(), int(all.size()), 15000);
    QVERIFY(recordedDistances(path) == QVector<uint16_t>(all.begin(), all.end()));
}

void tst_window_link::lostAndNotReopened_data()
{
    QTest::addColumn<bool>("autoReconnect");
    QTest::newRow("reconnect turned off") << false;
    QTest::newRow("disconnect while waiting") << true;
}

void tst_window_link::lostAndNotReopened()
{
    QFETCH(bool, autoReconnect);
    QVERIFY(sensor->start(200));
    if (!autoReconnect)
        child<QCheckBox>("checkBox_auto_reconnect")->setChecked(false);
    LinkEvents events(probe().worker());
    QVERIFY(probe().connectTo(linkOf(*sensor)));
    sensor->unplug();
    QTRY_COMPARE_WITH_TIMEOUT(events.lost, 1, 10000);
    if (autoReconnect) {
        QTRY_COMPARE_WITH_TIMEOUT(label("label_link_state"), T("LinkPanel", "设备丢失，正在等待"), 15000);
        QVERIFY(probe().worker()->isWaitingForDevice());
        // The operator disconnects: the waiting ends.
        ui()->connectButton->click();
        QCOMPARE(ui()->connectButton->text(), T("MainWindow", "连接"));
        QCOMPARE(status(), T("MainWindow", "断开成功"));
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(label("label_link_state"), T("LinkPanel", "设备丢失"), 15000);
    }
    QVERIFY(!probe().worker()->isWaitingForDevice());
    QVERIFY(sensor->replug());
    // The worker looks for the device once a second while it waits; it does
    // not wait, so the port stays closed.
    QTest::qWait(2500);
    QVERIFY(!probe().worker()->isPortOpen());
    QCOMPARE(label("label_reconnect_count"), QString("0"));
    QCOMPARE(label("label_link_state"), autoReconnect ? QString() : T("LinkPanel", "设备丢失"));
}

void tst_window_link::healthCountersAndPoorLine()
{
    sensor->setDistanceCm(1234);
    sim::StreamFaults faults;
    faults.badChecksumShare = 0.1;
    faults.strayByteShare = 0.1;
    sensor->setFaults(faults);
    QVERIFY(sensor->start(500));
    QLabel *poor = child<QLabel>("label_poor_line");
    QVERIFY(probe().connectTo(linkOf(*sensor)));
    QVERIFY(!poor->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(poor->isVisible(), 10000);
    QVERIFY(label("label_good_frames").toInt() > 0);
    QVERIFY(label("label_bad_checksums").toInt() > 0);
    QVERIFY(label("label_stray_bytes").toInt() > 0);
    QVERIFY(label("label_resyncs").toInt() > 0);
    QCOMPARE(label("label_good_frames").toULongLong(), panel()->shownHealth().goodFrames);

    // A clean line: after a new connect the counters start from nothing and
    // the flag goes.
    sensor->setFaults(sim::StreamFaults());
    ui()->connectButton->click();
    QVERIFY(probe().connectTo(linkOf(*sensor)));
    QCOMPARE(label("label_bad_checksums"), QString("0"));
    // Frames the simulator made before the change may still be on their way
    // (a slow machine): from the first hundred good frames on, no bad one is
    // added, and the flag goes.
    QTRY_VERIFY_WITH_TIMEOUT(label("label_good_frames").toInt() > 100, 10000);
    const QString bad = label("label_bad_checksums");
    QTRY_VERIFY_WITH_TIMEOUT(label("label_good_frames").toInt() > 600, 10000);
    QCOMPARE(label("label_bad_checksums"), bad);
    QTRY_VERIFY_WITH_TIMEOUT(!poor->isVisible(), 10000);
}

void tst_window_link::trafficShowsTheExchangeBytes_data()
{
    QTest::addColumn<bool>("answers");
    QTest::newRow("answered") << true;
    QTest::newRow("no answer") << false;
}

void tst_window_link::trafficShowsTheExchangeBytes()
{
    QFETCH(bool, answers);
    sensor->pauseStream(true);
    sensor->setVersion(3, 1, 4);
    QVERIFY(sensor->start(100));
    QPushButton *show = child<QPushButton>("pushButton_show_traffic");
    TrafficPanel *traffic = panel()->trafficPanel();
    QVERIFY(!traffic->isVisible());
    show->click();
    QVERIFY(show->isChecked());
    QVERIFY(traffic->isVisible());
    QVERIFY(probe().connectTo(linkOf(*sensor)));
    if (!answers) {
        sensor->setAnswerMode(sim::AnswerMode::Silent);
        ProtocolTiming fast;
        fast.replyWaitMs = 100;
        probe().worker()->setProtocolTiming(fast);
    }
    sensor->clearReceived();
    window->findChild<QPushButton *>("pushButton_version")->click();
    QTRY_COMPARE_WITH_TIMEOUT(traffic->entryCount(), 1, 15000);

    const QByteArray sent(reinterpret_cast<const char *>(sensor->received().data()), int(sensor->received().size()));
    QVERIFY(!sent.isEmpty());
    QByteArray reply;
    if (answers) {
        reply = QByteArray::fromHex("5a070103010400");
        unsigned sum = 0;
        for (int i = 0; i < 6; ++i)
            sum += uint8_t(reply[i]);
        reply[6] = char(sum & 0xFF);
    }
    const QString line = traffic->text();
    const QString expected = T("TrafficPanel", "发送") + ": " + TrafficPanel::hex(sent) + "  "
            + T("TrafficPanel", "接收") + ": " + TrafficPanel::hex(reply) + "  "
            + (answers ? T("TrafficPanel", "成功") : T("TrafficPanel", "无应答"));
    QVERIFY2(line.endsWith(expected), qPrintable(line + "\n" + expected));
    // Named in the operator's words, never by the code's.
    QVERIFY2(line.contains(QStringLiteral("  ") + T("TrafficPanel", "读版本号") + QStringLiteral("  ")),
             qPrintable(line));
    QVERIFY2(!line.contains("slot_"), qPrintable(line));
    QVERIFY(line.contains(TrafficPanel::hex(sent)));
    QCOMPARE(TrafficPanel::hex(sent), QString("5A 04 01 5F"));

    child<QPushButton>("pushButton_traffic_copy_all")->click();
    QCOMPARE(QApplication::clipboard()->text(), line);
}

void tst_window_link::trafficKeepsTheLastThousand()
{
    TrafficPanel *traffic = panel()->trafficPanel();
    for (int i = 0; i < 1005; ++i) {
        TrafficEntry e;
        e.name = QString("entry%1").arg(i);
        e.sent = QByteArray(1, char(i & 0xFF));
        traffic->add(e);
    }
    QCOMPARE(traffic->entryCount(), 1000);
    QVERIFY(traffic->text().contains("entry5 "));
    QVERIFY(!traffic->text().contains("entry4 "));
    QVERIFY(traffic->text().endsWith(T("TrafficPanel", "无应答")));
}

// Each exchange is named as the operator would say it, with the value it
// carried, in the window's language; the bytes stay as they went.
void tst_window_link::trafficNamesTheExchange_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("field");    // empty: the button alone
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("modbus");      // the sensor speaks Modbus
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sent");

    QTest::newRow("frame rate") << false << "comboBox_fps_set" << "100" << "pushButton_fps" << false
                                << "设置帧率 100" << "5A 06 03 64 00 C7";
    QTest::newRow("frame rate, English") << true << "comboBox_fps_set" << "100" << "pushButton_fps" << false
                                         << "Set frame rate 100" << "5A 06 03 64 00 C7";
    QTest::newRow("CAN receive id") << false << "lineEdit_can_rcv_id" << "0x123" << "pushButton_can_rcv_id" << false
                                    << "设置CAN接收ID 0x123" << "5A 08 51 23 01 00 00 D7";
    QTest::newRow("negative offset, English") << true << "lineEdit_ofs_config" << "-10" << "pushButton_ofs_config"
                                              << false << "Set distance offset -10" << "5A 06 69 F6 FF BE";
    QTest::newRow("version") << false << "" << "" << "pushButton_version" << false << "读版本号" << "5A 04 01 5F";
    QTest::newRow("save") << false << "" << "" << "pushButton_save_config" << false << "保存设置"
                          << "5A 04 11 6F";
    QTest::newRow("Modbus sampling rate, English") << true << "lineEdit_mb_fps" << "100" << "pushButton_mb_set_fps"
                                                   << true << "Modbus set sampling rate 100"
                                                   << "01 06 00 86 00 64 69 C8";
    QTest::newRow("Modbus shutdown") << false << "" << "" << "pushButton_mb_shutdown" << true << "Modbus关闭雷达"
                                     << "01 06 00 81 00 00 D9 E2";
}

void tst_window_link::trafficNamesTheExchange()
{
    QFETCH(bool, english);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, button);
    QFETCH(bool, modbus);
    QFETCH(QString, name);
    QFETCH(QString, sent);

    sensor->pauseStream(true);
    QVERIFY(sensor->start(100));
    sensor->setModbusEnabled(modbus);
    if (english)
        ui()->radioButton_english->setChecked(true);
    QVERIFY(probe().connectTo(linkOf(*sensor)));
    TrafficPanel *traffic = panel()->trafficPanel();
    if (!field.isEmpty()) {
        QWidget *w = window->findChild<QWidget *>(field);
        if (auto *combo = qobject_cast<QComboBox *>(w))
            combo->setEditText(text);
        else if (auto *edit = qobject_cast<QLineEdit *>(w))
            edit->setText(text);
        else
            QFAIL(qPrintable(field));
    }
    child<QPushButton>(qPrintable(button))->click();
    QTRY_COMPARE_WITH_TIMEOUT(traffic->entryCount(), 1, 10000);
    const QString line = traffic->text();
    // "HH:mm:ss.zzz  NAME  ...", then the bytes as they went.
    QVERIFY2(line.mid(12).startsWith(QStringLiteral("  ") + name + QStringLiteral("  ")), qPrintable(line));
    QVERIFY2(line.contains(QStringLiteral(": ") + sent + QStringLiteral("  ")), qPrintable(line));
}

void tst_window_link::failedConnectNamesTheReason_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << 0 << T("LinkPanel", "端口不存在");
    QTest::newRow("in use") << 1 << T("LinkPanel", "端口已被其他程序占用");
    QTest::newRow("not permitted") << 2
                                   << T("LinkPanel", "没有权限打开此端口：请将用户加入 dialout 组，然后重新登录");
}

void tst_window_link::failedConnectNamesTheReason()
{
    QFETCH(int, kind);
    QFETCH(QString, reason);
    QVERIFY(sensor->start(100));
    QString name = linkOf(*sensor);
    QSerialPort holder;
    bool asOther = false;
    if (kind == 0) {
        name = "/dev/zn84-no-such-port";
    } else if (kind == 1) {
        holder.setPortName(name);
        QVERIFY(holder.open(QIODevice::ReadWrite));
    } else {
        QVERIFY(::chmod(sensor->devicePath().c_str(), 0) == 0);
        // A privileged user opens anything: connect with an unprivileged
        // user's rights for this one click.
        if (geteuid() == 0) {
            if (::seteuid(65534) != 0)
                QSKIP("running as root and cannot take an unprivileged user's rights");
            asOther = true;
        }
    }
    const bool opened = probe().connectTo(name);
    if (asOther)
        QVERIFY(::seteuid(0) == 0);
    QVERIFY(!opened);
    QCOMPARE(status(), T("MainWindow", "连接失败!") + " " + reason);
    QVERIFY(status().startsWith(T("MainWindow", "连接失败!")));
    QCOMPARE(ui()->connectButton->text(), T("MainWindow", "连接"));
}

void tst_window_link::findConnectsInOneClick()
{
    sensor->setLineBaud(1000000);
    sensor->setDistanceCm(2345);
    QVERIFY(sensor->start(200));
    sim::SimSensor quiet;
    quiet.pauseStream(true);
    QVERIFY(quiet.start(100));
    QCOMPARE(probe().baudRate(), 115200);

    // The find button scans every port the chooser lists, which includes the
    // simulators of other tests running meanwhile: this test listens on its
    // own two only (candidatePorts() is checked below).
    FindDialog *dialog = panel()->openFindDialog();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(panel()->findDialog(), dialog);
    QVERIFY(!dialog->scanning());
    // Listening longer than the viewer does: the simulator's thread may wait
    // for a core on a loaded machine.
    ScanOptions slow;
    slow.listenMs = 800;
    dialog->setScanOptions(slow);
    QSignalSpy done(dialog, &FindDialog::scanFinished);
    QVERIFY(dialog->startScan({linkOf(quiet), linkOf(*sensor)}));
    QVERIFY(dialog->scanning());
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 30000);
    QCOMPARE(dialog->hits().size(), 1);
    QCOMPARE(dialog->hits().first().port, linkOf(*sensor));
    QCOMPARE(dialog->hits().first().baud, 1000000);
    QCOMPARE(sensor->receivedCount(), size_t(0));
    QCOMPARE(quiet.receivedCount(), size_t(0));

    // The hit's row shows the port as the chooser does (its full path in the
    // tooltip), every column whole: each as wide as its cells and caption,
    // all of them inside the table.
    auto *table = dialog->findChild<QTableWidget *>("tableWidget_find_hits");
    QVERIFY(table);
    QCOMPARE(table->item(0, 0)->text(), myCombobox::shownName(linkOf(*sensor)));
    QCOMPARE(table->item(0, 0)->toolTip(), linkOf(*sensor));
    QHeaderView *header = table->horizontalHeader();
    for (int column = 0; column < table->columnCount(); ++column) {
        const int cells = static_cast<QAbstractItemView *>(table)->sizeHintForColumn(column);
        QVERIFY2(table->columnWidth(column) >= cells, qPrintable(QString::number(column)));
        QVERIFY2(table->columnWidth(column) >= header->sectionSizeHint(column), qPrintable(QString::number(column)));
    }
    QVERIFY2(header->length() <= table->viewport()->width(),
             qPrintable(QStringLiteral("%1 > %2").arg(header->length()).arg(table->viewport()->width())));

    dialog->findChild<QPushButton *>("pushButton_find_connect")->click();
    QVERIFY(probe().worker()->isPortOpen());
    // Connected: the dialog has done its work and closes; the port chooser
    // shows the port as its own list does.
    QTRY_VERIFY(!dialog->isVisible());
    myCombobox listed;
    listed.refreshPorts();
    const int entry = listed.findData(linkOf(*sensor));
    QVERIFY(entry >= 0);
    QCOMPARE(ui()->serialComboBox->currentText(), listed.itemText(entry));
    QCOMPARE(ui()->serialComboBox->currentData().toString(), linkOf(*sensor));
    QCOMPARE(ui()->serialComboBox->toolTip(), linkOf(*sensor));
    QCOMPARE(probe().baudRate(), 1000000);
    QCOMPARE(ui()->baudrateComboBox->currentText(), QString("1000000"));
    QVERIFY(status().startsWith(T("MainWindow", "连接成功 ")));
    QVERIFY(status().endsWith(linkOf(*sensor) + " 1000000"));
    QTRY_COMPARE_WITH_TIMEOUT(probe().currentDistance(), 23.45, 10000);
    // A new search covers the chooser's ports but leaves the connected one alone.
    const QStringList candidates = window->findChild<PortConnector *>()->candidatePorts();
    QVERIFY(!candidates.contains(linkOf(*sensor)));
    QVERIFY(candidates.contains(linkOf(quiet)));
    // The system's ports come first, as in the chooser (other tests'
    // simulators may come and go meanwhile).
    QStringList system = myCombobox::availablePortNames();
    system.erase(std::remove_if(system.begin(), system.end(), [](const QString &n) { return n.contains('/'); }),
                 system.end());
    QCOMPARE(candidates.mid(0, system.size()), system);
}

QTEST_MAIN(tst_window_link)
#include "tst_window_link.moc"
