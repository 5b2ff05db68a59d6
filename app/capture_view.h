// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CAPTURE_VIEW_H
#define CAPTURE_VIEW_H

// The triggered capture in the window: edge and level (or leaving the
// tolerance, once a judge supplies one), the seconds before and after the
// trigger, single / normal / auto; the last capture shown frozen with the
// trigger at 0 s, saved as CSV; the triggers counted.

#include "capture.h"

#include <QWidget>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <functional>

class BatchStream;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
QT_CHARTS_USE_NAMESPACE
#endif

class CaptureView : public QWidget
{
    Q_OBJECT

public:
    explicit CaptureView(BatchStream *stream, QWidget *parent = nullptr);
    // The texts in the interface's language (the window calls it).
    void retranslate();

    // Offers "leaving the tolerance" as a trigger: `outside` tells whether a
    // distance in metres is out of it.
    void setTolerance(std::function<bool(double)> outside);
    analysis::TriggeredCapture &trigger() { return capture; }
    // Arms with the settings on screen; false (and a reason shown) when they
    // cannot be used yet (no frame rate known).
    bool arm();
    // Writes the last capture to `path`.
    bool save(const QString &path);

private:
    void showCapture(const analysis::Capture &capture);
    void showState();
    void saveAs();

    analysis::TriggeredCapture capture;
    std::function<bool(double)> tolerance;
    double rate = 0;
    QComboBox *edge;
    QDoubleSpinBox *level;
    QDoubleSpinBox *preSeconds;
    QDoubleSpinBox *postSeconds;
    QComboBox *mode;
    QPushButton *armButton;
    QPushButton *saveButton;
    QLabel *captions[5];
    QLabel *state;
    QChart *chart;
    QChartView *view;
    QLineSeries *series;
    QLineSeries *zero;
    QValueAxis *axisX;
    QValueAxis *axisY;
};

#endif // CAPTURE_VIEW_H
