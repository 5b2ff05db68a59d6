// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart_files.h"

#include "chart_model.h"
#include "chart_panel.h"
#include "record_format.h"
#include "status_line.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QInputDialog>
#include <QMessageBox>
#include <QSaveFile>

#include <cmath>

ChartFiles::ChartFiles(ChartPanel *chartPanel, ChartModel &model, StatusLine *statusLine, QWidget *parent)
    : QObject(parent), panel(chartPanel), liveChart(model), status(statusLine), window(parent)
{
    setObjectName(QStringLiteral("chartFiles"));
    connect(panel, &ChartPanel::exportImageClicked, this, &ChartFiles::exportImageClicked);
    connect(panel, &ChartPanel::exportCsvClicked, this, &ChartFiles::exportCsvClicked);
    connect(panel, &ChartPanel::openRecordingClicked, this, &ChartFiles::openRecordingClicked);
    // Back from a recording to the live chart: its message goes (a later
    // one stays).
    connect(panel, &ChartPanel::recordingLeft, this, [this] {
        status->clear(replayStatus);
        replayStatus = 0;
    });
}

// A question the operator answers before overwriting a file; No unless Yes
// is chosen.
bool ChartFiles::confirm(const QString &question)
{
    QMessageBox box(QMessageBox::Question, window->windowTitle(), question, QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

// The dialogs the tools open, made here as objects of their own (the
// operator answers them, the tests as the operator would).
QString ChartFiles::askSaveFile(const QString &caption, const QString &filter)
{
    QFileDialog dialog(window, caption, QDir::currentPath(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString ChartFiles::askOpenFile(const QString &caption, const QString &filter)
{
    QFileDialog dialog(window, caption, QDir::currentPath() + "/Data", filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

int ChartFiles::askReplayRate(int suggested)
{
    QInputDialog dialog(window);
    dialog.setObjectName(QStringLiteral("replayRateDialog"));
    dialog.setWindowTitle(tr("回放"));
    dialog.setLabelText(tr("录制时的帧率(Hz):"));
    dialog.setInputMode(QInputDialog::IntInput);
    dialog.setIntRange(1, 100000);
    dialog.setIntStep(1);
    dialog.setIntValue(suggested);
    return dialog.exec() == QDialog::Accepted ? dialog.intValue() : 0;
}

// The chart as on screen.
bool ChartFiles::exportChartImage(const QString &path)
{
    const QImage image = panel->picture();
    return !image.isNull() && image.save(path, "PNG");
}

// The points on screen, one line each: seconds and metres, '.' as the
// decimal point whatever the locale.
bool ChartFiles::exportVisibleCsv(const QString &path)
{
    const QVector<QPointF> points = panel->visiblePoints();
    QByteArray out = recordformat::csvPointsHeader() + '\n';
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
// language changes); nothing happens when the operator cancels. A name typed
// without an extension gets `suffix`, so that the file opens as what it is;
// an existing file of the completed name is overwritten only when the
// operator says so (the dialog asked about the name as typed).
void ChartFiles::exportWith(const char *title, const QString &filter, const QString &suffix,
                            bool (ChartFiles::*write)(const QString &))
{
    QString path = askSaveFile(tr(title), filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty()) {
        path += path.endsWith('.') ? suffix : "." + suffix;
        if (QFileInfo::exists(path) && !confirm(tr("%1 已存在，是否覆盖？").arg(QDir::toNativeSeparators(path))))
            return;
    }
    const bool ok = (this->*write)(path);
    status->show([title, ok] { return StatusLine::join(tr(title), ok ? tr("成功！") : tr("失败！")); });
}

void ChartFiles::exportImageClicked()
{
    exportWith(QT_TR_NOOP("导出图片"), tr("PNG图片") + " (*.png)", "png", &ChartFiles::exportChartImage);
}

void ChartFiles::exportCsvClicked()
{
    exportWith(QT_TR_NOOP("导出CSV"), tr("CSV文件") + " (*.csv)", "csv", &ChartFiles::exportVisibleCsv);
}

// A recording of either format shown in the chart as a frozen picture (as
// if suspended on it): zoom, statistics and export work on it; the live
// window goes on meanwhile, and resume goes back to it on its own time axis.
// Lines that are not a reading are skipped and counted, the first of them
// reported by its line number. A file without a reading is refused and
// the chart stays as it was.
bool ChartFiles::openRecording(const QString &path, int rate)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        status->show([] { return tr("打开录制文件失败!"); });
        return false;
    }
    const QByteArray data = file.readAll();
    file.close();
    // Nothing to ask a rate for.
    if (data.trimmed().isEmpty()) {
        status->show([name] { return tr("回放失败: %1 是空文件").arg(name); });
        return false;
    }
    if (recordformat::isCsvRecording(data)) {
        rate = 0;
    } else if (rate <= 0) {
        const int suggested = recordformat::estimateRate(path, QFileInfo(path).lastModified(), int(data.count('\n')));
        rate = askReplayRate(suggested > 0 ? suggested : 100);
        if (rate <= 0)
            return false;
    }
    const recordformat::Replay replay = recordformat::readRecording(data, rate);
    const int lines = replay.lines, good = replay.lines - replay.badLines;
    const int bad = replay.badLines, firstBad = replay.firstBadLine;
    const auto skipped = [bad, firstBad] {
        return bad > 0 ? ", " + tr("跳过%1行, 第一个无法读取的是第%2行").arg(bad).arg(firstBad) : QString();
    };
    if (good <= 0) {
        status->show([name, skipped] { return tr("回放失败: %1 中没有读数").arg(name) + skipped(); });
        return false;
    }

    // A plain recording's markers are in its side file, when it has one.
    QVector<recordformat::ReplayMarker> markers = replay.markers;
    if (!replay.csv) {
        QFile side(recordformat::markersPath(path));
        if (side.open(QIODevice::ReadOnly))
            markers = recordformat::readMarkers(side.readAll(), rate);
    }
    emit markersRead(markers);

    // The recording takes the chart's place like a suspended picture.
    liveChart.showRecording(replay.points);
    panel->showRecording(replay.points);
    replayStatus = status->show([name, lines, good, skipped] {
        return tr("回放 %1: 读取%2行, %3个读数").arg(name).arg(lines).arg(good) + skipped();
    });
    return true;
}

void ChartFiles::openRecordingClicked()
{
    const QString path = askOpenFile(tr("回放录制"), tr("录制文件") + " (*.txt *.csv)");
    if (!path.isEmpty())
        openRecording(path);
}
