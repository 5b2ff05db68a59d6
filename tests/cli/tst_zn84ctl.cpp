// SPDX-License-Identifier: GPL-3.0-or-later
// zn84ctl, the real program, against the simulated sensor on a
// pseudo-terminal: its exit codes, its JSON results, the exact bytes of every
// setting, the stream's distances, the firmware transfer and the stop
// signals.

#include "ctl_fixture.h"

#include "../app/tabfixture.h"
#include "batch_stream.h"
#include "cross_thread.h"
#include "setting_widgets.h"
#include "settings_table.h"
#include "worker_session.h"

#include <QDir>
#include <QJsonArray>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSpinBox>
#include <QStandardPaths>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cmath>

using namespace ctl;

namespace {

// How the simulated sensor is set up before a run.
enum class Setup {
    Streaming,      // 100 frames/s, fixed distance 1234 cm
    Silent,         // answers nothing
    WrongByte,      // answers with one byte changed
    Paused,         // streams nothing
    Modbus,         // Modbus on, distance register 4321
    ModbusAt5,      // Modbus on at address 5
    StopAckAt2,     // stops acknowledging firmware frames from frame 2 on
    Busy,           // the test holds the port open
    Gone,           // the device has been unplugged
};

// One setting on the wire, by both front ends: what the operator gives
// zn84ctl, what the operator enters in the window for the same choice, and
// the exact bytes the sensor must receive from either.
struct BytesRow
{
    const char *setting;      // the table's name (Modbus operations: "modbus NAME")
    QStringList cli;          // zn84ctl's operands after "-p DEV"
    const char *expected;     // hex
    QStringList window;       // "field=value": an item's source text, or the text typed
};

const QVector<BytesRow> &bytesRows()
{
    static const QVector<BytesRow> rows = {
        {"frame-rate", {"set", "frame-rate", "100"}, "5a06036400c7", {"comboBox_fps_set=100"}},
        {"frame-rate", {"set", "frame-rate", "0"}, "5a0603000063", {"comboBox_fps_set=0"}},
        {"frame-rate", {"set", "frame-rate", "65535"}, "5a0603ffff61", {"comboBox_fps_set=65535"}},
        {"interface", {"set", "interface", "serial"}, "5a054501a5", {"comboBox_lidar_trans=串口"}},
        {"interface", {"set", "interface", "can"}, "5a054502a6", {"comboBox_lidar_trans=CAN"}},
        {"output-format", {"set", "output-format", "ascii"}, "5a05050064", {"comboBox_output_format=ASCII"}},
        {"output-format", {"set", "output-format", "binary"}, "5a05050165", {"comboBox_output_format=BIN"}},
        {"output-format", {"set", "output-format", "pix"}, "5a05050266", {"comboBox_output_format=PIX"}},
        {"output-format", {"set", "output-format", "io"}, "5a05050569", {"comboBox_output_format=IO"}},
        {"output-format", {"set", "output-format", "rs485"}, "5a0505066a", {"comboBox_output_format=RS485"}},
        {"output-format", {"set", "output-format", "4-20mA"}, "5a0505076b", {"comboBox_output_format=4-20mA"}},
        {"baud-rate", {"set", "baud-rate", "115200"}, "5a080600c201002b", {"comboBox_seri_baud=115200"}},
        {"baud-rate", {"set", "baud-rate", "4294967295"}, "5a0806ffffffff64", {"comboBox_seri_baud=4294967295"}},
        {"output-mode", {"set", "output-mode", "trigger"}, "5a05070066", {"comboBox_output_enable=触发模式"}},
        {"output-mode", {"set", "output-mode", "continuous"}, "5a05070167", {"comboBox_output_enable=连续模式"}},
        {"checksum", {"set", "checksum", "disabled"}, "5a05080067", {"comboBox_checksum=不使能"}},
        {"checksum", {"set", "checksum", "enabled"}, "5a05080168", {"comboBox_checksum=使能"}},
        {"fog-filter", {"set", "fog-filter", "enabled"}, "5a056400c3", {"comboBox_fog_feature=使能"}},
        {"fog-filter", {"set", "fog-filter", "disabled"}, "5a056401c4", {"comboBox_fog_feature=不使能"}},
        {"dac-map", {"set", "dac-map", "forward"}, "5a057100d0", {"comboBox_dac_map=正向"}},
        {"dac-map", {"set", "dac-map", "reverse"}, "5a057101d1", {"comboBox_dac_map=反向"}},
        {"save", {"save"}, "5a04116f", {}},
        {"save", {"set", "save"}, "5a04116f", {}},
        {"reset", {"reset"}, "5a040260", {}},
        {"factory-restore", {"factory-restore"}, "5a04106e", {}},
        {"auto-gain", {"set", "auto-gain", "enabled"}, "5a054e00ad", {"comboBox_gain_adjust=使能"}},
        {"auto-gain", {"set", "auto-gain", "disabled"}, "5a054e01ae", {"comboBox_gain_adjust=不使能"}},
        {"can-frame-type", {"set", "can-frame-type", "standard"}, "5a055d00bc", {"comboBox_can_type=标准帧"}},
        {"can-frame-type", {"set", "can-frame-type", "extended"}, "5a055d01bd", {"comboBox_can_type=扩展帧"}},
        {"can-baud-rate", {"set", "can-baud-rate", "1m"}, "5a085240420f0045", {"comboBox_can_baudrate=1000000"}},
        {"can-baud-rate", {"set", "can-baud-rate", "500k"}, "5a085220a107007c", {"comboBox_can_baudrate=500k"}},
        {"can-baud-rate", {"set", "can-baud-rate", "250k"}, "5a085290d0030017", {"comboBox_can_baudrate=250k"}},
        {"can-baud-rate", {"set", "can-baud-rate", "125k"}, "5a085248e80100e5", {"comboBox_can_baudrate=125k"}},
        {"can-receive-id", {"set", "can-receive-id", "0x7FF"}, "5a0851ff070000b9", {"lineEdit_can_rcv_id=0x7FF"}},
        {"can-receive-id", {"set", "can-receive-id", "291"}, "5a085123010000d7", {"lineEdit_can_rcv_id=291"}},
        {"can-send-id", {"set", "can-send-id", "0x1FFFFFFF"}, "5a0850ffffff1fce", {"lineEdit_can_snd_id=0x1FFFFFFF"}},
        {"offset", {"set", "offset", "-10"}, "5a0669f6ffbe", {"lineEdit_ofs_config=-10"}},
        {"offset", {"set", "offset", "32767"}, "5a0669ff7f47", {"lineEdit_ofs_config=32767"}},
        {"offset", {"set", "offset", "-32768"}, "5a0669008049", {"lineEdit_ofs_config=-32768"}},
        {"near-io-level", {"set", "near-io-level", "high"}, "5a056101c1", {"comboBox_io_level=高电平"}},
        {"near-io-level", {"set", "near-io-level", "low"}, "5a056100c0", {"comboBox_io_level=低电平"}},
        {"io-delay", {"set", "io-delay", "10", "20"}, "5a08620a001400e2",
         {"lineEdit_IO_delay_near=10", "lineEdit_IO_delay_far=20"}},
        {"io-threshold", {"set", "io-threshold", "500", "50"}, "5a0863f4013200ec",
         {"lineEdit_dist_threshold=500", "lineEdit_dist_buffer=50"}},
        {"modbus frame-rate", {"modbus", "frame-rate", "100"}, "01060086006469c8", {"lineEdit_mb_fps=100"}},
        {"modbus frame-rate", {"modbus", "frame-rate", "10000"}, "010600862710721f", {"lineEdit_mb_fps=10000"}},
        {"modbus baud-rate", {"modbus", "baud-rate", "115200"}, "010600830001b9e201060084c2009883",
         {"comboBox_seri_baud_2=115200"}},
        {"modbus address", {"modbus", "address", "5"}, "0106008500055820", {"spinBox_mb_dev_addr_2=5"}},
        {"modbus save", {"modbus", "save"}, "0106008000008822", {}},
        {"modbus save", {"modbus", "--address", "5", "save"}, "05060080000089a6", {"spinBox_mb_dev_addr=5"}},
        {"modbus reboot", {"modbus", "reboot"}, "0106008100011822", {}},
        {"modbus shutdown", {"modbus", "shutdown"}, "010600810000d9e2", {}},
        {"modbus disable", {"modbus", "disable"}, "010600820001e822", {}},
        {"modbus enable", {"modbus", "enable"}, "5a056f00ce", {}},
        {"modbus preset-address", {"modbus", "preset-address", "7"}, "5a057007d6", {"spinBox_mb_dev_addr_3=7"}},
    };
    return rows;
}

// Enters `value` in the window's field `name` as the operator would: picks
// the item showing that (translated) text, types the number, or sets the
// spin box.
void enterInWindow(MainWindow &w, const QString &name, const QString &value)
{
    QWidget *field = w.findChild<QWidget *>(name);
    QVERIFY2(field, qPrintable(name));
    if (auto *box = qobject_cast<QComboBox *>(field)) {
        if (box->isEditable()) {
            box->setEditText(value);
            return;
        }
        const int index = box->findText(T(value.toUtf8().constData()));
        QVERIFY2(index > 0, qPrintable(name + QLatin1Char(' ') + value));
        box->setCurrentIndex(index);
    } else if (auto *edit = qobject_cast<QLineEdit *>(field)) {
        edit->setText(value);
    } else if (auto *spin = qobject_cast<QSpinBox *>(field)) {
        spin->setValue(value.toInt());
        QCOMPARE(spin->value(), value.toInt());
    } else {
        QFAIL(qPrintable(name));
    }
}

QString rowName(const BytesRow &row)
{
    return row.cli.join(QLatin1Char(' '));
}

// The distances of stream lines in cm; false when a line is not a distance
// in the record file's format (QTextStream's default notation of cm / 100).
bool distancesOf(const QStringList &lines, QVector<uint16_t> &cm, QString &bad)
{
    for (const QString &line : lines) {
        bool ok = false;
        const double m = line.toDouble(&ok);
        const long v = ok ? std::lround(m * 100) : -1;
        if (!ok || v < 0 || v > 65535 || line != QString::number(v / 100.0, 'g', 6)) {
            bad = line;
            return false;
        }
        cm << uint16_t(v);
    }
    return true;
}

// True when `got` appears in `sent` as one unbroken run.
// Where `got` begins in `sent` as one unbroken run; -1 if it is none.
long runStart(const QVector<uint16_t> &got, const std::vector<uint16_t> &sent)
{
    if (got.isEmpty() || sent.size() < size_t(got.size()))
        return -1;
    for (size_t start = 0; start + size_t(got.size()) <= sent.size(); ++start) {
        if (std::equal(got.cbegin(), got.cend(), sent.cbegin() + long(start)))
            return long(start);
    }
    return -1;
}

bool isRunOf(const QVector<uint16_t> &got, const std::vector<uint16_t> &sent)
{
    return runStart(got, sent) >= 0;
}

} // namespace

