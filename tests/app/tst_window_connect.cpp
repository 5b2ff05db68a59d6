// SPDX-License-Identifier: GPL-3.0-or-later
// The connection panel against a simulated sensor on a pseudo-terminal: the
// port chooser, connect and disconnect states, live data reaching the chart
// and the record file, the keyboard shortcuts of the main actions, and
// closing the window while connected.

#include "chart_markers.h"
#include "mainwindow.h"
#include "mycombobox.h"
#include "receiver.h"
#include "modalcatcher.h"
#include "simsensor.h"
#include "windowprobe.h"

#include <QAbstractButton>
#include <QScopeGuard>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QApplication>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

class tst_window_connect : public QObject
{
    Q_OBJECT

private:
    MainWindow *window = nullptr;
    sim::SimSensor *sensor = nullptr;
    Ui::MainWindow *ui() const { return WindowProbe(*window).ui(); }
    WindowProbe probe() const { return WindowProbe(*window); }

    // The port names the chooser offers (its entries show descriptions).
    static QStringList ports(const QComboBox *box)
    {
        QStringList list;
        for (int i = 0; i < box->count(); ++i)
            list << box->itemData(i).toString();
        return list;
    }
    static QStringList systemPorts()
    {
        QStringList names;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            names << info.portName();
        return names;
    }
    // Opens the port list and picks the simulator in it, as an operator would.
    void chooseSimulator()
    {
        ui()->serialComboBox->showPopup();
        const int index = ui()->serialComboBox->findData(QString::fromStdString(sensor->linkPath()));
        ui()->serialComboBox->hidePopup();
        QVERIFY(index >= 0);
        ui()->serialComboBox->setCurrentIndex(index);
    }
    void verifyConnectedPanel();
    void verifyDisconnectedPanel();

private slots:
    void init()
    {
        sensor = new sim::SimSensor;
        QVERIFY(sensor->start(100));
        sensor->setDistanceCm(1234);
        window = new MainWindow;
        window->show();
    }
    void cleanup()
    {
        delete window;
        window = nullptr;
        delete sensor;
        sensor = nullptr;
    }

    void chooserListsSystemPortsThenSimulators();
    void chooserListsOnlyPrivateSimulators_data();
    void chooserListsOnlyPrivateSimulators();
    void connectAndDisconnect();
    void connectChecksBaudRate_data();
    void connectChecksBaudRate();
    void reconnectStartsAfresh();
    void staleLineIsNotShownAsNew();
    void recordingKeepsEveryDistanceOfTheWindow();
    void shortcutsPressTheirButtons_data();
    void shortcutsPressTheirButtons();
    void closingTheWindowClosesThePort();
};

void tst_window_connect::verifyConnectedPanel()
{
    QCOMPARE(ui()->connectButton->text(), QString("断开"));
    QVERIFY(!ui()->serialComboBox->isEnabled());
    QVERIFY(!ui()->baudrateComboBox->isEnabled());
    QVERIFY(ui()->groupBox_ctrl->isEnabled());
    QVERIFY(ui()->groupBox_upgrade->isEnabled());
    QVERIFY(ui()->tabWidget_cmd->isEnabled());
    QVERIFY(!ui()->groupBox_langune->isEnabled());
    QVERIFY(probe().worker()->isPortOpen());
}

void tst_window_connect::verifyDisconnectedPanel()
{
    QCOMPARE(ui()->connectButton->text(), QString("连接"));
    QVERIFY(ui()->serialComboBox->isEnabled());
    QVERIFY(ui()->baudrateComboBox->isEnabled());
    QVERIFY(!ui()->groupBox_ctrl->isEnabled());
    QVERIFY(!ui()->groupBox_upgrade->isEnabled());
    QVERIFY(!ui()->tabWidget_cmd->isEnabled());
    QVERIFY(ui()->groupBox_langune->isEnabled());
    QVERIFY(!probe().worker()->isPortOpen());
}

