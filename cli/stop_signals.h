// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84CTL_STOP_SIGNALS_H
#define ZN84CTL_STOP_SIGNALS_H

// SIGINT and SIGTERM as a Qt signal in the main thread. The handler only
// writes the signal's number into a pipe (async-signal-safe); a socket
// notifier on the other end turns it into `stopRequested` in the event loop.
// A second signal of the same kind, while the first is being handled, ends
// the program the default way.

#include <QObject>

class QSocketNotifier;

namespace cli {

class StopSignals : public QObject
{
    Q_OBJECT

public:
    // Installs the handlers; the previous ones come back on destruction.
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    bool requested() const { return received != 0; }
    int signalNumber() const { return received; }

signals:
    void stopRequested(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *notifier = nullptr;
    int received = 0;
};

} // namespace cli

#endif // ZN84CTL_STOP_SIGNALS_H