Q_DECLARE_METATYPE(Setup)

class tst_zn84ctl : public QObject
{
    Q_OBJECT

private:
    sim::SimSensor *sensor = nullptr;
    QString device;
    QTemporaryDir scratch;

    // Reads away what the stream left on the line before it was paused, so
    // that a paused sensor sends nothing at all to the next run.
    void drainLine()
    {
        QSerialPort line;
        line.setPortName(device);
        QVERIFY(line.open(QIODevice::ReadWrite));
        QVERIFY(QTest::qWaitFor([&] {
            line.readAll();
            return sensor->bytesTowardsHost() == 0;
        }, 10000));
        QVERIFY(sensor->settle());
        line.clear(QSerialPort::Input);
        line.close();
    }

    void setUp(Setup setup, QSerialPort &holder)
    {
        switch (setup) {
        case Setup::Streaming:
            break;
        case Setup::Silent:
            sensor->setAnswerMode(sim::AnswerMode::Silent);
            break;
        case Setup::WrongByte:
            sensor->setAnswerMode(sim::AnswerMode::WrongByte);
            break;
        case Setup::Paused:
            sensor->pauseStream(true);
            drainLine();
            break;
        case Setup::Modbus: {
            const uint8_t version[4] = {1, 4, 0, 9};
            sensor->setModbusEnabled(true);
            sensor->setModbusRegisters(4321, version);
            break;
        }
        case Setup::ModbusAt5:
            sensor->setModbusEnabled(true);
            sensor->setModbusAddress(5);
            break;
        case Setup::StopAckAt2:
            sensor->setUpgradeFault(2, sim::UpgradeFault::StopAck);
            break;
        case Setup::Busy:
            holder.setPortName(device);
            QVERIFY(holder.open(QIODevice::ReadWrite));
            break;
        case Setup::Gone:
            sensor->unplug();
            break;
        }
    }

