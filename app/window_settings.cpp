// SPDX-License-Identifier: GPL-3.0-or-later
// What the operator chose last time: the port, its baud rate, the language,
// the chart's time range, the batch size and the window's place and size.
// Read when the window is made, written when it is closed. A value that is
// missing or cannot be used (a broken file, a port that is gone, a range
// the field would refuse) leaves the window's own default.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "log_ui.h"

#include <QScopedPointer>
#include <QSettings>

#include <limits>

namespace {

// The user's settings file (an INI file, the same on every system).
QSettings *openSettings()
{
    return new QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ZN84"),
                         QStringLiteral("zn84-viewer"));
}

const QString kPort = QStringLiteral("connection/port");
const QString kBaudRate = QStringLiteral("connection/baudRate");
const QString kLanguage = QStringLiteral("window/language");
const QString kGeometry = QStringLiteral("window/geometry");
const QString kTimeRange = QStringLiteral("chart/timeRange");
const QString kBatchSize = QStringLiteral("chart/batchSize");

// A whole decimal number in [min, max], or nothing.
bool readInt(const QSettings &s, const QString &key, int min, int max, int &value)
{
    bool ok = false;
    const int v = s.value(key).toString().trimmed().toInt(&ok, 10);
    if (!ok || v < min || v > max)
        return false;
    value = v;
    return true;
}

} // namespace

void MainWindow::restoreSettings()
{
    const QScopedPointer<QSettings> s(openSettings());
    if (s->status() != QSettings::NoError) {
        qCDebug(lcUi) << "MainWindow: settings not read from" << s->fileName() << s->status();
        return;
    }
    if (s->value(kLanguage).toString() == QLatin1String("en"))
        ui->radioButton_english->setChecked(true);

    int value = 0;
    if (readInt(*s, kBaudRate, 1, std::numeric_limits<int>::max(), value))
        ui->baudrateComboBox->setCurrentText(QString::number(value));
    if (readInt(*s, kTimeRange, 1, 3600, value))
        setTimeRange(value);
    if (readInt(*s, kBatchSize, ui->spinBox_dist_num->minimum(), ui->spinBox_dist_num->maximum(), value))
        ui->spinBox_dist_num->setValue(value);

    // The port only when it is still there; otherwise none is chosen.
    const QString port = s->value(kPort).toString();
    if (!port.isEmpty()) {
        ui->serialComboBox->refreshPorts();
        ui->serialComboBox->setCurrentIndex(ui->serialComboBox->findData(port));
    }

    const QByteArray geometry = s->value(kGeometry).toByteArray();
    if (!geometry.isEmpty() && !restoreGeometry(geometry))
        qCDebug(lcUi) << "MainWindow: stored geometry not usable";
}

void MainWindow::saveSettings() const
{
    const QScopedPointer<QSettings> s(openSettings());
    s->setValue(kPort, serialSelected);
    s->setValue(kBaudRate, baudRate);
    s->setValue(kLanguage, ui->radioButton_english->isChecked() ? QStringLiteral("en") : QStringLiteral("zh"));
    s->setValue(kTimeRange, timeRange);
    s->setValue(kBatchSize, ui->spinBox_dist_num->value());
    s->setValue(kGeometry, saveGeometry());
    s->sync();
    if (s->status() != QSettings::NoError)
        qCDebug(lcUi) << "MainWindow: settings not written to" << s->fileName() << s->status();
}
