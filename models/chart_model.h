// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CHART_MODEL_H
#define CHART_MODEL_H

#include "chart_stats.h"
#include "sliding_curve.h"

#include <QPointF>
#include <QVector>
#include <QtNumeric>
#include <cstdint>
#include <deque>

// What the window's live chart shows, without the widgets: the time window of
// decimated points, the time cursor, the live / suspended / cleared state, and
// the points to hand to the chart for a plot of a given width.
//
// Decimation: at `freq` frames a second every b-th frame of the stream is
// plotted (b = freq / 100 from 100 frames a second on, so at most about 100
// points a second). The phase runs on from batch to batch, so the batch size
// does not matter: a batch of 11 frames at b = 111 mostly plots nothing. A
// point's x is the time of its own frame, and the cursor advances by exactly
// the frames received over the rate.
//
// Drawing: a plot is about a thousand pixels wide, an hour's window holds
// 360,000 points. A line drawn through the first, smallest, largest and last
// point of each pixel column covers the same pixels as the line through all
// of them (the M4 aggregation), so when there are more than about four points
// per column the chart gets only those. The model keeps them per column of a
// fixed time grid (columns of range / plotWidth seconds, anchored at 0, so they
// do not move as the window scrolls): a batch updates the newest column, a
// dropped point at most marks the oldest column for a rescan, and a picture
// costs the plot's width. Changing the plot's width or the time range rebuilds
// the columns once.
class ChartModel
{
public:
    enum class State {
        Live,       // the chart follows the time window
        Suspended,  // the chart holds the picture taken at suspend; the window moves on
        Cleared,    // new or cleared while live: an empty chart until the next batch
    };

    // More than this many points per pixel column on average: draw the envelope.
    static constexpr int kPointsPerColumn = 4;

    // Every how many frames one is plotted at `freq` frames a second.
    static int decimationStep(int freq) { return freq >= 100 ? freq / 100 : 1; }

    State state() const { return current; }
    bool isSuspended() const { return current == State::Suspended; }
    // The frozen picture is a recording (until resume).
    bool isReplaying() const { return replaying; }

    // Seconds of frames received since the last clear (the newest frame's time).
    double timeCursor() const { return cursor; }
    // Where the newest batch began on the time axis (its frame k is drawn at
    // this + (k + 1) / rate): what a part that follows the chart's time, and
    // hears of a batch after the chart took it, places the batch by.
    double lastBatchStart() const { return batchStartX; }
    // Largest distance of the time window as of the last batch, in metres
    // (a clear keeps it until the next batch, a reset sets it to 0).
    double maxDistance() const { return peak; }
    // Distance of the newest plotted point, in metres.
    double newestDistance() const { return newest; }
    // Left end of the time axis for the live picture: where the window began
    // before the newest batch taken live cut it (0 for an empty window).
    double axisStart() const { return liveAxisStart; }
    // Frames to skip before the next plotted one.
    int decimationPhase() const { return skip; }

    // Points of the window, including those a held zoom keeps.
    int pointCount() const { return window.size(); }
    // Points of the time range alone (what the live picture shows).
    int livePointCount() const { return window.size() - liveIndex(); }
    QVector<QPointF> windowPoints() const;
    // While suspended, the window as it was when the picture was frozen.
    QVector<QPointF> frozenPoints() const { return frozen; }

    // Changes whenever what the live chart should show changes.
    quint64 revision() const { return changes; }

    // One batch of distances (centimetres) at `freq` frames a second with a
    // time window of `timeRange` seconds. Returns the number of points plotted.
    int addBatch(const QVector<uint16_t> &dist, int freq, int timeRange);

    // Time passes without frames (the device was away): the next point is
    // plotted `seconds` later than the frames alone would put it, so the gap
    // shows on the time axis.
    void skipTime(double seconds);

    // An operator's zoom holds its points: while held, the window keeps every
    // point from `x` on (and the one before, so that the line runs on to the
    // plot's left edge) even after they have aged out of the time range. The
    // live picture, its axis and its maximum still follow the time range
    // alone. Holding from a later x lets the points before it go with the
    // next batch; a release drops at once what the time range no longer
    // covers, and a clear releases too (its times start again at 0). A zoom
    // into a replayed recording holds nothing of the window.
    void holdFrom(double x);
    void releaseHold();
    bool isHolding() const { return holding; }

