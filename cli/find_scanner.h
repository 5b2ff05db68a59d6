// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84CTL_FIND_SCANNER_H
#define ZN84CTL_FIND_SCANNER_H

// Finding a streaming sensor for `zn84ctl find`: for a list of ports and
// baud rates, where measurement frames arrive. It listens only, on the link
// library's port scanner (the window's "find" uses the same).

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace cli {

struct FoundSensor
{
    QString port;
    int baud = 0;
    int frames = 0;         // good measurement frames seen while listening
    double seconds = 0;     // how long it listened there
};

struct ScanRequest
{
    QStringList ports;      // in order
    QList<int> bauds;       // in order; a port is left at its first hit
    int listenMs = 400;     // per port and baud rate, at most
    int enoughFrames = 5;   // frames that prove a sensor (the listening ends early)
};

struct ScanHooks
{
    std::function<bool()> interrupted;                    // polled between and during listens
    std::function<void(const FoundSensor &)> found;       // each hit, as it is made
    std::function<void(const QString &, int)> trying;     // port about to be listened to (baud 0: all of them)
    // A port that cannot be opened: its name, the reason, QSerialPort's error.
    std::function<void(const QString &, const QString &, const QString &)> unopenable;
};

// Listens on every port at every baud rate until a sensor is found there.
// Ports that cannot be opened are skipped. Returns the hits in order.
QList<FoundSensor> scanForSensors(const ScanRequest &request, const ScanHooks &hooks);

} // namespace cli

#endif // ZN84CTL_FIND_SCANNER_H
