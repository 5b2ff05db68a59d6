// SPDX-License-Identifier: GPL-3.0-or-later
// The link corner's decisions without a window: the device's presence
// through losses, reconnects and give-ups, the time it was away (which the
// chart skips), the counts that start afresh or stay, and the counters'
// texts.

#include "line_health_policy.h"

#include <QTest>

Q_DECLARE_METATYPE(LineHealthPolicy::Presence)

class tst_line_health_policy : public QObject
{
    Q_OBJECT

private slots:
    void events_data();
    void events();
    void countText_data();
    void countText();
    void widestCountsAreTheWidestTexts();
};

// `events`: space-separated steps, each with its time in ms after '@':
// connect, disconnect, lost, wait (lost and waited for), back<N> (the N-th
// reconnect), stop (the worker gave up), health<bad>/<good>.
void tst_line_health_policy::events_data()
{
    using P = LineHealthPolicy::Presence;
    QTest::addColumn<QString>("events");
    QTest::addColumn<P>("presence");
    QTest::addColumn<int>("reconnects");
    QTest::addColumn<double>("lastAway");   // what the last reconnect returned
    QTest::addColumn<bool>("poor");

    QTest::newRow("fresh") << "connect@0" << P::Present << 0 << 0.0 << false;
    QTest::newRow("lost, not waited for") << "connect@0 lost@100" << P::Lost << 0 << 0.0 << false;
    QTest::newRow("lost and waited for") << "connect@0 wait@100" << P::LostWaiting << 0 << 0.0 << false;
    QTest::newRow("back after 2.5 s") << "connect@0 wait@1000 back1@3500" << P::Present << 1 << 2.5 << false;
    QTest::newRow("twice back, second gap only") << "connect@0 wait@0 back1@1000 wait@5000 back2@5250"
                                                 << P::Present << 2 << 0.25 << false;
    QTest::newRow("back without a loss skips nothing") << "connect@0 back1@4000" << P::Present << 1 << 0.0 << false;
    QTest::newRow("waiting given up is lost") << "connect@0 wait@100 stop@200" << P::Lost << 0 << 0.0 << false;
    QTest::newRow("given up, then back: no old gap") << "connect@0 wait@100 stop@200 back1@9000" << P::Present << 1
                                                     << 0.0 << false;
    QTest::newRow("stop while present stays present") << "connect@0 stop@10" << P::Present << 0 << 0.0 << false;
    QTest::newRow("disconnect forgets the loss") << "connect@0 wait@100 disconnect@200 back1@900" << P::Present << 1
                                                 << 0.0 << false;
    QTest::newRow("disconnect keeps the counts") << "connect@0 wait@0 back3@10 health2/100 disconnect@20"
                                                 << P::Present << 3 << 0.01 << true;
    QTest::newRow("connect starts afresh") << "connect@0 wait@0 back3@10 health2/100 connect@20" << P::Present << 0
                                           << 0.01 << false;
    QTest::newRow("1 % bad is not poor") << "connect@0 health1/99" << P::Present << 0 << 0.0 << false;
    QTest::newRow("just over 1 % is poor") << "connect@0 health2/197" << P::Present << 0 << 0.0 << true;
}

void tst_line_health_policy::events()
{
    QFETCH(QString, events);
    QFETCH(LineHealthPolicy::Presence, presence);
    QFETCH(int, reconnects);
    QFETCH(double, lastAway);
    QFETCH(bool, poor);

    LineHealthPolicy policy;
    double away = 0;
    for (const QString &event : events.split(' ')) {
        const QString step = event.section('@', 0, 0);
        const qint64 at = event.section('@', 1, 1).toLongLong();
        if (step == "connect") {
            policy.connected();
        } else if (step == "disconnect") {
            policy.disconnected();
        } else if (step == "lost" || step == "wait") {
            policy.deviceLost(step == "wait", at);
        } else if (step.startsWith("back")) {
            away = policy.reconnected(step.mid(4).toInt(), at);
        } else if (step == "stop") {
            policy.reconnectStopped();
        } else if (step.startsWith("health")) {
            LineHealth h;
            h.badChecksums = step.mid(6).section('/', 0, 0).toULongLong();
            h.goodFrames = step.section('/', 1, 1).toULongLong();
            policy.setHealth(h);
        } else {
            QFAIL(qPrintable("unknown step " + event));
        }
    }
    QCOMPARE(policy.presence(), presence);
    QCOMPARE(policy.reconnects(), reconnects);
    QCOMPARE(away, lastAway);
    QCOMPARE(policy.poorLine(), poor);
}

void tst_line_health_policy::countText_data()
{
    QTest::addColumn<quint64>("count");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << quint64(0) << "0";
    QTest::newRow("widest exact") << quint64(9'999'999) << "9999999";
    QTest::newRow("first in millions") << quint64(10'000'000) << "10.0M";
    QTest::newRow("rounds down") << quint64(12'340'000) << "12.3M";
    QTest::newRow("last in millions") << quint64(999'940'000) << "999.9M";
    QTest::newRow("would round to 1000.0M") << quint64(999'950'000) << "1.0G";
    QTest::newRow("billions") << quint64(12'500'000'000ULL) << "12.5G";
    QTest::newRow("largest") << quint64(~0ULL) << "18.4E";
}

void tst_line_health_policy::countText()
{
    QFETCH(quint64, count);
    QFETCH(QString, text);
    QCOMPARE(LineHealthPolicy::countText(count), text);
}

// The counters are made as wide as these texts: no count's text is longer.
void tst_line_health_policy::widestCountsAreTheWidestTexts()
{
    int widest = 0;
    for (quint64 count : LineHealthPolicy::widestCounts())
        widest = qMax(widest, LineHealthPolicy::countText(count).size());
    for (quint64 count = 1; count && count < ~0ULL / 3; count = count * 3 + 7)
        QVERIFY2(LineHealthPolicy::countText(count).size() <= widest, qPrintable(QString::number(count)));
}

QTEST_GUILESS_MAIN(tst_line_health_policy)
#include "tst_line_health_policy.moc"