// The baud rate is typed: only a whole number of at least 1 opens the port
// (a text that is no number read as 0, and the port was opened at 0 baud,
// which on a terminal means hang up). Otherwise the illegal-input box, and
// the port stays closed.
void tst_window_connect::connectChecksBaudRate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("opensAt");   // 0: refused
    QTest::addColumn<QString>("box");
    QTest::newRow("listed") << "460800" << 460800 << QString();
    QTest::newRow("typed") << "57600" << 57600 << QString();
    QTest::newRow("lowest") << "1" << 1 << QString();
    QTest::newRow("blanks around") << " 9600 " << 9600 << QString();
    QTest::newRow("letters") << "fast" << 0 << "警告：非法输入!";
    QTest::newRow("zero") << "0" << 0 << "警告：非法输入!";
    QTest::newRow("negative") << "-9600" << 0 << "警告：非法输入!";
    QTest::newRow("fraction") << "9600.5" << 0 << "警告：非法输入!";
    QTest::newRow("beyond 32 bits") << "99999999999" << 0 << "警告：非法输入!";
    QTest::newRow("empty") << "" << 0 << "警告：输入不能为空!";
}

void tst_window_connect::connectChecksBaudRate()
{
    QFETCH(QString, text);
    QFETCH(int, opensAt);
    QFETCH(QString, box);
    chooseSimulator();
    ui()->baudrateComboBox->setCurrentText(text);
    ui()->statusBar->showMessage("before", 0);
    ModalCatcher catcher;
    ui()->connectButton->click();
    QCOMPARE(catcher.texts, box.isEmpty() ? QStringList() : QStringList{box});
    if (opensAt == 0) {
        verifyDisconnectedPanel();
        QCOMPARE(ui()->statusBar->currentMessage(), QString("before"));
        return;
    }
    verifyConnectedPanel();
    qint32 rate = 0;
    receiver *worker = probe().worker();
    worker->runInWorkerThread([worker, &rate] { rate = worker->serialPort->baudRate(); });
    QCOMPARE(rate, qint32(opensAt));
    QCOMPARE(ui()->statusBar->currentMessage(),
             QStringLiteral("连接成功 %1 %2").arg(QString::fromStdString(sensor->linkPath())).arg(opensAt));
    ui()->connectButton->click();
}

void tst_window_connect::chooserListsSystemPortsThenSimulators()
{
    const QString link = QString::fromStdString(sensor->linkPath());
    QVERIFY(!link.isEmpty());
    ui()->serialComboBox->showPopup();
    const QStringList listed = ports(ui()->serialComboBox);
    ui()->serialComboBox->hidePopup();

    const QStringList system = systemPorts();
    QCOMPARE(listed.mid(0, system.size()), system);
    QVERIFY(listed.mid(system.size()).contains(link));
    // The first entry is chosen right away.
    QCOMPARE(probe().serialSelected(), listed.first());

    // A stopped simulator disappears from the list.
    sensor->stop();
    ui()->serialComboBox->showPopup();
    QVERIFY(!ports(ui()->serialComboBox).contains(link));
    ui()->serialComboBox->hidePopup();
}

