// SPDX-License-Identifier: GPL-3.0-or-later
#include "receiver.h"

#include "measurement_parser.h"

#include <QSerialPort>

#include <algorithm>

void receiver::slotReceiver()
{
    rxBuffer.append(serialPort->readAll());
    frameCount += parseMeasurementFrames(rxBuffer, distBuffer, health);

    // One batch per read at most, once more than distNum distances gathered.
    if (distBuffer.size() > distNum.load(std::memory_order_relaxed)) {
        // A deep copy leaves distBuffer unshared, so emptying it keeps its
        // capacity instead of detaching into a fresh allocation.
        QVector<uint16_t> batch(distBuffer.size());
        std::copy(distBuffer.cbegin(), distBuffer.cend(), batch.begin());
        emit signalDistance(batch, frameRate);
        distBuffer.resize(0);
    }
}

void receiver::slotCalcFreq()
{
    frameRate = frameCount;
    frameCount = 0;
    emit signalLineHealth(health);
}
