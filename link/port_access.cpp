// SPDX-License-Identifier: GPL-3.0-or-later
#include "port_access.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

QString portLocation(const QString &portName)
{
#ifdef Q_OS_UNIX
    if (portName.contains(QLatin1Char('/')))
        return portName;
    return QStringLiteral("/dev/") + portName;
#else
    return portName;
#endif
}

OpenFailure classifyOpenFailure(const QString &portName, QSerialPort::SerialPortError error)
{
    // No port chosen at all: nothing to tell beyond the failure.
    if (portName.isEmpty())
        return OpenFailure::Unknown;
    if (error == QSerialPort::DeviceNotFoundError)
        return OpenFailure::Missing;
#ifdef Q_OS_UNIX
    const QString location = portLocation(portName);
    if (!QFileInfo::exists(location))
        return OpenFailure::Missing;
    // The port's own open reports "permission" both for a device this user may
    // not open and for one another program holds (exclusive mode, lock file):
    // the system's answer to a plain open tells them apart.
    const int fd = ::open(QFile::encodeName(location).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
        case EACCES:
        case EPERM:
            return OpenFailure::NotPermitted;
        case EBUSY:
            return OpenFailure::Busy;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return OpenFailure::Missing;
        default:
            return OpenFailure::Unknown;
        }
    }
    ::close(fd);
    // The device opens for anyone; the port refused it all the same, which it
    // does for a device in use (its lock file, or exclusive mode, which does
    // not bind a privileged user).
    if (error == QSerialPort::PermissionError)
        return OpenFailure::Busy;
    return OpenFailure::Unknown;
#else
    switch (error) {
    case QSerialPort::PermissionError:
        return OpenFailure::Busy;   // Windows reports a port in use this way
    default:
        return OpenFailure::Unknown;
    }
#endif
}

bool portDeviceGone(const QSerialPort &port)
{
#ifdef Q_OS_UNIX
    if (!QFileInfo::exists(portLocation(port.portName())))
        return true;
    const int fd = int(port.handle());
    if (fd < 0)
        return true;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return errno != EINTR;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    Q_UNUSED(port);
    return true;   // no other check here: believe the port's report
#endif
}
