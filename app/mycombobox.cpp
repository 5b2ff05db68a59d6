#include "mycombobox.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

myCombobox::myCombobox(QWidget *parent) : QComboBox(parent)
{
}

// Simulated sensors leave a symlink to their pty in this directory; a link
// whose simulator has gone points nowhere and is skipped.
static QStringList simulatedPortNames()
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

QStringList myCombobox::availablePortNames()
{
    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names << info.portName();
    names << simulatedPortNames();
    return names;
}

void myCombobox::showPopup()
{
    // Clearing leaves no current item, so the window's slot sees an empty name;
    // the first port appended becomes the current one.
    clear();
    const QStringList names = availablePortNames();
    for (const QString &name : names)
        addItem(name);
    QComboBox::showPopup();
}
