// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QDir>

// The recorder (session/recorder.h) takes every batch of the stream while a
// recording runs; the button only starts and stops it. A recording never
// empties an existing file: a name already taken (two recordings within one
// second) gets "_2", "_3", ... before ".txt" (".csv" for the CSV format).
void MainWindow::on_saveButton_clicked()
{
    if (recorder->isRecording()) {
        recorder->stop();
        ui->saveButton->setText(tr("录制"));
        recordCsvBox->setEnabled(true);
        return;
    }

    if (!recorder->startIn(QDir::currentPath() + "/Data/")) {
        showStatus([] { return tr("打开录制文件失败!"); });
        return;
    }
    ui->saveButton->setText(tr("停止"));
    // One format per file.
    recordCsvBox->setEnabled(false);
}