    void suspend();
    void resume();
    // The chart empties and the time restarts at 0; a suspended chart stays
    // suspended (empty), a live one waits for the next batch.
    void clear();
    // A new connection: cleared, and the maximum forgotten too.
    void reset();
    // A recording to look at: `points` (in time order) become the frozen
    // picture, as if the chart had been suspended on them; the window goes
    // on in the background on its own time, and resume goes back to it.
    void showRecording(const QVector<QPointF> &points);

    // Width of a pixel column in seconds for `range` seconds over `plotWidth`
    // pixels; 0 when there is no such grid.
    static double columnWidth(double range, double plotWidth);
    // True when `count` points are too many to draw one by one on the plot.
    static bool needsEnvelope(int count, double range, double plotWidth);
    // The largest x <= `x` of the form (k + phase) * columnWidth: an axis
    // starting there puts the column borders at a fixed place in the pixels.
    static double alignedStart(double x, double columnWidth, double phase);
    // The first, smallest, largest and last point of each column, in order
    // (each point once). Points must be in time order.
    static QVector<QPointF> envelope(const QPointF *points, int count, double columnWidth);

    // The live window's points to draw: all of them, or their envelope (of
    // the time range alone; not while a zoom holds older points).
    QVector<QPointF> windowCurve(double range, double plotWidth) const;
    // The frozen picture's points to draw.
    QVector<QPointF> frozenCurve(double range, double plotWidth) const;

    // What is on screen: the live window, or while suspended the frozen
    // picture. Points in time order; x from `xMin` to `xMax` (both included).
    int shownCount() const { return isSuspended() ? frozen.size() : window.size(); }
    // Index of the first shown point with x >= `xMin`, and one past the last
    // with x <= `xMax`.
    int shownLowerIndex(double xMin) const;
    int shownUpperIndex(double xMax) const;
    const QPointF &shownAt(int i) const { return isSuspended() ? frozen.at(i) : window.at(i); }
    // The shown points in the range (the data behind the picture).
    QVector<QPointF> shownPoints(double xMin, double xMax) const;
    // The points to draw for the range on a plot `plotWidth` pixels wide: all
    // of them or their envelope on the column grid, with the neighbour on
    // each side, so that the line runs on to the plot's edges.
    QVector<QPointF> shownCurve(double xMin, double xMax, double plotWidth) const;
    // Statistics of the shown points in the range, without a pass over them
    // (StatsIndex).
    ChartStats shownStats(double xMin, double xMax) const;
    // The shown point nearest to (x, y), distances measured in pixels:
    // `xPerPixel` seconds and `yPerPixel` metres a pixel. Searched among the
    // points within a few pixels of x, else the nearest in time, and only
    // among those from `xMin` to `xMax` (the visible time axis). False when
    // nothing is shown there.
    bool nearestShown(double x, double y, double xPerPixel, double yPerPixel, QPointF &found,
                      double xMin = -qInf(), double xMax = qInf()) const;

private:
    struct Column {
        qint64 index;   // floor(x / columnWidth)
        qint64 first;   // sequence numbers of points
        qint64 last;
        qint64 low;
        qint64 high;
    };

    void emptyWindow();
    // Index of the first point of the time range (0 unless a zoom holds older ones).
    int liveIndex() const;
    void dropOldest(int count);
    void appendPoint(const QPointF &p);
    void addToColumns(const QPointF &p, qint64 seq) const;
    const QPointF &pointAt(qint64 seq) const { return window.at(int(seq - dropped)); }
    void rebuildColumns(double width) const;
    void rescanOldestColumn() const;

    State current = State::Cleared;   // nothing shown yet
    // mutable: handing the points out shares the storage, which the curve
    // then copies on its next change; the points themselves stay as they are.
    mutable SlidingCurve window;
    // The window's distances for statistics (one entry per point), and the
    // frozen picture's.
    StatsIndex windowStats;
    StatsIndex frozenStats;
    qint64 dropped = 0;          // points dropped since the window was emptied
    QVector<QPointF> frozen;
    double cursor = 0;
    double batchStartX = 0;
    double peak = 0;
    double newest = 0;
    double liveAxisStart = 0;
    int skip = 0;
    quint64 changes = 0;
    // Sequence number of the time range's first point (as `dropped`
    // counts): points before it are kept only for a held zoom.
    qint64 liveSeq = 0;
    bool holding = false;
    double holdX = 0;
    bool replaying = false;

    // The column grid of the last picture (a cache: pictures are const).
    mutable std::deque<Column> columns;
    mutable double gridWidth = 0;       // 0: no grid kept
    mutable bool oldestStale = false;   // the oldest column lost points from its front
};

#endif // CHART_MODEL_H
