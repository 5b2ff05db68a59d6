// SPDX-License-Identifier: GPL-3.0-or-later
// Operator input at the limits: very long texts in every line edit, and
// numbers that do not fit 32 bits. The handlers must come back, must never put
// a malformed frame on the line, and must refuse a number that does not fit
// (the warning box, nothing sent), never send some value wrapped from its
// digits.

#include "fault_fixture.h"
#include "command_frame.h"
#include "modbus_frame.h"
#include "testutil.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>

#include <iterator>

using fault::FaultWindow;

namespace {

constexpr qint64 kBoundMs = 4000 + 3000;   // an acknowledged command, plus margin

QString T(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

// Every byte the viewer wrote is part of a well-formed command frame or
// Modbus request, one after the other.
bool wellFormed(const QByteArray &bytes, QString *why)
{
    int i = 0;
    while (i < bytes.size()) {
        const uint8_t first = uint8_t(bytes[i]);
        if (first == commandframe::kHeader && i + 1 < bytes.size()) {
            const int len = uint8_t(bytes[i + 1]);
            if (len >= 4 && i + len <= bytes.size() && commandframe::isValidFrame(bytes.mid(i, len))) {
                i += len;
                continue;
            }
        }
        if (i + 8 <= bytes.size() && modbusframe::replyCrcOk(bytes.mid(i, 8))) {
            i += 8;
            continue;
        }
        *why = QStringLiteral("malformed at %1: %2").arg(i).arg(QString::fromLatin1(bytes.mid(i, 16).toHex()));
        return false;
    }
    return true;
}

struct Field {
    const char *edit;
    const char *button;   // nullptr: the edit acts on editingFinished
    const char *partner;  // a second edit the button reads, filled with a good value
};

const Field kFields[] = {
    {"lineEdit_can_snd_id", "pushButton_can_snd_id", nullptr},
    {"lineEdit_can_rcv_id", "pushButton_can_rcv_id", nullptr},
    {"lineEdit_ofs_config", "pushButton_ofs_config", nullptr},
    {"lineEdit_IO_delay_near", "pushButton_IO_delay", "lineEdit_IO_delay_far"},
    {"lineEdit_IO_delay_far", "pushButton_IO_delay", "lineEdit_IO_delay_near"},
    {"lineEdit_dist_threshold", "pushButton_dist_threshold", "lineEdit_dist_buffer"},
    {"lineEdit_dist_buffer", "pushButton_dist_threshold", "lineEdit_dist_threshold"},
    {"lineEdit_mb_fps", "pushButton_mb_set_fps", nullptr},
    {"timeRangeEdit", nullptr, nullptr},
    {"lineEdit_image_full_path", "pushButton_upgrade", nullptr},
};

// The frames the window must write, built here from the protocols' rules
// (not by the product's own builders).
QByteArray le(uint32_t v, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
    return out;
}

// The sensor's own frames: 5A, length, command, payload, sum of the bytes.
QByteArray sensorFrame(uint8_t command, const QByteArray &payload)
{
    QByteArray f;
    f.append(char(0x5A)).append(char(4 + payload.size())).append(char(command)).append(payload);
    unsigned sum = 0;
    for (char c : f)
        sum += uint8_t(c);
    return f.append(char(sum & 0xFF));
}

// A Modbus RTU register write (function 06) with its CRC, low byte first.
QByteArray modbusWrite(uint8_t address, uint16_t reg, uint16_t value)
{
    QByteArray f;
    f.append(char(address)).append(char(0x06)).append(char(reg >> 8)).append(char(reg & 0xFF))
        .append(char(value >> 8)).append(char(value & 0xFF));
    uint16_t crc = 0xFFFF;
    for (char c : f) {
        crc ^= uint8_t(c);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return f.append(char(crc & 0xFF)).append(char(crc >> 8));
}

} // namespace

class tst_fault_input : public QObject
{
    Q_OBJECT

private:
    FaultWindow fw;

    QLineEdit *edit(const char *name) const { return fw.window->findChild<QLineEdit *>(QLatin1String(name)); }

    // Types into a line edit, an editable list or a spin box (key by key).
    void typeInto(const QString &name, const QString &value)
    {
        QWidget *w = fw.window->findChild<QWidget *>(name);
        QVERIFY2(w, qPrintable(name));
        if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            edit->setMaxLength(qMax(edit->maxLength(), value.size() + 1));
            edit->setText(value);
            QCOMPARE(edit->text(), value);
        } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
            combo->lineEdit()->setMaxLength(qMax(combo->lineEdit()->maxLength(), value.size() + 1));
            combo->setEditText(value);
            QCOMPARE(combo->currentText(), value);
        } else if (auto *spin = qobject_cast<QSpinBox *>(w)) {
            spin->selectAll();
            QTest::keyClicks(spin, value);
        } else {
            QFAIL(qPrintable(name + " is no input field"));
        }
    }

