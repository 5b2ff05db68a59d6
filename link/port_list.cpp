// SPDX-License-Identifier: GPL-3.0-or-later
#include "port_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace portlist {

QString simulatorDirectory()
{
    const QString named = qEnvironmentVariable("ZN84_SIM_DIR");
    if (!named.isEmpty())
        return named;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime + QStringLiteral("/zn84-sim");
#ifdef Q_OS_UNIX
    return QDir::tempPath() + QStringLiteral("/zn84-sim-") + QString::number(geteuid());
#else
    return QString();
#endif
}

// Every name in that folder is offered to the operator and opened as a
// sensor, so it is read only when no one but the user can have put anything
// there: a real folder (not a link) of the user's own that neither the group
// nor others may write. Of its entries only links of the user's own that
// point at a character device (a running simulator's pty) are listed; a link
// whose simulator has gone points nowhere and is skipped. Simulated sensors
// run on pseudo-terminals, so elsewhere there are none.
QStringList simulatedPortNames()
{
    QStringList names;
#ifdef Q_OS_UNIX
    const QString dirPath = simulatorDirectory();
    if (dirPath.isEmpty())
        return names;
    const uid_t me = geteuid();
    struct stat st;
    if (lstat(QFile::encodeName(dirPath).constData(), &st) != 0 || !S_ISDIR(st.st_mode)
            || st.st_uid != me || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return names;
    const QDir dir(dirPath);
    const QStringList entries = dir.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries) {
        const QString path = dir.absoluteFilePath(entry);
        const QByteArray native = QFile::encodeName(path);
        struct stat link;
        struct stat target;
        if (lstat(native.constData(), &link) != 0 || !S_ISLNK(link.st_mode) || link.st_uid != me)
            continue;
        if (stat(native.constData(), &target) != 0 || !S_ISCHR(target.st_mode))
            continue;
        names << path;
    }
#endif
    return names;
}

QVector<Port> availablePorts()
{
    QVector<Port> ports;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports.append({info.portName(), info.systemLocation(), info.description(), false});
    for (const QString &name : simulatedPortNames()) {
        const QString target = QFileInfo(name).symLinkTarget();
        ports.append({name, target, QStringLiteral("simulated sensor"), true});
    }
    return ports;
}

} // namespace portlist
