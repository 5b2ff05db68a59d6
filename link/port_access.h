// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PORT_ACCESS_H
#define PORT_ACCESS_H

// What the operating system says about a serial port the worker could not
// open or has lost, told apart so that the operator hears the real reason:
// a port that is not there, one that is there but not permitted to this user,
// and one that another program holds. No widgets; any thread.

#include <QSerialPort>
#include <QString>

enum class OpenFailure {
    None,          // opened
    Unknown,       // failed for another reason
    NotPermitted,  // exists, but this user may not open it
    Busy,          // exists, but another program has it open
    Missing,       // no such device
};

// The device file behind a port name: "ttyUSB0" is /dev/ttyUSB0, a name with
// a path (a simulator's link) is itself.
QString portLocation(const QString &portName);

// Why opening `portName` failed with `error`. Looks at the device file and,
// on POSIX systems, tries to open it once (without becoming its controlling
// terminal) to learn the reason the system gives.
OpenFailure classifyOpenFailure(const QString &portName, QSerialPort::SerialPortError error);

// True when the device behind an open port has gone: its file is missing, or
// the open descriptor reports a hang-up. A port that reported an error but
// passes both checks is still there.
bool portDeviceGone(const QSerialPort &port);

#endif // PORT_ACCESS_H