    // Fills the field, runs its handler and returns the warning boxes shown.
    QStringList enter(const Field &field, const QString &text, qint64 *took)
    {
        fw.sensor.clearReceived();
        fw.ui()->statusBar->showMessage(QStringLiteral("before"), 0);
        if (field.partner)
            edit(field.partner)->setText(QStringLiteral("100"));
        QLineEdit *e = edit(field.edit);
        e->setText(text);
        // The handler runs on a quiet line: frames around an acknowledgement
        // could make the command go out twice (the protocol's two reads),
        // and the bytes of two entries are compared.
        fw.sensor.pauseStream(true);
        if (!fw.lineDrained())
            return QStringList{QStringLiteral("frames still on the way")};
        ModalCatcher catcher;
        QElapsedTimer t;
        t.start();
        if (field.button)
            fw.button(QLatin1String(field.button))->click();
        else
            emit e->editingFinished();
        *took = t.elapsed();
        fw.sensor.pauseStream(false);
        // A box opened by what the handler left queued is caught too: run
        // it, and wait until no box is open any more.
        QCoreApplication::processEvents();
        if (!QTest::qWaitFor([] { return !QApplication::activeModalWidget(); }, 5000))
            return QStringList{QStringLiteral("a box that nobody could close")};
        return catcher.texts;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(fw.open(100));
        // A batch for every other frame: the stream is seen flowing at once.
        fw.window->findChild<QSpinBox *>(QStringLiteral("spinBox_dist_num"))->setValue(1);
        QCOMPARE(fw.worker()->getDistNum(), 1);
        fw.sensor.setModbusEnabled(true);
        fw.sensor.setStreamInModbus(true);
    }
    void cleanupTestCase() { fw.close(); }

    void longTexts_data();
    void longTexts();
    void numbersBeyond32Bits_data();
    void numbersBeyond32Bits();
    void everyField_data();
    void everyField();
    void refusalSaysWhy_data();
    void refusalSaysWhy();
};

void tst_fault_input::longTexts_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");

    const QString digits(40000, QLatin1Char('9'));
    const QString letters(40000, QLatin1Char('a'));
    QString mixed;
    for (int i = 0; i < 8000; ++i)
        mixed += QString::fromUtf8("测-\xF0\x9F\x98\x80 ");   // CJK, sign, emoji, space
    for (int f = 0; f < int(std::size(kFields)); ++f) {
        const QByteArray name = kFields[f].edit;
        QTest::newRow((name + " digits").constData()) << f << digits;
        QTest::newRow((name + " negative digits").constData()) << f << (QLatin1Char('-') + digits);
        QTest::newRow((name + " letters").constData()) << f << letters;
        QTest::newRow((name + " mixed").constData()) << f << mixed;
    }
}

void tst_fault_input::longTexts()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    const Field &fd = kFields[field];

    qint64 took = 0;
    const QStringList boxes = enter(fd, text, &took);
    QVERIFY2(took < kBoundMs, qPrintable(QStringLiteral("handler took %1 ms").arg(took)));
    // The field keeps at most its maximum length; nothing overflowed.
    QVERIFY(edit(fd.edit)->text().size() <= edit(fd.edit)->maxLength());

    if (QLatin1String(fd.edit) == QLatin1String("lineEdit_image_full_path")) {
        // No such file: one failure, with its reason, and nothing sent.
        QTRY_VERIFY_WITH_TIMEOUT(fw.status().startsWith(T("升级失败！")), 15000);
        QVERIFY(fw.status().size() > T("升级失败！").size());
        QCOMPARE(fw.sensor.upgradeFramesReceived(), 0);
    }
    QString why;
    QVERIFY2(wellFormed(fw.received(), &why), qPrintable(why));
    // The handler said something: a warning box or a status text.
    QVERIFY(!boxes.isEmpty() || fw.status() != QLatin1String("before")
            || QLatin1String(fd.edit) == QLatin1String("timeRangeEdit"));
    QVERIFY(fw.streamFlows(fw.batches->batches.size()));
}

