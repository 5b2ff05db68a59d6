// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "record_format.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>

void MainWindow::on_saveButton_clicked()
{
    if (recording) {
        recording = false;
        ui->saveButton->setText(tr("录制"));
        recordCsvBox->setEnabled(true);
        recordStream.setDevice(nullptr);
        recordFile.close();
        return;
    }

    const QDateTime now = recordClock();
    dataPath = QDir::currentPath() + "/Data/";
    if (!dataDir.exists(dataPath))
        dataDir.mkpath(dataPath);
    if (!openRecordFile(now.toString("yyyyMMdd_HHmmss"))) {
        showStatus([] { return tr("打开录制文件失败!"); });
        return;
    }
    recordStream.setDevice(&recordFile);
    recordCsvClock = recordformat::CsvClock();
    if (recordFormat == recordformat::Format::Csv) {
        recordFile.write(recordformat::csvHeader());
        recordFile.flush();
    }
    recording = true;
    ui->saveButton->setText(tr("停止"));
    // One format per file.
    recordCsvBox->setEnabled(false);
}

// Opens a new record file named after `stamp`. A recording never empties an
// existing file: when the name is taken (two recordings within one second),
// the new file gets "_2", "_3", ... before ".txt" (".csv" for the CSV format).
bool MainWindow::openRecordFile(const QString &stamp)
{
    const int maxAttempts = 1000;
    const QString suffix = recordFormat == recordformat::Format::Csv ? ".csv" : ".txt";
    for (int attempt = 1; attempt <= maxAttempts; ++attempt) {
        const QString name = dataPath + stamp
                + (attempt == 1 ? QString() : "_" + QString::number(attempt)) + suffix;
        if (QFileInfo::exists(name))
            continue;
        recordFile.setFileName(name);
        // NewOnly: a file created meanwhile by someone else is not truncated either.
        if (recordFile.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
        if (!QFileInfo::exists(name))
            return false;
    }
    return false;
}

// One line per distance, in metres, in arrival order (or, as CSV, the time
// and the distance). The batch's lines go to the file with one write when
// the batch is handled, so a reading handed to the window is on disk before
// the next event, at one system call per batch instead of one per line
// (11,111 a second at the line's top rate). The numbers are formatted by
// hand (record_format.h), as QTextStream formats them, at a tenth of its cost.
void MainWindow::writeRecordLines(const QVector<uint16_t> &dist, int freq)
{
    QByteArray lines;
    if (recordFormat == recordformat::Format::Csv)
        recordformat::appendCsvLines(lines, dist, freq, recordCsvClock);
    else
        recordformat::appendPlainLines(lines, dist);
    recordFile.write(lines);
    recordFile.flush();
}