    QString writeImage(const QString &name, int size)
    {
        QFile f(scratch.filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        QByteArray image(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i)
            image[i] = char((i * 7 + i / 251) & 0xFF);
        f.write(image);
        return f.fileName();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(scratch.isValid());
        QVERIFY(QFileInfo(ctlProgram()).isExecutable());
    }

    void init()
    {
        sensor = new sim::SimSensor;
        sensor->setDistanceCm(1234);
        sensor->setVersion(1, 2, 3);
        sensor->setFullVersion("ZN84 TEST 7.7");
        QVERIFY(sensor->start(100));
        device = QString::fromStdString(sensor->devicePath());
    }

    void cleanup()
    {
        delete sensor;
        sensor = nullptr;
    }

    // Every exit code but the interruption's (below), and for the refusals
    // that nothing at all reached the sensor.
    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("nothingSent");

        const Setup on = Setup::Streaming;
        QTest::newRow("help") << QStringList{"--help"} << on << 0 << true;
        QTest::newRow("help of set") << QStringList{"set", "--help"} << on << 0 << true;
        QTest::newRow("version") << QStringList{"--version"} << on << 0 << true;
        QTest::newRow("version beside a command")
            << QStringList{"set", "-p", "%DEV%", "--version", "frame-rate", "100"} << on << 0 << true;
        QTest::newRow("set frame-rate") << QStringList{"set", "-p", "%DEV%", "frame-rate", "100"} << on << 0 << false;
        QTest::newRow("no command") << QStringList{} << on << 1 << true;
        QTest::newRow("unknown command") << QStringList{"-p", "%DEV%", "blink"} << on << 1 << true;
        QTest::newRow("unknown option") << QStringList{"set", "-p", "%DEV%", "--fast", "save"} << on << 1 << true;
        QTest::newRow("option of another command")
            << QStringList{"set", "-p", "%DEV%", "--count", "5", "frame-rate", "100"} << on << 1 << true;
        QTest::newRow("no port") << QStringList{"set", "frame-rate", "100"} << on << 1 << true;
        QTest::newRow("publish without a broker") << QStringList{"publish", "-p", "%DEV%", "--topic", "a/b"} << on << 1
                                                  << true;
        QTest::newRow("publish to an http broker")
            << QStringList{"publish", "-p", "%DEV%", "--broker", "http://localhost", "--topic", "a/b"} << on << 1 << true;
        QTest::newRow("publish under a wildcard topic")
            << QStringList{"publish", "-p", "%DEV%", "--broker", "mqtt://localhost", "--topic", "a/#"} << on << 1 << true;
        QTest::newRow("publish at QoS 2")
            << QStringList{"publish", "-p", "%DEV%", "--broker", "mqtt://localhost", "--topic", "a", "--qos", "2"} << on
            << 1 << true;
        QTest::newRow("publish: a password without a user")
            << QStringList{"publish", "-p", "%DEV%", "--broker", "mqtt://localhost", "--topic", "a", "--password-file",
                           "/etc/hostname"}
            << on << 1 << true;
        QTest::newRow("publish: a missing password file")
            << QStringList{"publish", "-p", "%DEV%", "--broker", "mqtt://localhost", "--topic", "a", "--username", "u",
                           "--password-file", "/nonexistent/pw"}
            << on << 1 << true;
        QTest::newRow("publish: a CA without TLS")
            << QStringList{"publish", "-p", "%DEV%", "--broker", "mqtt://localhost", "--topic", "a", "--cafile",
                           "/etc/hostname"}
            << on << 1 << true;
        QTest::newRow("publish: hysteresis without limits")
            << QStringList{"publish", "-p", "%DEV%", "--broker", "mqtt://localhost", "--topic", "a", "--hysteresis",
                           "0.01"}
            << on << 1 << true;
        QTest::newRow("publish: a zero without limits")
            << QStringList{"publish", "-p", "%DEV%", "--broker", "mqtt://localhost", "--topic", "a", "--zero", "1"}
            << on << 1 << true;
        QTest::newRow("publish: limits not metres")
            << QStringList{"publish", "-p", "%DEV%", "--broker", "mqtt://localhost", "--topic", "a", "--limits",
                           "1m:2m"}
            << on << 1 << true;
        QTest::newRow("frame rate out of range")
            << QStringList{"set", "-p", "%DEV%", "frame-rate", "65536"} << on << 1 << true;
        QTest::newRow("frame rate not a number")
            << QStringList{"set", "-p", "%DEV%", "frame-rate", "ten"} << on << 1 << true;
        QTest::newRow("frame rate with a blank")
            << QStringList{"set", "-p", "%DEV%", "frame-rate", " 100"} << on << 1 << true;
        QTest::newRow("negative frame rate")
            << QStringList{"set", "-p", "%DEV%", "frame-rate", "-1"} << on << 1 << true;
        QTest::newRow("offset below 16 bits")
            << QStringList{"set", "-p", "%DEV%", "offset", "-32769"} << on << 1 << true;
        QTest::newRow("hex where decimal only")
            << QStringList{"set", "-p", "%DEV%", "baud-rate", "0x1C200"} << on << 1 << true;
        QTest::newRow("CAN id above 32 bits")
            << QStringList{"set", "-p", "%DEV%", "can-send-id", "0x100000000"} << on << 1 << true;
        QTest::newRow("baud rate 0") << QStringList{"set", "-p", "%DEV%", "baud-rate", "0"} << on << 1 << true;
        QTest::newRow("unknown choice")
            << QStringList{"set", "-p", "%DEV%", "output-format", "hex"} << on << 1 << true;
        QTest::newRow("unknown setting") << QStringList{"set", "-p", "%DEV%", "colour", "red"} << on << 1 << true;
        QTest::newRow("one value of two") << QStringList{"set", "-p", "%DEV%", "io-delay", "10"} << on << 1 << true;
        QTest::newRow("value for an action") << QStringList{"save", "-p", "%DEV%", "now"} << on << 1 << true;
        QTest::newRow("Modbus frame rate 0")
            << QStringList{"modbus", "-p", "%DEV%", "frame-rate", "0"} << Setup::Modbus << 1 << true;
        QTest::newRow("Modbus address 248")
            << QStringList{"modbus", "-p", "%DEV%", "--address", "248", "save"} << Setup::Modbus << 1 << true;
        QTest::newRow("unknown reading") << QStringList{"get", "-p", "%DEV%", "colour"} << on << 1 << true;
        QTest::newRow("record into an existing file")
            << QStringList{"record", "-p", "%DEV%", "%EXISTING%"} << on << 1 << true;
        QTest::newRow("port missing") << QStringList{"info", "-p", "/dev/zn84-no-such-port"} << on << 2 << true;
        QTest::newRow("port busy") << QStringList{"info", "-p", "%DEV%"} << Setup::Busy << 2 << true;
        // By its link: the freed pseudo-terminal may already be another's.
        QTest::newRow("device unplugged") << QStringList{"save", "-p", "%LINK%"} << Setup::Gone << 2 << true;
        QTest::newRow("no answer") << QStringList{"set", "-p", "%DEV%", "frame-rate", "100"} << Setup::Silent << 3
                                   << false;
        QTest::newRow("wrong answer") << QStringList{"set", "-p", "%DEV%", "output-format", "binary"}
                                      << Setup::WrongByte << 3 << false;
        QTest::newRow("no stream") << QStringList{"stream", "-p", "%DEV%", "--timeout", "0.3"} << Setup::Paused << 3
                                   << true;
        QTest::newRow("no Modbus answer at another address")
            << QStringList{"modbus", "-p", "%DEV%", "--address", "9", "save"} << Setup::Modbus << 3 << false;
        // A duration with nothing to show for it is no success.
        QTest::newRow("stream: no distance within the duration")
            << QStringList{"stream", "-p", "%DEV%", "--duration", "0.5"} << Setup::Paused << 3 << true;
        QTest::newRow("record: no distance within the duration")
            << QStringList{"record", "-p", "%DEV%", "%SCRATCH%/rec/", "--duration", "0.5"} << Setup::Paused << 3
            << true;
        QTest::newRow("stream: count not reached within the duration")
            << QStringList{"stream", "-p", "%DEV%", "--count", "1000000", "--duration", "0.5"} << on << 3 << true;
        QTest::newRow("record: count not reached within the duration")
            << QStringList{"record", "-p", "%DEV%", "%SCRATCH%/rec/", "--count", "1000000", "--duration", "0.5"} << on
            << 3 << true;
        QTest::newRow("measure: LOW not below HIGH")
            << QStringList{"measure", "-p", "%DEV%", "--samples", "10", "--limits", "12.5:12.5"} << on << 1 << true;
        QTest::newRow("measure: limits not metres")
            << QStringList{"measure", "-p", "%DEV%", "--samples", "10", "--limits", "12,5:13"} << on << 1 << true;
        QTest::newRow("measure: one limit")
            << QStringList{"measure", "-p", "%DEV%", "--samples", "10", "--limits", "12.5"} << on << 1 << true;
        QTest::newRow("measure: negative hysteresis")
            << QStringList{"measure", "-p", "%DEV%", "--samples", "10", "--limits", "12:13", "--hysteresis", "-0.1"}
            << on << 1 << true;
        QTest::newRow("measure: hysteresis without limits")
            << QStringList{"measure", "-p", "%DEV%", "--samples", "10", "--hysteresis", "0.1"} << on << 1 << true;
        QTest::newRow("measure: median of an even length")
            << QStringList{"measure", "-p", "%DEV%", "--samples", "10", "--filter", "median:4"} << on << 1 << true;
        QTest::newRow("measure: average too long")
            << QStringList{"measure", "-p", "%DEV%", "--samples", "10", "--filter", "avg:257"} << on << 1 << true;
        QTest::newRow("measure: zero not metres")
            << QStringList{"measure", "-p", "%DEV%", "--samples", "10", "--zero", "twelve"} << on << 1 << true;
        QTest::newRow("measure: no sample count") << QStringList{"measure", "-p", "%DEV%"} << on << 1 << true;
        QTest::newRow("measure: within the limits")
            << QStringList{"measure", "-p", "%DEV%", "--samples", "20", "--limits", "12:12.5"} << on << 0 << true;
        QTest::newRow("measure: the upper limit itself is within")
            << QStringList{"measure", "-p", "%DEV%", "--samples", "20", "--limits", "12:12.34"} << on << 0 << true;
        QTest::newRow("measure: out of tolerance")
            << QStringList{"measure", "-p", "%DEV%", "--samples", "20", "--limits", "12.5:13"} << on << 5 << true;
        QTest::newRow("measure: out of tolerance after the zero")
            << QStringList{"measure", "-p", "%DEV%", "--samples", "20", "--limits", "-0.1:0.1", "--zero", "12.5"}
            << on << 5 << true;
        QTest::newRow("measure: no stream")
            << QStringList{"measure", "-p", "%DEV%", "--samples", "20", "--timeout", "0.3"} << Setup::Paused << 3
            << true;
        QTest::newRow("measure: port missing")
            << QStringList{"measure", "-p", "/dev/zn84-no-such-port", "--samples", "20"} << on << 2 << true;
        QTest::newRow("spectrum: samples not a power of two")
            << QStringList{"spectrum", "-p", "%DEV%", "--samples", "1000"} << on << 1 << true;
        QTest::newRow("spectrum: more samples than 65536")
            << QStringList{"spectrum", "-p", "%DEV%", "--samples", "131072"} << on << 1 << true;
        QTest::newRow("spectrum: unknown window")
            << QStringList{"spectrum", "-p", "%DEV%", "--samples", "1024", "--window", "hamming"} << on << 1 << true;
        QTest::newRow("spectrum: no samples given") << QStringList{"spectrum", "-p", "%DEV%"} << on << 1 << true;
        QTest::newRow("spectrum: no stream")
            << QStringList{"spectrum", "-p", "%DEV%", "--samples", "1024", "--timeout", "0.3"} << Setup::Paused << 3
            << true;
        QTest::newRow("capture: unknown edge")
            << QStringList{"capture", "-p", "%DEV%", "--trigger", "up:1", "--pre", "1", "--post", "1", "-o",
                           "%SCRATCH%/c1.csv"} << on << 1 << true;
        QTest::newRow("capture: level not a number")
            << QStringList{"capture", "-p", "%DEV%", "--trigger", "rising:high", "--pre", "1", "--post", "1", "-o",
                           "%SCRATCH%/c2.csv"} << on << 1 << true;
        QTest::newRow("capture: more than 10 s before the trigger")
            << QStringList{"capture", "-p", "%DEV%", "--trigger", "rising:1", "--pre", "111111", "--post", "1",
                           "-o", "%SCRATCH%/c3.csv"} << on << 1 << true;
        QTest::newRow("capture: no file")
            << QStringList{"capture", "-p", "%DEV%", "--trigger", "rising:1", "--pre", "1", "--post", "1"} << on << 1
            << true;
        QTest::newRow("capture into an existing file")
            << QStringList{"capture", "-p", "%DEV%", "--trigger", "rising:1", "--pre", "1", "--post", "1", "-o",
                           "%EXISTING%"} << on << 1 << true;
        // The sensor stays at 12.34 m: no crossing of 20 m ever comes.
        QTest::newRow("capture: no trigger within the timeout")
            << QStringList{"capture", "-p", "%DEV%", "--trigger", "either:20", "--pre", "5", "--post", "5",
                           "--timeout", "0.5", "-o", "%SCRATCH%/c4.csv"} << on << 6 << true;
        QTest::newRow("upgrade: missing image")
            << QStringList{"upgrade", "-p", "%DEV%", "%SCRATCH%/none.bin"} << on << 4 << true;
        QTest::newRow("upgrade: empty image")
            << QStringList{"upgrade", "-p", "%DEV%", "%EMPTY%"} << on << 4 << true;
        QTest::newRow("upgrade: too large for CAN frames")
            << QStringList{"upgrade", "-p", "%DEV%", "--can", "%LARGE%"} << on << 4 << true;
        QTest::newRow("upgrade: a directory")
            << QStringList{"upgrade", "-p", "%DEV%", "%SCRATCH%"} << on << 4 << true;
        QTest::newRow("upgrade: no acknowledgement")
            << QStringList{"upgrade", "-p", "%DEV%", "%SMALL%"} << Setup::StopAckAt2 << 4 << false;
    }

    void exitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(Setup, setup);
        QFETCH(int, exitCode);
        QFETCH(bool, nothingSent);

        const QString existing = scratch.filePath(QStringLiteral("existing.txt"));
        {
            QFile f(existing);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("kept\n");
        }
        const QString empty = writeImage(QStringLiteral("empty.bin"), 0);
        // 65535 frames of 2 bytes fit; one byte more does not.
        const QString large = writeImage(QStringLiteral("large.bin"), 131071);
        const QString small = writeImage(QStringLiteral("small.bin"), 2000);
        for (QString &a : args) {
            a.replace(QStringLiteral("%EXISTING%"), existing);
            a.replace(QStringLiteral("%EMPTY%"), empty);
            a.replace(QStringLiteral("%LARGE%"), large);
            a.replace(QStringLiteral("%SMALL%"), small);
            a.replace(QStringLiteral("%SCRATCH%"), scratch.path());
        }

