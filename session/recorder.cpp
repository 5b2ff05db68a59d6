// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder.h"

#include "batch_stream.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <utility>

Q_LOGGING_CATEGORY(lcRecorder, "zn84.recorder")

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
    disconnect(listeningRestart);
    source = stream;
    if (stream) {
        listening = connect(stream, &BatchStream::batch, this, &Recorder::write);
        // The numbers begin again at 0: a marker still waiting goes on the
        // first frame of the new count.
        listeningRestart = connect(stream, &BatchStream::restarted, this, [this] {
            for (recordformat::SampleMarker &m : pending)
                m.sample = 0;
        });
    }
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
    pending.clear();
    markersFile.setFileName(QString());
    if (fileFormat == recordformat::Format::Csv) {
        // The host times count from the stream's start, which the header
        // names: a recording opened before the stream began starts it.
        if (source && !source->isStarted())
            source->restart();
        file.write(recordformat::csvHeader(source ? source->startedAt() : QDateTime()));
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
    if (markersFile.isOpen())
        markersFile.close();
    pending.clear();
}

bool Recorder::mark(const QString &label)
{
    if (!file.isOpen())
        return false;
    // Numbered from the stream's count: the next frame to come.
    const quint64 sample = source ? source->samples() : 0;
    pending.append({sample, label});
    return true;
}

// The markers whose frame is among the batch's `count` frames just written
// (line numbers counted before them), into the side file.
void Recorder::writeSideMarkers(const MeasurementBatch &batch, int count)
{
    QByteArray lines;
    for (const recordformat::SampleMarker &m : std::as_const(pending)) {
        // A marker older than the batch goes on its first frame.
        const int row = m.sample > batch.first ? int(m.sample - batch.first) : 0;
        if (row >= count)
            break;
        recordformat::appendMarkerLine(lines, qint64(written) + row + 1, batch.first + quint64(row),
                                       batch.timeUs(row), m.label);
    }
    if (lines.isEmpty())
        return;
    if (!markersFile.isOpen()) {
        markersFile.setFileName(recordformat::markersPath(file.fileName()));
        // Like the recording, never an existing file emptied.
        if (!markersFile.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            qCWarning(lcRecorder) << "markers not written:" << markersFile.fileName() << markersFile.errorString();
            return;
        }
        markersFile.write(recordformat::markersHeader());
    }
    markersFile.write(lines);
    markersFile.flush();
}

void Recorder::write(const MeasurementBatch &batch)
{
    if (!file.isOpen() || batch.isEmpty())
        return;
    // The markers this batch carries (those of its frames or before them).
    int due = 0;
    while (due < pending.size() && pending.at(due).sample < batch.end())
        ++due;
    QVector<recordformat::SampleMarker> marks;
    if (due > 0) {
        marks = pending.mid(0, due);
        for (recordformat::SampleMarker &m : marks)
            m.sample = std::max(m.sample, batch.first);
    }
    QByteArray lines;
    if (fileFormat == recordformat::Format::Csv)
        recordformat::appendCsvLines(lines, batch, csvClock, marks, annotator);
    else
        recordformat::appendPlainLines(lines, batch.cm);
    file.write(lines);
    file.flush();
    if (due > 0 && fileFormat == recordformat::Format::Plain)
        writeSideMarkers(batch, batch.size());
    pending.remove(0, due);
    written += quint64(batch.size());
}