void tst_fault_input::numbersBeyond32Bits_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");

    const char *numbers[] = {"4294967296", "99999999999", "-2147483649", "18446744073709551616"};
    for (int f = 0; f < int(std::size(kFields)); ++f) {
        if (QLatin1String(kFields[f].edit) == QLatin1String("lineEdit_image_full_path"))
            continue;
        for (const char *n : numbers)
            QTest::newRow((QByteArray(kFields[f].edit) + ' ' + n).constData()) << f << QString::fromLatin1(n);
    }
}

void tst_fault_input::numbersBeyond32Bits()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    const Field &fd = kFields[field];

    qint64 took = 0;
    const QStringList boxes = enter(fd, text, &took);
    QVERIFY2(took < kBoundMs, qPrintable(QStringLiteral("handler took %1 ms").arg(took)));

    QString why;
    QVERIFY2(wellFormed(fw.received(), &why), qPrintable(why));
    QVERIFY2(!boxes.isEmpty() || fw.status() != QLatin1String("before"), "handled without a word");
    const QByteArray sent = fw.received();

    // The time window checks its number: one box, and nothing else happens.
    if (!fd.button) {
        QCOMPARE(boxes.size(), 1);
        QVERIFY(sent.isEmpty());
        return;
    }
    // Refused: nothing sent; the sampling rate says its range in the status
    // bar, every other field shows the illegal-input box.
    QCOMPARE(sent.toHex(' '), QByteArray());
    if (QLatin1String(fd.edit) == QLatin1String("lineEdit_mb_fps")) {
        QVERIFY(boxes.isEmpty());
        QCOMPARE(fw.status(), T("采样率设置错误！有效值区间为1~10000！"));
    } else {
        QCOMPARE(boxes, QStringList{T("警告：非法输入!")});
    }
}