        const QString link = QString::fromStdString(sensor->linkPath());
        for (QString &a : args)
            a.replace(QStringLiteral("%LINK%"), link);
        QSerialPort holder;
        setUp(setup, holder);
        sensor->clearReceived();
        const Run r = runCtl(withDevice(args, device));
        QVERIFY2(r.finished, qPrintable(r.describe()));
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.describe()));
        // A failure always says why.
        if (exitCode != 0)
            QVERIFY2(!r.err.trimmed().isEmpty(), qPrintable(r.describe()));

        if (setup == Setup::Gone)
            return;
        holder.close();
        sensor->setAnswerMode(sim::AnswerMode::Normal);
        const QByteArray before = receivedBeforeMarker(*sensor);
        if (nothingSent)
            QVERIFY2(before.isEmpty(), before.toHex(' ').constData());
        else
            QVERIFY2(!before.isEmpty(), qPrintable(r.describe()));
        QFile kept(existing);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("kept\n"));
    }

    // Every setting, every choice and the edges of the ranges: exactly these
    // bytes reach the sensor, once.
    void setWritesExactBytes_data()
    {
        QTest::addColumn<QStringList>("cli");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<bool>("modbus");
        for (const BytesRow &row : bytesRows()) {
            QTest::newRow(qPrintable(rowName(row)))
                << row.cli << QByteArray::fromHex(row.expected)
                << (row.cli.first() == QLatin1String("modbus") && !row.cli.contains(QStringLiteral("enable"))
                    && !row.cli.contains(QStringLiteral("preset-address")));
        }
    }

    void setWritesExactBytes()
    {
        QFETCH(QStringList, cli);
        QFETCH(QByteArray, expected);
        QFETCH(bool, modbus);
        if (modbus) {
            sensor->setModbusEnabled(true);
            if (cli.contains(QStringLiteral("--address")))
                sensor->setModbusAddress(5);
        }
        sensor->clearReceived();
        const Run r = runCtl(QStringList{"-p", device} + cli);
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        QCOMPARE(receivedBeforeMarker(*sensor).toHex(' '), expected.toHex(' '));
    }

    // On a line that streams at the top rate every wait of an exchange ends
    // at the next chunk of frames. An answer 100 ms late is well within the
    // protocol's bound (two waits of 1 s for an acknowledgement, three of 2 s
    // for a reply) and is taken, the request written once.
    void lateAnswerOnAStreamingLine_data()
    {
        QTest::addColumn<QStringList>("cli");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QString>("output");
        QTest::newRow("acknowledged setting") << QStringList{"set", "output-format", "binary"}
                                              << QByteArray::fromHex("5a05050165") << "output-format binary: ok";
        QTest::newRow("status acknowledgement") << QStringList{"save"} << QByteArray::fromHex("5a04116f")
                                                << "save: ok";
        QTest::newRow("version query") << QStringList{"get", "version"} << QByteArray::fromHex("5a04015f")
                                       << "3.2.1";
    }

    void lateAnswerOnAStreamingLine()
    {
        QFETCH(QStringList, cli);
        QFETCH(QByteArray, expected);
        QFETCH(QString, output);
        sensor->setRate(11111);
        sensor->setLateDelayMs(100);
        sensor->setAnswerMode(sim::AnswerMode::Late);
        sensor->clearReceived();
        const Run r = runCtl(QStringList{"-p", device} + cli);
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        QCOMPARE(r.outLines(), QStringList{output});
        QCOMPARE(receivedBeforeMarker(*sensor).toHex(' '), expected.toHex(' '));
    }

    // The window, given the same choice as the operator makes it there (the
    // item with that text, the number typed), writes exactly the bytes
    // zn84ctl writes.
    void windowWritesTheSameBytes_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QStringList>("window");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("modbusAddress");   // 0: Modbus off
        for (const BytesRow &row : bytesRows()) {
            const bool modbus = row.cli.first() == QLatin1String("modbus") && !row.cli.contains(QStringLiteral("enable"))
                    && !row.cli.contains(QStringLiteral("preset-address"));
            QTest::newRow(qPrintable(rowName(row)))
                << QString::fromLatin1(row.setting) << row.window << QByteArray::fromHex(row.expected)
                << (modbus ? (row.cli.contains(QStringLiteral("--address")) ? 5 : 1) : 0);
        }
    }

    void windowWritesTheSameBytes()
    {
        QFETCH(QString, setting);
        QFETCH(QStringList, window);
        QFETCH(QByteArray, expected);
        QFETCH(int, modbusAddress);
        const bool modbus = setting.startsWith(QLatin1String("modbus "));
        const settingstable::Setting *s = settingstable::findSetting(
            modbus ? settingstable::Group::Modbus : settingstable::Group::Sensor, setting.mid(modbus ? 7 : 0));
        QVERIFY(s);

        // A window of its own for every row: a setting may leave the
        // simulator in a state the next one does not expect.
        ConnectedWindow cw;
        QVERIFY(cw.open(Lang::Chinese));
        cw.quiet();
        if (modbusAddress != 0) {
            cw.sensor.setModbusEnabled(true);
            cw.sensor.setModbusAddress(uint8_t(modbusAddress));
        }
        cw.ui()->spinBox_mb_dev_addr->setValue(1);
        for (const QString &entry : window)
            enterInWindow(*cw.window, entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        cw.sensor.clearReceived();
        ModalCatcher catcher;
        catcher.answer = QMessageBox::Yes;   // a confirmation is answered yes
        cw.button(QLatin1String(settingwidgets::widgetsOf(*s)->button))->click();
        QCOMPARE(cw.received().toHex(' '), expected.toHex(' '));
        QCOMPARE(cw.status().endsWith(T("成功！")), true);
        cw.close();
    }

    // The bytes table reaches every entry of the shared settings table.
    void everySettingHasBytes()
    {
        QStringList covered;
        for (const BytesRow &row : bytesRows())
            covered << QLatin1String(row.setting);
        for (const settingstable::Setting *s = settingstable::settingsBegin(); s != settingstable::settingsEnd();
             ++s) {
            const QString name = s->group == settingstable::Group::Modbus
                    ? QStringLiteral("modbus ") + QLatin1String(s->name) : QLatin1String(s->name);
            QVERIFY2(covered.contains(name), qPrintable(name));
            for (int i = 0; i < s->choiceCount; ++i) {
                bool found = false;
                for (const BytesRow &row : bytesRows())
                    found = found || (name == QLatin1String(row.setting)
                                      && row.cli.last().compare(QLatin1String(s->choices[i].name),
                                                                Qt::CaseInsensitive) == 0);
                QVERIFY2(found, qPrintable(name + QLatin1Char(' ') + QLatin1String(s->choices[i].name)));
            }
        }
    }

    // --json: one compact object per result, failures included.
    void jsonResults_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("expected");   // these members, exactly

        const Setup on = Setup::Streaming;
        QTest::newRow("info") << QStringList{"info"} << on << 0
                              << QByteArray(R"({"command":"info","ok":true,"version":"3.2.1",)"
                                            R"("full_version":"ZN84 TEST 7.7"})");
        QTest::newRow("get version") << QStringList{"get", "version"} << on << 0
                                     << QByteArray(R"({"command":"get","reading":"version","value":"3.2.1","ok":true})");
        QTest::newRow("get distance") << QStringList{"get", "distance"} << on << 0
                                      << QByteArray(R"({"command":"get","reading":"distance","distance_cm":1234,)"
                                                    R"("distance_m":12.34,"ok":true})");
        QTest::newRow("set a choice") << QStringList{"set", "output-format", "binary"} << on << 0
                                      << QByteArray(R"({"command":"set","setting":"output-format","args":["binary"],)"
                                                    R"("wire":[1],"ok":true})");
        QTest::newRow("set two numbers") << QStringList{"set", "io-delay", "10", "20"} << on << 0
                                         << QByteArray(R"({"command":"set","setting":"io-delay","args":["10","20"],)"
                                                       R"("wire":[10,20],"ok":true})");
        QTest::newRow("set a negative offset") << QStringList{"set", "offset", "-10"} << on << 0
                                               << QByteArray(R"({"command":"set","setting":"offset","args":["-10"],)"
                                                             R"("wire":[65526],"ok":true})");
        QTest::newRow("modbus distance") << QStringList{"modbus", "distance"} << Setup::Modbus << 0
                                         << QByteArray(R"({"command":"modbus","reading":"distance","address":1,)"
                                                       R"("distance_cm":4321,"distance_m":43.21,"ok":true})");
        QTest::newRow("modbus version") << QStringList{"modbus", "version"} << Setup::Modbus << 0
                                        << QByteArray(R"({"command":"modbus","reading":"version","address":1,)"
                                                      R"("value":"4.0.9","ok":true})");
        QTest::newRow("invalid value") << QStringList{"set", "frame-rate", "70000"} << on << 1
                                       << QByteArray(R"({"command":"set","setting":"frame-rate","args":["70000"],)"
                                                     R"("ok":false,"exit":1,"error":"*"})");
        QTest::newRow("no answer") << QStringList{"save"} << Setup::Silent << 3
                                   << QByteArray(R"({"command":"save","setting":"save","args":[],"wire":[],)"
                                                 R"("ok":false,"exit":3,"error":"*"})");
        QTest::newRow("port busy") << QStringList{"info"} << Setup::Busy << 2
                                   << QByteArray(R"({"command":"info","port":"%DEV%","port_error":"PermissionError",)"
                                                 R"("ok":false,"exit":2,"error":"*"})");
        QTest::newRow("stream: no distance within the duration")
            << QStringList{"stream", "--duration", "0.5"} << Setup::Paused << 3
            << QByteArray(R"({"command":"stream","distances":0,"seconds":"#","ok":false,"exit":3,)"
                          R"("error":"no distance within 0.5 s"})");
        QTest::newRow("stream: count not reached within the duration")
            << QStringList{"stream", "--count", "2", "--duration", "0.5"} << Setup::Paused << 3
            << QByteArray(R"({"command":"stream","distances":0,"seconds":"#","ok":false,"exit":3,)"
                          R"("error":"no distance within 0.5 s"})");
        QTest::newRow("stream of two") << QStringList{"stream", "--count", "2"} << on << 0 << QByteArray();
    }

    void jsonResults()
    {
        QFETCH(QStringList, args);
        QFETCH(Setup, setup);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, expected);
        QSerialPort holder;
        setUp(setup, holder);
        const Run r = runCtl(QStringList{"--json", "-p", device} + args);
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.describe()));
        const QList<QJsonObject> objects = jsonLines(r);
        for (const QJsonObject &o : objects)
            QVERIFY2(!o.isEmpty(), qPrintable(r.describe()));
        // Compact: no blanks outside strings.
        for (const QString &line : r.outLines())
            QVERIFY2(QJsonDocument::fromJson(line.toUtf8()).toJson(QJsonDocument::Compact) == line.toUtf8(),
                     qPrintable(line));

        if (expected.isEmpty()) {
            // A stream: the readings, then one result.
            QCOMPARE(objects.size(), 3);
            for (int i = 0; i < 2; ++i) {
                QCOMPARE(objects[i].value(QStringLiteral("distance_m")).toDouble(), 12.34);
                QVERIFY(objects[i].value(QStringLiteral("time_s")).toDouble() >= 0);
            }
            QCOMPARE(objects[2].value(QStringLiteral("command")).toString(), QStringLiteral("stream"));
            QCOMPARE(objects[2].value(QStringLiteral("ok")).toBool(), true);
            QCOMPARE(objects[2].value(QStringLiteral("distances")).toInt(), 2);
            return;
        }
        QCOMPARE(objects.size(), 1);
        QJsonObject want = QJsonDocument::fromJson(expected.replace("%DEV%", device.toUtf8())).object();
        QVERIFY(!want.isEmpty());
        QJsonObject got = objects.first();
        // "*": any non-empty text; "#": any number.
        for (auto it = want.begin(); it != want.end(); ++it) {
            if (it.value() == QJsonValue(QStringLiteral("*"))) {
                QVERIFY2(!got.value(it.key()).toString().isEmpty(), qPrintable(it.key()));
                got.insert(it.key(), QStringLiteral("*"));
            }
            if (it.value() == QJsonValue(QStringLiteral("#"))) {
                QVERIFY2(got.value(it.key()).isDouble(), qPrintable(it.key()));
                got.insert(it.key(), QStringLiteral("#"));
            }
        }
        QCOMPARE(got, want);
    }

    // Why a port cannot be opened, in words and by QSerialPort's error.
    void portErrors_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("hold");
        QTest::addColumn<bool>("asNobody");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing") << "/dev/zn84-no-such-port" << false << false << "missing" << "DeviceNotFoundError";
        QTest::newRow("busy") << "%DEV%" << true << false << "busy" << "PermissionError";
        QTest::newRow("not permitted") << "%DEV%" << false << true << "not permitted" << "PermissionError";
    }

    void portErrors()
    {
        QFETCH(QString, port);
        QFETCH(bool, hold);
        QFETCH(bool, asNobody);
        QFETCH(QString, reason);
        QFETCH(QString, error);
        port.replace(QStringLiteral("%DEV%"), device);
        QSerialPort holder;
        if (hold)
            setUp(Setup::Busy, holder);
        QString wrapper;
        QStringList wrapperArgs;
        if (asNobody) {
            // The pseudo-terminal is the owner's alone; another user may not open it.
            if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
                QSKIP("needs root and setpriv to run the program as another user");
            wrapper = QStringLiteral("setpriv");
            wrapperArgs = QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups"};
        }
        const Run r = runCtl({"info", "--json", "-p", port}, 60000, wrapper, wrapperArgs);
        QVERIFY2(r.exitCode == 2, qPrintable(r.describe()));
        const QList<QJsonObject> objects = jsonLines(r);
        QCOMPARE(objects.size(), 1);
        QCOMPARE(objects.first().value(QStringLiteral("port_error")).toString(), error);
        const QString message = objects.first().value(QStringLiteral("error")).toString();
        QVERIFY2(message.contains(QStringLiteral(": ") + reason), qPrintable(message));
        QVERIFY2(QString::fromUtf8(r.err).contains(reason), r.err.constData());
    }

    // The worker's lifecycle zn84ctl and the window share, in this process:
    // the worker in a thread of its own, an open that fails with its reason
    // and the port's error, the batches of an open port numbered from 0, and
    // a stop within its bound that ends the thread and lets the port go.
    void workerSession_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("error");
        QTest::newRow("streaming") << "%DEV%" << Setup::Streaming << int(OpenFailure::None) << QString() << QString();
        QTest::newRow("missing") << "/dev/zn84-no-such-port" << Setup::Streaming << int(OpenFailure::Missing)
                                 << "missing" << "DeviceNotFoundError";
        QTest::newRow("busy") << "%DEV%" << Setup::Busy << int(OpenFailure::Busy) << "busy (in use by another program)"
                              << "PermissionError";
    }

    void workerSession()
    {
        QFETCH(QString, port);
        QFETCH(Setup, setup);
        QFETCH(int, failure);
        QFETCH(QString, reason);
        QFETCH(QString, error);
        port.replace(QStringLiteral("%DEV%"), device);
        QSerialPort holder;
        setUp(setup, holder);

        WorkerSession session;
        QVERIFY(session.isRunning());
        QCOMPARE(session.worker()->thread(), session.thread());
        QVERIFY(session.thread() != QThread::currentThread());
        BatchStream stream;
        connectAcrossThreads(session.worker(), &receiver::signalDistance, &stream, &BatchStream::take);
        OpenError why;
        const bool opened = session.open(port, 115200, &why);
        QCOMPARE(opened, failure == int(OpenFailure::None));
        QVector<quint64> firsts;
        connect(&stream, &BatchStream::batch, this, [&firsts](const MeasurementBatch &b) { firsts << b.first; });
        if (opened) {
            QTRY_VERIFY_WITH_TIMEOUT(firsts.size() >= 2, 10000);
            QCOMPARE(firsts.at(0), quint64(0));
            QVERIFY(firsts.at(1) > 0);
        } else {
            QCOMPARE(int(why.failure), failure);
            QCOMPARE(why.errorName(), error);
            QVERIFY2(why.reason().startsWith(reason), qPrintable(why.reason()));
        }

        QVERIFY(session.stop());
        QVERIFY(!session.isRunning());
        QVERIFY(!session.worker()->isPortOpen());
        QVERIFY(session.stop());
        if (opened) {
            QSerialPort again;
            again.setPortName(device);
            QVERIFY2(again.open(QIODevice::ReadWrite), qPrintable(again.errorString()));
        }
    }

    // At the line's top rate, --count 1000 prints exactly 1000 distances,
    // each the one a frame carried, in the order sent; record writes the
    // same in the viewer's format.
    void streamCountIsExact_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("rate");
        QTest::newRow("stream") << "stream" << 1000 << 11111;
        QTest::newRow("stream at 1000 frames/s") << "stream" << 500 << 1000;
        QTest::newRow("record") << "record" << 1000 << 11111;
        QTest::newRow("record into a directory") << "record-dir" << 300 << 11111;
    }

    void streamCountIsExact()
    {
        QFETCH(QString, command);
        QFETCH(int, count);
        QFETCH(int, rate);
        sensor->setCountingDistance(100);
        sensor->setFrameLog(true);
        sensor->setRate(rate);

        const QString dir = scratch.filePath(QStringLiteral("records-") + QString::number(count));
        const QString file = scratch.filePath(QStringLiteral("record-%1.txt").arg(count));
        QStringList args{"-p", device, "--count", QString::number(count)};
        if (command == QLatin1String("stream"))
            args.prepend(QStringLiteral("stream"));
        else
            args = QStringList{"record", command == QLatin1String("record") ? file : dir + QLatin1Char('/')} + args;
        const Run r = runCtl(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));

        QStringList lines;
        if (command == QLatin1String("stream")) {
            lines = r.outLines();
        } else {
            QString path = file;
            if (command == QLatin1String("record-dir")) {
                const QStringList made = QDir(dir).entryList(QDir::Files);
                QCOMPARE(made.size(), 1);
                QVERIFY2(QRegularExpression(QStringLiteral("^\\d{8}_\\d{6}\\.txt$")).match(made.first()).hasMatch(),
                         qPrintable(made.first()));
                path = QDir(dir).filePath(made.first());
            }
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray content = f.readAll();
            QVERIFY(content.endsWith('\n'));
            lines = QString::fromUtf8(content).split(QLatin1Char('\n'));
            lines.removeLast();
            QCOMPARE(r.outLines().size(), 1);   // the result line
        }
        QCOMPARE(lines.size(), count);
        QVector<uint16_t> cm;
        QString bad;
        QVERIFY2(distancesOf(lines, cm, bad), qPrintable(bad));
        const std::vector<uint16_t> sent = sensor->frameLog();
        const std::vector<uint16_t> dropped = sensor->dropLog();
        const QString counts = QStringLiteral("first %1, last %2, %3 frames sent, %4 dropped by the sensor")
                                   .arg(cm.first()).arg(cm.last()).arg(sent.size()).arg(dropped.size());
        // What was printed is what the line carried, in order, nothing left out.
        QVERIFY2(isRunOf(cm, sent), qPrintable(counts));
        // Between the first and the last distance printed, each distance
        // the sensor made was printed or dropped by the sensor (it never
        // reached the line), exactly once: a loss is accounted for exactly.
        QSet<uint16_t> seen;
        for (const uint16_t d : cm) {
            QVERIFY2(!seen.contains(d), qPrintable(counts));
            seen.insert(d);
        }
        for (const uint16_t d : dropped) {
            if (d <= cm.first() || d >= cm.last())
                continue;
            QVERIFY2(!seen.contains(d), qPrintable(counts));
            seen.insert(d);
        }
        QVERIFY2(seen.size() == int(cm.last() - cm.first()) + 1, qPrintable(counts));
    }

    // A sensor that streamed before the port was opened: what waited in the
    // line is not printed as fresh readings (all at time 0, twice the rate).
    void staleLineIsNotRead()
    {
        sensor->setCountingDistance(100);
        sensor->setFrameLog(true);
        // More than a second of the stream waits in the line.
        QTRY_VERIFY_WITH_TIMEOUT(sensor->bytesUnreadByHost() >= 150 * 9, 20000);
        const size_t waiting = sensor->frameLog().size();
        const Run r = runCtl({"stream", "--json", "-p", device, "--duration", "1"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        const QList<QJsonObject> objects = jsonLines(r);
        QVERIFY(objects.size() > 1);
        const std::vector<uint16_t> sent = sensor->frameLog();
        const auto first = std::find(sent.begin(), sent.end(),
                                     uint16_t(std::lround(objects.first().value(QStringLiteral("distance_m")).toDouble() * 100)));
        QVERIFY(first != sent.end());
        QVERIFY2(size_t(first - sent.begin()) >= waiting,
                 qPrintable(QStringLiteral("the first distance printed is frame %1; %2 were waiting before the open")
                                .arg(first - sent.begin()).arg(waiting)));
        // One second of a 100-frames/s stream, give or take a batch.
        const int distances = objects.size() - 1;
        QVERIFY2(distances <= 115, qPrintable(QString::number(distances)));
    }

    // --duration ends the stream after that time, not before it (a coarse
    // timer may fire 5 % early), with every distance so far printed.
    void streamDurationIsHeld()
    {
        const Run r = runCtl({"stream", "--json", "-p", device, "--duration", "1.5"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        const QList<QJsonObject> objects = jsonLines(r);
        QVERIFY(objects.size() > 100);   // 100 frames/s
        const QJsonObject result = objects.last();
        QCOMPARE(result.value(QStringLiteral("ok")).toBool(), true);
        QCOMPARE(result.value(QStringLiteral("distances")).toInt(), objects.size() - 1);
        QVERIFY2(result.value(QStringLiteral("seconds")).toDouble() >= 1.5, qPrintable(r.describe()));
        for (int i = 0; i + 1 < objects.size(); ++i)
            QVERIFY(objects[i].value(QStringLiteral("time_s")).toDouble() <= 1.5);
    }

    // --csv: a header, then the time since start and the distance.
    void streamCsv()
    {
        const Run r = runCtl({"stream", "--csv", "-p", device, "--count", "20"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        const QStringList lines = r.outLines();
        QCOMPARE(lines.size(), 21);
        QCOMPARE(lines.first(), QStringLiteral("time_s,distance_m"));
        double previous = 0;
        for (int i = 1; i < lines.size(); ++i) {
            const QStringList cells = lines[i].split(QLatin1Char(','));
            QCOMPARE(cells.size(), 2);
            bool ok = false;
            const double t = cells[0].toDouble(&ok);
            QVERIFY(ok);
            QVERIFY(t >= previous);
            previous = t;
            QCOMPARE(cells[1], QStringLiteral("12.34"));
        }
    }

    // A stream or a transfer stopped by SIGINT or SIGTERM: exit 130, one
    // result, the port released (the next run opens it).
    void interrupted_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("sig");
        QTest::addColumn<bool>("json");
        QTest::newRow("stream, SIGINT") << "stream" << SIGINT << false;
        QTest::newRow("stream, SIGTERM, json") << "stream" << SIGTERM << true;
        QTest::newRow("record, SIGINT") << "record" << SIGINT << false;
        QTest::newRow("upgrade, SIGINT") << "upgrade" << SIGINT << false;
        QTest::newRow("upgrade, SIGTERM, json") << "upgrade" << SIGTERM << true;
    }

    void interrupted()
    {
        QFETCH(QString, command);
        QFETCH(int, sig);
        QFETCH(bool, json);

        QStringList args{command, "-p", device};
        const QString record = scratch.filePath(QStringLiteral("interrupted-%1.txt").arg(sig));
        QFile::remove(record);
        if (command == QLatin1String("record"))
            args << record;
        if (command == QLatin1String("upgrade")) {
            // 65535 CAN frames: far longer than the test waits.
            args << QStringLiteral("--can") << writeImage(QStringLiteral("long.bin"), 131070);
        }
        if (json)
            args << QStringLiteral("--json");

        QProcess p;
        startCtl(p, args);
        QVERIFY(p.waitForStarted(10000));
        QByteArray out;
        if (command == QLatin1String("upgrade")) {
            QVERIFY(sensor->waitForUpgradeFrames(50, 20000));
        } else if (command == QLatin1String("record")) {
            QVERIFY(QTest::qWaitFor([&] { return QFileInfo(record).size() >= 5 * 6; }, 20000));
        } else {
            QVERIFY(QTest::qWaitFor([&] {
                out += p.readAllStandardOutput();
                return out.count('\n') >= 5;
            }, 20000));
        }
        QCOMPARE(::kill(pid_t(p.processId()), sig), 0);
        QVERIFY(p.waitForFinished(10000));
        out += p.readAllStandardOutput();
        const QByteArray err = p.readAllStandardError();
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 130);

        const QStringList lines = QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (json) {
            // The result is the last object; before it only readings.
            QJsonParseError e;
            const QJsonObject last = QJsonDocument::fromJson(lines.last().toUtf8(), &e).object();
            QCOMPARE(e.error, QJsonParseError::NoError);
            QCOMPARE(last.value(QStringLiteral("command")).toString(), command);
            QCOMPARE(last.value(QStringLiteral("exit")).toInt(), 130);
            QCOMPARE(last.value(QStringLiteral("ok")).toBool(true), false);
            for (int i = 0; i < lines.size() - 1; ++i)
                QVERIFY2(lines[i].contains(QLatin1String("distance_m")), qPrintable(lines[i]));
        } else if (command == QLatin1String("stream")) {
            // Every line a distance; the one result on standard error.
            QVector<uint16_t> cm;
            QString bad;
            QVERIFY2(distancesOf(lines, cm, bad), qPrintable(bad));
            QCOMPARE(err, QStringLiteral("zn84ctl: interrupted after %1 distances\n").arg(lines.size()).toUtf8());
        } else if (command == QLatin1String("record")) {
            QCOMPARE(lines.size(), 1);
            QVERIFY2(lines.first().contains(QLatin1String("(interrupted)")), qPrintable(lines.first()));
            QFile f(record);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString content = QString::fromUtf8(f.readAll());
            const int n = content.count(QLatin1Char('\n'));
            QVERIFY(lines.first().startsWith(QString::number(n) + QLatin1Char(' ')));
        } else {
            QCOMPARE(lines.size(), 0);
            QCOMPARE(err.count("transfer interrupted"), 1);
        }
        if (command == QLatin1String("upgrade"))
            QVERIFY(sensor->upgradeFramesReceived() < 65536);

        // Released: the next program opens the port and is answered.
        const Run next = runCtl({"get", "version", "-p", device});
        QVERIFY2(next.exitCode == 0, qPrintable(next.describe()));
        QCOMPARE(next.out, QByteArray("3.2.1\n"));
    }

    // A transfer that completes: the sensor holds the image, progress on
    // standard error as plain lines (not a terminal), one result.
    void upgradeTransfersTheImage_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("can");
        QTest::addColumn<int>("frames");
        QTest::newRow("serial") << 1000 << false << 5;
        QTest::newRow("CAN") << 999 << true << 500;
    }

    void upgradeTransfersTheImage()
    {
        QFETCH(int, size);
        QFETCH(bool, can);
        QFETCH(int, frames);
        const QString image = writeImage(QStringLiteral("image-%1.bin").arg(size), size);
        QStringList args{"upgrade", "--json", "-p", device, image};
        if (can)
            args << QStringLiteral("--can");
        const Run r = runCtl(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        const QList<QJsonObject> objects = jsonLines(r);
        QCOMPARE(objects.size(), 1);
        QCOMPARE(objects.first().value(QStringLiteral("ok")).toBool(), true);
        QCOMPARE(objects.first().value(QStringLiteral("frames")).toInt(), frames);
        QCOMPARE(objects.first().value(QStringLiteral("bytes")).toInt(), size);
        QFile f(image);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(QTest::qWaitFor([&] { return sensor->upgradeFramesReceived() == frames + 1; }, 15000));
        QCOMPARE(bytesOf(sensor->upgradeImage()), f.readAll());
        const QStringList progress = QString::fromUtf8(r.err).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last(), QStringLiteral("upgrade: 100%"));
    }

    // On a terminal the transfer's progress is one bar redrawn in place.
    void upgradeProgressBarOnATerminal()
    {
        const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
        if (script.isEmpty())
            QSKIP("needs script(1) to give the program a terminal");
        const QString image = writeImage(QStringLiteral("tty.bin"), 5000);
        const QString command = QStringLiteral("%1 upgrade -p %2 %3").arg(ctlProgram(), device, image);
        QProcess p;
        p.setProcessEnvironment(cleanEnvironment());
        p.start(script, {"-qec", command, "/dev/null"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        const QString screen = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(screen.contains(QStringLiteral("\rupgrade [")), qPrintable(screen));
        QVERIFY2(screen.contains(QStringLiteral("] 100%\r\n")), qPrintable(screen));
        // No progress lines of the plain kind.
        QVERIFY2(!screen.contains(QStringLiteral("upgrade: 100%")), qPrintable(screen));
        QVERIFY2(screen.contains(QStringLiteral("upgrade: ok")), qPrintable(screen));
    }

    // The help names every command and every exit code.
    void helpListsCommandsAndExitCodes()
    {
        const Run r = runCtl({"--help"});
        QCOMPARE(r.exitCode, 0);
        const QString text = QString::fromUtf8(r.out);
        for (const char *c : {"ports", "find", "info", "get", "set", "reset", "factory-restore", "save", "stream",
                              "record", "measure", "spectrum", "capture", "upgrade", "modbus", "publish"}) {
            QVERIFY2(text.contains(QStringLiteral("\n  %1 ").arg(QLatin1String(c))), c);
            const Run sub = runCtl({c, "--help"});
            QVERIFY2(sub.exitCode == 0 && sub.out.startsWith("Usage: zn84ctl " + QByteArray(c)), c);
        }
        for (const char *code : {"  0 ", "  1 ", "  2 ", "  3 ", "  4 ", "  5 ", "  6 ", "  7 ", "  130 "})
            QVERIFY2(text.contains(QLatin1String(code)), code);
    }

    // measure's report: the keys of the contract and their values in metres
    // for a sensor at 12.34 m, in JSON and as text.
    void measureReport_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QJsonObject>("want");
        const QJsonValue null(QJsonValue::Null);
        const QJsonObject plain{{"command", "measure"}, {"samples", 50}, {"min", 12.34}, {"max", 12.34},
                                {"p2p", 0}, {"mean", 12.34}, {"std", 0}};
        QTest::newRow("no limits") << QStringList{} << plain;
        QJsonObject judged = plain;
        judged.insert(QStringLiteral("ok"), 50);
        for (const char *k : {"above", "below", "violations"})
            judged.insert(QLatin1String(k), 0);
        judged.insert(QStringLiteral("cp"), null);
        judged.insert(QStringLiteral("cpk"), null);
        QTest::newRow("within the limits") << QStringList{"--limits", "12:12.5", "--hysteresis", "0.01"} << judged;
        QJsonObject out = judged;
        out.insert(QStringLiteral("ok"), 0);
        out.insert(QStringLiteral("below"), 50);
        out.insert(QStringLiteral("violations"), 1);
        QTest::newRow("all below") << QStringList{"--limits", "12.5:13"} << out;
        QJsonObject zeroed = plain;
        for (const char *k : {"min", "max", "mean"})
            zeroed.insert(QLatin1String(k), 0.34);
        QTest::newRow("zero at 12 m") << QStringList{"--zero", "12"} << zeroed;
        QTest::newRow("averaged") << QStringList{"--filter", "avg:16"} << plain;
    }

    void measureReport()
    {
        QFETCH(QStringList, args);
        QFETCH(QJsonObject, want);
        for (const bool json : {true, false}) {
            QStringList cli = QStringList{"measure", "-p", device, "--samples", "50"} + args;
            if (json)
                cli << QStringLiteral("--json");
            const Run r = runCtl(cli);
            const int code = want.value(QStringLiteral("below")).toInt() > 0 ? 5 : 0;
            QVERIFY2(r.exitCode == code, qPrintable(r.describe()));
            QJsonObject got;
            if (json) {
                const QList<QJsonObject> objects = jsonLines(r);
                QCOMPARE(objects.size(), 1);
                got = objects.first();
            } else {
                got.insert(QStringLiteral("command"), QStringLiteral("measure"));
                for (const QString &line : r.outLines()) {
                    const QStringList kv = line.split(QLatin1Char(' '));
                    QCOMPARE(kv.size(), 2);
                    got.insert(kv[0], kv[1] == QLatin1String("n/a") ? QJsonValue() : QJsonValue(kv[1].toDouble()));
                }
            }
            QStringList gotKeys = got.keys(), wantKeys = want.keys();
            gotKeys.sort();
            wantKeys.sort();
            QCOMPARE(gotKeys, wantKeys);
            for (const QString &key : want.keys()) {
                const QJsonValue w = want.value(key), g = got.value(key);
                if (w.isDouble())
                    QVERIFY2(g.isDouble() && std::fabs(g.toDouble() - w.toDouble()) < 1e-9,
                             qPrintable(key + QStringLiteral(": ") + r.describe()));
                else
                    QVERIFY2(g == w, qPrintable(key + QStringLiteral(": ") + r.describe()));
            }
        }
    }

    // At the top rate a spike every 37 frames falls between the points a
    // chart plots (one in a hundred); measure judges every frame and counts
    // each spike, once.
    void measureCountsEverySpike_data()
    {
        QTest::addColumn<int>("offsetCm");
        QTest::newRow("spikes above") << 100;
        QTest::newRow("spikes below") << -300;
    }

    void measureCountsEverySpike()
    {
        QFETCH(int, offsetCm);
        const int every = 37;
        const int samples = every * 300;
        sensor->setRate(11111);
        sensor->setFrameLog(true);
        sensor->setSpikes(every, offsetCm);
        const Run r = runCtl({"measure", "--json", "-p", device, "--samples", QString::number(samples), "--limits",
                              "12.00:13.00", "--hysteresis", "0.05"});
        QVERIFY2(r.exitCode == 5, qPrintable(r.describe()));
        const QList<QJsonObject> objects = jsonLines(r);
        QCOMPARE(objects.size(), 1);
        const QJsonObject o = objects.first();
        QCOMPARE(o.value(QStringLiteral("samples")).toInt(), samples);

        // The measured frames are `samples` neighbours on the line. Without a
        // frame the sensor dropped, every such run holds samples / every
        // spikes; a drop (a loaded machine) widens the range by its count.
        const std::vector<uint16_t> line = sensor->frameLog();
        QVERIFY(int(line.size()) >= samples);
        int lo = samples, hi = 0, inRun = 0;
        for (size_t i = 0; i < line.size(); ++i) {
            inRun += line[i] != 1234;
            if (i >= size_t(samples))
                inRun -= line[i - size_t(samples)] != 1234;
            if (i + 1 >= size_t(samples)) {
                lo = std::min(lo, inRun);
                hi = std::max(hi, inRun);
            }
        }
        if (sensor->dropLog().empty())
            QCOMPARE(lo, samples / every);
        const int spikes = o.value(QLatin1String(offsetCm > 0 ? "above" : "below")).toInt();
        const int other = o.value(QLatin1String(offsetCm > 0 ? "below" : "above")).toInt();
        QCOMPARE(other, 0);
        QVERIFY2(spikes >= lo && spikes <= hi,
                 qPrintable(QStringLiteral("%1 counted, %2..%3 on the line").arg(spikes).arg(lo).arg(hi)));
        QCOMPARE(o.value(QStringLiteral("violations")).toInt(), spikes);
        QCOMPARE(o.value(QStringLiteral("ok")).toInt(), samples - spikes);
        QCOMPARE(o.value(QStringLiteral("max")).toDouble(), offsetCm > 0 ? 13.34 : 12.34);
        QCOMPARE(o.value(QStringLiteral("min")).toDouble(), offsetCm > 0 ? 12.34 : 9.34);
    }


    // The spectrum of the simulator's vibration: the largest peak within one
    // bin of its frequency; with the flat-top window its amplitude within
    // 2 %. Amplitudes of many centimetres keep the rounding of the distance
    // to whole centimetres far below that.
    void spectrumOfTheVibration_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("samples");
        QTest::addColumn<double>("hz");
        QTest::addColumn<double>("amplitudeCm");
        QTest::addColumn<QString>("window");
        QTest::addColumn<bool>("csv");
        QTest::newRow("1000/s, 4096, flat top") << 1000 << 4096 << 37.3 << 20.0 << "flat-top" << false;
        QTest::newRow("11111/s, 65536, flat top") << 11111 << 65536 << 120.3 << 12.0 << "flat-top" << false;
        QTest::newRow("11111/s, 16384, flat top, csv") << 11111 << 16384 << 120.3 << 12.0 << "flat-top" << true;
        QTest::newRow("1000/s, 1024, hann") << 1000 << 1024 << 97.3 << 10.0 << "hann" << false;
    }

    void spectrumOfTheVibration()
    {
        QFETCH(int, rate);
        QFETCH(int, samples);
        QFETCH(double, hz);
        QFETCH(double, amplitudeCm);
        QFETCH(QString, window);
        QFETCH(bool, csv);
        sensor->setDistanceCm(300);
        sensor->setVibration(hz, amplitudeCm);
        sensor->setRate(rate);
        const Run r = runCtl({"spectrum", "-p", device, "--samples", QString::number(samples), "--window", window,
                              csv ? "--csv" : "--json"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        const bool flatTop = window == QLatin1String("flat-top");
        // A simulator that stalled or dropped frames (a loaded machine) put
        // fewer frames on the line in that host time than its rate: the rate
        // measured is then lower, and only that is checked.
        const bool steady = sensor->stalledSeconds() == 0 && sensor->framesDropped() == 0;
        // The frame rate is measured on the host's clock, within a per cent
        // on a loaded machine; the peak stands in the vibration's own bin
        // of the sensor's frames, whatever that measure.
        if (csv) {
            const QStringList lines = r.outLines();
            QCOMPARE(lines.first(), QStringLiteral("hz,amplitude_m"));
            QCOMPARE(lines.size(), 1 + samples / 2 + 1);
            double bestHz = 0, best = -1, binHz = 0;
            for (int k = 1; k < lines.size(); ++k) {
                const QStringList f = lines[k].split(QLatin1Char(','));
                QCOMPARE(f.size(), 2);
                if (k == 2)
                    binHz = f[0].toDouble();
                if (f[1].toDouble() > best) {
                    best = f[1].toDouble();
                    bestHz = f[0].toDouble();
                }
            }
            QCOMPARE(lines[1].split(QLatin1Char(',')).first().toDouble(), 0.0);
            if (steady)
                QVERIFY2(std::abs(binHz * samples - rate) < rate * 0.01, qPrintable(QString::number(binHz)));
            else
                QVERIFY2(binHz * samples < rate * 1.01, qPrintable(QString::number(binHz)));
            QVERIFY2(std::abs(bestHz / binHz - hz * samples / rate) <= 1.0, qPrintable(QString::number(bestHz)));
            QVERIFY2(std::abs(best - amplitudeCm / 100) <= 0.02 * amplitudeCm / 100, qPrintable(QString::number(best)));
            return;
        }
        const QJsonObject o = QJsonDocument::fromJson(r.out).object();
        const double measured = o.value(QStringLiteral("rate")).toDouble();
        const double binHz = o.value(QStringLiteral("bin_hz")).toDouble();
        if (steady)
            QVERIFY2(std::abs(measured - rate) < rate * 0.01, qPrintable(r.describe()));
        else
            QVERIFY2(measured < rate * 1.01 && measured > 0, qPrintable(r.describe()));
        QVERIFY2(std::abs(binHz * samples - measured) < 1e-6 * measured, qPrintable(r.describe()));
        const QJsonArray peaks = o.value(QStringLiteral("peaks")).toArray();
        // Five, unless the spectrum has fewer local maxima.
        QVERIFY2(!peaks.isEmpty() && peaks.size() <= 5, qPrintable(r.describe()));
        for (int i = 1; i < peaks.size(); ++i)
            QVERIFY(peaks[i - 1].toObject().value(QStringLiteral("amplitude_m")).toDouble()
                    >= peaks[i].toObject().value(QStringLiteral("amplitude_m")).toDouble());
        const QJsonObject top = peaks.first().toObject();
        QVERIFY2(std::abs(top.value(QStringLiteral("hz")).toDouble() / binHz - hz * samples / rate) <= 1.0,
                 qPrintable(r.describe()));
        const double amplitude = top.value(QStringLiteral("amplitude_m")).toDouble();
        const double tolerance = flatTop ? 0.02 : 0.16; // Hann loses up to 15 % between bins
        QVERIFY2(std::abs(amplitude - amplitudeCm / 100) <= tolerance * amplitudeCm / 100, qPrintable(r.describe()));
    }

    // A capture at the sensor's fastest rate: the trigger sample is the first
    // crossing after the pre part, N + 1 + M rows, consecutive samples.
    void captureIsExact_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<int>("pre");
        QTest::addColumn<int>("post");
        // A distance that counts up a centimetre a frame from 1.00 m: each
        // row must be its predecessor plus one, and the trigger is exact.
        QTest::addColumn<bool>("counting");
        QTest::newRow("counting, rising:30") << "rising:30" << 1000 << 2000 << true;
        QTest::newRow("counting, rising:30.005, long pre") << "rising:30.005" << 2500 << 100 << true;
        QTest::newRow("vibration, rising:3.1") << "rising:3.1" << 11111 << 22222 << false;
        QTest::newRow("vibration, falling:2.9") << "falling:2.9" << 500 << 500 << false;
        QTest::newRow("vibration, either:3.0, no post") << "either:3.0" << 3000 << 0 << false;
    }

    void captureIsExact()
    {
        QFETCH(QString, trigger);
        QFETCH(int, pre);
        QFETCH(int, post);
        QFETCH(bool, counting);
        // 1234.5 Hz of 50 cm about 3 m: about nine frames a period, so a
        // missing frame breaks the sine's recurrence by tens of centimetres.
        const double hz = 1234.5, rate = 11111;
        sensor->setDistanceCm(300);
        sensor->setVibration(hz, 50);
        if (counting)
            sensor->setCountingDistance(100);
        sensor->setFrameLog(true);
        sensor->setRate(int(rate));
        const QString file = scratch.filePath(QStringLiteral("capture-%1-%2.csv").arg(trigger).arg(pre));
        QFile::remove(file);
        const Run r = runCtl({"capture", "-p", device, "--trigger", trigger, "--pre", QString::number(pre), "--post",
                              QString::number(post), "--timeout", "30", "-o", file, "--json"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.takeLast(), QString());
        QCOMPARE(lines.takeFirst(), QStringLiteral("index,time_s,distance_m"));
        QCOMPARE(lines.size(), pre + 1 + post);
        QVector<int> cm;
        QVector<uint16_t> read;
        double lastTime = -1e9;
        for (int i = 0; i < lines.size(); ++i) {
            const QStringList fields = lines[i].split(QLatin1Char(','));
            QCOMPARE(fields.size(), 3);
            QCOMPARE(fields[0].toInt(), i - pre);
            const double t = fields[1].toDouble();
            QVERIFY2(t >= lastTime, qPrintable(lines[i]));
            lastTime = t;
            cm.append(int(std::lround(fields[2].toDouble() * 100)));
            read.append(uint16_t(cm.last()));
        }
        QCOMPARE(lines[pre].split(QLatin1Char(','))[1].toDouble(), 0.0);
        const QJsonObject o = QJsonDocument::fromJson(r.out).object();
        QCOMPARE(o.value(QStringLiteral("rows")).toInt(), pre + 1 + post);
        QVERIFY(o.value(QStringLiteral("trigger_sample")).toDouble() >= pre);

        const QString edge = trigger.section(QLatin1Char(':'), 0, 0);
        const double levelCm = trigger.section(QLatin1Char(':'), 1).toDouble() * 100;
        const int before = cm[pre - 1], at = cm[pre];
        const bool rising = before < levelCm && at >= levelCm;
        const bool falling = before > levelCm && at <= levelCm;
        QVERIFY2(edge == QLatin1String("rising") ? rising : edge == QLatin1String("falling") ? falling
                                                                                           : rising || falling,
                 qPrintable(QStringLiteral("%1 then %2").arg(before).arg(at)));
        // The rows are what the line carried, in order, none left out.
        // The sensor goes on streaming: its numbers, taken after the log, hold
        // the log's and maybe more.
        const std::vector<uint16_t> sent = sensor->frameLog();
        const std::vector<uint64_t> numbers = sensor->frameNumbers();
        QVERIFY(numbers.size() >= sent.size());
        const long start = runStart(read, sent);
        QVERIFY2(start >= 0, qPrintable(QStringLiteral("%1 frames sent, %2 dropped by the sensor")
                                            .arg(sent.size()).arg(sensor->framesDropped())));
        // The simulator drops frames (and numbers them) when a slow reader
        // leaves its backlog full: they never reach the line, and the signal
        // goes on over them. Rows k-1 and k are neighbours on the sensor's
        // side only where their frame numbers follow each other.
        const auto follows = [&](int k) { return numbers[size_t(start + k)] == numbers[size_t(start + k - 1)] + 1; };
        int gaps = 0;
        for (int k = 1; k < cm.size(); ++k)
            gaps += follows(k) ? 0 : 1;
        if (gaps > 0)
            qInfo("the sensor dropped frames at %d places within the capture", gaps);
        if (counting) {
            // The first crossing of the count, whole and unbroken.
            if (gaps == 0)
                QCOMPARE(at, int(std::ceil(levelCm)));
            for (int i = 1; i < cm.size(); ++i) {
                if (follows(i))
                    QCOMPARE(cm[i], cm[i - 1] + 1);
            }
            return;
        }
        // No frame missing: x[k-1] + x[k+1] = 2 cos(w) x[k] about 3 m, within
        // the rounding.
        const double c = 2 * std::cos(2 * M_PI * hz / rate);
        for (int k = 1; k + 1 < cm.size(); ++k) {
            if (!follows(k) || !follows(k + 1))
                continue;
            const double miss = std::abs((cm[k - 1] - 300) + (cm[k + 1] - 300) - c * (cm[k] - 300));
            QVERIFY2(miss <= 1.0 + std::abs(c) * 0.5 + 1e-9, qPrintable(QStringLiteral("row %1: %2").arg(k - pre).arg(miss)));
        }
    }

    // find listens and reports where the sensor streams; a silent line is
    // no sensor (exit 3). Only the test's own port is listened to.
    void findListensOnly_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("streaming") << Setup::Streaming << "%DEV%" << 0;
        QTest::newRow("paused") << Setup::Paused << "%DEV%" << 3;
        QTest::newRow("the port asked for is missing") << Setup::Streaming << "/dev/zn84-no-such-port" << 2;
    }

    void findListensOnly()
    {
        QFETCH(Setup, setup);
        QFETCH(QString, port);
        QFETCH(int, exitCode);
        QSerialPort unused;
        setUp(setup, unused);
        sensor->clearReceived();
        port.replace(QStringLiteral("%DEV%"), device);
        const Run r = runCtl({"find", "-p", port, "-b", "115200", "--timeout", "0.5"});
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.describe()));
        if (exitCode == 0)
            QCOMPARE(r.outLines(), QStringList{device + QStringLiteral(" 115200")});
        QCOMPARE(receivedBeforeMarker(*sensor), QByteArray());
    }
};

QTEST_MAIN(tst_zn84ctl)
#include "tst_zn84ctl.moc"
