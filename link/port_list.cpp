#include "port_list.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace portlist {

QStringList simulatedPortNames()
{
    QStringList names;
    const QDir dir(QDir::tempPath() + QStringLiteral("/zn84-sim"));
    if (!dir.exists())
        return names;
    const QFileInfoList entries = dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot,
                                                    QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.isSymLink() && QFileInfo::exists(entry.symLinkTarget()))
            names << entry.absoluteFilePath();
    }
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