// Every field the operator types a number into, with good values, its edges,
// text that is no number, numbers out of its range and blanks: the bytes
// written (exactly, or none) and what the operator is shown (the status,
// the warning box). A field with a partner gets the partner's text too. A
// spin box is typed into key by key: it takes no letters and no digit that
// would leave its range.
void tst_fault_input::everyField_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("partner");
    QTest::addColumn<QString>("partnerText");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("bytes");   // empty: nothing may be written
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("status");     // "before": unchanged

    const QString ok = T("成功！");
    const QStringList none;
    const QStringList illegal{T("警告：非法输入!")};
    const QStringList empty{T("警告：输入不能为空!")};
    const QString before = QStringLiteral("before");
    const QByteArray nothing;
    auto row = [](const QString &tag, const char *field, const QString &text, const char *partner,
                  const QString &partnerText, const char *button, const QByteArray &bytes, const QStringList &boxes,
                  const QString &status) {
        QTest::newRow(qPrintable(tag)) << QString::fromLatin1(field) << text << QString::fromLatin1(partner)
                                       << partnerText << QString::fromLatin1(button) << bytes << boxes << status;
    };
    const QString longDigits(5000, QLatin1Char('9'));

    // The sensor's frame rate (an editable list), 16 bits.
    {
        const char *f = "comboBox_fps_set";
        const char *b = "pushButton_fps";
        const QString done = T("设置帧率") + ok;
        row("frame rate 100", f, "100", "", "", b, hexBytes("5A 06 03 64 00 C7"), none, done);
        row("frame rate 0 (lowest)", f, "0", "", "", b, sensorFrame(0x03, le(0, 2)), none, done);
        row("frame rate 65535 (highest)", f, "65535", "", "", b, sensorFrame(0x03, le(65535, 2)), none, done);
        row("frame rate blanks around", f, " 250 ", "", "", b, sensorFrame(0x03, le(250, 2)), none, done);
        row("frame rate abc", f, "abc", "", "", b, nothing, illegal, before);
        row("frame rate 70000", f, "70000", "", "", b, nothing, illegal, before);
        row("frame rate 65536", f, "65536", "", "", b, nothing, illegal, before);
        row("frame rate -1", f, "-1", "", "", b, nothing, illegal, before);
        row("frame rate 0x10", f, "0x10", "", "", b, nothing, illegal, before);
        row("frame rate 1e3", f, "1e3", "", "", b, nothing, illegal, before);
        row("frame rate empty", f, "", "", "", b, nothing, empty, before);
        row("frame rate long digits", f, longDigits, "", "", b, nothing, illegal, before);
    }
    // The sensor's serial baud rate (an editable list), 32 bits, at least 1.
    {
        const char *f = "comboBox_seri_baud";
        const char *b = "pushButton_baudrate";
        const QString prefix = T("配置波特率");
        row("baud 115200", f, "115200", "", "", b, hexBytes("5A 08 06 00 C2 01 00 2B"), none, prefix + "115200" + ok);
        row("baud 1 (lowest)", f, "1", "", "", b, sensorFrame(0x06, le(1, 4)), none, prefix + "1" + ok);
        row("baud 4294967295 (highest)", f, "4294967295", "", "", b, sensorFrame(0x06, le(0xFFFFFFFFu, 4)), none,
            prefix + "4294967295" + ok);
        row("baud abc", f, "abc", "", "", b, nothing, illegal, before);
        row("baud 0", f, "0", "", "", b, nothing, illegal, before);
        row("baud 4294967296", f, "4294967296", "", "", b, nothing, illegal, before);
        row("baud 9600.5", f, "9600.5", "", "", b, nothing, illegal, before);
        row("baud empty", f, "", "", "", b, nothing, empty, before);
    }
    // CAN identifiers, decimal or 0x hexadecimal, 32 bits.
    for (const auto &can : {std::make_pair("lineEdit_can_rcv_id", "pushButton_can_rcv_id"),
                            std::make_pair("lineEdit_can_snd_id", "pushButton_can_snd_id")}) {
        const bool rcv = QByteArray(can.first).contains("rcv");
        const uint8_t command = rcv ? 0x51 : 0x50;
        const QString done = T(rcv ? "配置CAN接收ID" : "配置CAN发送ID") + ok;
        const QString name = QString::fromLatin1(rcv ? "CAN receive id " : "CAN send id ");
        const char *f = can.first;
        const char *b = can.second;
        row(name + "291", f, "291", "", "", b, sensorFrame(command, le(0x123, 4)), none, done);
        row(name + "0x123", f, "0x123", "", "", b, sensorFrame(command, le(0x123, 4)), none, done);
        row(name + "0X7ff", f, "0X7ff", "", "", b, sensorFrame(command, le(0x7FF, 4)), none, done);
        row(name + "0 (lowest)", f, "0", "", "", b, sensorFrame(command, le(0, 4)), none, done);
        row(name + "0xFFFFFFFF (highest)", f, "0xFFFFFFFF", "", "", b, sensorFrame(command, le(0xFFFFFFFFu, 4)),
            none, done);
        row(name + "4294967295 (highest)", f, "4294967295", "", "", b, sensorFrame(command, le(0xFFFFFFFFu, 4)),
            none, done);
        row(name + "0x100000000", f, "0x100000000", "", "", b, nothing, illegal, before);
        row(name + "4294967296", f, "4294967296", "", "", b, nothing, illegal, before);
        row(name + "123h", f, "123h", "", "", b, nothing, illegal, before);
        row(name + "0x", f, "0x", "", "", b, nothing, illegal, before);
        row(name + "0xG1", f, "0xG1", "", "", b, nothing, illegal, before);
        row(name + "-1", f, "-1", "", "", b, nothing, illegal, before);
        row(name + "blanks only", f, "   ", "", "", b, nothing, empty, before);
    }
    // The distance offset, -32768..32767 cm, negative in two's complement.
    {
        const char *f = "lineEdit_ofs_config";
        const char *b = "pushButton_ofs_config";
        const QString done = T("配置offset") + ok;
        row("offset 10", f, "10", "", "", b, sensorFrame(0x69, le(10, 2)), none, done);
        row("offset -10", f, "-10", "", "", b, hexBytes("5A 06 69 F6 FF BE"), none, done);
        row("offset -32768 (lowest)", f, "-32768", "", "", b, sensorFrame(0x69, le(0x8000, 2)), none, done);
        row("offset 32767 (highest)", f, "32767", "", "", b, sensorFrame(0x69, le(0x7FFF, 2)), none, done);
        row("offset 70000", f, "70000", "", "", b, nothing, illegal, before);
        row("offset 32768", f, "32768", "", "", b, nothing, illegal, before);
        row("offset -32769", f, "-32769", "", "", b, nothing, illegal, before);
        row("offset abc", f, "abc", "", "", b, nothing, illegal, before);
        row("offset 0x10", f, "0x10", "", "", b, nothing, illegal, before);
        row("offset --1", f, "--1", "", "", b, nothing, illegal, before);
        row("offset empty", f, "", "", "", b, nothing, empty, before);
    }
    // Pairs of 16-bit numbers: the IO delays and the IO threshold.
    const struct { const char *first, *second, *button; uint8_t command; const char *status, *name; } pairs[] = {
        {"lineEdit_IO_delay_near", "lineEdit_IO_delay_far", "pushButton_IO_delay", 0x62, "配置IO delay", "delay"},
        {"lineEdit_dist_threshold", "lineEdit_dist_buffer", "pushButton_dist_threshold", 0x63, "配置IO dist阈值",
         "threshold"},
    };
    for (const auto &p : pairs) {
        const QString done = T(p.status) + ok;
        const QString name = QString::fromLatin1(p.name);
        auto both = [](uint32_t a, uint32_t b) { return le(a, 2) + le(b, 2); };
        row(name + " 100 200", p.first, "100", p.second, "200", p.button, sensorFrame(p.command, both(100, 200)),
            none, done);
        row(name + " 0 0 (lowest)", p.first, "0", p.second, "0", p.button, sensorFrame(p.command, both(0, 0)), none,
            done);
        row(name + " 65535 65535 (highest)", p.first, "65535", p.second, "65535", p.button,
            sensorFrame(p.command, both(65535, 65535)), none, done);
        row(name + " first 65536", p.first, "65536", p.second, "1", p.button, nothing, illegal, before);
        row(name + " second 65536", p.first, "1", p.second, "65536", p.button, nothing, illegal, before);
        row(name + " first abc", p.first, "abc", p.second, "1", p.button, nothing, illegal, before);
        row(name + " second -1", p.first, "1", p.second, "-1", p.button, nothing, illegal, before);
        row(name + " first empty", p.first, "", p.second, "1", p.button, nothing, empty, before);
        row(name + " second empty", p.first, "1", p.second, "", p.button, nothing, empty, before);
    }
    // Modbus sampling rate 1..10000: refused in the status bar with its range.
    {
        const char *f = "lineEdit_mb_fps";
        const char *b = "pushButton_mb_set_fps";
        const QString done = T("设置采样频率") + ok;
        const QString range = T("采样率设置错误！有效值区间为1~10000！");
        row("sampling 100", f, "100", "", "", b, hexBytes("01 06 00 86 00 64 69 C8"), none, done);
        row("sampling 1 (lowest)", f, "1", "", "", b, modbusWrite(1, 0x86, 1), none, done);
        row("sampling 10000 (highest)", f, "10000", "", "", b, modbusWrite(1, 0x86, 10000), none, done);
        row("sampling 0", f, "0", "", "", b, nothing, none, range);
        row("sampling 10001", f, "10001", "", "", b, nothing, none, range);
        row("sampling abc", f, "abc", "", "", b, nothing, none, range);
        row("sampling empty", f, "", "", "", b, nothing, none, range);
    }
    // Modbus baud rate (an editable list): two registers, high half first.
    {
        const char *f = "comboBox_seri_baud_2";
        const char *b = "pushButton_mb_baudrate_config";
        const QString prefix = T("设置串口波特率");
        auto baud = [](uint32_t v) { return modbusWrite(1, 0x83, uint16_t(v >> 16)) + modbusWrite(1, 0x84, uint16_t(v)); };
        row("modbus baud 115200", f, "115200", "", "", b, baud(115200), none, prefix + "115200" + ok);
        row("modbus baud 1 (lowest)", f, "1", "", "", b, baud(1), none, prefix + "1" + ok);
        row("modbus baud 4294967295 (highest)", f, "4294967295", "", "", b, baud(0xFFFFFFFFu), none,
            prefix + "4294967295" + ok);
        row("modbus baud abc", f, "abc", "", "", b, nothing, illegal, before);
        row("modbus baud 0", f, "0", "", "", b, nothing, illegal, before);
        row("modbus baud 4294967296", f, "4294967296", "", "", b, nothing, illegal, before);
        row("modbus baud empty", f, "", "", "", b, nothing, empty, before);
    }
    // Spin boxes: the device address Modbus goes to (0..247), the new
    // address (1..247), the address set in the sensor's own protocol
    // (1..247). Each starts at 1.
    {
        const char *f = "spinBox_mb_dev_addr_2";
        const char *b = "pushButton_mb_addr_config";
        const QString prefix = T("配置modbus地址");
        row("new address 247 (highest)", f, "247", "", "", b, modbusWrite(1, 0x85, 247), none, prefix + "247" + ok);
        row("new address 1 (lowest)", f, "1", "", "", b, modbusWrite(1, 0x85, 1), none, prefix + "1" + ok);
        row("new address 300 takes no third digit", f, "300", "", "", b, modbusWrite(1, 0x85, 30), none,
            prefix + "30" + ok);
        row("new address abc takes no letters", f, "abc", "", "", b, modbusWrite(1, 0x85, 1), none,
            prefix + "1" + ok);
    }
    {
        const char *f = "spinBox_mb_dev_addr_3";
        const char *b = "pushButton_mb_addr";
        const QString done = T("设置modbus地址") + ok;
        row("preset address 247 (highest)", f, "247", "", "", b, sensorFrame(0x70, le(247, 1)), none, done);
        row("preset address 5", f, "5", "", "", b, hexBytes("5A 05 70 05 D4"), none, done);
        row("preset address 999 takes no third digit", f, "999", "", "", b, sensorFrame(0x70, le(99, 1)), none, done);
        row("preset address x takes no letters", f, "x", "", "", b, sensorFrame(0x70, le(1, 1)), none, done);
    }
    {
        const char *f = "spinBox_mb_dev_addr";
        const char *b = "pushButton_mb_save_config";
        const QString done = T("保存配置") + ok;
        row("device address 247 (highest)", f, "247", "", "", b, modbusWrite(247, 0x80, 0), none, done);
        row("device address 3", f, "3", "", "", b, modbusWrite(3, 0x80, 0), none, done);
        row("device address 250 takes no third digit", f, "250", "", "", b, modbusWrite(25, 0x80, 0), none, done);
    }
}

