// SPDX-License-Identifier: GPL-3.0-or-later
// Interoperability of the worker's Modbus RTU frames with an independent
// implementation: a libmodbus RTU server on one end of two pseudo-terminals
// linked back to back by socat, the worker on the other end. libmodbus checks
// every request's CRC and layout before it answers; the worker checks the
// replies' CRC. The registers the server stored show what was written.

#include "quick_bounds.h"
#include "workerharness.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <modbus/modbus.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <thread>

namespace {

constexpr int kSlave = 1;

// A libmodbus RTU slave serving holding registers 0x0000..0x00FF on a
// device path, answering in a thread of its own.
class LibmodbusServer
{
public:
    ~LibmodbusServer() { stop(); }

    bool start(const QString &path)
    {
        ctx = modbus_new_rtu(QFile::encodeName(path).constData(), 115200, 'N', 8, 1);
        if (!ctx)
            return false;
        modbus_set_slave(ctx, kSlave);
        // Wake up now and then to look at the stop flag.
        modbus_set_indication_timeout(ctx, 0, 200000);
        if (modbus_connect(ctx) != 0)
            return false;
        mapping = modbus_mapping_new(0, 0, 0x100, 0);
        if (!mapping)
            return false;
        worker = std::thread([this] { serve(); });
        return true;
    }

    void stop()
    {
        quit = true;
        if (worker.joinable())
            worker.join();
        if (mapping) {
            modbus_mapping_free(mapping);
            mapping = nullptr;
        }
        if (ctx) {
            modbus_close(ctx);
            modbus_free(ctx);
            ctx = nullptr;
        }
    }

    uint16_t reg(int address)
    {
        std::lock_guard<std::mutex> lock(m);
        return mapping->tab_registers[address];
    }

    void setReg(int address, uint16_t value)
    {
        std::lock_guard<std::mutex> lock(m);
        mapping->tab_registers[address] = value;
    }

    int requestsServed() const { return served.load(); }

private:
    void serve()
    {
        uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!quit) {
            const int n = modbus_receive(ctx, query);
            if (n <= 0)
                continue;   // timeout, or a frame libmodbus rejected
            std::lock_guard<std::mutex> lock(m);
            if (modbus_reply(ctx, query, n, mapping) > 0)
                ++served;
        }
    }

    modbus_t *ctx = nullptr;
    modbus_mapping_t *mapping = nullptr;
    std::thread worker;
    std::atomic<bool> quit{false};
    std::atomic<int> served{0};
    std::mutex m;
};

} // namespace

class modbus_interop : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QProcess socat;
    LibmodbusServer server;
    WorkerHarness *harness = nullptr;

    receiver *worker() const { return harness->worker(); }

