// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef LOG_CAPTURE_H
#define LOG_CAPTURE_H

// Collects the debug messages of every thread while it lives, so that a test
// can look for the worker's log lines.

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

class LogCapture
{
public:
    LogCapture() { previous = qInstallMessageHandler(&LogCapture::handler); }
    ~LogCapture() { qInstallMessageHandler(previous); }

    static QStringList lines()
    {
        QMutexLocker lock(&mutex());
        return store();
    }
    static void clear()
    {
        QMutexLocker lock(&mutex());
        store().clear();
    }
    static bool contains(const QString &piece)
    {
        for (const QString &line : lines()) {
            if (line.contains(piece))
                return true;
        }
        return false;
    }
    static int count(const QString &piece)
    {
        int n = 0;
        for (const QString &line : lines())
            n += line.contains(piece) ? 1 : 0;
        return n;
    }

private:
    static void handler(QtMsgType, const QMessageLogContext &, const QString &msg)
    {
        QMutexLocker lock(&mutex());
        store().append(msg);
    }
    static QMutex &mutex()
    {
        static QMutex m;
        return m;
    }
    static QStringList &store()
    {
        static QStringList s;
        return s;
    }

    QtMessageHandler previous = nullptr;
};

#endif // LOG_CAPTURE_H
