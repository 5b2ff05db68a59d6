// SPDX-License-Identifier: GPL-3.0-or-later
// Modbus RTU frames: CRC, requests, read replies, without a port.

#include "modbus_frame.h"
#include "receiver.h"
#include "reply_search.h"
#include "testutil.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

// Bit-by-bit CRC-16/MODBUS as a reference for the table version.
uint16_t bitwiseCrc(const uint8_t *data, std::size_t n)
{
    uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

const uint8_t *bytes(const QByteArray &a)
{
    return reinterpret_cast<const uint8_t *>(a.constData());
}

} // namespace

class tst_modbus_frames : public QObject
{
    Q_OBJECT

private slots:
    void checkValue()
    {
        const QByteArray digits("123456789");
        QCOMPARE(modbusframe::crc16(bytes(digits), 9), uint16_t(0x4B37));
        QCOMPARE(receiver::calc_crc16(bytes(digits), 9), (unsigned short)0x4B37);
        // Only the first n bytes count.
        QCOMPARE(receiver::calc_crc16(bytes(digits + "xyz"), 9), (unsigned short)0x4B37);
        QCOMPARE(receiver::calc_crc16(bytes(digits), 0), (unsigned short)0xFFFF);
    }

    void tablesMatchBitwise()
    {
        for (int i = 0; i < 256; ++i) {
            const uint8_t one = uint8_t(i);
            QCOMPARE(modbusframe::crc16(&one, 1), bitwiseCrc(&one, 1));
        }
        QRandomGenerator rng(84);
        for (int round = 0; round < 200; ++round) {
            QByteArray data(int(rng.bounded(1, 300)), '\0');
            for (char &c : data)
                c = char(rng.bounded(256));
            QCOMPARE(modbusframe::crc16(bytes(data), std::size_t(data.size())),
                     bitwiseCrc(bytes(data), std::size_t(data.size())));
        }
    }

