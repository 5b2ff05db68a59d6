// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware transfer frames, frame counts, progress points, refusals and the
// acknowledgement search, without a port.

#include "command_frame.h"
#include "testutil.h"
#include "upgrade_frame.h"

#include <QRandomGenerator>
#include <QTest>

class tst_upgrade_frames : public QObject
{
    Q_OBJECT

private slots:
    void examples()
    {
        QCOMPARE(upgradeframe::buildHeader(8, 1000), hexBytes("5A 08 49 00 00 E8 03 96"));
        const QByteArray data = hexBytes("12 34");
        QCOMPARE(upgradeframe::buildFrame(8, 1, data.constData(), 2), hexBytes("5A 08 49 01 00 12 34 F2"));
    }

    void headerCarriesLow16Bits()
    {
        const QByteArray header = upgradeframe::buildHeader(255, 70000);
        QCOMPARE(header.size(), 255);
        QCOMPARE(uint8_t(header[5]), uint8_t(0x70));
        QCOMPARE(uint8_t(header[6]), uint8_t(0x11));
        QCOMPARE(uint8_t(header[5]) + 256 * uint8_t(header[6]), 4464);
        QVERIFY(commandframe::isValidFrame(header));
    }

    void frameCounts_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<uint>("length");
        QTest::addColumn<qint64>("frames");
        QTest::newRow("1000 / 249") << qint64(1000) << 255u << qint64(5);
        QTest::newRow("996 / 249") << qint64(996) << 255u << qint64(4);
        QTest::newRow("1000 / 2") << qint64(1000) << 8u << qint64(500);
        QTest::newRow("empty") << qint64(0) << 255u << qint64(0);
        QTest::newRow("one byte") << qint64(1) << 255u << qint64(1);
        QTest::newRow("249") << qint64(249) << 255u << qint64(1);
        QTest::newRow("250") << qint64(250) << 255u << qint64(2);
        QTest::newRow("odd CAN") << qint64(1001) << 8u << qint64(501);
        QTest::newRow("70000") << qint64(70000) << 255u << qint64(282);
    }

    void frameCounts()
    {
        QFETCH(qint64, size);
        QFETCH(uint, length);
        QFETCH(qint64, frames);
        QCOMPARE(qint64(upgradeframe::frameCount(uint64_t(size), length)), frames);
    }

    void lastFrameFiller()
    {
        // 1000 bytes with L = 255: frame 5 carries 4 image bytes, 245 zeros.
        QByteArray image(1000, '\0');
        for (int i = 0; i < image.size(); ++i)
            image[i] = char(0x80 | (i % 97));
        const QByteArray last = upgradeframe::buildFrame(255, 5, image.constData() + 4 * 249, 4);
        QCOMPARE(last.size(), 255);
        QCOMPARE(last.mid(5, 4), image.right(4));
        QCOMPARE(last.mid(9, 245), QByteArray(245, '\0'));
        QCOMPARE(uint8_t(last[3]), uint8_t(5));
        QCOMPARE(uint8_t(last[4]), uint8_t(0));
        QVERIFY(commandframe::isValidFrame(last));

        // 996 bytes: the fourth frame is full, no filler.
        const QByteArray full = upgradeframe::buildFrame(255, 4, image.constData() + 3 * 249, 249);
        QCOMPARE(full.mid(5, 249), image.mid(3 * 249, 249));

        // More bytes than fit: only the first P are carried.
        const QByteArray capped = upgradeframe::buildFrame(8, 0x1234, image.constData(), 100);
        QCOMPARE(capped.size(), 8);
        QCOMPARE(capped.mid(5, 2), image.left(2));
        QCOMPARE(uint8_t(capped[3]), uint8_t(0x34));
        QCOMPARE(uint8_t(capped[4]), uint8_t(0x12));
    }

    void frameLengthLimits()
    {
        QVERIFY(upgradeframe::buildFrame(7, 0, nullptr, 0).isEmpty());
        QVERIFY(upgradeframe::buildFrame(256, 0, nullptr, 0).isEmpty());
        QCOMPARE(upgradeframe::buildFrame(8, 0, nullptr, 0).size(), 8);
        QCOMPARE(upgradeframe::buildFrame(255, 0, nullptr, 0).size(), 255);
    }

    void refusals_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<uint>("length");
        QTest::addColumn<bool>("refused");
        QTest::newRow("L 255, 65535 frames") << qint64(65535) * 249 << 255u << false;
        QTest::newRow("L 255, one byte more") << qint64(65535) * 249 + 1 << 255u << true;
        QTest::newRow("L 8, 128 KiB - 2") << qint64(131070) << 8u << false;
        QTest::newRow("L 8, 131071") << qint64(131071) << 8u << true;
        QTest::newRow("4 GiB") << (qint64(1) << 32) << 255u << true;
        QTest::newRow("L 7") << qint64(10) << 7u << true;
        QTest::newRow("L 256") << qint64(10) << 256u << true;
        QTest::newRow("L 0") << qint64(10) << 0u << true;
        QTest::newRow("empty") << qint64(0) << 8u << false;
    }

    void refusals()
    {
        QFETCH(qint64, size);
        QFETCH(uint, length);
        QFETCH(bool, refused);
        QCOMPARE(!upgradeframe::refusalReason(size, length).isEmpty(), refused);
    }

    void progressPoints_data()
    {
        QTest::addColumn<uint>("total");
        QTest::addColumn<QList<uint>>("points");
        QTest::newRow("N 25") << 25u << QList<uint>{ 10, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25 };
        QTest::newRow("N 5") << 5u << QList<uint>{ 1, 2, 3, 4, 5 };
        QTest::newRow("N 10") << 10u << QList<uint>{ 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 };
        QList<uint> big;
        for (uint i = 100; i <= 19900; i += 100)
            big << i;
        for (uint i = 19991; i <= 20000; ++i)
            big << i;
        QTest::newRow("N 20000") << 20000u << big;
        QList<uint> edge;
        for (uint i = 10; i <= 9990; i += 10)
            edge << i;
        edge << 9991 << 9992 << 9993 << 9994 << 9995 << 9996 << 9997 << 9998 << 9999 << 10000;
        QTest::newRow("N 10000") << 10000u << edge;
    }

    void progressPoints()
    {
        QFETCH(uint, total);
        QFETCH(QList<uint>, points);
        QList<uint> got;
        for (uint i = 0; i <= total + 1; ++i) {
            if (upgradeframe::isProgressPoint(i, total))
                got << i;
        }
        QCOMPARE(got, points);
        QCOMPARE(upgradeframe::progressValue(total, total), 1.0f);
        QCOMPARE(upgradeframe::progressValue(points.first(), total), float(double(points.first()) / total));
    }

    void progressValueInDouble()
    {
        // i / N in double, then converted: never 1 before the last frame.
        QCOMPARE(upgradeframe::progressValue(1, 3), float(1.0 / 3.0));
        QVERIFY(upgradeframe::progressValue(65534, 65535) < 1.0f);
    }

    void ackSearch_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<int>("foundAfter");   // chunk index, -1 = never

        const QByteArray ack = hexBytes("5A 05 49 00 A8");
        const QByteArray m = hexBytes("59 59 2C 01 10 00 20 08 B1");
        QTest::newRow("whole") << QList<QByteArray>{ ack } << 0;
        QTest::newRow("four bytes alone") << QList<QByteArray>{ ack.left(4) } << -1;
        QTest::newRow("four then fifth") << QList<QByteArray>{ ack.left(4), ack.right(1) } << 1;
        QTest::newRow("after a measurement frame") << QList<QByteArray>{ m + ack } << 0;
        QTest::newRow("split over reads") << QList<QByteArray>{ m + ack.left(2), ack.mid(2, 1), ack.mid(3) } << 2;
        QTest::newRow("checksum byte not examined") << QList<QByteArray>{ hexBytes("5A 05 49 00 00") } << 0;
        QTest::newRow("wrong fourth byte") << QList<QByteArray>{ hexBytes("5A 05 49 01 A9") + m } << -1;
        QTest::newRow("another command's ack") << QList<QByteArray>{ hexBytes("5A 05 02 00 61") } << -1;
        QTest::newRow("pattern at the end of a long stream")
            << QList<QByteArray>{ m, m, m + ack.left(4) } << 2;
        QTest::newRow("one byte at a time")
            << QList<QByteArray>{ ack.mid(0, 1), ack.mid(1, 1), ack.mid(2, 1), ack.mid(3, 1), ack.mid(4, 1) } << 4;
    }

    void ackSearch()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(int, foundAfter);
        upgradeframe::AckScanner scanner;
        QByteArray buffer;
        int scannerAt = -1;
        int plainAt = -1;
        for (int i = 0; i < chunks.size(); ++i) {
            buffer += chunks.at(i);
            if (plainAt < 0 && upgradeframe::ackFound(buffer))
                plainAt = i;
            if (scannerAt < 0 && scanner.feed(chunks.at(i)))
                scannerAt = i;
        }
        QCOMPARE(plainAt, foundAfter);
        QCOMPARE(scannerAt, foundAfter);
    }

    void scannerMatchesPlainSearch()
    {
        // The bounded scanner finds the acknowledgement after the same chunk
        // as a search over everything collected.
        QRandomGenerator rng(49);
        const char alphabet[] = { 0x5A, 0x05, 0x49, 0x00, 0x59, 0x01 };
        for (int round = 0; round < 2000; ++round) {
            upgradeframe::AckScanner scanner;
            QByteArray buffer;
            const int chunks = int(rng.bounded(1, 8));
            for (int c = 0; c < chunks; ++c) {
                QByteArray chunk(int(rng.bounded(0, 6)), '\0');
                for (char &b : chunk)
                    b = alphabet[rng.bounded(6)];
                buffer += chunk;
                const bool plain = upgradeframe::ackFound(buffer);
                QCOMPARE(scanner.feed(chunk), plain);
                if (plain)
                    break;
            }
        }
    }
};

QTEST_GUILESS_MAIN(tst_upgrade_frames)
#include "tst_upgrade_frames.moc"
