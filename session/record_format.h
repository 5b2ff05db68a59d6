// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef RECORD_FORMAT_H
#define RECORD_FORMAT_H

#include "measurement_batch.h"

#include <QByteArray>
#include <QDateTime>
#include <QPointF>
#include <QString>
#include <QVector>
#include <cstdint>

// The lines of a record file, built without widgets or streams.
//
// Plain (the default, as files and scripts have always read it): one
// distance in metres per line, as QTextStream writes a double ("12.34",
// "12.3", "12", "0.05"; six significant digits, which every distance of
// 0 to 655.35 m fits exactly).
//
// CSV: a header "time_s,distance_m,marker,sample,host_us_since_<start>,
// filtered_m,state", then per frame the time since the start of the
// recording in seconds (frames over the rate, six decimals), the raw
// distance, '.' as the decimal point whatever the locale, the label of an
// operator's marker on that frame (empty on all others), the frame's number
// since the stream began, its host time in microseconds since the stream
// began (whose date and time, to the millisecond with the UTC offset, the
// column's name gives), and, while the judge runs, the filtered distance and
// the judged state ("ok", "above", "below", "none": no measurement); empty
// otherwise. Readers take the first columns by position: files written before
// the later columns (two or three columns) read back as well.
//
// Markers of a plain recording go into a side file beside it (markersPath),
// so that the recording itself stays one distance per line: a header
// "line,sample,host_time_s,label", then per marker the line of the recording
// it is on (1-based), the frame's number since the stream began, its host
// time in seconds since the stream began and its label.
namespace recordformat {

enum class Format { Plain, Csv };

// "12.34" for 1234 cm, as QTextStream would write 12.34.
void appendMetres(QByteArray &out, uint16_t centimetres);
QString metresText(uint16_t centimetres);
void appendPlainLines(QByteArray &out, const QVector<uint16_t> &centimetres);

// The recording's time: frames counted at each rate, so that an hour of
// frames adds up without drift.
struct CsvClock {
    double segmentStart = 0;   // seconds before the frames at the current rate
    qint64 frames = 0;         // frames at the current rate
    int rate = 0;

    double now() const { return rate > 0 ? segmentStart + double(frames) / rate : segmentStart; }
};

// One frame as a CSV line sees it: what any column may print.
struct CsvFrame {
    double seconds = 0;      // the recording's time (CsvClock)
    uint16_t cm = 0;         // the distance as the sensor sent it
    bool numbered = false;   // a frame of the stream: the two fields below hold
    quint64 sample = 0;      // number of the frame since the stream began
    qint64 hostUs = 0;       // host time since the stream began, microseconds
    QByteArray marker;       // the label of a marker on this frame (CSV-quoted), or empty
    bool judged = false;     // the judge gave the two fields below
    double filteredM = 0;    // the filtered distance the judge took
    const char *state = "";  // the judged state's name
};

// What a part that judges the stream tells the recorder of each sample it
// took (the judge, with its filter): the recorder lies below such parts and
// asks through this interface.
class SampleAnnotator
{
public:
    virtual ~SampleAnnotator() = default;
    // The filtered distance (m) and the state's name of sample `number`;
    // false when the part has nothing for it (judging off, or long gone).
    virtual bool annotate(quint64 number, double &filteredM, const char *&state) const = 0;
};

// The CSV columns, in their order: a name for the header and how a frame
// prints in it. A new column is one row here (and its field in CsvFrame).
struct CsvColumn {
    const char *header;
    void (*append)(QByteArray &out, const CsvFrame &frame);
};
const CsvColumn *csvColumnsBegin();
const CsvColumn *csvColumnsEnd();

// The header line: the columns' names, comma-separated; the host time's
// column names the stream's start (`start`, ISO 8601 with milliseconds and
// the UTC offset; "unknown" when invalid).
QByteArray csvHeader(const QDateTime &start = QDateTime());
// The first two columns' header ("time_s,distance_m", without the line's
// end): what every CSV recording, old or new, and an export of the chart's
// points begin with.
QByteArray csvPointsHeader();
bool isCsvRecording(const QByteArray &data);

// An operator's marker on a frame of the stream.
struct SampleMarker {
    quint64 sample = 0;    // the frame's number since the stream began
    QString label;
};
// A marker read back from a recording: where on the recording's time, and
// its label.
struct ReplayMarker {
    double seconds = 0;
    QString label;
};
// `text` as one CSV field: quoted when it holds a comma, a quote or a line
// break (a label is typed by the operator).
void appendCsvField(QByteArray &out, const QString &text);
// One CSV field from `begin` up to the line's `end`: the text, and where the
// field ends (at the comma after it, or `end`); false for a quote left open.
bool parseCsvField(const char *begin, const char *end, QString &text, const char **fieldEnd);

// The side file of a plain recording's markers: "<recording>.markers".
QString markersPath(const QString &recording);
QByteArray markersHeader();
void appendMarkerLine(QByteArray &out, qint64 line, quint64 sample, qint64 hostUs, const QString &label);
// The markers of a side file on the plain recording's time (the n-th line at
// n / rate seconds); lines that are not a marker are skipped.
QVector<ReplayMarker> readMarkers(const QByteArray &data, int rate);
// Seconds with six decimals, '.' as the decimal point ("12.000090").
void appendSeconds(QByteArray &out, double seconds);
// A batch at `rate` frames a second: each frame one frame's time after the
// one before. A batch without a rate (the worker's first second after a
// connect) does not move the time, as the chart's time axis does not count
// it either: its frames get the time of the frame before them.
void appendCsvLines(QByteArray &out, const QVector<uint16_t> &centimetres, int rate, CsvClock &clock);
// The same for a numbered batch of the stream, with `markers` (in the order
// of their frames) on the frames they name.
void appendCsvLines(QByteArray &out, const MeasurementBatch &batch, CsvClock &clock,
                    const QVector<SampleMarker> &markers = {}, const SampleAnnotator *annotator = nullptr);

// A recording read back: its points (seconds, metres), at most about 100
// a second (every b-th reading at a higher rate, as the live chart plots
// them), and the lines that are not a reading.
struct Replay {
    QVector<QPointF> points;
    QVector<ReplayMarker> markers;   // a CSV recording's marker column
    bool csv = false;
    int lines = 0;          // readings and bad lines, without the header
    int badLines = 0;
    int firstBadLine = 0;   // 1-based line number in the file, 0 when none
};

// "12.34", "12.3", "12", "0.05" (what the recorder writes, up to 655.35)
// into centimetres; false for anything else.
bool parseMetres(const char *begin, const char *end, uint16_t &centimetres);
// A recording of either format: CSV when it starts with the CSV header (the
// times are the file's), else one distance per line at `rate` frames a
// second (the n-th line at n / rate seconds).
Replay readRecording(const QByteArray &data, int rate);
// The rate of a plain recording named after its start (yyyyMMdd_HHmmss)
// that was last written at `lastWritten`: its lines over the time between;
// 0 when the name holds no time or the times make no sense.
int estimateRate(const QString &fileName, const QDateTime &lastWritten, int lines);

} // namespace recordformat

#endif // RECORD_FORMAT_H
