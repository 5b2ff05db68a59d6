#ifndef TRAFFIC_ENTRY_H
#define TRAFFIC_ENTRY_H

// One command exchange as it went over the line: what the worker wrote and
// what came back while it waited, for the operator's traffic view. The
// measurement stream is not recorded; a firmware transfer is one summary
// entry (its header frame and the number of frames).

#include <QByteArray>
#include <QDateTime>
#include <QString>

struct TrafficEntry
{
    QDateTime time;        // when the exchange ended
    QString name;          // the exchange (its log tag without the class, or the command id)
    QByteArray sent;       // every byte written, attempts one after the other
    QByteArray received;   // every byte read while waiting for the answer
    bool ok = false;       // answered as expected
    int frames = 0;        // a firmware transfer: frames sent (0 otherwise)
};

#endif // TRAFFIC_ENTRY_H
