// SPDX-License-Identifier: GPL-3.0-or-later
// The window and the plant's broker: a Mosquitto broker of the test's own on
// a free port. The remote view shows in the window exactly the samples that
// were published, in order, each once, with the gaps counted; the publishing
// dialog starts a publisher whose messages a subscriber of the test receives
// from the simulated sensor the window is connected to.

#include "batch_stream.h"
#include "mainwindow.h"
#include "mqtt_broker.h"
#include "mqtt_publisher.h"
#include "mqtt_viewer.h"
#include "remote_panel.h"
#include "simsensor.h"
#include "windowprobe.h"

#include <QAction>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace mqtttest;

namespace {

// What the window's batch stream took, in order: the chart model and the
// recorder take from it.
struct Taken
{
    QObject alive;   // the connection goes with the record
    QVector<uint16_t> cm;
    QVector<int> rates;
};

} // namespace

class tst_window_remote : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> scratch;
    std::unique_ptr<Broker> broker;
    MainWindow *window = nullptr;
    Ui::MainWindow *ui() const { return WindowProbe(*window).ui(); }
    RemotePanel *panel() const { return window->findChild<RemotePanel *>(); }
    QString brokerUrl() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(broker->port); }

    // Opens the panel's dialog through `action` and fills it as the operator
    // would; the caller presses OK.
    RemoteDialog *fillDialog(QAction *action, const QString &url, const QString &prefix,
                             const QString &user = QString(), const QString &passwordFile = QString(),
                             const QString &ca = QString())
    {
        action->trigger();
        RemoteDialog *d = panel()->dialog();
        if (!d || !d->isVisible())
            return nullptr;
        d->findChild<QLineEdit *>(QStringLiteral("brokerEdit"))->setText(url);
        d->findChild<QLineEdit *>(QStringLiteral("topicEdit"))->setText(prefix);
        d->findChild<QLineEdit *>(QStringLiteral("usernameEdit"))->setText(user);
        d->findChild<QLineEdit *>(QStringLiteral("passwordFileEdit"))->setText(passwordFile);
        d->findChild<QLineEdit *>(QStringLiteral("caFileEdit"))->setText(ca);
        d->findChild<QComboBox *>(QStringLiteral("qosBox"))->setCurrentIndex(1);
        return d;
    }
    void watchStream(Taken &taken)
    {
        auto *stream = window->findChild<BatchStream *>(QStringLiteral("batchStream"));
        QVERIFY(stream);
        connect(stream, &BatchStream::batch, &taken.alive, [&taken](const MeasurementBatch &b) {
            taken.cm += b.cm;
            taken.rates << int(b.rate);
        });
    }
    // Starts the remote view of `prefix` through the dialog and waits until
    // its subscriptions stand (a retained status put there first arrives).
    void startRemoteView(const QString &prefix, Subscriber &client)
    {
        client.publishRetained(prefix + QStringLiteral("/status"), "offline");
        RemoteDialog *d = fillDialog(panel()->viewAction(), brokerUrl(), prefix);
        QVERIFY(d);
        d->accept();
        QVERIFY(panel()->isViewing());
        QTRY_COMPARE_WITH_TIMEOUT(panel()->viewer()->remoteStatus(), QString("offline"), kLong);
        QVERIFY(panel()->viewer()->isConnected());
    }

private slots:
    void init()
    {
        scratch.reset(new QTemporaryDir);
        QVERIFY(scratch->isValid());
        broker.reset(new Broker(scratch->path()));
        QVERIFY(broker->start());
        window = new MainWindow;
        window->show();
        QVERIFY(panel());
    }
    void cleanup()
    {
        delete window;
        window = nullptr;
        broker.reset();
        scratch.reset();
    }

    void remoteViewShowsWhatWasPublished();
    void remoteViewCountsGaps_data();
    void remoteViewCountsGaps();
    void publishingDialogStartsPublisher();
    void publishingDialogRefusesBadSettings_data();
    void publishingDialogRefusesBadSettings();
};

