// SPDX-License-Identifier: GPL-3.0-or-later
// The Modbus operations and the two ordinary-frame operations that switch the
// sensor's Modbus on and set its address, run by a worker in its own thread
// against the simulated sensor on a pseudo-terminal.

#include "log_capture.h"
#include "modbus_frame.h"
#include "quick_bounds.h"
#include "simsensor.h"
#include "testutil.h"
#include "workerharness.h"
#include "worker_probe.h"

#include <QSerialPort>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

using Call = std::function<bool(receiver *)>;
using Check = std::function<bool(const sim::SimSensor &)>;

} // namespace

Q_DECLARE_METATYPE(Call)
Q_DECLARE_METATYPE(Check)
Q_DECLARE_METATYPE(sim::AnswerMode)

class tst_modbus_exchange : public QObject
{
    Q_OBJECT

private:
    sim::SimSensor *sensor = nullptr;
    WorkerHarness *harness = nullptr;
    LogCapture *log = nullptr;

    receiver *worker() const { return harness->worker(); }
    QByteArray received() const { return toBytes(sensor->received()); }

    // An exchange that gets no usable answer may give up before the sensor
    // has read its last request: wait for the bytes, then compare them all.
    bool sensorGot(const QByteArray &expected)
    {
        return QTest::qWaitFor([&] { return received() == expected; }, 5000);
    }

private slots:
    void init()
    {
        log = new LogCapture;
        LogCapture::clear();
        sensor = new sim::SimSensor;
        QVERIFY(sensor->start(100));
        const uint8_t version[4] = { 1, 2, 3, 4 };
        sensor->setModbusRegisters(291, version);
        harness = new WorkerHarness;
        worker()->setDistNum(1);   // the first batch comes at once
        QVERIFY(worker()->openPort(QString::fromStdString(sensor->devicePath()), 115200));
        QVERIFY(QTest::qWaitFor([&] { return !harness->collector()->batches.isEmpty(); }, 10000));
        // Switch Modbus on through the worker; the stream then pauses, and
        // the frames still on the way reach the parser.
        QVERIFY(worker()->send_cmd_id_modbus_enable());
        QVERIFY(sensor->modbusEnabled());
        QVERIFY(QTest::qWaitFor([&] { return sensor->bytesTowardsHost() == 0; }, 10000));
        harness->inWorker([] {});
        sensor->clearReceived();
        LogCapture::clear();
    }

    void cleanup()
    {
        delete harness;
        harness = nullptr;
        sensor->stop();
        delete sensor;
        sensor = nullptr;
        delete log;
        log = nullptr;
    }

    void enableFrame()
    {
        // On a quiet line: frames of a live stream already on their way could
        // fill the first attempt's two reads, and the frame must go out once.
        sensor->pauseStream(true);
        sensor->setModbusEnabled(false);
        QVERIFY(QTest::qWaitFor([&] { return sensor->bytesTowardsHost() == 0; }, 10000));
        harness->inWorker([] {});
        sensor->clearReceived();
        QVERIFY(worker()->send_cmd_id_modbus_enable());
        QCOMPARE(received(), hexBytes("5A 05 6F 00 CE"));
        QVERIFY(sensor->modbusEnabled());
        QVERIFY(LogCapture::contains(QStringLiteral("receiver::slot_do_cmd_id_modbus_enable 5a056f00ce")));
        QVERIFY(parserAttached(*harness));
    }

    void addressByOrdinaryFrame()
    {
        QVERIFY(worker()->send_cmd_id_modbus_dev_addr_set(2));
        QCOMPARE(received(), hexBytes("5A 05 70 02 D1"));
        QCOMPARE(int(sensor->modbusAddress()), 2);
        QVERIFY(LogCapture::contains(QStringLiteral("ack 5a057000cf")));
        QVERIFY(parserAttached(*harness));
    }

    void writes_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<QString>("frames");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<Check>("effect");

