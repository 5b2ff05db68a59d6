// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PORT_LIST_H
#define PORT_LIST_H

// The serial ports a sensor may be on: the system's ports, then the running
// simulated sensors (which leave a symlink to their pseudo-terminal in a
// directory of their own). The window's port chooser and the command-line
// tool list the same ports in the same order.

#include <QString>
#include <QStringList>
#include <QVector>

namespace portlist {

struct Port
{
    QString name;          // what the port chooser shows and openPort takes
    QString location;      // the device file
    QString description;   // the system's description; empty when it has none
    bool simulated = false;
};

// Where simulated sensors leave a link to their pty: the folder named by
// ZN84_SIM_DIR, else the user's runtime folder, else a folder of the user's
// own under the temporary directory (the simulator picks it the same way).
QString simulatorDirectory();

// Full paths of the links of running simulated sensors, by name, from that
// folder only when it is safe (see port_list.cpp).
QStringList simulatedPortNames();

// The system's ports (by port name), then the simulated ones.
QVector<Port> availablePorts();

} // namespace portlist

#endif // PORT_LIST_H
