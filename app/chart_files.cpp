// Export of the chart (PNG) and of the points on screen (CSV), and the
// replay of a recording: the window's files other than its own recording.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "record_format.h"

#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineSeries>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QValueAxis>

#include <cmath>

// The dialogs the tools open (tests put their own answers in their place).
void MainWindow::setUpChartDialogs()
{
    chooseSaveFile = [this](const QString &caption, const QString &filter) {
        return QFileDialog::getSaveFileName(this, caption, QDir::currentPath(), filter);
    };
    chooseOpenFile = [this](const QString &caption, const QString &filter) {
        return QFileDialog::getOpenFileName(this, caption, QDir::currentPath() + "/Data", filter);
    };
    askReplayRate = [this](int suggested) {
        bool ok = false;
        const int rate = QInputDialog::getInt(this, tr("回放"), tr("录制时的帧率(Hz):"), suggested, 1, 100000, 1, &ok);
        return ok ? rate : 0;
    };
}

// The chart as on screen.
bool MainWindow::exportChartImage(const QString &path)
{
    const QImage image = chartView->grab().toImage();
    return !image.isNull() && image.save(path, "PNG");
}

// The points on screen, one line each: seconds and metres, '.' as the
// decimal point whatever the locale.
bool MainWindow::exportVisibleCsv(const QString &path)
{
    const QVector<QPointF> points = liveChart.shownPoints(axisX->min(), axisX->max());
    QByteArray out = recordformat::csvHeader();
    out.reserve(out.size() + points.size() * 20);
    for (const QPointF &p : points) {
        recordformat::appendSeconds(out, p.x());
        out += ',';
        recordformat::appendMetres(out, uint16_t(std::lround(p.y() * 100)));
        out += '\n';
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(out);
    return file.commit();
}

// Asks for a file with `filter`, writes it with `write` and says how it went
// under `title` (a source text: the status is translated again when the
// language changes); nothing happens when the operator cancels.
void MainWindow::exportWith(const char *title, const QString &filter,
                            bool (MainWindow::*write)(const QString &))
{
    const QString path = chooseSaveFile(tr(title), filter);
    if (path.isEmpty())
        return;
    const bool ok = (this->*write)(path);
    showStatus([title, ok] { return joinStatus(tr(title), ok ? tr("成功！") : tr("失败！")); });
}

void MainWindow::exportImageClicked()
{
    exportWith(QT_TR_NOOP("导出图片"), tr("PNG图片") + " (*.png)", &MainWindow::exportChartImage);
}

void MainWindow::exportCsvClicked()
{
    exportWith(QT_TR_NOOP("导出CSV"), tr("CSV文件") + " (*.csv)", &MainWindow::exportVisibleCsv);
}

// A recording of either format shown in the chart as a frozen picture (as
// if suspended on it): zoom, statistics and export work on it; resume goes
// back to the live chart. Lines that are not a reading are skipped, the
// first of them reported by its line number.
bool MainWindow::openRecording(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showStatus([] { return tr("打开录制文件失败!"); });
        return false;
    }
    const QByteArray data = file.readAll();
    file.close();
    int rate = 0;
    if (!data.startsWith(recordformat::csvHeader().trimmed())) {
        const int suggested = recordformat::estimateRate(path, QFileInfo(path).lastModified(), int(data.count('\n')));
        rate = askReplayRate(suggested > 0 ? suggested : 100);
        if (rate <= 0)
            return false;
    }
    const recordformat::Replay replay = recordformat::readRecording(data, rate);

    // The recording takes the chart's place like a suspended picture.
    chartRefreshTimer->stop();
    liveChart.showRecording(replay.points);
    shownRevision = liveChart.revision();
    zoomed = false;
    liveViewButton->setEnabled(false);
    ui->suspendButton->setText(tr("恢复"));
    const double first = replay.points.isEmpty() ? 0.0 : replay.points.first().x();
    const double last = replay.points.isEmpty() ? 10.0 : replay.points.last().x();
    const double range = last > first ? last - first : 10.0;
    frozenAxisMin = alignedAxisStart(first, range, plotWidth(), replay.points.size());
    frozenAxisMax = frozenAxisMin + range;
    setAxis(axisX, frozenAxisMin, frozenAxisMax);
    applyShownYAxis(liveChart.shownStats(-qInf(), qInf()).max);
    showCurve(liveChart.frozenCurve(range, plotWidth()), range);
    updateStatistics();

    showStatus([name = QFileInfo(path).fileName(), good = replay.lines - replay.badLines,
                bad = replay.badLines, firstBad = replay.firstBadLine] {
        QString status = tr("回放") + " " + name + ": " + QString::number(good) + " " + tr("个读数");
        if (bad > 0)
            status += ", " + tr("第%1行无法读取").arg(firstBad) + (bad > 1 ? " " + tr("(共%1行)").arg(bad) : QString());
        return status;
    });
    return true;
}

void MainWindow::openRecordingClicked()
{
    const QString path = chooseOpenFile(tr("回放录制"), tr("录制文件") + " (*.txt *.csv)");
    if (!path.isEmpty())
        openRecording(path);
}
