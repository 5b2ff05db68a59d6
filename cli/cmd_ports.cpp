// SPDX-License-Identifier: GPL-3.0-or-later
// ports and find: where a sensor may be, and where one streams.

#include "cli.h"
#include "find_scanner.h"
#include "port_scanner.h"
#include "stop_signals.h"

#include "port_list.h"

#include <QJsonObject>

namespace cli {

int runPorts(const Options &o, Output &out)
{
    if (!o.args.isEmpty())
        return out.fail(o.command, ExitUsage, QStringLiteral("ports takes no operand"));
    const QVector<portlist::Port> ports = portlist::availablePorts();
    int width = 0;
    for (const portlist::Port &p : ports)
        width = qMax(width, p.name.size());
    for (const portlist::Port &p : ports) {
        if (out.json()) {
            QJsonObject port;
            port.insert(QStringLiteral("command"), o.command);
            port.insert(QStringLiteral("port"), p.name);
            port.insert(QStringLiteral("location"), p.location);
            port.insert(QStringLiteral("description"), p.description);
            port.insert(QStringLiteral("simulated"), p.simulated);
            out.object(port);
        } else {
            out.text() << p.name.leftJustified(width + 2) << p.description << '\n';
        }
    }
    out.flush();
    return ExitOk;
}

int runFind(const Options &o, Output &out)
{
    if (!o.args.isEmpty())
        return out.fail(o.command, ExitUsage, QStringLiteral("find takes no operand"));
    ScanRequest request;
    if (!o.port.isEmpty()) {
        request.ports << o.port;
    } else {
        for (const portlist::Port &p : portlist::availablePorts())
            request.ports << p.name;
    }
    if (o.baudGiven)
        request.bauds << o.baud;
    else
        request.bauds = ScanOptions::offeredRates();
    if (o.timeoutS > 0)
        request.listenMs = int(o.timeoutS * 1000);

    StopSignals stop;
    ScanHooks hooks;
    hooks.interrupted = [&] { return stop.requested(); };
    hooks.found = [&](const FoundSensor &hit) {
        if (out.json()) {
            QJsonObject found;
            found.insert(QStringLiteral("command"), o.command);
            found.insert(QStringLiteral("port"), hit.port);
            found.insert(QStringLiteral("baud"), hit.baud);
            found.insert(QStringLiteral("frames"), hit.frames);
            found.insert(QStringLiteral("seconds"), hit.seconds);
            out.object(found);
        } else {
            out.line(QStringLiteral("%1 %2").arg(hit.port).arg(hit.baud));
        }
    };
    QString unopenable;
    QString unopenableError;
    hooks.unopenable = [&](const QString &port, const QString &reason, const QString &error) {
        unopenable = QStringLiteral("port %1 cannot be opened: %2").arg(port, reason);
        unopenableError = error;
        if (o.verbose)
            Output::message(unopenable);
    };
    if (o.verbose)
        hooks.trying = [](const QString &port, int) {
            Output::message(QStringLiteral("listening on %1").arg(port));
        };
    const QList<FoundSensor> hits = scanForSensors(request, hooks);
    if (stop.requested())
        return out.fail(o.command, ExitInterrupted, QStringLiteral("interrupted"));
    // The one port asked for cannot be opened: that is the answer.
    if (hits.isEmpty() && !o.port.isEmpty() && !unopenable.isEmpty()) {
        QJsonObject extra;
        extra.insert(QStringLiteral("port"), o.port);
        extra.insert(QStringLiteral("port_error"), unopenableError);
        return out.fail(o.command, ExitPort, unopenable, extra);
    }
    if (hits.isEmpty())
        return out.fail(o.command, ExitNoAnswer,
                        QStringLiteral("no streaming sensor found on %1 port(s)").arg(request.ports.size()));
    return ExitOk;
}

} // namespace cli
