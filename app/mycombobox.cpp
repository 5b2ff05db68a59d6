// SPDX-License-Identifier: GPL-3.0-or-later
#include "mycombobox.h"

#include "port_list.h"

#include <QAbstractItemView>
#include <QStyleOptionComboBox>
#include <QFileInfo>
#include <QStyle>

// The box keeps its width whatever the entries are (a long description or
// path would widen the window past a small screen), wide enough for the
// longest port name there is, a simulated sensor's; a description after it
// may be cut, the tooltip has the full path. The open list is as wide as
// its longest entry.
myCombobox::myCombobox(QWidget *parent) : QComboBox(parent)
{
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(1);
}

// As wide as a simulated sensor's name with the largest process id Linux
// hands out (4194304) and a two-digit sequence number needs.
int myCombobox::widestNameWidth() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QFontMetrics metrics = fontMetrics();
    const QSize text(metrics.horizontalAdvance(QStringLiteral("simulated-sensor-4194304-99")), metrics.height());
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, this).width();
}

QSize myCombobox::minimumSizeHint() const
{
    QSize size = QComboBox::minimumSizeHint();
    size.setWidth(qMax(size.width(), widestNameWidth()));
    return size;
}

QSize myCombobox::sizeHint() const
{
    QSize size = QComboBox::sizeHint();
    size.setWidth(qMax(size.width(), widestNameWidth()));
    return size;
}

QString myCombobox::shownName(const QString &name)
{
    return name.contains(QLatin1Char('/')) ? QFileInfo(name).fileName() : name;
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
    for (const portlist::Port &port : ports)
        addPort(port.name, port.description, port.simulated ? port.name : port.location);
    const int index = findData(chosen);
    if (index >= 0)
        setCurrentIndex(index);
}

// A simulated sensor's name is a long path: its file name says enough.
void myCombobox::addPort(const QString &name, const QString &description, const QString &path)
{
    const QString shortName = shownName(name);
    addItem(description.isEmpty() ? shortName : QStringLiteral("%1 (%2)").arg(shortName, description), name);
    setItemData(count() - 1, path.isEmpty() ? name : path, Qt::ToolTipRole);
}

void myCombobox::choosePort(const QString &name)
{
    refreshPorts();
    int index = findData(name);
    if (index < 0) {
        addPort(name, QString(), name);
        index = count() - 1;
    }
    setCurrentIndex(index);
}
