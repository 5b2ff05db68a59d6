// SPDX-License-Identifier: GPL-3.0-or-later
#include "port_scanner.h"

#include "command_table.h"
#include "log_categories.h"
#include "reply_search.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QThread>

QList<int> ScanOptions::offeredRates()
{
    return {4800, 9600, 115200, 230400, 460800, 921600, 1000000};
}

namespace {

// Waits for data in steps short enough to see a cancel soon.
constexpr int kStepMs = 50;
// Bytes still on their way when the rate changes (in the adapter, or the
// kernel's buffers) are dropped for this long.
constexpr int kSettleMs = 30;

// Writes the version query and looks for its reply.
bool versionAnswered(QSerialPort &port, const ScanOptions &options, const std::atomic<bool> &cancel)
{
    const QByteArray query = commandtable::frameOf(commandtable::Version);
    const QByteArray header = commandtable::Version.header();
    port.write(query);
    port.waitForBytesWritten(options.versionWaitMs);
    QByteArray buffer;
    QByteArray reply;
    QElapsedTimer clock;
    clock.start();
    while (!cancel.load() && clock.elapsed() < options.versionWaitMs) {
        port.waitForReadyRead(kStepMs);
        if (replysearch::searchStep(buffer, port.readAll(), header, commandtable::Version.replyLength, &reply))
            return true;
    }
    return false;
}

} // namespace

bool PortScanner::countsAsFound(const LineHealth &health, const ScanOptions &options)
{
    return health.goodFrames >= quint64(options.framesWanted) && health.goodFrames > health.badChecksums;
}

PortScanResult PortScanner::scanPort(const QString &name, const ScanOptions &options,
                                     const std::atomic<bool> &cancel)
{
    PortScanResult result;
    result.port = name;
    QSerialPort port;
    port.setPortName(name);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (!options.rates.isEmpty())
        port.setBaudRate(options.rates.first());
    if (!port.open(QIODevice::ReadWrite)) {
        result.failure = classifyOpenFailure(name, port.error());
        qCDebug(lcLink) << "PortScanner" << name << "not opened:" << port.errorString();
        return result;
    }
    for (const int rate : options.rates) {
        if (cancel.load())
            break;
        port.setBaudRate(rate);
        // What arrived at the rate before means nothing at this one, also
        // what was still on its way when the rate changed.
        port.clear(QSerialPort::Input);
        QElapsedTimer settle;
        settle.start();
        for (qint64 left = kSettleMs; left > 0 && !cancel.load(); left = kSettleMs - settle.elapsed()) {
            port.waitForReadyRead(int(left));
            port.readAll();
        }
        port.clear(QSerialPort::Input);
        QByteArray buffer;
        QVector<uint16_t> distances;
        LineHealth health;
        QElapsedTimer clock;
        clock.start();
        while (!cancel.load() && !countsAsFound(health, options)) {
            const qint64 left = options.listenMs - clock.elapsed();
            if (left <= 0)
                break;
            port.waitForReadyRead(int(qMin<qint64>(left, kStepMs)));
            buffer.append(port.readAll());
            parseMeasurementFrames(buffer, distances, health);
            distances.resize(0);
        }
        if (countsAsFound(health, options)) {
            result.hits.append({name, rate, int(health.goodFrames), int(health.badChecksums), false});
        } else if (options.queryVersion && !cancel.load() && versionAnswered(port, options, cancel)) {
            result.hits.append({name, rate, int(health.goodFrames), int(health.badChecksums), true});
        }
    }
    port.close();
    return result;
}

PortScanner::PortScanner(QObject *parent) : QObject(parent) {}

PortScanner::~PortScanner()
{
    cancel();
    join();
}

bool PortScanner::start(const QStringList &ports, const ScanOptions &options)
{
    if (isRunning())
        return false;
    join();
    cancelled.store(false);
    remaining = std::make_shared<std::atomic<int>>(ports.size());
    if (ports.isEmpty()) {
        emit finished();
        return true;
    }
    for (const QString &name : ports) {
        QThread *t = QThread::create([this, name, options, left = remaining] {
            const PortScanResult result = scanPort(name, options, cancelled);
            emit portScanned(result);
            if (left->fetch_sub(1) == 1)
                emit finished();
        });
        threads.push_back(t);
        t->start();
    }
    return true;
}

void PortScanner::cancel()
{
    cancelled.store(true);
}

bool PortScanner::isRunning() const
{
    return remaining && remaining->load() > 0;
}

void PortScanner::join()
{
    for (QThread *t : threads) {
        t->wait();
        delete t;
    }
    threads.clear();
}
