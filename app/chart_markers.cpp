// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart_markers.h"

#include "chart_files.h"
#include "chart_model.h"
#include "chart_panel.h"
#include "recorder.h"

#include <QChart>
#include <QGraphicsLineItem>
#include <QGraphicsSimpleTextItem>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QPen>
#include <QToolButton>
#include <QValueAxis>
#include <QWidgetAction>

#include <algorithm>

namespace {

// Orange: apart from the curve's blue and the hover ring's red, on a light
// or a dark plot.
const QColor kMarkerColour(230, 126, 34);

} // namespace

ChartMarkers::ChartMarkers(const Chart &parts, ChartPanel *panel, ChartFiles *files, ChartModel &model,
                           Recorder *rec, QObject *parent)
    : QObject(parent), chart(parts.chart), series(parts.series), axisX(parts.axisX), liveChart(model), recorder(rec)
{
    setObjectName(QStringLiteral("chartMarkers"));
    // A click (or M) drops a numbered marker; the menu beside it takes a
    // label, dropped with Enter, and never stops the live chart as a dialog
    // would.
    markerButton = new QToolButton(panel);
    markerButton->setObjectName(QStringLiteral("markerButton"));
    markerButton->setPopupMode(QToolButton::MenuButtonPopup);
    auto *menu = new QMenu(markerButton);
    labelEdit = new QLineEdit(menu);
    labelEdit->setObjectName(QStringLiteral("markerLabelEdit"));
    labelEdit->setMaxLength(64);
    labelEdit->setClearButtonEnabled(true);
    auto *editAction = new QWidgetAction(menu);
    editAction->setDefaultWidget(labelEdit);
    menu->addAction(editAction);
    markerButton->setMenu(menu);
    connect(menu, &QMenu::aboutToShow, labelEdit, [this] { labelEdit->setFocus(); });
    connect(labelEdit, &QLineEdit::returnPressed, this, [this, menu] {
        drop(labelEdit->text().trimmed());
        labelEdit->clear();
        menu->close();
    });
    connect(markerButton, &QToolButton::clicked, this, [this] { drop(); });
    panel->addTool(markerButton);

    connect(axisX, &QValueAxis::rangeChanged, this, &ChartMarkers::redraw);
    connect(chart, &QChart::plotAreaChanged, this, &ChartMarkers::redraw);
    connect(panel, &ChartPanel::cleared, this, &ChartMarkers::forgetLive);
    connect(files, &ChartFiles::markersRead, this, &ChartMarkers::showRecordingMarkers);
    connect(panel, &ChartPanel::recordingShown, this, [this] {
        replaying = true;
        redraw();
    });
    connect(panel, &ChartPanel::recordingLeft, this, [this] {
        replaying = false;
        replayed.clear();
        redraw();
    });
    retranslate();
}

void ChartMarkers::retranslate()
{
    markerButton->setText(tr("标记"));
    labelEdit->setPlaceholderText(tr("标记名称, 回车添加"));
}

// At the newest sample's time on the chart; into the recording (if one runs)
// on the next frame written.
bool ChartMarkers::drop(const QString &label)
{
    const bool onChart = liveChart.livePointCount() > 0;
    const bool recording = recorder && recorder->isRecording();
    if (!onChart && !recording)
        return false;
    ++dropped;
    const QString text = label.isEmpty() ? QStringLiteral("M%1").arg(dropped) : label;
    if (recording)
        recorder->mark(text);
    if (onChart) {
        live.append({liveChart.timeCursor(), text});
        redraw();
    }
    return true;
}

// A replayed recording's markers, shown with it (ChartPanel::recordingShown).
void ChartMarkers::showRecordingMarkers(const QVector<recordformat::ReplayMarker> &markers)
{
    replayed.clear();
    for (const recordformat::ReplayMarker &m : markers)
        replayed.append({m.seconds, m.label});
}

// The chart was cleared or started afresh: its time begins again at 0.
void ChartMarkers::forgetLive()
{
    live.clear();
    dropped = 0;
    redraw();
}

const QVector<ChartMarkers::Marker> &ChartMarkers::current() const
{
    return replaying ? replayed : live;
}

QVector<ChartMarkers::Shown> ChartMarkers::shown() const
{
    QVector<Shown> out;
    const double min = axisX->min(), max = axisX->max();
    for (const Marker &m : current()) {
        if (m.time < min || m.time > max)
            continue;
        out.append({m.time, m.label, chart->mapToPosition(QPointF(m.time, 0), series).x()});
    }
    return out;
}

// The lines of the markers on screen, from the plot's top to its bottom,
// each label at the top beside its line. A marker that left the live window
// is gone for good (unless a zoom still holds its time).
void ChartMarkers::redraw()
{
    if (!replaying && liveChart.state() == ChartModel::State::Live && !liveChart.isHolding()) {
        const double oldest = liveChart.axisStart();
        live.erase(std::remove_if(live.begin(), live.end(), [oldest](const Marker &m) { return m.time < oldest; }),
                   live.end());
    }
    const QVector<Shown> marks = shown();
    while (lines.size() < marks.size()) {
        auto *line = new QGraphicsLineItem(chart);
        QPen pen(kMarkerColour, 1.5, Qt::DashLine);
        pen.setCosmetic(true);
        line->setPen(pen);
        line->setZValue(5.5);   // over the curve and the legend, under the hover ring
        auto *text = new QGraphicsSimpleTextItem(chart);
        text->setBrush(kMarkerColour);
        text->setZValue(5.5);
        lines.append(line);
        labels.append(text);
    }
    const QRectF plot = chart->plotArea();
    for (int i = 0; i < lines.size(); ++i) {
        const bool on = i < marks.size();
        lines.at(i)->setVisible(on);
        labels.at(i)->setVisible(on);
        if (!on)
            continue;
        const double x = marks.at(i).x;
        lines.at(i)->setLine(x, plot.top(), x, plot.bottom());
        labels.at(i)->setText(marks.at(i).label);
        labels.at(i)->setPos(x + 3, plot.top() + 2);
    }
}
