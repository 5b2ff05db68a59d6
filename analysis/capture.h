// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84_CAPTURE_H
#define ZN84_CAPTURE_H

// A triggered capture, as an oscilloscope takes one: the samples before the
// trigger (pre), the trigger sample and the samples after it (post), all
// consecutive. A trigger counts only once the pre part is full, so every
// capture has exactly pre + 1 + post samples. It is fed whole batches and
// sees every sample, whatever the chart draws.

#include "measurement_batch.h"

#include <QIODevice>
#include <QMetaType>
#include <QObject>
#include <QVector>

#include <cstdint>
#include <functional>

namespace analysis {

enum class TriggerEdge {
    Rising,  // the previous sample below the level, this one at or above it
    Falling, // the previous sample above the level, this one at or below it
    Either,
    Leave,   // the first sample out of tolerance after one within it
};

enum class CaptureMode {
    Single, // one capture, then idle until armed again
    Normal, // re-arms after each capture
    Auto,   // as Normal, but takes a capture anyway when no trigger came for a while
};

struct CaptureSettings
{
    TriggerEdge edge = TriggerEdge::Rising;
    double levelM = 0;
    // For TriggerEdge::Leave: whether a distance (metres) is out of tolerance.
    std::function<bool(double)> outside;
    int pre = 0;
    int post = 0;
    CaptureMode mode = CaptureMode::Single;
    // Auto mode: samples after the pre part is full without a trigger before
    // one is forced (0: pre + 1 + post).
    int autoAfter = 0;
};

struct Capture
{
    QVector<uint16_t> cm;
    QVector<qint64> us;
    quint64 firstNumber = 0; // number of the first (pre) sample
    int pre = 0;             // index of the trigger sample
    bool forced = false;     // taken by the auto mode without a trigger
    int size() const { return cm.size(); }
    quint64 triggerNumber() const { return firstNumber + quint64(pre); }
    // Seconds from the trigger sample's host time.
    double seconds(int i) const { return (us.at(i) - us.at(pre)) / 1e6; }
};

// Writes `index,time_s,distance_m` rows (a header line first), index -pre to
// post, time from the trigger sample. False when the device fails.
bool writeCaptureCsv(const Capture &capture, QIODevice &out);

class TriggeredCapture : public QObject
{
    Q_OBJECT

public:
    // At most ten seconds each side at the sensor's fastest rate.
    static constexpr int kMaxSide = 10 * 11111;

    explicit TriggeredCapture(QObject *parent = nullptr);

    enum class State { Idle, Filling, Armed, Collecting };

    // False (nothing changed) for a side longer than kMaxSide, or for Leave
    // without a tolerance.
    bool setSettings(const CaptureSettings &settings);
    const CaptureSettings &settings() const { return cfg; }
    // Waits for a trigger from the next sample on (the pre part fills anew).
    void arm();
    void disarm();
    State state() const { return st; }
    // Triggers that started a capture since the last arm() (forced ones not counted).
    int triggers() const { return triggerCount; }
    const Capture &last() const { return lastCapture; }

    void add(const MeasurementBatch &batch);

signals:
    void triggered(quint64 number);
    void captured(const analysis::Capture &capture);
    void stateChanged();

private:
    void take(quint64 number, qint64 us, uint16_t cm);
    bool fires(uint16_t previous, uint16_t cm) const;
    void start(quint64 number, bool forced);
    void setState(State s);

    CaptureSettings cfg;
    State st = State::Idle;
    // The last pre + 1 samples seen since arming, as a ring.
    QVector<uint16_t> ringCm;
    QVector<qint64> ringUs;
    quint64 seen = 0;      // consecutive samples taken since arming (or a gap)
    quint64 expected = 0;  // number of the next sample
    bool haveExpected = false;
    quint64 sinceFull = 0; // samples since the pre part was full, for the auto mode
    Capture current;
    Capture lastCapture;
    int triggerCount = 0;
};

} // namespace analysis

Q_DECLARE_METATYPE(analysis::Capture)

#endif // ZN84_CAPTURE_H
