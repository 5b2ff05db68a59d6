// SPDX-License-Identifier: GPL-3.0-or-later
#include "worker_session.h"

#include "log_categories.h"
#include "receiver.h"

#include <QMetaEnum>
#include <QSerialPort>
#include <QThread>
#include <QTimer>

QString OpenError::errorName() const
{
    const QMetaEnum e = QMetaEnum::fromType<QSerialPort::SerialPortError>();
    const char *key = e.valueToKey(error);
    return key ? QString::fromLatin1(key) : QString::number(error);
}

QString OpenError::reason() const
{
    QString what;
    switch (failure) {
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
    return errorText.isEmpty() ? what : QStringLiteral("%1: %2").arg(what, errorText);
}

// The order matters: the worker's objects are in its thread before anything
// is connected to them.
WorkerSession::WorkerSession(Start when) : w(new receiver), workerThread(new QThread)
{
    w->moveToThread(workerThread);
    w->serialPort->moveToThread(workerThread);
    w->freqTimer->moveToThread(workerThread);
    // Errors are reported in the worker's thread, while the open runs. The
    // failed open closes the port again, which leaves NotOpenError behind:
    // the error that made the open fail is the last one before that.
    errorWatch = QObject::connect(w->serialPort, &QSerialPort::errorOccurred, w->serialPort,
                     [this](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::NoError || error == QSerialPort::NotOpenError)
            return;
        const QString text = w->serialPort->errorString();
        std::lock_guard<std::mutex> lock(errorMutex);
        openError = int(error);
        openErrorText = text;
    }, Qt::DirectConnection);
    if (when == Start::Now)
        start();
}

WorkerSession::~WorkerSession()
{
    if (!stop()) {
        // The worker and its thread stay; only this session's watch goes.
        QObject::disconnect(errorWatch);
        return;
    }
    delete w;
    delete workerThread;
}

void WorkerSession::start()
{
    if (!workerThread->isRunning())
        workerThread->start();
}

bool WorkerSession::isRunning() const
{
    return workerThread->isRunning();
}

bool WorkerSession::open(const QString &port, int baud, OpenError *why)
{
    {
        std::lock_guard<std::mutex> lock(errorMutex);
        openError = 0;
        openErrorText.clear();
    }
    if (w->openPort(port, baud))
        return true;
    if (why) {
        std::lock_guard<std::mutex> lock(errorMutex);
        why->failure = w->lastOpenFailure();
        why->error = openError;
        why->errorText = openErrorText;
    }
    return false;
}

void WorkerSession::close()
{
    w->closePort();
}

bool WorkerSession::stop(int waitMs)
{
    if (!workerThread->isRunning())
        return true;
    w->cancelUpgrade();
    w->closePort();
    // Deleting the timer after the thread has ended then needs no
    // cross-thread call.
    w->runInWorkerThread([this] { w->freqTimer->stop(); });
    workerThread->quit();
    if (workerThread->wait(waitMs))
        return true;
    qCDebug(lcLink) << "WorkerSession::stop: the worker's thread did not stop within" << waitMs << "ms";
    return false;
}