// Everything the chooser lists from the simulators' folder is offered to the
// operator and opened as a sensor. So it reads only a folder that no one but
// the user can write, and of that only links of the user's own to a character
// device: names planted in a folder others may write (the shared temporary
// folder above all) or entries that are not a live simulator never show up.
void tst_window_connect::chooserListsOnlyPrivateSimulators_data()
{
    // where: how the folder is found - "named" ($ZN84_SIM_DIR), "runtime"
    //   ($XDG_RUNTIME_DIR/zn84-sim), "default" (<tmp>/zn84-sim-<uid>), "shared"
    //   (<tmp>/zn84-sim, the folder everyone may write); the entry is planted
    //   in the folder that the chooser would read, or in "shared".
    // folder: "private" (0700), "group" (0770), "world" (0777), "sticky"
    //   (1777, like /tmp), "symlink" (a link to a private folder), "foreign"
    //   (another user's, 0700).
    // entry: "live" (link to the simulator's pty), "dangling", "file" (a
    //   regular file), "to-file" / "to-dir" (links to a file / a folder),
    //   "foreign-link" (another user's link to the pty), "fifo".
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("listed");
    QTest::newRow("named private, live simulator") << "named" << "private" << "live" << true;
    QTest::newRow("runtime private, live simulator") << "runtime" << "private" << "live" << true;
    QTest::newRow("default private, live simulator") << "default" << "private" << "live" << true;
    QTest::newRow("shared temporary folder, planted link") << "shared" << "world" << "live" << false;
    QTest::newRow("shared sticky folder, planted link") << "shared" << "sticky" << "live" << false;
    QTest::newRow("named world-writable") << "named" << "world" << "live" << false;
    QTest::newRow("named group-writable") << "named" << "group" << "live" << false;
    QTest::newRow("named sticky") << "named" << "sticky" << "live" << false;
    QTest::newRow("default world-writable") << "default" << "world" << "live" << false;
    QTest::newRow("runtime group-writable") << "runtime" << "group" << "live" << false;
    QTest::newRow("named folder is a link") << "named" << "symlink" << "live" << false;
    QTest::newRow("named foreign folder") << "named" << "foreign" << "live" << false;
    QTest::newRow("default foreign folder") << "default" << "foreign" << "live" << false;
    QTest::newRow("private, dangling link") << "named" << "private" << "dangling" << false;
    QTest::newRow("private, regular file") << "named" << "private" << "file" << false;
    QTest::newRow("private, link to a file") << "named" << "private" << "to-file" << false;
    QTest::newRow("private, link to a folder") << "named" << "private" << "to-dir" << false;
    QTest::newRow("private, fifo") << "named" << "private" << "fifo" << false;
    QTest::newRow("private, another user's link") << "named" << "private" << "foreign-link" << false;
}

void tst_window_connect::chooserListsOnlyPrivateSimulators()
{
    QFETCH(QString, where);
    QFETCH(QString, folder);
    QFETCH(QString, entry);
    QFETCH(bool, listed);
    const bool needRoot = folder == QLatin1String("foreign") || entry == QLatin1String("foreign-link");
    if (needRoot && geteuid() != 0)
        QSKIP("giving a file to another user needs root");
    const uid_t otherUser = 65534; // nobody

    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    // The environment that names the folders, restored afterwards.
    const QStringList vars = {"ZN84_SIM_DIR", "XDG_RUNTIME_DIR", "TMPDIR"};
    QHash<QString, QByteArray> saved;
    for (const QString &v : vars)
        if (qEnvironmentVariableIsSet(v.toLatin1().constData()))
            saved.insert(v, qgetenv(v.toLatin1().constData()));
    auto restore = qScopeGuard([&] {
        for (const QString &v : vars) {
            if (saved.contains(v))
                qputenv(v.toLatin1().constData(), saved.value(v));
            else
                qunsetenv(v.toLatin1().constData());
        }
    });
    qunsetenv("ZN84_SIM_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    const QString tmp = scratch.path() + "/tmp";
    QVERIFY(QDir().mkpath(tmp));
    QVERIFY(QFile::setPermissions(tmp, QFileDevice::Permissions(0x7777)));
    qputenv("TMPDIR", QFile::encodeName(tmp));

    QString dir;
    if (where == QLatin1String("named")) {
        dir = scratch.path() + "/named";
        qputenv("ZN84_SIM_DIR", QFile::encodeName(dir));
    } else if (where == QLatin1String("runtime")) {
        const QString run = scratch.path() + "/run";
        QVERIFY(QDir().mkpath(run));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(run));
        dir = run + "/zn84-sim";
    } else if (where == QLatin1String("default")) {
        dir = tmp + "/zn84-sim-" + QString::number(geteuid());
    } else {
        dir = tmp + "/zn84-sim";
    }
    QCOMPARE(QDir::tempPath(), tmp);

    const QByteArray dirNative = QFile::encodeName(dir);
    if (folder == QLatin1String("symlink")) {
        const QString real = scratch.path() + "/real";
        QVERIFY(QDir().mkpath(real));
        QCOMPARE(chmod(QFile::encodeName(real).constData(), 0700), 0);
        QVERIFY(QFile::link(real, dir));
    } else {
        QVERIFY(QDir().mkpath(dir));
        const mode_t mode = folder == QLatin1String("group") ? 0770
                : folder == QLatin1String("world")           ? 0777
                : folder == QLatin1String("sticky")          ? 01777
                                                             : 0700;
        QCOMPARE(chmod(dirNative.constData(), mode), 0);
    }

    const QString name = dir + "/simulated-sensor-" + QString::number(getpid()) + "-planted";
    const QByteArray nameNative = QFile::encodeName(name);
    const QString device = QString::fromStdString(sensor->devicePath());
    if (entry == QLatin1String("live") || entry == QLatin1String("foreign-link")) {
        QVERIFY(QFile::link(device, name));
    } else if (entry == QLatin1String("dangling")) {
        QVERIFY(QFile::link(dir + "/no-such-device", name));
    } else if (entry == QLatin1String("file")) {
        QFile f(name);
        QVERIFY(f.open(QIODevice::WriteOnly));
    } else if (entry == QLatin1String("to-file")) {
        QFile f(scratch.path() + "/plain");
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(f.fileName(), name));
    } else if (entry == QLatin1String("to-dir")) {
        QVERIFY(QFile::link(scratch.path(), name));
    } else if (entry == QLatin1String("fifo")) {
        QCOMPARE(mkfifo(nameNative.constData(), 0600), 0);
    }
    if (entry == QLatin1String("foreign-link"))
        QCOMPARE(lchown(nameNative.constData(), otherUser, otherUser), 0);
    if (folder == QLatin1String("foreign"))
        QCOMPARE(chown(dirNative.constData(), otherUser, otherUser), 0);

    const QStringList names = myCombobox::availablePortNames();
    QCOMPARE(names.contains(name), listed);
    // The chooser itself offers the same names after the system's ports.
    ui()->serialComboBox->showPopup();
    const QStringList shown = ports(ui()->serialComboBox);
    ui()->serialComboBox->hidePopup();
    QCOMPARE(shown.contains(name), listed);
    QCOMPARE(shown.mid(0, systemPorts().size()), systemPorts());
}

