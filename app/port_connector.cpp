// SPDX-License-Identifier: GPL-3.0-or-later
#include "port_connector.h"

#include "mycombobox.h"
#include "receiver.h"

#include <QAbstractButton>
#include <QComboBox>

PortConnector::PortConnector(receiver *worker, const Widgets &widgets, QObject *parent)
    : QObject(parent), worker(worker), w(widgets)
{
    setObjectName(QStringLiteral("portConnector"));
}

bool PortConnector::connectTo(const QString &port, int baud)
{
    if (worker->isPortOpen() || w.commands->isEnabled())
        w.connect->click();   // disconnect first
    w.port->setEnabled(true);
    // Shown as when the operator picks it from the list; the window takes
    // the port and the rate from its choosers.
    w.port->choosePort(port);
    w.baud->setCurrentText(QString::number(baud));
    w.connect->click();
    return worker->isPortOpen();
}

QStringList PortConnector::candidatePorts() const
{
    QStringList ports = myCombobox::availablePortNames();
    if (worker->isPortOpen() || worker->isWaitingForDevice())
        ports.removeAll(w.port->currentPort());
    return ports;
}

QString PortConnector::port() const
{
    return w.port->currentPort();
}

int PortConnector::baud() const
{
    return w.baud->currentText().trimmed().toInt(nullptr, 10);
}
