// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PORT_SCANNER_H
#define PORT_SCANNER_H

// Finds the sensor: listens on serial ports at each of a list of baud rates
// and reports where measurement frames with correct checksums arrive. It only
// listens; it writes to a port only when asked to try the version query as
// well (a device that is not the sensor may not like unknown bytes). No
// widgets: the window and command-line tools use it alike.

#include "measurement_parser.h"
#include "port_access.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <memory>
#include <vector>

class QThread;

struct ScanHit
{
    QString port;
    int baud = 0;
    int goodFrames = 0;        // frames with a correct checksum heard
    int badFrames = 0;         // frames with a wrong one
    bool versionReply = false; // found by the version query, not by listening
};

struct ScanOptions
{
    // The rates tried, in this order.
    QList<int> rates = offeredRates();
    // How long each rate is listened to at most. A sensor streams at 1 Hz at
    // its slowest; the usual 100 Hz and more bring enough frames long before.
    int listenMs = 400;
    // Frames with a correct checksum that make a hit (listening stops early
    // once they are in). Several, so that noise cannot make one by chance.
    int framesWanted = 3;
    // After listening in vain at a rate, write the sensor's version query and
    // look for its reply.
    bool queryVersion = false;
    int versionWaitMs = 500;

    // The rates the viewer offers: the sensor's own (4800 to 1,000,000) and
    // 230400, common on adapters.
    static QList<int> offeredRates();
};

// The outcome of one port.
struct PortScanResult
{
    QString port;
    OpenFailure failure = OpenFailure::None;  // the port could not be opened
    QVector<ScanHit> hits;                   // the rates where the sensor was heard
};

class PortScanner : public QObject
{
    Q_OBJECT

public:
    explicit PortScanner(QObject *parent = nullptr);
    // Cancels a scan in progress and waits for it (at most one listening step).
    ~PortScanner() override;

    // Scans the ports, each in a thread of its own, and returns at once.
    // portScanned is emitted for each port, from its thread, then finished
    // once, from the last one (connect with connectAcrossThreads).
    // False when a scan is still running.
    bool start(const QStringList &ports, const ScanOptions &options = ScanOptions());
    // Asks the scan to stop; the ports report what was found so far.
    void cancel();
    bool isRunning() const;

    // Scans one port in the calling thread (blocking; any thread but one
    // whose events matter meanwhile).
    static PortScanResult scanPort(const QString &port, const ScanOptions &options,
                                   const std::atomic<bool> &cancel);

    // Whether what was heard at one rate is the sensor: at least
    // framesWanted frames with a correct checksum, and more of them than
    // frames with a wrong one (a line at the wrong rate can make a few
    // good-looking frames out of noise, never mostly).
    static bool countsAsFound(const LineHealth &health, const ScanOptions &options);

signals:
    void portScanned(PortScanResult result);
    void finished();

private:
    void join();

    // QThreads: the port's notifiers want a thread Qt knows.
    std::vector<QThread *> threads;
    std::atomic<bool> cancelled{false};
    std::shared_ptr<std::atomic<int>> remaining;
};

#endif // PORT_SCANNER_H