// The gateway's publisher on a stream of counting distances: the window's
// stream takes every sample once and in order, read-only, said "remote".
void tst_window_remote::remoteViewShowsWhatWasPublished()
{
    Subscriber client(QStringLiteral("remote/a"));
    QVERIFY(client.connect(broker->port, "test-watch"));
    Taken taken;
    watchStream(taken);
    startRemoteView(QStringLiteral("remote/a"), client);

    // Read-only: nothing reaches for a sensor that is not here.
    QVERIFY(!ui()->connectButton->isEnabled());
    QVERIFY(!ui()->tabWidget_cmd->isEnabled());
    QVERIFY(!ui()->groupBox_ctrl->isEnabled());
    QVERIFY(ui()->statusBar->currentMessage().contains(QStringLiteral("远程")));
    QVERIFY(panel()->stateText().startsWith(QStringLiteral("远程")));

    plant::PublisherOptions o;
    o.host = QStringLiteral("127.0.0.1");
    o.port = broker->port;
    o.prefix = QStringLiteral("remote/a");
    o.batchMs = 20;
    BatchStream source;
    plant::MqttPublisher publisher(o);
    connect(&source, &BatchStream::batch, &publisher, &plant::MqttPublisher::take);
    publisher.start();
    QTRY_VERIFY_WITH_TIMEOUT(publisher.isConnected(), kLong);

    // 3,000 samples at 1,000 frames a second in batches of 10, counting up.
    QVector<uint16_t> sent;
    qint64 now = 0;
    for (int b = 0; b < 300; ++b) {
        QVector<uint16_t> cm;
        for (int i = 0; i < 10; ++i)
            cm << uint16_t(100 + sent.size() + i);
        sent += cm;
        now += 10000;
        source.takeAt(cm, 1000, now);
    }
    QTRY_VERIFY_WITH_TIMEOUT(taken.cm.size() >= sent.size(), kLong);
    QCOMPARE(taken.cm, sent);
    QCOMPARE(panel()->viewer()->missed(), quint64(0));
    QVERIFY(std::all_of(taken.rates.cbegin(), taken.rates.cend(), [](int r) { return r == 1000; }));
    // The chart drew them (it keeps a few points per pixel column: its
    // newest is one of the last samples).
    QVERIFY(window->chartModel().newestDistance() >= sent.at(sent.size() - 20) / 100.0);
    QVERIFY(window->chartModel().newestDistance() <= sent.last() / 100.0);
    QTRY_COMPARE_WITH_TIMEOUT(panel()->viewer()->remoteStatus(), QString("online"), kLong);

    // Stopping gives the commands back as they were (no sensor: off), and the
    // connect button back.
    panel()->viewAction()->trigger();
    QVERIFY(!panel()->isViewing());
    QVERIFY(ui()->connectButton->isEnabled());
    QVERIFY(!ui()->tabWidget_cmd->isEnabled());
    publisher.stop(5000);
}

// Messages as a gateway may deliver them: a gap is counted and the chart's
// time moves over it; a repeated run (QoS 1 is at least once) shows only the
// samples not shown yet; a message that is no distance message is skipped.
void tst_window_remote::remoteViewCountsGaps_data()
{
    QTest::addColumn<QStringList>("messages");   // "seq:count" or raw text
    QTest::addColumn<int>("shown");              // samples the window took
    QTest::addColumn<int>("missed");
    QTest::newRow("continuous") << QStringList{"0:10", "10:10", "20:5"} << 25 << 0;
    QTest::newRow("gap of 5") << QStringList{"0:10", "15:10"} << 20 << 5;
    QTest::newRow("first message late") << QStringList{"40:10", "50:10"} << 20 << 0;
    QTest::newRow("repeated run") << QStringList{"0:10", "5:10", "0:10", "15:5"} << 20 << 0;
    QTest::newRow("not a distance message") << QStringList{"0:10", "{\"seq\":", "10:10"} << 20 << 0;
    QTest::newRow("gaps and repeats") << QStringList{"0:10", "12:3", "10:10", "30:1"} << 19 << 12;
}