void tst_fault_input::everyField()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, partner);
    QFETCH(QString, partnerText);
    QFETCH(QString, button);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, boxes);
    QFETCH(QString, status);

    // The sensor as at the start, the spin boxes at 1.
    fw.sensor.setRate(100);
    fw.sensor.setModbusAddress(1);
    for (QSpinBox *spin : {fw.ui()->spinBox_mb_dev_addr, fw.ui()->spinBox_mb_dev_addr_2,
                           fw.ui()->spinBox_mb_dev_addr_3})
        spin->setValue(1);

    const auto type = [this](const QString &name, const QString &value) { typeInto(name, value); };
    type(field, text);
    if (!partner.isEmpty())
        type(partner, partnerText);
    if (QTest::currentTestFailed())
        return;
    // A device address the sensor answers at.
    if (field == QLatin1String("spinBox_mb_dev_addr"))
        fw.sensor.setModbusAddress(uint8_t(fw.ui()->spinBox_mb_dev_addr->value()));

    fw.sensor.clearReceived();
    fw.ui()->statusBar->showMessage(QStringLiteral("before"), 0);
    ModalCatcher catcher;
    fw.button(button)->click();
    QCOMPARE(catcher.texts, boxes);
    QCOMPARE(fw.received().toHex(' '), bytes.toHex(' '));
    QCOMPARE(fw.status(), status);
    fw.sensor.setModbusAddress(1);
}

