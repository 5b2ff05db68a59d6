// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef JUDGE_PANEL_H
#define JUDGE_PANEL_H

// Judging the live measurement in the window: zero and master, the tolerance
// with its hysteresis, the host filter, a large state indicator and the
// counters, in a dock of its own; on the chart the limit lines, the spans out
// of tolerance (from every sample, so that a spike between two plotted points
// still shows) and the filtered curve over the raw one. The judge itself is
// the widget-free MeasurementJudge on the window's batch stream; this part
// only sets it up and shows it. The operator's choices are remembered.

#include "measurement_judge.h"

#include <QGraphicsItem>
#include <QPointer>
#include <QVector>
#include <QWidget>

#include <QtCharts/QChartGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
QT_BEGIN_NAMESPACE
#else
QT_CHARTS_BEGIN_NAMESPACE
#endif
class QChart;
class QValueAxis;
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
QT_END_NAMESPACE
#else
QT_CHARTS_END_NAMESPACE
QT_CHARTS_USE_NAMESPACE
#endif

class BatchStream;
class ChartModel;
class QCheckBox;
class QComboBox;
class QDockWidget;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QSpinBox;

// What the panel draws over the plot (in the chart's coordinates).
class JudgeOverlay : public QGraphicsItem
{
public:
    explicit JudgeOverlay(QChart *chart);

    // The limits as distances on the chart (absolute metres); none when off.
    void setLimitLines(bool on, double low, double high);
    void setFilterCurve(bool on);
    // A judged batch whose first frame follows the chart's time `batchStart`
    // (seconds) at `rate` frames a second.
    void add(const JudgedBatch &batch, double batchStart, double rate);
    void clear();
    // The chart was laid out anew.
    void relayout()
    {
        prepareGeometryChange();
        update();
    }

    int spanCount() const { return spans.size(); }
    // Where span `i` ends on the chart's time axis (seconds).
    double spanEnd(int i) const { return spans.at(i).to; }
    int filterPointCount() const { return filterPoints.size(); }

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    void prune(double before);

    QChart *chart;
    bool limitsOn = false;
    double lowY = 0, highY = 0;
    bool filterOn = false;
    QVector<QPointF> filterPoints;     // one point in `step` frames, as the chart plots
    int skip = 0;
    struct Span { double from, to; };
    QVector<Span> spans;               // out of tolerance, in chart seconds
    bool inSpan = false;
    double lastX = -1;
};

class JudgePanel : public QWidget
{
    Q_OBJECT

public:
    // Puts itself in a dock at the window's right, listens to `stream`, and
    // draws on `chart`, whose time axis `model` keeps.
    JudgePanel(BatchStream *stream, QChart *chart, const ChartModel *model, QMainWindow *window);

    MeasurementJudge *judge() { return &measurementJudge; }
    const JudgeOverlay *overlay() const { return chartOverlay; }
    QDockWidget *dock() const { return dockWidget; }
    // What the distance readout shows for `raw` (the window's newest
    // distance): the judged value while a zero, a master or a filter that
    // feeds the readouts is on, else `raw` itself.
    double readout(double raw) const;

    // The state's text in the interface's language.
    static QString stateText(JudgeState state);
    // The texts in the interface's language (the window calls it when the
    // language changes).
    void retranslate();

protected:
    // The choices are written when the window closes, with the window's own.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createWidgets();
    void layOut();
    void restore();
    void save() const;
    void applyLimits();
    void applyFilter();
    void zeroClicked();
    void masterClicked();
    void absoluteClicked();
    void resetClicked();
    void onJudged(const JudgedBatch &batch);
    void showState(JudgeState state);
    void showReference();
    void showCounters();
    void refuse(QLineEdit *field, const QString &why, const QString &restore);
    void syncOverlay();

    MeasurementJudge measurementJudge;
    const ChartModel *model;
    QMainWindow *window;
    QDockWidget *dockWidget;
    JudgeOverlay *chartOverlay;
    QChart *chart;

    QGroupBox *referenceBox, *toleranceBox, *filterBox, *countBox;
    QLabel *stateLabel, *valueLabel, *referenceLabel;
    QLabel *samplesCaption, *masterCaption;
    QSpinBox *zeroSamples;
    QPushButton *zeroButton, *masterButton, *absoluteButton, *resetButton, *applyLimitsButton;
    QLineEdit *masterEdit, *lowerEdit, *upperEdit, *hysteresisEdit, *jumpEdit;
    QLabel *lowerCaption, *upperCaption, *hysteresisCaption, *kindCaption, *lengthCaption, *jumpCaption,
        *jumpSamplesCaption;
    QComboBox *filterKind;
    QSpinBox *filterLength, *jumpSamples;
    QCheckBox *filterFeeds;
    static constexpr int kCounters = 10;
    QLabel *counterCaption[kCounters];
    QLabel *counterValue[kCounters];
    QTimer *counterTimer;
    bool restoring = false;
};

#endif // JUDGE_PANEL_H
