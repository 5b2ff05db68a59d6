// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84_WORKER_SESSION_H
#define ZN84_WORKER_SESSION_H

// The worker's lifecycle, the same for every front end: the worker
// (`receiver`) and its port and rate timer in a thread of their own, the
// port's open with the reasons of a failure, its close, and a stop that ends
// within a bound. The window and zn84ctl both hold one; neither starts,
// moves or stops the worker themselves.

#include "port_access.h"

#include <QObject>
#include <QString>

#include <mutex>

class QThread;
class receiver;

// Why an open failed: the worker's reason (missing, not permitted, busy,
// ...) and the serial port's error behind it.
struct OpenError
{
    OpenFailure failure = OpenFailure::None;
    int error = 0;              // QSerialPort::SerialPortError; 0 when none was reported
    QString errorText;          // the port's own words for it

    // QSerialPort's name of the error, e.g. "PermissionError".
    QString errorName() const;
    // The reason in words for a log or a script: "busy (in use by another
    // program): Device or resource busy".
    QString reason() const;
};

class WorkerSession
{
public:
    enum class Start { Now, Later };

    // Makes the worker and its thread and moves the worker, its port and its
    // rate timer there; the thread runs at once or from start() on.
    explicit WorkerSession(Start when = Start::Now);
    // Stops within the bound and deletes the worker and its thread; a thread
    // that did not stop keeps its objects (deleting them under it would be
    // worse).
    ~WorkerSession();
    WorkerSession(const WorkerSession &) = delete;
    WorkerSession &operator=(const WorkerSession &) = delete;

    receiver *worker() const { return w; }
    QThread *thread() const { return workerThread; }

    void start();
    bool isRunning() const;

    // Opens the port (blocking, as the worker's wrappers are). On failure
    // `why` (when given) says what went wrong.
    bool open(const QString &port, int baud, OpenError *why = nullptr);
    void close();

    // The orderly stop: a firmware transfer is cancelled (it would hold the
    // close for the rest of its image), the port closed in the worker's
    // thread behind whatever runs there, the rate timer stopped in its own
    // thread, the thread ended and waited for at most `waitMs`. True when the
    // thread has stopped (or never ran).
    static constexpr int kStopWaitMs = 5000;
    bool stop(int waitMs = kStopWaitMs);

private:
    receiver *w;
    QThread *workerThread;
    QMetaObject::Connection errorWatch;
    std::mutex errorMutex;
    int openError = 0;          // the last error other than NotOpenError
    QString openErrorText;
};

#endif // ZN84_WORKER_SESSION_H
