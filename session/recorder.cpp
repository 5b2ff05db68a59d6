// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder.h"

#include "batch_stream.h"

#include <QDir>
#include <QFileInfo>

Recorder::Recorder(QObject *parent)
    : QObject(parent), now([] { return QDateTime::currentDateTime(); })
{
}

Recorder::~Recorder()
{
    stop();
}

void Recorder::listenTo(BatchStream *stream)
{
    disconnect(listening);
    if (stream)
        listening = connect(stream, &BatchStream::batch, this, &Recorder::write);
}

bool Recorder::startIn(const QString &folder, QString *why)
{
    stop();
    lastFolder = folder;
    const QDir dir(folder);
    if (!dir.exists() && !dir.mkpath(QStringLiteral("."))) {
        if (why)
            *why = QStringLiteral("cannot create the directory %1").arg(folder);
        return false;
    }
    const QString stamp = now().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    const QString suffix = fileFormat == recordformat::Format::Csv ? QStringLiteral(".csv") : QStringLiteral(".txt");
    constexpr int kMostAttempts = 1000;
    for (int attempt = 1; attempt <= kMostAttempts; ++attempt) {
        const QString name = dir.filePath(stamp + (attempt == 1 ? QString() : QStringLiteral("_%1").arg(attempt))
                                          + suffix);
        if (QFileInfo::exists(name))
            continue;
        file.setFileName(name);
        // NewOnly: a file created meanwhile by someone else is not emptied either.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return opened(why);
        if (!QFileInfo::exists(name)) {
            if (why)
                *why = QStringLiteral("%1: %2").arg(name, file.errorString());
            return false;
        }
    }
    if (why)
        *why = QStringLiteral("no free file name in %1").arg(folder);
    return false;
}

bool Recorder::startAt(const QString &path, QString *why)
{
    stop();
    file.setFileName(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return opened(why);
    if (why)
        *why = QFileInfo::exists(path) ? QStringLiteral("%1 exists (a recording never overwrites a file)").arg(path)
                                       : QStringLiteral("%1: %2").arg(path, file.errorString());
    return false;
}

// A CSV file begins with its header, on disk before the first distance.
bool Recorder::opened(QString *why)
{
    written = 0;
    csvClock = recordformat::CsvClock();
    if (fileFormat == recordformat::Format::Csv) {
        file.write(recordformat::csvHeader());
        if (!file.flush()) {
            if (why)
                *why = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
            file.close();
            return false;
        }
    }
    return true;
}

void Recorder::stop()
{
    if (file.isOpen())
        file.close();
}

void Recorder::write(const MeasurementBatch &batch)
{
    if (!file.isOpen() || batch.isEmpty())
        return;
    QByteArray lines;
    if (fileFormat == recordformat::Format::Csv)
        recordformat::appendCsvLines(lines, batch, csvClock);
    else
        recordformat::appendPlainLines(lines, batch.cm);
    file.write(lines);
    file.flush();
    written += quint64(batch.size());
}