void tst_window_connect::connectAndDisconnect()
{
    chooseSimulator();
    const QString port = probe().serialSelected();
    QCOMPARE(port, QString::fromStdString(sensor->linkPath()));
    probe().timeRange() = 30;
    ui()->connectButton->click();
    QCOMPARE(ui()->statusBar->currentMessage(), QString("连接成功 %1 115200").arg(port));
    verifyConnectedPanel();
    QCOMPARE(probe().axisX()->max(), 10.0);

    // Live distances reach the chart and the readouts.
    QTRY_VERIFY_WITH_TIMEOUT(probe().series()->count() > 20, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(ui()->distLabel->text(), QString("12.34"), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(ui()->freqLabel->text().toInt() > 0, 15000);
    QCOMPARE(probe().series()->at(0).y(), 12.34);
    QCOMPARE(probe().axisX()->max() - probe().axisX()->min(), 30.0);

    ui()->connectButton->click();
    QCOMPARE(ui()->statusBar->currentMessage(), QString("断开成功"));
    verifyDisconnectedPanel();
    // The chart stays as it was.
    QVERIFY(probe().series()->count() > 20);
}

// The sensor streamed before the port was opened: what waited in the line
// is neither drawn as readings of the first moment nor counted in the first
// second's rate.
void tst_window_connect::staleLineIsNotShownAsNew()
{
    sensor->setCountingDistance(100);
    sensor->setFrameLog(true);
    QTRY_VERIFY_WITH_TIMEOUT(sensor->bytesUnreadByHost() >= 150 * 9, 20000);
    const size_t waiting = sensor->frameLog().size();
    chooseSimulator();
    ui()->connectButton->click();
    verifyConnectedPanel();
    QTRY_VERIFY_WITH_TIMEOUT(probe().series()->count() > 0, 10000);
    const std::vector<uint16_t> sent = sensor->frameLog();
    const auto first = std::find(sent.begin(), sent.end(), uint16_t(std::lround(probe().series()->at(0).y() * 100)));
    QVERIFY(first != sent.end());
    QVERIFY2(size_t(first - sent.begin()) >= waiting,
             qPrintable(QString("first point: frame %1 of %2 waiting").arg(first - sent.begin()).arg(waiting)));
    QTRY_VERIFY_WITH_TIMEOUT(ui()->freqLabel->text().toInt() > 0, 10000);
    QVERIFY2(ui()->freqLabel->text().toInt() <= 110, qPrintable(ui()->freqLabel->text()));
}

void tst_window_connect::reconnectStartsAfresh()
{
    chooseSimulator();
    ui()->connectButton->click();
    verifyConnectedPanel();
    QTRY_VERIFY_WITH_TIMEOUT(probe().series()->count() > 20, 10000);
    ui()->connectButton->click();
    verifyDisconnectedPanel();

    sensor->setDistanceCm(250);
    ui()->connectButton->click();
    verifyConnectedPanel();
    QCOMPARE(ui()->distLabel->text(), QString("0"));
    QTRY_VERIFY_WITH_TIMEOUT(probe().series()->count() > 0, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(probe().series()->at(probe().series()->count() - 1).y(), 2.5, 15000);
    // The curve restarted at time 0 with the new connection.
    QVERIFY(probe().series()->at(0).x() < 1.0);
}

// Every batch that reaches the window while recording becomes lines of the
// file, also those of the first second, whose rate is still 0.
void tst_window_connect::recordingKeepsEveryDistanceOfTheWindow()
{
    QTemporaryDir scratch;
    const QString startDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(scratch.path()));

    int delivered = 0, deliveredAtRateZero = 0;
    bool counting = false;
    bool markSeen = false;
    const uint16_t mark = 5678;
    connect(probe().worker(), &receiver::signalDistance, this,
            [&](QVector<uint16_t> dist, int freq) {
                if (!counting)
                    return;
                delivered += dist.size();
                if (freq == 0)
                    deliveredAtRateZero += dist.size();
                markSeen = markSeen || dist.contains(mark);
            });

    // A fast line fills the first second, whose rate is still 0, with batches.
    sensor->setRate(1000);
    chooseSimulator();
    ui()->connectButton->click();
    verifyConnectedPanel();
    counting = true;
    ui()->saveButton->click();
    QVERIFY(probe().recording());
    const QString path = probe().recordFile().fileName();

    QTRY_VERIFY_WITH_TIMEOUT(probe().latestRate() > 0 && delivered > 250, 15000);
    // The recording stops once everything on the line has reached both the
    // window and this count: behind the stream the simulator writes one frame
    // of another distance (and two filler bytes, so that the parser takes
    // it), the worker hands every read on at once, and this count sees that
    // frame after the window (whose connection comes first).
    sensor->pauseStream(true);
    QVERIFY(sensor->settle());
    probe().worker()->setDistNum(0);
    sim::Bytes frame = {0x59, 0x59, uint8_t(mark & 0xFF), uint8_t(mark >> 8), 0, 0, 0, 0};
    unsigned sum = 0;
    for (uint8_t b : frame)
        sum += b;
    frame.push_back(uint8_t(sum & 0xFF));
    frame.push_back(0x00);
    frame.push_back(0x00);
    sensor->writeRaw(frame);
    QTRY_VERIFY_WITH_TIMEOUT(markSeen, 10000);
    ui()->saveButton->click();
    counting = false;
    ui()->connectButton->click();
    QDir::setCurrent(startDir);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size() - 1, delivered);
    QVERIFY(deliveredAtRateZero > 0);
    for (int i = 0; i + 2 < lines.size(); ++i)
        QCOMPARE(lines.at(i), QByteArray("12.34"));
    QCOMPARE(lines.at(lines.size() - 2), QByteArray("56.78"));
}

// Each main action has a shortcut, named in its button's tooltip; pressed,
// it does what the button does (twice: the toggles go back), and nothing
// while the button is disabled.
void tst_window_connect::shortcutsPressTheirButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("action");
    QTest::newRow("connect") << "connectButton" << QKeySequence("Ctrl+O") << "connect";
    QTest::newRow("pause") << "suspendButton" << QKeySequence("Ctrl+P") << "pause";
    QTest::newRow("clear") << "chartClearButton" << QKeySequence("Ctrl+L") << "clear";
    QTest::newRow("record") << "saveButton" << QKeySequence("Ctrl+R") << "record";
    QTest::newRow("back to live") << "liveViewButton" << QKeySequence("Ctrl+G") << "live";
    QTest::newRow("marker") << "markerButton" << QKeySequence("M") << "marker";
    QTest::newRow("pause before connecting") << "suspendButton" << QKeySequence("Ctrl+P") << "disabled";
    QTest::newRow("record before connecting") << "saveButton" << QKeySequence("Ctrl+R") << "disabled";
}

