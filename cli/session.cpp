// SPDX-License-Identifier: GPL-3.0-or-later
// Output and the worker session: the worker in its own thread as in the
// viewer, and the port's open with the reason of a failure.

#include "cli.h"

#include "receiver.h"

#include <QJsonDocument>
#include <QMetaEnum>
#include <QSerialPort>
#include <QThread>
#include <QTimer>

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

QString metres(uint16_t cm)
{
    // The record file's format: QTextStream's default notation of d / 100.0.
    QString text;
    QTextStream stream(&text);
    stream << cm / 100.0;
    stream.flush();
    return text;
}

Session::Session() : thread(new QThread), w(new receiver)
{
    w->moveToThread(thread);
    w->serialPort->moveToThread(thread);
    w->freqTimer->moveToThread(thread);
    // Errors are reported in the worker's thread, while the open runs. The
    // failed open closes the port again, which leaves NotOpenError behind:
    // the error that made the open fail is the last one before that.
    QObject::connect(w->serialPort, &QSerialPort::errorOccurred, w->serialPort,
                     [this](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::NoError || error == QSerialPort::NotOpenError)
            return;
        const QString text = w->serialPort->errorString();
        std::lock_guard<std::mutex> lock(errorMutex);
        openError = int(error);
        openErrorText = text;
    }, Qt::DirectConnection);
    thread->start();
}

Session::~Session()
{
    if (thread->isRunning()) {
        // A transfer in progress stops within one wait step instead of
        // holding the close for the rest of the image.
        w->cancelUpgrade();
        w->closePort();
        w->runInWorkerThread([this] { w->freqTimer->stop(); });
        thread->quit();
        thread->wait();
    }
    delete w;
    delete thread;
}

void Session::close()
{
    w->closePort();
}

namespace {

QString errorName(int error)
{
    const QMetaEnum e = QMetaEnum::fromType<QSerialPort::SerialPortError>();
    const char *key = e.valueToKey(error);
    return key ? QString::fromLatin1(key) : QString::number(error);
}


} // namespace

bool Session::open(const QString &port, int baud, QString &reason, QString &name)
{
    {
        std::lock_guard<std::mutex> lock(errorMutex);
        openError = 0;
        openErrorText.clear();
    }
    if (w->openPort(port, baud))
        return true;
    int error = 0;
    QString text;
    {
        std::lock_guard<std::mutex> lock(errorMutex);
        error = openError;
        text = openErrorText;
    }
    name = errorName(error);
    // The worker tells the reasons apart as the window shows them.
    QString what;
    switch (w->lastOpenFailure()) {
    case OpenFailure::Missing:
        what = QStringLiteral("missing");
        break;
    case OpenFailure::NotPermitted:
        what = QStringLiteral("not permitted");
        break;
    case OpenFailure::Busy:
        what = QStringLiteral("busy (in use by another program)");
        break;
    default:
        what = QStringLiteral("cannot be used as a serial port");
        break;
    }
    reason = text.isEmpty() ? what : QStringLiteral("%1: %2").arg(what, text);
    return false;
}

int openOrFail(Session &session, const Options &options, Output &output, const QString &command)
{
    if (options.port.isEmpty())
        return output.fail(command, ExitUsage, QStringLiteral("no port given (-p PORT or $ZN84_PORT)"));
    QString reason;
    QString name;
    if (session.open(options.port, options.baud, reason, name))
        return ExitOk;
    QJsonObject extra;
    extra.insert(QStringLiteral("port"), options.port);
    extra.insert(QStringLiteral("port_error"), name);
    return output.fail(command, ExitPort, QStringLiteral("port %1 cannot be opened: %2").arg(options.port, reason),
                       extra);
}

} // namespace cli
