// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84_RECORDER_H
#define ZN84_RECORDER_H

// The recorder: every distance of the stream into a record file, in the
// format chosen (record_format.h), with one write per batch. It listens to a
// BatchStream; whoever owns it only starts and stops it. A recording never
// empties an existing file.

#include "record_format.h"

#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>

#include <functional>

class BatchStream;

class Recorder : public QObject
{
    Q_OBJECT

public:
    explicit Recorder(QObject *parent = nullptr);
    ~Recorder() override;

    // Takes every batch of `stream` from now on (and none of a stream given
    // before).
    void listenTo(BatchStream *stream);
    // The part that judges the stream, whose filtered distance and state a
    // CSV recording carries per sample; it takes each batch before the
    // recorder (subscribe it to the stream first). None: those fields empty.
    void setAnnotator(const recordformat::SampleAnnotator *part) { annotator = part; }

    // The format of the next recording (one format per file).
    void setFormat(recordformat::Format format) { fileFormat = format; }
    recordformat::Format format() const { return fileFormat; }
    // The clock a recording in a folder is named after (the wall clock by
    // default).
    void setClock(std::function<QDateTime()> clock) { now = std::move(clock); }

    // A new recording in `folder` (made with its parents when missing),
    // named after the clock's time: yyyyMMdd_HHmmss.txt (.csv), and when
    // that name is taken (two recordings within one second) _2, _3, ...
    // before the suffix. False with the reason in words otherwise.
    bool startIn(const QString &folder, QString *why = nullptr);
    // A new recording in the file `path`, which must not exist yet.
    bool startAt(const QString &path, QString *why = nullptr);
    void stop();

    bool isRecording() const { return file.isOpen(); }
    // The file of the current (or the last) recording; empty before the first.
    QString fileName() const { return file.fileName(); }
    // The folder of the last recording started with startIn().
    QString folder() const { return lastFolder; }
    // Distances written to the current (or the last) recording.
    quint64 distances() const { return written; }

    // An operator's marker labelled `label`, on the first frame that comes
    // after it (the newest frame is on disk already, and a line once written
    // is not rewritten): in a CSV recording that frame's marker field, in a
    // plain one a line of the side file (record_format.h), made with the
    // first marker. False when nothing is being recorded.
    bool mark(const QString &label);
    // The side file of the current (or the last) plain recording's markers;
    // empty when it has none.
    QString markersFileName() const { return markersFile.fileName(); }

public slots:
    // Writes the batch's lines with one write, so that a distance handed on
    // is on disk before the next event, at one system call per batch rather
    // than one per line (11,111 a second at the line's top rate).
    void write(const MeasurementBatch &batch);

private:
    bool opened(QString *why);
    void writeSideMarkers(const MeasurementBatch &batch, int count);

    QFile file;
    QFile markersFile;
    BatchStream *source = nullptr;
    const recordformat::SampleAnnotator *annotator = nullptr;
    // Markers waiting for their frame, in the order dropped.
    QVector<recordformat::SampleMarker> pending;
    QString lastFolder;
    recordformat::Format fileFormat = recordformat::Format::Plain;
    recordformat::CsvClock csvClock;
    std::function<QDateTime()> now;
    quint64 written = 0;
    QMetaObject::Connection listening;
    QMetaObject::Connection listeningRestart;
};

#endif // ZN84_RECORDER_H
