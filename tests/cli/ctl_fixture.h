// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CTL_FIXTURE_H
#define CTL_FIXTURE_H

// Runs the real zn84ctl program (QProcess) against a simulated sensor on a
// pseudo-terminal, and reads what reached the sensor.

#include "simsensor.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace ctl {

struct Run
{
    int exitCode = -1;
    bool finished = false;
    QByteArray out;
    QByteArray err;

    QStringList outLines() const
    {
        QStringList lines = QString::fromUtf8(out).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
    QString describe() const
    {
        return QStringLiteral("exit %1; stdout: %2; stderr: %3")
            .arg(exitCode)
            .arg(QString::fromUtf8(out.left(600)), QString::fromUtf8(err.left(600)));
    }
};

// The environment of every run: no default port from the caller's shell.
inline QProcessEnvironment cleanEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ZN84_PORT"));
    return env;
}

// The zn84ctl of the same build as the test.
inline QString ctlProgram()
{
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral(ZN84CTL_FROM_TESTS));
}

inline void startCtl(QProcess &p, const QStringList &args, const QString &wrapper = QString(),
                     const QStringList &wrapperArgs = QStringList())
{
    p.setProcessEnvironment(cleanEnvironment());
    if (wrapper.isEmpty()) {
        p.start(ctlProgram(), args);
    } else {
        p.start(wrapper, wrapperArgs + QStringList{ctlProgram()} + args);
    }
}

// Runs zn84ctl to its end (bounded by timeoutMs, after which it is killed).
inline Run runCtl(const QStringList &args, int timeoutMs = 60000, const QString &wrapper = QString(),
                  const QStringList &wrapperArgs = QStringList())
{
    QProcess p;
    startCtl(p, args, wrapper, wrapperArgs);
    Run r;
    if (!p.waitForStarted(10000))
        return r;
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

// Replaces %DEV% in the arguments by the device path.
inline QStringList withDevice(QStringList args, const QString &device)
{
    for (QString &a : args)
        a.replace(QStringLiteral("%DEV%"), device);
    return args;
}

inline QByteArray bytesOf(const sim::Bytes &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), int(b.size()));
}

// A frame written straight into the line after the program has ended:
// once the sensor has it, everything the program wrote has arrived before
// it. Its id (0x7F) is no command of the sensor, so it is never answered and
// no program run by the tests writes it. Returns what the sensor received
// before the marker (or the whole log with "timeout" appended when the
// marker never came).
inline QByteArray receivedBeforeMarker(sim::SimSensor &sensor)
{
    const QByteArray marker = QByteArray::fromHex("5a047fdd");
    const std::string device = sensor.devicePath();
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QByteArray("open failed");
    const ssize_t written = ::write(fd, marker.constData(), size_t(marker.size()));
    ::close(fd);
    if (written != marker.size())
        return QByteArray("write failed");
    const bool arrived = QTest::qWaitFor([&] { return bytesOf(sensor.received()).endsWith(marker); }, 10000);
    const QByteArray all = bytesOf(sensor.received());
    return arrived ? all.left(all.size() - marker.size()) : all + "timeout";
}

// One JSON object per line; empty objects for lines that are not one.
inline QList<QJsonObject> jsonLines(const Run &r)
{
    QList<QJsonObject> objects;
    for (const QString &line : r.outLines()) {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
        objects << (error.error == QJsonParseError::NoError && doc.isObject() ? doc.object() : QJsonObject());
    }
    return objects;
}

} // namespace ctl

#endif // CTL_FIXTURE_H
