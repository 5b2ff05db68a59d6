// SPDX-License-Identifier: GPL-3.0-or-later
// Output, and the port's open for a subcommand with the reason of a failure
// (the worker's lifecycle is the session layer's WorkerSession).

#include "cli.h"

#include <QJsonDocument>

#include <cstdio>
#include <unistd.h>

namespace cli {

Output::Output(bool json) : jsonMode(json)
{
    // Straight to the descriptor: the text stream is the only buffer.
    stdoutFile.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    out.setDevice(&stdoutFile);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    out.setCodec("UTF-8");
#endif
}

void Output::line(const QString &text)
{
    out << text << '\n';
    out.flush();
}

void Output::object(const QJsonObject &object)
{
    out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << '\n';
    out.flush();
}

void Output::message(const QString &text)
{
    const QByteArray bytes = QStringLiteral("zn84ctl: %1\n").arg(text).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

int Output::fail(const QString &command, int code, const QString &why, QJsonObject extra)
{
    message(why);
    if (jsonMode) {
        extra.insert(QStringLiteral("command"), command);
        extra.insert(QStringLiteral("ok"), false);
        extra.insert(QStringLiteral("exit"), code);
        extra.insert(QStringLiteral("error"), why);
        object(extra);
    }
    return code;
}

int openOrFail(Session &session, const Options &options, Output &output, const QString &command)
{
    if (options.port.isEmpty())
        return output.fail(command, ExitUsage, QStringLiteral("no port given (-p PORT or $ZN84_PORT)"));
    OpenError why;
    if (session.open(options.port, options.baud, &why))
        return ExitOk;
    QJsonObject extra;
    extra.insert(QStringLiteral("port"), options.port);
    extra.insert(QStringLiteral("port_error"), why.errorName());
    return output.fail(command, ExitPort,
                       QStringLiteral("port %1 cannot be opened: %2").arg(options.port, why.reason()), extra);
}

} // namespace cli