    void requests_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("expected");
        QTest::newRow("read distance") << modbusframe::readRequest(1, modbusframe::RegDistance, 1) << "01 03 00 00 00 01 84 0A";
        QTest::newRow("read version") << modbusframe::readRequest(1, modbusframe::RegVersion, 2) << "01 03 00 06 00 02 24 0A";
        QTest::newRow("reboot") << modbusframe::writeRequest(1, modbusframe::RegPower, 1) << "01 06 00 81 00 01 18 22";
        QTest::newRow("shut down") << modbusframe::writeRequest(1, modbusframe::RegPower, 0) << "01 06 00 81 00 00 D9 E2";
        QTest::newRow("save configuration") << modbusframe::writeRequest(1, modbusframe::RegSaveConfig, 0) << "01 06 00 80 00 00 88 22";
        QTest::newRow("modbus off") << modbusframe::writeRequest(1, modbusframe::RegModbusOff, 1) << "01 06 00 82 00 01 E8 22";
        QTest::newRow("baud 115200 high") << modbusframe::writeRequest(1, modbusframe::RegBaudHigh, 115200 >> 16) << "01 06 00 83 00 01 B9 E2";
        QTest::newRow("baud 115200 low") << modbusframe::writeRequest(1, modbusframe::RegBaudLow, 115200 & 0xFFFF) << "01 06 00 84 C2 00 98 83";
        QTest::newRow("new address 2") << modbusframe::writeRequest(1, modbusframe::RegDevAddr, 2) << "01 06 00 85 00 02 19 E2";
        QTest::newRow("frame rate 100") << modbusframe::writeRequest(1, modbusframe::RegFrameRate, 100) << "01 06 00 86 00 64 69 C8";
    }

    void requests()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, expected);
        QCOMPARE(request.toHex(' ').toUpper(), hexBytes(expected).toHex(' ').toUpper());
        uint16_t calc = 0;
        uint16_t got = 0;
        QVERIFY(modbusframe::replyCrcOk(request, &calc, &got));
        QCOMPARE(calc, got);
    }

    void registerValues_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("value");
        QTest::newRow("baud 9600 high") << modbusframe::writeRequest(7, modbusframe::RegBaudHigh, 9600 >> 16) << 0x83 << 0x0000;
        QTest::newRow("baud 9600 low") << modbusframe::writeRequest(7, modbusframe::RegBaudLow, 9600 & 0xFFFF) << 0x84 << 0x2580;
        QTest::newRow("fps 10000") << modbusframe::writeRequest(7, modbusframe::RegFrameRate, 10000) << 0x86 << 0x2710;
        QTest::newRow("address 247") << modbusframe::writeRequest(7, modbusframe::RegDevAddr, 247) << 0x85 << 0x00F7;
    }

    void registerValues()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, reg);
        QFETCH(int, value);
        QCOMPARE(request.size(), 8);
        QCOMPARE(uint8_t(request[0]), uint8_t(7));
        QCOMPARE(uint8_t(request[1]), uint8_t(modbusframe::FuncWrite));
        QCOMPARE(uint8_t(request[2]) * 256 + uint8_t(request[3]), reg);
        QCOMPARE(uint8_t(request[4]) * 256 + uint8_t(request[5]), value);
        QVERIFY(modbusframe::replyCrcOk(request));
    }

    void distanceReply()
    {
        const QByteArray reply = hexBytes("01 03 02 01 23 F8 0D");
        QCOMPARE(modbusframe::buildReadReply(1, hexBytes("01 23")), reply);
        QCOMPARE(modbusframe::readReplyLength(1), 7);
        QCOMPARE(modbusframe::readReplyHeader(1, 1), hexBytes("01 03 02"));
        QVERIFY(modbusframe::replyCrcOk(reply));
        QCOMPARE(modbusframe::decodeDistance(reply), uint16_t(291));
    }

    void versionReply()
    {
        const QByteArray reply = hexBytes("01 03 04 01 02 03 04 5B 3C");
        QCOMPARE(modbusframe::buildReadReply(1, hexBytes("01 02 03 04")), reply);
        QCOMPARE(modbusframe::readReplyLength(2), 9);
        QCOMPARE(modbusframe::readReplyHeader(1, 2), hexBytes("01 03 04"));
        QVERIFY(modbusframe::replyCrcOk(reply));
        // The first data byte is not part of the text.
        QCOMPARE(modbusframe::decodeVersion(reply), QStringLiteral("2.3.4"));
        QCOMPARE(modbusframe::decodeVersion(modbusframe::buildReadReply(1, hexBytes("FF 0A FF 00"))), QStringLiteral("10.255.0"));
    }

    void crcMismatch_data()
    {
        QTest::addColumn<int>("position");
        for (int i = 0; i < 7; ++i)
            QTest::newRow(qPrintable(QStringLiteral("byte %1").arg(i))) << i;
    }

    void crcMismatch()
    {
        QFETCH(int, position);
        QByteArray reply = hexBytes("01 03 02 01 23 F8 0D");
        reply[position] = char(reply[position] ^ 0x10);
        uint16_t calc = 0;
        uint16_t got = 0;
        QVERIFY(!modbusframe::replyCrcOk(reply, &calc, &got));
        QVERIFY(calc != got);
        QCOMPARE(got, uint16_t(uint8_t(reply[6]) * 256 + uint8_t(reply[5])));
    }

    void replyAfterOtherBytes()
    {
        // Measurement frames before the reply, reply split over two reads.
        const QByteArray reply = hexBytes("01 03 02 01 23 F8 0D");
        const QByteArray frames = hexBytes("59 59 23 01 10 00 20 08 F8 59 59 23 01 10 00 20 08 F8");
        QByteArray buffer;
        QByteArray found;
        QVERIFY(!replysearch::searchStep(buffer, frames + reply.left(4), modbusframe::readReplyHeader(1, 1), 7, &found));
        QCOMPARE(buffer, reply.left(4));
        QVERIFY(replysearch::searchStep(buffer, reply.mid(4), modbusframe::readReplyHeader(1, 1), 7, &found));
        QCOMPARE(found, reply);
        QVERIFY(modbusframe::replyCrcOk(found));
    }

    void shortReplies()
    {
        QVERIFY(!modbusframe::replyCrcOk(QByteArray()));
        QVERIFY(!modbusframe::replyCrcOk(hexBytes("01")));
        QCOMPARE(modbusframe::decodeDistance(hexBytes("01 03")), uint16_t(0));
        QVERIFY(modbusframe::decodeVersion(hexBytes("01 03 04")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_modbus_frames)
#include "tst_modbus_frames.moc"