void tst_window_remote::remoteViewCountsGaps()
{
    QFETCH(QStringList, messages);
    QFETCH(int, shown);
    QFETCH(int, missed);
    const QString prefix = QStringLiteral("remote/b");
    Subscriber client(prefix);
    QVERIFY(client.connect(broker->port, "test-gateway"));
    Taken taken;
    watchStream(taken);
    startRemoteView(prefix, client);

    // Each sample's distance is 1000 + its seq: the expected run follows.
    QVector<uint16_t> expected;
    qint64 next = -1;
    for (const QString &m : messages) {
        const QStringList parts = m.split(QLatin1Char(':'));
        bool ok = false;
        const int seq = parts.value(0).toInt(&ok);
        if (!ok || parts.size() != 2) {
            client.publish(prefix + QStringLiteral("/distance"), m.toUtf8());
            continue;
        }
        const int count = parts.at(1).toInt();
        QVector<uint16_t> cm;
        for (int i = 0; i < count; ++i)
            cm << uint16_t(1000 + seq + i);
        client.publish(prefix + QStringLiteral("/distance"),
                       plant::distanceJson(quint64(seq), 1700000000000000LL, 100.0, cm.constData(), cm.size()));
        for (int i = 0; i < count; ++i) {
            if (seq + i > next) {
                expected << cm.at(i);
                next = seq + i;
            }
        }
    }
    QCOMPARE(expected.size(), shown);
    QTRY_COMPARE_WITH_TIMEOUT(taken.cm.size(), shown, kLong);
    // A last message marks the end: nothing more came before it.
    client.publish(prefix + QStringLiteral("/distance"),
                   plant::distanceJson(quint64(next + 1), 0, 100.0, expected.constData(), 1));
    QTRY_COMPARE_WITH_TIMEOUT(taken.cm.size(), shown + 1, kLong);
    taken.cm.removeLast();
    QCOMPARE(taken.cm, expected);
    QCOMPARE(panel()->viewer()->missed(), quint64(missed));
    QVERIFY(panel()->stateText().contains(QString::number(missed)));
}

// The dialog's settings start a publisher on the window's stream: the
// connected simulator's distances reach a subscriber, numbered from 0; the
// settings are remembered, the password only as its file's path.
void tst_window_remote::publishingDialogStartsPublisher()
{
    sim::SimSensor sensor;
    QVERIFY(sensor.start(100));
    sensor.setDistanceCm(1234);
    QVERIFY(WindowProbe(*window).connectTo(QString::fromStdString(sensor.linkPath())));

    const QString prefix = QStringLiteral("desk/sensor");
    Subscriber client(prefix);
    QVERIFY(client.connect(broker->port, "test-subscriber"));

    QFile password(scratch->filePath(QStringLiteral("password")));
    QVERIFY(password.open(QIODevice::WriteOnly));
    password.write("not-in-the-settings\n");
    password.close();
    RemoteDialog *d = fillDialog(panel()->publishAction(), brokerUrl(), prefix, QStringLiteral("operator"),
                                 password.fileName());
    QVERIFY(d);
    d->accept();
    QVERIFY(panel()->publisher());
    QVERIFY(panel()->publishAction()->isChecked());
    QCOMPARE(panel()->publisher()->options().password, QString("not-in-the-settings"));

    QTRY_VERIFY_WITH_TIMEOUT(client.on(QStringLiteral("distance")).size() >= 5, kLong);
    QTRY_COMPARE_WITH_TIMEOUT(client.lastStatus(), QByteArray("online"), kLong);
    // Numbered from the window's stream (since the connect): the first
    // message starts at the samples taken before publishing began, and the
    // numbers run on without a gap.
    const QList<QByteArray> distances = client.on(QStringLiteral("distance"));
    quint64 next = quint64(QJsonDocument::fromJson(distances.first()).object().value(QStringLiteral("seq")).toDouble());
    QVERIFY(next <= window->findChild<BatchStream *>(QStringLiteral("batchStream"))->samples());
    for (const QByteArray &p : distances) {
        const QJsonObject o = QJsonDocument::fromJson(p).object();
        QCOMPARE(quint64(o.value(QStringLiteral("seq")).toDouble()), next);
        const QJsonArray m = o.value(QStringLiteral("m")).toArray();
        QVERIFY(!m.isEmpty());
        for (const QJsonValue &v : m)
            QCOMPARE(v.toDouble(), 12.34);
        next += quint64(m.size());
    }
    QTRY_VERIFY_WITH_TIMEOUT(panel()->stateText().contains(QStringLiteral("已连接")), kLong);

    // The judge's limits put the sensor's 12.34 m below them: the change of
    // state goes out on PREFIX/state, retained.
    QVERIFY(client.on(QStringLiteral("state")).isEmpty());
    window->findChild<QLineEdit *>(QStringLiteral("lineEdit_judge_lower"))->setText(QStringLiteral("13"));
    window->findChild<QLineEdit *>(QStringLiteral("lineEdit_judge_upper"))->setText(QStringLiteral("14"));
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("pushButton_judge_apply")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!client.on(QStringLiteral("state")).isEmpty(), kLong);
    const QJsonObject state = QJsonDocument::fromJson(client.on(QStringLiteral("state")).last()).object();
    QCOMPARE(state.value(QStringLiteral("state")).toString(), QStringLiteral("below"));
    QVERIFY(state.value(QStringLiteral("t")).toDouble() > 1.7e9);

    // Stopping says "offline" on the broker.
    panel()->publishAction()->trigger();
    QVERIFY(!panel()->publisher());
    QTRY_COMPARE_WITH_TIMEOUT(client.lastStatus(), QByteArray("offline"), kLong);

    QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ZN84"), QStringLiteral("zn84-viewer"));
    QCOMPARE(s.value(QStringLiteral("broker/url")).toString(), brokerUrl());
    QCOMPARE(s.value(QStringLiteral("broker/topic")).toString(), prefix);
    QCOMPARE(s.value(QStringLiteral("broker/passwordFile")).toString(), password.fileName());
    QFile file(s.fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.readAll().contains("not-in-the-settings"));

    // The next dialog offers what was used.
    panel()->publishAction()->trigger();
    QVERIFY(panel()->dialog());
    QCOMPARE(panel()->dialog()->findChild<QLineEdit *>(QStringLiteral("topicEdit"))->text(), prefix);
    panel()->dialog()->reject();
    WindowProbe(*window).disconnectAndStop();
}

