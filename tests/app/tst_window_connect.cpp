// The connection panel against a simulated sensor on a pseudo-terminal: the
// port chooser, connect and disconnect states, live data reaching the chart
// and the record file, and closing the window while connected.

#include "mainwindow.h"
#include "mycombobox.h"
#include "receiver.h"
#include "simsensor.h"
#include "windowprobe.h"

#include <QSerialPortInfo>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class tst_window_connect : public QObject
{
    Q_OBJECT

private:
    MainWindow *window = nullptr;
    sim::SimSensor *sensor = nullptr;
    Ui::MainWindow *ui() const { return WindowProbe(*window).ui(); }
    WindowProbe probe() const { return WindowProbe(*window); }

    static QStringList items(const QComboBox *box)
    {
        QStringList list;
        for (int i = 0; i < box->count(); ++i)
            list << box->itemText(i);
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
        const int index = ui()->serialComboBox->findText(QString::fromStdString(sensor->linkPath()));
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
    void chooserSkipsDanglingLinks();
    void connectAndDisconnect();
    void reconnectStartsAfresh();
    void recordingKeepsEveryDistanceOfTheWindow();
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

void tst_window_connect::chooserListsSystemPortsThenSimulators()
{
    const QString link = QString::fromStdString(sensor->linkPath());
    QVERIFY(!link.isEmpty());
    ui()->serialComboBox->showPopup();
    const QStringList listed = items(ui()->serialComboBox);
    ui()->serialComboBox->hidePopup();

    const QStringList system = systemPorts();
    QCOMPARE(listed.mid(0, system.size()), system);
    QVERIFY(listed.mid(system.size()).contains(link));
    // The first entry is chosen right away.
    QCOMPARE(probe().serialSelected(), listed.first());

    // A stopped simulator disappears from the list.
    sensor->stop();
    ui()->serialComboBox->showPopup();
    QVERIFY(!items(ui()->serialComboBox).contains(link));
    ui()->serialComboBox->hidePopup();
}

void tst_window_connect::chooserSkipsDanglingLinks()
{
    const QString dir = QDir::tempPath() + "/zn84-sim";
    QVERIFY(QDir().mkpath(dir));
    const QString dangling = dir + "/test-dangling-" + QString::number(getpid());
    const QString live = dir + "/test-live-" + QString::number(getpid());
    QFile::remove(dangling);
    QFile::remove(live);
    QVERIFY(QFile::link(dir + "/no-such-device-" + QString::number(getpid()), dangling));
    QVERIFY(QFile::link(QString::fromStdString(sensor->devicePath()), live));
    const QStringList names = myCombobox::availablePortNames();
    QFile::remove(dangling);
    QFile::remove(live);
    QVERIFY(!names.contains(dangling));
    QVERIFY(names.contains(live));
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
    QTRY_COMPARE_WITH_TIMEOUT(ui()->distLabel->text(), QString("12.34"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(ui()->freqLabel->text().toInt() > 0, 5000);
    QCOMPARE(probe().series()->at(0).y(), 12.34);
    QCOMPARE(probe().axisX()->max() - probe().axisX()->min(), 30.0);

    ui()->connectButton->click();
    QCOMPARE(ui()->statusBar->currentMessage(), QString("断开成功"));
    verifyDisconnectedPanel();
    // The chart stays as it was.
    QVERIFY(probe().series()->count() > 20);
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
    QTRY_COMPARE_WITH_TIMEOUT(probe().series()->at(probe().series()->count() - 1).y(), 2.5, 5000);
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
    connect(probe().worker(), &receiver::signalDistance, this,
            [&](QVector<uint16_t> dist, int freq) {
                if (!counting)
                    return;
                delivered += dist.size();
                if (freq == 0)
                    deliveredAtRateZero += dist.size();
            });

    chooseSimulator();
    ui()->connectButton->click();
    verifyConnectedPanel();
    counting = true;
    ui()->saveButton->click();
    QVERIFY(probe().recording());
    const QString path = probe().recordFile().fileName();

    QTRY_VERIFY_WITH_TIMEOUT(probe().latestRate() > 0 && delivered > 250, 15000);
    ui()->saveButton->click();
    counting = false;
    ui()->connectButton->click();
    QDir::setCurrent(startDir);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size() - 1, delivered);
    QVERIFY(deliveredAtRateZero > 0);
    for (int i = 0; i + 1 < lines.size(); ++i)
        QCOMPARE(lines.at(i), QByteArray("12.34"));
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
