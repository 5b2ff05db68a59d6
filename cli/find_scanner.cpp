// SPDX-License-Identifier: GPL-3.0-or-later
// `zn84ctl find` on the link library's port scanner: every port listened to
// in a thread of its own at each rate, nothing written. The tool's own event
// loop runs meanwhile, so an interrupt is seen at once.

#include "find_scanner.h"

#include "cross_thread.h"
#include "port_scanner.h"

#include <QEventLoop>
#include <QTimer>

namespace cli {

namespace {

// Takes the scanner's reports in the tool's thread.
class ScanReports : public QObject
{
public:
    ScanReports(const ScanHooks &hooks, int listenMs, QEventLoop &loop)
        : hooks(hooks), listenMs(listenMs), loop(loop) {}

    void portScanned(PortScanResult result)
    {
        if (result.failure != OpenFailure::None && hooks.unopenable)
            hooks.unopenable(result.port, failureText(result.failure), QString());
        for (const ScanHit &hit : result.hits) {
            const FoundSensor found{hit.port, hit.baud, hit.goodFrames, listenMs / 1000.0};
            hits << found;
            if (hooks.found)
                hooks.found(found);
        }
    }
    void finished() { loop.quit(); }

    QList<FoundSensor> hits;

private:
    static QString failureText(OpenFailure failure)
    {
        switch (failure) {
        case OpenFailure::Missing: return QStringLiteral("missing");
        case OpenFailure::NotPermitted: return QStringLiteral("not permitted");
        case OpenFailure::Busy: return QStringLiteral("busy (in use by another program)");
        default: return QStringLiteral("cannot be used as a serial port");
        }
    }

    const ScanHooks &hooks;
    int listenMs;
    QEventLoop &loop;
};

} // namespace

QList<FoundSensor> scanForSensors(const ScanRequest &request, const ScanHooks &hooks)
{
    ScanOptions options;
    options.rates = request.bauds;
    options.listenMs = request.listenMs;
    options.framesWanted = request.enoughFrames;

    QEventLoop loop;
    ScanReports reports(hooks, request.listenMs, loop);
    PortScanner scanner;
    connectAcrossThreads(&scanner, &PortScanner::portScanned, &reports, &ScanReports::portScanned);
    connectAcrossThreads(&scanner, &PortScanner::finished, &reports, &ScanReports::finished);
    if (hooks.trying) {
        for (const QString &port : request.ports)
            hooks.trying(port, 0);
    }
    if (request.ports.isEmpty() || !scanner.start(request.ports, options))
        return reports.hits;

    // The stop request comes as an event of this thread: look for it while
    // the ports are listened to.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (hooks.interrupted && hooks.interrupted())
            scanner.cancel();
    });
    poll.start(50);
    loop.exec();
    return reports.hits;
}

} // namespace cli
