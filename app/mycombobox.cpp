#include "mycombobox.h"

#include "port_list.h"

myCombobox::myCombobox(QWidget *parent) : QComboBox(parent)
{
}

QString myCombobox::simulatorDirectory()
{
    return portlist::simulatorDirectory();
}

QStringList myCombobox::availablePortNames()
{
    QStringList names;
    const QVector<portlist::Port> ports = portlist::availablePorts();
    for (const portlist::Port &port : ports)
        names << port.name;
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