private slots:
    void initTestCase()
    {
        const QString socatPath = QStandardPaths::findExecutable(QStringLiteral("socat"));
        if (socatPath.isEmpty())
            QSKIP("socat is not installed");
        QVERIFY(dir.isValid());
        const QString a = dir.filePath(QStringLiteral("server"));
        const QString b = dir.filePath(QStringLiteral("viewer"));
        socat.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        socat.start(socatPath, { QStringLiteral("-d"),
                                 QStringLiteral("pty,raw,echo=0,link=%1").arg(a),
                                 QStringLiteral("pty,raw,echo=0,link=%1").arg(b) });
        QVERIFY(socat.waitForStarted(5000));
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(a) && QFileInfo::exists(b); }, 10000));

        QVERIFY(server.start(a));
        server.setReg(0x0000, 291);
        server.setReg(0x0006, 0x0102);
        server.setReg(0x0007, 0x0304);

        harness = new WorkerHarness;
        QVERIFY(worker()->openPort(b, 115200));
    }

    void cleanupTestCase()
    {
        delete harness;
        harness = nullptr;
        server.stop();
        if (socat.state() != QProcess::NotRunning) {
            socat.terminate();
            if (!socat.waitForFinished(3000)) {
                socat.kill();
                socat.waitForFinished(3000);
            }
        }
    }

    void readDistance()
    {
        unsigned short dist = 0;
        QVERIFY(worker()->send_cmd_id_mb_get_dist(kSlave, dist));
        QCOMPARE(dist, (unsigned short)291);
        server.setReg(0x0000, 0xFEDC);
        QVERIFY(worker()->send_cmd_id_mb_get_dist(kSlave, dist));
        QCOMPARE(dist, (unsigned short)0xFEDC);
    }

    void readVersion()
    {
        QString version;
        QVERIFY(worker()->send_cmd_id_modbus_get_version(kSlave, version));
        QCOMPARE(version, QStringLiteral("2.3.4"));
    }

    void writes_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::newRow("reboot") << "reboot" << 0x81 << 0x5555 << 1;
        QTest::newRow("shut down") << "shutdown" << 0x81 << 0x5555 << 0;
        QTest::newRow("frame rate 100") << "fps100" << 0x86 << 0 << 100;
        QTest::newRow("frame rate 10000") << "fps10000" << 0x86 << 0 << 10000;
        QTest::newRow("save configuration") << "save" << 0x80 << 0x5555 << 0;
        QTest::newRow("modbus off") << "off" << 0x82 << 0 << 1;
        QTest::newRow("new address 2") << "address" << 0x85 << 0 << 2;
    }

    void writes()
    {
        QFETCH(QString, operation);
        QFETCH(int, reg);
        QFETCH(int, before);
        QFETCH(int, after);
        server.setReg(reg, uint16_t(before));
        const int served = server.requestsServed();
        bool ok = false;
        if (operation == QLatin1String("reboot"))
            ok = worker()->send_cmd_id_modbus_reboot(kSlave);
        else if (operation == QLatin1String("shutdown"))
            ok = worker()->send_cmd_id_modbus_shutdown(kSlave);
        else if (operation == QLatin1String("fps100"))
            ok = worker()->send_cmd_id_modbus_set_fps(kSlave, 100);
        else if (operation == QLatin1String("fps10000"))
            ok = worker()->send_cmd_id_modbus_set_fps(kSlave, 10000);
        else if (operation == QLatin1String("save"))
            ok = worker()->send_cmd_id_mb_save_config(kSlave);
        else if (operation == QLatin1String("off"))
            ok = worker()->send_cmd_id_mb_modbus_disable(kSlave);
        else if (operation == QLatin1String("address"))
            ok = worker()->send_cmd_id_mb_dev_addr_config(kSlave, 2);
        QVERIFY(ok);
        QCOMPARE(int(server.reg(reg)), after);
        QCOMPARE(server.requestsServed(), served + 1);   // acknowledged at the first attempt
    }

    void baudRateTwoHalves_data()
    {
        QTest::addColumn<uint>("baud");
        QTest::newRow("115200") << 115200u;
        QTest::newRow("9600") << 9600u;
        QTest::newRow("921600") << 921600u;
    }

    void baudRateTwoHalves()
    {
        QFETCH(uint, baud);
        server.setReg(0x83, 0x5555);
        server.setReg(0x84, 0x5555);
        const int served = server.requestsServed();
        QVERIFY(worker()->send_cmd_id_mb_baudrate_config(kSlave, baud));
        QCOMPARE(uint(server.reg(0x83)), baud >> 16);
        QCOMPARE(uint(server.reg(0x84)), baud & 0xFFFF);
        QCOMPARE(server.requestsServed(), served + 2);
    }

    void otherSlaveGetsNoAnswer()
    {
        // libmodbus ignores a request for another slave: the worker gives up
        // (after short waits, as nothing answers; the protocol's own bound is
        // honoured in tst_command_exchange).
        const int served = server.requestsServed();
        const ProtocolTiming before = worker()->protocolTiming();
        worker()->setProtocolTiming(quick::bounds());
        unsigned short dist = 7;
        const bool ok = worker()->send_cmd_id_mb_get_dist(kSlave + 1, dist);
        worker()->setProtocolTiming(before);
        QVERIFY(!ok);
        QCOMPARE(dist, (unsigned short)7);
        QCOMPARE(server.requestsServed(), served);
    }
};

QTEST_GUILESS_MAIN(modbus_interop)
#include "modbus_interop.moc"
