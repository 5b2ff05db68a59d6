// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CHART_FILES_H
#define CHART_FILES_H

// The chart's files: the export of the chart (PNG) and of the points on
// screen (CSV), and the replay of a recording of either format in the chart
// (chart_panel.h shows it). The buttons are the panel's; the dialogs are
// opened here, the outcome said on the status line.

#include "record_format.h"

#include <QObject>
#include <QString>

class ChartModel;
class ChartPanel;
class StatusLine;
class QWidget;

class ChartFiles : public QObject
{
    Q_OBJECT

public:
    // `window`: the dialogs' parent.
    ChartFiles(ChartPanel *panel, ChartModel &model, StatusLine *status, QWidget *window);

    // A recording shown in the chart as a frozen picture. A plain
    // recording's line rate is asked for (suggested from its name and last
    // write) unless `rate` gives it; a CSV one carries its times.
    bool openRecording(const QString &path, int rate = 0);

signals:
    // The markers of the recording about to be shown: a CSV recording's
    // marker column, or a plain one's side file.
    void markersRead(const QVector<recordformat::ReplayMarker> &markers);

private:
    // The dialogs: an empty name or a rate of 0 cancels.
    QString askSaveFile(const QString &caption, const QString &filter);
    QString askOpenFile(const QString &caption, const QString &filter);
    int askReplayRate(int suggested);
    bool confirm(const QString &question);
    bool exportChartImage(const QString &path);
    bool exportVisibleCsv(const QString &path);
    void exportWith(const char *title, const QString &filter, const QString &suffix,
                    bool (ChartFiles::*write)(const QString &));
    void exportImageClicked();
    void exportCsvClicked();
    void openRecordingClicked();

    ChartPanel *panel;
    ChartModel &liveChart;
    StatusLine *status;
    QWidget *window;
    // The replayed recording's status message (0: none shown).
    int replayStatus = 0;
};

#endif // CHART_FILES_H
