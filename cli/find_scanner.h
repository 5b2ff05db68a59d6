#ifndef ZN84CTL_FIND_SCANNER_H
#define ZN84CTL_FIND_SCANNER_H

// ---------------------------------------------------------------------------
// SEAM: finding a streaming sensor.
//
// `zn84ctl find` needs one thing from here: for a list of ports and baud
// rates, where measurement frames arrive. This is a minimal listening
// scanner of the tool's own (it never writes to a port). The link library's
// port scanner replaces it: implement scanForSensors() on top of it (or
// replace this header's body with a call into it) and keep the signature;
// cmd_ports.cpp and the tests use nothing else.
// ---------------------------------------------------------------------------

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
    int listenMs = 1000;    // per port and baud rate, at most
    int enoughFrames = 5;   // frames that prove a sensor (the listening ends early)
};

struct ScanHooks
{
    std::function<bool()> interrupted;                    // polled between and during listens
    std::function<void(const FoundSensor &)> found;       // each hit, as it is made
    std::function<void(const QString &, int)> trying;     // port and baud about to be listened to
    // A port that cannot be opened: its name, the reason, QSerialPort's error.
    std::function<void(const QString &, const QString &, const QString &)> unopenable;
};

// Listens on every port at every baud rate until a sensor is found there.
// Ports that cannot be opened are skipped. Returns the hits in order.
QList<FoundSensor> scanForSensors(const ScanRequest &request, const ScanHooks &hooks);

} // namespace cli

#endif // ZN84CTL_FIND_SCANNER_H