// Bad settings keep the dialog open with the reason and start nothing.
void tst_window_remote::publishingDialogRefusesBadSettings_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("passwordFile");
    QTest::addColumn<QString>("ca");
    QTest::newRow("no scheme") << "127.0.0.1:1883" << "a/b" << "" << "" << "";
    QTest::newRow("wildcard prefix") << "mqtt://127.0.0.1" << "a/#" << "" << "" << "";
    QTest::newRow("empty prefix") << "mqtt://127.0.0.1" << "" << "" << "" << "";
    QTest::newRow("password file, no user") << "mqtt://127.0.0.1" << "a/b" << "" << "/etc/hostname" << "";
    QTest::newRow("missing password file") << "mqtt://127.0.0.1" << "a/b" << "u" << "/nonexistent/pw" << "";
    QTest::newRow("CA without TLS") << "mqtt://127.0.0.1" << "a/b" << "" << "" << "/etc/hostname";
    QTest::newRow("missing CA") << "mqtts://127.0.0.1" << "a/b" << "" << "" << "/nonexistent/ca.pem";
}

void tst_window_remote::publishingDialogRefusesBadSettings()
{
    QFETCH(QString, url);
    QFETCH(QString, prefix);
    QFETCH(QString, user);
    QFETCH(QString, passwordFile);
    QFETCH(QString, ca);
    for (QAction *action : {panel()->publishAction(), panel()->viewAction()}) {
        RemoteDialog *d = fillDialog(action, url, prefix, user, passwordFile, ca);
        QVERIFY(d);
        d->accept();
        QVERIFY(d->isVisible());
        QVERIFY(!d->findChild<QLabel *>(QStringLiteral("remoteError"))->text().isEmpty());
        QCOMPARE(d->findChild<QLineEdit *>(QStringLiteral("brokerEdit"))->text(), url);
        QVERIFY(!panel()->publisher());
        QVERIFY(!panel()->isViewing());
        d->reject();
    }
}

QTEST_MAIN(tst_window_remote)
#include "tst_window_remote.moc"