// A refused value: the box keeps its short text, and its informative line
// names the field, repeats what was typed (cut short when long) and gives
// the range the field takes, in the window's language. Nothing is sent.
void tst_fault_input::refusalSaysWhy_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("partner");
    QTest::addColumn<QString>("partnerText");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("why");

    const QString illegal = QStringLiteral("警告：非法输入!");
    const QString empty = QStringLiteral("警告：输入不能为空!");
    const QString illegalEn = QStringLiteral("Warning: illegal input!");
    const char *fps = "comboBox_fps_set";
    const char *fpsButton = "pushButton_fps";
    const QString fpsWhy = QStringLiteral("测量帧率：输入“%1”无效，有效范围为 0~65535");
    QTest::newRow("frame rate abc") << false << fps << "abc" << "" << "" << fpsButton << illegal << fpsWhy.arg("abc");
    QTest::newRow("frame rate 70000") << false << fps << "70000" << "" << "" << fpsButton << illegal
                                      << fpsWhy.arg("70000");
    QTest::newRow("frame rate -5") << false << fps << "-5" << "" << "" << fpsButton << illegal << fpsWhy.arg("-5");
    QTest::newRow("frame rate empty") << false << fps << "" << "" << "" << fpsButton << empty
                                      << QStringLiteral("测量帧率：未输入，有效范围为 0~65535");
    QTest::newRow("frame rate long digits, cut short")
        << false << fps << QString(300, QLatin1Char('9')) << "" << "" << fpsButton << illegal
        << fpsWhy.arg(QString(24, QLatin1Char('9')) + QChar(0x2026));
    QTest::newRow("CAN receive id abc")
        << false << "lineEdit_can_rcv_id" << "abc" << "" << "" << "pushButton_can_rcv_id" << illegal
        << QStringLiteral("CAN接收ID：输入“abc”无效，有效范围为 0~0xFFFFFFFF（十进制或0x开头的十六进制）");
    QTest::newRow("offset 70000") << false << "lineEdit_ofs_config" << "70000" << "" << "" << "pushButton_ofs_config"
                                  << illegal << QStringLiteral("测距偏移（cm）：输入“70000”无效，有效范围为 -32768~32767");
    QTest::newRow("near delay abc") << false << "lineEdit_IO_delay_near" << "abc" << "lineEdit_IO_delay_far" << "10"
                                    << "pushButton_IO_delay" << illegal
                                    << QStringLiteral("近距离IO延时：输入“abc”无效，有效范围为 0~65535");
    QTest::newRow("far delay -1, the near one good")
        << false << "lineEdit_IO_delay_far" << "-1" << "lineEdit_IO_delay_near" << "10" << "pushButton_IO_delay"
        << illegal << QStringLiteral("远距离IO延时：输入“-1”无效，有效范围为 0~65535");
    QTest::newRow("buffer empty, the threshold wrong")
        << false << "lineEdit_dist_buffer" << "" << "lineEdit_dist_threshold" << "x" << "pushButton_dist_threshold"
        << empty << QStringLiteral("IO距离缓冲：未输入，有效范围为 0~65535");
    QTest::newRow("baud 0") << false << "comboBox_seri_baud" << "0" << "" << "" << "pushButton_baudrate" << illegal
                            << QStringLiteral("波特率：输入“0”无效，有效范围为 1~4294967295");
    QTest::newRow("modbus baud empty") << false << "comboBox_seri_baud_2" << "" << "" << ""
                                       << "pushButton_mb_baudrate_config" << empty
                                       << QStringLiteral("串口波特率：未输入，有效范围为 1~4294967295");
    QTest::newRow("English: frame rate 70000")
        << true << fps << "70000" << "" << "" << fpsButton << illegalEn
        << QStringLiteral("Frame rate: \"70000\" is not accepted; accepted: 0~65535");
    QTest::newRow("English: CAN send id abc")
        << true << "lineEdit_can_snd_id" << "abc" << "" << "" << "pushButton_can_snd_id" << illegalEn
        << QStringLiteral("CAN send ID: \"abc\" is not accepted; accepted: 0~0xFFFFFFFF (decimal, or hexadecimal "
                          "after 0x)");
    QTest::newRow("English: offset empty")
        << true << "lineEdit_ofs_config" << "" << "" << "" << "pushButton_ofs_config"
        << QStringLiteral("Warning: input must not be empty!")
        << QStringLiteral("Distance offset (cm): nothing entered; accepted: -32768~32767");
}

void tst_fault_input::refusalSaysWhy()
{
    QFETCH(bool, english);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, partner);
    QFETCH(QString, partnerText);
    QFETCH(QString, button);
    QFETCH(QString, box);
    QFETCH(QString, why);

    if (english)
        fw.ui()->radioButton_english->setChecked(true);
    typeInto(field, text);
    if (!partner.isEmpty())
        typeInto(partner, partnerText);
    fw.sensor.clearReceived();
    ModalCatcher catcher;
    fw.button(button)->click();
    fw.ui()->radioButton_chinese->setChecked(true);
    QCOMPARE(catcher.texts, QStringList{box});
    QCOMPARE(catcher.informative, QStringList{why});
    QCOMPARE(fw.received().toHex(' '), QByteArray());
}

QTEST_MAIN(tst_fault_input)
#include "tst_fault_input.moc"
