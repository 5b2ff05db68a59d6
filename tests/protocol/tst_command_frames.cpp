// SPDX-License-Identifier: GPL-3.0-or-later
// Command frames, status acknowledgements, the acknowledgement search and the
// reply search of the sensor's own protocol, without a port.

#include "ack_search.h"
#include "command_frame.h"
#include "query_reply.h"
#include "reply_search.h"
#include "testutil.h"

#include <QTest>

class tst_command_frames : public QObject
{
    Q_OBJECT

private:
    // Runs the query exchange's examination passes over prepared chunks: the
    // chunk after the last pass is never examined.
    static QByteArray collect(const QList<QByteArray> &chunks, const QByteArray &header,
                              int length, int passes)
    {
        QByteArray buffer;
        QByteArray found;
        for (int pass = 0; pass < passes && pass < chunks.size(); ++pass) {
            if (replysearch::searchStep(buffer, chunks.at(pass), header, length, &found))
                return found;
        }
        return QByteArray();
    }

    static QByteArray measurement(int cm)
    {
        QByteArray f = hexBytes("59 59");
        f.append(char(cm & 0xFF)).append(char(cm >> 8));
        f.append(hexBytes("10 00 20 08"));
        f.append(char(commandframe::checksum(reinterpret_cast<const uint8_t *>(f.constData()), 8)));
        return f;
    }

private slots:
    void frames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("expected");