void tst_window_connect::shortcutsPressTheirButtons()
{
    QFETCH(QString, button);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, action);
    // A recording goes to Data/ under the working directory.
    QTemporaryDir scratch;
    const QString startDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(scratch.path()));
    const auto restoreDir = qScopeGuard([&] { QDir::setCurrent(startDir); });

    auto *pressed = window->findChild<QAbstractButton *>(button);
    QVERIFY(pressed);
    const QString named = QStringLiteral(" (%1)").arg(keys.toString(QKeySequence::NativeText));
    QVERIFY2(pressed->toolTip().endsWith(named), qPrintable(pressed->toolTip()));
    QVERIFY(pressed->toolTip().size() > named.size());

    chooseSimulator();
    if (action != "connect" && action != "disabled") {
        ui()->connectButton->click();
        verifyConnectedPanel();
        QTRY_VERIFY_WITH_TIMEOUT(probe().series()->count() > 20, 10000);
    }
    if (action == "live") {
        probe().zoomTo(0.2, 0.4);
        QVERIFY(probe().zoomed());
    }
    // A window shortcut answers in the active window only. The test programs
    // share one X server and no window manager keeps the focus: another
    // program's window may take it at any moment, so the window is made
    // Qt's active window right before each key (no waiting on the server).
    auto press = [this, &keys] {
        QApplication::setActiveWindow(window);
        QVERIFY(QApplication::activeWindow() == window);
        QTest::keySequence(window, keys);
    };

    press();
    if (action == "connect") {
        verifyConnectedPanel();
        press();
        verifyDisconnectedPanel();
    } else if (action == "pause") {
        QCOMPARE(ui()->suspendButton->text(), QString("恢复"));
        press();
        QCOMPARE(ui()->suspendButton->text(), QString("暂停"));
    } else if (action == "clear") {
        QCOMPARE(probe().series()->count(), 0);
    } else if (action == "record") {
        QVERIFY(probe().recording());
        QCOMPARE(ui()->saveButton->text(), QString("停止"));
        press();
        QVERIFY(!probe().recording());
    } else if (action == "live") {
        QVERIFY(!probe().zoomed());
    } else if (action == "marker") {
        auto *markers = window->findChild<ChartMarkers *>();
        QCOMPARE(markers->shown().size(), 1);
        QCOMPARE(markers->shown().first().label, QString("M1"));
        press();
        QCOMPARE(markers->shown().size(), 2);
        QCOMPARE(markers->shown().last().label, QString("M2"));
        // Typed into a field, M is a letter.
        ui()->timeRangeEdit->setFocus();
        QApplication::setActiveWindow(window);
        QTest::keyClick(ui()->timeRangeEdit, Qt::Key_M);
        QCOMPARE(markers->shown().size(), 2);
    } else {
        QVERIFY(!pressed->isEnabled());
        QCOMPARE(ui()->suspendButton->text(), QString("暂停"));
        QVERIFY(!probe().recording());
        QVERIFY(!QDir(scratch.filePath("Data")).exists());
    }
}

void tst_window_connect::closingTheWindowClosesThePort()
{
    chooseSimulator();
    ui()->connectButton->click();
    verifyConnectedPanel();
    QThread *thread = probe().workerThread();
    receiver *worker = probe().worker();
    QVERIFY(window->close());
    QVERIFY(!worker->isPortOpen());
    QVERIFY(thread->isFinished());
}

QTEST_MAIN(tst_window_connect)
#include "tst_window_connect.moc"