        const Check none([](const sim::SimSensor &) { return true; });
        QTest::newRow("reboot") << Call([](receiver *w) { return w->send_cmd_id_modbus_reboot(1); })
                                << "01 06 00 81 00 01 18 22" << "receiver::send_cmd_id_modbus_reboot" << none;
        QTest::newRow("shut down") << Call([](receiver *w) { return w->send_cmd_id_modbus_shutdown(1); })
                                   << "01 06 00 81 00 00 D9 E2" << "receiver::send_cmd_id_modbus_shutdown" << none;
        QTest::newRow("frame rate 100")
            << Call([](receiver *w) { return w->send_cmd_id_modbus_set_fps(1, 100); })
            << "01 06 00 86 00 64 69 C8" << "receiver::send_cmd_id_modbus_set_fps"
            << Check([](const sim::SimSensor &s) { return s.rate() == 100; });
        QTest::newRow("frame rate 10000")
            << Call([](receiver *w) { return w->send_cmd_id_modbus_set_fps(1, 10000); })
            << "01 06 00 86 27 10 72 1F" << "receiver::send_cmd_id_modbus_set_fps"
            << Check([](const sim::SimSensor &s) { return s.rate() == 10000; });
        QTest::newRow("save configuration")
            << Call([](receiver *w) { return w->send_cmd_id_mb_save_config(1); })
            << "01 06 00 80 00 00 88 22" << "receiver::slot_do_cmd_id_mb_save_config" << none;
        QTest::newRow("modbus off")
            << Call([](receiver *w) { return w->send_cmd_id_mb_modbus_disable(1); })
            << "01 06 00 82 00 01 E8 22" << "receiver::slot_do_cmd_id_mb_modbus_disable"
            << Check([](const sim::SimSensor &s) { return !s.modbusEnabled(); });
        QTest::newRow("new address 2")
            << Call([](receiver *w) { return w->send_cmd_id_mb_dev_addr_config(1, 2); })
            << "01 06 00 85 00 02 19 E2" << "receiver::slot_do_cmd_id_mb_dev_addr_config"
            << Check([](const sim::SimSensor &s) { return s.modbusAddress() == 2; });
        QTest::newRow("baud 115200")
            << Call([](receiver *w) { return w->send_cmd_id_mb_baudrate_config(1, 115200); })
            << "01 06 00 83 00 01 B9 E2 01 06 00 84 C2 00 98 83" << "receiver::slot_do_cmd_id_mb_baudrate_config"
            << Check([](const sim::SimSensor &s) { return s.baudRate() == 115200; });
        QTest::newRow("baud 9600")
            << Call([](receiver *w) { return w->send_cmd_id_mb_baudrate_config(1, 9600); })
            << "01 06 00 83 00 00 78 22 01 06 00 84 25 80 D2 D3" << "receiver::slot_do_cmd_id_mb_baudrate_config"
            << Check([](const sim::SimSensor &s) { return s.baudRate() == 9600; });
    }

    void writes()
    {
        QFETCH(Call, call);
        QFETCH(QString, frames);
        QFETCH(QString, tag);
        QFETCH(Check, effect);
        QVERIFY(call(worker()));
        QCOMPARE(received().toHex(' '), hexBytes(frames).toHex(' '));
        QVERIFY(effect(*sensor));
        QVERIFY(LogCapture::contains(tag + QLatin1Char(' ')));
        QVERIFY(parserAttached(*harness));
    }

    void otherAddress()
    {
        sensor->setModbusAddress(2);
        QVERIFY(worker()->send_cmd_id_modbus_reboot(2));
        QCOMPARE(received(), hexBytes("02 06 00 81 00 01 18 11"));
    }

    void readDistance()
    {
        unsigned short dist = 0;
        QVERIFY(worker()->send_cmd_id_mb_get_dist(1, dist));
        QCOMPARE(dist, (unsigned short)291);
        QCOMPARE(received(), hexBytes("01 03 00 00 00 01 84 0A"));
        QVERIFY(LogCapture::contains(QStringLiteral("dist:")));
        QVERIFY(parserAttached(*harness));
    }

    void readVersion()
    {
        QString version;
        QVERIFY(worker()->send_cmd_id_modbus_get_version(1, version));
        QCOMPARE(version, QStringLiteral("2.3.4"));
        QCOMPARE(received(), hexBytes("01 03 00 06 00 02 24 0A"));
        QVERIFY(parserAttached(*harness));
    }

    void plainMethodFromWorkerThread()
    {
        // Called in the worker's own thread the exchange runs directly
        // instead of waiting for itself.
        bool ok = false;
        QString version;
        receiver *w = worker();
        harness->inWorker([&] { ok = w->send_cmd_id_modbus_get_version(1, version); });
        QVERIFY(ok);
        QCOMPARE(version, QStringLiteral("2.3.4"));
    }

    void plainMethodWithoutRunningThread()
    {
        // A worker whose thread does not run cannot take the call: false,
        // and the caller is not left waiting.
        receiver idle;
        QThread never;
        idle.moveToThread(&never);
        QString version;
        QVERIFY(!idle.send_cmd_id_modbus_get_version(1, version));
        QVERIFY(!idle.send_cmd_id_modbus_reboot(1));
        QVERIFY(version.isEmpty());
        delete idle.serialPort;
        delete idle.freqTimer;
        idle.serialPort = nullptr;
        idle.freqTimer = nullptr;
    }

    // Both reads (distance and version) against replies as the sensor bends
    // them. A well-formed reply with a correct CRC from another slave
    // address answers some other request: taking it would show another
    // device's value.
    void readReplies_data()
    {
        QTest::addColumn<sim::AnswerMode>("mode");
        QTest::addColumn<int>("address");     // of the sensor, asked at it
        QTest::addColumn<int>("replyFrom");   // the replies' address; -1 its own
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("requests");
        const QString at1 = QStringLiteral("01 03 00 00 00 01 84 0A 01 03 00 06 00 02 24 0A");
        QTest::newRow("after measurement frames") << sim::AnswerMode::Surrounded << 1 << -1 << true << at1;
        QTest::newRow("split over two reads") << sim::AnswerMode::Split << 1 << -1 << true << at1;
        QTest::newRow("sensor at address 7") << sim::AnswerMode::Normal << 7 << -1 << true
                                             << "07 03 00 00 00 01 84 6C 07 03 00 06 00 02 24 6C";
        QTest::newRow("reply from another slave") << sim::AnswerMode::Normal << 1 << 2 << false << at1;
        QTest::newRow("reply from another slave, after measurement frames")
            << sim::AnswerMode::Surrounded << 1 << 0x7F << false << at1;
    }

    void readReplies()
    {
        QFETCH(sim::AnswerMode, mode);
        QFETCH(int, address);
        QFETCH(int, replyFrom);
        QFETCH(bool, ok);
        QFETCH(QString, requests);
        sensor->setModbusAddress(uint8_t(address));
        sensor->setModbusReplyAddress(replyFrom);
        sensor->setAnswerMode(mode);
        if (!ok) {
            // Nothing usable comes, so the reads wait out their bounds; short
            // ones, yet long enough that a loaded machine still delivers the
            // wrong reply inside them (a viewer that took it would show up).
            ProtocolTiming timing;
            timing.replyWaitMs = 200;
            worker()->setProtocolTiming(timing);
        }
        unsigned short dist = 4444;
        QCOMPARE(worker()->send_cmd_id_mb_get_dist(uint8_t(address), dist), ok);
        QCOMPARE(dist, ok ? (unsigned short)291 : (unsigned short)4444);   // untouched on failure
        QString version = QStringLiteral("untouched");
        QCOMPARE(worker()->send_cmd_id_modbus_get_version(uint8_t(address), version), ok);
        QCOMPARE(version, ok ? QStringLiteral("2.3.4") : QStringLiteral("untouched"));
        // Reads are never re-sent.
        QVERIFY2(sensorGot(hexBytes(requests)), received().toHex(' ').constData());
        QVERIFY(parserAttached(*harness));
    }

    void badCrcFailsAtOnce()
    {
        sensor->setModbusBadCrc(true);
        unsigned short dist = 77;
        QVERIFY(!worker()->send_cmd_id_mb_get_dist(1, dist));
        QCOMPARE(dist, (unsigned short)77);
        QCOMPARE(received(), hexBytes("01 03 00 00 00 01 84 0A"));
        const QByteArray body = hexBytes("01 03 02 01 23");
        const uint16_t calc = modbusframe::crc16(reinterpret_cast<const uint8_t *>(body.constData()), 5);
        const uint16_t sent = calc ^ 0x5A5A;   // how the simulator spoils it
        QVERIFY(LogCapture::contains(QStringLiteral("error: crc error! calc: %1 , ack: %2").arg(calc).arg(sent)));
        // Failing at once means after one examined read, not after three waits.
        QCOMPARE(LogCapture::count(QStringLiteral("receiver::")), 1);
        QVERIFY(parserAttached(*harness));
    }

    void writeEchoOffByOneByte()
    {
        worker()->setProtocolTiming(quick::bounds());   // no good answer comes
        sensor->setStreamInModbus(true);   // and the stream runs around the wrong one
        sensor->setAnswerMode(sim::AnswerMode::WrongByte);
        QVERIFY(!worker()->send_cmd_id_mb_save_config(1));
        QVERIFY2(sensorGot(hexBytes("01 06 00 80 00 00 88 22").repeated(2)), received().toHex(' ').constData());
        QVERIFY(parserAttached(*harness));
    }

    void ordinaryFrameTriesFiveTimes()
    {
        worker()->setProtocolTiming(quick::bounds());   // no answer comes
        sensor->setStreamInModbus(true);   // only the stream
        sensor->setAnswerMode(sim::AnswerMode::Silent);
        QVERIFY(!worker()->send_cmd_id_modbus_enable());
        QVERIFY2(sensorGot(hexBytes("5A 05 6F 00 CE").repeated(5)), received().toHex(' ').constData());
        sensor->clearReceived();
        QVERIFY(!worker()->send_cmd_id_modbus_dev_addr_set(3));
        QVERIFY2(sensorGot(hexBytes("5A 05 70 03 D2").repeated(5)), received().toHex(' ').constData());
        QVERIFY(parserAttached(*harness));
    }

    void closedPort()
    {
        QVERIFY(worker()->closePort());
        sensor->clearReceived();
        unsigned short dist = 5;
        QVERIFY(!worker()->send_cmd_id_mb_get_dist(1, dist));
        QVERIFY(!worker()->send_cmd_id_modbus_reboot(1));
        QVERIFY(!worker()->send_cmd_id_mb_baudrate_config(1, 9600));
        QCOMPARE(dist, (unsigned short)5);
        QVERIFY(received().isEmpty());
    }

    // Answers that never come or never complete (short bounds: the
    // protocol's own are honoured end to end in tst_command_exchange).
    void noAnswer()
    {
        worker()->setProtocolTiming(quick::bounds());
        // A reply that never completes: only its first half arrives.
        sensor->setSplitPauseMs(30000);
        sensor->setAnswerMode(sim::AnswerMode::Split);
        unsigned short dist = 9;
        QVERIFY(!worker()->send_cmd_id_mb_get_dist(1, dist));
        QCOMPARE(dist, (unsigned short)9);
        QVERIFY2(sensorGot(hexBytes("01 03 00 00 00 01 84 0A")), received().toHex(' ').constData());
        QVERIFY(parserAttached(*harness));

        // First half of the baud rate not acknowledged: the second is never sent.
        sensor->setAnswerMode(sim::AnswerMode::Silent);
        sensor->clearReceived();
        QVERIFY(!worker()->send_cmd_id_mb_baudrate_config(1, 115200));
        QVERIFY2(sensorGot(hexBytes("01 06 00 83 00 01 B9 E2").repeated(2)), received().toHex(' ').constData());
        QVERIFY(parserAttached(*harness));
    }
};

QTEST_GUILESS_MAIN(tst_modbus_exchange)
#include "tst_modbus_exchange.moc"
