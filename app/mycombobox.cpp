#include "mycombobox.h"

#include "port_list.h"

#include <QAbstractItemView>
#include <QFileInfo>
#include <QStyle>

// The box keeps its width whatever the entries are (a long description or
// path would widen the window past a small screen); the open list is as
// wide as its longest entry.
myCombobox::myCombobox(QWidget *parent) : QComboBox(parent)
{
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(12);
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

QString myCombobox::currentPort() const
{
    const QVariant port = currentData();
    return port.isValid() ? port.toString() : currentText();
}

void myCombobox::showPopup()
{
    refreshPorts();
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 2 * view()->frameWidth()
                            + style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    QComboBox::showPopup();
}

void myCombobox::refreshPorts()
{
    const QString chosen = currentPort();
    // Clearing leaves no current item and the first port appended becomes
    // the current one; the chosen port is made current again afterwards, so
    // the window's slot ends on it (a popup closed with Esc keeps it).
    clear();
    const QVector<portlist::Port> ports = portlist::availablePorts();
    for (const portlist::Port &port : ports) {
        // A simulated sensor's name is a long path: its file name says enough.
        const QString shortName = port.simulated ? QFileInfo(port.name).fileName() : port.name;
        const QString text = port.description.isEmpty()
                ? shortName : QStringLiteral("%1 (%2)").arg(shortName, port.description);
        addItem(text, port.name);
        const QString path = port.simulated ? port.name : port.location;
        setItemData(count() - 1, path.isEmpty() ? port.name : path, Qt::ToolTipRole);
    }
    const int index = findData(chosen);
    if (index >= 0)
        setCurrentIndex(index);
}
