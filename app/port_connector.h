// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PORT_CONNECTOR_H
#define PORT_CONNECTOR_H

// Connects the window to a port at a rate as the operator would: choosing
// them in the connection panel and pressing connect (disconnecting first if
// needed). The find dialog's "connect" and its list of ports to listen on go
// through here; the window's connect handler stays the one way in.

#include <QObject>
#include <QStringList>

class QAbstractButton;
class QComboBox;
class QWidget;
class myCombobox;
class receiver;

class PortConnector : public QObject
{
    Q_OBJECT

public:
    // The connection panel's widgets: connect button, port and rate
    // choosers, and the command tabs (enabled while connected).
    struct Widgets {
        QAbstractButton *connect;
        myCombobox *port;
        QComboBox *baud;
        QWidget *commands;
    };
    PortConnector(receiver *worker, const Widgets &widgets, QObject *parent);

    // True when the worker's port is open afterwards.
    bool connectTo(const QString &port, int baud);
    // Every port the chooser offers, except the one the worker holds or
    // waits for: its stream is not to be disturbed.
    QStringList candidatePorts() const;
    // The port and the rate the connection panel shows (those of the
    // connection while connected).
    QString port() const;
    int baud() const;

private:
    receiver *worker;
    Widgets w;
};

#endif // PORT_CONNECTOR_H