        QTest::newRow("version") << commandframe::buildFrame(commandframe::IdVersion) << "5A 04 01 5F";
        QTest::newRow("soft reset") << commandframe::buildFrame(commandframe::IdSoftReset) << "5A 04 02 60";
        QTest::newRow("frame rate 100") << commandframe::frameU16(commandframe::IdFrameRate, 100) << "5A 06 03 64 00 C7";
        QTest::newRow("frame rate 65535") << commandframe::frameU16(commandframe::IdFrameRate, 65535) << "5A 06 03 FF FF 61";
        QTest::newRow("sample trig") << commandframe::buildFrame(commandframe::IdSampleTrig) << "5A 04 04 62";
        QTest::newRow("output format 1") << commandframe::frameU8(commandframe::IdOutputFormat, 1) << "5A 05 05 01 65";
        QTest::newRow("baud rate 115200") << commandframe::frameU32(commandframe::IdBaudRate, 115200) << "5A 08 06 00 C2 01 00 2B";
        QTest::newRow("output en 0") << commandframe::frameU8(commandframe::IdOutputEn, 0) << "5A 05 07 00 66";
        QTest::newRow("checksum en 1") << commandframe::frameU8(commandframe::IdFrameChecksumEn, 1) << "5A 05 08 01 68";
        QTest::newRow("restore default") << commandframe::buildFrame(commandframe::IdRestoreDefault) << "5A 04 10 6E";
        QTest::newRow("save settings") << commandframe::buildFrame(commandframe::IdSaveSettings) << "5A 04 11 6F";
        QTest::newRow("full version") << commandframe::buildFrame(commandframe::IdFullVersion) << "5A 04 14 72";
        QTest::newRow("trans type 1") << commandframe::frameU8(commandframe::IdTransType, 1) << "5A 05 45 01 A5";
        QTest::newRow("gain adjust 0") << commandframe::frameU8(commandframe::IdGainAdjust, 0) << "5A 05 4E 00 AD";
        QTest::newRow("can snd id 0x1FFFFFFF") << commandframe::frameU32(commandframe::IdCanSndId, 0x1FFFFFFF) << "5A 08 50 FF FF FF 1F CE";
        QTest::newRow("can rcv id 0x123") << commandframe::frameU32(commandframe::IdCanRcvId, 0x123) << "5A 08 51 23 01 00 00 D7";
        QTest::newRow("can baudrate 500k") << commandframe::frameU32(commandframe::IdCanBaudrate, 500000) << "5A 08 52 20 A1 07 00 7C";
        QTest::newRow("custom 2") << commandframe::frameU8(commandframe::IdCustomChoise, 2) << "5A 05 5A 02 BB";
        QTest::newRow("can frame type 1") << commandframe::frameU8(commandframe::IdCanFrameType, 1) << "5A 05 5D 01 BD";
        QTest::newRow("near io value 1") << commandframe::frameU8(commandframe::IdNearIoValue, 1) << "5A 05 61 01 C1";
        QTest::newRow("io delay 100 200") << commandframe::frameU16Pair(commandframe::IdIoDelay, 100, 200) << "5A 08 62 64 00 C8 00 F0";
        QTest::newRow("io threshold 1000 2000") << commandframe::frameU16Pair(commandframe::IdDistIoThreshold, 1000, 2000) << "5A 08 63 E8 03 D0 07 87";
        QTest::newRow("fog 1") << commandframe::frameU8(commandframe::IdFogFeature, 1) << "5A 05 64 01 C4";
        QTest::newRow("offset -10") << commandframe::frameU16(commandframe::IdOffset, 0xFFF6) << "5A 06 69 F6 FF BE";
        QTest::newRow("dac map 2") << commandframe::frameU8(commandframe::IdDacMapType, 2) << "5A 05 71 02 D2";
        QTest::newRow("modbus enable") << commandframe::frameU8(commandframe::IdModbusEnable, 0) << "5A 05 6F 00 CE";
        QTest::newRow("modbus dev addr 2") << commandframe::frameU8(commandframe::IdModbusDevAddr, 2) << "5A 05 70 02 D1";
    }

    void frames()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, expected);
        QCOMPARE(frame.toHex(' ').toUpper(), hexBytes(expected).toHex(' ').toUpper());
        QVERIFY(commandframe::isValidFrame(frame));
    }

    void checksumCoversAllButLastByte()
    {
        // 0x5A + 0x04 + 0x02 = 0x60; the sum wraps at 8 bits.
        const QByteArray three = hexBytes("5A 04 02");
        QCOMPARE(commandframe::checksum(reinterpret_cast<const uint8_t *>(three.constData()), 3), uint8_t(0x60));
        const QByteArray wrap = hexBytes("FF FF 03");
        QCOMPARE(commandframe::checksum(reinterpret_cast<const uint8_t *>(wrap.constData()), 3), uint8_t(0x01));
        QVERIFY(!commandframe::isValidFrame(hexBytes("5A 04 02 61")));
        QVERIFY(!commandframe::isValidFrame(hexBytes("5A 05 02 60")));
    }

    void payloadTooLong()
    {
        QVERIFY(commandframe::buildFrame(0x10, QByteArray(251, 'x')).size() == 255);
        QVERIFY(commandframe::buildFrame(0x10, QByteArray(252, 'x')).isEmpty());
    }

    void statusAcks_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("expected");
        QTest::newRow("soft reset") << 0x02 << "5A 05 02 00 61";
        QTest::newRow("restore") << 0x10 << "5A 05 10 00 6F";
        QTest::newRow("save") << 0x11 << "5A 05 11 00 70";
        QTest::newRow("trans") << 0x45 << "5A 05 45 00 A4";
        QTest::newRow("gain") << 0x4E << "5A 05 4E 00 AD";
        QTest::newRow("can snd") << 0x50 << "5A 05 50 00 AF";
        QTest::newRow("can rcv") << 0x51 << "5A 05 51 00 B0";
        QTest::newRow("can baud") << 0x52 << "5A 05 52 00 B1";
        QTest::newRow("custom") << 0x5A << "5A 05 5A 00 B9";
        QTest::newRow("can frame") << 0x5D << "5A 05 5D 00 BC";
        QTest::newRow("near io") << 0x61 << "5A 05 61 00 C0";
        QTest::newRow("io delay") << 0x62 << "5A 05 62 00 C1";
        QTest::newRow("threshold") << 0x63 << "5A 05 63 00 C2";
        QTest::newRow("fog") << 0x64 << "5A 05 64 00 C3";
        QTest::newRow("offset") << 0x69 << "5A 05 69 00 C8";
        QTest::newRow("dac map") << 0x71 << "5A 05 71 00 D0";
        QTest::newRow("modbus enable") << 0x6F << "5A 05 6F 00 CE";
        QTest::newRow("modbus addr") << 0x70 << "5A 05 70 00 CF";
        QTest::newRow("upgrade") << 0x49 << "5A 05 49 00 A8";
    }

    void statusAcks()
    {
        QFETCH(int, id);
        QFETCH(QString, expected);
        QCOMPARE(commandframe::statusAck(uint8_t(id)), hexBytes(expected));
    }

    void ackSearch_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<QByteArray>("ack");
        QTest::addColumn<bool>("found");

        const QByteArray status = hexBytes("5A 05 02 00 61");
        const QByteArray echo = hexBytes("5A 06 03 64 00 C7");
        const QByteArray m = measurement(1234);

        QTest::newRow("whole in first read") << status << QByteArray() << status << true;
        QTest::newRow("only in second read") << m + m << m + status << status << true;
        QTest::newRow("split over two reads") << m + m + status.left(2) << status.mid(2) + m << status << true;
        QTest::newRow("split, one byte late") << m + status.left(4) << status.right(1) << status << true;
        QTest::newRow("embedded between frames") << m + m + status + m << QByteArray() << status << true;
        QTest::newRow("wrong status byte") << hexBytes("5A 05 02 01 62") << m << status << false;
        QTest::newRow("echo off in value") << hexBytes("5A 06 03 65 00 C8") << QByteArray() << echo << false;
        QTest::newRow("echo off in checksum") << hexBytes("5A 06 03 64 00 C8") << QByteArray() << echo << false;
        QTest::newRow("echo exact") << m + echo << QByteArray() << echo << true;
        QTest::newRow("another command's ack") << hexBytes("5A 05 11 00 70") << QByteArray() << status << false;
        QTest::newRow("nothing at all") << QByteArray() << QByteArray() << status << false;
        // Only the tail of the first read survives: an ack start that is
        // followed by other bytes there cannot complete in the second read.
        QTest::newRow("interrupted start") << status.left(3) + m << status.mid(3) << status << false;
        QTest::newRow("ack in the third read is not seen") << m << m << status << false;
    }

    void ackSearch()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(QByteArray, ack);
        QFETCH(bool, found);
        QCOMPARE(acksearch::searchTwoReads(first, second, ack), found);
    }

    void ackSearchKeepsTail()
    {
        const QByteArray status = hexBytes("5A 05 02 00 61");
        QByteArray buffer;
        QVERIFY(!acksearch::searchStep(buffer, measurement(300) + status.left(3), status));
        QCOMPARE(buffer.size(), status.size());
        QVERIFY(buffer.endsWith(status.left(3)));
        // A short first read is kept whole.
        QByteArray shortBuffer;
        QVERIFY(!acksearch::searchStep(shortBuffer, hexBytes("5A 05"), status));
        QCOMPARE(shortBuffer, hexBytes("5A 05"));
        QVERIFY(!acksearch::contains(status, QByteArray()));
    }

    void replySearch_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("passes");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray version = hexBytes("5A 07 01 03 00 02 67");
        const QByteArray m = measurement(500);
        QByteArray full = hexBytes("5A 1E 14");
        full.append(QByteArray("ZN84 V2.0.3").leftJustified(26, '\0'));
        full.append(char(0x11));

        QTest::newRow("version, one chunk") << QList<QByteArray>{ version } << queryreply::versionHeader()
                                            << 7 << 2 << version;
        QTest::newRow("version after garbage") << QList<QByteArray>{ m + hexBytes("00 5A 07") + version }
                                               << queryreply::versionHeader() << 7 << 2 << version;
        QTest::newRow("version split, second pass")
            << QList<QByteArray>{ m + version.left(3), version.mid(3) } << queryreply::versionHeader() << 7 << 2
            << version;
        QTest::newRow("version short first chunk")
            << QList<QByteArray>{ version.left(2), version.mid(2) } << queryreply::versionHeader() << 7 << 2 << version;
        QTest::newRow("version only in the unexamined chunk")
            << QList<QByteArray>{ m, m, version } << queryreply::versionHeader() << 7 << 2 << QByteArray();
        QTest::newRow("version never complete")
            << QList<QByteArray>{ version.left(4), QByteArray() } << queryreply::versionHeader() << 7 << 2
            << QByteArray();
        QTest::newRow("full version over three chunks, 2 passes")
            << QList<QByteArray>{ full.left(10), full.mid(10, 10), full.mid(20) } << queryreply::fullVersionHeader()
            << 30 << 2 << QByteArray();
        QTest::newRow("full version over two chunks")
            << QList<QByteArray>{ m + full.left(20), full.mid(20) + m } << queryreply::fullVersionHeader() << 30 << 2
            << full;
        QTest::newRow("trigger: first pair wins")
            << QList<QByteArray>{ hexBytes("01 02") + measurement(111) + measurement(222) }
            << queryreply::triggerHeader() << 9 << 10 << measurement(111);
        QTest::newRow("trigger: ninth pass")
            << QList<QByteArray>{ QByteArray(), QByteArray(), QByteArray(), QByteArray(), QByteArray(),
                                  QByteArray(), QByteArray(), measurement(7).left(5), measurement(7).mid(5) }
            << queryreply::triggerHeader() << 9 << 10 << measurement(7);
    }

    void replySearch()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QByteArray, header);
        QFETCH(int, length);
        QFETCH(int, passes);
        QFETCH(QByteArray, expected);
        QCOMPARE(collect(chunks, header, length, passes), expected);
    }

    void replySearchDropsOnlyBeforeHeader()
    {
        const QByteArray header = queryreply::versionHeader();
        // Long enough, header seen, reply incomplete: bytes before it go.
        QByteArray buffer;
        QVERIFY(!replysearch::searchStep(buffer, hexBytes("11 22 33 44 55 5A 07 01 03"), header, 7, nullptr));
        QCOMPARE(buffer, hexBytes("5A 07 01 03"));
        // Shorter than a reply: nothing is searched, nothing dropped.
        QByteArray shortBuffer;
        QVERIFY(!replysearch::searchStep(shortBuffer, hexBytes("11 5A 07 01"), header, 7, nullptr));
        QCOMPARE(shortBuffer, hexBytes("11 5A 07 01"));
        // No header: unchanged.
        QByteArray noHeader;
        QVERIFY(!replysearch::searchStep(noHeader, hexBytes("11 22 33 44 55 66 77 88"), header, 7, nullptr));
        QCOMPARE(noHeader.size(), 8);
    }

    void decoders()
    {
        unsigned char v[3] = { 9, 9, 9 };
        queryreply::decodeVersion(hexBytes("5A 07 01 03 00 02 67"), v);
        QCOMPARE(queryreply::versionText(v), QStringLiteral("2.0.3"));
        const unsigned char big[3] = { 255, 10, 0 };
        QCOMPARE(queryreply::versionText(big), QStringLiteral("255.10.0"));

        QCOMPARE(queryreply::decodeTrigger(measurement(0x1234)), uint16_t(0x1234));
        QCOMPARE(queryreply::decodeTrigger(measurement(65535)), uint16_t(65535));

        // A text that fills all 26 bytes still ends: the buffer has 30.
        QByteArray full = hexBytes("5A 1E 14");
        full.append(QByteArray(26, 'A'));
        full.append(char(0));
        unsigned char buffer[30] = {};
        queryreply::decodeFullVersion(full, buffer);
        QCOMPARE(queryreply::fullVersionText(buffer, 30), QString(26, QLatin1Char('A')));

        QByteArray utf8 = hexBytes("5A 1E 14");
        utf8.append(QString::fromUtf8("V2 测距").toUtf8().leftJustified(26, '\0'));
        utf8.append(char(0));
        unsigned char buffer2[30] = {};
        queryreply::decodeFullVersion(utf8, buffer2);
        QCOMPARE(queryreply::fullVersionText(buffer2, 30), QString::fromUtf8("V2 测距"));
    }
};

QTEST_GUILESS_MAIN(tst_command_frames)
#include "tst_command_frames.moc"
